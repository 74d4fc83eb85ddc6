// The installed fonts as fontconfig sees them, through a configuration of the source's own (loaded
// on first use), so that nothing global of fontconfig is touched. Only scalable fonts count. A family has several
// names (one per language); the Japanese one is its listed name when it has one, and every name
// finds it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/font_source.h"

struct _FcConfig;

namespace kova::plat {

class TFontconfigSource : public IFontSource {
 public:
  TFontconfigSource() = default;
  // Frees the source's own fontconfig configuration.
  ~TFontconfigSource() override;
  TFontconfigSource(const TFontconfigSource&) = delete;
  TFontconfigSource& operator=(const TFontconfigSource&) = delete;

  // The list of Japanese families is taken once, on first use (see Refresh).
  std::vector<TFontFamily> JapaneseFamilies() override;
  std::optional<TFontFamily> FindFamily(std::string_view name) override;
  // Forgets the list taken, so that fonts installed since are seen.
  void Refresh() { loaded_ = false; families_.clear(); }

  // One family with all its names.
  struct TEntry {
    TFontFamily family;
    std::vector<std::string> names;
  };

 private:
  void Load();
  // The configuration, loaded on first use; null when fontconfig cannot load one.
  _FcConfig* Config();

  _FcConfig* config_ = nullptr;
  bool loaded_ = false;
  std::vector<TEntry> families_;
};

}  // namespace kova::plat
