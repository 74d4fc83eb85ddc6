// Reading a window's legacy title the way a reader of the property does, and the close request a
// window manager sends, through Xlib: kept apart so that the X headers' names stay out of the
// tests.
#pragma once

#include <SDL.h>

#include <string>

namespace kova::test {

// The window's WM_NAME as a reader of the property gets it, in UTF-8 (STRING read as Latin-1,
// COMPOUND_TEXT decoded, UTF8_STRING as it stands); "<none>" when it has none.
std::string ReadWmName(SDL_Window* window);

// Sends the window the close request (WM_DELETE_WINDOW) as a window manager sends it when the user
// closes the window; false when it could not be sent.
bool SendCloseRequest(SDL_Window* window);

}  // namespace kova::test
