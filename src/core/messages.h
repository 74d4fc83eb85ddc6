// The catalogue of the system's message texts (see messages.def).
#pragma once

#include <string>

namespace kova {

enum class TMsg {
#define KOVA_MSG(id, text) id,
#include "core/messages.def"
#undef KOVA_MSG
  Count_
};

// The message's text in code page 932.
const std::string& MsgText(TMsg msg);
// The message's text in UTF-8, as written in the catalogue.
const char* MsgTextUtf8(TMsg msg);

}  // namespace kova
