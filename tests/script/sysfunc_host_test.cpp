// System functions that reach the player: components, saves and display modes through a fake
// host; game files through the virtual file system; the wallpaper and web addresses through the
// platform services.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/file_manager.h"
#include "platform/files/shell_open.h"
#include "platform/window/wallpaper.h"
#include "script/sysfunc_rig.h"
#include "support/fake_script_host.h"
#include "support/game_tree.h"

namespace kova {
namespace {

using test::Ab;
using test::Ai;
using test::Ar;
using test::As;
using test::FakeScriptHost;
using test::SysFuncRig;
using F = TSysFunc;

// A host with components, saves and display modes.
class SceneHost : public FakeScriptHost {
 public:
  SceneHost() {
    FakeScriptHost& host = *this;
    // A (box) holds B (images) and C (box); D is a box without parent; M a preview menu.
  host.compos = {
      {"A", KT_BOX, "", 10, 20, true, {{PR_LEFT, "10"}}, {true, false}, {false, true}, {}},
      {"B", KT_IMAGES, "A", 0, 0, false, {}, {}, {}, {}},
      {"C", KT_BOX, "A", 0, 0, false, {}, {}, {}, {}},
      {"D", KT_BOX, "", 0, 0, false, {{PR_TEXT, "  Start\r\nload\r\nQuit \r\n"}}, {}, {}, {}},
      {"M", KT_PREVMENU, "", 0, 0, false, {}, {}, {false, false, true}, {"one", "two", "three"}},
  };
  host.saves = {{1, "one"}, {3, "three"}};
  host.modes = {{640, 480, 32, 60}, {800, 600, 16, 75}};
  }
};

TEST(SysFuncHost, ComponentAnswers) {
  SceneHost host;
  SysFuncRig rig(&host);
  test::RunRows(rig, {
      {F::Exists, {As("A")}, "TRUE"},
      {F::Exists, {As("zz")}, "FALSE"},
      {F::Exists, {As("")}, "FALSE"},
      {F::GetProp, {As("A"), Ai(PR_LEFT)}, "10"},
      {F::GetCheck, {As("A"), Ai(0)}, "TRUE"},
      {F::GetCheck, {As("A"), Ai(1)}, "FALSE"},
      {F::GetEnabled, {As("A"), Ai(1)}, "TRUE"},
      {F::ToClientX, {As("A"), Ai(15)}, "5"},
      {F::ToClientY, {As("A"), Ai(15)}, "-5"},
      {F::ToScreenX, {As("A"), Ai(5)}, "15"},
      {F::ToScreenY, {As("A"), Ai(5)}, "25"},
      {F::ToClientX, {As("zz"), Ai(15)}, "15"},
      {F::ToScreenY, {As("zz"), Ai(-4)}, "-4"},
      {F::IndexOfMenu, {As("D"), As("LOAD")}, "1"},
      {F::IndexOfMenu, {As("D"), As("quit")}, "2"},
      {F::IndexOfMenu, {As("D"), As("lo")}, "-1"},
      {F::IndexOfMenu, {As("zz"), As("load")}, "-1"},
      {F::InPrimary, {As("A")}, "TRUE"},
      {F::InPrimary, {As("B")}, "FALSE"},
      {F::InPrimary, {As("")}, "FALSE"},
      {F::GetSaveCaption, {Ai(3)}, "three"},
      {F::GetSaveCaption, {Ai(2)}, ""},
  });
}

// With no such component the destination keeps its value.
TEST(SysFuncHost, MissingComponentLeavesTheDestination) {
  SceneHost host;
  SysFuncRig rig(&host);
  TParamCollectionItem* dest = rig.Var("d", PT_STR);
  for (TSysFunc f : {F::GetProp, F::GetCheck, F::GetEnabled}) {
    SCOPED_TRACE(SysFuncNames().Name(Ord(f)));
    dest->SetStr("kept");
    EXPECT_EQ(rig.CallInto(*dest, f, {As("zz"), Ai(0)}), "");
    EXPECT_EQ(dest->GetStr(), "kept");
  }
  EXPECT_EQ(rig.CallInto(*dest, F::SetProp, {As("zz"), Ai(PR_LEFT), Ai(3)}), "");
  EXPECT_EQ(rig.CallInto(*dest, F::SetCheck, {As("zz"), Ai(0), Ab(true)}), "");
  EXPECT_TRUE(host.calls.empty());
}

TEST(SysFuncHost, SettersReachTheComponent) {
  SceneHost host;
  SysFuncRig rig(&host);
  rig.Call(F::SetProp, {As("A"), Ai(PR_LEFT), Ai(33)});
  rig.Call(F::SetCheck, {As("A"), Ai(1), Ab(true)});
  rig.Call(F::SetEnabled, {As("A"), Ai(0), Ab(true)});
  EXPECT_EQ(host.calls, (std::vector<std::string>{"SetProp A 3 33", "SetItemChecked A 1 1", "SetItemEnabled A 0 1"}));
  EXPECT_EQ(rig.Call(F::GetCheck, {As("A"), Ai(1)}), "TRUE");
}

// A string index names an item of a preview menu unless it reads as a number; other components
// read it as a number.
TEST(SysFuncHost, EnabledIndexByItemName) {
  SceneHost host;
  SysFuncRig rig(&host);
  EXPECT_EQ(rig.Call(F::GetEnabled, {As("M"), As("three")}), "TRUE");
  EXPECT_EQ(rig.Call(F::GetEnabled, {As("M"), As("2")}), "TRUE");
  EXPECT_EQ(rig.Call(F::GetEnabled, {As("M"), As("Three")}), "FALSE");
  rig.Call(F::SetEnabled, {As("M"), As("one"), Ab(true)});
  rig.Call(F::SetEnabled, {As("A"), As("one"), Ab(true)});
  EXPECT_EQ(host.calls, (std::vector<std::string>{"GetItem M 2", "GetItem M 2", "GetItem M -1",
                                                  "SetItemEnabled M 0 1", "SetItemEnabled A 0 1"}));
}

TEST(SysFuncHost, ListCompo) {
  SceneHost host;
  SysFuncRig rig(&host);
  rig.Var("v", PT_STR);
  struct Case {
    std::vector<test::Arg> args;
    std::string count, names;
  } cases[] = {
      {{Ar("v")}, "5", "A|B|C|D|M"},
      {{Ar("v"), Ai(KT_BOX)}, "3", "A|C|D"},
      {{Ar("v"), Ai(99)}, "5", "A|B|C|D|M"},            // above 27: every type
      {{Ar("v"), Ai(256 + KT_BOX)}, "3", "A|C|D"},      // only the low byte counts
      {{Ar("v"), Ai(0), As("A")}, "2", "B|C"},
      {{Ar("v"), Ai(KT_BOX), As("zz")}, "2", "A|D"},    // an unknown parent: those without one
      {{Ar("v"), Ai(KT_TIMER)}, "0", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(rig.Call(F::ListCompo, c.args), c.count);
    EXPECT_EQ(rig.Elements("v"), c.names);
  }
  TParamCollectionItem* v = rig.store.FindParam("v");
  EXPECT_EQ(v->Count(), 1);
  FakeScriptHost empty;
  SysFuncRig bare(&empty);
  bare.Var("v", PT_STR);
  EXPECT_EQ(bare.Call(F::ListCompo, {Ar("v"), Ai(99)}), "0");
  EXPECT_EQ(bare.Elements("v"), "");
}

TEST(SysFuncHost, SavesAndDisplayModes) {
  SceneHost host;
  SysFuncRig rig(&host);
  rig.Var("c", PT_STR);
  rig.Var("s", PT_INT);
  EXPECT_EQ(rig.Call(F::ListSaveCaption, {Ar("c"), Ar("s")}), "2");
  EXPECT_EQ(rig.Elements("c"), "one|three");
  EXPECT_EQ(rig.Elements("s"), "1|3");
  EXPECT_EQ(rig.Call(F::ListSaveCaption, {}), "2");
  host.saves.clear();
  EXPECT_EQ(rig.Call(F::ListSaveCaption, {Ar("c"), Ar("s")}), "0");
  EXPECT_EQ(rig.Elements("c"), "");
  EXPECT_EQ(rig.Elements("s"), "0");

  for (const char* name : {"w", "h", "b", "hz"}) rig.Var(name, PT_INT)->SetInt(-7);
  EXPECT_EQ(rig.Call(F::GetDisplayMode, {Ai(2), Ar("w"), Ar("h"), Ar("b"), Ar("hz")}), "FALSE");
  EXPECT_EQ(rig.Call(F::GetDisplayMode, {Ai(-1), Ar("w"), Ar("h"), Ar("b"), Ar("hz")}), "FALSE");
  EXPECT_EQ(rig.Elements("w") + rig.Elements("h") + rig.Elements("b") + rig.Elements("hz"), "-7-7-7-7");
  EXPECT_EQ(rig.Call(F::GetDisplayMode, {Ai(1), Ar("w"), Ar("h"), Ar("b"), Ar("hz")}), "TRUE");
  EXPECT_EQ(rig.Elements("w") + "," + rig.Elements("h") + "," + rig.Elements("b") + "," + rig.Elements("hz"),
            "800,600,16,75");
  // The null host has no screen manager and no saves.
  SysFuncRig null_rig;
  null_rig.Var("w", PT_INT);
  EXPECT_EQ(null_rig.Call(F::GetDisplayMode, {Ai(0), Ar("w"), Ar("w"), Ar("w"), Ar("w")}), "FALSE");
  EXPECT_EQ(null_rig.Call(F::GetSaveCaption, {Ai(0)}), "");
}

// Game files come from the virtual file system; the global file manager serves a temporary tree.
class SysFuncFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    tree_.WriteFile("crlf.txt", "a\r\nb\r\n");
    tree_.WriteFile("lf.txt", "a\nb");
    tree_.WriteFile("cr.txt", "a\rb\r");
    tree_.WriteFile("empty.txt", "");
    tree_.WriteFile("blank.txt", "\r\n");
    tree_.WriteFile("\x95\x5C.txt", "x");
    files_.SetFolder(tree_.Root());
  }

