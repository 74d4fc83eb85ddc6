#include "core/resources.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "core/sjis.h"

namespace kova {

std::string TResourceTable::Key(std::string_view type, std::string_view name) {
  std::string key = SjisUpperCase(type);
  key.push_back('\0');
  key += SjisUpperCase(name);
  return key;
}

void TResourceTable::Add(std::string_view type, std::string_view name, std::span<const uint8_t> bytes) {
  TEntry entry;
  entry.owned = std::make_shared<const std::vector<uint8_t>>(bytes.begin(), bytes.end());
  entry.bytes = *entry.owned;
  std::lock_guard lock(mutex_);
  entries_.insert_or_assign(Key(type, name), std::move(entry));
}

void TResourceTable::AddStatic(std::string_view type, std::string_view name,
                               std::span<const uint8_t> bytes) {
  TEntry entry;
  entry.bytes = bytes;
  std::lock_guard lock(mutex_);
  entries_.insert_or_assign(Key(type, name), std::move(entry));
}

bool TResourceTable::Remove(std::string_view type, std::string_view name) {
  std::lock_guard lock(mutex_);
  return entries_.erase(Key(type, name)) > 0;
}

std::span<const uint8_t> TResourceTable::FindResource(std::string_view type,
                                                      std::string_view name) const {
  std::lock_guard lock(mutex_);
  auto it = entries_.find(Key(type, name));
  if (it == entries_.end()) return {};
  return it->second.bytes;
}

TResourceModule::THeldResource TResourceTable::HoldResource(std::string_view type,
                                                             std::string_view name) const {
  std::lock_guard lock(mutex_);
  auto it = entries_.find(Key(type, name));
  if (it == entries_.end()) return {};
  return {it->second.bytes, it->second.owned};
}

namespace {

// The program's table and whether it has been read (after which nothing may register).
struct TProgramTable {
  TResourceTable table;
  std::atomic<bool> sealed{false};
};

TProgramTable& ProgramTable() {
  static TProgramTable program;
  return program;
}

}  // namespace

const TResourceModule& ProgramResources() {
  TProgramTable& program = ProgramTable();
  program.sealed.store(true, std::memory_order_release);
  return program.table;
}

TEmbeddedResource::TEmbeddedResource(const char* type, const char* name, std::span<const uint8_t> bytes) {
  TProgramTable& program = ProgramTable();
  if (program.sealed.load(std::memory_order_acquire)) {
    std::fprintf(stderr, "embedded resource %s/%s registered after start\n", type, name);
    std::abort();
  }
  program.table.AddStatic(type, name, bytes);
}

}  // namespace kova
