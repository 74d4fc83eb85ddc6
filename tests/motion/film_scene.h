// A film for the track tests over a real headless scene: its tracks in film order, the root
// container their sprites live in (with the scene's image cache and glyph cache), and the motion
// mode, target and layer choices a film manager would answer. Header-only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "components/scene/kova_base_list.h"
#include "motion/film_tracks.h"

namespace kova::test {

class SceneFilm : public IFilmOfTracks {
 public:
  explicit SceneFilm(TKovaBaseList& root) : root_(root) {}
  // The tracks go before the scene that holds their sprites.
  ~SceneFilm() override { tracks.clear(); }

  int32_t TrackCount() const override { return int32_t(tracks.size()); }
  TCustomFrameList* TrackAt(int32_t i) const override {
    return i >= 0 && i < TrackCount() ? tracks[size_t(i)].get() : nullptr;
  }
  bool MotionMode() const override { return control != nullptr; }
  bool DrawsTarget() const override { return target != nullptr; }
  int32_t WipeParityAt(int64_t) const override { return parity; }
  void PlaceOnLayer(TKovaObject& sprite, int32_t layer) override { sprite.SetParent(root_.Bases(layer)); }
  TKovaBaseList* Owner() const override { return &root_; }
  TKovaControl* Target() const override { return target; }
  TKovaControl* Control() const override { return control; }
  int32_t PriorityBase() const override { return priority_base; }
  void ClearCurrentWipe() override { ++wipes_cleared; }

  template <class Track>
  Track& Add() {
    tracks.push_back(std::make_unique<Track>(this));
    return static_cast<Track&>(*tracks.back());
  }

  // The components of the root whose names begin with the film sprites' byte 1 and are live.
  std::vector<TKovaObject*> Sprites() const {
    std::vector<TKovaObject*> out;
    for (int32_t i = 0; i < root_.GetComponentCount(); ++i) {
      TKovaObject* c = root_.GetComponent(i);
      if (c && !c->GetName().empty() && c->GetName()[0] == '\x01' && !root_.IsPendingDelete(c)) out.push_back(c);
    }
    return out;
  }

  std::vector<std::unique_ptr<TCustomFrameList>> tracks;
  TKovaControl* target = nullptr;
  TKovaControl* control = nullptr;
  int32_t priority_base = 0;
  int32_t parity = 0;
  int wipes_cleared = 0;

 private:
  TKovaBaseList& root_;
};

}  // namespace kova::test
