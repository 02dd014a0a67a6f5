// The rules dialogs' combos on the display: eleven drop-down combos (two of
// them sorted) holding 43,000 models each, their widgets made, synced from
// the models and painted on Qt's offscreen platform. That first show is
// measured beside its goal of 200 ms, once the toolkit has started.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QWidget>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "win/controls.h"
#include "win/dialog.h"
#include "win/display/control_widget.h"
#include "win/display_hooks.h"
#include "win/window_pos.h"

namespace {

constexpr std::size_t kModels = 43'000;
constexpr std::size_t kCombos = 11;
constexpr double kGoalMs = 200.0;
constexpr unsigned kFirstSync = win::display::kCreated | win::display::kShown | win::display::kEnabled |
                                win::display::kMoved | win::display::kText | win::display::kContent |
                                win::display::kPainted | win::display::kStyle;

// Model items as the dialogs format them: " class - type : title", in table order.
std::vector<std::string> MakeItems() {
  constexpr std::array<const char*, 8> kClasses = {"L1P", "L2P", "L1T", "L2T", "L2J", "L3J", "L4J", "H1T"};
  constexpr std::array<const char*, 6> kTypes = {"C172", "B738", "A320", "AT72", "B744", "R44"};
  std::vector<std::string> items;
  items.reserve(kModels);
  unsigned seed = 43'000;
  for (std::size_t i = 0; i < kModels; ++i) {
    seed = seed * 1103515245u + 12345u;
    items.push_back(std::string(" ") + kClasses[(seed >> 16) % kClasses.size()] + " - " + kTypes[(seed >> 8) % kTypes.size()] +
                    " : Package " + std::to_string((seed >> 4) % 97) + "\\Model " + std::to_string(i) + "\\livery.acf");
  }
  return items;
}

double worstShowMs = 0;

void BM_ShowRulesDialogCombosOnTheDisplay(benchmark::State& state) {
  const std::vector<std::string> items = MakeItems();
  CDialog dialog;
  dialog.Create(9300, nullptr);
  std::vector<CComboBox*> combos;
  for (std::size_t c = 0; c < kCombos; ++c) {
    const DWORD style = CBS_DROPDOWNLIST | WS_VSCROLL | (c >= 9 ? CBS_SORT : 0);
    auto* combo = static_cast<CComboBox*>(dialog.AddControl(std::make_unique<CComboBox>(style), 9168 + static_cast<int>(c)));
    MoveWindow(combo->m_hWnd, 10, 10 + static_cast<int>(c) * 30, 300, 24, FALSE);
    combo->SetRedraw(FALSE);
    combo->SetItemData(combo->AddString(" "), 0);
    for (std::size_t i = 0; i < items.size(); ++i) combo->SetItemData(combo->AddString(items[i].c_str()), i + 1);
    combo->SetCurSel(0);
    combo->SetRedraw(TRUE);
    combos.push_back(combo);
  }
  {
    // The toolkit's one-time start (fonts, style) is done by the main dialog
    // before any rules dialog shows: done here before the timing too.
    QWidget warm;
    QComboBox box(&warm);
    box.addItem(QStringLiteral("warm"));
    warm.show();
    QApplication::processEvents();
  }
  using Clock = std::chrono::steady_clock;
  double totalMs = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    auto window = std::make_unique<QWidget>();
    window->resize(320, 10 + static_cast<int>(kCombos) * 30);
    std::vector<std::unique_ptr<win::display::ControlWidget>> widgets;
    for (std::size_t c = 0; c < kCombos; ++c) {
      const auto style = static_cast<DWORD>(GetWindowLongA(combos[c]->m_hWnd, GWL_STYLE));
      widgets.push_back(win::display::MakeControlWidget(combos[c]->m_hWnd, "combo", style, window.get()));
      if (!widgets.back()) {
        state.SkipWithError("no widget for a combo box");
        return;
      }
      widgets.back()->Widget()->setGeometry(10, 10 + static_cast<int>(c) * 30, 300, 24);
      widgets.back()->Sync(kFirstSync);
    }
    window->show();
    // The paint of every widget runs in the toolkit's events.
    QApplication::processEvents();
    window->repaint();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    state.SetIterationTime(ms / 1000.0);
    worstShowMs = std::max(worstShowMs, ms);
    totalMs += ms;
    widgets.clear();
    window.reset();
  }
  state.counters["show_ms_worst"] = worstShowMs;
  state.counters["show_ms_mean"] = totalMs / static_cast<double>(state.iterations());
  state.counters["goal_ms"] = kGoalMs;
  state.counters["items_per_combo"] = static_cast<double>(kModels + 1);
}

}  // namespace

int main(int argc, char** argv) {
  // Never a real desktop: the widgets paint on the offscreen platform.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RegisterBenchmark("combo_show/eleven_rules_combos_43000_models", BM_ShowRulesDialogCombosOnTheDisplay)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond)
      ->Iterations(10);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("\nfirst show of %zu combos of %zu models on the display: worst %.1f ms, goal < %.0f ms: %s\n", kCombos,
              kModels + 1, worstShowMs, kGoalMs, worstShowMs < kGoalMs ? "met" : "NOT MET");
  return 0;
}