  test::GameTree tree_;
  TVrFileManager files_;
};

TEST_F(SysFuncFiles, FileExistsAndLoadTextFile) {
  FakeScriptHost host(&files_);
  host.project_refused = {"lf.txt"};
  SysFuncRig rig(&host);
  TParamCollectionItem* v = rig.Var("v", PT_STR);
  test::RunRows(rig, {
      {F::FileExists, {As("crlf.txt")}, "TRUE"},
      {F::FileExists, {As("\x95\x5C.txt")}, "TRUE"},
      {F::FileExists, {As("nope.txt")}, "FALSE"},
      {F::FileExists, {As("")}, "FALSE"},
  });
  struct Case {
    const char* file;
    std::string result, lines;
  } cases[] = {
      {"crlf.txt", "TRUE", "a|b"},
      {"cr.txt", "TRUE", "a|b"},
      {"blank.txt", "TRUE", ""},
      {"empty.txt", "FALSE", "kept"},
      {"nope.txt", "FALSE", "kept"},
      {"lf.txt", "FALSE", "kept"},  // the project's test decides, even when the file is there
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    v->SetStr("kept");
    EXPECT_EQ(rig.Call(F::LoadTextFile, {Ar("v"), As(c.file)}), c.result);
    EXPECT_EQ(rig.Elements("v"), c.lines);
  }
  // Without a project the existence test is the file manager's.
  SysFuncRig null_rig;
  null_rig.parts.files.SetFolder(tree_.Root());
  null_rig.Var("v", PT_STR);
  EXPECT_EQ(null_rig.Call(F::LoadTextFile, {Ar("v"), As("lf.txt")}), "TRUE");
  EXPECT_EQ(null_rig.Elements("v"), "a|b");
}

TEST(SysFuncHostNoFiles, WithoutAFileManagerNothingExists) {
  SysFuncRig rig;
  ASSERT_TRUE(rig.store.Ports().files.Folder().empty());
  rig.Var("v", PT_STR);
  EXPECT_EQ(rig.Call(F::FileExists, {As("a.txt")}), "FALSE");
  EXPECT_EQ(rig.Call(F::LoadTextFile, {Ar("v"), As("a.txt")}), "FALSE");
}

// A wallpaper service that accepts every picture and remembers the request.
class AcceptingWallpaper : public plat::IWallpaper {
 public:
  bool SetWallpaper(const std::string& host_path, plat::TWallpaperStyle style) override {
    path = host_path;
    this->style = style;
    ++count;
    return true;
  }
  std::string path;
  plat::TWallpaperStyle style = plat::TWallpaperStyle::Centred;
  int count = 0;
};

class SysFuncWallpaper : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_DATA_HOME");
    if (old) saved_ = old;
    had_ = old != nullptr;
    setenv("XDG_DATA_HOME", tree_.Root().c_str(), 1);
    tree_.WriteFile("game/pic.png", "png");
    files_.SetFolder(tree_.Path("game"));
  }
  void TearDown() override {
    if (had_) {
      setenv("XDG_DATA_HOME", saved_.c_str(), 1);
    } else {
      unsetenv("XDG_DATA_HOME");
    }
  }
  std::string WallFile() const { return tree_.Root() + "/kovaplayer/kovawall.bmp"; }

  test::GameTree tree_;
  TVrFileManager files_;
  std::string saved_;
  bool had_ = false;
};

