#include "platform/window/dialogs.h"

#include <cstdio>

#include "platform/text/text_codec.h"

namespace kova::plat {

void THeadlessDialogs::Script(std::initializer_list<TMessageAnswer> answers) {
  queue_.insert(queue_.end(), answers.begin(), answers.end());
}

TMessageAnswer THeadlessDialogs::ShowMessage(const TMessageBox& box) {
  TMessageAnswer answer = TMessageAnswer::Ok;
  if (box.buttons == TMessageButtons::Ok) {
    // Nothing to choose: the queue is kept for the boxes that ask.
  } else if (!queue_.empty()) {
    answer = queue_.front();
    queue_.pop_front();
    defaulted_cancel_ = false;
  } else {
    answer = defaulted_cancel_ ? TMessageAnswer::Ok : TMessageAnswer::Cancel;
    defaulted_cancel_ = !defaulted_cancel_;
  }
  log_.push_back(TShown{box.owner, std::string(box.title), std::string(box.text), box.buttons, answer});
  if (echo_) {
    std::fprintf(stderr, "[%s] %s -> %s\n", Cp932ToUtf8(box.title).c_str(),
                 Cp932ToUtf8(box.text).c_str(), answer == TMessageAnswer::Ok ? "OK" : "Cancel");
  }
  return answer;
}


}  // namespace kova::plat
