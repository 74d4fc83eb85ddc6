// What the player runs on: the platform services of a session, the display, the glyph layer for
// the settings dialog, and windows, each with the presenter that shows a picture in it and the
// source of its events. The program gives the player the desktop over SDL2, FreeType and the
// system (tools/kovaplayer.cpp); tests give it THeadlessDesktop (headless_desktop.h).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/text/glyph_fonts.h"
#include "platform/services.h"
#include "platform/fields/text_fields.h"
#include "platform/window/video.h"

namespace kova {

// One window with its presenter and event source. Shared, so that a desktop may keep what it made
// (the headless one does, for tests to read after the player let go).
struct TDesktopWindow {
  std::shared_ptr<plat::IWindow> window;
  std::shared_ptr<plat::IPresenter> presenter;  // null for a window without a picture
  std::shared_ptr<plat::IEventSource> events;
  // The text fields of the game's edits and memos, shown over the picture (null: the scene keeps
  // headless ones).
  std::shared_ptr<plat::TTextFieldSet> text_fields;
};

class IDesktop {
 public:
  virtual ~IDesktop() = default;
  // The services a session uses (their window member is the player's own).
  virtual const plat::TServices& Services() = 0;
  virtual plat::IDisplay& Display() = 0;
  virtual plat::IGlyphFonts& Glyphs() = 0;
  // A hidden window with a client area of `client` (caption in code page 932), a presenter of a
  // picture of `game` size into it (none when `game` is empty) and its event source. False, with
  // the reason in `error`, when it cannot be made.
  virtual bool OpenWindow(std::string_view caption, plat::TSize client, plat::TSize game, bool resizable,
                          TDesktopWindow& out, std::string& error) = 0;
};

}  // namespace kova
