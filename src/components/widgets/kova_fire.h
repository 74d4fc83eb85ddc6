// The fire: an animated flame. An 8-bit field of heat values rises and cools once every 40 ms of
// frame time and is drawn additively through a grey table onto the layer, stretched when zoomed.
// Cold cells (16) are the field's transparent code, so only the flame shows.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "components/scene/kova_control.h"
#include "core/vocabulary.h"
#include "core/xr_random.h"
#include "graphics/dibx.h"

namespace kova {

class TKovaFire : public TKovaControl {
 public:
  explicit TKovaFire(TKovaObject* owner);
  ~TKovaFire() override;

  uint8_t GetCompoType() const override { return KT_FIRE; }

  // 0..255; higher power cools less, so the flame rises higher.
  int32_t GetPower() const override { return power_; }
  void SetPower(int32_t v) override;
  // The field's size in cells; a change restarts the flame from an empty field.
  int32_t GetOrigWidth() const override { return orig_width_; }
  int32_t GetOrigHeight() const override { return orig_height_; }
  void SetOrigWidth(int32_t v) override;
  void SetOrigHeight(int32_t v) override;
  // Scale in 1/256 (at least 1); the control's size follows.
  int32_t GetZoomX() const override { return zoom_x_; }
  int32_t GetZoomY() const override { return zoom_y_; }
  void SetZoomX(int32_t v) override;
  void SetZoomY(int32_t v) override;
  // The size follows the field and the zoom: script widths and heights are ignored.
  void SetWidth(int32_t) override {}
  void SetHeight(int32_t) override {}
  // Places the fire; the size stays the one the field and the zoom give.
  void SetBounds(int32_t left, int32_t top, int32_t, int32_t) override {
    TKovaControl::SetBounds(left, top, GetWidth(), GetHeight());
  }
  bool GetPaused() const override { return paused_; }
  void SetPaused(bool v) override { paused_ = v; }
  std::string GetOnIdle() const override { return on_idle_; }
  void SetOnIdle(const std::string& v) override { on_idle_ = v; }
  bool GetPlaying() const override { return !paused_ && !GetAniPaused(); }

  // The seed of the noise drawn at each initialisation (fixed by default).
  void SetRandomSeed(uint32_t seed) { random_ = TXrRandom(seed); }

  double CoolingConstant() const { return cooling_constant_; }
  const std::array<uint8_t, 1024>& Cooling() const { return cooling_; }
  // The heat field (8 bits per cell) and the noise it is cooled by; tests may set the noise.
  TDIBX& Field() { return field_; }
  std::vector<uint8_t>& Noise() { return noise_; }
  int32_t State() const { return state_; }
  int32_t Elapsed() const { return elapsed_; }
  int32_t NoiseX() const { return noise_x_; }
  int32_t NoiseY() const { return noise_y_; }

  // Initialises the field when needed, then runs one heat step per 40 ms (at most one per frame).
  bool Update() override;
  // One heat step of the running field.
  void Step();
  void Draw() override;
  void SaveToStream(TStream& stream) const override;
  // The field is not saved: the first Update after loading starts it again.
  void LoadFromStream(TStream& stream, int32_t version) override;

 private:
  template <class IO, class R>
  static void Transfer(IO& io, R& r);

  void BuildCooling();
  void Initialise();
  // Width and height from the field's size and the zoom.
  void Resize();

  int32_t power_ = 1;
  int32_t orig_width_ = 0, orig_height_ = 0;
  int32_t zoom_x_ = 256, zoom_y_ = 256;
  TDIBX field_;
  std::vector<uint8_t> noise_;
  std::vector<int32_t> column_wrap_, row_wrap_;
  std::array<uint8_t, 256> floor_{};
  std::array<uint8_t, 1024> cooling_{};
  double cooling_constant_ = 4.5;
  int32_t noise_x_ = 0, noise_y_ = 0;
  int32_t state_ = 0;
  std::string on_idle_;
  bool paused_ = false;
  int32_t elapsed_ = 0;
  TXrRandom random_{0x5EED1234u};
  // The grey table of the last target depth drawn to.
  std::vector<uint32_t> table_;
  int32_t table_bits_ = 0;
};

}  // namespace kova
