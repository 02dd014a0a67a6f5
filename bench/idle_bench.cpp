// The idle client's wake-ups and CPU over 10 s, logged in to the stand-ins'
// node: with no peers, and with 50 callers connected to its listening port
// and silent. Wake-ups come from /proc (context switches of every thread),
// CPU from the process's CPU clock (run time of every thread, in
// nanoseconds); both are printed beside their goals. The painted area comes
// from the automation's `painted` request: the pixels painted per second and
// which windows painted them.
//
// Shown on a virtual X screen of its own (Xvfb), with every window the main
// dialog's buttons toggle made visible, the client's wake-ups (voluntary
// context switches) are set against those of the headless client with the
// same windows visible, and the display's repaints (the automation's
// `repaints`: every paint the toolkit ran, by window) against the windows
// whose models painted again.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "bench/idle_client.h"

namespace {

constexpr auto kMeasured = std::chrono::seconds(10);
constexpr auto kSettle = std::chrono::seconds(3);
constexpr double kGoalWakeups = 50.0;  // per second, logged in

struct Result {
  std::string name;
  bool shown = false;
  bool everyWindow = false;
  std::string skipped{};  // why a case did not run
  double voluntaryPerSecond = 0;
  double repaintsPerSecond = 0;
  std::string repainters{};     // "<template> [<id>] <count>" of each window repainted, "; "-joined
  std::string notPainted{};     // windows repainted whose models did not paint, "; "-joined
  std::map<std::string, double> threadWakeups{};  // per second, by thread name
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
// The windows named in answer lines "<word> <template> [<id>] <figure>".
std::set<std::string> Named(const std::vector<std::string>& lines, const std::string& word) {
  std::set<std::string> names;
  for (const std::string& line : lines) {
    if (line.rfind(word + " ", 0) != 0) continue;
    const std::string rest = line.substr(word.size() + 1);
    const std::size_t last = rest.rfind(' ');
    if (last != std::string::npos) names.insert(rest.substr(0, last));
  }
  return names;
}

std::vector<Result> results;

// `shown`: on a virtual screen; `everyWindow`: every toggled window made visible.
void IdleRun(benchmark::State& state, const char* name, std::size_t peers, double cpuGoal, bool shown = false,
             bool everyWindow = false) {
  Result result;
  result.name = name;
  result.cpuGoal = cpuGoal;
  result.peersAsked = peers;
  result.shown = shown;
  result.everyWindow = everyWindow;
  for (auto _ : state) {
    IdleClient client;
    std::unique_ptr<VirtualScreen> screen;
    if (shown) {
      if (access("/usr/bin/Xvfb", X_OK) != 0 || access("/usr/bin/xdotool", X_OK) != 0) {
        result.skipped = "no Xvfb or xdotool here (scripts/setup.sh installs them)";
        state.SkipWithError(result.skipped.c_str());
        break;
      }
      screen = std::make_unique<VirtualScreen>(client.Folder());
      if (screen->Name().empty()) {
        result.skipped = "Xvfb did not start";
        state.SkipWithError(result.skipped.c_str());
        break;
      }
      client.ShowOn(screen->Name());
    }
    if (!client.StartAndLogIn() || (everyWindow && !client.ShowEveryWindow())) {
      result.skipped = client.Error();
      state.SkipWithError(client.Error().c_str());
      break;
    }
    if (peers > 0) result.peers = client.ConnectIdlePeers(peers);
    std::this_thread::sleep_for(kSettle);

    ProcessFigures before, after;
    client.Ask("painted");  // the counts start now
    client.Ask("repaints");
    const auto start = std::chrono::steady_clock::now();
    const bool read = ReadProcessFigures(client.ClientPid(), before);
    const std::map<std::string, std::uint64_t> threadsBefore = ReadThreadWakeups(client.ClientPid());
    std::this_thread::sleep_for(kMeasured);
    const bool readAgain = ReadProcessFigures(client.ClientPid(), after);
    const std::map<std::string, std::uint64_t> threadsAfter = ReadThreadWakeups(client.ClientPid());
    const std::vector<std::string> painted = client.Ask("painted");
    const std::vector<std::string> repaints = client.Ask("repaints");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.paintedPerSecond = SumPainted(painted, result.painters) / seconds;
    double repaintCount = 0;
    for (const std::string& line : repaints) {
      if (line.rfind("repaints ", 0) != 0) continue;
      const std::string rest = line.substr(9);
      repaintCount += std::strtod(rest.c_str() + rest.rfind(' ') + 1, nullptr);
      if (!result.repainters.empty()) result.repainters += "; ";
      result.repainters += rest;
    }
    result.repaintsPerSecond = repaintCount / seconds;
    for (const auto& [thread, count] : threadsAfter) {
      const auto was = threadsBefore.find(thread);
      const std::uint64_t from = was == threadsBefore.end() ? 0 : was->second;
      if (count > from) result.threadWakeups[thread] = static_cast<double>(count - from) / seconds;
    }
    const std::set<std::string> paintedNames = Named(painted, "painted");
    for (const std::string& window : Named(repaints, "repaints")) {
      if (paintedNames.count(window) != 0) continue;
      if (!result.notPainted.empty()) result.notPainted += "; ";
      result.notPainted += window;
    }
    if (peers > 0) result.peers = client.OpenPeers();
    client.Stop();
    if (!read || !readAgain) {
      state.SkipWithError("the client's /proc entries could not be read");
      break;
    }
    state.SetIterationTime(seconds);
    result.wakeupsPerSecond = static_cast<double>(after.contextSwitches - before.contextSwitches) / seconds;
    result.voluntaryPerSecond = static_cast<double>(after.voluntarySwitches - before.voluntarySwitches) / seconds;
    result.cpuPercent = 100.0 * static_cast<double>(after.cpuNanoseconds - before.cpuNanoseconds) / 1e9 / seconds;
    result.threads = after.threads;
    result.ok = true;
  }
  state.counters["wakeups_per_s"] = result.wakeupsPerSecond;
  state.counters["cpu_pct_core"] = result.cpuPercent;
  state.counters["peers_open"] = static_cast<double>(result.peers);
  state.counters["threads"] = static_cast<double>(result.threads);
  state.counters["painted_px_per_s"] = result.paintedPerSecond;
  state.counters["voluntary_per_s"] = result.voluntaryPerSecond;
  state.counters["repaints_per_s"] = result.repaintsPerSecond;
  results.push_back(result);
}

// The shown client against the headless one without peers.
void PrintShownSummary() {
  // The headless client with the same windows visible: what the display adds.
  const Result* headless = nullptr;
  for (const Result& r : results) {
    if (!r.shown && r.peersAsked == 0 && r.ok && (headless == nullptr || r.everyWindow)) headless = &r;
  }
  for (const Result& r : results) {
    if (!r.shown) continue;
    std::printf("\nshown on a virtual screen, every window visible:\n");
    if (!r.ok) {
      std::printf("  not measured%s%s\n", r.skipped.empty() ? "" : ": ", r.skipped.c_str());
      continue;
    }
    std::printf("  goal: repaints only the controls whose content changed: the countdown, the dashboard rates\n");
    std::printf("  repaints/s %.1f by window (<template> [<id>] <count>): %s\n", r.repaintsPerSecond,
                r.repainters.empty() ? "none" : r.repainters.c_str());
    std::printf("  windows the models painted again (content changed): %s\n", r.painters.empty() ? "none" : r.painters.c_str());
    std::printf("  repainted without their model painting: %s -> %s\n", r.notPainted.empty() ? "none" : r.notPainted.c_str(),
                r.notPainted.empty() ? "met" : "NOT MET");
    std::printf("  goal: wakes no more than headless plus those repaints\n");
    if (headless == nullptr) {
      std::printf("  voluntary wake-ups/s %.1f (no headless figure to compare: run idle/headless_every_window too)\n",
                  r.voluntaryPerSecond);
      continue;
    }
    const double bound = headless->voluntaryPerSecond + r.repaintsPerSecond;
    std::printf("  against the headless case \"%s\"\n", headless->name.c_str());
    std::printf("  voluntary wake-ups/s %.1f, headless %.1f + repaints %.1f = %.1f -> %s\n", r.voluntaryPerSecond,
                headless->voluntaryPerSecond, r.repaintsPerSecond, bound, r.voluntaryPerSecond <= bound ? "met" : "NOT MET");
    std::printf("  (all context switches/s %.1f, headless %.1f)\n", r.wakeupsPerSecond, headless->wakeupsPerSecond);
    std::printf("  voluntary wake-ups/s by thread name, shown against headless:\n");
    std::set<std::string> threads;
    for (const auto& entry : r.threadWakeups) threads.insert(entry.first);
    for (const auto& entry : headless->threadWakeups) threads.insert(entry.first);
    for (const std::string& thread : threads) {
      const auto shownAt = r.threadWakeups.find(thread);
      const auto headlessAt = headless->threadWakeups.find(thread);
      const double shownRate = shownAt == r.threadWakeups.end() ? 0 : shownAt->second;
      const double headlessRate = headlessAt == headless->threadWakeups.end() ? 0 : headlessAt->second;
      std::printf("    %-16s %6.1f %6.1f\n", thread.c_str(), shownRate, headlessRate);
    }
  }
}

void PrintSummary() {
  std::printf("\n%-26s %14s %12s %16s %12s %7s %8s\n", "case", "wake-ups/s", "goal", "CPU % of a core", "goal",
              "peers", "threads");
  for (const Result& r : results) {
    if (!r.ok) {
      std::printf("%-26s not measured%s%s\n", r.name.c_str(), r.skipped.empty() ? "" : ": ", r.skipped.c_str());
      continue;
    }
    // The wake-up goal is that of the headless client without peers.
    const bool wakeGoal = r.peersAsked == 0 && !r.shown && !r.everyWindow;
    char wakeGoalText[32] = "-";
    if (wakeGoal) {
      std::snprintf(wakeGoalText, sizeof wakeGoalText, "< %.0f %s", kGoalWakeups,
                    r.wakeupsPerSecond < kGoalWakeups ? "met" : "NOT MET");
    }
    char cpuGoalText[32] = "-";
    if (r.cpuGoal > 0) {
      std::snprintf(cpuGoalText, sizeof cpuGoalText, "< %.1f %s", r.cpuGoal, r.cpuPercent < r.cpuGoal ? "met" : "NOT MET");
    }
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
  PrintShownSummary();
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
  benchmark::RegisterBenchmark("idle/headless_every_window",
                               [](benchmark::State& s) { IdleRun(s, "headless, every window", 0, 0, false, true); })
      ->Iterations(1)
      ->UseManualTime()
      ->Unit(benchmark::kSecond);
  benchmark::RegisterBenchmark("idle/shown_every_window",
                               [](benchmark::State& s) { IdleRun(s, "shown, every window", 0, 0, true, true); })
      ->Iterations(1)
      ->UseManualTime()
      ->Unit(benchmark::kSecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintSummary();
  return 0;
}
