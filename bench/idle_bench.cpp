// The idle client's wake-ups and CPU over 10 s, logged in to the stand-ins'
// node: with no peers, and with 50 callers connected to its listening port
// and silent. Wake-ups come from /proc (context switches of every thread),
// CPU from the process's CPU clock (run time of every thread, in
// nanoseconds); both are printed beside their goals. The painted area comes
// from the automation's `painted` request: the pixels painted per second and
// which windows painted them.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench/idle_client.h"

namespace {

constexpr auto kMeasured = std::chrono::seconds(10);
constexpr auto kSettle = std::chrono::seconds(3);
constexpr double kGoalWakeups = 50.0;  // per second, logged in

struct Result {
  std::string name;
  double wakeupsPerSecond = 0;
  double cpuPercent = 0;
  double cpuGoal = 0;
  std::size_t peers = 0;
  std::size_t peersAsked = 0;
  std::size_t threads = 0;
  double paintedPerSecond = 0;  // pixels
  std::string painters{};       // "<template> <id> <pixels>" of each window that painted, "; "-joined
  bool ok = false;
};

// The `painted` answer summed up: pixels, and who painted how much.
double SumPainted(const std::vector<std::string>& lines, std::string& painters) {
  double total = 0;
  for (const std::string& line : lines) {
    if (line.rfind("painted ", 0) != 0) continue;
    const std::string rest = line.substr(8);
    const std::size_t last = rest.rfind(' ');
    if (last == std::string::npos) continue;
    total += std::strtod(rest.c_str() + last + 1, nullptr);
    if (!painters.empty()) painters += "; ";
    painters += rest;
  }
  return total;
}
std::vector<Result> results;

void IdleRun(benchmark::State& state, const char* name, std::size_t peers, double cpuGoal) {
  Result result{name, 0, 0, cpuGoal, 0, peers};
  for (auto _ : state) {
    IdleClient client;
    if (!client.StartAndLogIn()) {
      state.SkipWithError(client.Error().c_str());
      break;
    }
    if (peers > 0) result.peers = client.ConnectIdlePeers(peers);
    std::this_thread::sleep_for(kSettle);

    ProcessFigures before, after;
    client.Ask("painted");  // the count starts now
    const auto start = std::chrono::steady_clock::now();
    const bool read = ReadProcessFigures(client.ClientPid(), before);
    std::this_thread::sleep_for(kMeasured);
    const bool readAgain = ReadProcessFigures(client.ClientPid(), after);
    const std::vector<std::string> painted = client.Ask("painted");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.paintedPerSecond = SumPainted(painted, result.painters) / seconds;
    if (peers > 0) result.peers = client.OpenPeers();
    client.Stop();
    if (!read || !readAgain) {
      state.SkipWithError("the client's /proc entries could not be read");
      break;
    }
    state.SetIterationTime(seconds);
    result.wakeupsPerSecond = static_cast<double>(after.contextSwitches - before.contextSwitches) / seconds;
    result.cpuPercent = 100.0 * static_cast<double>(after.cpuNanoseconds - before.cpuNanoseconds) / 1e9 / seconds;
    result.threads = after.threads;
    result.ok = true;
  }
  state.counters["wakeups_per_s"] = result.wakeupsPerSecond;
  state.counters["cpu_pct_core"] = result.cpuPercent;
  state.counters["peers_open"] = static_cast<double>(result.peers);
  state.counters["threads"] = static_cast<double>(result.threads);
  state.counters["painted_px_per_s"] = result.paintedPerSecond;
  results.push_back(result);
}

void PrintSummary() {
  std::printf("\n%-26s %14s %12s %16s %12s %7s %8s\n", "case", "wake-ups/s", "goal", "CPU % of a core", "goal",
              "peers", "threads");
  for (const Result& r : results) {
    if (!r.ok) {
      std::printf("%-26s not measured\n", r.name.c_str());
      continue;
    }
    const bool wakeGoal = r.peersAsked == 0;  // the wake-up goal is that of the client without peers
    char wakeGoalText[32] = "-";
    if (wakeGoal) {
      std::snprintf(wakeGoalText, sizeof wakeGoalText, "< %.0f %s", kGoalWakeups,
                    r.wakeupsPerSecond < kGoalWakeups ? "met" : "NOT MET");
    }
    char cpuGoalText[32];
    std::snprintf(cpuGoalText, sizeof cpuGoalText, "< %.1f %s", r.cpuGoal, r.cpuPercent < r.cpuGoal ? "met" : "NOT MET");
    std::printf("%-26s %14.1f %12s %16.3f %12s %3zu/%-3zu %8zu\n", r.name.c_str(), r.wakeupsPerSecond, wakeGoalText,
                r.cpuPercent, cpuGoalText, r.peers, r.peersAsked, r.threads);
  }
  std::printf("(over %lld s after login; wake-ups: voluntary + non-voluntary context switches of all threads)\n",
              static_cast<long long>(kMeasured.count()));
  std::printf("\n%-26s %18s  %s\n", "case", "painted pixels/s", "windows that painted (<template> [<id>] <pixels>)");
  for (const Result& r : results) {
    if (!r.ok) continue;
    std::printf("%-26s %18.1f  %s\n", r.name.c_str(), r.paintedPerSecond, r.painters.empty() ? "none" : r.painters.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RegisterBenchmark("idle/no_peers", [](benchmark::State& s) { IdleRun(s, "logged in, no peers", 0, 0.3); })
      ->Iterations(1)
      ->UseManualTime()
      ->Unit(benchmark::kSecond);
  benchmark::RegisterBenchmark("idle/50_idle_peers", [](benchmark::State& s) { IdleRun(s, "logged in, 50 idle peers", 50, 1.0); })
      ->Iterations(1)
      ->UseManualTime()
      ->Unit(benchmark::kSecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintSummary();
  return 0;
}
