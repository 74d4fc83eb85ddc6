#include "core/messages.h"

#include <array>
#include <mutex>

#include "platform/text/text_codec.h"

namespace kova {
namespace {

constexpr std::array<const char*, static_cast<size_t>(TMsg::Count_)> kTexts = {
#define KOVA_MSG(id, text) text,
#include "core/messages.def"
#undef KOVA_MSG
};

}  // namespace

const char* MsgTextUtf8(TMsg msg) { return kTexts.at(static_cast<size_t>(msg)); }

const std::string& MsgText(TMsg msg) {
  static std::array<std::string, kTexts.size()> converted;
  static std::once_flag once;
  std::call_once(once, [] {
    for (size_t i = 0; i < kTexts.size(); ++i) converted[i] = plat::Utf8ToCp932(kTexts[i]);
  });
  return converted.at(static_cast<size_t>(msg));
}

}  // namespace kova
