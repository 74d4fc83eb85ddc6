// A small game written with the test writers, for the tests that open and run a whole game: a
// project file, an install set and four pages. The start page declares a variable, calls a page
// that sums 1..limit in a loop and returns the sum as its result, branches on that result into a
// second call, waits 50 ms and terminates.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "support/archive_builder.h"
#include "support/game_tree.h"
#include "support/install_set_builder.h"
#include "support/page_writer.h"
#include "support/project_writer.h"

namespace kova::test {

inline std::string AsText(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

inline constexpr const char* kTestGameKey = "KOVA-TEST-GAME";

inline ProjectBuilder TestGameProject() {
  ProjectBuilder p;
  p.title = "\x83\x65\x83\x58\x83\x67";  // "テスト"
  p.start_page = "start.ksb";
  p.Var(ProjectVariable::Int("limit", 3));
  return p;
}

inline std::vector<uint8_t> TestGameInstallSet(uint8_t complete = 1, int32_t disk_index = 0) {
  InstallSetBuilder set;
  set.version = 107;
  set.game_key = kTestGameKey;
  set.complete = complete;
  set.disk_index = disk_index;
  return set.Build();
}

// The pages by file name.
inline std::map<std::string, std::vector<uint8_t>> TestGamePages() {
  std::map<std::string, std::vector<uint8_t>> pages;

  PageWriter start;
  start.VarNew("total", 1, Value(I(0)));                                    // 1
  start.Call("sum.ksb", 0, "total", {Value(I(7)), Value(S("x"))});          // 2
  start.If(Compare(ExprBuilder::Equal, V("total"), I(6)));                  // 3
  start.Indent(1).Call("good.ksb");                                         // 4
  start.Indent(0).Else();                                                   // 5
  start.Indent(1).Call("bad.ksb");                                          // 6
  start.Indent(0).Wait(NoResult(), Value(I(50)));                           // 7
  start.Terminate();                                                        // 8
  pages["start.ksb"] = start.Bytes();

  PageWriter sum(109, 1);
  sum.VarNew("argc", 1, Value(V("@ParamCount")));                           // 1
  sum.VarNew("i", 1, Value(I(0)), 2);                                       // 2
  sum.VarNew("acc", 1, Value(I(0)), 2);                                     // 3
  sum.While(Compare(ExprBuilder::Small, V("i"), V("limit")), 7);            // 4
  sum.Calc(Step("i", ExprBuilder::Plus, I(1)));                             // 5
  sum.Calc(Step("acc", ExprBuilder::Plus, V("i")));                         // 6
  sum.WhileLoop(NoResult(), 3);                                             // 7
  sum.Calc(Assign("@Result", V("acc")));                                    // 8
  pages["sum.ksb"] = sum.Bytes();

  PageWriter good;
  good.VarNew("verdict", 4, Value(S("good")));
  pages["good.ksb"] = good.Bytes();
  PageWriter bad;
  bad.VarNew("verdict", 4, Value(S("bad")));
  pages["bad.ksb"] = bad.Bytes();
  return pages;
}

// The trace the test game leaves: every command once as it runs, the Wait once although it waits
// over five frames, the Terminate in the frame the Wait ends.
inline std::vector<std::string> TestGameTrace() {
  std::vector<std::string> lines;
  auto at = [&](const char* clock, const char* page, int line) {
    lines.push_back(std::string(clock) + " : " + page + "(" + std::to_string(line) + ")");
  };
  const char* f1 = "00000010";
  at(f1, "start.ksb", 1);
  at(f1, "start.ksb", 2);
  for (int line : {1, 2, 3}) at(f1, "sum.ksb", line);
  for (int round = 0; round < 3; ++round) {
    for (int line : {4, 5, 6, 7}) at(f1, "sum.ksb", line);
  }
  at(f1, "sum.ksb", 4);
  at(f1, "sum.ksb", 8);
  at(f1, "start.ksb", 3);
  at(f1, "start.ksb", 4);
  at(f1, "good.ksb", 1);
  at(f1, "start.ksb", 5);
  at(f1, "start.ksb", 7);
  at("00000050", "start.ksb", 8);
  return lines;
}

// The whole game as archive entries (install set included).
inline ArchiveBuilder TestGameArchive(const ProjectBuilder& project = TestGameProject()) {
  ArchiveBuilder archive;
  archive.Add("kova.kpb", AsText(project.Build()));
  archive.Add("install.dat", AsText(TestGameInstallSet()));
  for (const auto& [name, bytes] : TestGamePages()) archive.Add(name, AsText(bytes));
  return archive;
}

// Writes the game into `folder` of the tree: as "game.dat", or as loose files.
inline std::string WriteTestGame(const GameTree& tree, const std::string& folder, bool loose,
                                 const ProjectBuilder& project = TestGameProject()) {
  if (!loose) {
    tree.WriteArchive(folder + "/game.dat", TestGameArchive(project));
    return tree.Path(folder);
  }
  tree.WriteFile(folder + "/kova.kpb", project.Build());
  tree.WriteFile(folder + "/install.dat", TestGameInstallSet());
  for (const auto& [name, bytes] : TestGamePages()) tree.WriteFile(folder + "/" + name, bytes);
  return tree.Path(folder);
}

}  // namespace kova::test
