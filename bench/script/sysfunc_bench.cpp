// System function speed against plain library loops.
//
// BM_StringReplace* replace every "ab" in 1 MiB of mixed Shift-JIS text (single-byte words, kana,
// kanji, and double-byte characters whose trail byte is "a", which the function must skip):
// through the StringReplace function (case-sensitive and without case), and with a plain
// std::string::find loop that ignores character boundaries. BM_SortStr* sort 10^5 strings:
// through SortStr (case-folded keys, stable) and with std::sort over strcmp. BM_AddArray* append
// 10^6 integers to an array through AddArray and with memcpy.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/vocabulary.h"
#include "script/param_collection.h"
#include "script/sysfunc.h"

namespace kova {
namespace {

std::string MixedText(size_t size) {
  static const char* const kPieces[] = {
      "ab",           "hello ",   "\x82\xA0\x82\xA2",  // あい
      "\x8A\xBF\x8E\x9A",                              // 漢字
      "\x83\x61" "b",                                  // ヂ + "b": "ab" across a boundary
      "\x95\x5C",     "text\r\n", "\x93\xFA\x96\x7B",  // 表, 日本
      "x",            "\x81\x40",
  };
  std::mt19937 gen(7);
  std::string s;
  s.reserve(size + 16);
  while (s.size() < size) s += kPieces[gen() % std::size(kPieces)];
  return s;
}

std::unique_ptr<TCustomParam> StrParam(std::string_view v) {
  auto p = std::make_unique<TParamStr>();
  p->SetStr(v);
  return p;
}

std::unique_ptr<TCustomParam> FlagParam(bool v) {
  auto p = std::make_unique<TParamFlag>();
  p->SetFlag(v);
  return p;
}

void RunStringReplace(benchmark::State& state, bool nocase) {
  const std::string text = MixedText(1 << 20);
  TParamCollection store;
  TParamCollectionItem* dest = store.Declare("d", PT_STR, TVarScope::Global);
  std::vector<std::unique_ptr<TCustomParam>> args;
  args.push_back(StrParam(text));
  args.push_back(StrParam("ab"));
  args.push_back(StrParam("XYZ"));
  args.push_back(FlagParam(true));
  args.push_back(FlagParam(nocase));
  for (auto _ : state) {
    TSysFuncMan::Execute(store, *dest, Ord(TSysFunc::StringReplace), args);
    benchmark::DoNotOptimize(dest->Value().StrRef()->size());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void BM_StringReplace(benchmark::State& state) { RunStringReplace(state, false); }
BENCHMARK(BM_StringReplace)->Unit(benchmark::kMillisecond);

void BM_StringReplaceNoCase(benchmark::State& state) { RunStringReplace(state, true); }
BENCHMARK(BM_StringReplaceNoCase)->Unit(benchmark::kMillisecond);

void BM_StringReplaceFindLoop(benchmark::State& state) {
  const std::string text = MixedText(1 << 20);
  const std::string from = "ab", to = "XYZ";
  for (auto _ : state) {
    std::string out;
    out.reserve(text.size());
    size_t copied = 0;
    for (size_t p = text.find(from); p != std::string::npos; p = text.find(from, copied)) {
      out.append(text, copied, p - copied);
      out += to;
      copied = p + from.size();
    }
    out.append(text, copied, std::string::npos);
    benchmark::DoNotOptimize(out.size());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_StringReplaceFindLoop)->Unit(benchmark::kMillisecond);

std::vector<std::string> SortInput(size_t n) {
  std::mt19937 gen(11);
  std::vector<std::string> v;
  v.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    std::string s;
    const size_t len = 4 + gen() % 12;
    for (size_t k = 0; k < len; ++k) s += static_cast<char>('a' + gen() % 26 - (gen() % 2 ? 32 : 0));
    v.push_back(std::move(s));
  }
  return v;
}

constexpr size_t kSortCount = 100000;

void BM_SortStr(benchmark::State& state) {
  const std::vector<std::string> input = SortInput(kSortCount);
  TParamCollection store;
  TParamCollectionItem* v = store.Declare("v", PT_STR, TVarScope::Global);
  const int32_t size[] = {static_cast<int32_t>(input.size())};
  v->SetDims(size);
  TParamCollectionItem* dest = store.Declare("d", PT_INT, TVarScope::Global);
  std::vector<std::unique_ptr<TCustomParam>> args;
  auto ref = std::make_unique<TParamVar>();
  ref->VarName = v->Name();
  ref->Bind(v);
  args.push_back(std::move(ref));
  auto& items = static_cast<TParamStr&>(v->Value()).Items();
  for (auto _ : state) {
    state.PauseTiming();
    items = input;
    state.ResumeTiming();
    TSysFuncMan::Execute(store, *dest, Ord(TSysFunc::SortStr), args);
  }
  benchmark::DoNotOptimize(items.front());
}
BENCHMARK(BM_SortStr)->Unit(benchmark::kMillisecond);

void BM_SortStrcmp(benchmark::State& state) {
  const std::vector<std::string> input = SortInput(kSortCount);
  std::vector<const char*> pointers;
  for (auto _ : state) {
    state.PauseTiming();
    pointers.clear();
    for (const std::string& s : input) pointers.push_back(s.c_str());
    state.ResumeTiming();
    std::sort(pointers.begin(), pointers.end(), [](const char* a, const char* b) { return std::strcmp(a, b) < 0; });
    benchmark::DoNotOptimize(pointers.front());
  }
}
BENCHMARK(BM_SortStrcmp)->Unit(benchmark::kMillisecond);

constexpr int32_t kAddCount = 1000000;

void BM_AddArray(benchmark::State& state) {
  TParamCollection store;
  TParamCollectionItem* dest = store.Declare("a", PT_INT, TVarScope::Global);
  TParamCollectionItem* src = store.Declare("b", PT_INT, TVarScope::Global);
  const int32_t size[] = {kAddCount};
  src->SetDims(size);
  src->FillInt(5);
  TParamCollectionItem* result = store.Declare("d", PT_INT, TVarScope::Global);
  std::vector<std::unique_ptr<TCustomParam>> args;
  for (TParamCollectionItem* item : {dest, src}) {
    auto ref = std::make_unique<TParamVar>();
    ref->VarName = item->Name();
    ref->Bind(item);
    args.push_back(std::move(ref));
  }
  const int32_t one[] = {1};
  for (auto _ : state) {
    state.PauseTiming();
    dest->SetDims(one);
    state.ResumeTiming();
    TSysFuncMan::Execute(store, *result, Ord(TSysFunc::AddArray), args);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kAddCount * 4);
}
BENCHMARK(BM_AddArray)->Unit(benchmark::kMicrosecond);

void BM_AddArrayMemcpy(benchmark::State& state) {
  std::vector<int32_t> src(kAddCount, 5);
  std::vector<int32_t> dest;
  for (auto _ : state) {
    state.PauseTiming();
    dest.assign(1, 0);
    dest.shrink_to_fit();
    state.ResumeTiming();
    dest.resize(1 + src.size());
    std::memcpy(dest.data() + 1, src.data(), src.size() * sizeof(int32_t));
    benchmark::DoNotOptimize(dest.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kAddCount * 4);
}
BENCHMARK(BM_AddArrayMemcpy)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kova
