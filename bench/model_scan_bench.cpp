// The scan of a generated 43,000-file Aircraft folder beside a bare recursive
// walk of the same tree, measured in the same run (goal: at most 1.5 times the walk).
#include <benchmark/benchmark.h>

#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/big_tables.h"
#include "core/table_memory.h"
#include "sim/directory_walker.h"
#include "sim/model_scan.h"
#include "testbed/aircraft_tree.h"

namespace {
constexpr int kTreeFiles = 43'000;
constexpr double kGoalRatio = 1.5;

class SilentLog final : public ModelLog {
 public:
  void Write(int, std::string_view) override {}
};

const std::string& Tree() {
  static const std::string root = [] {
    std::string folder = (std::filesystem::temp_directory_path() / "tk_bench_aircraft").string();
    std::filesystem::remove_all(folder);
    if (MakeAircraftTree(folder, kTreeFiles).size() != static_cast<std::size_t>(kTreeFiles)) folder.clear();
    return folder;
  }();
  return root;
}

bool LoadShippedTypes() {
  AircraftTypeDb& db = g_aircraftTypeDb();
  if (db.loaded) return true;
  if (db.records == nullptr) db.records = AllocateTableRecords<AircraftTypeRecord>(kAircraftTypeSlots);
  return db.records != nullptr && LoadAircraftTypes(TK_SOURCE_DIR "/res/data/tk_aircrafts.txt") > 0;
}

// opendir/readdir down the tree, counting .acf names: the least any scan must do.
int BareWalk(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return 0;
  int found = 0;
  while (const dirent* entry = readdir(dir)) {
    const std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    if (entry->d_type == DT_DIR) {
      found += BareWalk(folder + "/" + entry->d_name);
    } else if (name.size() > 4 && name.substr(name.size() - 4) == ".acf") {
      ++found;
    }
  }
  closedir(dir);
  return found;
}

double g_walkSeconds = 0;

void BM_BareRecursiveWalk(benchmark::State& state) {
  if (Tree().empty()) {
    state.SkipWithError("the generated tree could not be written");
    return;
  }
  int found = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) found = BareWalk(Tree());
  g_walkSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
                  static_cast<double>(state.iterations());
  state.counters["files"] = found;
}
BENCHMARK(BM_BareRecursiveWalk)->Unit(benchmark::kMillisecond);

// The scan's walk alone: what the walker adds to the bare walk, apart from the per-model work.
void BM_ModelWalkOnly(benchmark::State& state) {
  if (Tree().empty()) {
    state.SkipWithError("the generated tree could not be written");
    return;
  }
  std::size_t found = 0;
  for (auto _ : state) {
    DirectoryWalker::Options options;
    options.root = Tree();
    options.fileIncludes = kModelFileIncludes;
    options.folderExcludes = kModelFolderExcludes;
    options.kindsOnly = true;
    options.expectedEntries = kMaxLocalModels + 1;
    DirectoryWalker walker(std::move(options));
    walker.Walk();
    found = walker.Entries().size();
  }
  state.counters["files"] = static_cast<double>(found);
}
BENCHMARK(BM_ModelWalkOnly)->Unit(benchmark::kMillisecond);

void BM_ScanAircraftFolder(benchmark::State& state) {
  if (Tree().empty() || AllocateTables() != 1 || !LoadShippedTypes()) {
    state.SkipWithError("tree, tables or type table missing");
    return;
  }
  SilentLog log;
  ModelScanCount count;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) count = ScanAircraftFolder(Tree(), g_localModelTables(), g_aircraftTypeDb(), log);
  const double scanSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
                             static_cast<double>(state.iterations());
  state.counters["files"] = count.filesFound;
  state.counters["models"] = count.modelsStored;
  if (g_walkSeconds > 0) {
    state.counters["ratio_to_walk"] = scanSeconds / g_walkSeconds;
    state.counters["goal_ratio"] = kGoalRatio;
  }
}
BENCHMARK(BM_ScanAircraftFolder)->Unit(benchmark::kMillisecond);
}  // namespace

BENCHMARK_MAIN();
