#include "platform/text/font_aliases.h"

#include <array>

namespace kova::plat {
namespace {

// Monospaced Gothic faces first for the fixed-pitch names, proportional ones for the others.
constexpr std::array<std::string_view, 7> kGothic = {
    "IPAGothic",        "IPAexGothic", "TakaoGothic", "VL Gothic", "Noto Sans Mono CJK JP",
    "Noto Sans CJK JP", "IPAPGothic"};
constexpr std::array<std::string_view, 6> kPGothic = {
    "IPAPGothic", "IPAexGothic", "TakaoPGothic", "VL PGothic", "Noto Sans CJK JP", "IPAGothic"};
constexpr std::array<std::string_view, 5> kMincho = {"IPAMincho", "IPAexMincho", "TakaoMincho",
                                                     "Noto Serif CJK JP", "IPAPMincho"};
constexpr std::array<std::string_view, 5> kPMincho = {"IPAPMincho", "IPAexMincho", "TakaoPMincho",
                                                      "Noto Serif CJK JP", "IPAMincho"};

constexpr std::array<TFaceAlias, 9> kAliases = {{
    {"ＭＳ ゴシック", true, kGothic},
    {"MS Gothic", false, kGothic},
    {"ＭＳ Ｐゴシック", true, kPGothic},
    {"MS PGothic", false, kPGothic},
    {"MS UI Gothic", true, kPGothic},
    {"ＭＳ 明朝", true, kMincho},
    {"MS Mincho", false, kMincho},
    {"ＭＳ Ｐ明朝", true, kPMincho},
    {"MS PMincho", false, kPMincho},
}};

}  // namespace

std::span<const TFaceAlias> FaceAliases() { return kAliases; }

std::span<const std::string_view> AliasStandIns(std::string_view name) {
  for (const TFaceAlias& a : kAliases) {
    if (a.name == name) return a.stand_ins;
  }
  return {};
}

}  // namespace kova::plat
