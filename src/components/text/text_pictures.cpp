#include "components/text/text_pictures.h"

#include <string>

#include "components/scene/image_cache.h"
#include "components/widgets/kova_images.h"

namespace kova {
namespace {

class TCachedTextPicture : public TTextPicture {
 public:
  TCachedTextPicture(TWexaCollection& cache, const std::string& name) { frames_.Load(cache, this, name, false); }

  int32_t Width() const override {
    const TKovaImageData* first = frames_.GetItem(0);
    return first ? first->GetDIB()->Width() : 0;
  }
  int32_t Height() const override {
    const TKovaImageData* first = frames_.GetItem(0);
    return first ? first->GetDIB()->Height() : 0;
  }
  bool Animated() const override { return frames_.Count() > 1; }
  bool Step(int32_t elapsed) override { return frames_.Step(elapsed); }
  void Suspend() override { frames_.FreeDIBs(); }
  void Resume() override { frames_.RecreateDIBs(); }
  void Draw(TCustomDIBX& target, int32_t x, int32_t y, int32_t level) override {
    const TKovaImageData* shown = frames_.GetItem(frames_.Index());
    if (!shown || level <= 0) return;
    const TWexaItemFrame& frame = shown->CacheFrame();
    frame.Draw(target, x, y, frame.Surface().BoundsRect(), false, false, level);
  }

 private:
  TKovaImageList frames_;
};

}  // namespace

std::unique_ptr<TTextPicture> TTextPictureCache::Load(std::string_view source) {
  IPictureSource* files = cache_.Source();
  if (source.empty() || !files || !files->PictureExists(source)) return nullptr;
  return std::make_unique<TCachedTextPicture>(cache_, std::string(source));
}

}  // namespace kova
