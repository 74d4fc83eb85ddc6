// The wave: its children draw into a wave surface that passes each row on to the layer shifted
// sideways by that row's offset; the offsets follow a sine wave that travels with time. With
// amplitude 0 the children draw straight onto the layer.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "components/scene/kova_control.h"
#include "core/vocabulary.h"
#include "graphics/dibx_wave.h"

namespace kova {

class TKovaWave : public TKovaControl {
 public:
  explicit TKovaWave(TKovaObject* owner);
  ~TKovaWave() override;

  uint8_t GetCompoType() const override { return KT_WAVE; }

  // Amplitude in pixels; 0 turns the effect off.
  int32_t GetAmp() const override { return amp_; }
  void SetAmp(int32_t v) override;
  // Rows per full wave, at least 1.
  int32_t GetWaveLen() const override { return wave_len_; }
  void SetWaveLen(int32_t v) override { wave_len_ = std::max(v, 1); }
  // Time per phase step in 1/256 ms, at least 1.
  int32_t GetDelay() const override { return delay_; }
  void SetDelay(int32_t v) override { delay_ = std::max(v, 1); }
  bool GetPaused() const override { return paused_; }
  void SetPaused(bool v) override { paused_ = v; }
  std::string GetOnIdle() const override { return on_idle_; }
  void SetOnIdle(const std::string& v) override { on_idle_ = v; }
  bool GetPlaying() const override { return !paused_ && !GetAniPaused(); }

  void SetLeft(int32_t v) override;
  void SetTop(int32_t v) override;
  void SetWidth(int32_t v) override;
  void SetHeight(int32_t v) override;
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
  void PositionChanged() override;

  // The wave surface while the amplitude is not 0, else the layer's target.
  TCustomDIBX* GetTargetDIB() override;
  // Widened by the amplitude to the left and right, so that shifted rows are redrawn.
  void InvalidateParent(const TRect& r) override;

  TDIBXWave& WaveSurface() { return wave_; }
  int32_t Phase() const { return phase_; }
  int32_t Accumulator() const { return accumulator_; }

  bool Update() override;
  void Draw() override;
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream, int32_t version) override;

 private:
  template <class IO, class R>
  static void Transfer(IO& io, R& r);

  // The wave surface takes the control's size (none beyond the scene's pixel budget) and screen
  // position.
  void PlaceSurface();
  TCustomDIBX* LayerTarget() { return TKovaControl::GetTargetDIB(); }

  TDIBXWave wave_;
  int32_t amp_ = 10;
  int32_t wave_len_ = 200;
  int32_t phase_ = 0;
  int32_t accumulator_ = 0;
  int32_t delay_ = 2000;
  std::string on_idle_;
  bool paused_ = false;
};

}  // namespace kova
