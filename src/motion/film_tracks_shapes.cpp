// The box and label tracks: rectangles and texts on box and label sprites.
#include <algorithm>

#include "components/widgets/kova_box.h"
#include "components/widgets/kova_label.h"
#include "core/sjis.h"
#include "core/string_list.h"
#include "core/utils.h"
#include "motion/film_sprites.h"
#include "motion/film_tracks.h"
#include "text/font_pixel.h"
#include "text/xr_word.h"

namespace kova {

namespace {

void SetClip(TKovaObject& control, const TRect& clip) {
  control.SetClipLeft(clip.Left);
  control.SetClipTop(clip.Top);
  control.SetClipWidth(clip.Right - clip.Left);
  control.SetClipHeight(clip.Bottom - clip.Top);
}

int32_t Channel(int32_t colour, int shift) { return colour >> shift & 0xFF; }

// A colour from start to end with each 8-bit channel interpolated on its own, linearly.
int32_t InterpolateColour(const TCustomFrameList& track, int32_t start, int32_t end, int32_t i) {
  if (start == end) return start;
  int32_t colour = 0;
  for (int shift : {0, 8, 16}) {
    const int32_t c = track.InterpolateInt(MT_NORMAL, Channel(start, shift), Channel(end, shift), i);
    colour |= (c & 0xFF) << shift;
  }
  return colour;
}

// A rectangle track's values at step i: the rectangle, its clip and its alpha.
struct TRectPose {
  int32_t X = 0, Y = 0, Right = 0, Bottom = 0;
  TRect Clip;
  int32_t Alpha = 255;
};

TRectPose RectPoseAt(const TRectFrameList& track, int32_t i, int32_t alpha_start, int32_t alpha_end) {
  TRectPose p;
  TPoint start = track.GetPosStart(), end = track.PosEnd;
  const IFilmOfTracks* film = track.Film;
  if (film && film->MotionMode() && film->Relative()) {
    const TPoint o = film->Origin();
    start = {start.X - o.X, start.Y - o.Y};
    end = {end.X - o.X, end.Y - o.Y};
  }
  const auto edge = [](int32_t pos, int32_t size) {
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{pos} + size - 1, INT32_MIN, INT32_MAX));
  };
  p.X = track.InterpolateInt(track.XMode, start.X, end.X, i);
  p.Right = track.InterpolateInt(track.XMode, edge(start.X, track.GetWidthStart()), edge(end.X, track.WidthEnd), i);
  p.Y = track.InterpolateInt(track.YMode, start.Y, end.Y, i);
  p.Bottom = track.InterpolateInt(track.YMode, edge(start.Y, track.GetHeightStart()), edge(end.Y, track.HeightEnd), i);

  const TPoint size_start = track.GetClipSizeStart();
  const int32_t w = track.InterpolateInt(track.ClipXMode, size_start.X, track.ClipSizeEnd.X, i);
  const int32_t h = track.InterpolateInt(track.ClipYMode, size_start.Y, track.ClipSizeEnd.Y, i);
  if (w >= 1 && h >= 1) {
    const TPoint origin_start = track.GetClipOriginStart();
    const int32_t left = track.InterpolateInt(track.ClipXMode, origin_start.X, track.ClipOriginEnd.X, i);
    const int32_t top = track.InterpolateInt(track.ClipYMode, origin_start.Y, track.ClipOriginEnd.Y, i);
    p.Clip = {left, top, static_cast<int32_t>(std::min<int64_t>(int64_t{left} + w, INT32_MAX)),
              static_cast<int32_t>(std::min<int64_t>(int64_t{top} + h, INT32_MAX))};
  }
  if (alpha_start != 0 || alpha_end != 0) {
    const int32_t a = track.InterpolateInt(MT_NORMAL, alpha_start == 0 ? 255 : alpha_start,
                                           alpha_end == 0 ? 255 : alpha_end, i);
    p.Alpha = a < 0 ? static_cast<int32_t>(std::min<int64_t>(int64_t{256} - a, INT32_MAX)) : a;
  }
  return p;
}

