// A MIDI output that records what it is sent, stamped with the fake clock's time, the devices
// that make such outputs, and songs built event by event for the sequencer.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "media/midi_file.h"
#include "media/midi_player.h"
#include "platform/midi_out.h"

namespace kova::test {

struct TSentMsg {
  uint32_t time = 0;
  int32_t device = 0;          // the index the output was opened with
  std::vector<uint8_t> bytes;  // empty: a reset
  bool operator==(const TSentMsg&) const = default;
};

// What every output of the devices sent, in order. Outputs may be fed from a timer thread.
class TMidiLog {
 public:
  void Add(int32_t device, std::vector<uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    sent_.push_back({clock ? clock() : 0, device, std::move(bytes)});
  }
  std::vector<TSentMsg> Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(sent_, {});
  }
  std::function<uint32_t()> clock;

 private:
  std::mutex mutex_;
  std::vector<TSentMsg> sent_;
};

class TRecordingMidiOut : public plat::IMidiOut {
 public:
  TRecordingMidiOut(TMidiLog& log, int32_t device) : log_(log), device_(device) {}
  void ShortMsg(uint32_t m) override {
    const uint8_t status = uint8_t(m);
    std::vector<uint8_t> bytes{status, uint8_t(m >> 8)};
    if ((status & 0xE0) != 0xC0) bytes.push_back(uint8_t(m >> 16));  // 0xCn and 0xDn carry one byte
    log_.Add(device_, std::move(bytes));
  }
  void LongMsg(std::span<const uint8_t> m) override { log_.Add(device_, {m.begin(), m.end()}); }
  void Reset() override { log_.Add(device_, {}); }

 private:
  TMidiLog& log_;
  int32_t device_;
};

class TRecordingMidiDevices : public plat::IMidiDevices {
 public:
  TRecordingMidiDevices(TMidiLog& log, std::vector<std::string> names) : log_(log), names_(std::move(names)) {}
  std::vector<std::string> Names() const override { return names_; }
  std::unique_ptr<plat::IMidiOut> Open(int32_t index) override {
    opened.push_back(index);
    if (index < -1 || index >= int32_t(names_.size()) || fail) return nullptr;
    return std::make_unique<TRecordingMidiOut>(log_, index);
  }
  std::vector<int32_t> opened;
  bool fail = false;

 private:
  TMidiLog& log_;
  std::vector<std::string> names_;
};

// An event at `time` ms, classed by its bytes as the song reader classes them.
inline TMidiPlayV::TEvent Ev(int32_t time, std::initializer_list<uint8_t> bytes) {
  TMidiPlayV::TEvent e{time, kMidiOther, TMidiEventKind::Channel, bytes};
  const uint8_t s = e.Bytes[0];
  if (s == 0xFF) {
    e.Kind = TMidiEventKind::Meta;
    e.Class = e.Bytes[1] == 0x51 ? kMidiTempo : e.Bytes[1] == 0x2F ? kMidiEndOfTrack : kMidiOther;
  } else if (s == 0xF0 || s == 0xF7) {
    e.Kind = TMidiEventKind::SysEx;
    const std::vector<uint8_t> gs{0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
    e.Class = e.Bytes == gs ? kMidiGsReset : kMidiOther;
  } else {
    const int kind = s >> 4;
    const bool on = kind == 9 && e.Bytes.size() > 2 && e.Bytes[2] > 0;
    e.Class = on ? kMidiNoteOn : kind == 8 || kind == 9 ? kMidiNoteOff : kind - 0xA + kMidiKeyPressure;
  }
  return e;
}
inline TMidiPlayV::TEvent End(int32_t time) { return Ev(time, {0xFF, 0x2F}); }

// A song file of the tests' own making (each event: time, class, kind, length, bytes), and the
// reader a sequencer reads such files with; data that is not such a song reads as no events.
inline std::vector<uint8_t> SongBytes(const std::vector<TMidiPlayV::TEvent>& events) {
  std::vector<uint8_t> out;
  for (const auto& e : events) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(uint8_t(uint32_t(e.Time) >> shift));
    out.push_back(uint8_t(e.Class));
    out.push_back(uint8_t(e.Kind));
    out.push_back(uint8_t(e.Bytes.size()));
    out.insert(out.end(), e.Bytes.begin(), e.Bytes.end());
  }
  return out;
}
inline std::vector<TMidiPlayV::TEvent> ReadSongBytes(std::span<const uint8_t> in) {
  std::vector<TMidiPlayV::TEvent> events;
  size_t at = 0;
  while (at + 7 <= in.size()) {
    TMidiPlayV::TEvent e;
    e.Time = int32_t(uint32_t(in[at]) | uint32_t(in[at + 1]) << 8 | uint32_t(in[at + 2]) << 16 |
                     uint32_t(in[at + 3]) << 24);
    e.Class = in[at + 4];
    e.Kind = TMidiEventKind(in[at + 5]);
    const size_t n = in[at + 6];
    at += 7;
    if (at + n > in.size()) return {};
    e.Bytes.assign(in.begin() + std::ptrdiff_t(at), in.begin() + std::ptrdiff_t(at + n));
    at += n;
    events.push_back(std::move(e));
  }
  return events;
}

// The 16 "all notes off" messages.
inline std::vector<std::vector<uint8_t>> NotesOff() {
  std::vector<std::vector<uint8_t>> out;
  for (uint8_t c = 0; c < 16; ++c) out.push_back({uint8_t(0xB0 | c), 123, 0});
  return out;
}

}  // namespace kova::test
