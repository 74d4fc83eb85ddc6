// Helpers of the rich-text tests: code-page 932 literals, documents laid out in one call, a fake
// picture source, and the recording of event hooks.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/text_codec.h"
#include "text/xr_word.h"

namespace kova::test {

// A UTF-8 literal in code page 932.
inline std::string Sj(std::string_view utf8) { return plat::Utf8ToCp932(utf8); }

// The code of the one code-page 932 character of a UTF-8 literal.
inline uint16_t SjCode(std::string_view utf8) {
  const std::string s = Sj(utf8);
  return s.size() == 1 ? uint8_t(s[0]) : uint16_t(uint8_t(s[0]) << 8 | uint8_t(s[1]));
}

class FakePicture : public TTextPicture {
 public:
  FakePicture(int32_t w, int32_t h, int frames) : w_(w), h_(h), frames_(frames) {}
  int32_t Width() const override { return w_; }
  int32_t Height() const override { return h_; }
  bool Animated() const override { return frames_ > 1; }
  bool Step(int32_t elapsed) override {
    steps += elapsed;
    return frames_ > 1 && elapsed > 0;
  }
  void Suspend() override { suspended = true; }
  void Resume() override { suspended = false; }
  void Draw(TCustomDIBX&, int32_t x, int32_t y, int32_t level) override { draws.push_back({x, y, level}); }
  struct Drawn {
    int32_t x, y, level;
  };
  std::vector<Drawn> draws;
  int32_t steps = 0;
  bool suspended = false;

 private:
  int32_t w_, h_;
  int frames_;
};

// Pictures of fixed sizes by name; other names are missing files.
class FakeImages : public TTextImagePort {
 public:
  struct Size {
    int32_t w, h;
    int frames = 1;
  };
  std::map<std::string, Size> sizes;
  std::vector<std::string> loads;
  std::unique_ptr<TTextPicture> Load(std::string_view source) override {
    loads.emplace_back(source);
    auto it = sizes.find(std::string(source));
    if (it == sizes.end()) return nullptr;
    return std::make_unique<FakePicture>(it->second.w, it->second.h, it->second.frames);
  }
};

// The text of each row of a page, as characters.
inline std::vector<std::string> RowTexts(const TWdPage& page) {
  std::vector<std::string> rows;
  for (int r = 0; r < page.RowCount(); ++r) rows.push_back(page.Row(r)->CharText());
  return rows;
}

// All rows of all pages, pages separated by "|".
inline std::vector<std::string> PagedRows(const TPageList& pages) {
  std::vector<std::string> out;
  for (size_t p = 0; p < pages.size(); ++p) {
    if (p) out.push_back("|");
    for (auto& r : RowTexts(*pages[p])) out.push_back(r);
  }
  return out;
}

}  // namespace kova::test
