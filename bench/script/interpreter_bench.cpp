// Page parsing and interpreter speed.
//
// BM_ParseCalcPage parses a page of 10,000 Calc commands (about 1 MiB) from memory;
// BM_ScanPageBytes reads the same bytes once (a byte sum), the floor of any parse.
// BM_RunWhileLoop runs a While loop of 10^6 iterations (While, Calc, WhileLoop: three commands
// and three expression evaluations per iteration) in one frame step and reports commands per
// second; BM_ExprOnlyLoop evaluates the same three expressions 10^6 times without the
// interpreter, so the difference is the interpreter's own cost.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/file_manager.h"
#include "core/stream.h"
#include "core/stream_records.h"
#include "script/call_man.h"
#include "script/command_table.h"
#include "script/page.h"
#include "script/param_collection.h"
#include "script/parser.h"
#include "script/script_ports.h"

namespace kova {
namespace {

enum : uint8_t { kTo = 1, kPlus = 2, kSmall = 14 };

void OpHead(TStream& s, uint8_t code, const std::string& dest, int32_t operands) {
  WriteStreamByte(s, code);
  WriteStreamString(s, dest);
  WriteStreamInteger(s, operands);
}
void VarOperand(TStream& s, const std::string& name) {
  WriteStreamByte(s, 0);
  WriteStreamString(s, name);
}
void IntOperand(TStream& s, int32_t v) {
  WriteStreamByte(s, 1);
  WriteStreamInteger(s, v);
}
// name := name + 1
void IncExpr(TStream& s, const std::string& name) {
  WriteStreamInteger(s, 1);
  OpHead(s, kPlus, name, 2);
  VarOperand(s, name);
  IntOperand(s, 1);
}
// ____arg := name < limit (through a temporary)
void LessExpr(TStream& s, const std::string& name, int32_t limit) {
  WriteStreamInteger(s, 2);
  OpHead(s, kSmall, "____0", 2);
  VarOperand(s, name);
  IntOperand(s, limit);
  OpHead(s, kTo, "____arg", 1);
  VarOperand(s, "____0");
}
void CommandHead(TStream& s, uint8_t type, int32_t line) {
  WriteStreamByte(s, type);
  WriteStreamInteger(s, 0);
  WriteStreamByte(s, 0);
  WriteStreamByte(s, 1);
  WriteStreamInteger(s, line);
}
void PageHead(TStream& s, int32_t commands) {
  WriteStreamInteger(s, 109);
  WriteStreamByte(s, 1);
  WriteStreamInteger(s, 0);
  WriteStreamInteger(s, 20);
  WriteStreamInteger(s, commands);
}

std::vector<uint8_t> CalcPage() {
  TMemoryStream s;
  PageHead(s, 10000);
  for (int32_t i = 0; i < 10000; ++i) {
    CommandHead(s, 14, i + 1);
    IncExpr(s, "counter_variable_with_a_long_name_" + std::to_string(i % 10));
  }
  return {s.Bytes().begin(), s.Bytes().end()};
}

void BM_ParseCalcPage(benchmark::State& state) {
  const std::vector<uint8_t> bytes = CalcPage();
  for (auto _ : state) {
    TPage page;
    TSpanStream s(bytes);
    page.LoadFromStream(s);
    benchmark::DoNotOptimize(page.Count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
  state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_ParseCalcPage)->Unit(benchmark::kMillisecond);

void BM_ScanPageBytes(benchmark::State& state) {
  const std::vector<uint8_t> bytes = CalcPage();
  for (auto _ : state) {
    uint32_t sum = 0;
    for (uint8_t b : bytes) sum = sum * 31 + b;
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_ScanPageBytes)->Unit(benchmark::kMillisecond);

constexpr int32_t kIterations = 1000000;

// 0 WhileInit(i := 0); 1 While(i < N, exit 4); 2 Calc(n := n + 1); 3 WhileLoop(i := i + 1, head 1)
std::vector<uint8_t> LoopPage() {
  TMemoryStream s;
  PageHead(s, 4);
  CommandHead(s, 32, 1);
  WriteStreamInteger(s, 1);
  OpHead(s, kTo, "i", 1);
  IntOperand(s, 0);
  CommandHead(s, 31, 2);
  LessExpr(s, "i", kIterations);
  WriteStreamInteger(s, 4);
  CommandHead(s, 14, 3);
  IncExpr(s, "n");
  CommandHead(s, 33, 4);
  IncExpr(s, "i");
  WriteStreamInteger(s, 1);
  return {s.Bytes().begin(), s.Bytes().end()};
}

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/kova-bench-XXXXXX";
    path_ = ::mkdtemp(pattern);
  }
  ~TempFolder() { std::filesystem::remove_all(path_); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

void BM_RunWhileLoop(benchmark::State& state) {
  TempFolder folder;
  const std::vector<uint8_t> bytes = LoopPage();
  std::ofstream(folder.Path() + "/loop.ksb", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  TNullScriptParts parts;
  parts.files.SetFolder(folder.Path());
  TParamCollection store(parts.ports, nullptr);
  store.Declare("i", PT_INT, TVarScope::Global);
  store.Declare("n", PT_INT, TVarScope::Global);
  TCommandTable no_commands;
  TCallMan callman(store, parts.ports, no_commands, nullptr, *parts.platform.clock);
  for (auto _ : state) {
    callman.Start("loop.ksb");
    callman.Step();
  }
  const double commands = 3.0 * kIterations + 2;
  state.counters["commands/s"] =
      benchmark::Counter(commands * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RunWhileLoop)->Unit(benchmark::kMillisecond);

void BM_ExprOnlyLoop(benchmark::State& state) {
  TParamCollection store;
  store.Declare("i", PT_INT, TVarScope::Global);
  store.Declare("n", PT_INT, TVarScope::Global);
  auto load = [](void (*write)(TStream&)) {
    TMemoryStream s;
    write(s);
    s.SetPosition(0);
    auto p = std::make_unique<TKovaParser>();
    p->LoadFromStream(s);
    return p;
  };
  auto cond = load([](TStream& s) { LessExpr(s, "i", kIterations); });
  auto body = load([](TStream& s) { IncExpr(s, "n"); });
  auto step = load([](TStream& s) { IncExpr(s, "i"); });
  for (auto _ : state) {
    store.FindParam("i")->SetInt(0);
    for (;;) {
      cond->Execute(store);
      if (!cond->Result()->GetFlag()) break;
      body->Execute(store);
      step->Execute(store);
    }
  }
  state.counters["commands/s"] =
      benchmark::Counter(3.0 * kIterations * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ExprOnlyLoop)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kova
