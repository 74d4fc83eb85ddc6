// Helpers of the archive tests: a private temporary folder and whole-file reads and writes.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/stream.h"

namespace kova::test {

// A folder of its own under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kova-arc-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder, ending in "/".
  std::string Path() const { return path_ + "/"; }
  std::string operator/(const std::string& name) const { return Path() + name; }
  // The names in the folder.
  std::vector<std::string> List() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_)) names.push_back(e.path().filename().string());
    return names;
  }

 private:
  std::string path_;
};

inline void WriteHostFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

inline std::vector<uint8_t> StreamBytes(TMemoryStream& m) { return {m.Bytes().begin(), m.Bytes().end()}; }

// Reads a whole stream from position 0.
inline std::vector<uint8_t> ReadAll(TStream& s) {
  s.SetPosition(0);
  std::vector<uint8_t> out(static_cast<size_t>(s.GetSize()));
  if (!out.empty()) s.ReadBuffer(out.data(), static_cast<int64_t>(out.size()));
  return out;
}

// Deterministic bytes: compressible text or incompressible noise.
inline std::vector<uint8_t> TextBytes(size_t n, uint32_t seed) {
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>('a' + (i / 7 + seed) % 26);
  return out;
}
inline std::vector<uint8_t> NoiseBytes(size_t n, uint32_t seed) {
  std::vector<uint8_t> out(n);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& b : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x);
  }
  return out;
}

}  // namespace kova::test
