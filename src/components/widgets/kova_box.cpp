#include "components/widgets/kova_box.h"

#include "components/widgets/kova_list.h"
#include "components/scene/kova_motion.h"
#include "core/record_io.h"
#include "core/sjis.h"
#include "core/stream_records.h"
#include "core/utils.h"
#include "graphics/dibx.h"

namespace kova {
namespace {

// Fills r with the pixel at the box's level: blend below 255, copy at 255, add above.
void FillAtLevel(TCustomDIBX& target, const TRect& r, uint32_t pixel, int32_t alpha) {
  if (alpha < 255) {
    target.FillRectAlpha(r, pixel, alpha);
  } else if (alpha == 255) {
    target.FillRect(r, pixel);
  } else {
    target.FillRectAdd(r, pixel, alpha - 256);
  }
}

}  // namespace

TKovaBox::~TKovaBox() { Invalidate(); }

void TKovaBox::SetBorderWidth(int32_t v) {
  if (v == border_width_) return;
  border_width_ = v;
  Invalidate();
}

void TKovaBox::SetBorderColor(int32_t v) {
  if (v == border_color_) return;
  border_color_ = v;
  Invalidate();
}

void TKovaBox::SetAlpha(int32_t v) {
  if (v == alpha_) return;
  alpha_ = v;
  Invalidate();
}

void TKovaBox::SetSource(const std::string& v) {
  if (v == source_) return;
  source_ = v;
  FreeMotion();
  if (SjisSameText(GameFileExtension(v), ".kmt")) LoadMotion(v);
}

void TKovaBox::SetRepeat(bool v) {
  if (v == repeat_) return;
  repeat_ = v;
  TKovaMotion* motion = GetMotion();
  if (v && motion && motion->Ended()) RestartMotion();
}

void TKovaBox::Draw() {
  if (!GetVisible() || alpha_ <= 0 || alpha_ >= 512) return;
  TCustomDIBX* target = GetTargetDIB();
  if (target) {
    const TRect r = GetBoundsRect();
    const int32_t color = GetColor();
    const int32_t w = border_width_;
    if (w < 1) {
      if (color >= 0) FillAtLevel(*target, r, uint32_t(target->ColorToPixel(color)), alpha_);
    } else {
      if (border_color_ >= 0) {
        const uint32_t pixel = uint32_t(target->ColorToPixel(border_color_));
        if (alpha_ == 255) {
          target->FrameRect(r, w, pixel);
        } else if (alpha_ < 255) {
          target->FrameRectAlpha(r, w, pixel, alpha_);
        } else {
          target->FrameRectAdd(r, w, pixel, alpha_ - 256);
        }
      }
      if (color >= 0) {
        const int64_t inner_w = int64_t(r.Right) - r.Left - 2 * int64_t(w);
        const int64_t inner_h = int64_t(r.Bottom) - r.Top - 2 * int64_t(w);
        if (inner_w > 0 && inner_h > 0) {
          const TRect inner{r.Left + w, r.Top + w, r.Right - w, r.Bottom - w};
          FillAtLevel(*target, inner, uint32_t(target->ColorToPixel(color)), alpha_);
        }
      }
    }
  }
  DrawChildren();
}

void TKovaBox::BuildFillRects(TClipData& clip) {
  if (!GetVisible() || alpha_ < 1 || alpha_ >= 512) return;
  const bool fill = GetColor() >= 0;
  const bool border = border_width_ >= 1 && border_color_ >= 0;
  if (!fill && !border) return;
  const TRect r = GetBoundsRect();
  const int32_t w = border_width_;
  TRect rects[4];
  int count = 0;
  if (w >= 1 && border_color_ < 0) {
    rects[count++] = TRect{r.Left + w, r.Top + w, r.Right - w, r.Bottom - w};
  } else if (fill) {
    rects[count++] = r;
  } else {
    rects[count++] = TRect{r.Left, r.Top, r.Right, r.Top + w};
    rects[count++] = TRect{r.Left, r.Bottom - w, r.Right, r.Bottom};
    if (int64_t(r.Bottom) - r.Top > 2 * int64_t(w)) {
      rects[count++] = TRect{r.Left, r.Top, r.Left + w, r.Bottom};
      rects[count++] = TRect{r.Right - w, r.Top, r.Right, r.Bottom};
    }
  }
  for (int i = 0; i < count; ++i) {
    if (alpha_ == 255) clip.Add2(rects[i]);
    clip.Add1(rects[i]);
  }
}

template <class IO, class R>
void TKovaBox::Transfer(IO& io, R& r) {
  io.Int(r.border_width_);
  io.Int(r.border_color_);
  io.Int(r.alpha_);
  if (!io.Since(104)) return;
  io.Str(r.on_idle_);
  io.Str(r.source_, [&](auto v) { r.SetSource(v); });
  io.Bool(r.repeat_);
  io.Bool(r.auto_scrap_);
  io.Str(r.on_play_end_);
  io.Bool(r.paused_);
  io.Bool(r.TKovaControl::GetAniPaused(), [&](auto v) { r.SetAniPaused(v); });
}

void TKovaBox::SaveToStream(TStream& stream) const {
  TKovaControl::SaveToStream(stream);
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaBox::LoadFromStream(TStream& stream, int32_t version) {
  TKovaControl::LoadFromStream(stream, version);
  TRecordLoader io(stream, version);
  Transfer(io, *this);
}

}  // namespace kova
