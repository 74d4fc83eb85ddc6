#include "support/game_tree.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "support/archive_builder.h"

namespace kova::test {
namespace fs = std::filesystem;

GameTree::GameTree() {
  const char* env = std::getenv("TMPDIR");
  std::string pattern = (env && *env ? std::string(env) : std::string("/tmp")) + "/kova-tree-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back(0);
  if (!::mkdtemp(buf.data())) throw std::runtime_error("cannot make a temporary game tree");
  root_ = buf.data();
}

GameTree::~GameTree() {
  std::error_code ec;
  fs::remove_all(root_, ec);
}

std::string GameTree::Path(std::string_view rel) const {
  return rel.empty() ? root_ : root_ + "/" + std::string(rel);
}

std::string GameTree::MakeDir(std::string_view rel) const {
  std::string path = Path(rel);
  fs::create_directories(path);
  return path;
}

std::string GameTree::WriteFile(std::string_view rel, std::string_view contents) const {
  std::string path = Path(rel);
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
  return path;
}

std::string GameTree::WriteFile(std::string_view rel, const std::vector<uint8_t>& contents) const {
  return WriteFile(rel, std::string_view(reinterpret_cast<const char*>(contents.data()), contents.size()));
}

std::string GameTree::WriteArchive(std::string_view rel, const ArchiveBuilder& archive) const {
  return WriteFile(rel, archive.Build());
}

std::vector<uint8_t> GameTree::ReadHostFile(const std::string& host_path) {
  std::ifstream in(host_path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

std::vector<uint8_t> PatternBytes(size_t size, uint32_t seed) {
  std::vector<uint8_t> bytes(size);
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    // Mostly repeating text with some noise, so that zlib has work but still compresses.
    bytes[i] = (i % 64 < 48) ? static_cast<uint8_t>('a' + (i % 26)) : static_cast<uint8_t>(state >> 24);
  }
  return bytes;
}

}  // namespace kova::test