int32_t Extent(int32_t from, int32_t to) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{to} - from + 1, INT32_MIN, INT32_MAX));
}

// Puts a sprite where the film shows its tracks: into the target, or onto the layer of the
// track's start.
void PlaceSprite(const TCustomFrameList& track, TKovaObject& sprite) {
  IFilmOfTracks* film = track.Film;
  if (!film) return;
  if (TKovaControl* target = film->Target()) {
    if (sprite.GetParent() != target) sprite.SetParent(target);
    return;
  }
  const int32_t parity = film->WipeParityAt(track.GetStartTick()) & 1;
  film->PlaceOnLayer(sprite, track.OtherLayer ? parity ^ 1 : parity);
}

}  // namespace

// ---- Label ----

TLabelFrameList::~TLabelFrameList() { HideSprite(); }

void TLabelFrameList::LoadResources() { Measure(); }

void TLabelFrameList::Measure() {
  LabelWidth = 0;
  TStringList lines;
  lines.SetText(Text);
  const int32_t count = lines.Count();
  const int64_t height = count > 1 ? int64_t{count} * FontHeight + int64_t{count - 1} * LineSpace
                                   : int64_t{count} * FontHeight;
  LabelHeight = static_cast<int32_t>(std::clamp<int64_t>(height, INT32_MIN, INT32_MAX));
  TKovaBaseList* owner = Film ? Film->Owner() : nullptr;
  TFontPixelManager* glyphs = owner ? owner->GlyphCache() : nullptr;
  if (!glyphs) return;
  // Plain text at its natural size measures at four times the height, for the fractions of its
  // antialiased widths.
  const bool fine = AlphaStart == 255 && AlphaEnd == 255 && Antialias && ZoomXStart == 1.0 && ZoomXEnd == 1.0 &&
                    ZoomYStart == 1.0 && ZoomYEnd == 1.0 && RotationStart == 0 && RotationEnd == 0;
  const int32_t q = fine ? 4 : 1;
  const int64_t glyph_height = std::clamp<int64_t>(int64_t{FontHeight} * q, 0, INT32_MAX);
  const std::string face = FontName.empty() ? std::string(kDefaultFontName) : FontName;
  glyphs->SetQuality(Antialias ? 3 : 0);
  int64_t widest = 0;
  for (int32_t l = 0; l < count; ++l) {
    const std::string& line = lines[l];
    if (line.empty()) continue;
    int64_t w = 0;
    int32_t last_c = 0;
    for (size_t p = 0; p < line.size();) {
      uint16_t code = uint8_t(line[p]);
      if (IsSjisLeadByte(line[p]) && p + 1 < line.size()) {
        code = uint16_t(code << 8 | uint8_t(line[p + 1]));
        p += 2;
      } else {
        ++p;
      }
      TFontPixelRef g = glyphs->GetGlyph(code, face, static_cast<int32_t>(glyph_height), FontStyle);
      w += int64_t{g->GetWidth()} + g->LeftBearing + g->AdvanceRemainder;
      last_c = g->Abc.C;
    }
    // The slant of the last character reaches beyond its advance.
    if (FontStyle & 2) w -= last_c;
    widest = std::max(widest, w);
  }
  LabelWidth = static_cast<int32_t>(std::min<int64_t>(widest / q, INT32_MAX));
}

TKovaObject* TLabelFrameList::CreateSprite() {
  if (LiveSprite(Film, Sprite, SpriteHandle)) return Sprite;
  TKovaLabel* label = MakeFilmSprite<TKovaLabel>(Film, Sprite, SpriteHandle);
  TKovaBaseList* owner = Film ? Film->Owner() : nullptr;
  if (label && owner) {
    const int32_t active = owner->ActiveIndex() & 1;
    label->SetParent(owner->Bases(OtherLayer ? active ^ 1 : active));
  }
  return label;
}

void TLabelFrameList::HideSprite() { RemoveFilmSprite(Film, Sprite, SpriteHandle); }

