// The box and label tracks: rectangles and texts on box and label sprites.
#include <algorithm>
#include <limits>
#include <vector>

#include "components/scene/kova_base.h"
#include "components/scene/kova_base_list.h"
#include "components/widgets/kova_box.h"
#include "components/widgets/kova_label.h"
#include "core/string_list.h"
#include "motion/film_sprites.h"
#include "motion/film_tracks.h"
#include "text/font_pixel.h"
#include "text/xr_word.h"

namespace kova {

namespace {

int32_t Held(int64_t v) {
  return int32_t(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// Each 8-bit channel interpolated on its own, linearly.
int32_t ChannelsAt(const TCustomFrameList& track, int32_t start, int32_t end, int32_t i) {
  if (start == end) return start;
  int32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const int32_t v = track.InterpolateInt(MT_NORMAL, start >> shift & 255, end >> shift & 255, i);
    out |= (v & 255) << shift;
  }
  return out;
}

}  // namespace

// ---- Labels ----

TLabelFrameList::~TLabelFrameList() { HideSprite(); }

void TLabelFrameList::LoadResources() { Measure(); }

void TLabelFrameList::SetText(std::string text) {
  if (text == Text) return;
  Text = std::move(text);
  Measure();
}
void TLabelFrameList::SetAntialias(bool v) {
  if (v == Antialias) return;
  Antialias = v;
  Measure();
}
void TLabelFrameList::SetFontName(std::string name) {
  if (name == FontName) return;
  FontName = std::move(name);
  Measure();
}
void TLabelFrameList::SetFontHeight(int32_t v) {
  if (v == FontHeight) return;
  FontHeight = v;
  Measure();
}
void TLabelFrameList::SetFontStyle(uint8_t v) {
  if (v == FontStyle) return;
  FontStyle = v;
  Measure();
}
void TLabelFrameList::SetLineSpace(int32_t v) {
  if (v == LineSpace) return;
  LineSpace = v;
  Measure();
}

void TLabelFrameList::Measure() {
  TStringList lines;
  lines.SetText(Text);
  const int64_t count = lines.Count();
  LabelHeight = Held(count > 1 ? count * FontHeight + (count - 1) * LineSpace : count * FontHeight);

  // Smooth text of natural size, unturned and opaque is measured four times as large.
  const bool fine = GetAlphaStart() == 255 && AlphaEnd == 255 && Antialias && GetZoomXStart() == 1.0 &&
                    ZoomXEnd == 1.0 && GetZoomYStart() == 1.0 && ZoomYEnd == 1.0 && GetRotationStart() == 0 &&
                    RotationEnd == 0;
  const int32_t q = fine ? 4 : 1;
  TKovaBaseList* root = Film ? Film->Owner() : nullptr;
  TFontPixelManager* cache = root ? root->GlyphCache() : nullptr;
  if (!cache) {
    LabelWidth = 0;
    return;
  }
  const std::string face = FontName.empty() ? std::string(kDefaultFontName) : FontName;
  const int32_t height = Held(int64_t(FontHeight) * q);
  cache->SetQuality(Antialias ? 3 : 0);
  int64_t widest = 0;
  std::vector<TFontPixelRef> glyphs;
  for (int k = 0; k < lines.Count(); ++k) {
    if (lines[k].empty()) continue;
    glyphs.clear();
    int64_t w = LabelLineGlyphs(*cache, face, height, FontStyle, lines[k], glyphs);
    // Italic: the slant of the last character reaches past its advance.
    if ((FontStyle & 2) != 0 && !glyphs.empty()) w -= glyphs.back()->Abc.C;
    widest = std::max(widest, w);
  }
  LabelWidth = Held(widest / q);
}

TKovaObject* TLabelFrameList::CreateSprite() {
  if (LiveSprite(Film, Sprite, SpriteHandle)) return Sprite;
  // A new label lies at once on the active layer, or the other one.
  TKovaObject* label = EnsureSprite<TKovaLabel>(Film, Sprite, SpriteHandle);
  if (TKovaBaseList* root = label ? Film->Owner() : nullptr) {
    label->SetParent(root->Bases(root->ActiveIndex() ^ (OtherLayer ? 1 : 0)));
  }
  return label;
}

void TLabelFrameList::HideSprite() { RemoveSprite(Film, Sprite, SpriteHandle); }

void TLabelFrameList::Apply(const TCustomFrame& /*frame*/, const TPose& pose) {
  if (!Film) return;
  const bool motion = Film->MotionMode();
  TKovaObject* c = motion ? Film->Control() : Sprite;
  if (!c) return;
  if (!motion) {
    if (TKovaControl* target = Film->Target()) c->SetParent(target);
  }
  c->SetFontName(FontName);
  c->SetFontHeight(FontHeight);
  c->SetLineSpace(LineSpace);
  c->SetFontColor(FontColor);
  c->SetFontStyle(TFontStyles{FontStyle});
  c->SetAntialias(Antialias);
  c->SetHAlign(HAlign);
  c->SetFlipH(FlipH);
  c->SetFlipV(FlipV);
  c->SetText(Text);
  if (motion) {
    c->SetPriority(Held(int64_t(Film->PriorityBase()) + Order));
    c->SetMotionX(pose.X);
    c->SetMotionY(pose.Y);
  } else {
    c->SetPriority(Order);
    c->SetLeft(pose.X);
    c->SetTop(pose.Y);
  }
  c->SetOffsetX(pose.Offset.X);
  c->SetOffsetY(pose.Offset.Y);
  c->SetAlpha(pose.Alpha);
  c->SetAngle(pose.Rotation);
  c->SetZoomX(pose.ZoomX);
  c->SetZoomY(pose.ZoomY);
  SetSpriteClip(*c, pose.Clip);
}

// ---- Rectangles and boxes ----

void TRectFrameList::HideSprite() { RemoveSprite(Film, Sprite, SpriteHandle); }

TBoxFrameList::~TBoxFrameList() { HideSprite(); }

TKovaObject* TBoxFrameList::CreateSprite() {
  return EnsureSprite<TKovaBox>(Film, Sprite, SpriteHandle);
}

bool TBoxFrameList::Update(int64_t tick) {
  const bool motion = Film && Film->MotionMode();
  if (!IsActiveAt(tick)) {
    if (!motion && Sprite) HideSprite();
    return false;
  }
  if (!motion) CreateSprite();
  if (!Film) return true;
  const int64_t start = GetStartTick();
  const auto i = int32_t(tick - start);

  TPoint pos_start = GetPosStart(), pos_end = PosEnd;
  if (Film->MotionMode() && Film->Relative()) {
    const TPoint o = Film->Origin();
    pos_start = {Held(int64_t(pos_start.X) - o.X), Held(int64_t(pos_start.Y) - o.Y)};
    pos_end = {Held(int64_t(pos_end.X) - o.X), Held(int64_t(pos_end.Y) - o.Y)};
  }
  const int32_t x = InterpolateInt(XMode, pos_start.X, pos_end.X, i);
  const int32_t y = InterpolateInt(YMode, pos_start.Y, pos_end.Y, i);
  const int32_t right = InterpolateInt(XMode, Held(int64_t(pos_start.X) + GetWidthStart() - 1),
                                       Held(int64_t(pos_end.X) + WidthEnd - 1), i);
  const int32_t bottom = InterpolateInt(YMode, Held(int64_t(pos_start.Y) + GetHeightStart() - 1),
                                        Held(int64_t(pos_end.Y) + HeightEnd - 1), i);

  const TRect clip =
      ClipAt(i, GetClipOriginStart(), ClipOriginEnd, GetClipSizeStart(), ClipSizeEnd, ClipXMode, ClipYMode);
  const int32_t alpha = AlphaAt(i, GetAlphaStart(), AlphaEnd);
  const int32_t color = ChannelsAt(*this, GetColorStart(), ColorEnd, i);
  const int32_t border_start = GetBorderWidthStart();
  const int32_t border = border_start == BorderWidthEnd ? border_start
                                                         : InterpolateInt(MT_NORMAL, border_start, BorderWidthEnd, i);
  const int32_t border_color = ChannelsAt(*this, GetBorderColorStart(), BorderColorEnd, i);
  const int32_t width = Held(int64_t(right) - x + 1), height = Held(int64_t(bottom) - y + 1);

  TKovaObject* c = nullptr;
  if (!motion) {
    c = Sprite;
    if (!c) return true;
    if (TKovaControl* target = Film->Target()) {
      c->SetParent(target);
    } else if (!Film->DrawsTarget()) {
      const int32_t parity = Film->WipeParityAt(start) & 1;
      Film->PlaceOnLayer(*c, OtherLayer ? parity ^ 1 : parity);
    }
    if (TKovaControl* control = c->AsControl()) control->SetBounds(x, y, width, height);
    c->SetPriority(Order);
  } else {
    c = Film->Control();
    if (!c) return true;
    c->SetMotionX(x);
    c->SetMotionY(y);
    c->SetWidth(width);
    c->SetHeight(height);
    c->SetPriority(Held(int64_t(Film->PriorityBase()) + Order));
  }
  c->SetAlpha(alpha);
  c->SetColor(color);
  c->SetBorderWidth(border);
  c->SetBorderColor(border_color);
  SetSpriteClip(*c, clip);
  return true;
}

}  // namespace kova
