// The image control base: a control that owns a drawing surface and draws it (or a surface set
// from outside) into its screen layer with zoom, mirroring, rotation, opacity or an additive level
// and an optional 8-bit mask, and decides mouse hits by rectangle, rotated rectangle or mask
// pixels. It never loads pictures itself: its kinds (the single picture, image sets, tiles,
// video) give it surfaces.
#pragma once

#include <cstdint>
#include <memory>

#include "components/scene/kova_control.h"
#include "graphics/dibx.h"

namespace kova {

class TKovaCustomImage : public TKovaControl {
 public:
  explicit TKovaCustomImage(TKovaObject* owner);
  ~TKovaCustomImage() override;

  // ---- Surfaces ----
  // The surface drawn: the one set from outside when there is one, else the own one; nullptr after
  // FreeDIB until RecreateDIB.
  TCustomDIBX* Surface() const { return surface_override_ ? surface_override_ : own_surface_.get(); }
  // The mask: the one set from outside, else the own one; nullptr when none.
  TCustomDIBX* Mask() const { return mask_override_ ? mask_override_ : own_mask_.get(); }
  TCustomDIBX* GetDIB() const override { return Surface(); }
  // Sets the surface from outside (not owned; nullptr: the own surface again).
  void SetDIB(TCustomDIBX* surface) override;
  TCustomDIBX* GetSubDIB() const override { return Mask(); }
  void SetSubDIB(TCustomDIBX* mask) override;
  TCustomDIBX* OwnSurface() const { return own_surface_.get(); }

  // The colour a film frame names transparent (an RGB colour; below 0 none).
  int32_t TransparentColor = -1;

  // ---- Properties ----
  int32_t GetAlpha() const override { return alpha_; }
  void SetAlpha(int32_t v) override;
  int32_t GetZoomX() const override { return zoom_x_; }
  int32_t GetZoomY() const override { return zoom_y_; }
  // Values below 1 store 1; the size follows at the next update.
  void SetZoomX(int32_t v) override;
  void SetZoomY(int32_t v) override;
  void SetPosZoomed(bool v) override;
  int32_t GetAngle() const override { return angle_; }
  void SetAngle(int32_t v) override;
  bool GetFlipH() const override { return flip_h_; }
  bool GetFlipV() const override { return flip_v_; }
  void SetFlipH(bool v) override;
  void SetFlipV(bool v) override;
  bool GetCaptureMask() const override { return capture_mask_; }
  void SetCaptureMask(bool v) override { capture_mask_ = v; }
  bool GetReanchor() const override { return reanchor_; }
  void SetReanchor(bool v) override { reanchor_ = v; }
  // The surface's size (0 without one).
  int32_t GetOrigWidth() const override;
  int32_t GetOrigHeight() const override;
  // A size set by hand: without a motion the zoom of that axis becomes 0 (the size then stays).
  void SetWidth(int32_t v) override;
  void SetHeight(int32_t v) override;

  // ---- Geometry ----
  // The anchor (where the picture's centre lands on the layer) and the centre (the anchor point
  // inside the picture, mirrored with the picture).
  void DrawOrigin(TPoint& anchor, TPoint& centre) const;
  TPoint GetDrawOrigin() const override;
  // The screen rectangle; turned, the box around the turned picture.
  TRect GetBoundsRect() const override;
  // The size from the surface and the zoom (nothing while a motion runs; an axis whose zoom is 0
  // keeps the size set by hand).
  void RecalcHorz();
  void RecalcVert();
  virtual bool HasNoMotion() const { return GetMotion() == nullptr; }

  // ---- Behaviour ----
  void Invalidate() override;
  void Draw() override;
  // Draws the current surface into the layer.
  virtual void Render();
  // Draws `surface` (through `mask` when given) with this control's place, size, zoom, angle,
  // flips and level; `content_pass` draws a surface's content rectangles one by one.
  void RenderSurface(TCustomDIBX& surface, TCustomDIBX* mask, bool content_pass);
  TKovaControl* HitTest(TPoint point, uint32_t mask) override;
  bool Update() override;
  void FreeDIB() override;
  void RecreateDIB() override;
  // After the control's record: alpha, zoom X, angle, flip H, flip V, capture mask, zoom Y (read
  // from data version 104).
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream, int32_t version) override;

 protected:
  // The depth new surfaces take: the screen's, 15 without one.
  int32_t ScreenBitCount() const;
  void SetOwnMask(std::unique_ptr<TCustomDIBX> mask) { own_mask_ = std::move(mask); }
  // Marks this control and its position-zoomed children for a new size.
  void RequestReanchor();
  // The control's own size setters (without the zoom rule).
  void SetSizeDirect(int32_t width, int32_t height);

 private:
  // The record's one description, run by SaveToStream and LoadFromStream.
  template <class IO, class R>
  static void Transfer(IO& io, R& r);

  bool MaskHit(TPoint p, const TRect& screen) const;

  std::unique_ptr<TCustomDIBX> own_surface_;
  TCustomDIBX* surface_override_ = nullptr;
  std::unique_ptr<TCustomDIBX> own_mask_;
  TCustomDIBX* mask_override_ = nullptr;
  int32_t alpha_ = 255;
  int32_t zoom_x_ = 256, zoom_y_ = 256;
  int32_t angle_ = 0;
  bool flip_h_ = false, flip_v_ = false;
  bool capture_mask_ = false;
  bool reanchor_ = false;
};

// Adds `shift` (-255 .. 255; beyond counts as the limit) to every colour channel of `surface`,
// saturated; pixels equal to its colour key stay the key.
void ShiftSurfaceColors(TCustomDIBX& surface, int32_t shift);

}  // namespace kova
