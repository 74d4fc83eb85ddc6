#include "platform/fonts/fontconfig_source.h"

#include <fontconfig/fontconfig.h>

#include <cstdlib>
#include <memory>
#include <string_view>
#include <utility>

#include "platform/text/font_aliases.h"

namespace kova::plat {
namespace {

struct TPatternFree {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct TObjectSetFree {
  void operator()(FcObjectSet* s) const { FcObjectSetDestroy(s); }
};
struct TFontSetFree {
  void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};
using TPatternPtr = std::unique_ptr<FcPattern, TPatternFree>;
using TFontSetPtr = std::unique_ptr<FcFontSet, TFontSetFree>;

constexpr int kBoldWeight = 600;  // a face this heavy or heavier draws bold as it is

// Every scalable outline font, with the properties read below.
TFontSetPtr ListScalable(FcConfig* config) {
  if (!config) return nullptr;
  TPatternPtr pattern(FcPatternCreate());
  if (!pattern) return nullptr;
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  FcPatternAddBool(pattern.get(), FC_OUTLINE, FcTrue);
  std::unique_ptr<FcObjectSet, TObjectSetFree> objects(
      FcObjectSetBuild(FC_FAMILY, FC_FAMILYLANG, FC_SPACING, FC_WEIGHT, FC_SLANT, FC_LANG, FC_FILE,
                       FC_INDEX, FC_WIDTH, nullptr));
  if (!objects) return nullptr;
  return TFontSetPtr(FcFontList(config, pattern.get(), objects.get()));
}

int WeightOf(FcPattern* font) {
  int fc_weight = FC_WEIGHT_REGULAR;
  double d = 0;
  if (FcPatternGetInteger(font, FC_WEIGHT, 0, &fc_weight) != FcResultMatch) {
    fc_weight = FcPatternGetDouble(font, FC_WEIGHT, 0, &d) == FcResultMatch ? static_cast<int>(d)
                                                                            : FC_WEIGHT_REGULAR;
  }
  const int weight = FcWeightToOpenType(fc_weight);
  return weight < 100 ? 100 : weight > 900 ? 900 : weight;
}

bool ItalicOf(FcPattern* font) {
  int slant = FC_SLANT_ROMAN;
  if (FcPatternGetInteger(font, FC_SLANT, 0, &slant) != FcResultMatch) slant = FC_SLANT_ROMAN;
  return slant != FC_SLANT_ROMAN;
}

int WidthOf(FcPattern* font) {
  int width = FC_WIDTH_NORMAL;
  double d = 0;
  if (FcPatternGetInteger(font, FC_WIDTH, 0, &width) != FcResultMatch) {
    width = FcPatternGetDouble(font, FC_WIDTH, 0, &d) == FcResultMatch ? static_cast<int>(d)
                                                                       : FC_WIDTH_NORMAL;
  }
  return width;
}

std::optional<TFontconfigSource::TFace> FaceOf(FcPattern* font) {
  FcChar8* file = nullptr;
  if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch) return std::nullopt;
  TFontconfigSource::TFace face;
  face.path = reinterpret_cast<const char*>(file);
  if (FcPatternGetInteger(font, FC_INDEX, 0, &face.index) != FcResultMatch) face.index = 0;
  face.weight = WeightOf(font);
  face.italic = ItalicOf(font);
  face.width = WidthOf(font);
  return face;
}

// The family of one font pattern: its names (the Japanese one first when there is one), style
// and file.
TFontconfigSource::TEntry EntryOf(FcPattern* font) {
  TFontconfigSource::TEntry e;
  FcChar8* s = nullptr;
  int japanese_index = -1;
  for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &s) == FcResultMatch; ++i) {
    e.names.emplace_back(reinterpret_cast<const char*>(s));
    FcChar8* lang = nullptr;
    if (japanese_index < 0 && FcPatternGetString(font, FC_FAMILYLANG, i, &lang) == FcResultMatch &&
        std::string_view(reinterpret_cast<const char*>(lang)) == "ja") {
      japanese_index = i;
    }
  }
  if (!e.names.empty()) e.canonical = e.names.front();
  if (japanese_index > 0) std::swap(e.names[0], e.names[static_cast<size_t>(japanese_index)]);
  if (!e.names.empty()) e.family.name = e.names.front();
  int spacing = FC_PROPORTIONAL;
  if (FcPatternGetInteger(font, FC_SPACING, 0, &spacing) != FcResultMatch)
    spacing = FC_PROPORTIONAL;
  // Japanese monospaced fonts are "dual": one cell for Latin, two for Japanese.
  e.family.fixed_pitch = spacing >= FC_DUAL;
  e.family.italic = ItalicOf(font);
  e.family.weight = WeightOf(font);
  FcLangSet* langs = nullptr;
  e.family.japanese =
      FcPatternGetLangSet(font, FC_LANG, 0, &langs) == FcResultMatch &&
      FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ja")) == FcLangEqual;
  if (std::optional<TFontconfigSource::TFace> face = FaceOf(font))
    e.faces.push_back(std::move(*face));
  return e;
}

