#include "media/midi_file.h"

#include <algorithm>
#include <array>
#include <limits>

namespace kova {

namespace {

constexpr std::array<uint8_t, 11> kGsReset = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
constexpr int64_t kMaxInt32 = std::numeric_limits<int32_t>::max();

uint32_t Big(std::span<const uint8_t> bytes, size_t at, int count) {
  uint32_t v = 0;
  for (int i = 0; i < count; ++i) v = v << 8 | bytes[at + size_t(i)];
  return v;
}

bool IsChunk(std::span<const uint8_t> bytes, size_t at, const char (&id)[5]) {
  return at + 4 <= bytes.size() && std::equal(id, id + 4, bytes.begin() + std::ptrdiff_t(at));
}

// The data bytes a channel message takes after its status.
int ChannelDataBytes(uint8_t status) {
  const uint8_t high = status & 0xF0;
  return high == 0xC0 || high == 0xD0 ? 1 : 2;
}

// The time base: a tick lasts `tempo * us_num / us_den` microseconds under metrical timing (the
// tempo in force, microseconds a quarter note), or a fixed `us_num / us_den` under SMPTE timing.
struct TTimeBase {
  bool smpte = false;
  int64_t us_num = 1;
  int64_t us_den = 1;
};

// One track chunk's events, read from `track` (already bounded by the chunk and the data's end).
class TTrackReader {
 public:
  TTrackReader(std::span<const uint8_t> track, std::vector<uint8_t>& pool) : in_(track), pool_(pool) {}

  // The next event into `event` (Delta, Tick, Kind, DataOffset, DataLength); false when the track
  // has ended: its end-of-track event was read, or its bytes ran out or are damaged.
  bool Next(TMidiMsgEvent& event) {
    if (ended_) return false;
    uint32_t delta = 0;
    if (!ReadVlq(delta)) return End();
    if (tick_ + delta > kMaxInt32) return End();  // the ticks of one track stay in int32
    tick_ += delta;
    if (at_ >= in_.size()) return End();
    uint8_t status = in_[at_];
    if (status < 0x80) {
      if (running_ == 0) return End();  // a data byte where no running status is in force
      status = running_;
    } else {
      ++at_;
    }
    event.Delta = int32_t(delta);
    event.Tick = int32_t(tick_);
    event.DataOffset = uint32_t(pool_.size());
    if (status < 0xF0) {
      const size_t count = size_t(ChannelDataBytes(status));
      if (in_.size() - at_ < count) return End();
      for (size_t i = 0; i < count; ++i) {
        if (in_[at_ + i] >= 0x80) return End();  // a status byte inside a message
      }
      running_ = status;
      event.Kind = TMidiEventKind::Channel;
      pool_.push_back(status);
      Take(count);
    } else if (status == 0xF0 || status == 0xF7) {
      running_ = 0;
      uint32_t length = 0;
      if (!ReadVlq(length) || in_.size() - at_ < length) return End();
      event.Kind = TMidiEventKind::SysEx;
      pool_.push_back(status);
      Take(length);
    } else if (status == 0xFF) {
      if (at_ >= in_.size()) return End();
      const uint8_t type = in_[at_++];
      uint32_t length = 0;
      if (!ReadVlq(length) || in_.size() - at_ < length) return End();
      event.Kind = TMidiEventKind::Meta;
      pool_.push_back(status);
      pool_.push_back(type);
      Take(length);
      if (type == 0x2F) ended_ = true;
    } else {
      return End();  // system common and real-time messages have no place in a file
    }
    event.DataLength = uint32_t(pool_.size() - event.DataOffset);
    return true;
  }

 private:
  bool End() {
    ended_ = true;
    return false;
  }

  // At most four bytes; a quantity cut off or still running on in its fourth byte is damage.
  bool ReadVlq(uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
      if (at_ >= in_.size()) return false;
      const uint8_t b = in_[at_++];
      value = value << 7 | (b & 0x7F);
      if ((b & 0x80) == 0) return true;
    }
    return false;
  }

  void Take(size_t count) {
    pool_.insert(pool_.end(), in_.begin() + std::ptrdiff_t(at_), in_.begin() + std::ptrdiff_t(at_ + count));
    at_ += count;
  }

  std::span<const uint8_t> in_;
  std::vector<uint8_t>& pool_;
  size_t at_ = 0;
  int64_t tick_ = 0;
  uint8_t running_ = 0;
  bool ended_ = false;
};

}  // namespace

void TMidiV::Clear() {
  format_ = track_count_ = division_ = 0;
  events_.clear();
  pool_.clear();
  tracks_.clear();
  rhythms_.assign(1, TRhythm{0, 192 / 4, 4, 4});
  song_length_ = 0;
}

