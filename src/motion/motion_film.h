// The film of a control's motion: a film manager in motion mode whose tracks drive one control,
// seen through the scene's narrow view of a film (components/scene/scene_host.h).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "components/scene/scene_host.h"
#include "motion/film_manager.h"

namespace kova {

class TMotionFilm : public ISceneFilm {
 public:
  // A film driving `control` (its priority the base of the tracks' orders).
  explicit TMotionFilm(TKovaControl& control);

  // As TFilmManager::LoadFromStream: raises for a malformed film (which is then empty).
  void Load(std::span<const uint8_t> bytes, std::string_view name) { film_.LoadFromStream(bytes, name); }

  int32_t Length() const override { return film_.GetLength(); }
  int32_t LoopStart() const override { return film_.LoopStart; }
  bool Relative() const override { return film_.Relative(); }
  void SetOrigin(int32_t x, int32_t y) override { film_.SetOrigin({x, y}); }
  void SetBasePriority(int32_t priority) override { film_.SetMotion(&control_, priority); }
  int32_t CurrentTick() const override { return tick_; }
  void SetTime(int32_t tick) override;

  TFilmManager& Film() { return film_; }

 private:
  TKovaControl& control_;
  TFilmManager film_;
  int32_t tick_ = -1;
};

}  // namespace kova
