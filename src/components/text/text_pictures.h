// The pictures of IMG glyphs in rich text, read through the shared picture cache: each picture
// holds its cached item while a glyph shows it and steps through the item's frames on the frame
// clock. The picture port of a document points at one of these; the engine owns it beside the cache.
// Main thread only.
#pragma once

#include <memory>
#include <string_view>

#include "text/text_ports.h"

namespace kova {

class TWexaCollection;

class TTextPictureCache : public TTextImagePort {
 public:
  explicit TTextPictureCache(TWexaCollection& cache) : cache_(cache) {}

  // The picture of the game file `source` (without mask or trimming, its colour key applies), or
  // nullptr when the cache's source has no such file. A damaged file raises the reader's error.
  std::unique_ptr<TTextPicture> Load(std::string_view source) override;

 private:
  TWexaCollection& cache_;
};

}  // namespace kova
