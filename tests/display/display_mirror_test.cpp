#include <gtest/gtest.h>

#include <QPaintEvent>
#include <QWidget>
#include <chrono>
#include <functional>
#include <map>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/display/display_session.h"
#include "win/controls.h"
#include "win/dialog.h"
#include "win/display/mirror.h"
#include "win/display_hooks.h"
#include "win/window.h"
#include "win/window_pos.h"

namespace {

using win::display::CurrentMirror;

constexpr int kBoundMs = 20'000;
constexpr int kFirstId = 501;
constexpr int kSecondId = 502;

// A dialog on screen with two controls; every case starts from it synced.
class DisplayMirror : public ::testing::Test {
 protected:
  void SetUp() override {
    tk_test::StartShownDisplay();
    ASSERT_TRUE(dialog_.Create());
    dialog_.SetWindowText("Mirrored");
    dialog_.MoveWindow(40, 30, 300, 200);
    ASSERT_TRUE(first_.Create("One", WS_VISIBLE, RECT{10, 10, 110, 30}, &dialog_, kFirstId));
    ASSERT_TRUE(second_.Create("Two", WS_VISIBLE, RECT{10, 40, 110, 60}, &dialog_, kSecondId));
    dialog_.ShowWindow(SW_SHOW);
    ASSERT_TRUE(tk_test::PumpUntil(kBoundMs, [&] { return Widget(second_) != nullptr && Widget(dialog_)->isVisible(); }));
  }
  void TearDown() override {
    dialog_.DestroyWindow();
    tk_test::PumpPending();
  }

  static QWidget* Widget(const CWnd& window) { return CurrentMirror()->WidgetOf(window.m_hWnd); }

 public:
  // Reached by the cases' changes.
  CDialog dialog_;
  CStatic first_;
  CStatic second_;
  HWND gone_ = 0;
};

TEST_F(DisplayMirror, WidgetsFollowTheirModels) {
  struct Case {
    const char* what;
    std::function<void(DisplayMirror&)> change;
    std::function<bool(DisplayMirror&)> shows;
  };
  const Case cases[] = {
      {"the dialog's caption", [](DisplayMirror& t) { t.dialog_.SetWindowText("Renamed"); },
       [](DisplayMirror& t) { return Widget(t.dialog_)->windowTitle() == "Renamed"; }},
      {"a control hidden", [](DisplayMirror& t) { t.first_.ShowWindow(SW_HIDE); },
       [](DisplayMirror& t) { return Widget(t.first_)->isHidden(); }},
      {"a control shown again", [](DisplayMirror& t) { t.first_.ShowWindow(SW_SHOW); },
       [](DisplayMirror& t) { return !Widget(t.first_)->isHidden(); }},
      {"a control disabled", [](DisplayMirror& t) { t.second_.EnableWindow(FALSE); },
       [](DisplayMirror& t) { return !Widget(t.second_)->isEnabled(); }},
      {"a control enabled again", [](DisplayMirror& t) { t.second_.EnableWindow(TRUE); },
       [](DisplayMirror& t) { return Widget(t.second_)->isEnabled(); }},
      {"a control moved", [](DisplayMirror& t) { t.second_.MoveWindow(20, 70, 150, 25); },
       [](DisplayMirror& t) { return Widget(t.second_)->geometry() == QRect(20, 70, 150, 25); }},
      {"the dialog moved", [](DisplayMirror& t) { t.dialog_.MoveWindow(60, 50, 320, 210); },
       [](DisplayMirror& t) { return Widget(t.dialog_)->geometry() == QRect(60, 50, 320, 210); }},
      {"the dialog hidden", [](DisplayMirror& t) { t.dialog_.ShowWindow(SW_HIDE); },
       [](DisplayMirror& t) { return !Widget(t.dialog_)->isVisible(); }},
      {"the dialog shown again", [](DisplayMirror& t) { t.dialog_.ShowWindow(SW_SHOW); },
       [](DisplayMirror& t) { return Widget(t.dialog_)->isVisible(); }},
      {"a control destroyed",
       [](DisplayMirror& t) {
         t.gone_ = t.first_.m_hWnd;
         t.first_.DestroyWindow();
       },
       [](DisplayMirror& t) { return CurrentMirror()->WidgetOf(t.gone_) == nullptr; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.change(*this);
    EXPECT_TRUE(tk_test::PumpUntil(kBoundMs, [&] { return c.shows(*this); }));
  }
}

TEST_F(DisplayMirror, AControlMadeLaterIsShownBelowTheFirstOnes) {
  CStatic third;
  ASSERT_TRUE(third.Create("Three", WS_VISIBLE, RECT{5, 5, 200, 100}, &dialog_, 503));
  ASSERT_TRUE(tk_test::PumpUntil(kBoundMs, [&] { return Widget(third) != nullptr; }));
  QWidget* made = Widget(third);
  EXPECT_EQ(made->parentWidget(), Widget(dialog_));
  EXPECT_EQ(made->geometry(), QRect(5, 5, 195, 95));
  // The first control made lies on top, as the dialog's z-order has it.
  EXPECT_EQ(Widget(dialog_)->childAt(50, 20), Widget(first_));
  EXPECT_EQ(Widget(dialog_)->childAt(150, 90), made);
}

// Keeps the areas a widget is asked to paint.
class PaintAreas : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) areas.push_back(static_cast<QPaintEvent*>(event)->rect());
    return false;
  }
  std::vector<QRect> areas;
};

