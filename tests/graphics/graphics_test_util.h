// Helpers of the picture tests: the bitmap layer's messages as code-page 932 bytes, and a check
// that a call raises EDIBError with an exact message.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "graphics/graphics_errors.h"

namespace kova::test {

inline const std::string kMsgInvalidDib = "\x95s\x90\xB3\x82\xC8 DIB \x82\xC5\x82\xB7";
inline const std::string kMsgInvalidPixelFormat =
    "\x95s\x90\xB3\x82\xC8\x83s\x83N\x83Z\x83\x8B\x83t\x83H\x81[\x83}\x83" "b\x83g\x82\xC5\x82\xB7";
// "Invalid bit count (n)" without its number.
inline const std::string kMsgInvalidBitCountPrefix = "\x95s\x90\xB3\x82\xC8\x83r\x83" "b\x83g\x90\x94\x82\xC5\x82\xB7 (";
inline const std::string kMsgScanlineRangePrefix =
    "\x83X\x83L\x83\x83\x83\x93\x83\x89\x83" "C\x83\x93\x82\xCC\x83" "C\x83\x93\x83" "f\x83"
    "b\x83N\x83X\x82\xAA\x94\xCD\x88\xCD\x82\xF0\x89z\x82\xA6\x82\xDC\x82\xB5\x82\xBD (";

template <class F>
std::string DibErrorOf(F&& f) {
  try {
    f();
  } catch (const EDIBError& e) {
    return e.Message();
  }
  return "(nothing raised)";
}

}  // namespace kova::test
