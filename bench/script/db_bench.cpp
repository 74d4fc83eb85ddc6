// Database table speed, each against the bare work it cannot avoid:
//  - BM_DBSelect finds the records whose string cell equals a text among 10^5 records;
//    BM_DBSelectMemcmpScan compares the same cells of the same record buffers with memcmp.
//  - BM_DBSort sorts 10^5 shuffled records on an integer key and a string key;
//    BM_DBSortExtractedKeys sorts the same keys, extracted beforehand, with std::sort.
//  - BM_DBLoadTsv loads 5 MiB of tab-separated text into a table of four column types;
//    BM_DBTsvSplitScan only splits the same text into lines and fields.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/stream.h"
#include "script/db_table.h"
#include "script/params.h"

namespace kova {
namespace {

constexpr int32_t kRecords = 100000;

// Records of (group int, name string 23, value float): names "name00000".."name99999", shuffled,
// groups 0..99.
TDBTable& Table() {
  static TDBTable* table = [] {
    auto* t = new TDBTable("bench");
    t->Fields().AddField("group", kDBInt, 0);
    t->Fields().AddField("name", kDBStr, 23);
    t->Fields().AddField("value", kDBFloat, 0);
    std::vector<int32_t> order(kRecords);
    for (int32_t i = 0; i < kRecords; ++i) order[static_cast<size_t>(i)] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    char name[16];
    for (int32_t i = 0; i < kRecords; ++i) {
      const int32_t n = order[static_cast<size_t>(i)];
      t->Append();
      std::snprintf(name, sizeof(name), "name%05d", n);
      t->SetIntAt(i, 0, (n * 37) % 100);
      t->SetStrAt(i, 1, name);
      t->SetFloatAt(i, 2, n * 0.5L);
    }
    return t;
  }();
  return *table;
}

void BM_DBSelect(benchmark::State& state) {
  TDBTable& t = Table();
  TParamStr columns, values;
  columns.SetStr("name");
  values.SetStr("name54321");
  std::vector<int32_t> list;
  for (auto _ : state) {
    list.clear();
    t.Select(list, &columns, &values, false, false);
    benchmark::DoNotOptimize(list.data());
  }
  if (list.size() != 1) state.SkipWithError("wrong match count");
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_DBSelect)->Unit(benchmark::kMicrosecond);

void BM_DBSelectMemcmpScan(benchmark::State& state) {
  TDBTable& t = Table();
  const int32_t offset = t.Fields().FieldOffset(1);
  static const char kValue[] = "name54321";
  std::vector<int32_t> list;
  for (auto _ : state) {
    list.clear();
    for (int32_t r = 0; r < kRecords; ++r) {
      if (std::memcmp(t.RecordData(r) + offset, kValue, sizeof(kValue)) == 0) list.push_back(r);
    }
    benchmark::DoNotOptimize(list.data());
  }
  if (list.size() != 1) state.SkipWithError("wrong match count");
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_DBSelectMemcmpScan)->Unit(benchmark::kMicrosecond);

void BM_DBSort(benchmark::State& state) {
  TMemoryStream shuffled;
  Table().SaveToStream(shuffled);
  TDBTable t;
  TParamStr columns;
  TParamFlag descending;
  const int32_t two[] = {2};
  columns.SetDims(two);
  columns.SetStrAt(0, "group");
  columns.SetStrAt(1, "name");
  descending.SetDims(two);
  descending.SetFlagAt(1, true);
  for (auto _ : state) {
    state.PauseTiming();
    shuffled.SetPosition(0);
    t.LoadFromStream(shuffled, 100);
    state.ResumeTiming();
    t.Sort(&columns, &descending);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_DBSort)->Unit(benchmark::kMillisecond);

void BM_DBSortExtractedKeys(benchmark::State& state) {
  struct TKey {
    int32_t group;
    char name[24];
    int32_t record;
  };
  TDBTable& t = Table();
  std::vector<TKey> keys(kRecords);
  for (int32_t r = 0; r < kRecords; ++r) {
    TKey& k = keys[static_cast<size_t>(r)];
    t.GetIntAt(r, 0, k.group);
    std::memcpy(k.name, t.RecordData(r) + t.Fields().FieldOffset(1), 24);
    k.record = r;
  }
  std::vector<TKey> work;
  for (auto _ : state) {
    state.PauseTiming();
    work = keys;
    state.ResumeTiming();
    std::sort(work.begin(), work.end(), [](const TKey& a, const TKey& b) {
      if (a.group != b.group) return a.group < b.group;
      return std::strcmp(a.name, b.name) > 0;
    });
    benchmark::DoNotOptimize(work.data());
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_DBSortExtractedKeys)->Unit(benchmark::kMillisecond);

const std::string& TsvText() {
  static const std::string text = [] {
    std::string s = "id int\tname str 40\tw float\tflag bool\r\n";
    for (int32_t i = 0; s.size() < (size_t(5) << 20); ++i) {
      s += std::to_string(i) + "\tname number " + std::to_string(i) + " \x82\xA0\x82\xA2\t" + std::to_string(i) +
           ".25\t" + (i % 2 ? "TRUE" : "FALSE") + "\r\n";
    }
    return s;
  }();
  return text;
}

void BM_DBLoadTsv(benchmark::State& state) {
  const std::string& text = TsvText();
  TDBTable t;
  for (auto _ : state) {
    t.LoadTsv(text);
    benchmark::DoNotOptimize(t.RecordCount());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_DBLoadTsv)->Unit(benchmark::kMillisecond);

void BM_DBTsvSplitScan(benchmark::State& state) {
  const std::string& text = TsvText();
  for (auto _ : state) {
    size_t fields = 0, bytes = 0;
    std::string_view rest(text);
    while (!rest.empty()) {
      const size_t end = rest.find_first_of("\r\n");
      std::string_view line = rest.substr(0, end);
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
      while (!line.empty()) {
        const size_t tab = line.find('\t');
        bytes += line.substr(0, tab).size();
        ++fields;
        line = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
      }
    }
    benchmark::DoNotOptimize(fields);
    benchmark::DoNotOptimize(bytes);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_DBTsvSplitScan)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kova
