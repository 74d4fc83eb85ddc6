// The message history's commit: BM_HistoryCommit notes and commits a page of 200 glyphs (mixed
// full- and half-width text over eight rows) N times into a history of the new form, as a message
// window does each time the player moves on; the page is the running one, so the interpreter's page
// cache holds it. BM_BareLayout lays the same text out N times into fresh pages, the floor of any
// commit. The two are compared at N = 100 and 1,000 (the cost per commit must not grow with N).
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "components/scene/kova_base_list.h"
#include "components/text/kova_history.h"
#include "core/stream.h"
#include "core/vocabulary.h"
#include "platform/services.h"
#include "player/session.h"
#include "support/game_tree.h"
#include "support/page_writer.h"
#include "text/xr_word.h"

namespace kova {
namespace {

// 200 glyphs: eight rows of 24 characters (full-width kana and half-width letters, one more on the
// last), line breaks between them. Code page 932 bytes.
std::string TagText() {
  std::string text;
  for (int row = 0; row < 8; ++row) {
    for (int k = 0; k < 12; ++k) text += "\x82\xa0";  // a full-width kana
    for (int k = 0; k < 12; ++k) text += char('a' + k);
    if (row < 7) text += "<BR>";
    if (row == 7) text += "z";
  }
  return text;
}

// The compiled form of the text (the production writer: this is a measurement, not a test).
std::string CompiledText() {
  TXrWord word;
  word.Parse(TagText());
  TMemoryStream out;
  word.SaveToStream(out);
  return {out.Bytes().begin(), out.Bytes().end()};
}

constexpr std::array<int32_t, 6> kHistoryLayout = {16, 0, 0, 400, 200, 4};

void BM_HistoryCommit(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  test::GameTree folder;
  test::PageWriter page;
  page.TextIns(CompiledText(), test::Value(test::S("mes")), test::NoResult(), test::NoResult());
  const std::vector<uint8_t> bytes = page.Bytes();
  folder.WriteFile("h.ksb", bytes);
  plat::THeadlessServices services;
  TSession session(services, TVrFileManagerOptions{{}, std::vector<std::string>{}});
  session.Files().SetFolder(folder.Root());
  session.Interpreter().Start("h.ksb");
  session.Store().Globals.HistFormat = kHistoryLayout;
  TKovaObject* window = session.Ports().scene.CreateComponent(KT_BOX, "mes", "");
  TKovaNewHistory& history = *session.SceneRoot().History();
  for (auto _ : state) {
    history.Clear();
    for (int32_t i = 0; i < n; ++i) {
      history.Note(*window, "h.ksb", "", 0, -1, 0, 0);
      history.Commit("mes");
    }
    benchmark::DoNotOptimize(history.GetCount());
  }
  if (history.EntryCount() != n) state.SkipWithError("a commit was lost");
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_HistoryCommit)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_BareLayout(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  TXrWord word;
  word.Paging = 1;
  word.FontSize = kHistoryLayout[0];
  word.WrapWidth = kHistoryLayout[3];
  word.PageHeight = kHistoryLayout[4];
  word.LineSpace = kHistoryLayout[5];
  word.Parse(TagText());
  for (auto _ : state) {
    for (int32_t i = 0; i < n; ++i) {
      TPageList pages;
      word.Layout(pages);
      benchmark::DoNotOptimize(pages.front()->H);
    }
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_BareLayout)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kova
