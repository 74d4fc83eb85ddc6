// The main window as the lower layers see it: the owner of modal boxes, its title, and the way to
// close it through its normal path. The shell installs the real window; until then (and in
// headless runs) a stub that only counts close requests stands in.
#pragma once

#include <string>

namespace kova {

class IMainWindow {
 public:
  virtual ~IMainWindow() = default;
  // Queues a close request; the window closes through its normal path on a later event.
  virtual void PostClose() = 0;
  // The backend handle that owns modal boxes (see plat::TMessageBox::owner), or null.
  virtual void* DialogOwner() const = 0;
  // The window's title (code page 932).
  virtual std::string Title() const = 0;
};

class THeadlessMainWindow : public IMainWindow {
 public:
  void PostClose() override { ++close_posts_; }
  void* DialogOwner() const override { return nullptr; }
  std::string Title() const override { return title_; }

  void SetTitle(std::string title) { title_ = std::move(title); }
  int ClosePosts() const { return close_posts_; }

 private:
  std::string title_;
  int close_posts_ = 0;
};

// The main window in use (a built-in THeadlessMainWindow until another is installed).
IMainWindow& MainWindow();
// Installs the main window (nullptr: the built-in stub); returns the one installed before.
IMainWindow* InstallMainWindow(IMainWindow* window);

}  // namespace kova
