#include "components/widgets/kova_custom_image.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "components/scene/kova_base.h"
#include "components/scene/kova_base_list.h"
#include "core/record_io.h"
#include "core/stream_records.h"
#include "core/utils.h"
#include "graphics/dibx_wave.h"

namespace kova {

namespace {

int32_t Scale(int32_t v, int32_t zoom) { return int32_t(int64_t(v) * zoom / 256); }

}  // namespace

TKovaCustomImage::TKovaCustomImage(TKovaObject* owner)
    : TKovaControl(owner), own_surface_(std::make_unique<TDIBX>()) {}

TKovaCustomImage::~TKovaCustomImage() { Invalidate(); }

int32_t TKovaCustomImage::ScreenBitCount() const {
  TKovaBaseList* root = Root();
  return root ? root->SceneHost().ScreenBitCount() : 15;
}

// ---- Surfaces ----

void TKovaCustomImage::SetDIB(TCustomDIBX* surface) {
  if (surface == surface_override_) return;
  Invalidate();
  surface_override_ = surface;
  Invalidate();
}

void TKovaCustomImage::SetSubDIB(TCustomDIBX* mask) { mask_override_ = mask; }

// ---- Properties ----

void TKovaCustomImage::SetAlpha(int32_t v) {
  if (v == alpha_) return;
  alpha_ = v;
  Invalidate();
}

void TKovaCustomImage::RequestReanchor() {
  reanchor_ = true;
  for (TKovaControl* c : Controls()) {
    if (c->GetPosZoomed()) c->SetReanchor(true);
  }
}

void TKovaCustomImage::SetZoomX(int32_t v) {
  if (v == zoom_x_) return;
  Invalidate();
  zoom_x_ = std::max(v, 1);
  RequestReanchor();
}

void TKovaCustomImage::SetZoomY(int32_t v) {
  if (v == zoom_y_) return;
  Invalidate();
  zoom_y_ = std::max(v, 1);
  RequestReanchor();
}

void TKovaCustomImage::SetPosZoomed(bool v) {
  if (v == GetPosZoomed()) return;
  Invalidate();
  TKovaControl::SetPosZoomed(v);
  RequestReanchor();
}

void TKovaCustomImage::SetAngle(int32_t v) {
  if (v == angle_) return;
  Invalidate();
  angle_ = v;
  Invalidate();
}

void TKovaCustomImage::SetFlipH(bool v) {
  if (v == flip_h_) return;
  Invalidate();
  flip_h_ = v;
  RecalcHorz();
  Invalidate();
}

void TKovaCustomImage::SetFlipV(bool v) {
  if (v == flip_v_) return;
  Invalidate();
  flip_v_ = v;
  RecalcVert();
  Invalidate();
}

int32_t TKovaCustomImage::GetOrigWidth() const {
  const TCustomDIBX* s = Surface();
  return s ? s->Width() : 0;
}

int32_t TKovaCustomImage::GetOrigHeight() const {
  const TCustomDIBX* s = Surface();
  return s ? s->Height() : 0;
}

void TKovaCustomImage::SetWidth(int32_t v) {
  TKovaControl::SetWidth(v);
  if (HasNoMotion()) zoom_x_ = 0;
}

void TKovaCustomImage::SetHeight(int32_t v) {
  TKovaControl::SetHeight(v);
  if (HasNoMotion()) zoom_y_ = 0;
}

void TKovaCustomImage::SetSizeDirect(int32_t width, int32_t height) {
  TKovaControl::SetWidth(width);
  TKovaControl::SetHeight(height);
}

// ---- Geometry ----

void TKovaCustomImage::DrawOrigin(TPoint& anchor, TPoint& centre) const {
  anchor = GetAnchorPos();
  centre = TPoint{GetOffsetX(), GetOffsetY()};
  if (const TCustomDIBX* s = Surface()) {
    if (flip_h_) centre.X = s->Width() - 1 - centre.X;
    if (flip_v_) centre.Y = s->Height() - 1 - centre.Y;
  }
}

TPoint TKovaCustomImage::GetDrawOrigin() const {
  TPoint anchor, centre;
  DrawOrigin(anchor, centre);
  return anchor;
}

TRect TKovaCustomImage::GetBoundsRect() const {
  if ((angle_ & 255) == 0) return TKovaControl::GetBoundsRect();
  TPoint anchor, centre;
  DrawOrigin(anchor, centre);
  const TCustomDIBX* s = Surface();
  const int32_t w = s && !s->IsEmpty() ? s->Width() : 1, h = s && !s->IsEmpty() ? s->Height() : 1;
  return CalcRotatedBounds(anchor.X, anchor.Y, GetOffsetX(), GetOffsetY(), angle_ & 255, TRect{0, 0, w, h}, zoom_x_,
                           zoom_y_, w, h, flip_h_, flip_v_);
}

namespace {

// One axis of the size of a position-zoomed child measured on its parent's picture grid; false
// when the grid is undefined (a zero size), so the plain rule holds.
bool GridSize(int32_t pos, int32_t offset, int32_t own_size, int32_t parent_picture, int32_t parent_size, bool flipped,
              int32_t& out) {
  if (parent_picture <= 0 || parent_size <= 0) return false;
  const double ratio = double(parent_picture) / parent_size;
  const int64_t step = std::max<int64_t>(1, int64_t(ratio * 65536));
  const int64_t d = int64_t(pos) - offset;
  int64_t a = 0, b = 0;
  if (!flipped) {
    a = d * 65536;
    b = (own_size + d) * 65536;
  } else {
    a = (parent_picture - d - own_size) * 65536;
    b = (parent_picture - d) * 65536;
  }
  // Floor division for the negative positions of pictures that start left of the parent.
  auto div = [](int64_t n, int64_t m, int64_t& rem) {
    int64_t q = n / m;
    rem = n % m;
    if (rem < 0) {
      rem += m;
      --q;
    }
    return q;
  };
  int64_t ra = 0, rb = 0;
  int64_t first = div(a, step, ra);
  if (ra > 32767) ++first;
  int64_t last = div(b, step, rb);
  if (rb > 0) ++last;
  out = int32_t(std::clamp<int64_t>(last - first, INT32_MIN, INT32_MAX));
  return true;
}

}  // namespace

void TKovaCustomImage::RecalcHorz() {
  if (!HasNoMotion()) return;
  if (GetSource().empty() && !surface_override_) {
    SetSizeDirect(0, 0);
    return;
  }
  TCustomDIBX* own = Surface();
  TKovaControl* parent = GetParent();
  if (GetPosZoomed() && parent && !parent->IsBase() && parent->GetZoomX() == zoom_x_ && own) {
    if (TCustomDIBX* theirs = parent->GetDIB()) {
      int32_t w = 0;
      if (GridSize(GetLeft(), GetOffsetX(), own->Width(), theirs->Width(), parent->GetWidth(), flip_h_, w)) {
        TKovaControl::SetWidth(w);
        return;
      }
    }
  }
  // A width set by hand (zoom 0) stays.
  if (zoom_x_ == 0) return;
  TKovaControl::SetWidth(own ? Scale(own->Width(), zoom_x_) : 0);
}

void TKovaCustomImage::RecalcVert() {
  if (!HasNoMotion()) return;
  if (GetSource().empty() && !surface_override_) {
    SetSizeDirect(0, 0);
    return;
  }
  TCustomDIBX* own = Surface();
  TKovaControl* parent = GetParent();
  if (GetPosZoomed() && parent && !parent->IsBase() && parent->GetZoomY() == zoom_y_ && own) {
    if (TCustomDIBX* theirs = parent->GetDIB()) {
      int32_t h = 0;
      if (GridSize(GetTop(), GetOffsetY(), own->Height(), theirs->Height(), parent->GetHeight(), flip_v_, h)) {
        TKovaControl::SetHeight(h);
        return;
      }
    }
  }
  if (zoom_y_ == 0) return;
  TKovaControl::SetHeight(own ? Scale(own->Height(), zoom_y_) : 0);
}

// ---- Behaviour ----

void TKovaCustomImage::Invalidate() {
  if (!GetVisible()) return;
  TKovaBase* base = GetBase();
  const TCustomDIBX* s = Surface();
  if (!base || !s || s->IsEmpty()) return;
  TRect r = GetBoundsRect();
  if (TKovaControl* parent = GetParent(); parent && !parent->ClipToBounds(r)) return;
  const TRect clip = GetClipRect();
  if (!IsRectEmpty(clip) && !ClipRect(r, clip)) return;
  InvalidateParent(r);
  base->InvalidateRect(r);
}

void TKovaCustomImage::Draw() {
  TCustomDIBX* s = Surface();
  if (!s) return;
  if (!s->IsEmpty()) Render();
  TKovaControl::Draw();
}

void TKovaCustomImage::Render() {
  if (TCustomDIBX* s = Surface()) RenderSurface(*s, Mask(), true);
}

void TKovaCustomImage::RenderSurface(TCustomDIBX& surface, TCustomDIBX* mask, bool content_pass) {
  TCustomDIBX* target = GetTargetDIB();
  const int32_t width = GetWidth(), height = GetHeight();
  if (!target || alpha_ <= 0 || width <= 0 || height <= 0) return;
  const bool key = surface.TransparentColor != -1;
  const TRect whole = surface.BoundsRect();
  const int32_t angle = angle_ & 255;
  if (angle != 0) {
    TPoint anchor, centre;
    DrawOrigin(anchor, centre);
    if (mask) {
      target->DrawRotateMask(anchor.X, anchor.Y, zoom_x_, zoom_y_, surface, whole, centre.X, centre.Y, angle, flip_h_,
                             flip_v_, *mask, alpha_);
    } else {
      target->DrawRotate(anchor.X, anchor.Y, zoom_x_, zoom_y_, surface, whole, centre.X, centre.Y, angle, key, flip_h_,
                         flip_v_, alpha_);
    }
    return;
  }
  const int32_t left = GetScreenLeft(), top = GetScreenTop();
  if (surface.Width() == width && surface.Height() == height) {
    auto draw_once = [&] {
      if (mask) {
        if (alpha_ < 255) {
          target->DrawMaskAlpha(left, top, surface, whole, flip_h_, flip_v_, *mask, alpha_);
        } else if (alpha_ == 255) {
          target->DrawMask(left, top, surface, whole, flip_h_, flip_v_, *mask);
        } else {
          target->DrawMaskAdd(left, top, surface, whole, flip_h_, flip_v_, *mask, alpha_ - 256);
        }
      } else if (alpha_ < 255) {
        target->DrawAlpha(left, top, surface, whole, key, flip_h_, flip_v_, alpha_);
      } else if (alpha_ == 255) {
        target->Draw(left, top, surface, whole, key, flip_h_, flip_v_);
      } else {
        target->DrawAdd(left, top, surface, whole, key, flip_h_, flip_v_, alpha_ - 256);
      }
    };
    if (!content_pass || surface.Rects1.empty() || dynamic_cast<TDIBXWave*>(target)) {
      draw_once();
      return;
    }
    const TRect saved = target->ClipRect;
    const TRect clip = target->GetClipRect();
    for (const TRect& r : surface.Rects1) {
      const int32_t dx = flip_h_ ? left + surface.Width() - r.Right : left + r.Left;
      const int32_t dy = flip_v_ ? top + surface.Height() - r.Bottom : top + r.Top;
      TRect dest{dx, dy, dx + (r.Right - r.Left), dy + (r.Bottom - r.Top)};
      if (!ClipRect(dest, clip)) continue;
      target->ResetClipRect();
      target->AddClipRect(dest);
      draw_once();
    }
    target->ResetClipRect();
    target->ClipRect = saved;
    return;
  }
  const TRect dest{left, top, left + width, top + height};
  if (mask) {
    if (alpha_ < 256) {
      target->StretchDrawMask(dest, surface, whole, flip_h_, flip_v_, *mask, alpha_);
    } else {
      target->StretchDrawMaskAdd(dest, surface, whole, flip_h_, flip_v_, *mask, alpha_ - 256);
    }
  } else if (alpha_ < 256) {
    target->StretchDraw(dest, surface, whole, key, flip_h_, flip_v_, alpha_);
  } else {
    target->StretchDrawAdd(dest, surface, whole, key, flip_h_, flip_v_, alpha_ - 256);
  }
}

bool TKovaCustomImage::MaskHit(TPoint p, const TRect& screen) const {
  const TCustomDIBX* mask = Mask();
  if (!capture_mask_ || !mask) return true;
  const int32_t mw = mask->Width(), mh = mask->Height();
  const int64_t dx = int64_t(p.X) - screen.Left, dy = int64_t(p.Y) - screen.Top;
  const int32_t w = screen.Right - screen.Left, h = screen.Bottom - screen.Top;
  // A size set by hand has no zoom: the point is mapped by the control's size instead.
  int64_t x = 0, y = 0;
  if (zoom_x_ > 0) {
    x = dx * 256 / zoom_x_;
  } else {
    if (w <= 0) return false;
    x = dx * mw / w;
  }
  if (zoom_y_ > 0) {
    y = dy * 256 / zoom_y_;
  } else {
    if (h <= 0) return false;
    y = dy * mh / h;
  }
  if (flip_h_) x = mw - 1 - x;
  if (flip_v_) y = mh - 1 - y;
  if (x < 0 || y < 0 || x >= mw || y >= mh) return false;
  return mask->GetPixel(int32_t(x), int32_t(y)) >= 128;
}

TKovaControl* TKovaCustomImage::HitTest(TPoint point, uint32_t mask) {
  if (!GetVisible() || !PointInRect(point, GetBoundsRect())) return nullptr;
  const std::vector<TKovaControl*>& children = Controls();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if (TKovaControl* hit = (*it)->HitTest(point, mask)) return hit;
  }
  const uint8_t ignore = GetIgnoreMouse();
  if (ignore >= 32 || ((mask >> ignore) & 1u) == 0) return nullptr;
  const TRect screen = TKovaControl::GetBoundsRect();
  const int32_t angle = angle_ & 255;
  if (angle == 0) {
    if (!PointInRect(point, screen)) return nullptr;
    return MaskHit(point, screen) ? this : nullptr;
  }
  TPoint anchor, centre;
  DrawOrigin(anchor, centre);
  const double a = -angle * 2.0 * M_PI / 256.0;
  const double dx = point.X - anchor.X, dy = point.Y - anchor.Y;
  const double rx = anchor.X + dx * std::cos(a) - dy * std::sin(a);
  const double ry = anchor.Y + dx * std::sin(a) + dy * std::cos(a);
  const TPoint p{int32_t(std::lround(rx)), int32_t(std::lround(ry))};
  if (!PointInRect(p, screen)) return nullptr;
  return MaskHit(p, screen) ? this : nullptr;
}

