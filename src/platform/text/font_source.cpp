#include "platform/text/font_source.h"

namespace kova::plat {

std::vector<TFontFamily> TFixedFontSource::JapaneseFamilies() {
  std::vector<TFontFamily> out;
  for (const TFontFamily& f : families_) {
    if (f.japanese) out.push_back(f);
  }
  return out;
}

std::optional<TFontFamily> TFixedFontSource::FindFamily(std::string_view name) {
  for (const TFontFamily& f : families_) {
    if (f.name == name) return f;
  }
  return std::nullopt;
}

}  // namespace kova::plat
