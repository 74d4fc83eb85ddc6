// Helpers of the tests that run on a real X server: an Xvfb server of the test's own (on a free
// display number, ended with the test), programs started and waited for, and the screen grabbed
// with xwd.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kova::test {

// Runs a program (looked up in PATH) and returns its exit status, -1 when it could not start.
int RunProgram(const std::vector<std::string>& args);
// Runs a program and returns its standard output ("" when it failed).
std::string ProgramOutput(const std::vector<std::string>& args);

// Starts a program in the background, its standard output and error dropped unless `keep_output`,
// and `fd` (when >= 0) as its descriptor 3; `env` entries ("NAME=value") are added to this
// process's environment for it. The program ends with this process even if the test is killed.
// Its process id, or -1.
pid_t Spawn(const std::vector<std::string>& args, int fd = -1, const std::vector<std::string>& env = {},
            bool keep_output = false);
// Ends a spawned program (SIGTERM) and waits for it.
void Stop(pid_t pid);
// Waits up to `timeout_ms` for a spawned program to end; its exit status, or -1 while it still
// runs (or when it ended by a signal).
int WaitExit(pid_t pid, int timeout_ms);

// Starts openbox on the display named by DISPLAY and waits (up to about 5 s) until it names its
// check window on the root window; `pid` is its process (-1 when it did not start). False when it is not ready.
bool StartWindowManager(pid_t& pid);

// An X server of its own.
class XServer {
 public:
  ~XServer() { Stop(); }
  // Starts Xvfb with one screen of `screen` ("1024x768x24") on a free display it picks itself;
  // false (with the reason) when it cannot run.
  bool Start(std::string& why, const std::string& screen = "1024x768x24");
  void Stop();
  const std::string& Display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// The whole screen as 0xRRGGBB pixels.
struct Screen {
  int32_t width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int32_t x, int32_t y) const { return pixels[size_t(y) * width + x]; }
  bool Has(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

// Dumps the root window of `display` with xwd into `file` and reads it.
bool Grab(const std::string& display, const std::string& file, Screen& screen);

}  // namespace kova::test
