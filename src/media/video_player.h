// The pictures of one video, decoded ahead on a worker thread of their own. The worker owns the
// decoder; the main thread asks for the picture of a time and gets the newest decoded one that
// starts at or before it. Times run on from one pass to the next while the video repeats (the
// second pass starts at the length, and so on), so the caller's clock never goes back.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "core/worker.h"
#include "platform/video_codecs.h"

namespace kova {

class TVideoPictures {
 public:
  // Pictures decoded ahead of the one shown.
  static constexpr size_t kAhead = 3;
  // The longest the main thread waits for a picture that is due but not decoded yet.
  static constexpr int kWaitLimitMs = 5000;

  // `decoder` is read only by the worker from now on. The first pass starts at 0.
  explicit TVideoPictures(std::unique_ptr<plat::IVideoDecoder> decoder);
  // Stops the worker (it wakes at once, between two pictures) and frees the decoder.
  ~TVideoPictures();
  TVideoPictures(const TVideoPictures&) = delete;
  TVideoPictures& operator=(const TVideoPictures&) = delete;

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int64_t Length() const { return length_; }

  // Main thread. The newest picture starting at or before `ms`, nullptr before the first. With
  // `wait`, a picture that is due but not decoded yet is waited for (up to kWaitLimitMs).
  const plat::TVideoPicture* PictureAt(int64_t ms, bool wait);
  // Counts the pictures PictureAt has moved to: a new one shows when it changes.
  uint64_t Serial() const { return serial_; }
  // Main thread. Starts again at `ms` of the video, which from now on is the time `ms` (the
  // picture shown stays until the first one after the seek is due).
  void Seek(int64_t ms);
  // Whether the worker goes on into another pass at the end.
  void SetRepeat(bool repeat) { repeat_.store(repeat); }
  // The decoder has given its last picture and every one has been taken.
  bool Ended();

 private:
  void Body();

  int32_t width_ = 0, height_ = 0;
  int64_t length_ = 0;
  std::unique_ptr<plat::IVideoDecoder> decoder_;  // the worker's
  std::atomic<bool> repeat_{false};

  std::mutex mutex_;
  std::condition_variable changed_;
  // Under mutex_:
  std::deque<plat::TVideoPicture> queue_;  // decoded, in time order
  std::vector<plat::TVideoPicture> spare_;  // buffers to decode into
  bool ended_ = false;
  bool broken_ = false;  // the decoder failed: nothing more will come, whatever is asked
  bool stop_ = false;
  bool seek_pending_ = false;
  int64_t seek_ms_ = 0;
  uint64_t generation_ = 0;  // moves at each seek: pictures of an older one are dropped

  // Main thread only:
  plat::TVideoPicture current_;
  bool has_current_ = false;
  uint64_t serial_ = 0;

  std::unique_ptr<TWorker<int>> worker_;  // last: started once everything above is made
};

}  // namespace kova
