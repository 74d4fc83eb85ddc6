// A motion file played on a control: the film's tracks move and change the control, and the
// control learns when the motion ends.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "components/scene/scene_host.h"

namespace kova {

class TKovaControl;

class TKovaMotion {
 public:
  explicit TKovaMotion(TKovaControl& target) : target_(target) {}
  // Resets the target's MotionX, MotionY and Order to 0.
  ~TKovaMotion();
  TKovaMotion(const TKovaMotion&) = delete;
  TKovaMotion& operator=(const TKovaMotion&) = delete;

  TKovaControl& Target() const { return target_; }
  // Loads the film through the scene host; false (and no film) when it cannot be loaded.
  bool LoadFile(const std::string& name);
  // Takes a film made elsewhere (films built in code, tests).
  void SetFilm(std::unique_ptr<ISceneFilm> film);
  ISceneFilm* Film() const { return film_.get(); }
  void Restart();
  // The film's length in ticks (0 without film).
  int32_t FrameCount() const { return film_ ? film_->Length() : 0; }
  // Sets the film to the current frame again (after the surfaces were made again).
  void ApplyCurrentFrame();
  // One frame of `delta` milliseconds; true only in the frame in which the motion ends.
  bool Step(int32_t delta);

  int32_t Elapsed() const { return elapsed_; }
  // Moves the motion to `ms` milliseconds; the next step sets the film there.
  void SetElapsed(int32_t ms) { elapsed_ = ms; }
  int32_t State() const { return state_; }
  bool Ended() const { return ended_; }
  int32_t Frame() const { return frame_; }

 private:
  TKovaControl& target_;
  std::unique_ptr<ISceneFilm> film_;
  int32_t elapsed_ = 0;
  int32_t state_ = 2;
  bool ended_ = false;
  int32_t frame_ = 0;
  int32_t last_left_ = 0, last_top_ = 0;
};

}  // namespace kova
