// The installed fonts as fontconfig sees them, through a configuration of the source's own (loaded
// on first use), so that nothing global of fontconfig is touched. Only scalable outline fonts
// count: a face made of bitmaps alone is never listed nor chosen. A family has several names (one
// per language); the Japanese one is its listed name when it has one, and every name finds it.
//
// The source serves both the font listing (IFontSource) and the glyph layer, which asks it which
// font file draws a requested face (FaceCandidates). Face names the games ask for that are not
// installed here ("ＭＳ ゴシック" and the others of platform/text/font_aliases.h) are listed and found
// under their own names when one of their stand-ins is installed.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/font_source.h"

struct _FcConfig;

namespace kova::plat {

// One font file (a face of a family) and the styles the glyph layer must make from it.
struct TFaceFile {
  std::string family;  // the family's first name in fontconfig's order (UTF-8)
  std::string path;
  int index = 0;  // the face's index in its file
  bool fixed_pitch = false;
  bool synthetic_bold = false;
  bool synthetic_italic = false;
  friend bool operator==(const TFaceFile&, const TFaceFile&) = default;
};

class TFontconfigSource : public IFontSource {
 public:
  TFontconfigSource() = default;
  // Frees the source's own fontconfig configuration.
  ~TFontconfigSource() override;
  TFontconfigSource(const TFontconfigSource&) = delete;
  TFontconfigSource& operator=(const TFontconfigSource&) = delete;

  // The list of families is taken once, on first use (see Refresh). The Japanese families come
  // first, then the listed aliases that resolve.
  std::vector<TFontFamily> JapaneseFamilies() override;
  std::optional<TFontFamily> FindFamily(std::string_view name) override;
  // Forgets the list taken, so that fonts installed since are seen.
  void Refresh();

  // The faces that may draw the face `name` (UTF-8) in a style, best first: the family of that
  // exact name; else the stand-ins of that alias; then the stand-ins of the fallback face; when
  // none of these is installed, fontconfig's best Japanese match; last the first Japanese family
  // and the first family of all, for when a file cannot be opened. Within a
  // family the face closest to the style is taken, and what it lacks of bold and italic is marked
  // for synthesis. Empty only when no scalable font is installed at all.
  std::vector<TFaceFile> FaceCandidates(std::string_view name, bool bold, bool italic);

  // One face file of a family.
  struct TFace {
    std::string path;
    int index = 0;
    int weight = 400;
    bool italic = false;
    int width = 100;  // fontconfig's width: 100 normal, less condensed, more expanded
  };
  // One family with all its names and faces.
  struct TEntry {
    TFontFamily family;
    std::string canonical;  // the first name in fontconfig's order
    std::vector<std::string> names;
    std::vector<TFace> faces;
  };

 private:
  void Load();
  // The configuration, loaded on first use; null when fontconfig cannot load one.
  _FcConfig* Config();
  const TEntry* Find(std::string_view name) const;
  // A listed or unlisted alias's family: the first stand-in installed, under the alias's name.
  const TEntry* FindAliasTarget(std::string_view alias) const;
  std::optional<TFaceFile> BestJapaneseMatch(bool bold, bool italic);

  _FcConfig* config_ = nullptr;
  bool loaded_ = false;
  std::vector<TEntry> families_;  // every scalable family
};

}  // namespace kova::plat
