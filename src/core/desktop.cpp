#include "core/desktop.h"

#include <cstring>

#include "core/sjis.h"
#include "platform/text/font_source.h"
#include "platform/text/text_codec.h"
#include "platform/window/wallpaper.h"
#include "platform/window/work_area.h"

namespace kova {
namespace {

// Outline precision, clip precision and quality that a font list reports for outline fonts.
constexpr uint8_t kOutStrokePrecision = 3;
constexpr uint8_t kClipStrokePrecision = 2;
constexpr uint8_t kDraftQuality = 1;

// The code-page 932 form of a UTF-8 name, or "" when some character has no such form.
std::string ToCp932(std::string_view utf8) {
  plat::TConvertResult r = plat::ConvertText(utf8, plat::TCodePage::Utf8, plat::TCodePage::Cp932);
  return r.unmapped == 0 ? std::move(r.text) : std::string();
}

// Copies a name into a face field, cut on a character boundary to leave room for the terminator.
void SetFace(TLogFont& font, std::string_view name) {
  size_t n = 0;
  while (n < name.size()) {
    const size_t step = IsSjisLeadByte(name[n]) && n + 1 < name.size() ? 2 : 1;
    if (n + step > TLogFont::kFaceSize - 1) break;
    n += step;
  }
  std::memcpy(font.FaceName.data(), name.data(), n);
}

}  // namespace

void ListFonts(plat::IFontSource& fonts, TStringList& strings, bool sorted, bool include_vertical, bool fixed_only) {
  TStringList names;
  names.SetSorted(sorted);
  for (const plat::TFontFamily& family : fonts.JapaneseFamilies()) {
    if (fixed_only && !family.fixed_pitch) continue;
    std::string name = ToCp932(family.name);
    if (name.empty()) continue;
    if (name.front() == '@' && !include_vertical) continue;
    names.Add(std::move(name));
  }
  strings.Clear();
  for (const TStringItem& item : names.Items()) strings.AddObject(item.Str, item.Object);
}

std::string_view TLogFont::Face() const {
  return std::string_view(FaceName.data(), strnlen(FaceName.data(), FaceName.size()));
}

TLogFont GetFontLogFont(plat::IFontSource& fonts, std::string_view face_name) {
  TLogFont font;
  if (face_name.empty()) return font;
  const plat::TConvertResult utf8 =
      plat::ConvertText(face_name, plat::TCodePage::Cp932, plat::TCodePage::Utf8);
  if (utf8.unmapped != 0) return font;
  const std::optional<plat::TFontFamily> family = fonts.FindFamily(utf8.text);
  if (!family) return font;
  font.Weight = family->weight;
  font.Italic = family->italic ? 1 : 0;
  font.CharSet = family->japanese ? kShiftJisCharset : kAnsiCharset;
  font.OutPrecision = kOutStrokePrecision;
  font.ClipPrecision = kClipStrokePrecision;
  font.Quality = kDraftQuality;
  font.PitchAndFamily = family->fixed_pitch ? (kFixedPitch | kFamilyModern) : kVariablePitch;
  SetFace(font, face_name);
  return font;
}

TRect GetWorkAreaRect(plat::IWorkArea& area) {
  const plat::TScreenRect r = area.WorkArea();
  return TRect{r.left, r.top, r.right, r.bottom};
}

bool SetWallPaperImpl(plat::IWallpaper& wallpaper, const std::string& file_name, uint8_t placement) {
  const plat::TWallpaperStyle style = placement == 0   ? plat::TWallpaperStyle::Centred
                                      : placement == 1 ? plat::TWallpaperStyle::Tiled
                                                       : plat::TWallpaperStyle::Stretched;
  try {
    return wallpaper.SetWallpaper(file_name, style);
  } catch (...) {
    return false;
  }
}

}  // namespace kova