TEST_F(SysFuncWallpaper, SavesThePictureThenAsksTheDesktop) {
  FakeScriptHost host(&files_);
  SysFuncRig rig(&host);
  // The headless service refuses: False, after the picture was written.
  EXPECT_EQ(rig.Call(F::SetWallPaper, {As(""), Ai(0)}), "FALSE");
  EXPECT_EQ(host.calls, (std::vector<std::string>{"SaveLayerBitmap " + WallFile()}));

  AcceptingWallpaper desktop;
  host.Services().wallpaper = &desktop;
  host.calls.clear();
  EXPECT_EQ(rig.Call(F::SetWallPaper, {As("pic.png"), Ai(1)}), "TRUE");
  EXPECT_EQ(host.calls, (std::vector<std::string>{"SavePictureBitmap pic.png " + WallFile()}));
  EXPECT_EQ(desktop.path, WallFile());
  EXPECT_EQ(desktop.style, plat::TWallpaperStyle::Tiled);
  EXPECT_EQ(rig.Call(F::SetWallPaper, {As(""), Ai(2)}), "TRUE");
  EXPECT_EQ(desktop.style, plat::TWallpaperStyle::Stretched);
  EXPECT_EQ(desktop.count, 2);

  // A missing file, or a picture that was not written, never reaches the desktop.
  host.calls.clear();
  EXPECT_EQ(rig.Call(F::SetWallPaper, {As("nope.png"), Ai(0)}), "FALSE");
  EXPECT_TRUE(host.calls.empty());
  host.picture_bitmap_ok = false;
  EXPECT_EQ(rig.Call(F::SetWallPaper, {As("pic.png"), Ai(0)}), "FALSE");
  host.layer_bitmap_ok = false;
  EXPECT_EQ(rig.Call(F::SetWallPaper, {As(""), Ai(0)}), "FALSE");
  EXPECT_EQ(desktop.count, 2);
}

TEST(SysFuncShell, OpenUrlOnlyForWebAddresses) {
  plat::TRecordingUrlOpener opener;
  FakeScriptHost host;
  host.Services().urls = &opener;
  SysFuncRig rig(&host);
  for (const char* url : {"www.example.com", "HTTP://EXAMPLE.COM", "mailto:x", "", " http://x"}) {
    EXPECT_EQ(rig.Call(F::OpenUrl, {As(url)}), "FALSE");
  }
  EXPECT_TRUE(opener.Urls().empty());
  rig.Call(F::OpenUrl, {As("http://example.com/?q=\x95\x5C")});
  rig.Call(F::OpenUrl, {As("ftp://host/a b;c")});
  EXPECT_EQ(opener.Urls(), (std::vector<std::string>{"http://example.com/?q=\xE8\xA1\xA8", "ftp://host/a b;c"}));
}

}  // namespace
}  // namespace kova
