// Small helpers shared by the script engine's tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/messages.h"
#include "core/stream.h"
#include "script/parser.h"
#include "support/expr_builder.h"

namespace kova::test {

inline std::vector<uint8_t> StreamBytes(const TMemoryStream& s) {
  return std::vector<uint8_t>(s.Bytes().begin(), s.Bytes().end());
}

// An expression loaded from its stored form.
inline std::unique_ptr<TKovaParser> LoadExpr(const ExprBuilder& e) {
  std::vector<uint8_t> bytes = e.Bytes();
  TSpanStream s(bytes);
  auto p = std::make_unique<TKovaParser>();
  p->LoadFromStream(s);
  EXPECT_EQ(s.Remaining(), 0);
  return p;
}

// Runs `body` and returns the message of the exception of type E it raises ("" when none).
template <class E, class Fn>
std::string ErrorOf(Fn&& body) {
  try {
    body();
  } catch (const E& e) {
    return e.what();
  }
  return {};
}

}  // namespace kova::test
