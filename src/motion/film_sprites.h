// The sprites of a film's tracks: found again through their handles (a sprite a script or a flip
// freed meanwhile is forgotten, never touched), made in the film's owner container under a name
// no script can hold, and removed.
#pragma once

#include "components/scene/kova_base_list.h"
#include "components/scene/kova_object.h"
#include "core/object_handle.h"
#include "motion/film_track.h"
#include "motion/film_tracks.h"

namespace kova {

// The sprite while it lives in the film's owner container, else nullptr (and forgotten).
inline TKovaObject* LiveSprite(IFilmOfTracks* film, TKovaObject*& sprite, TObjectHandle& handle) {
  if (!sprite) return nullptr;
  TKovaBaseList* root = film ? film->Owner() : nullptr;
  if (!root || root->Resolve(handle) != sprite || root->IsPendingDelete(sprite)) {
    sprite = nullptr;
    handle = {};
  }
  return sprite;
}

// The live sprite, or a new one of type T in the owner container, named on the film's sprite
// prefix; nullptr without an owner.
template <class T>
TKovaObject* EnsureSprite(IFilmOfTracks* film, TKovaObject*& sprite, TObjectHandle& handle) {
  if (LiveSprite(film, sprite, handle)) return sprite;
  TKovaBaseList* root = film ? film->Owner() : nullptr;
  if (!root) return nullptr;
  auto* made = new T(root);
  made->SetName(root->UniqueName(root, FilmSpritePrefix(*film)));
  sprite = made;
  handle = made->Handle();
  return made;
}

// Takes the live sprite out of its owner (which frees it at the end of its update) and forgets
// it; with `clear_picture` it lets go of the picture it was handed first.
inline void RemoveSprite(IFilmOfTracks* film, TKovaObject*& sprite, TObjectHandle& handle, bool clear_picture = false) {
  if (!LiveSprite(film, sprite, handle)) return;
  sprite->Invalidate();
  if (clear_picture) {
    sprite->SetDIB(nullptr);
    sprite->SetSubDIB(nullptr);
  }
  // Not drawn again before the owner frees it.
  sprite->SetVisible(false);
  sprite->RemoveFromOwner();
  sprite = nullptr;
  handle = {};
}

inline void SetSpriteClip(TKovaObject& c, const TRect& clip) {
  c.SetClipLeft(clip.Left);
  c.SetClipTop(clip.Top);
  c.SetClipWidth(clip.Right - clip.Left);
  c.SetClipHeight(clip.Bottom - clip.Top);
}

}  // namespace kova
