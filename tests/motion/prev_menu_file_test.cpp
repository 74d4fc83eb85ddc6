// The preview-menu file: both versions' records with their names resolved against the menu's
// folder, the headers that leave the list empty, and damaged files (a count beyond the bytes, a
// record cut short, every prefix) that raise the read error and keep only whole buttons.
#include "motion/prev_menu_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/errors.h"
#include "core/stream.h"
#include "support/prev_menu_writer.h"

namespace kova::test {
namespace {

PrevMenuFile TwoButtons(const std::string& version) {
  PrevMenuFile menu;
  menu.version = version;
  menu.width = 640;
  menu.height = 480;
  PrevMenuButton a;
  a.x = 10, a.y = 20, a.image = "a.bmp", a.flag = 1, a.name = "start", a.alt1 = "a_hover.bmp", a.alt2 = "a_leave.bmp";
  a.alt3 = "a_click.kmt", a.alt4 = "a_off.bmp", a.sub = "a_sub.bmp", a.sub2 = "a_sub_leave.bmp";
  a.extra = "a_sub_click.bmp", a.sub_x = 5, a.sub_y = 6, a.cursor = "hand.cur";
  PrevMenuButton b;
  b.x = 300, b.y = 400, b.image = "\\disk\\b.bmp";  // an absolute name stays as it is
  menu.buttons = {a, b};
  return menu;
}

void Load(TContSelList& list, const std::vector<uint8_t>& bytes) {
  TSpanStream stream(bytes);
  list.LoadFromStream(stream, "menu\\");
}

TEST(PrevMenuFileRead, BothVersionsReadEveryFieldWithNamesInTheMenusFolder) {
  for (const std::string version : {"100", "101"}) {
    SCOPED_TRACE(version);
    TContSelList list;
    Load(list, PrevMenuBytes(TwoButtons(version)));
    EXPECT_EQ(list.Width, 640);
    EXPECT_EQ(list.Height, 480);
    ASSERT_EQ(list.TopButtonCount(), 2);
    EXPECT_EQ(list.GetTopButton(2), nullptr);
    EXPECT_EQ(list.GetTopButton(-1), nullptr);
    const TContSelButton& a = *list.GetTopButton(0);
    EXPECT_EQ(a.X, 10);
    EXPECT_EQ(a.Y, 20);
    EXPECT_EQ(a.Image, "menu\\a.bmp");
    EXPECT_EQ(a.Flag, 1);
    EXPECT_EQ(a.Name, "start");  // as stored, never resolved
    EXPECT_EQ(a.AltImage1, "menu\\a_hover.bmp");
    EXPECT_EQ(a.AltImage2, "menu\\a_leave.bmp");
    EXPECT_EQ(a.AltImage3, "menu\\a_click.kmt");
    // Only version 101 has the fifth picture; the fields after it line up either way.
    EXPECT_EQ(a.AltImage4, version == "101" ? "menu\\a_off.bmp" : "");
    EXPECT_EQ(a.SubImage, "menu\\a_sub.bmp");
    EXPECT_EQ(a.SubImage2, "menu\\a_sub_leave.bmp");
    EXPECT_EQ(a.ExtraFile, "menu\\a_sub_click.bmp");
    EXPECT_EQ(a.GetHoverLeft(), 5);
    EXPECT_EQ(a.GetHoverTop(), 6);
    EXPECT_EQ(a.Cursor, "menu\\hand.cur");
    EXPECT_EQ(a.Child, nullptr);
    const TContSelButton& b = *list.GetTopButton(1);
    EXPECT_EQ(b.X, 300);
    EXPECT_EQ(b.Image, "\\disk\\b.bmp");
    EXPECT_EQ(b.Name, "");  // the stored (empty) name wins over "Button01"
  }
}

TEST(PrevMenuFileRead, AButtonAddedByHandIsNamedByTheCount) {
  TContSelList list;
  EXPECT_EQ(list.AddButton().Name, "Button00");
  EXPECT_EQ(list.AddButton().Name, "Button01");
}

TEST(PrevMenuFileRead, AHeaderOrVersionThatDoesNotMatchLeavesTheListEmpty) {
  const std::vector<uint8_t> good = PrevMenuBytes(TwoButtons("101"));
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases = {{"nothing", {}}, {"a cut signature", {good.begin(), good.begin() + 7}},
                             {"no version", {good.begin(), good.begin() + 12}}};
  std::vector<uint8_t> other = good;
  other[0] = 'k';
  cases.push_back({"another signature", other});
  for (const char* version : {"099", "1a1", "   ", "000"}) {
    PrevMenuFile menu = TwoButtons("101");
    menu.version = version;
    cases.push_back({version, PrevMenuBytes(menu)});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TContSelList list;
    list.AddButton();  // a load starts from an empty list
    Load(list, c.bytes);
    EXPECT_EQ(list.TopButtonCount(), 0);
  }
}

TEST(PrevMenuFileRead, DamagedFilesRaiseAndKeepOnlyWholeButtons) {
  PrevMenuFile huge = TwoButtons("101");
  huge.count = 50'000'000;  // far more than the bytes hold: refused before anything is made
  TContSelList list;
  EXPECT_THROW(Load(list, PrevMenuBytes(huge)), EReadError);
  EXPECT_EQ(list.TopButtonCount(), 0);
  PrevMenuFile negative = TwoButtons("101");
  negative.count = -1000;
  negative.buttons.clear();
  std::vector<uint8_t> bytes = PrevMenuBytes(negative);
  EXPECT_THROW(Load(list, bytes), EReadError);

  // Every prefix of a good file: the read error or the whole file, and never a half button.
  const std::vector<uint8_t> good = PrevMenuBytes(TwoButtons("101"));
  const std::vector<uint8_t> one = PrevMenuBytes([] {
    PrevMenuFile m = TwoButtons("101");
    m.buttons.pop_back();
    m.count = 2;
    return m;
  }());
  for (size_t n = 0; n < good.size(); ++n) {
    SCOPED_TRACE(n);
    const std::vector<uint8_t> prefix(good.begin(), good.begin() + ptrdiff_t(n));
    TContSelList cut;
    try {
      Load(cut, prefix);
    } catch (const EReadError&) {
    }
    EXPECT_LE(cut.TopButtonCount(), n >= one.size() ? 1 : 0);
    if (cut.TopButtonCount() == 1) {
      EXPECT_EQ(cut.GetTopButton(0)->Cursor, "menu\\hand.cur");
    }
  }
}

}  // namespace
}  // namespace kova::test