// How far a face is from a style of normal width (lower is closer): slant matters most, then
// width (a condensed face of the family is no regular one), then weight.
int StyleDistance(int weight, bool italic, int width, int want_weight, bool want_italic) {
  return std::abs(weight - want_weight) + std::abs(width - FC_WIDTH_NORMAL) * 10 +
         (italic != want_italic ? 10000 : 0);
}

// Merges the faces of each family into one entry represented by its most regular face, keeping
// the order in which the families first appear.
std::vector<TFontconfigSource::TEntry> Families(FcFontSet* set) {
  // The distance from the regular style of an entry's listed face (its most regular one).
  auto same_distance = [](const TFontconfigSource::TEntry& e) {
    int best = -1;
    for (const TFontconfigSource::TFace& f : e.faces) {
      const int d = StyleDistance(f.weight, f.italic, f.width, 400, false);
      if (best < 0 || d < best) best = d;
    }
    return best < 0 ? StyleDistance(e.family.weight, e.family.italic, FC_WIDTH_NORMAL, 400, false)
                    : best;
  };
  std::vector<TFontconfigSource::TEntry> out;
  if (!set) return out;
  for (int i = 0; i < set->nfont; ++i) {
    TFontconfigSource::TEntry e = EntryOf(set->fonts[i]);
    if (e.names.empty()) continue;
    TFontconfigSource::TEntry* same = nullptr;
    for (auto& o : out) {
      if (o.family.name == e.family.name) same = &o;
    }
    if (!same) {
      out.push_back(std::move(e));
      continue;
    }
    const TFontconfigSource::TFace* face = e.faces.empty() ? nullptr : &e.faces.front();
    const int width = face ? face->width : FC_WIDTH_NORMAL;
    if (StyleDistance(e.family.weight, e.family.italic, width, 400, false) < same_distance(*same)) {
      e.family.name = same->family.name;
      same->family = e.family;
    }
    for (std::string& n : e.names) {
      bool known = false;
      for (const std::string& k : same->names) known = known || k == n;
      if (!known) same->names.push_back(std::move(n));
    }
    for (TFontconfigSource::TFace& f : e.faces) same->faces.push_back(std::move(f));
  }
  return out;
}

// The face of a family closest to a style, with what it lacks marked for synthesis.
std::optional<TFaceFile> PickFace(const TFontconfigSource::TEntry& e, bool bold, bool italic) {
  const TFontconfigSource::TFace* best = nullptr;
  int best_distance = 0;
  for (const TFontconfigSource::TFace& f : e.faces) {
    const int d = StyleDistance(f.weight, f.italic, f.width, bold ? 700 : 400, italic);
    if (!best || d < best_distance) {
      best = &f;
      best_distance = d;
    }
  }
  if (!best) return std::nullopt;
  TFaceFile out;
  out.family = e.canonical;
  out.path = best->path;
  out.index = best->index;
  out.fixed_pitch = e.family.fixed_pitch;
  out.synthetic_bold = bold && best->weight < kBoldWeight;
  out.synthetic_italic = italic && !best->italic;
  return out;
}

}  // namespace

