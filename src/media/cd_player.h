// The CD player: one drive of the platform's CD drives opened at a time, its disc's audio tracks
// played as a backend voice over a decoder that reads the disc's sectors of the played range on
// the voice's thread. Positions and lengths are whole seconds within a track (tracks count from
// 1). The end of a played range and the 200 ms poll for the medium run on the main thread in
// Poll, called every frame. The CD line's level (TCdLineLevel, set by the mixer) is the voice's
// gain on the bus. Main thread only.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/media_backend.h"
#include "platform/cd_audio.h"

namespace kova {

// The CD line's level: 0 .. 65535 each side, and its mute; read by the voice's thread.
struct TCdLineLevel {
  std::atomic<int32_t> left{65535};
  std::atomic<int32_t> right{65535};
  std::atomic<bool> mute{false};
};

class TCDP {
 public:
  // Modes.
  enum : int32_t { kPlaying = 0, kStopped = 1, kPaused = 2, kSeeking = 3, kNotReady = 4, kOpen = 5 };

  // `drives` and `backend` (nullptr: nothing sounds) outlive the player.
  TCDP(plat::ICdDrives& drives, IMediaBackend* backend);
  ~TCDP();
  TCDP(const TCDP&) = delete;
  TCDP& operator=(const TCDP&) = delete;

  // The drives' names, read at creation.
  const std::vector<std::string>& Drives() const { return drives_list_; }
  // Opens drive `index`; false when it cannot be opened. Starts the poll.
  bool OpenDrive(int32_t index);
  void Close();
  bool IsOpen() const { return disc_ != nullptr; }

  int32_t Mode();
  int32_t TrackCount();
  // Track `track`'s length in whole seconds, 0 when there is no such track.
  int32_t TrackLength(int32_t track);
  // The position within the current track, in whole seconds.
  int32_t PositionSeconds();
  // Plays `track` from `seconds` up to one second before its end.
  void PlayFrom(int32_t track, int32_t seconds);
  // Plays the play list from its first entry.
  void PlayListStart();
  void Stop();

  // Each frame, with the clock in ms: the end of a played range, and every 200 ms the medium.
  void Poll(uint32_t now_ms);

  std::vector<int32_t> PlayList;
  int32_t PlayIndex = 0;
  bool Repeat = false;
  bool Paused = false;
  std::function<void()> OnMediaInserted;
  std::function<void()> OnMediaRemoved;

  const std::shared_ptr<TCdLineLevel>& Level() const { return level_; }

 private:
  void DropVoice();
  void EndOfRange();
  void MediumTick();
  const plat::TCdTrack* Track(int32_t track) const;

  plat::ICdDrives& drives_;
  IMediaBackend* backend_;
  std::vector<std::string> drives_list_;
  std::unique_ptr<plat::ICdDisc> disc_;
  std::vector<plat::TCdTrack> tracks_;  // read at open and when a medium comes
  std::shared_ptr<TCdLineLevel> level_ = std::make_shared<TCdLineLevel>();
  TVoiceHandle voice_ = 0;
  int32_t track_ = 0;          // the current track (0: none)
  int32_t range_start_ = 0;    // seconds into the track where the voice's range starts
  int32_t stop_seconds_ = 0;   // the position when stopped
  bool medium_known_ = false;
  bool polling_ = false;
  bool in_poll_ = false;
  uint32_t next_tick_ms_ = 0;
  bool tick_started_ = false;
  int32_t ticks_ = 0;
};

// The decoder of a range of a disc's audio sectors (stereo 16-bit at 44100 Hz), scaled by the
// CD line's level. Exposed for the tests.
std::unique_ptr<plat::IPcmDecoder> MakeCdRangeDecoder(plat::ICdDisc& disc, int32_t first_sector, int32_t sectors,
                                                      std::shared_ptr<TCdLineLevel> level);

}  // namespace kova
