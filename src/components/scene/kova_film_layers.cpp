#include "components/scene/kova_film_layers.h"

#include "core/utils.h"

namespace kova {

TKovaBaseCinema::TKovaBaseCinema(TKovaBaseListCinema* root, std::string name)
    : TKovaBase(root, std::move(name)), film_root_(root) {}

TKovaControl* TKovaBaseCinema::FilmHost() const { return film_root_ ? film_root_->HostControl() : nullptr; }

TCustomDIBX* TKovaBaseCinema::GetTargetDIB() {
  TKovaControl* host = FilmHost();
  return host ? host->GetTargetDIB() : nullptr;
}

int32_t TKovaBaseCinema::GetLeft() const { return FilmHost() ? FilmHost()->GetLeft() : 0; }
int32_t TKovaBaseCinema::GetTop() const { return FilmHost() ? FilmHost()->GetTop() : 0; }
int32_t TKovaBaseCinema::GetScreenLeft() const { return FilmHost() ? FilmHost()->GetScreenLeft() : 0; }
int32_t TKovaBaseCinema::GetScreenTop() const { return FilmHost() ? FilmHost()->GetScreenTop() : 0; }
int32_t TKovaBaseCinema::GetClipLeft() const { return FilmHost() ? FilmHost()->GetClipLeft() : 0; }
int32_t TKovaBaseCinema::GetClipTop() const { return FilmHost() ? FilmHost()->GetClipTop() : 0; }
int32_t TKovaBaseCinema::GetClipWidth() const { return FilmHost() ? FilmHost()->GetClipWidth() : 0; }
int32_t TKovaBaseCinema::GetClipHeight() const { return FilmHost() ? FilmHost()->GetClipHeight() : 0; }

void TKovaBaseCinema::InvalidateRect(const TRect& r) {
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
