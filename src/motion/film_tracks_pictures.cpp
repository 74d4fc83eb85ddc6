// The image and tile tracks: pictures of the image cache on image and tile sprites.
#include "motion/film_tracks.h"

namespace kova {

// To come: the pictures, the sprites and what each tick hands them.
TImageFrameList::~TImageFrameList() = default;
void TImageFrameList::SetFileName(std::string name) { FileName = std::move(name); }
void TImageFrameList::LoadResources() {}
void TImageFrameList::EnumFileNames(TStringList&) const {}
TKovaObject* TImageFrameList::CreateSprite() { return Sprite; }
void TImageFrameList::HideSprite() {}
void TImageFrameList::Apply(const TCustomFrame&, const TPose&) {}
void TImageFrameList::ClearPicture() { ClearFrames(); }

void TTileFrameList::SetFileName(std::string name) { TImageFrameList::SetFileName(std::move(name)); }
TKovaObject* TTileFrameList::CreateSprite() { return Sprite; }
bool TTileFrameList::Update(int64_t tick) { return IsActiveAt(tick); }

}  // namespace kova
