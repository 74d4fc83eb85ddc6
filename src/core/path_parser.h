// Game paths (Shift-JIS names with "\" delimiters, never host paths) held as their components,
// each ending in "\": first a drive component ("C:\") or a UNC server component ("\\SERVER\")
// when the path has one, then one component per folder. Components are upper-cased.
#pragma once

#include <string>
#include <string_view>

#include "core/string_list.h"

namespace kova {

class TPathParser : public TStringList {
 public:
  // Clears and splits `path` (upper-cased, with a "\" appended unless it ends in one). An empty
  // path leaves no components. Deleting the last component goes up one folder.
  void SetPath(std::string_view path);
  // All components joined in order.
  std::string GetPath() const;
};

// Resolves a relative game path against a base folder (which ends in "\"). A name of at most one
// character, one that begins with "\" or has ":" as its second character comes back unchanged.
// Each leading "..\" removes the base's last component while it has one; the result is the
// remaining (upper-cased) base followed by the rest of the name. Any other name is appended to
// the base as it stands.
std::string ExpandRelativePath(std::string_view relative, std::string_view base);

}  // namespace kova
