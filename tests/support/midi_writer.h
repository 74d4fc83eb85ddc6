// Standard MIDI File bytes made event by event: a header chunk and one track chunk per Track(),
// every chunk length counted from what was written (or, for damaged files, given outright).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <vector>

namespace kova::test {

// Appends `value` as a variable-length quantity (7 bits a byte, the high bit set on all but the
// last byte).
void AppendVlq(std::vector<uint8_t>& out, uint32_t value);

class TMidiWriter {
 public:
  explicit TMidiWriter(int format = 1, int division = 480) : format_(format), division_(division) {}

  // Starts a new track chunk; every event below goes into the newest track.
  TMidiWriter& Track();
  // An event `delta` ticks after the previous one of its track: the delta, then `bytes` as they
  // stand (a running-status event simply leaves out its status byte).
  TMidiWriter& Event(uint32_t delta, std::span<const uint8_t> bytes);
  TMidiWriter& Event(uint32_t delta, std::initializer_list<uint8_t> bytes);
  // Bytes as they stand, no delta before them (damaged deltas and events).
  TMidiWriter& Raw(std::span<const uint8_t> bytes);
  TMidiWriter& Raw(std::initializer_list<uint8_t> bytes);
  TMidiWriter& NoteOn(uint32_t delta, int channel, int key, int velocity);
  TMidiWriter& NoteOff(uint32_t delta, int channel, int key);
  TMidiWriter& Control(uint32_t delta, int channel, int controller, int value);
  TMidiWriter& Program(uint32_t delta, int channel, int program);
  // Tempo in microseconds per quarter note (FF 51 03).
  TMidiWriter& Tempo(uint32_t delta, uint32_t us_per_quarter);
  // A meta event: FF, type, length, contents.
  TMidiWriter& Meta(uint32_t delta, uint8_t type, std::span<const uint8_t> contents);
  // A system-exclusive event F0, length, `body` (which should end in F7).
  TMidiWriter& SysEx(uint32_t delta, std::span<const uint8_t> body);
  TMidiWriter& EndOfTrack(uint32_t delta = 0);
  // The length written into the newest track's chunk header in place of its true length.
  TMidiWriter& TrackLengthOverride(uint32_t length);

  // The whole file: "MThd", 6, format, track count (the tracks made, unless `track_count` is
  // given), division; then each track as "MTrk", length, events.
  std::vector<uint8_t> Bytes(std::optional<uint16_t> track_count = std::nullopt) const;

 private:
  struct TTrackBytes {
    std::vector<uint8_t> events;
    std::optional<uint32_t> length;
  };
  TTrackBytes& Current();

  int format_;
  int division_;
  std::vector<TTrackBytes> tracks_;
};

// The GS reset message, F0 41 10 42 12 40 00 7F 00 41 F7.
std::vector<uint8_t> GsResetBytes();

}  // namespace kova::test
