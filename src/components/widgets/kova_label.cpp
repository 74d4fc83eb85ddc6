#include "components/widgets/kova_label.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "components/scene/kova_base_list.h"
#include "components/scene/kova_motion.h"
#include "core/record_io.h"
#include "core/sjis.h"
#include "core/stream_records.h"
#include "core/utils.h"
#include "text/font_pixel.h"
#include "text/text_limits.h"
#include "text/xr_word.h"

namespace kova {
namespace {

constexpr uint8_t kAlignCenter = 1, kAlignLeft = 0;
// The largest side and area of the label's surfaces; a larger text keeps its size but draws
// nothing.
constexpr int64_t kMaxSurfaceSide = 16384;
constexpr int64_t kMaxSurfaceArea = int64_t(1) << 24;

int32_t Scaled(int32_t v, int32_t zoom) {
  return int32_t(std::clamp<int64_t>(int64_t(v) * zoom / 256, INT32_MIN, INT32_MAX));
}

TRect UnionRects(const TRect& a, const TRect& b) {
  return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right), std::max(a.Bottom, b.Bottom)};
}

bool EndsWithKmt(const std::string& name) {
  if (name.size() < 4) return false;
  return SjisSameText(std::string_view(name).substr(name.size() - 4), ".kmt");
}

}  // namespace

int64_t LabelLineGlyphs(TFontPixelManager& cache, const std::string& face, int32_t height, uint8_t style,
                        std::string_view line, std::vector<TFontPixelRef>& glyphs) {
  int64_t width = 0;
  for (size_t p = 0; p < line.size();) {
    uint16_t code = uint8_t(line[p]);
    if (IsSjisLeadByte(line[p]) && p + 1 < line.size()) {
      code = uint16_t(code << 8 | uint8_t(line[p + 1]));
      p += 2;
    } else {
      ++p;
    }
    TFontPixelRef g = cache.GetGlyph(code, face, height, style);
    width += int64_t(g->GetWidth()) + g->LeftBearing + g->AdvanceRemainder;
    glyphs.push_back(std::move(g));
  }
  return width;
}

TKovaLabel::TKovaLabel(TKovaObject* owner) : TKovaControl(owner), font_name_(kDefaultFontName) {}

TKovaLabel::~TKovaLabel() = default;

// ---- Properties ----

std::string TKovaLabel::GetText() const {
  std::string s = lines_.Text();
  if (s.size() >= 2) s.resize(s.size() - 2);
  return s;
}

void TKovaLabel::SetText(const std::string& v) {
  CheckTextBytes(v.size(), kMaxCaptionBytes);
  if (v == GetText()) return;
  lines_.SetText(v);
  Render();
}

#define KOVA_LABEL_RENDERING_SETTER(Name, Type, field) \
  void TKovaLabel::Set##Name(Type v) {                 \
    if (v == field) return;                            \
    field = v;                                         \
    Render();                                          \
  }
KOVA_LABEL_RENDERING_SETTER(FontName, const std::string&, font_name_)
KOVA_LABEL_RENDERING_SETTER(FontHeight, int32_t, font_height_)
KOVA_LABEL_RENDERING_SETTER(LineSpace, int32_t, line_space_)
KOVA_LABEL_RENDERING_SETTER(HAlign, uint8_t, h_align_)
KOVA_LABEL_RENDERING_SETTER(Antialias, bool, antialias_)
#undef KOVA_LABEL_RENDERING_SETTER

void TKovaLabel::SetFontStyle(TFontStyles v) {
  if (v.bits == font_style_) return;
  font_style_ = v.bits;
  Render();
}

void TKovaLabel::SetFontColor(int32_t v) {
  if (v == font_color_) return;
  font_color_ = v;
  Render();
  Invalidate();
}

void TKovaLabel::SetAlpha(int32_t v) {
  if (v == alpha_) return;
  alpha_ = v;
  Invalidate();
}

void TKovaLabel::SetFlipH(bool v) {
  if (v == flip_h_) return;
  flip_h_ = v;
  Invalidate();
}

void TKovaLabel::SetFlipV(bool v) {
  if (v == flip_v_) return;
  flip_v_ = v;
  Invalidate();
}

void TKovaLabel::SetAngle(int32_t v) {
  if (v == angle_) return;
  Invalidate();
  angle_ = v;
  Invalidate();
}

void TKovaLabel::SetZoomX(int32_t v) {
  if (v == zoom_x_) return;
  Invalidate();
  zoom_x_ = std::max(1, v);
  SetBounds(GetLeft(), GetTop(), Scaled(natural_width_, zoom_x_), GetHeight());
  Invalidate();
}

void TKovaLabel::SetZoomY(int32_t v) {
  if (v == zoom_y_) return;
  Invalidate();
  zoom_y_ = std::max(1, v);
  SetBounds(GetLeft(), GetTop(), GetWidth(), Scaled(natural_height_, zoom_y_));
  Invalidate();
}

