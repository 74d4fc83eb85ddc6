// The box and label tracks: rectangles and texts on box and label sprites.
#include "motion/film_tracks.h"

namespace kova {

// To come: the sprites and what each tick hands them, and the label's measurement.
TLabelFrameList::~TLabelFrameList() = default;
void TLabelFrameList::LoadResources() { Measure(); }
TKovaObject* TLabelFrameList::CreateSprite() { return Sprite; }
void TLabelFrameList::HideSprite() {}
void TLabelFrameList::Apply(const TCustomFrame&, const TPose&) {}
void TLabelFrameList::Measure() {}

void TRectFrameList::HideSprite() {}

TBoxFrameList::~TBoxFrameList() = default;
bool TBoxFrameList::Update(int64_t tick) { return IsActiveAt(tick); }
TKovaObject* TBoxFrameList::CreateSprite() { return Sprite; }

}  // namespace kova
