// The sprites of a film's tracks: made in the film's owner container under a name no script can
// hold, found again through their handles (a sprite a script freed is forgotten), and removed.
#pragma once

#include "components/scene/kova_base_list.h"
#include "components/scene/kova_control.h"
#include "core/object_handle.h"
#include "motion/film_track.h"
#include "motion/film_tracks.h"

namespace kova {

// `sprite` while the owner still holds it; else nullptr (and `sprite` forgotten).
inline TKovaObject* LiveSprite(const IFilmOfTracks* film, TKovaObject*& sprite, TObjectHandle& handle) {
  if (!sprite) return nullptr;
  TKovaBaseList* owner = film ? film->Owner() : nullptr;
  if (!owner || owner->Resolve(handle) != sprite || sprite->IsPendingDeleteSelf()) {
    sprite = nullptr;
    handle = {};
  }
  return sprite;
}

// A new sprite of class T in the film's owner container, named on the films' prefix; nullptr
// without an owner.
template <class T>
T* MakeFilmSprite(IFilmOfTracks* film, TKovaObject*& sprite, TObjectHandle& handle) {
  TKovaBaseList* owner = film ? film->Owner() : nullptr;
  if (!owner) return nullptr;
  auto* made = new T(owner);
  made->StoreName(owner->UniqueName(owner, FilmSpritePrefix(*film)));
  sprite = made;
  handle = made->Handle();
  return made;
}

// Takes the sprite out of its owner (freed at the end of the update) and forgets it.
inline void RemoveFilmSprite(const IFilmOfTracks* film, TKovaObject*& sprite, TObjectHandle& handle) {
  if (TKovaObject* live = LiveSprite(film, sprite, handle)) {
    live->Invalidate();
    live->SetDIB(nullptr);
    live->RemoveFromOwner();
  }
  sprite = nullptr;
  handle = {};
}

}  // namespace kova