void TKovaLabel::SetSource(const std::string& v) {
  if (v == source_) return;
  source_ = v;
  FreeMotion();
  if (EndsWithKmt(v)) LoadMotion(v);
}

void TKovaLabel::SetRepeat(bool v) {
  const bool was = repeat_;
  repeat_ = v;
  if (v && !was && GetMotion() && GetMotion()->Ended()) RestartMotion();
}

void TKovaLabel::ApplyZoomedSize() {
  SetBounds(GetLeft(), GetTop(), Scaled(natural_width_, zoom_x_), Scaled(natural_height_, zoom_y_));
}

// ---- Rendering ----

void TKovaLabel::Render() {
  TKovaBaseList* root = Root();
  TFontPixelManager* cache = root ? root->GlyphCache() : nullptr;
  line_rects_.clear();
  const std::string face = font_name_.empty() ? std::string(kDefaultFontName) : font_name_;

  // The glyphs of every line, held while the label draws them.
  std::vector<std::vector<TFontPixelRef>> glyphs(size_t(lines_.Count()));
  std::vector<int64_t> widths(size_t(lines_.Count()), 0);
  int64_t widest = 0;
  if (cache) {
    cache->SetQuality(antialias_ ? 3 : 0);
    for (int i = 0; i < lines_.Count(); ++i) {
      widths[size_t(i)] = LabelLineGlyphs(*cache, face, font_height_, font_style_, lines_[i], glyphs[size_t(i)]);
      widest = std::max(widest, widths[size_t(i)]);
    }
  }
  natural_width_ = int32_t(std::min<int64_t>(widest, INT32_MAX));
  natural_height_ = int32_t(std::clamp<int64_t>((int64_t(font_height_) + line_space_) * lines_.Count(), 0, INT32_MAX));
  ApplyZoomedSize();
  if (natural_width_ == 0 || natural_height_ == 0) return;

  TCustomDIBX* target = GetTargetDIB();
  const int32_t bits = target ? target->BitCount() : root ? root->SceneHost().ScreenBitCount() : 15;
  if (natural_width_ > kMaxSurfaceSide || natural_height_ > kMaxSurfaceSide ||
      int64_t(natural_width_) * natural_height_ > kMaxSurfaceArea) {
    text_surface_.SetSize(0, 0, bits);
    mask_surface_.SetSize(0, 0, 8);
    return;
  }
  if (text_surface_.Width() != natural_width_ || text_surface_.Height() != natural_height_ ||
      text_surface_.BitCount() != bits) {
    text_surface_.SetSize(natural_width_, natural_height_, bits);
    mask_surface_.SetSize(natural_width_, natural_height_, 8);
  }
  mask_surface_.Fill(0);

  TGlyphDrawArgs args;
  args.Colors.Text = uint32_t(text_surface_.ColorToPixel(font_color_));
  const TRect bounds = text_surface_.BoundsRect();
  int64_t y = 0;
  for (size_t i = 0; i < glyphs.size(); ++i) {
    int64_t x = 0;
    if (h_align_ == kAlignCenter) {
      x = (natural_width_ - widths[i]) / 2;
    } else if (h_align_ != kAlignLeft) {
      x = natural_width_ - widths[i];
    }
    TRect drawn{};
    for (size_t k = 0; k < glyphs[i].size(); ++k) {
      const TFontPixel& g = *glyphs[i][k];
      const int32_t advance = g.GetWidth() + g.LeftBearing + g.AdvanceRemainder;
      args.LeftDiffers = k == 0;
      args.RightDiffers = k + 1 == glyphs[i].size();
      args.Cell = TRect{int32_t(x), int32_t(y), int32_t(x + advance), int32_t(y + font_height_)};
      const TRect r = g.Draw(text_surface_, mask_surface_, args);
      if (!IsRectEmpty(r)) drawn = IsRectEmpty(drawn) ? r : UnionRects(drawn, r);
      x += advance;
    }
    if (!IsRectEmpty(drawn)) {
      const TRect clipped = IntersectRects(drawn, bounds);
      if (!IsRectEmpty(clipped)) line_rects_.push_back(clipped);
    }
    y += int64_t(font_height_) + line_space_;
  }
  Invalidate();
}

// ---- Geometry ----

void TKovaLabel::DrawOrigin(TPoint& anchor, TPoint& centre) const {
  anchor = GetAnchorPos();
  centre = TPoint{GetOffsetX(), GetOffsetY()};
  if (flip_h_) centre.X = natural_width_ - 1 - GetOffsetX();
  if (flip_v_) centre.Y = natural_height_ - 1 - GetOffsetY();
}

TPoint TKovaLabel::GetDrawOrigin() const {
  TPoint anchor, centre;
  DrawOrigin(anchor, centre);
  return anchor;
}

