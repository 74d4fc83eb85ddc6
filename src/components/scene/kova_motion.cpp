#include "components/scene/kova_motion.h"

#include <cmath>

#include "components/scene/kova_base_list.h"
#include "components/scene/kova_control.h"

namespace kova {
namespace {

// Ticks of 1/60 s in `ms` milliseconds, rounded to the nearest (halves to even).
int32_t MsToTick(int32_t ms) { return int32_t(std::nearbyint(double(ms) * 60.0 / 1000.0)); }
int32_t TickToMs(int32_t tick) { return int32_t(std::nearbyint(double(tick) * 1000.0 / 60.0)); }

}  // namespace

TKovaMotion::~TKovaMotion() {
  target_.SetMotionX(0);
  target_.SetMotionY(0);
  target_.SetOrder(0);
}

bool TKovaMotion::LoadFile(const std::string& name) {
  TKovaBaseList* root = target_.Root();
  film_ = root ? root->Makers().LoadFilm(name, target_) : nullptr;
  Restart();
  return film_ != nullptr;
}

void TKovaMotion::SetFilm(std::unique_ptr<ISceneFilm> film) {
  film_ = std::move(film);
  Restart();
}

void TKovaMotion::Restart() {
  elapsed_ = 0;
  state_ = 2;
  ended_ = false;
}

void TKovaMotion::ApplyCurrentFrame() {
  if (film_ && frame_ >= 0 && frame_ < FrameCount()) film_->SetTime(frame_);
}

bool TKovaMotion::Step(int32_t delta) {
  if (!film_) return false;
  const int32_t left = target_.GetLeft(), top = target_.GetTop();
  bool force = false;
  if (state_ < 1 && (left != last_left_ || top != last_top_) && film_->Relative()) {
    film_->SetOrigin(left, top);
    ended_ = false;
    force = true;
  }
  if (ended_) return false;
  if (state_ == 2) {
    if (film_->Relative()) {
      film_->SetOrigin(left, top);
    } else {
      film_->SetOrigin(0, 0);
    }
    film_->SetBasePriority(target_.Priority());
    last_left_ = left;
    last_top_ = top;
  }
  if (state_ < 1 && !target_.GetAniPaused()) elapsed_ += delta;
  frame_ = MsToTick(elapsed_);
  const int32_t count = FrameCount();
  bool finished = false;
  if (count <= 0) {
    // An empty film holds tick 0: it never repeats (no division by its length) and ends at once
    // unless it repeats.
    frame_ = 0;
    if (!target_.GetRepeat()) {
      ended_ = true;
      finished = true;
    }
  } else if (frame_ >= count) {
    if (!target_.GetRepeat()) {
      frame_ = count - 1;
      ended_ = true;
      finished = true;
    } else {
      int32_t loop = film_->LoopStart();
      if (loop > count - 1) loop = count - 1;
      if (loop < 0) loop = 0;
      frame_ = frame_ % count + loop;
      elapsed_ = TickToMs(frame_);
    }
  }
  if (count > 0 && (state_ == 2 || film_->CurrentTick() != frame_ || force)) film_->SetTime(frame_);
  if (state_ > 0) --state_;
  last_left_ = target_.GetLeft();
  last_top_ = target_.GetTop();
  return finished;
}

}  // namespace kova
