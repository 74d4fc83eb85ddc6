#include "player/headless_desktop.h"

namespace kova {

THeadlessDesktop::THeadlessDesktop() { services.clock = &clock; }

plat::TScriptedEvents& THeadlessDesktop::Script(size_t n) {
  while (scripts_.size() <= n) scripts_.push_back(std::make_shared<plat::TScriptedEvents>());
  return *scripts_[n];
}

bool THeadlessDesktop::OpenWindow(std::string_view caption, plat::TSize client, plat::TSize game, bool resizable,
                                  TDesktopWindow& out, std::string& error) {
  if (!refuse_windows.empty()) {
    error = refuse_windows;
    return false;
  }
  const plat::TDisplayMode desktop = display.DesktopMode().mode;
  auto window = std::make_shared<plat::THeadlessWindow>(client, plat::TSize{desktop.Width, desktop.Height});
  window->SetCaption(caption);
  window->SetFrame(frame);
  std::shared_ptr<plat::THeadlessPresenter> presenter;
  if (game.width > 0 && game.height > 0) {
    presenter = std::make_shared<plat::THeadlessPresenter>(game);
    window->SetGameSize(game);
  }
  Script(opened_.size());
  auto fields = std::make_shared<plat::TTextFieldSet>();
  fields->SetWindow(window.get());
  out.window = window;
  out.presenter = presenter;
  out.events = scripts_[opened_.size()];
  out.text_fields = fields;
  opened_.push_back(TOpened{window, presenter, resizable, fields});
  return true;
}

}  // namespace kova
