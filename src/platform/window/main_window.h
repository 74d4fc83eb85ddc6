// The main window as the layers below the player window see it: the owner of modal boxes, its
// caption, and the way to close it through its normal path. The player window implements it;
// headless runs and tests use THeadlessMainWindow, which records what it is asked.
#pragma once

#include <string>
#include <string_view>

namespace kova::plat {

class IMainWindow {
 public:
  virtual ~IMainWindow() = default;
  // Queues a close request; the window closes through its normal path on a later event.
  virtual void PostClose() = 0;
  // The backend handle that owns modal boxes (see TMessageBox::owner), or null.
  virtual void* DialogOwner() const = 0;
  // The window's caption (code page 932).
  virtual std::string Title() const = 0;
  virtual void SetTitle(std::string_view title) = 0;
};

class THeadlessMainWindow : public IMainWindow {
 public:
  void PostClose() override { ++close_posts_; }
  void* DialogOwner() const override { return nullptr; }
  std::string Title() const override { return title_; }
  void SetTitle(std::string_view title) override { title_ = title; }

  int ClosePosts() const { return close_posts_; }

 private:
  std::string title_;
  int close_posts_ = 0;
};

}  // namespace kova::plat
