// Program resources: named blobs looked up by (type, name), both compared without regard to case.
// The program's own module holds the blobs embedded at build time (none by default) and nothing
// else; other tables are owned by whoever fills them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kova {

// A module's resource table.
class TResourceModule {
 public:
  virtual ~TResourceModule() = default;
  // The resource's bytes, or an empty span when the module has no resource of that type and name.
  // The bytes stay valid while the module lives and the resource stays in it (see HoldResource).
  virtual std::span<const uint8_t> FindResource(std::string_view type, std::string_view name) const = 0;

  // The resource's bytes with an owner that keeps them valid even when the resource is removed or
  // replaced meanwhile (no owner: the bytes live as long as the module).
  struct THeldResource {
    std::span<const uint8_t> bytes;
    std::shared_ptr<const void> owner;
  };
  virtual THeldResource HoldResource(std::string_view type, std::string_view name) const {
    return {FindResource(type, name), nullptr};
  }
};

// A resource table kept in memory.
class TResourceTable : public TResourceModule {
 public:
  // Adds a copy of `bytes`, replacing any resource of that type and name.
  void Add(std::string_view type, std::string_view name, std::span<const uint8_t> bytes);
  // Adds bytes that live as long as the program (blobs compiled into it), without copying them.
  void AddStatic(std::string_view type, std::string_view name, std::span<const uint8_t> bytes);
  // Returns false when there was no such resource.
  bool Remove(std::string_view type, std::string_view name);

  std::span<const uint8_t> FindResource(std::string_view type, std::string_view name) const override;
  THeldResource HoldResource(std::string_view type, std::string_view name) const override;

 private:
  struct TEntry {
    std::shared_ptr<const std::vector<uint8_t>> owned;  // none for static bytes
    std::span<const uint8_t> bytes;
  };
  static std::string Key(std::string_view type, std::string_view name);

  mutable std::mutex mutex_;
  std::map<std::string, TEntry, std::less<>> entries_;
};

// The program's own module: the blobs compiled into it (none by default). It is written only while
// the program starts (static initialisation, through TEmbeddedResource) and read-only from the
// first call of this function on; resources added at run time belong to a table of their owner.
const TResourceModule& ProgramResources();

// Registers a blob compiled into the program. Sources generated at build time define one static
// object of this type per embedded resource, at namespace scope. Registering after the program's
// resources were first read ends the program: the table is read-only by then.
struct TEmbeddedResource {
  TEmbeddedResource(const char* type, const char* name, std::span<const uint8_t> bytes);
};

}  // namespace kova
