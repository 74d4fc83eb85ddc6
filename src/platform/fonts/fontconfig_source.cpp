#include "platform/fonts/fontconfig_source.h"

#include <fontconfig/fontconfig.h>

#include <cstdlib>
#include <memory>
#include <string_view>
#include <utility>

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

// The scalable fonts matching `pattern` (which is consumed), with the properties read below.
TFontSetPtr ListScalable(FcConfig* config, TPatternPtr pattern) {
  if (!config || !pattern) return nullptr;
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  std::unique_ptr<FcObjectSet, TObjectSetFree> objects(
      FcObjectSetBuild(FC_FAMILY, FC_FAMILYLANG, FC_SPACING, FC_WEIGHT, FC_SLANT, FC_LANG, nullptr));
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

// The family of one font pattern: its names (the Japanese one first when there is one) and style.
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
  if (japanese_index > 0) std::swap(e.names[0], e.names[static_cast<size_t>(japanese_index)]);
  if (!e.names.empty()) e.family.name = e.names.front();
  int spacing = FC_PROPORTIONAL;
  if (FcPatternGetInteger(font, FC_SPACING, 0, &spacing) != FcResultMatch) spacing = FC_PROPORTIONAL;
  // Japanese monospaced fonts are "dual": one cell for Latin, two for Japanese.
  e.family.fixed_pitch = spacing >= FC_DUAL;
  int slant = FC_SLANT_ROMAN;
  if (FcPatternGetInteger(font, FC_SLANT, 0, &slant) != FcResultMatch) slant = FC_SLANT_ROMAN;
  e.family.italic = slant != FC_SLANT_ROMAN;
  e.family.weight = WeightOf(font);
  FcLangSet* langs = nullptr;
  e.family.japanese = FcPatternGetLangSet(font, FC_LANG, 0, &langs) == FcResultMatch &&
                      FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ja")) == FcLangEqual;
  return e;
}

// How far a face is from the family's regular style (lower is closer).
int RegularDistance(const TFontFamily& f) { return std::abs(f.weight - 400) + (f.italic ? 1000 : 0); }

// Merges the faces of each family into one entry represented by its most regular face, keeping
// the order in which the families first appear. With `only_name`, only faces having that name.
std::vector<TFontconfigSource::TEntry> Families(FcFontSet* set, std::string_view only_name) {
  std::vector<TFontconfigSource::TEntry> out;
  if (!set) return out;
  for (int i = 0; i < set->nfont; ++i) {
    TFontconfigSource::TEntry e = EntryOf(set->fonts[i]);
    if (e.names.empty()) continue;
    if (!only_name.empty()) {
      bool has = false;
      for (const std::string& n : e.names) has = has || n == only_name;
      if (!has) continue;
      e.family.name = std::string(only_name);
    }
    TFontconfigSource::TEntry* same = nullptr;
    for (auto& o : out) {
      if (o.family.name == e.family.name) same = &o;
    }
    if (!same) {
      out.push_back(std::move(e));
    } else {
      if (RegularDistance(e.family) < RegularDistance(same->family)) {
        e.family.name = same->family.name;
        same->family = e.family;
      }
      for (std::string& n : e.names) {
        bool known = false;
        for (const std::string& k : same->names) known = known || k == n;
        if (!known) same->names.push_back(std::move(n));
      }
    }
  }
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

void TFontconfigSource::Load() {
  if (loaded_) return;
  loaded_ = true;
  TPatternPtr pattern(FcPatternCreate());
  if (!pattern) return;
  FcLangSet* langs = FcLangSetCreate();
  if (!langs) return;
  FcLangSetAdd(langs, reinterpret_cast<const FcChar8*>("ja"));
  FcPatternAddLangSet(pattern.get(), FC_LANG, langs);
  FcLangSetDestroy(langs);
  TFontSetPtr set = ListScalable(Config(), std::move(pattern));
  families_ = Families(set.get(), {});
}

std::vector<TFontFamily> TFontconfigSource::JapaneseFamilies() {
  Load();
  std::vector<TFontFamily> out;
  out.reserve(families_.size());
  for (const TEntry& e : families_) out.push_back(e.family);
  return out;
}

std::optional<TFontFamily> TFontconfigSource::FindFamily(std::string_view name) {
  if (name.empty()) return std::nullopt;
  Load();
  for (const TEntry& e : families_) {
    for (const std::string& n : e.names) {
      if (n == name) {
        TFontFamily f = e.family;
        f.name = std::string(name);
        return f;
      }
    }
  }
  // Not a Japanese family: ask fontconfig for that name (its match ignores case and blanks, so the
  // names are compared exactly here).
  TPatternPtr pattern(FcPatternCreate());
  if (!pattern) return std::nullopt;
  const std::string n(name);
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(n.c_str()));
  TFontSetPtr set = ListScalable(Config(), std::move(pattern));
  std::vector<TEntry> found = Families(set.get(), name);
  if (found.empty()) return std::nullopt;
  return found.front().family;
}

}  // namespace kova::plat
