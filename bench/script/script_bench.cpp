// Expression evaluation and variable lookup speed.
//
// BM_ExprLoop evaluates a four-operation loop body (increment, assign, compare, result) once per
// iteration; BM_ExprLookups does the store lookups that evaluation needs (its floor); BM_LuaLoop
// runs the same loop body 10^6 times in the lua5.4 interpreter and reports the time of one body.
// BM_Lookup10k* find names among 10,000 variables, in the store and in a std::unordered_map.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/format.h"
#include "core/stream.h"
#include "core/stream_records.h"
#include "core/vocabulary.h"
#include "script/param_collection.h"
#include "script/parser.h"

namespace kova {
namespace {

void WriteOperandVar(TStream& s, const char* name) {
  WriteStreamByte(s, 0);
  WriteStreamString(s, name);
}

void WriteOperandInt(TStream& s, int32_t v) {
  WriteStreamByte(s, 1);
  WriteStreamInteger(s, v);
}

void WriteOpHead(TStream& s, uint8_t code, const char* dest, int32_t operands) {
  WriteStreamByte(s, code);
  WriteStreamString(s, dest);
  WriteStreamInteger(s, operands);
}

// ____0 := i + 1; i := ____0; ____1 := i < n; ____arg := ____1
std::unique_ptr<TKovaParser> LoopBody() {
  TMemoryStream s;
  WriteStreamInteger(s, 4);
  WriteOpHead(s, ocPlus, "____0", 2);
  WriteOperandVar(s, "i");
  WriteOperandInt(s, 1);
  WriteOpHead(s, ocTo, "i", 1);
  WriteOperandVar(s, "____0");
  WriteOpHead(s, ocSmall, "____1", 2);
  WriteOperandVar(s, "i");
  WriteOperandVar(s, "n");
  WriteOpHead(s, ocTo, "____arg", 1);
  WriteOperandVar(s, "____1");
  s.SetPosition(0);
  auto p = std::make_unique<TKovaParser>();
  p->LoadFromStream(s);
  return p;
}

// A store with the loop's variables among a few hundred others, as in a running game.
void Populate(TParamCollection& store) {
  for (int k = 0; k < 300; ++k) store.Declare(Format("var%d", k), PT_INT, TVarScope::Global);
  store.Declare("i", PT_INT, TVarScope::Global);
  store.Declare("n", PT_INT, TVarScope::Global)->SetInt(2000000000);
}

void BM_ExprLoop(benchmark::State& state) {
  TParamCollection store;
  Populate(store);
  auto body = LoopBody();
  for (auto _ : state) {
    body->Execute(store);
    benchmark::DoNotOptimize(body->Result());
  }
  state.counters["ns_per_op"] =
      benchmark::Counter(double(state.iterations()) * 4, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ExprLoop);

// The four store lookups of one evaluation (i, i, i, n; temporaries are not in the store).
void BM_ExprLookups(benchmark::State& state) {
  TParamCollection store;
  Populate(store);
  for (auto _ : state) {
    benchmark::DoNotOptimize(store.FindParam("i"));
    benchmark::DoNotOptimize(store.FindParam("i"));
    benchmark::DoNotOptimize(store.FindParam("i"));
    benchmark::DoNotOptimize(store.FindParam("n"));
  }
}
BENCHMARK(BM_ExprLookups);

// The same loop body in Lua 5.4, with global variables like the store's; one iteration runs the
// interpreter on 10^6 bodies and reports the time of one body.
void BM_LuaLoop(benchmark::State& state) {
  const char* command =
      "lua5.4 -e 'i=0 n=2000000000 local t=os.clock() "
      "for k=1,1000000 do local t0=i+1 i=t0 local t1=i<n arg=t1 end "
      "io.write(string.format(\"%.6f\", os.clock()-t))' 2>/dev/null";
  for (auto _ : state) {
    FILE* pipe = popen(command, "r");
    if (!pipe) {
      state.SkipWithError("lua5.4 not available");
      return;
    }
    char buf[64] = {};
    size_t n = fread(buf, 1, sizeof(buf) - 1, pipe);
    const int rc = pclose(pipe);
    if (rc != 0 || n == 0) {
      state.SkipWithError("lua5.4 not available");
      return;
    }
    state.SetIterationTime(std::atof(buf) / 1e6);
  }
}
BENCHMARK(BM_LuaLoop)->UseManualTime()->Iterations(5);

std::vector<std::string> FlagNames() {
  std::vector<std::string> names;
  for (int k = 1; k <= 9999; ++k) names.push_back(Format("flag%04d", k));
  names.push_back("flag10000");
  return names;
}

void BM_Lookup10kStore(benchmark::State& state) {
  TParamCollection store;
  const std::vector<std::string> names = FlagNames();
  for (const std::string& n : names) store.Declare(n, PT_BOOL, TVarScope::Global);
  size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(store.FindParam(names[k]));
    k = k + 7 < names.size() ? k + 7 : k + 7 - names.size();
  }
}
BENCHMARK(BM_Lookup10kStore);

void BM_Lookup10kUnorderedMap(benchmark::State& state) {
  std::unordered_map<std::string, int> map;
  const std::vector<std::string> names = FlagNames();
  for (size_t i = 0; i < names.size(); ++i) map.emplace(names[i], int(i));
  size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(map.find(names[k]));
    k = k + 7 < names.size() ? k + 7 : k + 7 - names.size();
  }
}
BENCHMARK(BM_Lookup10kUnorderedMap);

}  // namespace
}  // namespace kova
