// The sequencer: one song's events sent to a MIDI output in time. The timer (midi_timer.h) ticks
// every 10 ms; each tick moves the play position on by the time that passed on the clock (at most
// a second at once) and sends every event that lies before it. The song's last event is never
// sent: reaching it ends the song, or, with repeat on, starts it again. An ended song counts as
// playing until it is stopped.
//
// A seek (PlayFrom) sends what lies before the target again, except notes, so that programs and
// controllers are as the song had them there; a seek backwards replays from the start. After the
// last GS reset on the way the output is given 10 ms to reset.
//
// Control changes go out scaled by the channel's percentage for that controller, held to 0..127.
// System-exclusive messages go out whole and are used before the output returns, so nothing of
// them is kept pending.
//
// Main thread, except the tick (on the timer's thread when it has one): everything the tick uses
// is changed and read under the timer's hold.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "media/midi_file.h"
#include "media/midi_timer.h"
#include "platform/midi_out.h"

namespace kova {

class TMidiPlayV {
 public:
  // One event as the sequencer keeps it: its time, class and kind, and its bytes.
  struct TEvent {
    int32_t Time = 0;
    int32_t Class = kMidiOther;
    TMidiEventKind Kind = TMidiEventKind::Channel;
    std::vector<uint8_t> Bytes;
  };

  // `devices` may be null (no output opens). `clock_ms` is read by the tick: with `own_thread`, on
  // the timer's thread. `sleep` waits the pause after a GS reset while seeking (null: a real wait).
  TMidiPlayV(plat::IMidiDevices* devices, std::function<uint32_t()> clock_ms, bool own_thread,
             std::function<void(uint32_t)> sleep = {});
  ~TMidiPlayV();
  TMidiPlayV(const TMidiPlayV&) = delete;
  TMidiPlayV& operator=(const TMidiPlayV&) = delete;

  // Opens output `index` of the devices, or the default one for -1; false (and closed) when it
  // cannot be opened.
  bool OpenDevice(int32_t index);
  // Stops the timer, resets the output and closes it.
  void CloseDevice();
  bool IsOpen();

  // Stops, reads `bytes` as a song, goes to its first event and sets controller 7 of every
  // channel to 127.
  void LoadFromStream(std::span<const uint8_t> bytes);
  // The same over events made elsewhere (in time order).
  void LoadEvents(std::vector<TEvent> events);
  // A song's events as LoadFromStream reads them.
  using TReader = std::function<std::vector<TEvent>(std::span<const uint8_t>)>;
  std::vector<TEvent> Read(std::span<const uint8_t> bytes) const;
  // The events of a Standard MIDI File.
  static std::vector<TEvent> ReadMidiFile(std::span<const uint8_t> bytes);
  // Songs read another way from now on (tests read a song format of their own).
  void SetReader(TReader reader) { reader_ = std::move(reader); }
  // Stops and forgets the song.
  void Clear() { LoadEvents({}); }

  // Seeks to `ms` and plays.
  void PlayFrom(int32_t ms);
  void Stop();
  // The percentage controller `controller` of `channel` is sent at (100: the song's own value).
  void SetScale(int32_t channel, int32_t controller, int32_t percent);
  void SetScaleAll(int32_t controller, int32_t percent);
  // Controller 123 (all notes off) on every channel.
  void AllNotesOff();
  // The universal master volume message at full level.
  void MasterVolumeFull();

  bool IsPlaying() const { return timer_->Enabled(); }
  bool IsEnd();
  int32_t Position();
  int32_t SongLength();
  bool Repeat();
  void SetRepeat(bool repeat);
  // The tempo of the last tempo event sent (120 before any).
  int32_t BeatsPerMinute();

  // The owner's driver of a timer without a thread.
  void Tick() { timer_->Tick(); }
  TMMTimer& Timer() { return *timer_; }

 private:
  void OnTick();
  void Send(const TEvent& event);
  void SendControl(int32_t channel, int32_t controller);
  void AllNotesOffLocked();
  bool EndedLocked() const;

  plat::IMidiDevices* devices_;
  std::function<uint32_t()> clock_ms_;
  std::function<void(uint32_t)> sleep_;
  TReader reader_;
  // Under the hold:
  std::unique_ptr<plat::IMidiOut> out_;
  std::vector<TEvent> events_;
  size_t current_ = 0;
  int32_t position_ = 0;
  uint32_t previous_ = 0;
  bool repeat_ = false;
  int32_t bpm_ = 120;
  std::array<std::array<uint8_t, 128>, 16> controls_{};
  std::array<std::array<int32_t, 128>, 16> scales_{};
  std::unique_ptr<TMMTimer> timer_;  // last: its thread stops before the rest is freed
};

}  // namespace kova
