// Helpers of the player shell's tests: scoped environment variables, and small games written with
// the test writers for the headless desktop.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "support/archive_builder.h"
#include "support/expr_builder.h"
#include "support/game_tree.h"
#include "support/install_set_builder.h"
#include "support/page_writer.h"
#include "support/project_writer.h"

namespace kova::test {

// Sets an environment variable for a scope (nullptr: unset).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

inline constexpr int32_t kPropColor = 8;  // PR_COLOR
inline constexpr int32_t kFuncSetProp = 3;

// "SetProp(layer, PR_COLOR, colour)" as an expression.
inline ExprBuilder SetLayerColour(std::string_view layer, int32_t colour) {
  return ExprBuilder().Call(kFuncSetProp, "____0", {S(layer), I(kPropColor), I(colour)});
}

// Writes a game of width x height with the start page `start` into `folder` of the tree (loose
// files: the project, the install set and the page); returns the folder's host path.
inline std::string WriteLooseGame(const GameTree& tree, std::string_view folder, const PageWriter& start,
                                  int32_t width = 64, int32_t height = 48, uint8_t pacing = 1) {
  ProjectBuilder p;
  p.title = "\x83\x65\x83\x58\x83\x67";  // "テスト"
  p.start_page = "start.ksb";
  p.screen_width = width;
  p.screen_height = height;
  p.frame_pacing = pacing;
  InstallSetBuilder set;
  set.version = 107;
  set.game_key = "KOVA-PLAYER-TEST";
  set.complete = 1;
  const std::string base(folder);
  const std::vector<uint8_t> project = p.Build();
  tree.WriteFile(base + "/kova.kpb", project);
  tree.WriteFile(base + "/install.dat", set.Build());
  tree.WriteFile(base + "/start.ksb", start.Bytes());
  return tree.Path(base);
}

}  // namespace kova::test
