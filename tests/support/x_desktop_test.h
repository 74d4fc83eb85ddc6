// The fixture of the tests on a real X server: one Xvfb server of the suite's own, named by
// DISPLAY, and every test run twice, on the bare server and under a window manager (the test's
// parameter). A suite's own SetUp calls this one first and goes on only when Ready().
#pragma once

#include <sys/types.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "support/x_display.h"

namespace kova::test {

class XDesktopTest : public ::testing::TestWithParam<bool> {
 protected:
  static void SetUpTestSuite() {
    server_ = new XServer;
    if (server_->Start(why_)) ::setenv("DISPLAY", server_->Display().c_str(), 1);
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  // Skips without a server (or, for the second run, without openbox); starts the window manager.
  void SetUp() override {
    if (server_->Display().empty()) GTEST_SKIP() << "Xvfb cannot run here: " << why_;
    if (GetParam()) {
      const bool ready = StartWindowManager(wm_);
      if (wm_ < 0) GTEST_SKIP() << "no window manager to test with (openbox is not installed)";
      ASSERT_TRUE(ready) << "openbox did not start";
    }
  }
  void TearDown() override {
    Stop(wm_);
    wm_ = -1;
  }
  bool Ready() const { return !IsSkipped() && !HasFatalFailure(); }
  static const std::string& Display() { return server_->Display(); }

  inline static XServer* server_ = nullptr;
  inline static std::string why_;
  pid_t wm_ = -1;
};

}  // namespace kova::test