void TMidiV::LoadFromStream(std::span<const uint8_t> bytes) {
  Clear();
  // Events keep 32-bit offsets into the data pool: a song is read from its first 2 GiB.
  bytes = bytes.first(std::min<size_t>(bytes.size(), kMaxInt32));
  if (!IsChunk(bytes, 0, "MThd") || bytes.size() < 14) return;
  const uint32_t header_length = Big(bytes, 4, 4);
  format_ = int32_t(Big(bytes, 8, 2));
  track_count_ = int32_t(Big(bytes, 10, 2));
  division_ = int32_t(Big(bytes, 12, 2));

  TTimeBase base;
  if (division_ & 0x8000) {
    // SMPTE: the high byte is minus the frames a second, the low byte the ticks a frame; "29"
    // is the drop-frame rate, 30000 / 1001 frames a second.
    const int32_t fps = -int32_t(int8_t(division_ >> 8));
    const int32_t ticks_per_frame = division_ & 0xFF;
    if (ticks_per_frame == 0) return;
    base.smpte = true;
    base.us_num = fps == 29 ? 1000000LL * 1001 : 1000000;
    base.us_den = (fps == 29 ? 30000LL : fps) * ticks_per_frame;
  } else {
    if (division_ == 0) return;
    base.us_den = division_;
  }

  // The chunks after the header; chunks of other types are passed over.
  size_t at = 8 + size_t(std::max<uint32_t>(header_length, 6));
  int32_t sequence = 0;
  std::vector<size_t> runs;  // where each track's events start
  while (int32_t(tracks_.size()) < track_count_ && at < bytes.size() && bytes.size() - at >= 8) {
    const bool is_track = IsChunk(bytes, at, "MTrk");
    const size_t length = Big(bytes, at + 4, 4);
    at += 8;
    const size_t end = at + std::min(length, bytes.size() - at);
    if (is_track) {
      const int32_t track = int32_t(tracks_.size());
      tracks_.emplace_back();
      runs.push_back(events_.size());
      TTrackReader reader(bytes.subspan(at, end - at), pool_);
      TMidiMsgEvent event;
      while (reader.Next(event)) {
        event.Sequence = sequence++;
        event.Track = track;
        const std::span<const uint8_t> data = Data(event);
        event.Class = Classify(data);
        if (event.Class == kMidiTrackName) {
          tracks_.back().Name.assign(data.begin() + 2, data.end());
        } else if (event.Class == kMidiTimeSignature && data.size() >= 4 && data[3] <= 30) {
          const int32_t denominator = int32_t(1) << data[3];
          const int32_t ticks_per_beat = base.smpte ? 0 : int32_t(int64_t(division_) * 4 / denominator);
          rhythms_.push_back(TRhythm{event.Tick, ticks_per_beat, data[2], denominator});
        }
        events_.push_back(event);
      }
    }
    at = end;
  }

  // Each track is in tick order already: the tracks' runs are merged pairwise, the earlier run
  // first on ties, so ties between tracks stay in the order they were read.
  const auto earlier = [](const TMidiMsgEvent& a, const TMidiMsgEvent& b) { return a.Tick < b.Tick; };
  for (size_t width = 1; width < runs.size(); width *= 2) {
    for (size_t i = 0; i + width < runs.size(); i += 2 * width) {
      const auto begin = events_.begin();
      const size_t last = std::min(i + 2 * width, runs.size());
      const size_t end = last < runs.size() ? runs[last] : events_.size();
      std::inplace_merge(begin + std::ptrdiff_t(runs[i]), begin + std::ptrdiff_t(runs[i + width]),
                         begin + std::ptrdiff_t(end), earlier);
    }
  }
  std::stable_sort(rhythms_.begin(), rhythms_.end(),
                   [](const TRhythm& a, const TRhythm& b) { return a.Tick < b.Tick; });

  // Times: whole microseconds-times-division are summed exactly over each tempo's stretch and
  // every event's absolute time is rounded to the millisecond once, so no rounding accumulates.
  int64_t tempo = 500000;
  int64_t span_tick = 0;
  int64_t span_start = 0;  // the time at `span_tick`, in microseconds times `us_den`
  const int64_t per_ms = base.us_den * 1000;
  for (TMidiMsgEvent& event : events_) {
    const int64_t per_tick = base.smpte ? base.us_num : tempo * base.us_num;
    const int64_t elapsed = span_start + (event.Tick - span_tick) * per_tick;
    event.Time = int32_t(std::min((elapsed + per_ms / 2) / per_ms, kMaxInt32));
    if (!base.smpte && event.Class == kMidiTempo) {
      const std::span<const uint8_t> data = Data(event);
      const int64_t next = data.size() >= 5 ? int64_t(Big(data, 2, 3)) : 0;
      if (next > 0) {
        span_tick = event.Tick;
        span_start = elapsed;
        tempo = next;
      }
    }
  }
  song_length_ = events_.empty() ? 0 : events_.back().Time;
}

int32_t TMidiV::Classify(std::span<const uint8_t> data) {
  if (data.empty() || data[0] < 0x80) return kMidiOther;
  const uint8_t status = data[0];
  switch (status & 0xF0) {
    case 0x80: return kMidiNoteOff;
    case 0x90: return data.size() >= 3 && data[2] == 0 ? kMidiNoteOff : kMidiNoteOn;
    case 0xA0: return kMidiKeyPressure;
    case 0xB0: return kMidiControlChange;
    case 0xC0: return kMidiProgramChange;
    case 0xD0: return kMidiChannelPressure;
    case 0xE0: return kMidiPitchBend;
    default: break;
  }
  if (std::ranges::equal(data, kGsReset)) return kMidiGsReset;
  // Only meta events have types; a system-exclusive message's first byte is its maker's number.
  if (status != 0xFF || data.size() < 2) return kMidiOther;
  const uint8_t type = data[1];
  if (type <= 5) return kMidiSequenceNumber + type;
  switch (type) {
    case 0x06: return kMidiMarker;
    case 0x07: return kMidiCuePoint;
    case 0x2F: return kMidiEndOfTrack;
    case 0x51: return kMidiTempo;
    case 0x52: return kMidiSmpteOffset;
    case 0x58: return kMidiTimeSignature;
    case 0x59: return kMidiKeySignature;
    default: return kMidiOther;
  }
}

}  // namespace kova
