// A temporary game tree on the host: a private folder in which tests write loose files (with
// names in any case, as raw Shift-JIS or UTF-8 bytes), archives and fake disc roots. The whole
// tree is removed when the object goes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kova::test {

class ArchiveBuilder;

class GameTree {
 public:
  GameTree();
  ~GameTree();
  GameTree(const GameTree&) = delete;
  GameTree& operator=(const GameTree&) = delete;

  // The tree's host folder (without trailing "/").
  const std::string& Root() const { return root_; }
  // The host path of `rel` (host bytes, "/" between folders) inside the tree.
  std::string Path(std::string_view rel) const;

  // Makes the folder `rel` (and its parents); returns its host path.
  std::string MakeDir(std::string_view rel) const;
  // Writes a file (making its folders); returns its host path.
  std::string WriteFile(std::string_view rel, std::string_view contents) const;
  std::string WriteFile(std::string_view rel, const std::vector<uint8_t>& contents) const;
  // Writes an archive in the plain placement; returns its host path.
  std::string WriteArchive(std::string_view rel, const ArchiveBuilder& archive) const;
  // The bytes of a host file (empty when it cannot be read).
  static std::vector<uint8_t> ReadHostFile(const std::string& host_path);

 private:
  std::string root_;
};

// `size` bytes of a repeatable pattern that depends on `seed`.
std::vector<uint8_t> PatternBytes(size_t size, uint32_t seed);

}  // namespace kova::test
