// Texts a script builds far longer than any game shows: every component that lays script text out
// refuses them with the system's error before it pays for them, and keeps the text it had.
#include <gtest/gtest.h>

#include <string>

#include "components/scene/kova_base_list.h"
#include "components/scene/kova_object.h"
#include "core/messages.h"
#include "support/frame_driver.h"
#include "support/text_cost_fixtures.h"
#include "text/text_errors.h"

namespace kova {
namespace {

TEST(TextCost, ComponentsRefuseTextsPastTheirBounds) {
  struct Case {
    const char* what;
    uint8_t command;
    int32_t doublings;  // 2 MiB for the message window (1 MiB bound), 128 KiB for the others (64 KiB)
  } cases[] = {
      {"message window", 10, 21},
      {"label", 24, 17},
      {"menu", 25, 17},
      {"picture-font label", 54, 17},
  };
  const std::string message = MsgText(TMsg::TextTooLong);
  const std::string too_long = message.substr(0, message.find(" ("));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::FrameDriver d(true);
    d.AddPage("start.ksb", test::LongTextPage(c.command, c.doublings));
    d.callman.Start("start.ksb");
    try {
      d.Frames(3);
      ADD_FAILURE() << "no error";
    } catch (const ETextError& e) {
      EXPECT_EQ(std::string(e.what()).substr(0, too_long.size()), too_long) << e.what();
    }
    TKovaObject* t = d.session.SceneRoot().FindComponent("t");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->GetText(), "");
  }
}

}  // namespace
}  // namespace kova