TFontconfigSource::~TFontconfigSource() {
  if (config_) FcConfigDestroy(config_);
}

FcConfig* TFontconfigSource::Config() {
  if (!config_) config_ = FcInitLoadConfigAndFonts();
  return config_;
}

void TFontconfigSource::Refresh() {
  loaded_ = false;
  families_.clear();
}

void TFontconfigSource::Load() {
  if (loaded_) return;
  loaded_ = true;
  TFontSetPtr set = ListScalable(Config());
  families_ = Families(set.get());
}

const TFontconfigSource::TEntry* TFontconfigSource::Find(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (const TEntry& e : families_) {
    for (const std::string& n : e.names) {
      if (n == name) return &e;
    }
  }
  return nullptr;
}

const TFontconfigSource::TEntry* TFontconfigSource::FindAliasTarget(std::string_view alias) const {
  for (std::string_view stand_in : AliasStandIns(alias)) {
    if (const TEntry* e = Find(stand_in)) return e;
  }
  return nullptr;
}

std::vector<TFontFamily> TFontconfigSource::JapaneseFamilies() {
  Load();
  std::vector<TFontFamily> out;
  for (const TEntry& e : families_) {
    if (e.family.japanese) out.push_back(e.family);
  }
  for (const TFaceAlias& alias : FaceAliases()) {
    if (!alias.listed || Find(alias.name)) continue;
    if (const TEntry* target = FindAliasTarget(alias.name); target && target->family.japanese) {
      TFontFamily f = target->family;
      f.name = std::string(alias.name);
      out.push_back(std::move(f));
    }
  }
  return out;
}

std::optional<TFontFamily> TFontconfigSource::FindFamily(std::string_view name) {
  Load();
  const TEntry* e = Find(name);
  if (!e) e = FindAliasTarget(name);
  if (!e) return std::nullopt;
  TFontFamily f = e->family;
  f.name = std::string(name);
  return f;
}

std::optional<TFaceFile> TFontconfigSource::BestJapaneseMatch(bool bold, bool italic) {
  FcConfig* config = Config();
  if (!config) return std::nullopt;
  TPatternPtr pattern(FcPatternCreate());
  if (!pattern) return std::nullopt;
  FcPatternAddString(pattern.get(), FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  FcPatternAddBool(pattern.get(), FC_OUTLINE, FcTrue);
  FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  TPatternPtr match(FcFontMatch(config, pattern.get(), &result));
  if (!match) return std::nullopt;
  FcBool scalable = FcFalse;
  FcBool outline = FcFalse;
  if (FcPatternGetBool(match.get(), FC_SCALABLE, 0, &scalable) != FcResultMatch || !scalable ||
      FcPatternGetBool(match.get(), FC_OUTLINE, 0, &outline) != FcResultMatch || !outline) {
    return std::nullopt;
  }
  TEntry e = EntryOf(match.get());
  if (e.faces.empty()) return std::nullopt;
  return PickFace(e, bold, italic);
}

std::vector<TFaceFile> TFontconfigSource::FaceCandidates(std::string_view name, bool bold,
                                                         bool italic) {
  Load();
  std::vector<TFaceFile> out;
  auto add = [&](const TEntry* e) {
    if (!e) return;
    if (std::optional<TFaceFile> f = PickFace(*e, bold, italic)) out.push_back(std::move(*f));
  };
  if (const TEntry* e = Find(name)) {
    add(e);
  } else {
    for (std::string_view stand_in : AliasStandIns(name)) add(Find(stand_in));
  }
  if (name != kFallbackFace) {
    for (std::string_view stand_in : AliasStandIns(kFallbackFace)) add(Find(stand_in));
  }
  // Without any of those, fontconfig's choice, then the first Japanese family, then any family.
  if (out.empty()) {
    if (std::optional<TFaceFile> f = BestJapaneseMatch(bold, italic)) out.push_back(std::move(*f));
  }
  for (const TEntry& e : families_) {
    if (e.family.japanese) {
      add(&e);
      break;
    }
  }
  if (!families_.empty()) add(&families_.front());
  return out;
}

}  // namespace kova::plat
