// A private folder for the fuzz targets whose inputs must be host files (game folders, archives
// beside their ".ext" or pieces): made once per process under the temporary folder, emptied and
// removed at exit.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace kova::fuzz {

class TFuzzFolder {
 public:
  TFuzzFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && base[0] == '/' ? base : "/tmp") + "/kova_fuzz.XXXXXX";
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TFuzzFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TFuzzFolder(const TFuzzFolder&) = delete;
  TFuzzFolder& operator=(const TFuzzFolder&) = delete;

  // The folder's path, without a trailing "/" (empty when it could not be made).
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

  // Writes `size` bytes as the file `name` in the folder (replacing it).
  bool Write(const std::string& name, const uint8_t* data, size_t size) const {
    std::FILE* f = std::fopen(File(name).c_str(), "wb");
    if (!f) return false;
    const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
  }
  // Removes every file of the folder.
  void Empty() const {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(path_, ec)) std::filesystem::remove_all(entry.path(), ec);
  }

 private:
  std::string path_;
};

// The one folder of the process.
inline TFuzzFolder& FuzzFolder() {
  static TFuzzFolder folder;
  return folder;
}

}  // namespace kova::fuzz