// A window that paints itself, only what was invalidated.
class SelfPainted : public CWnd {
 public:
  ~SelfPainted() override { DestroyWindow(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message != WM_PAINT) return CWnd::WindowProc(message, wParam, lParam);
    PAINTSTRUCT paint;
    BeginPaint(m_hWnd, &paint);
    ++paints;
    EndPaint(m_hWnd, &paint);
    return 0;
  }
  int paints = 0;
};

TEST_F(DisplayMirror, OnlyWhatTheModelPaintedAgainIsShownAgain) {
  SelfPainted painted;
  ASSERT_TRUE(painted.CreateHandle(WindowCreateParams{&dialog_, 504, 0, WS_CHILD | WS_VISIBLE}));
  painted.MoveWindow(150, 20, 100, 80);
  ASSERT_TRUE(tk_test::PumpUntil(kBoundMs, [&] { return Widget(painted) != nullptr && painted.paints > 0; }));
  tk_test::PumpPending();
  PaintAreas seen;
  Widget(painted)->installEventFilter(&seen);
  const RECT part{10, 20, 30, 25};
  InvalidateRect(painted.m_hWnd, &part, FALSE);
  ASSERT_TRUE(tk_test::PumpUntil(kBoundMs, [&] { return !seen.areas.empty(); }));
  tk_test::PumpPending();
  EXPECT_EQ(seen.areas, (std::vector<QRect>{QRect(10, 20, 20, 5)}));
  Widget(painted)->removeEventFilter(&seen);
}

TEST_F(DisplayMirror, AWindowDestroyedWhileItsChangeIsPendingDropsTheChange) {
  const HWND gone = first_.m_hWnd;
  QPointer<QWidget> widget = Widget(first_);
  // Changed and destroyed before the UI thread syncs: the change is dropped with the window.
  std::thread way([this] {
    first_.MoveWindow(1, 2, 3, 4);
    first_.SetWindowText("late");
  });
  way.join();
  first_.DestroyWindow();
  win::display::NotifyChanged(gone, win::display::kMoved | win::display::kText);
  ASSERT_TRUE(tk_test::PumpUntil(kBoundMs, [&] { return widget.isNull(); }));
  EXPECT_EQ(CurrentMirror()->WidgetOf(gone), nullptr);
  tk_test::PumpPending();
  EXPECT_EQ(CurrentMirror()->WidgetOf(gone), nullptr) << "a late change made the widget again";
}

TEST_F(DisplayMirror, ABurstFromAWayThreadIsSyncedAFewTimesWithoutWaitingForTheUiThread) {
  const std::uint64_t before = CurrentMirror()->SyncCount();
  // The UI thread is busy (this thread waits on the way thread without pumping).
  auto burst = std::async(std::launch::async, [this] {
    for (int i = 1; i <= 1000; ++i) second_.MoveWindow(i % 100, 70, 100 + i % 7, 20);
  });
  ASSERT_EQ(burst.wait_for(std::chrono::milliseconds(kBoundMs)), std::future_status::ready)
      << "the way thread waited for the busy UI thread";
  ASSERT_TRUE(tk_test::PumpUntil(kBoundMs, [&] { return Widget(second_)->geometry() == QRect(0, 70, 106, 20); }));
  tk_test::PumpPending();
  EXPECT_LE(CurrentMirror()->SyncCount() - before, 5u) << "the burst was not coalesced";
}

// An idle screen draws again only the window whose model changed.
TEST_F(DisplayMirror, RepaintsAreCountedForTheWindowWhoseWidgetWasDrawnAgain) {
  const win::display::Hooks* hooks = win::display::CurrentHooks();
  ASSERT_NE(hooks, nullptr);
  ASSERT_TRUE(hooks->takeRepaints);
  std::map<HWND, std::uint64_t> seen;
  auto gather = [&] {
    for (const auto& [hwnd, count] : hooks->takeRepaints()) seen[hwnd] += count;
  };
  // The first show draws both controls.
  ASSERT_TRUE(tk_test::PumpUntil(kBoundMs, [&] {
    gather();
    return seen.count(first_.m_hWnd) != 0 && seen.count(second_.m_hWnd) != 0;
  }));
  tk_test::PumpPending();
  hooks->takeRepaints();
  seen.clear();
  first_.SetWindowText("Changed");
  ASSERT_TRUE(tk_test::PumpUntil(kBoundMs, [&] {
    gather();
    return seen.count(first_.m_hWnd) != 0;
  }));
  tk_test::PumpPending();
  gather();
  EXPECT_EQ(seen.count(second_.m_hWnd), 0u) << "the unchanged control is not drawn again";
}

}  // namespace
