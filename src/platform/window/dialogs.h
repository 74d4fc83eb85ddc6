// Modal message boxes. The headless implementation answers from a scripted queue and never waits
// for anyone; the SDL backend (platform/sdl) shows real boxes.
#pragma once

#include <cstddef>
#include <deque>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace kova::plat {

enum class TMessageButtons { Ok, OkCancel };
enum class TMessageAnswer { Ok, Cancel };

struct TMessageBox {
  // The window that owns the box: a backend handle (an SDL_Window* for the SDL backend), or null.
  void* owner = nullptr;
  std::string_view title;  // code page 932
  std::string_view text;   // code page 932
  TMessageButtons buttons = TMessageButtons::Ok;
};

class IDialogs {
 public:
  virtual ~IDialogs() = default;
  // Shows the box and returns the user's answer (Ok for an Ok-only box).
  virtual TMessageAnswer ShowMessage(const TMessageBox& box) = 0;
};

// Answers boxes without showing them. An Ok-only box is answered Ok and takes nothing from the
// queue. Ok/Cancel boxes take the scripted answers in order; once the queue is empty such a box is
// answered Cancel, except the box right after such a
// default Cancel, which is answered Ok. So a prompt that keeps asking until it is cancelled, then
// asks for confirmation, always ends. Every box is logged.
class THeadlessDialogs : public IDialogs {
 public:
  struct TShown {
    void* owner = nullptr;
    std::string title;  // code page 932
    std::string text;   // code page 932
    TMessageButtons buttons = TMessageButtons::Ok;
    TMessageAnswer answer = TMessageAnswer::Ok;
  };

  TMessageAnswer ShowMessage(const TMessageBox& box) override;

  // Appends answers to the queue.
  void Script(std::initializer_list<TMessageAnswer> answers);
  void Push(TMessageAnswer answer) { queue_.push_back(answer); }
  size_t Pending() const { return queue_.size(); }

  const std::vector<TShown>& Log() const { return log_; }
  void ClearLog() { log_.clear(); }
  // Also writes each box (converted to UTF-8) and its answer to standard error.
  void SetEcho(bool echo) { echo_ = echo; }

 private:
  std::deque<TMessageAnswer> queue_;
  std::vector<TShown> log_;
  bool defaulted_cancel_ = false;
  bool echo_ = false;
};

}  // namespace kova::plat
