// The image and tile tracks: pictures of the image cache on image and tile sprites.
#include <algorithm>
#include <limits>

#include "components/scene/image_cache.h"
#include "components/scene/kova_base_list.h"
#include "components/widgets/kova_images.h"
#include "components/widgets/kova_tile.h"
#include "core/string_list.h"
#include "motion/film_sprites.h"
#include "motion/film_tracks.h"

namespace kova {

namespace {

// The frame's transparent colour as the surface's key (-1: none).
int32_t KeyOf(TCustomDIBX& surface, int32_t color) { return color < 0 ? -1 : int32_t(surface.ColorToPixel(color)); }

int32_t Truncated(int64_t size, int32_t zoom) {
  return int32_t(std::clamp<int64_t>(size * zoom / 256, std::numeric_limits<int32_t>::min(),
                                     std::numeric_limits<int32_t>::max()));
}

// The picture, the key and the clip of a frame on a driven control.
void SetControlPicture(TKovaControl& c, const TImageFrame& frame) {
  TWexaItemFrame& f = const_cast<TWexaItemFrame&>(frame.ImageFrame);
  c.SetDIB(&f.Surface());
  c.SetSubDIB(f.Mask());
  if (TCustomDIBX* surface = c.GetDIB()) surface->TransparentColor = KeyOf(*surface, f.TransparentColor);
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
  Cycle = 0;
  TKovaBaseList* root = Film ? Film->Owner() : nullptr;
  TWexaCollection* cache = root ? root->ImageCache() : nullptr;
  if (cache && !FileName.empty()) {
    Picture = cache->Acquire(this, FileName, false, false);
    ImageWidth = Picture->Width;
    ImageHeight = Picture->Height;
    int64_t cycle = 0;
    for (int32_t k = 0; k < Picture->GetFrameCount(); ++k) {
      Frames.push_back(std::make_unique<TImageFrame>(*this, Picture->Frame(k)));
      cycle += Frames.back()->Duration();
    }
    Cycle = int32_t(std::min<int64_t>(cycle, std::numeric_limits<int32_t>::max()));
  }
  // A stored length of at least one tick stays; else one pass through the frames.
  Duration = duration >= 1 ? duration : Cycle;
}

void TImageFrameList::LoadResources() {
  const int32_t duration = Duration;
  std::string name = FileName;
  FileName.clear();
  SetFileName(std::move(name));
  if (duration >= 1) Duration = duration;
}

void TImageFrameList::EnumFileNames(TStringList& names) const {
  TKovaBaseList* root = Film ? Film->Owner() : nullptr;
  TWexaCollection* cache = root ? root->ImageCache() : nullptr;
  IPictureSource* source = cache ? cache->Source() : nullptr;
  if (FileName.empty() || !source || !source->PictureExists(FileName)) return;
  if (names.IndexOf(FileName) < 0) names.Add(FileName);
}

TKovaObject* TImageFrameList::CreateSprite() {
  return EnsureSprite<TKovaImage>(Film, Sprite, SpriteHandle);
}

void TImageFrameList::HideSprite() { RemoveSprite(Film, Sprite, SpriteHandle, true); }

void TImageFrameList::Apply(const TCustomFrame& frame, const TPose& pose) {
  const auto& image = static_cast<const TImageFrame&>(frame);
  TWexaItemFrame& f = const_cast<TWexaItemFrame&>(image.ImageFrame);
  if (!Film) return;
  if (!Film->MotionMode()) {
    auto* sprite = dynamic_cast<TKovaImage*>(Sprite);
    if (!sprite) return;
    TKovaImage::TTrackFrame t;
    t.surface = &f.Surface();
    t.parent = Film->Target();
    t.mask = f.Mask();
    t.transparent_color = f.TransparentColor;
    t.zoom_x = pose.ZoomX;
    t.zoom_y = pose.ZoomY;
    t.priority = Order;
    t.flip_h = FlipH;
    t.flip_v = FlipV;
    t.offset_x = pose.Offset.X;
    t.offset_y = pose.Offset.Y;
    t.left = pose.X;
    t.top = pose.Y;
    t.angle = pose.Rotation;
    t.alpha = pose.Alpha;
    t.clip = pose.Clip;
    sprite->SetupFromTrack(t);
    return;
  }
  TKovaControl* c = Film->Control();
  if (!c) return;
  SetControlPicture(*c, image);
  c->SetWidth(Truncated(frame.Width(), pose.ZoomX));
  c->SetHeight(Truncated(frame.Height(), pose.ZoomY));
  c->SetOrder(Order);
  c->SetFlipH(FlipH);
  c->SetFlipV(FlipV);
  c->SetMotionX(pose.X);
  c->SetMotionY(pose.Y);
  c->SetOffsetX(pose.Offset.X);
  c->SetOffsetY(pose.Offset.Y);
  c->SetZoomX(pose.ZoomX);
  c->SetZoomY(pose.ZoomY);
  c->SetAngle(pose.Rotation);
  c->SetAlpha(pose.Alpha);
  SetSpriteClip(*c, pose.Clip);
}

void TTileFrameList::SetFileName(std::string name) {
  if (name == FileName) return;
  const bool was_empty = FileName.empty();
  TImageFrameList::SetFileName(std::move(name));
  if (Frames.empty() || !was_empty) return;
  const int32_t w = Frames.front()->Width(), h = Frames.front()->Height();
  for (int32_t* v : {&WidthStart, &WidthEnd}) {
    if (*v == 0) *v = w;
  }
  for (int32_t* v : {&HeightStart, &HeightEnd}) {
    if (*v == 0) *v = h;
  }
}

TKovaObject* TTileFrameList::CreateSprite() {
  return EnsureSprite<TKovaTile>(Film, Sprite, SpriteHandle);
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
  const auto& frame = static_cast<const TImageFrame&>(*Frames[size_t(index)]);
  const auto i = int32_t(t);
  // Zoom, clip, alpha and offset as for every image-like track (a tile is never turned).
  const TPose pose = PoseAt(frame, i);
  const TStartValues pos = GetStartValues();
  auto far_edge = [](int32_t p, int32_t size) {
    return int32_t(std::clamp<int64_t>(int64_t(p) + size - 1, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()));
  };
  const int32_t x = pose.X, y = pose.Y;
  const int32_t right = InterpolateInt(XMode, far_edge(pos.Start.X, GetWidthStart()), far_edge(pos.End.X, WidthEnd), i);
  const int32_t bottom =
      InterpolateInt(YMode, far_edge(pos.Start.Y, GetHeightStart()), far_edge(pos.End.Y, HeightEnd), i);
  const auto width = int32_t(std::clamp<int64_t>(int64_t(right) - x + 1, 0, std::numeric_limits<int32_t>::max()));
  const auto height = int32_t(std::clamp<int64_t>(int64_t(bottom) - y + 1, 0, std::numeric_limits<int32_t>::max()));
  const int32_t scroll_x = InterpolateInt(ScrollXMode, GetScrollXStart(), ScrollXEnd, i);
  const int32_t scroll_y = InterpolateInt(ScrollYMode, GetScrollYStart(), ScrollYEnd, i);
  TWexaItemFrame& f = const_cast<TWexaItemFrame&>(frame.ImageFrame);

  if (!motion) {
    if (!Film->DrawsTarget() && Sprite) {
      const int32_t parity = Film->WipeParityAt(start) & 1;
      Film->PlaceOnLayer(*Sprite, OtherLayer ? parity ^ 1 : parity);
    }
    auto* sprite = dynamic_cast<TKovaTile*>(Sprite);
    if (!sprite) return true;
    TKovaTile::TTrackFrame tf;
    tf.width = width;
    tf.height = height;
    tf.parent = Film->Target();
    tf.surface = &f.Surface();
    tf.mask = f.Mask();
    tf.transparent_color = f.TransparentColor;
    tf.zoom_x = pose.ZoomX;
    tf.zoom_y = pose.ZoomY;
    tf.priority = Order;
    tf.distance_x = DistanceX;
    tf.distance_y = DistanceY;
    tf.flip_h = FlipH;
    tf.flip_v = FlipV;
    tf.offset_x = pose.Offset.X;
    tf.offset_y = pose.Offset.Y;
    tf.left = x;
    tf.top = y;
    tf.alpha = pose.Alpha;
    tf.scroll_x = scroll_x;
    tf.scroll_y = scroll_y;
    tf.clip = pose.Clip;
    sprite->SetupFromTrack(tf);
    return true;
  }
  TKovaControl* c = Film->Control();
  if (!c) return true;
  SetControlPicture(*c, frame);
  c->SetPriority(int32_t(std::clamp<int64_t>(int64_t(Film->PriorityBase()) + Order, std::numeric_limits<int32_t>::min(),
                                             std::numeric_limits<int32_t>::max())));
  c->SetDistanceX(DistanceX);
  c->SetDistanceY(DistanceY);
  c->SetFlipH(FlipH);
  c->SetFlipV(FlipV);
  c->SetMotionX(x);
  c->SetMotionY(y);
  c->SetWidth(width);
  c->SetHeight(height);
  c->SetOffsetX(pose.Offset.X);
  c->SetOffsetY(pose.Offset.Y);
  c->SetZoomX(pose.ZoomX);
  c->SetZoomY(pose.ZoomY);
  c->SetAlpha(pose.Alpha);
  c->SetScrollX(scroll_x);
  c->SetScrollY(scroll_y);
  SetSpriteClip(*c, pose.Clip);
  return true;
}

}  // namespace kova
