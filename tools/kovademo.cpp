// kovademo: writes the demo game into a folder, for the player, kovarun and the end-to-end tests.
//
//   kovademo OUT_FOLDER
//
// OUT_FOLDER/game.dat holds the project file "kova.kpb", the install set "install.dat" and the
// pages. The game (640 x 480): a title screen with three buttons, Start, Full screen (a window
// again when in full screen) and Quit; Start changes to the second scene, whose Back button
// returns to the title. Everything is written with the fixture writers of the test suite.
//
// The places and colours below are what the end-to-end tests click and look for.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/replace_file.h"
#include "platform/text_codec.h"
#include "support/archive_builder.h"
#include "support/demo_game.h"
#include "support/expr_builder.h"
#include "support/install_set_builder.h"
#include "support/page_writer.h"
#include "support/project_writer.h"

namespace {

using namespace kova::test;
using E = ExprBuilder;
namespace demo = kova::test::demo;

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// A colour reference ($00BBGGRR) of an 0xRRGGBB colour.
int32_t ColourRef(uint32_t rgb) { return int32_t((rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16); }

// "SetProp(the active layer, PR_COLOR, colour)".
ExprBuilder LayerColour(uint32_t rgb) {
  return ExprBuilder().Call(3, "____0", {S("BASE0"), I(8), I(ColourRef(rgb))});
}

// True when the pointer is inside the rectangle.
ExprBuilder PointerIn(const demo::Rect& r) {
  ExprBuilder e;
  e.Op(E::EBig, "____0", {V("@MouseX"), I(r.left)});
  e.Op(E::Small, "____1", {V("@MouseX"), I(r.right)});
  e.Op(E::And, "____0", {V("____0"), V("____1")});
  e.Op(E::EBig, "____1", {V("@MouseY"), I(r.top)});
  e.Op(E::And, "____0", {V("____0"), V("____1")});
  e.Op(E::Small, "____1", {V("@MouseY"), I(r.bottom)});
  e.Op(E::And, "____0", {V("____0"), V("____1")});
  e.Result(V("____0"));
  return e;
}

// The start page: the title, then a loop that waits for a click and acts on the button under it.
std::vector<uint8_t> StartPage() {
  ExprBuilder toggle;  // @FullScr := (@FullScr = 0)
  toggle.Op(E::Equal, "____0", {V("@FullScr"), I(0)}).Op(E::To, "@FullScr", {V("____0")});
  PageWriter p;
  p.VarNew("scene", 1, Value(I(0)));                                          // 0
  p.Calc(LayerColour(demo::kTitleColour));                                    // 1
  p.While(Yes(), 20);                                                         // 2
  p.Indent(1).While(Compare(E::Equal, V("@LClick"), I(0)), 6);                // 3
  p.Indent(2).Wait(NoResult(), Value(I(16)));                                 // 4
  p.Indent(1).WhileLoop(NoResult(), 3);                                       // 5
  p.If(Compare(E::Equal, V("scene"), I(0)));                                  // 6
  p.Indent(2).If(PointerIn(demo::kStartButton));                              // 7
  p.Indent(3).Calc(Assign("scene", I(1)));                                    // 8
  p.Calc(LayerColour(demo::kSceneColour));                                    // 9
  p.Indent(2).Elseif(PointerIn(demo::kFullScreenButton));                     // 10
  p.Indent(3).Calc(toggle);                                                   // 11
  p.Indent(2).Elseif(PointerIn(demo::kQuitButton));                           // 12
  p.Indent(3).Terminate();                                                    // 13
  p.Indent(1).Else();                                                         // 14
  p.Indent(2).If(PointerIn(demo::kBackButton));                               // 15
  p.Indent(3).Calc(Assign("scene", I(0)));                                    // 16
  p.Calc(LayerColour(demo::kTitleColour));                                    // 17
  p.Indent(1).Wait(NoResult(), Value(I(16)));                                 // 18
  p.Indent(0).WhileLoop(NoResult(), 2);                                       // 19
  return p.Bytes();
}

ArchiveBuilder DemoArchive() {
  ProjectBuilder project;
  project.title = "\x83\x66\x83\x82\x83\x51\x81\x5B\x83\x80";  // "デモゲーム"
  project.start_page = "start.ksb";
  project.screen_width = demo::kWidth;
  project.screen_height = demo::kHeight;
  project.value1 = demo::kWidth;  // the preferred full-screen size
  project.value2 = demo::kHeight;
  project.frame_pacing = 1;

  InstallSetBuilder install;
  install.version = 107;
  install.game_key = "KOVA-DEMO";
  install.complete = 1;

  ArchiveBuilder archive;
  archive.Add("kova.kpb", Text(project.Build()));
  archive.Add("install.dat", Text(install.Build()));
  archive.Add("start.ksb", Text(StartPage()));
  return archive;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: kovademo OUT_FOLDER\n", stderr);
    return 2;
  }
  const std::string folder = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    std::fprintf(stderr, "kovademo: %s: %s\n", folder.c_str(), ec.message().c_str());
    return 1;
  }
  const std::vector<uint8_t> bytes = DemoArchive().Build();
  const std::string path = folder + "/game.dat";
  try {
    // A new file beside the old one, renamed over it once whole: an existing game.dat (or a link
    // in its place) is never truncated or written through.
    kova::ReplaceFileContents(path, bytes);
  } catch (const kova::EKovaError& e) {
    std::fprintf(stderr, "kovademo: %s: %s\n", path.c_str(), kova::plat::Cp932ToUtf8(e.Message()).c_str());
    return 1;
  }
  std::printf("kovademo: wrote %s (%zu bytes)\n", path.c_str(), bytes.size());
  return 0;
}
