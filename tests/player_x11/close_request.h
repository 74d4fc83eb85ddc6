// The close request a window manager sends when the user closes a window (WM_DELETE_WINDOW), sent
// by the test itself through Xlib (kept out of the files that include the test framework, whose
// names Xlib's macros would replace).
#pragma once

#include <string>

namespace kova::test {

// False when the display cannot be opened or the message not sent.
bool SendCloseRequest(const std::string& display, unsigned long window);

}  // namespace kova::test
