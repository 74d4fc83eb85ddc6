#include "platform/font_source.h"

#include "platform/service.h"

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

namespace {

TServiceSlot<IFontSource>& Slot() {
  static TFixedFontSource none;
  static TServiceSlot<IFontSource> slot(none);
  return slot;
}

}  // namespace

IFontSource& FontSource() { return Slot().Get(); }
IFontSource* InstallFontSource(IFontSource* source) { return Slot().Install(source); }

}  // namespace kova::plat
