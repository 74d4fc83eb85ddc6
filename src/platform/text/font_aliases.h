// Face names that games ask for and that Linux desktops do not have, with the installed faces that
// stand in for them, best first. Names are UTF-8.
#pragma once

#include <span>
#include <string_view>

namespace kova::plat {

struct TFaceAlias {
  std::string_view name;
  // Listed among the installed faces (under this name) when one of its stand-ins is installed.
  bool listed;
  std::span<const std::string_view> stand_ins;
};

// Every alias, in table order.
std::span<const TFaceAlias> FaceAliases();

// The stand-ins of an alias name (compared exactly), best first; empty for other names.
std::span<const std::string_view> AliasStandIns(std::string_view name);

// The face the text drawing falls back to when the face it asks for is not installed.
inline constexpr std::string_view kFallbackFace = "ＭＳ ゴシック";

}  // namespace kova::plat
