// The history recall into a message window: BM_MessageRecall shows a range of N pixels from the
// middle of a history of 1,000 entries (each one page of 200 glyphs in eight rows, 160 pixels
// high) in a message window: the overlapping segments are copied into the window's message data
// and laid out again as one page of stacked rows. N = 1,250, 2,500 and 5,000 pixels copy 9, 17 and
// 32 segments; the time must grow with the segments copied, not with the history.
// BM_MessageRecallHistorySize keeps N at 5,000 over histories of 1,000 and 10,000 entries.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "components/scene/kova_base_list.h"
#include "components/text/kova_history.h"
#include "components/text/kova_mes.h"
#include "components/text/message_build.h"
#include "core/stream.h"
#include "core/vocabulary.h"
#include "platform/services.h"
#include "player/session.h"
#include "support/game_tree.h"
#include "support/page_writer.h"
#include "text/xr_word.h"

namespace kova {
namespace {

// 200 glyphs over eight rows of full-width kana and half-width letters, in code page 932, compiled
// (the production writer: this is a measurement, not a test).
std::string CompiledText() {
  std::string text;
  for (int row = 0; row < 8; ++row) {
    for (int k = 0; k < 12; ++k) text += "\x82\xa0";
    for (int k = 0; k < 12; ++k) text += char('a' + k);
    text += row < 7 ? "<BR>" : "z";
  }
  TXrWord word;
  word.Parse(text);
  TMemoryStream out;
  word.SaveToStream(out);
  return {out.Bytes().begin(), out.Bytes().end()};
}

constexpr int32_t kEntryHeight = 160;

struct RecallRig {
  explicit RecallRig(int32_t entries) : session(services, TVrFileManagerOptions{{}, std::vector<std::string>{}}) {
    test::PageWriter page;
    page.TextIns(CompiledText(), test::Value(test::S("mes")), test::NoResult(), test::NoResult());
    const std::vector<uint8_t> bytes = page.Bytes();
    folder.WriteFile("h.ksb", bytes);
    session.Files().SetFolder(folder.Root());
    TKovaNewHistory& history = *session.SceneRoot().History();
    history.Word.FontSize = 16;
    history.Word.WrapWidth = 400;
    history.Word.PageHeight = kEntryHeight;
    history.Word.LineSpace = 4;
    for (int32_t i = 0; i < entries; ++i) history.Entries.Add().AddText("h.ksb", 0, "", kEntryHeight, -1, 0);
    mes = static_cast<TKovaMes*>(session.Ports().scene.CreateComponent(KT_MES, "mes", ""));
    mes->SetBounds(0, 0, 400, 200);
    mes->SetFontHeight(16);
    mes->SetLineSpace(4);
  }
  test::GameTree folder;
  plat::THeadlessServices services;
  TSession session;
  TKovaMes* mes = nullptr;
};

void Recall(benchmark::State& state, RecallRig& rig, int32_t pixels) {
  TKovaNewHistory& history = *rig.session.SceneRoot().History();
  const int32_t first = history.GetCount() / 2 + kEntryHeight / 2;
  for (auto _ : state) {
    RecallHistory(history, first, pixels, *rig.mes);
    benchmark::DoNotOptimize(rig.mes->Pages().front()->RowCount());
  }
  state.counters["segments"] = double(rig.mes->MesData().Segments.Count());
  state.SetItemsProcessed(state.iterations() * rig.mes->MesData().Segments.Count());
}

void BM_MessageRecall(benchmark::State& state) {
  RecallRig rig(1000);
  Recall(state, rig, int32_t(state.range(0)));
}
BENCHMARK(BM_MessageRecall)->Arg(1250)->Arg(2500)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_MessageRecallHistorySize(benchmark::State& state) {
  RecallRig rig(int32_t(state.range(0)));
  Recall(state, rig, 5000);
}
BENCHMARK(BM_MessageRecallHistorySize)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kova
