// Name lookups in the hashed collection against a plain hash map and against a literal search of
// 256 bucket chains; deleting items one by one against clearing them at once.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/hash.h"
#include "core/sjis.h"

namespace kova {
namespace {

constexpr int kNames = 9999;

std::vector<std::string> Names(const char* prefix) {
  std::vector<std::string> out;
  char buf[32];
  for (int i = 1; i <= kNames; ++i) {
    std::snprintf(buf, sizeof buf, "%s%04d", prefix, i);
    out.emplace_back(buf);
  }
  return out;
}

const std::vector<std::string>& Stored() {
  static const auto names = Names("flag");
  return names;
}
// Hits in another case than stored, and misses of the same shape.
const std::vector<std::string>& Queries(bool hits) {
  static const auto hit = Names("FLAG");
  static const auto miss = Names("note");
  return hits ? hit : miss;
}

void BM_HashCollectionIndexOf(benchmark::State& state) {
  THashCollection c;
  for (const auto& n : Stored()) c.Add(n);
  const auto& queries = Queries(state.range(0) != 0);
  for (auto _ : state) {
    for (const auto& q : queries) benchmark::DoNotOptimize(c.IndexOf(q));
  }
  state.SetItemsProcessed(state.iterations() * kNames);
}
BENCHMARK(BM_HashCollectionIndexOf)->Arg(1)->Arg(0)->ArgName("hit");

void BM_UnorderedMapFoldedIndexOf(benchmark::State& state) {
  std::unordered_map<std::string, int> m;
  int i = 0;
  for (const auto& n : Stored()) m.emplace(SjisLowerCase(n), i++);
  const auto& queries = Queries(state.range(0) != 0);
  for (auto _ : state) {
    for (const auto& q : queries) {
      auto it = m.find(SjisLowerCase(q));
      benchmark::DoNotOptimize(it == m.end() ? -1 : it->second);
    }
  }
  state.SetItemsProcessed(state.iterations() * kNames);
}
BENCHMARK(BM_UnorderedMapFoldedIndexOf)->Arg(1)->Arg(0)->ArgName("hit");

// The literal scheme: 256 chains chosen by HashName, searched from the most recently linked item.
void BM_Chain256IndexOf(benchmark::State& state) {
  struct Entry {
    std::string name;
    int index;
  };
  std::vector<std::vector<Entry>> buckets(256);
  int i = 0;
  for (const auto& n : Stored()) buckets[static_cast<size_t>(HashName(n))].push_back({n, i++});
  const auto& queries = Queries(state.range(0) != 0);
  for (auto _ : state) {
    for (const auto& q : queries) {
      const auto& chain = buckets[static_cast<size_t>(HashName(q))];
      int found = -1;
      for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (SjisSameText(it->name, q)) {
          found = it->index;
          break;
        }
      }
      benchmark::DoNotOptimize(found);
    }
  }
  state.SetItemsProcessed(state.iterations() * kNames);
  size_t used = 0;
  for (const auto& b : buckets) used += !b.empty();
  state.counters["buckets_used"] = static_cast<double>(used);
}
BENCHMARK(BM_Chain256IndexOf)->Arg(1)->Arg(0)->ArgName("hit");

void BM_HashCollectionAdd(benchmark::State& state) {
  for (auto _ : state) {
    THashCollection c;
    for (const auto& n : Stored()) c.Add(n);
    state.PauseTiming();
    c.Clear();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kNames);
}
BENCHMARK(BM_HashCollectionAdd)->Unit(benchmark::kMicrosecond);

// Deleting every item one at a time: from the front (every later item renumbered each time) or
// from the back (nothing to renumber).
void BM_HashCollectionDeleteEach(benchmark::State& state) {
  const bool front = state.range(0) != 0;
  for (auto _ : state) {
    state.PauseTiming();
    THashCollection c;
    for (const auto& n : Stored()) c.Add(n);
    state.ResumeTiming();
    while (c.Count() > 0) c.Delete(front ? 0 : c.Count() - 1);
  }
  state.SetItemsProcessed(state.iterations() * kNames);
}
BENCHMARK(BM_HashCollectionDeleteEach)->Arg(1)->Arg(0)->ArgName("front")->Unit(benchmark::kMicrosecond);

void BM_HashCollectionClear(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    THashCollection c;
    for (const auto& n : Stored()) c.Add(n);
    state.ResumeTiming();
    c.Clear();
  }
  state.SetItemsProcessed(state.iterations() * kNames);
}
BENCHMARK(BM_HashCollectionClear)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kova
