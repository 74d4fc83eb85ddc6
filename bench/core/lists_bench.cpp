// Splitting lines into fields, merging dirty rectangles and sorted string lookup, each against a
// plain alternative that does less (no double-byte awareness, no merging, no case fold).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/clip_list.h"
#include "core/sjis.h"
#include "core/string_list.h"
#include "core/tab_strings.h"

namespace {

// 64 tab-separated fields mixing ASCII and double-byte characters.
std::string TabLine() {
  std::string line;
  for (int i = 0; i < 64; ++i) {
    if (i) line += '\t';
    line += (i % 2) ? "field" + std::to_string(i) : std::string("\x82\xA0\x82\xA2\x95\x5C") + std::to_string(i);
  }
  return line;
}

void BM_TabStrings_SetDelimitedText(benchmark::State& state) {
  const std::string line = TabLine();
  kova::TTabStrings list;
  for (auto _ : state) {
    list.SetDelimitedText(line);
    benchmark::DoNotOptimize(list.Count());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(line.size()));
}
BENCHMARK(BM_TabStrings_SetDelimitedText);

// A byte-wise split with string_view::find into a reused vector.
void BM_PlainFindSplit(benchmark::State& state) {
  const std::string line = TabLine();
  std::vector<std::string> fields;
  for (auto _ : state) {
    fields.clear();
    std::string_view rest = line;
    for (;;) {
      size_t tab = rest.find('\t');
      if (tab == std::string_view::npos) break;
      fields.emplace_back(rest.substr(0, tab));
      rest.remove_prefix(tab + 1);
    }
    if (!rest.empty()) fields.emplace_back(rest);
    benchmark::DoNotOptimize(fields.size());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(line.size()));
}
BENCHMARK(BM_PlainFindSplit);

// 500 invalidations per frame: small rectangles scattered over a 800x600 layer, or glyph cells
// along text lines (neighbours that merge).
std::vector<kova::TRect> Invalidations(bool glyphs) {
  std::vector<kova::TRect> rects;
  std::mt19937 rng(11);
  for (int i = 0; i < 500; ++i) {
    if (glyphs) {
      int x = 40 + (i % 40) * 18, y = 400 + (i / 40) * 24;
      rects.push_back({x, y, x + 16, y + 20});
    } else {
      int x = int(rng() % 780), y = int(rng() % 580), w = 4 + int(rng() % 36), h = 4 + int(rng() % 36);
      rects.push_back({x, y, x + w, y + h});
    }
  }
  return rects;
}

void BM_ClipList_500(benchmark::State& state) {
  const auto rects = Invalidations(state.range(0) != 0);
  kova::TClipList list;
  for (auto _ : state) {
    list.Clear();
    for (const auto& r : rects) list.Add(r);
    benchmark::DoNotOptimize(list.Count());
  }
  state.counters["held"] = list.Count();
}
BENCHMARK(BM_ClipList_500)->Arg(0)->Arg(1)->ArgNames({"glyphs"});

// The cheapest alternative: one bounding rectangle of everything.
void BM_BoundingUnion_500(benchmark::State& state) {
  const auto rects = Invalidations(state.range(0) != 0);
  for (auto _ : state) {
    kova::TRect u = rects[0];
    for (const auto& r : rects) {
      u.Left = std::min(u.Left, r.Left);
      u.Top = std::min(u.Top, r.Top);
      u.Right = std::max(u.Right, r.Right);
      u.Bottom = std::max(u.Bottom, r.Bottom);
    }
    benchmark::DoNotOptimize(u);
  }
}
BENCHMARK(BM_BoundingUnion_500)->Arg(0)->Arg(1)->ArgNames({"glyphs"});

std::vector<std::string> Names() {
  std::vector<std::string> names;
  for (int i = 0; i < 10000; ++i) names.push_back("Flag" + std::to_string(i * 7919 % 10000));
  return names;
}

void BM_SortedStringList_IndexOf(benchmark::State& state) {
  const auto names = Names();
  kova::TStringList list;
  list.SetSorted(true);
  for (const auto& n : names) list.Add(n);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.IndexOf(names[i]));
    i = (i + 1) % names.size();
  }
}
BENCHMARK(BM_SortedStringList_IndexOf);

// Bisection over names folded in advance, comparing bytes (the key is folded per lookup too).
void BM_PrefoldedLowerBound(benchmark::State& state) {
  const auto names = Names();
  std::vector<std::string> folded;
  for (const auto& n : names) folded.push_back(kova::SjisLowerCase(n));
  std::sort(folded.begin(), folded.end());
  size_t i = 0;
  for (auto _ : state) {
    std::string key = kova::SjisLowerCase(names[i]);
    benchmark::DoNotOptimize(std::lower_bound(folded.begin(), folded.end(), key));
    i = (i + 1) % names.size();
  }
}
BENCHMARK(BM_PrefoldedLowerBound);

}  // namespace
