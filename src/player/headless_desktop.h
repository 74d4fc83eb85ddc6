// The headless desktop: the headless services on a virtual clock, a display set by hand, windows
// that keep their state, presenters that keep the picture, text fields that keep theirs, and
// events read from a script per window. It keeps every window it made, so that tests read them
// after the player let go.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/text/blank_glyph_fonts.h"
#include "platform/clock.h"
#include "platform/window/headless_video.h"
#include "player/desktop.h"

namespace kova {

class THeadlessDesktop : public IDesktop {
 public:
  THeadlessDesktop();

  // The services, their outline fonts the desktop's (`glyphs`).
  const plat::TServices& Services() override {
    services.glyphs = glyphs;
    return services;
  }
  plat::IDisplay& Display() override { return display; }
  plat::IGlyphFonts& Glyphs() override { return *glyphs; }
  bool OpenWindow(std::string_view caption, plat::TSize client, plat::TSize game, bool resizable,
                  TDesktopWindow& out, std::string& error) override;

  // The events of the n-th window opened (from 0), to be scripted before or after it opens.
  plat::TScriptedEvents& Script(size_t n);

  struct TOpened {
    std::shared_ptr<plat::THeadlessWindow> window;
    std::shared_ptr<plat::THeadlessPresenter> presenter;  // null without a picture
    bool resizable = true;
    std::shared_ptr<plat::TTextFieldSet> text_fields;  // headless: they keep their state, show nothing
  };
  const std::vector<TOpened>& Opened() const { return opened_; }

  plat::THeadlessServices services;  // its clock is `clock`
  plat::TVirtualClock clock;
  plat::TConfigurableDisplay display;
  plat::TBlankGlyphFonts blank_glyphs;
  plat::IGlyphFonts* glyphs = &blank_glyphs;
  // Window frames (borders and title) the windows get.
  plat::THeadlessWindow::TFrame frame;
  // OpenWindow fails with this reason when it is not empty.
  std::string refuse_windows;

 private:
  std::deque<std::shared_ptr<plat::TScriptedEvents>> scripts_;
  std::vector<TOpened> opened_;
};

}  // namespace kova
