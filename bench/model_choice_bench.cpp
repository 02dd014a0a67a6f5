// The model choice for one remote pilot over a full table of 42,999 models
// (goal: at most 2 ms per choice).
#include <benchmark/benchmark.h>

#include <string>

#include "core/airline_table.h"
#include "core/big_tables.h"
#include "core/text_fields.h"
#include "sim/local_model_choice.h"

namespace {
constexpr double kGoalMs = 2.0;

// A full table in which no model shares the remote title or a certain type, so
// both scorers pass over every model.
bool FillTable() {
  if (AllocateTables() != 1) return false;
  LocalModelTable& table = g_localModelTables().working;
  const char* types[] = {"B738", "A320", "C172", "MD82", "AT76", "DH8D", "CRJ2", "E190"};
  for (int i = 0; i < kMaxLocalModels; ++i) {
    LocalModelRecord& record = table.records[i];
    record = LocalModelRecord{};
    const std::string title = "Package " + std::to_string(i % 97) + "\\Model " + std::to_string(i) + "\\model.acf";
    CopyCut(record.title, title);
    CopyCut(record.icaoType, types[i % 8]);
    record.typeScore = 40;
  }
  table.count = kMaxLocalModels;
  return true;
}

void BM_ChooseLocalModelFullTable(benchmark::State& state) {
  if (!FillTable()) {
    state.SkipWithError("the model tables could not be allocated");
    return;
  }
  const LocalModelTable& table = g_localModelTables().working;
  AirlineTable airlines;
  int result = 0;
  for (auto _ : state) {
    ModelQuery query;
    CopyCut(query.title, "Boeing 737-800 Nordic Lines");
    CopyCut(query.icaoType, "B739");
    CopyCut(query.airline, "NRD");
    result = ChooseLocalModel(query, table, airlines, false);
    benchmark::DoNotOptimize(query);
  }
  state.counters["result"] = result;
  state.counters["goal_ms"] = kGoalMs;
}
BENCHMARK(BM_ChooseLocalModelFullTable)->Unit(benchmark::kMillisecond);
}  // namespace

BENCHMARK_MAIN();
