// libFuzzer target for Standard MIDI Files: any input is read by the song reader, then every
// event is checked against what the reader promises: its bytes lie in the song's data, events run
// in time order, and the song's length is the last event's time. No input may crash, hang or read
// outside its bytes.
//
// Build and run as the other targets (tools/fuzz/archive_fuzz.cpp), with the seed corpus
// tests/fuzz/corpus/midi:
//   build-fuzz/bin/kova_midi_fuzz corpus -max_len=4096
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "media/midi_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kova::TMidiV song;
  song.LoadFromStream(std::span<const uint8_t>(data, size));
  const kova::TMidiMsgEvent* previous = nullptr;
  size_t pool = 0;
  for (const kova::TMidiMsgEvent& event : song.Events()) {
    const std::span<const uint8_t> bytes = song.Data(event);
    pool += bytes.size();
    if (bytes.size() != event.DataLength || bytes.empty() || bytes[0] < 0x80) std::abort();
    if (kova::TMidiV::Classify(bytes) != event.Class) std::abort();
    if (previous && (event.Tick < previous->Tick || event.Time < previous->Time)) std::abort();
    if (event.Tick < 0 || event.Time < 0 || event.Delta < 0) std::abort();
    previous = &event;
  }
  // Every event's bytes come from the input, a running status byte aside.
  if (pool > size + song.Events().size()) std::abort();
  if (song.SongLength() != (previous ? previous->Time : 0)) std::abort();
  return 0;
}
