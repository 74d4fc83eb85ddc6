#include "components/scene/scene_host.h"

#include "graphics/dibx.h"

namespace kova {

std::unique_ptr<TCustomDIBX> TSceneHost::CreateLayerSurface() { return std::make_unique<TDIBX>(); }

THeadlessSceneHost::THeadlessSceneHost(TDisplayFormat format) : factory_(format) {}

THeadlessSceneHost::~THeadlessSceneHost() = default;

void THeadlessSceneHost::SetScreenSize(int32_t width, int32_t height) {
  screen_ = std::make_unique<TDxDIBX>(&factory_);
  screen_->SetSize(width, height, factory_.DisplayFormat().BitCount);
}

TCustomDIBX* THeadlessSceneHost::ScreenSurface() { return screen_.get(); }

int32_t THeadlessSceneHost::ScreenBitCount() {
  const TDisplayFormat f = factory_.DisplayFormat();
  return f == kDisplay555 ? 15 : f.BitCount;
}

}  // namespace kova
