#include "media/video_player.h"

#include <chrono>
#include <utility>

namespace kova {

TVideoPictures::TVideoPictures(std::unique_ptr<plat::IVideoDecoder> decoder) : decoder_(std::move(decoder)) {
  width_ = decoder_->Width();
  height_ = decoder_->Height();
  length_ = std::max<int64_t>(decoder_->DurationMs(), 0);
  spare_.resize(kAhead + 1);
  worker_ = std::make_unique<TWorker<int>>(
      [this](TCommandQueue<int>&) {
        try {
          Body();
        } catch (...) {
          // A decoder that fails this way gives nothing more: the pictures end, and nobody waits.
          std::lock_guard lock(mutex_);
          broken_ = true;
          ended_ = true;
          changed_.notify_all();
        }
      },
                                           [this] {
                                             std::lock_guard lock(mutex_);
                                             stop_ = true;
                                             changed_.notify_all();
                                           });
}

TVideoPictures::~TVideoPictures() {
  worker_.reset();  // joined: nothing reads the decoder any more
}

void TVideoPictures::Body() {
  int64_t offset = 0;          // the time of this pass's start
  bool pass_had_picture = false;
  uint64_t generation = 0;
  plat::TVideoPicture picture;
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || seek_pending_ || (!ended_ && queue_.size() < kAhead); });
      if (stop_) return;
      if (seek_pending_) {
        seek_pending_ = false;
        generation = generation_;
        const int64_t ms = seek_ms_;
        lock.unlock();
        // The video's time ms is the caller's ms from now on: one pass, started at 0.
        offset = 0;
        pass_had_picture = false;
        if (!decoder_->Seek(ms)) decoder_->Seek(0);
        continue;
      }
      generation = generation_;
      if (!spare_.empty()) {
        picture = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    const bool got = decoder_->ReadPicture(picture);
    std::lock_guard lock(mutex_);
    if (stop_) return;
    if (generation != generation_) {
      spare_.push_back(std::move(picture));  // decoded for a place the video has left
      continue;
    }
    if (got) {
      picture.time_ms += offset;
      pass_had_picture = true;
      queue_.push_back(std::move(picture));
      picture = plat::TVideoPicture();
    } else {
      spare_.push_back(std::move(picture));
      // Another pass only when this one showed something and has a length to move on by.
      if (repeat_.load() && pass_had_picture && length_ > 0) {
        offset += length_;
        pass_had_picture = false;
        if (decoder_->Seek(0)) continue;
      }
      ended_ = true;
    }
    changed_.notify_all();
  }
}

const plat::TVideoPicture* TVideoPictures::PictureAt(int64_t ms, bool wait) {
  std::unique_lock lock(mutex_);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitLimitMs);
  for (;;) {
    bool moved = false;
    while (!queue_.empty() && queue_.front().time_ms <= ms) {
      std::swap(current_, queue_.front());
      spare_.push_back(std::move(queue_.front()));
      queue_.pop_front();
      has_current_ = true;
      moved = true;
    }
    if (moved) {
      ++serial_;
      changed_.notify_all();  // room for the worker
    }
    // The picture of `ms` is known once a later one is decoded or there is none to come.
    if (!wait || !queue_.empty() || ended_) break;
    if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) break;
  }
  return has_current_ ? &current_ : nullptr;
}

void TVideoPictures::Seek(int64_t ms) {
  std::lock_guard lock(mutex_);
  for (plat::TVideoPicture& p : queue_) spare_.push_back(std::move(p));
  queue_.clear();
  ended_ = broken_;
  seek_pending_ = true;
  seek_ms_ = ms;
  ++generation_;
  changed_.notify_all();
}

bool TVideoPictures::Ended() {
  std::lock_guard lock(mutex_);
  return ended_ && queue_.empty();
}

}  // namespace kova
