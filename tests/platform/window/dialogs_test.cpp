#include "platform/window/dialogs.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/sdl/sdl_dialogs.h"
#include "platform/sdl/sdl_work_area.h"

namespace kova::plat {
namespace {

TMessageBox Box(TMessageButtons buttons, const char* text = "text") {
  TMessageBox box;
  box.title = "title";
  box.text = text;
  box.buttons = buttons;
  return box;
}

TEST(HeadlessDialogs, ScriptedAnswersThenCancelAndConfirm) {
  THeadlessDialogs d;
  d.Script({TMessageAnswer::Ok, TMessageAnswer::Cancel});
  const auto ask = TMessageButtons::OkCancel;
  EXPECT_EQ(d.ShowMessage(Box(TMessageButtons::Ok)), TMessageAnswer::Ok);  // takes nothing
  EXPECT_EQ(d.ShowMessage(Box(ask)), TMessageAnswer::Ok);
  EXPECT_EQ(d.ShowMessage(Box(ask)), TMessageAnswer::Cancel);
  // The queue is empty: Cancel, then Ok to the box that follows, and so on.
  EXPECT_EQ(d.ShowMessage(Box(ask, "prompt")), TMessageAnswer::Cancel);
  EXPECT_EQ(d.ShowMessage(Box(ask, "confirm")), TMessageAnswer::Ok);
  EXPECT_EQ(d.ShowMessage(Box(ask)), TMessageAnswer::Cancel);
  ASSERT_EQ(d.Log().size(), 6u);
  EXPECT_EQ(d.Log()[3].text, "prompt");
  EXPECT_EQ(d.Log()[4].answer, TMessageAnswer::Ok);
  EXPECT_EQ(d.Log()[0].title, "title");
}

bool HasDisplay() { return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY"); }

TEST(SdlDialogs, WithoutADisplayTheFallbackAnswers) {
  if (HasDisplay()) GTEST_SKIP() << "a display is present: a real box would wait for a user";
  TSdlDialogs d;
  EXPECT_EQ(d.ShowMessage(Box(TMessageButtons::OkCancel)), TMessageAnswer::Cancel);
  EXPECT_EQ(d.ShowMessage(Box(TMessageButtons::OkCancel)), TMessageAnswer::Ok);
  EXPECT_EQ(d.Fallback().Log().size(), 2u);
}

TEST(SdlWorkArea, GivesAUsableRectangle) {
  TSdlWorkArea area;
  const TScreenRect r = area.WorkArea();
  EXPECT_GT(r.right, r.left);
  EXPECT_GT(r.bottom, r.top);
}

}  // namespace
}  // namespace kova::plat
