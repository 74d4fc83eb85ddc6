#include "media/midi_file.h"

namespace kova {

void TMidiV::Clear() {
  format_ = track_count_ = division_ = 0;
  events_.clear();
  pool_.clear();
  tracks_.clear();
  rhythms_.assign(1, TRhythm{0, 48, 4, 4});
  song_length_ = 0;
}

void TMidiV::LoadFromStream(std::span<const uint8_t>) { Clear(); }

int32_t TMidiV::Classify(std::span<const uint8_t>) { return kMidiOther; }

}  // namespace kova
