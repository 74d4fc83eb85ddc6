// The screen layer and the root container inside a film player (the cinema component): the film's
// own scene draws into the host component's area instead of the screen. The film root draws into
// its own root surface; its layers answer the host's target, position and clip, and pass what
// they invalidate on to the layer the host lies on, so that the screen is redrawn there too.
// While the film root runs a screen transition, its layers draw instead into their own surfaces
// in the film's coordinates, the transition mixes them into the root surface, and the host
// copies that to its place.
#pragma once

#include <memory>
#include <string>

#include "components/scene/kova_base.h"
#include "components/scene/kova_base_list.h"

namespace kova {

class TKovaBaseListCinema;

class TKovaBaseCinema : public TKovaBase {
 public:
  TKovaBaseCinema(TKovaBaseListCinema* root, std::string name);

  TCustomDIBX* GetTargetDIB() override;
  int32_t GetLeft() const override;
  int32_t GetTop() const override;
  int32_t GetScreenLeft() const override;
  int32_t GetScreenTop() const override;
  int32_t GetClipLeft() const override;
  int32_t GetClipTop() const override;
  int32_t GetClipWidth() const override;
  int32_t GetClipHeight() const override;
  void InvalidateRect(const TRect& r) override;
  void Draw() override;

 private:
  TKovaControl* FilmHost() const;
  // True while the film root runs a transition.
  bool Composing() const;
  TKovaControl* PlacingHost() const;
  TKovaBaseListCinema* film_root_;
};

class TKovaBaseListCinema : public TKovaBaseList {
 public:
  // `parts`: what the film's components reach through their root (the playing scene's own, see
  // TSceneRootParts); `host` is the cinema control whose film this scene plays (not owned).
  TKovaBaseListCinema(const TSceneRootParts& parts, TKovaControl* host);
  ~TKovaBaseListCinema() override;

  TKovaControl* HostControl() const { return host_; }
  // The film's own root surface.
  TCustomDIBX* DrawTarget() override { return RootSurface(); }

 protected:
  std::unique_ptr<TKovaBase> MakeLayer(std::string name) override;

 private:
  TKovaControl* const host_;
};

}  // namespace kova
