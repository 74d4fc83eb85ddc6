// kovademo: writes a small demo game into a folder, for kovarun and for anyone trying the player.
//
//   kovademo OUT_FOLDER
//
// OUT_FOLDER/game.dat holds the project file "kova.kpb", the install set "install.dat" and three
// pages: the start page counts eight rounds in a loop, calls a page that computes the round's
// Fibonacci number in a loop of its own and returns it as the page's result, strings the numbers
// together, waits 100 ms per round, then checks the string, calls a closing page, waits and
// terminates. Everything is written with the fixture writers of the test suite.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/replace_file.h"
#include "platform/text_codec.h"
#include "support/archive_builder.h"
#include "support/expr_builder.h"
#include "support/install_set_builder.h"
#include "support/page_writer.h"
#include "support/project_writer.h"

namespace {

using namespace kova::test;

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::vector<uint8_t> StartPage() {
  PageWriter p;
  p.Comment("Eight rounds: call fib.ksb for each and string the results together");  // line 1
  p.VarNew("round", 1, Value(I(0)));                                          // 2
  p.VarNew("seq", 4, Value(S("")));                                           // 3
  p.VarNew("f", 1, Value(I(0)));                                              // 4
  p.While(Compare(ExprBuilder::Small, V("round"), V("rounds")), 11);          // 5
  p.Indent(1).Calc(Step("round", ExprBuilder::Plus, I(1)));                   // 6
  p.Call("fib.ksb", 0, "f", {Value(V("round"))});                             // 7
  p.Calc(Step("seq", ExprBuilder::ComboStr, V("f")));                         // 8
  p.Calc(Step("seq", ExprBuilder::ComboStr, S(" ")));                         // 9
  p.Wait(NoResult(), Value(I(100)));                                          // 10
  p.Indent(0).WhileLoop(NoResult(), 4);                                       // 11
  p.If(Compare(ExprBuilder::Equal, V("seq"), S("1 1 2 3 5 8 13 21 ")));       // 12
  p.Indent(1).Call("finale.ksb");                                             // 13
  p.Indent(0).Wait(NoResult(), Value(I(250)));                                // 14
  p.Terminate();                                                              // 15
  return p.Bytes();
}

std::vector<uint8_t> FibPage() {
  PageWriter p(109, 1);  // the page's result is an integer
  p.VarNew("a", 1, Value(I(0)), 2);                                           // 1 (locals)
  p.VarNew("b", 1, Value(I(1)), 2);                                           // 2
  p.VarNew("t", 1, Value(I(0)), 2);                                           // 3
  p.VarNew("k", 1, Value(I(0)), 2);                                           // 4
  p.While(Compare(ExprBuilder::Small, V("k"), V("round")), 10);               // 5
  ExprBuilder sum;
  sum.Op(ExprBuilder::Plus, "t", {V("a"), V("b")});
  p.Indent(1).Calc(sum);                                                      // 6
  p.Calc(Assign("a", V("b")));                                                // 7
  p.Calc(Assign("b", V("t")));                                                // 8
  p.Calc(Step("k", ExprBuilder::Plus, I(1)));                                 // 9
  p.Indent(0).WhileLoop(NoResult(), 4);                                       // 10
  p.Calc(Assign("@Result", V("a")));                                          // 11
  return p.Bytes();
}

std::vector<uint8_t> FinalePage() {
  PageWriter p;
  ExprBuilder message;
  message.Op(ExprBuilder::ComboStr, "message", {S("\x8A\xAE\x97\xB9: "), V("seq")});  // "完了: " + seq
  p.VarNew("message", 4, Value(S("")));
  p.Calc(message);
  return p.Bytes();
}

ArchiveBuilder DemoArchive() {
  ProjectBuilder project;
  project.title = "\x83\x66\x83\x82\x83\x51\x81\x5B\x83\x80";  // "デモゲーム"
  project.start_page = "start.ksb";
  project.Var(ProjectVariable::Int("rounds", 8));
  project.Var(ProjectVariable::Str("player", "Kova"));

  InstallSetBuilder install;
  install.version = 107;
  install.game_key = "KOVA-DEMO";
  install.complete = 1;

  ArchiveBuilder archive;
  archive.Add("kova.kpb", Text(project.Build()));
  archive.Add("install.dat", Text(install.Build()));
  archive.Add("start.ksb", Text(StartPage()));
  archive.Add("fib.ksb", Text(FibPage()));
  archive.Add("finale.ksb", Text(FinalePage()));
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
