// A Standard MIDI File read into one time-ordered list of events, each with its absolute tick and
// its time in milliseconds from the start of the song, and the song's length. ".sgt" songs are
// read the same way (data without "MThd" gives an empty song).
//
// Damaged data never throws: a track ends where its chunk or the data ends or where an event is
// cut off, a variable-length quantity has at most four bytes, and a file whose division is 0 holds
// no events. Every event's bytes lie in the file, so a song costs memory in proportion to its data.
// A track also ends at a data byte with no running status in force (only channel messages set it,
// system-exclusive messages clear it, meta events leave it), at a status byte inside a channel
// message, at a system common or real-time status, and where its ticks would pass int32.
//
// Times are exact: microseconds are summed in integers over each tempo's stretch and each event's
// absolute time is rounded to the millisecond. An SMPTE division (high bit set) times a tick at
// 1000 / (frames a second x ticks a frame) ms, "29" frames being 30000 / 1001, and tempo events
// then change nothing.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kova {

enum class TMidiEventKind : uint8_t { Channel = 0, SysEx = 1, Meta = 2 };

// What an event is (see TMidiV::Classify).
enum TMidiEventClass : int32_t {
  kMidiOther = 0,
  kMidiNoteOn = 1,  // 0x9n with a velocity above 0
  kMidiNoteOff = 2,  // 0x8n, or 0x9n with velocity 0
  kMidiKeyPressure = 3,
  kMidiControlChange = 4,
  kMidiProgramChange = 5,
  kMidiChannelPressure = 6,
  kMidiPitchBend = 7,
  kMidiGsReset = 8,  // F0 41 10 42 12 40 00 7F 00 41 F7
  kMidiTempo = 9,  // FF 51
  kMidiSequenceNumber = 10,  // meta 0 .. 5: 10 .. 15
  kMidiText = 11,
  kMidiCopyright = 12,
  kMidiTrackName = 13,
  kMidiInstrumentName = 14,
  kMidiLyric = 15,
  kMidiMarker = 16,
  kMidiCuePoint = 17,
  kMidiEndOfTrack = 18,  // FF 2F
  kMidiSmpteOffset = 19,  // FF 52
  kMidiTimeSignature = 20,  // FF 58
  kMidiKeySignature = 21,  // FF 59
};

struct TMidiMsgEvent {
  int32_t Tick = 0;   // absolute
  int32_t Time = 0;   // ms from the song's start
  int32_t Delta = 0;  // ticks after the previous event of its track
  int32_t Sequence = 0;  // order read over the whole file
  TMidiEventKind Kind = TMidiEventKind::Channel;
  int32_t Class = kMidiOther;
  int32_t Track = 0;
  // The event's bytes in the song's data pool (TMidiV::Data): status byte first; a meta event
  // holds FF, its type and its contents without the length.
  uint32_t DataOffset = 0;
  uint32_t DataLength = 0;
};

// A time signature: from `Tick` on, `Numerator` / `Denominator` with `TicksPerBeat` ticks a beat.
struct TRhythm {
  int32_t Tick = 0;
  int32_t TicksPerBeat = 0;
  int32_t Numerator = 4;
  int32_t Denominator = 4;
};

struct TMidiTrack {
  std::string Name;  // the track's name event, as its bytes stand
};

class TMidiV {
 public:
  // Clears the song and reads `bytes` as a Standard MIDI File.
  void LoadFromStream(std::span<const uint8_t> bytes);
  void Clear();

  int32_t Format() const { return format_; }
  // As the header says; Tracks() holds the track chunks that were there.
  int32_t TrackCount() const { return track_count_; }
  // As the header says (16 bits; an SMPTE division has its high bit set).
  int32_t Division() const { return division_; }
  // Every event, by tick, ties in the order they were read.
  const std::vector<TMidiMsgEvent>& Events() const { return events_; }
  std::span<const uint8_t> Data(const TMidiMsgEvent& event) const {
    return std::span<const uint8_t>(pool_).subspan(event.DataOffset, event.DataLength);
  }
  const std::vector<TMidiTrack>& Tracks() const { return tracks_; }
  // The time signatures by tick (ties in read order), the first 4/4 at tick 0 with 48 ticks a
  // beat; ticks a beat are division x 4 / denominator (0 under SMPTE timing).
  const std::vector<TRhythm>& Rhythms() const { return rhythms_; }
  // The time of the last event, in ms.
  int32_t SongLength() const { return song_length_; }

  // The class of an event from its bytes (status byte first; a meta event FF, type, contents).
  // Only meta events are classed by type: a system-exclusive message is the GS reset or other.
  static int32_t Classify(std::span<const uint8_t> data);

 private:
  int32_t format_ = 0;
  int32_t track_count_ = 0;
  int32_t division_ = 0;
  std::vector<TMidiMsgEvent> events_;
  std::vector<uint8_t> pool_;
  std::vector<TMidiTrack> tracks_;
  std::vector<TRhythm> rhythms_;
  int32_t song_length_ = 0;
};

}  // namespace kova