TRect TKovaLabel::GetBoundsRect() const {
  if ((angle_ & 255) == 0) return TKovaControl::GetBoundsRect();
  TPoint anchor, centre;
  DrawOrigin(anchor, centre);
  const int32_t w = std::max(1, natural_width_), h = std::max(1, natural_height_);
  return CalcRotatedBounds(anchor.X, anchor.Y, GetOffsetX(), GetOffsetY(), angle_ & 255, TRect{0, 0, w, h}, zoom_x_,
                           zoom_y_, w, h, flip_h_, flip_v_);
}

TKovaControl* TKovaLabel::HitTest(TPoint point, uint32_t mask) {
  if (!GetVisible()) return nullptr;
  const TRect own = TKovaControl::GetBoundsRect();
  if ((angle_ & 255) == 0) {
    if (!PointInRect(point, own)) return nullptr;
  } else {
    TPoint anchor, centre;
    DrawOrigin(anchor, centre);
    const double a = -double(angle_ & 255) * 2.0 * std::numbers::pi / 256.0;
    const double dx = point.X - anchor.X, dy = point.Y - anchor.Y;
    const TPoint turned{int32_t(std::nearbyint(dx * std::cos(a) - dy * std::sin(a) + anchor.X)),
                        int32_t(std::nearbyint(dx * std::sin(a) + dy * std::cos(a) + anchor.Y))};
    if (!PointInRect(turned, own)) return nullptr;
  }
  const uint8_t ignore = GetIgnoreMouse();
  TKovaControl* candidate = (ignore < 32 && (mask >> ignore) & 1u) ? this : nullptr;
  for (auto it = Controls().rbegin(); it != Controls().rend(); ++it) {
    if (TKovaControl* hit = (*it)->HitTest(point, mask)) return hit;
  }
  return candidate;
}

// ---- Drawing ----

void TKovaLabel::Draw() {
  if (lines_.Count() == 0 || alpha_ == 0) return;
  TCustomDIBX* target = GetTargetDIB();
  if (target && !text_surface_.IsEmpty() && alpha_ > 0) {
    const TRect src = text_surface_.BoundsRect();
    const bool additive = alpha_ > 255;
    const int32_t level = additive ? std::min(alpha_, 511) - 256 : alpha_;
    const TRect own = TKovaControl::GetBoundsRect();
    if ((angle_ & 255) != 0) {
      TPoint anchor, centre;
      DrawOrigin(anchor, centre);
      target->DrawRotateMask(anchor.X, anchor.Y, zoom_x_, zoom_y_, text_surface_, src, centre.X, centre.Y, angle_ & 255,
                             flip_h_, flip_v_, mask_surface_, std::min(alpha_, 511));
    } else if (GetWidth() == natural_width_ && GetHeight() == natural_height_ && !flip_h_ && !flip_v_) {
      const uint32_t pixel = uint32_t(target->ColorToPixel(font_color_));
      for (const TRect& r : line_rects_) {
        if (additive) {
          target->DrawMaskAdd(own.Left + r.Left, own.Top + r.Top, text_surface_, r, false, false, mask_surface_,
                              level);
        } else {
          target->FillMask(own.Left + r.Left, own.Top + r.Top, mask_surface_, r, false, false, pixel, level);
        }
      }
    } else if (GetWidth() > 0 && GetHeight() > 0) {
      if (additive) {
        target->StretchDrawMaskAdd(own, text_surface_, src, flip_h_, flip_v_, mask_surface_, level);
      } else {
        target->StretchDrawMask(own, text_surface_, src, flip_h_, flip_v_, mask_surface_, level);
      }
    }
  }
  DrawChildren();
}

// ---- Save form ----

template <class IO, class R>
void TKovaLabel::Transfer(IO& io, R& r) {
  io.Str(r.font_name_);
  io.Int(r.font_height_);
  io.Int(r.line_space_);
  io.Byte(r.font_style_);
  io.Int(r.alpha_);
  io.Int(r.font_color_);
  io.Byte(r.h_align_);
  io.Bool(r.antialias_);
  io.Bool(r.flip_h_);
  io.Bool(r.flip_v_);
  io.Int(r.angle_);
  io.Int(r.zoom_x_, [&](auto v) { r.zoom_x_ = std::max(1, v); });
  io.Str(r.GetText(), [&](auto v) { r.SetText(v); });
  if (!io.Since(104)) return;
  io.Str(r.on_idle_);
  io.Str(r.source_, [&](auto v) { r.SetSource(v); });
  io.Bool(r.repeat_);
  io.Bool(r.auto_scrap_);
  io.Str(r.on_play_end_);
  io.Bool(r.paused_);
  io.Int(r.zoom_y_, [&](auto v) { r.zoom_y_ = std::max(1, v); });
  // The size follows the stored vertical zoom.
  if constexpr (IO::kLoading) {
    if (r.natural_height_ > 0) r.ApplyZoomedSize();
  }
}

void TKovaLabel::SaveToStream(TStream& stream) const {
  TKovaControl::SaveToStream(stream);
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaLabel::LoadFromStream(TStream& stream, int32_t version) {
  TKovaControl::LoadFromStream(stream, version);
  TRecordLoader io(stream, version);
  Transfer(io, *this);
}

}  // namespace kova
