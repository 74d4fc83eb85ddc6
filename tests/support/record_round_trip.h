// Runs a record's load and save against bytes the tests wrote themselves (LeWriter or literal
// bytes, never the production saver): the record loads every byte, saves the same bytes again,
// and every shorter cut of them is refused with EReadError (or the record's own error E). The
// full load comes last, so the record holds what it read from the golden bytes afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <vector>

#include "core/errors.h"
#include "core/stream.h"

namespace kova::test {

// `load(stream)` reads a fresh record from the stream; `save(stream)` writes the record last loaded.
// A record of an older version saves in the newest form: `saved` gives those bytes.
template <class E = EReadError, class Load, class Save>
void ExpectRecordRoundTrip(const std::vector<uint8_t>& golden, Load&& load, Save&& save,
                           const std::vector<uint8_t>* saved = nullptr) {
  for (size_t cut = 0; cut < golden.size(); ++cut) {
    TSpanStream in(std::span<const uint8_t>(golden.data(), cut));
    EXPECT_THROW(load(in), E) << "cut at " << cut << " of " << golden.size();
  }
  {
    TSpanStream in(golden);
    load(in);
    EXPECT_EQ(in.Remaining(), 0) << "the record left bytes unread";
    TMemoryStream out;
    save(out);
    EXPECT_EQ(std::vector<uint8_t>(out.Bytes().begin(), out.Bytes().end()), saved ? *saved : golden);
  }
}

}  // namespace kova::test
