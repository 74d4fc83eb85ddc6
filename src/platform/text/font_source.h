// The installed fonts, as far as the player's font helpers need them: the scalable families that
// cover Japanese, and the lookup of one family by its exact name. Names are UTF-8 here; the core
// converts them to code page 932. The fontconfig backend lives in platform/fonts.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kova::plat {

struct TFontFamily {
  std::string name;          // UTF-8
  bool fixed_pitch = false;  // every glyph one cell wide (or one and two cells for Japanese fonts)
  bool japanese = false;     // covers Japanese
  int weight = 400;          // 100 .. 900; 400 regular, 700 bold
  bool italic = false;
  friend bool operator==(const TFontFamily&, const TFontFamily&) = default;
};

class IFontSource {
 public:
  virtual ~IFontSource() = default;
  // The scalable families that cover Japanese, one entry per family, in the source's own order.
  virtual std::vector<TFontFamily> JapaneseFamilies() = 0;
  // The scalable family whose name (any of its names) equals `name` exactly, byte for byte.
  virtual std::optional<TFontFamily> FindFamily(std::string_view name) = 0;
};

// A fixed list of families (empty unless set): the headless default and the fake of tests.
class TFixedFontSource : public IFontSource {
 public:
  TFixedFontSource() = default;
  explicit TFixedFontSource(std::vector<TFontFamily> families) : families_(std::move(families)) {}
  std::vector<TFontFamily> JapaneseFamilies() override;
  std::optional<TFontFamily> FindFamily(std::string_view name) override;
  void SetFamilies(std::vector<TFontFamily> families) { families_ = std::move(families); }

 private:
  std::vector<TFontFamily> families_;
};

}  // namespace kova::plat
