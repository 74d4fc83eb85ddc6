#include "support/midi_writer.h"

namespace kova::test {

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v >> 8));
  out.push_back(uint8_t(v));
}

}  // namespace

void AppendVlq(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = uint8_t(value & 0x7F);
    value >>= 7;
  } while (value != 0 && n < 5);
  while (n > 1) out.push_back(uint8_t(groups[--n] | 0x80));
  out.push_back(groups[0]);
}

TMidiWriter::TTrackBytes& TMidiWriter::Current() {
  if (tracks_.empty()) tracks_.emplace_back();
  return tracks_.back();
}

TMidiWriter& TMidiWriter::Track() {
  tracks_.emplace_back();
  return *this;
}

TMidiWriter& TMidiWriter::Event(uint32_t delta, std::span<const uint8_t> bytes) {
  std::vector<uint8_t>& out = Current().events;
  AppendVlq(out, delta);
  out.insert(out.end(), bytes.begin(), bytes.end());
  return *this;
}

TMidiWriter& TMidiWriter::Event(uint32_t delta, std::initializer_list<uint8_t> bytes) {
  return Event(delta, std::span<const uint8_t>(bytes.begin(), bytes.size()));
}

TMidiWriter& TMidiWriter::Raw(std::span<const uint8_t> bytes) {
  std::vector<uint8_t>& out = Current().events;
  out.insert(out.end(), bytes.begin(), bytes.end());
  return *this;
}

TMidiWriter& TMidiWriter::Raw(std::initializer_list<uint8_t> bytes) {
  return Raw(std::span<const uint8_t>(bytes.begin(), bytes.size()));
}

TMidiWriter& TMidiWriter::NoteOn(uint32_t delta, int channel, int key, int velocity) {
  return Event(delta, {uint8_t(0x90 | (channel & 15)), uint8_t(key), uint8_t(velocity)});
}

TMidiWriter& TMidiWriter::NoteOff(uint32_t delta, int channel, int key) {
  return Event(delta, {uint8_t(0x80 | (channel & 15)), uint8_t(key), uint8_t(64)});
}

TMidiWriter& TMidiWriter::Control(uint32_t delta, int channel, int controller, int value) {
  return Event(delta, {uint8_t(0xB0 | (channel & 15)), uint8_t(controller), uint8_t(value)});
}

TMidiWriter& TMidiWriter::Program(uint32_t delta, int channel, int program) {
  return Event(delta, {uint8_t(0xC0 | (channel & 15)), uint8_t(program)});
}

TMidiWriter& TMidiWriter::Tempo(uint32_t delta, uint32_t us) {
  const uint8_t contents[3] = {uint8_t(us >> 16), uint8_t(us >> 8), uint8_t(us)};
  return Meta(delta, 0x51, contents);
}

TMidiWriter& TMidiWriter::Meta(uint32_t delta, uint8_t type, std::span<const uint8_t> contents) {
  std::vector<uint8_t> bytes = {0xFF, type};
  AppendVlq(bytes, uint32_t(contents.size()));
  bytes.insert(bytes.end(), contents.begin(), contents.end());
  return Event(delta, bytes);
}

TMidiWriter& TMidiWriter::SysEx(uint32_t delta, std::span<const uint8_t> body) {
  std::vector<uint8_t> bytes = {0xF0};
  AppendVlq(bytes, uint32_t(body.size()));
  bytes.insert(bytes.end(), body.begin(), body.end());
  return Event(delta, bytes);
}

TMidiWriter& TMidiWriter::EndOfTrack(uint32_t delta) { return Meta(delta, 0x2F, {}); }

TMidiWriter& TMidiWriter::TrackLengthOverride(uint32_t length) {
  Current().length = length;
  return *this;
}

std::vector<uint8_t> TMidiWriter::Bytes(std::optional<uint16_t> track_count) const {
  std::vector<uint8_t> out = {'M', 'T', 'h', 'd'};
  Put32(out, 6);
  Put16(out, uint32_t(format_));
  Put16(out, track_count ? *track_count : uint32_t(tracks_.size()));
  Put16(out, uint32_t(division_));
  for (const TTrackBytes& track : tracks_) {
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    Put32(out, track.length ? *track.length : uint32_t(track.events.size()));
    out.insert(out.end(), track.events.begin(), track.events.end());
  }
  return out;
}

std::vector<uint8_t> GsResetBytes() { return {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}; }

}  // namespace kova::test
