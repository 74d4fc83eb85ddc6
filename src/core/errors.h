// The system's exceptions. Each carries its message as code-page 932 bytes; the platform layer
// converts it for display.
#pragma once

#include <exception>
#include <string>
#include <utility>

#include "core/format.h"
#include "core/messages.h"

namespace kova {

class EKovaError : public std::exception {
 public:
  explicit EKovaError(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  // The message in code page 932.
  const std::string& Message() const noexcept { return message_; }

 private:
  std::string message_;
};

#define KOVA_DECLARE_ERROR(Name, Base)      \
  class Name : public Base {                \
   public:                                  \
    using Base::Base;                       \
  };

KOVA_DECLARE_ERROR(EStreamError, EKovaError)
KOVA_DECLARE_ERROR(EReadError, EStreamError)
KOVA_DECLARE_ERROR(EWriteError, EStreamError)
KOVA_DECLARE_ERROR(EFOpenError, EStreamError)
KOVA_DECLARE_ERROR(EFCreateError, EStreamError)
KOVA_DECLARE_ERROR(EZlibError, EKovaError)
KOVA_DECLARE_ERROR(EZCompressionError, EZlibError)
KOVA_DECLARE_ERROR(EZDecompressionError, EZlibError)
KOVA_DECLARE_ERROR(EListError, EKovaError)
KOVA_DECLARE_ERROR(EOutOfMemory, EKovaError)

#undef KOVA_DECLARE_ERROR

// Raises E with the catalogue text of `msg`, formatted with `args` (code-page 932 strings as
// const char*, numbers as ints).
template <class E, class... Args>
[[noreturn]] void Raise(TMsg msg, Args... args) {
  if constexpr (sizeof...(Args) == 0) {
    throw E(MsgText(msg));
  } else {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
    throw E(Format(MsgText(msg).c_str(), args...));
#pragma GCC diagnostic pop
  }
}

}  // namespace kova
