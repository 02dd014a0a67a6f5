#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <string>
#include <vector>

#include "tests/display/display_session.h"
#include "win/dialog.h"
#include "win/display/mirror.h"
#include "win/focus.h"
#include "win/key_input.h"
#include "win/keys.h"
#include "win/mouse.h"
#include "win/window.h"
#include "win/window_pos.h"

namespace {

using win::display::CurrentMirror;

constexpr int kBoundMs = 20'000;

struct Heard {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool operator==(const Heard&) const = default;
};

// A window that keeps the input messages it is given.
class Listener : public CWnd {
 public:
  ~Listener() override { DestroyWindow(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
      case WM_LBUTTONDOWN:
      case WM_LBUTTONUP:
      case WM_RBUTTONDOWN:
      case WM_KEYDOWN:
      case WM_KEYUP:
      case WM_CHAR:
      case WM_CLOSE:
        heard.push_back(Heard{message, wParam, lParam});
        return 0;
      default:
        return CWnd::WindowProc(message, wParam, lParam);
    }
  }
  bool Got(UINT message) const {
    for (const auto& h : heard) {
      if (h.message == message) return true;
    }
    return false;
  }
  std::vector<Heard> heard;
};

class DisplayInput : public ::testing::Test {
 protected:
  void SetUp() override {
    tk_test::StartShownDisplay();
    win::ResetMouseForTest();
    ASSERT_TRUE(top_.CreateHandle(WindowCreateParams{}));
    top_.MoveWindow(100, 80, 200, 150);
    ASSERT_TRUE(child_.CreateHandle(WindowCreateParams{&top_, 7, 0, WS_CHILD | WS_VISIBLE}));
    child_.MoveWindow(20, 30, 60, 40);
    top_.ShowWindow(SW_SHOW);
    ASSERT_TRUE(tk_test::PumpUntil(kBoundMs, [&] { return Widget(child_) != nullptr; }));
  }
  void TearDown() override {
    top_.DestroyWindow();
    tk_test::PumpPending();
    ResetKeyStates();
    win::ResetMouseForTest();
  }
  static QWidget* Widget(const CWnd& window) { return CurrentMirror()->WidgetOf(window.m_hWnd); }

  Listener top_;
  Listener child_;
};

TEST_F(DisplayInput, APressOnAPaintedChildReachesItsModelAtItsClientPoint) {
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 6), QPointF(5, 6), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(Widget(child_), &press);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 6), QPointF(5, 6), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QCoreApplication::sendEvent(Widget(child_), &release);
  ASSERT_TRUE(tk_test::PumpUntil(kBoundMs, [&] { return child_.Got(WM_LBUTTONUP); }));
  ASSERT_GE(child_.heard.size(), 2u);
  EXPECT_EQ(child_.heard[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
  EXPECT_EQ(child_.heard[0].lParam, MAKELPARAM(5, 6));
  EXPECT_EQ(child_.heard[1].message, static_cast<UINT>(WM_LBUTTONUP));
  EXPECT_FALSE(top_.Got(WM_LBUTTONDOWN)) << "the press went to the window under it";

  // On the window's own area, outside its child: to the window, at its point.
  QMouseEvent right(QEvent::MouseButtonPress, QPointF(150, 120), QPointF(150, 120), Qt::RightButton,
                    Qt::RightButton, Qt::NoModifier);
  QCoreApplication::sendEvent(Widget(top_), &right);
  ASSERT_TRUE(tk_test::PumpUntil(kBoundMs, [&] { return top_.Got(WM_RBUTTONDOWN); }));
  EXPECT_EQ(top_.heard.back().lParam, MAKELPARAM(150, 120));
}

TEST_F(DisplayInput, KeysReachTheFocusedModelWindowWithTheirCharacters) {
  SetFocus(child_.m_hWnd);
  QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
  QCoreApplication::sendEvent(Widget(top_), &press);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
  QCoreApplication::sendEvent(Widget(top_), &release);
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
  QCoreApplication::sendEvent(Widget(child_), &enter);
  ASSERT_TRUE(tk_test::PumpUntil(kBoundMs, [&] { return child_.heard.size() >= 5; }));
  const std::vector<Heard> expected{{WM_KEYDOWN, 'A', 0x00000001},
                                    {WM_CHAR, 'a', 0x00000001},
                                    {WM_KEYUP, 'A', static_cast<LPARAM>(0xC0000001)},
                                    {WM_KEYDOWN, VK_RETURN, 0x00000001},
                                    {WM_CHAR, '\r', 0x00000001}};
  EXPECT_EQ(child_.heard, expected);
  EXPECT_TRUE(top_.heard.empty());
  EXPECT_NE(GetKeyState(VK_RETURN) & 0x8000, 0) << "the key is held until it is let go";
}

TEST_F(DisplayInput, ClosingTheWindowAsksItsModelWhichDecides) {
  QCloseEvent close;
  QCoreApplication::sendEvent(Widget(top_), &close);
  ASSERT_TRUE(tk_test::PumpUntil(kBoundMs, [&] { return top_.Got(WM_CLOSE); }));
  tk_test::PumpPending();
  // This model keeps its window: so does the screen.
  ASSERT_NE(Widget(top_), nullptr);
  EXPECT_TRUE(Widget(top_)->isVisible());
  EXPECT_TRUE(IsWindowVisible(top_.m_hWnd));
}

}  // namespace
