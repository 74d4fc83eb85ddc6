// Rich text: parsing a message against a byte scan of it, layout of many glyphs, one page's
// reveal with its fades, and loading a stored glyph list against reading its bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "core/stream.h"
#include "text/xr_word.h"

namespace kova {
namespace {

// A message of about `bytes` bytes: Japanese and English text with the usual tags.
std::string Message(size_t bytes) {
  // "今日はいい天気です。" and "「そうですね」" in code page 932.
  const std::string jp = "\x8D\xA1\x93\xFA\x82\xCD\x82\xA2\x82\xA2\x93\x56\x8B\x43\x82\xC5\x82\xB7\x81\x42";
  const std::string quote = "\x81\x75\x82\xBB\x82\xA4\x82\xC5\x82\xB7\x82\xCB\x81\x76";
  std::string s;
  while (s.size() < bytes) {
    s += "<FONT SIZE=20 COLOR=#FF8000>" + jp + "</FONT> It is a <B>fine</B> day. ";
    s += "<RUBY VALUE=\"\x82\xA9\x82\xC8\">" + quote + "</RUBY><WAIT VALUE=80>...</WAIT><BR>\r\n";
  }
  return s;
}

void BM_ParseMessage(benchmark::State& state) {
  const std::string text = Message(size_t(state.range(0)));
  TXrWord doc;
  for (auto _ : state) {
    doc.Parse(text);
    benchmark::DoNotOptimize(doc.GlyphCount());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
  state.counters["glyphs"] = doc.GlyphCount();
}
BENCHMARK(BM_ParseMessage)->Arg(5 << 10)->Arg(20 << 10)->Arg(80 << 10)->Arg(320 << 10)->Unit(benchmark::kMicrosecond);

// The baseline: one pass over the bytes that finds the tags.
void BM_ScanMessage(benchmark::State& state) {
  const std::string text = Message(size_t(state.range(0)));
  for (auto _ : state) {
    size_t tags = 0;
    for (const char* p = text.data(); (p = static_cast<const char*>(std::memchr(p, '<', size_t(text.data() + text.size() - p)))); ++p) ++tags;
    benchmark::DoNotOptimize(tags);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_ScanMessage)->Arg(20 << 10)->Unit(benchmark::kMicrosecond);

void BM_Layout(benchmark::State& state) {
  TXrWord doc;
  doc.WrapWidth = 640;
  doc.PageHeight = 480;
  doc.Paging = 1;
  doc.LineSpace = 4;
  std::string text = Message(1 << 20);
  doc.Parse(text);
  while (doc.GlyphCount() > state.range(0)) doc.Delete(doc.GlyphCount() - 1);
  for (auto _ : state) {
    TPageList pages;
    doc.Layout(pages);
    benchmark::DoNotOptimize(pages.size());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * doc.GlyphCount());
}
BENCHMARK(BM_Layout)->Arg(5000)->Arg(20000)->Arg(80000)->Unit(benchmark::kMicrosecond);

// One 1,000-glyph page at text delay 0: revealed in its first active frame, then faded in over
// 16 frames.
void BM_ProgressPage(benchmark::State& state) {
  TXrWord doc;
  doc.WrapWidth = 1200;
  doc.PageHeight = 100000;
  doc.Paging = 1;
  doc.FontSize = 16;
  doc.TextDelay = 0;
  doc.FadeTime = 16 * 16;
  doc.Parse(std::string(1000, 'a'));
  TPageList pages;
  doc.Layout(pages);
  TWdPage& page = *pages[0];
  size_t rects = 0;
  for (auto _ : state) {
    page.Rewind();
    bool finished = false;
    std::string text;
    for (int frame = 0; frame < 18; ++frame) {
      page.Progress(16, finished, text);
      rects += doc.DirtyRects.size();
    }
    if (!page.IsFinished()) state.SkipWithError("page not finished");
  }
  state.counters["rects/frame"] = double(rects) / double(state.iterations()) / 18.0;
  state.SetItemsProcessed(int64_t(state.iterations()) * 1000);
}
BENCHMARK(BM_ProgressPage)->Unit(benchmark::kMicrosecond);

void BM_LoadGlyphList(benchmark::State& state) {
  TXrWord source;
  source.Parse(Message(40 << 10));
  while (source.GlyphCount() > 5000) source.Delete(source.GlyphCount() - 1);
  TMemoryStream bytes;
  source.SaveToStream(bytes);
  for (auto _ : state) {
    TXrWord doc;
    bytes.SetPosition(0);
    doc.LoadFromStream(bytes);
    benchmark::DoNotOptimize(doc.GlyphCount());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * bytes.Size());
}
BENCHMARK(BM_LoadGlyphList)->Unit(benchmark::kMicrosecond);

void BM_ReadGlyphListBytes(benchmark::State& state) {
  TXrWord source;
  source.Parse(Message(40 << 10));
  while (source.GlyphCount() > 5000) source.Delete(source.GlyphCount() - 1);
  TMemoryStream bytes;
  source.SaveToStream(bytes);
  std::string copy(size_t(bytes.Size()), '\0');
  for (auto _ : state) {
    bytes.SetPosition(0);
    bytes.ReadBuffer(copy.data(), bytes.Size());
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * bytes.Size());
}
BENCHMARK(BM_ReadGlyphListBytes)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kova