bool TKovaCustomImage::Update() {
  const bool done = TKovaControl::Update();
  if (reanchor_) {
    reanchor_ = false;
    Invalidate();
    RecalcHorz();
    RecalcVert();
    Invalidate();
  }
  return done;
}

void TKovaCustomImage::FreeDIB() {
  own_surface_.reset();
  surface_override_ = nullptr;
}

void TKovaCustomImage::RecreateDIB() {
  own_surface_ = std::make_unique<TDIBX>();
  own_surface_->SetSize(1, 1, ScreenBitCount());
  TKovaControl::RecreateDIB();
}

template <class IO, class R>
void TKovaCustomImage::Transfer(IO& io, R& r) {
  io.Int(r.alpha_);
  io.Int(r.zoom_x_);
  io.Int(r.angle_);
  io.Bool(r.flip_h_);
  io.Bool(r.flip_v_);
  io.Bool(r.capture_mask_);
  if (io.Since(104)) io.Int(r.zoom_y_);
}

void TKovaCustomImage::SaveToStream(TStream& stream) const {
  TKovaControl::SaveToStream(stream);
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaCustomImage::LoadFromStream(TStream& stream, int32_t version) {
  TKovaControl::LoadFromStream(stream, version);
  TRecordLoader io(stream, version);
  Transfer(io, *this);
}

// ---- Colour shift ----

void ShiftSurfaceColors(TCustomDIBX& surface, int32_t shift) {
  if (shift == 0 || surface.IsEmpty()) return;
  const int32_t s = std::clamp(shift, -255, 255);
  const int32_t magnitude = s < 0 ? -s : s;
  const uint32_t color = uint32_t(surface.ColorToPixel(magnitude | (magnitude << 8) | (magnitude << 16)));
  // The runs of key pixels, put back after the shift so the transparent area stays transparent.
  std::vector<TRect> keyed;
  const int32_t key = surface.TransparentColor;
  if (key != -1) {
    const int32_t w = surface.Width(), h = surface.Height();
    for (int32_t y = 0; y < h; ++y) {
      int32_t x = 0;
      while (x < w) {
        if (surface.GetPixel(x, y) != uint32_t(key)) {
          ++x;
          continue;
        }
        const int32_t start = x;
        while (x < w && surface.GetPixel(x, y) == uint32_t(key)) ++x;
        keyed.push_back(TRect{start, y, x, y + 1});
      }
    }
  }
  const TRect saved = surface.ClipRect;
  surface.ResetClipRect();
  if (s > 0) {
    surface.FillRectAdd(surface.BoundsRect(), color);
  } else {
    surface.FillRectSub(surface.BoundsRect(), color);
  }
  for (const TRect& r : keyed) surface.FillRect(r, uint32_t(key));
  surface.ClipRect = saved;
}

}  // namespace kova
