#include "components/scene/kova_film_layers.h"

#include "core/utils.h"

namespace kova {

TKovaBaseCinema::TKovaBaseCinema(TKovaBaseListCinema* root, std::string name)
    : TKovaBase(root, std::move(name)), film_root_(root) {}

TKovaControl* TKovaBaseCinema::FilmHost() const { return film_root_ ? film_root_->HostControl() : nullptr; }

bool TKovaBaseCinema::Composing() const { return film_root_ && film_root_->Transition() != nullptr; }

TCustomDIBX* TKovaBaseCinema::GetTargetDIB() {
  if (Composing()) return Surface();
  TKovaControl* host = FilmHost();
  return host ? host->GetTargetDIB() : nullptr;
}

// The host's place while the layers draw into the host's target; the film's own coordinates
// while they draw into their own surfaces for a transition.
TKovaControl* TKovaBaseCinema::PlacingHost() const { return Composing() ? nullptr : FilmHost(); }

int32_t TKovaBaseCinema::GetLeft() const { return PlacingHost() ? PlacingHost()->GetLeft() : 0; }
int32_t TKovaBaseCinema::GetTop() const { return PlacingHost() ? PlacingHost()->GetTop() : 0; }
int32_t TKovaBaseCinema::GetScreenLeft() const { return PlacingHost() ? PlacingHost()->GetScreenLeft() : 0; }
int32_t TKovaBaseCinema::GetScreenTop() const { return PlacingHost() ? PlacingHost()->GetScreenTop() : 0; }
int32_t TKovaBaseCinema::GetClipLeft() const { return PlacingHost() ? PlacingHost()->GetClipLeft() : 0; }
int32_t TKovaBaseCinema::GetClipTop() const { return PlacingHost() ? PlacingHost()->GetClipTop() : 0; }
int32_t TKovaBaseCinema::GetClipWidth() const { return PlacingHost() ? PlacingHost()->GetClipWidth() : 0; }
int32_t TKovaBaseCinema::GetClipHeight() const { return PlacingHost() ? PlacingHost()->GetClipHeight() : 0; }

void TKovaBaseCinema::Draw() {
  // During a transition each layer draws its whole picture into its own surface, which the
  // transition mixes into the film root's surface.
  if (Composing()) {
    DirtyList().Clear();
    DirtyList().Add(TRect{0, 0, GetWidth(), GetHeight()});
  }
  TKovaBase::Draw();
}

void TKovaBaseCinema::InvalidateRect(const TRect& r) {
  // A transition redraws the whole film and the cinema its whole rectangle.
  if (Composing()) return;
  TKovaControl* host = FilmHost();
  TRect b = GetBoundsRect();
  if (host) {
    const TRect clip = host->GetClipRect();
    if (!IsRectEmpty(clip) && !ClipRect(b, clip)) return;
  }
  if (IsRectEmpty(b) || !ClipRect(b, r)) return;
  DirtyList().Add(b);
  if (host) {
    if (TKovaBase* below = host->GetBase()) below->InvalidateRect(b);
  }
}

TKovaBaseListCinema::TKovaBaseListCinema(const TSceneRootParts& parts, TKovaControl* host)
    : TKovaBaseList(parts), host_(host) {
  // The base constructor made plain layers (the film layers cannot be made before this object
  // exists): make the film's own now.
  Reset();
}

TKovaBaseListCinema::~TKovaBaseListCinema() = default;

std::unique_ptr<TKovaBase> TKovaBaseListCinema::MakeLayer(std::string name) {
  return std::make_unique<TKovaBaseCinema>(this, std::move(name));
}

}  // namespace kova
