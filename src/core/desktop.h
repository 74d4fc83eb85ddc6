// Desktop helpers: the installed Japanese fonts, the description of one face, the screen's work
// area and the wallpaper, asked of the platform services the caller hands in (platform/services.h).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/string_list.h"
#include "core/types.h"
#include "platform/text/font_source.h"
#include "platform/window/wallpaper.h"
#include "platform/window/work_area.h"

namespace kova {

// ---- Fonts ----

// Fills `strings` with the names (code page 932) of the installed scalable fonts that cover
// Japanese. Names beginning with "@" (vertical faces) only with `include_vertical`; with
// `fixed_only`, only fixed-pitch faces. Names that code page 932 cannot hold are left out. The
// names are gathered in a list sorted or not as `sorted` says (a sorted list drops duplicates,
// without regard to case), then copied into `strings`, replacing its contents.
void ListFonts(plat::IFontSource& fonts, TStringList& strings, bool sorted, bool include_vertical, bool fixed_only);

// Character sets and pitch-and-family values of a logical font.
inline constexpr uint8_t kAnsiCharset = 0;
inline constexpr uint8_t kShiftJisCharset = 128;
inline constexpr uint8_t kFixedPitch = 0x01;
inline constexpr uint8_t kVariablePitch = 0x02;
inline constexpr uint8_t kFamilyModern = 0x30;

// The description of a font face that text layout builds its fonts from.
struct TLogFont {
  static constexpr size_t kFaceSize = 32;

  int32_t Height = 0;
  int32_t Width = 0;
  int32_t Escapement = 0;
  int32_t Orientation = 0;
  int32_t Weight = 0;
  uint8_t Italic = 0;
  uint8_t Underline = 0;
  uint8_t StrikeOut = 0;
  uint8_t CharSet = 0;
  uint8_t OutPrecision = 0;
  uint8_t ClipPrecision = 0;
  uint8_t Quality = 0;
  uint8_t PitchAndFamily = 0;
  // Code page 932, zero-terminated (at most 31 bytes of name).
  std::array<char, kFaceSize> FaceName{};

  std::string_view Face() const;
  friend bool operator==(const TLogFont&, const TLogFont&) = default;
};

// The description of the installed scalable face whose name equals `face_name` exactly (case
// included): its weight, italic flag, character set (Shift-JIS when it covers Japanese, else
// ANSI), pitch and name; the outline precisions and quality a font list reports. Height, width
// and the angles are 0 (callers choose them). A record of zeros when no face has that name.
TLogFont GetFontLogFont(plat::IFontSource& fonts, std::string_view face_name);

// ---- Screen ----

// The rectangle of the screen that windows may use (right and bottom exclusive).
TRect GetWorkAreaRect(plat::IWorkArea& area);

// ---- Wallpaper ----

// Sets the desktop wallpaper to the picture at a host path. Placement 0 centres it, 1 tiles it,
// any other value stretches it. True when the desktop accepted it; never raises (on a desktop
// without a wallpaper service the answer is false).
bool SetWallPaperImpl(plat::IWallpaper& wallpaper, const std::string& file_name, uint8_t placement);

}  // namespace kova
