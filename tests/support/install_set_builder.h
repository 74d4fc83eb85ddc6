// Builds "install.dat" files byte by byte from the file's layout, for any version (0 writes no
// signature), with knobs for wrong counts and a cut-off end.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kova::test {

struct InstallSetBuilder {
  int version = 107;
  // Replaces the 5 signature bytes ("is" and the version's 3 digits) of versions above 0.
  std::optional<std::string> signature;

  int32_t disk_index = 0;
  std::string game_key;
  std::array<std::string, 3> texts{};
  uint8_t flag1 = 0;
  std::string text4;
  uint8_t flag2 = 0;
  std::string text5;
  int32_t value1 = 0;
  uint8_t flag3 = 0;
  uint8_t flag4 = 0;
  std::array<std::string, 2> texts2{};
  // Written as 4-byte numbers below version 100 (the low 32 bits), else 8-byte.
  std::vector<std::array<uint64_t, 4>> records;
  std::array<uint64_t, 4> totals{};
  uint8_t flag5 = 0;
  uint8_t flag6 = 0;
  std::vector<std::string> first_list;
  uint8_t complete = 0;
  uint8_t flag7 = 0;
  uint8_t flag8 = 0;
  std::vector<std::string> second_list;
  std::string text6;

  // Written in place of the true counts.
  std::optional<int32_t> record_count;
  std::optional<int32_t> first_count;
  std::optional<int32_t> second_count;

  std::vector<uint8_t> Build() const;
  // The first `size` bytes of Build().
  std::vector<uint8_t> BuildTruncated(size_t size) const;
};

}  // namespace kova::test
