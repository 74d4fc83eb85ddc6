// Shift-JIS tokenising and counting against plain byte-oriented baselines.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <string_view>

#include "core/sjis.h"

namespace {

// Kanji text in lines of 38 characters ending in CR LF. The kanji are chosen so that most trail
// bytes also pass the lead-byte test: the worst case for any test that walks backwards.
std::string KanjiText(size_t bytes) {
  static const char* const kKanji[] = {"\x88\x9F", "\x8A\xBF", "\x8E\x9A", "\x93\xFA", "\x96\x7B",
                                       "\x8C\xEA", "\x95\xB6", "\x8F\x91", "\x9F\x9F", "\xE0\x8E"};
  std::mt19937 rng(105);
  std::string s;
  s.reserve(bytes + 80);
  while (s.size() < bytes) {
    for (int i = 0; i < 38; ++i) s += kKanji[rng() % std::size(kKanji)];
    s += "\r\n";
  }
  return s;
}

// The same text with a single CR LF at its end: one long token.
std::string KanjiLine(size_t bytes) {
  std::string s = KanjiText(bytes);
  std::string line;
  line.reserve(s.size());
  for (char c : s)
    if (c != '\r' && c != '\n') line += c;
  return line + "\r\n";
}

void SetBytes(benchmark::State& state, size_t bytes) {
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

// Splitting a whole text into lines through a view.
void BM_SjisFetchToken_Lines(benchmark::State& state) {
  const std::string text = KanjiText(size_t(state.range(0)) << 20);
  for (auto _ : state) {
    std::string_view rest = text, token;
    size_t lines = 0;
    while (!rest.empty()) {
      kova::SjisFetchToken(rest, "\n", token);
      if (!token.empty() && token.back() == '\r') token.remove_suffix(1);
      benchmark::DoNotOptimize(token.data());
      ++lines;
    }
    benchmark::DoNotOptimize(lines);
  }
  SetBytes(state, text.size());
}
BENCHMARK(BM_SjisFetchToken_Lines)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);

void BM_Find_Lines(benchmark::State& state) {
  const std::string text = KanjiText(size_t(state.range(0)) << 20);
  for (auto _ : state) {
    std::string_view rest = text, token;
    size_t lines = 0;
    while (!rest.empty()) {
      const size_t p = rest.find("\r\n");
      token = rest.substr(0, p);
      rest.remove_prefix(p == rest.npos ? rest.size() : p + 2);
      benchmark::DoNotOptimize(token.data());
      ++lines;
    }
    benchmark::DoNotOptimize(lines);
  }
  SetBytes(state, text.size());
}
BENCHMARK(BM_Find_Lines)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);

// Cutting one long token off a string (the string form, as callers with a var string use it).
void BM_SjisFetchToken_LongLine(benchmark::State& state) {
  const std::string text = KanjiLine(size_t(state.range(0)) << 20);
  std::string s, token;
  for (auto _ : state) {
    s = text;
    kova::SjisFetchToken(s, "\r\n", token);
    benchmark::DoNotOptimize(token.data());
  }
  SetBytes(state, text.size());
}
BENCHMARK(BM_SjisFetchToken_LongLine)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);

void BM_Find_LongLine(benchmark::State& state) {
  const std::string text = KanjiLine(size_t(state.range(0)) << 20);
  std::string s, token;
  for (auto _ : state) {
    s = text;
    const size_t p = s.find_first_of("\r\n");
    token.assign(s, 0, p);
    s.erase(0, p + 1);
    benchmark::DoNotOptimize(token.data());
  }
  SetBytes(state, text.size());
}
BENCHMARK(BM_Find_LongLine)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);

void BM_SjisLength(benchmark::State& state) {
  const std::string text = KanjiText(size_t(state.range(0)) << 20);
  for (auto _ : state) benchmark::DoNotOptimize(kova::SjisLength(text));
  SetBytes(state, text.size());
}
BENCHMARK(BM_SjisLength)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);

// A plain loop over the bytes: counts those below 0x80.
void BM_ByteLoop(benchmark::State& state) {
  const std::string text = KanjiText(size_t(state.range(0)) << 20);
  for (auto _ : state) {
    size_t n = 0;
    for (char c : text) n += static_cast<unsigned char>(c) < 0x80;
    benchmark::DoNotOptimize(n);
  }
  SetBytes(state, text.size());
}
BENCHMARK(BM_ByteLoop)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);

}  // namespace
