// The screen transitions ("wipes"): the base every kind derives from, and what they use beyond
// their three surfaces.
//
// A transition composes, into `Dest` (the root container's own surface, the picture shown), the
// mixture of `OldLayer` (the picture at position 0) and `NewLayer` (the picture at the end) for
// its current position. Its drivers (the flip command, the wipe tracks of films) keep the order
// of ISceneWipe: made by CreateWipe (wipe_factory.h) with the kind's default parameters, then
// the length and the reverse flag, the position, the parameters the driver has, the mask name,
// Prepare; then, every drawn frame, the position and Step.
//
// Dest keeps its contents between two steps: a kind may draw nothing when its picture has not
// changed since the last step. The surfaces are not owned; they must outlive the transition and
// keep their sizes while it runs (a kind that finds them changed draws nothing).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "components/scene/scene_host.h"
#include "core/types.h"

namespace kova {

class IPictureSource;
class TCustomDIBX;

// What the transitions reach besides their surfaces.
struct TWipeEnv {
  // The game's pictures, for the mask pictures of the mask-image kinds; nullptr: no picture is
  // found (those kinds then run without one, as with a missing file).
  IPictureSource* pictures = nullptr;
  // A uniform draw in 0 .. range - 1 (range >= 1) from the run's generator, seeded once per run
  // (the pieces of the chip transition); empty: the kinds use a generator of their own with a
  // fixed seed.
  std::function<uint32_t(uint32_t range)> random;
};

class TCustomWipe : public ISceneWipe {
 public:
  // Stores the three surfaces; everything else starts 0, empty or false.
  TCustomWipe(const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer, TCustomDIBX& new_layer);
  ~TCustomWipe() override;
  TCustomWipe(const TCustomWipe&) = delete;
  TCustomWipe& operator=(const TCustomWipe&) = delete;

  // Each kind gives the flag its own meaning (a mirrored direction, an inverted order).
  virtual void SetReverse(bool reverse) { Reverse = reverse; }
  // Parameters 0 and 1; another index answers 0 and sets nothing.
  int32_t GetParam(int32_t index) const override;
  void SetParam(int32_t index, int32_t value) override;
  void SetMaskName(std::string name) override { MaskName = std::move(name); }
  void Prepare() override {}
  // The base draws nothing and is never over.
  bool Step() override { return false; }

  int32_t GetLength() const override { return Length; }
  void SetLength(int32_t length) { Length = length; }
  // A position below 0 counts as 0.
  void SetPosition(int32_t position) override { Position = position < 0 ? 0 : position; }
  TRect UpdateArea() const override { return UpdateRect; }

  bool Reverse = false;
  std::string MaskName;
  TCustomDIBX& Dest;
  TCustomDIBX& OldLayer;
  TCustomDIBX& NewLayer;
  // In the driver's unit of time; below 1 the transition is over at once.
  int32_t Length = 0;
  int32_t Position = 0;
  std::array<int32_t, 2> Params{};
  TRect UpdateRect{};

 protected:
  // The common frame of every step: UpdateRect := Dest's bounds; true when the transition is over
  // (Position >= Length, which covers every Length below 1), and then nothing may be drawn.
  bool BeginStep();
  // Dest's clip made the whole surface (before the drawing operations of the surfaces).
  void ClipWhole();
  const TWipeEnv& Env() const { return env_; }

 private:
  TWipeEnv env_;
};

}  // namespace kova
