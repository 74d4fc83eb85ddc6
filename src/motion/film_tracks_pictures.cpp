// The image and tile tracks: pictures of the image cache on image and tile sprites.
#include <cstdlib>

#include "components/scene/image_cache.h"
#include "components/widgets/kova_images.h"
#include "components/widgets/kova_tile.h"
#include "core/string_list.h"
#include "motion/film_sprites.h"
#include "motion/film_tracks.h"

namespace kova {

namespace {

// frame size x zoom / 256, truncated toward zero, in 64 bits.
int32_t Zoomed(int32_t size, int32_t zoom) { return static_cast<int32_t>(int64_t{size} * zoom / 256); }

const TWexaItemFrame& CachedFrame(const TCustomFrame& frame) { return static_cast<const TImageFrame&>(frame).ImageFrame; }

// The control's surface takes the frame's transparent colour as its colour key.
void KeyControlSurface(TKovaObject& control, const TWexaItemFrame& frame) {
  if (TCustomDIBX* surface = control.GetDIB()) surface->TransparentColor = surface->ColorToPixel(frame.TransparentColor);
}

void SetClip(TKovaObject& control, const TRect& clip) {
  control.SetClipLeft(clip.Left);
  control.SetClipTop(clip.Top);
  control.SetClipWidth(clip.Right - clip.Left);
  control.SetClipHeight(clip.Bottom - clip.Top);
}

}  // namespace

TImageFrameList::~TImageFrameList() {
  HideSprite();
  ClearPicture();
}

void TImageFrameList::ClearPicture() {
  ClearFrames();
  if (Picture) Picture->Release(this);
  Picture = nullptr;
}

void TImageFrameList::SetFileName(std::string name) {
  if (name == FileName) return;
  FileName = std::move(name);
  HideSprite();
  const int32_t duration = Duration;
  ClearPicture();
  ImageWidth = ImageHeight = 0;
  TKovaBaseList* owner = Film ? Film->Owner() : nullptr;
  TWexaCollection* cache = owner ? owner->ImageCache() : nullptr;
  if (cache && !FileName.empty()) Picture = cache->Acquire(this, FileName, false, false);
  int32_t cycle = 0;
  if (Picture) {
    ImageWidth = Picture->Width;
    ImageHeight = Picture->Height;
    for (int32_t i = 0; i < Picture->GetFrameCount(); ++i) {
      Frames.push_back(std::make_unique<TImageFrame>(*this, Picture->Frame(i)));
      cycle += Frames.back()->Duration();
    }
  }
  Cycle = cycle;
  Duration = duration >= 1 ? duration : cycle;
}

void TImageFrameList::LoadResources() {
  std::string name = std::move(FileName);
  FileName.clear();
  const int32_t duration = Duration;
  SetFileName(std::move(name));
  Duration = duration;
}

void TImageFrameList::EnumFileNames(TStringList& names) const {
  if (FileName.empty() || names.IndexOf(FileName) >= 0) return;
  TKovaBaseList* owner = Film ? Film->Owner() : nullptr;
  TWexaCollection* cache = owner ? owner->ImageCache() : nullptr;
  IPictureSource* files = cache ? cache->Source() : nullptr;
  if (files && files->PictureExists(FileName)) names.Add(FileName);
}

TKovaObject* TImageFrameList::CreateSprite() {
  if (LiveSprite(Film, Sprite, SpriteHandle)) return Sprite;
  return MakeFilmSprite<TKovaImage>(Film, Sprite, SpriteHandle);
}

void TImageFrameList::HideSprite() { RemoveFilmSprite(Film, Sprite, SpriteHandle); }

void TImageFrameList::Apply(const TCustomFrame& frame, const TPose& pose) {
  const TWexaItemFrame& cached = CachedFrame(frame);
  if (!Film) return;
  if (!Film->MotionMode()) {
    auto* image = dynamic_cast<TKovaImage*>(LiveSprite(Film, Sprite, SpriteHandle));
    if (!image) return;
    TKovaImage::TTrackFrame f;
    f.surface = &cached.Surface();
    f.parent = Film->Target();
    f.mask = cached.Mask();
    f.transparent_color = cached.TransparentColor;
    f.zoom_x = pose.ZoomX;
    f.zoom_y = pose.ZoomY;
    f.priority = Order;
    f.flip_h = FlipH;
    f.flip_v = FlipV;
    f.offset_x = pose.Offset.X;
    f.offset_y = pose.Offset.Y;
    f.left = pose.X;
    f.top = pose.Y;
    f.angle = pose.Rotation;
    f.alpha = pose.Alpha;
    f.clip = pose.Clip;
    image->SetupFromTrack(f);
    return;
  }
  TKovaControl* control = Film->Control();
  if (!control) return;
  control->SetDIB(&cached.Surface());
  control->SetSubDIB(cached.Mask());
  KeyControlSurface(*control, cached);
  control->SetWidth(Zoomed(frame.Width(), pose.ZoomX));
  control->SetHeight(Zoomed(frame.Height(), pose.ZoomY));
  control->SetOrder(Order);
  control->SetFlipH(FlipH);
  control->SetFlipV(FlipV);
  control->SetMotionX(pose.X);
  control->SetMotionY(pose.Y);
  control->SetOffsetX(pose.Offset.X);
  control->SetOffsetY(pose.Offset.Y);
  control->SetZoomX(pose.ZoomX);
  control->SetZoomY(pose.ZoomY);
  control->SetAngle(pose.Rotation);
  control->SetAlpha(pose.Alpha);
  SetClip(*control, pose.Clip);
}

void TTileFrameList::SetFileName(std::string name) {
  if (name == FileName) return;
  const bool was_empty = FileName.empty();
  TImageFrameList::SetFileName(std::move(name));
  if (Frames.empty() || !was_empty) return;
  const int32_t w = Frames.front()->Width(), h = Frames.front()->Height();
  if (WidthStart == 0) WidthStart = w;
  if (WidthEnd == 0) WidthEnd = w;
  if (HeightStart == 0) HeightStart = h;
  if (HeightEnd == 0) HeightEnd = h;
}

TKovaObject* TTileFrameList::CreateSprite() {
  if (LiveSprite(Film, Sprite, SpriteHandle)) return Sprite;
  return MakeFilmSprite<TKovaTile>(Film, Sprite, SpriteHandle);
}

bool TTileFrameList::Update(int64_t tick) {
  const bool motion = Film && Film->MotionMode();
  if (!IsActiveAt(tick)) {
    if (!motion && Sprite) HideSprite();
    return false;
  }
  if (!motion) CreateSprite();
  const int64_t start = GetStartTick();
  const int64_t t = tick - start;
  const int32_t index = FrameIndexAt(t);
  if (index < 0 || index >= FrameCount() || !Film) return true;
  const TCustomFrame& frame = *Frames[static_cast<size_t>(index)];
  const auto i = static_cast<int32_t>(t);
  const TPose pose = PoseAt(frame, i);

  // The rectangle: its left and right (top and bottom) edges interpolated apart.
  const TStartValues pos = GetStartValues();
  const auto edge = [](int32_t p, int32_t size) { return static_cast<int32_t>(int64_t{p} + size - 1); };
  const int32_t x = InterpolateInt(XMode, pos.Start.X, pos.End.X, i);
  const int32_t right = InterpolateInt(XMode, edge(pos.Start.X, GetWidthStart()), edge(pos.End.X, WidthEnd), i);
  const int32_t y = InterpolateInt(YMode, pos.Start.Y, pos.End.Y, i);
  const int32_t bottom = InterpolateInt(YMode, edge(pos.Start.Y, GetHeightStart()), edge(pos.End.Y, HeightEnd), i);
  const auto width = static_cast<int32_t>(int64_t{right} - x + 1);
  const auto height = static_cast<int32_t>(int64_t{bottom} - y + 1);
  const int32_t scroll_x = InterpolateInt(ScrollXMode, GetScrollXStart(), ScrollXEnd, i);
  const int32_t scroll_y = InterpolateInt(ScrollYMode, GetScrollYStart(), ScrollYEnd, i);
  const TWexaItemFrame& cached = CachedFrame(frame);

  if (!motion) {
    auto* tile = dynamic_cast<TKovaTile*>(LiveSprite(Film, Sprite, SpriteHandle));
    if (!tile) return true;
    if (!Film->DrawsTarget()) {
      const int32_t parity = Film->WipeParityAt(start) & 1;
      Film->PlaceOnLayer(*tile, OtherLayer ? parity ^ 1 : parity);
    }
    TKovaTile::TTrackFrame f;
    f.width = width;
    f.height = height;
    f.parent = Film->Target();
    f.surface = &cached.Surface();
    f.mask = cached.Mask();
    f.transparent_color = cached.TransparentColor;
    f.zoom_x = pose.ZoomX;
    f.zoom_y = pose.ZoomY;
    f.priority = Order;
    f.distance_x = DistanceX;
    f.distance_y = DistanceY;
    f.flip_h = FlipH;
    f.flip_v = FlipV;
    f.offset_x = pose.Offset.X;
    f.offset_y = pose.Offset.Y;
    f.left = x;
    f.top = y;
    f.alpha = pose.Alpha;
    f.scroll_x = scroll_x;
    f.scroll_y = scroll_y;
    f.clip = pose.Clip;
    tile->SetupFromTrack(f);
    return true;
  }
  TKovaControl* control = Film->Control();
  if (!control) return true;
  control->SetDIB(&cached.Surface());
  control->SetSubDIB(cached.Mask());
  KeyControlSurface(*control, cached);
  control->SetPriority(Film->PriorityBase() + Order);
  control->SetDistanceX(DistanceX);
  control->SetDistanceY(DistanceY);
  control->SetFlipH(FlipH);
  control->SetFlipV(FlipV);
  control->SetMotionX(x);
  control->SetMotionY(y);
  control->SetWidth(width);
  control->SetHeight(height);
  control->SetOffsetX(pose.Offset.X);
  control->SetOffsetY(pose.Offset.Y);
  control->SetZoomX(pose.ZoomX);
  control->SetZoomY(pose.ZoomY);
  control->SetAlpha(pose.Alpha);
  control->SetScrollX(scroll_x);
  control->SetScrollY(scroll_y);
  SetClip(*control, pose.Clip);
  return true;
}

}  // namespace kova