void TLabelFrameList::Apply(const TCustomFrame&, const TPose& pose) {
  if (!Film) return;
  const bool motion = Film->MotionMode();
  TKovaObject* sprite = motion ? Film->Control() : LiveSprite(Film, Sprite, SpriteHandle);
  if (!sprite) return;
  if (!motion && Film->Target()) PlaceSprite(*this, *sprite);
  sprite->SetFontName(FontName);
  sprite->SetFontHeight(FontHeight);
  sprite->SetLineSpace(LineSpace);
  sprite->SetFontColor(FontColor);
  sprite->SetFontStyle(TFontStyles{static_cast<uint8_t>(FontStyle & 0x0F)});
  sprite->SetAntialias(Antialias);
  sprite->SetHAlign(HAlign);
  sprite->SetFlipH(FlipH);
  sprite->SetFlipV(FlipV);
  sprite->SetText(Text);
  if (motion) {
    sprite->SetPriority(static_cast<int32_t>(std::clamp<int64_t>(int64_t{Film->PriorityBase()} + Order, INT32_MIN,
                                                                 INT32_MAX)));
    sprite->SetMotionX(pose.X);
    sprite->SetMotionY(pose.Y);
  } else {
    sprite->SetPriority(Order);
    sprite->SetLeft(pose.X);
    sprite->SetTop(pose.Y);
  }
  sprite->SetOffsetX(pose.Offset.X);
  sprite->SetOffsetY(pose.Offset.Y);
  sprite->SetAlpha(pose.Alpha);
  sprite->SetAngle(pose.Rotation);
  sprite->SetZoomX(pose.ZoomX);
  sprite->SetZoomY(pose.ZoomY);
  SetClip(*sprite, pose.Clip);
}

// ---- Rectangles and boxes ----

void TRectFrameList::HideSprite() { RemoveFilmSprite(Film, Sprite, SpriteHandle); }

TBoxFrameList::~TBoxFrameList() { HideSprite(); }

TKovaObject* TBoxFrameList::CreateSprite() {
  if (LiveSprite(Film, Sprite, SpriteHandle)) return Sprite;
  return MakeFilmSprite<TKovaBox>(Film, Sprite, SpriteHandle);
}

bool TBoxFrameList::Update(int64_t tick) {
  const bool motion = Film && Film->MotionMode();
  if (!IsActiveAt(tick)) {
    if (!motion && Sprite) HideSprite();
    return false;
  }
  if (!motion) CreateSprite();
  if (!Film) return true;
  const auto i = static_cast<int32_t>(tick - GetStartTick());
  const TRectPose p = RectPoseAt(*this, i, GetAlphaStart(), AlphaEnd);
  const int32_t colour = InterpolateColour(*this, GetColorStart(), ColorEnd, i);
  const int32_t border_start = GetBorderWidthStart();
  const int32_t border = border_start == BorderWidthEnd ? border_start
                                                        : InterpolateInt(MT_NORMAL, border_start, BorderWidthEnd, i);
  const int32_t border_colour = InterpolateColour(*this, GetBorderColorStart(), BorderColorEnd, i);

  TKovaObject* box = motion ? Film->Control() : LiveSprite(Film, Sprite, SpriteHandle);
  if (!box) return true;
  if (motion) {
    box->SetMotionX(p.X);
    box->SetMotionY(p.Y);
    box->SetWidth(Extent(p.X, p.Right));
    box->SetHeight(Extent(p.Y, p.Bottom));
    box->SetPriority(static_cast<int32_t>(std::clamp<int64_t>(int64_t{Film->PriorityBase()} + Order, INT32_MIN,
                                                              INT32_MAX)));
  } else {
    PlaceSprite(*this, *box);
    if (TKovaControl* control = box->AsControl()) control->SetBounds(p.X, p.Y, Extent(p.X, p.Right), Extent(p.Y, p.Bottom));
    box->SetPriority(Order);
  }
  box->SetAlpha(p.Alpha);
  box->SetColor(colour);
  box->SetBorderWidth(border);
  box->SetBorderColor(border_colour);
  SetClip(*box, p.Clip);
  return true;
}

}  // namespace kova
