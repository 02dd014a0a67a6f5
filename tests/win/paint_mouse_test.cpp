#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "tests/win/paint_probe.h"
#include "win/button_ctrl.h"
#include "win/clock.h"
#include "win/cursors.h"
#include "win/dialog.h"
#include "win/menu.h"
#include "win/mouse.h"

namespace {

using tk_test::DrainMessages;
using tk_test::UiThread;

struct Seen {
  UINT message;
  WPARAM wParam;
  POINT at;
};

// A dialog at (100, 100), 200 x 100 on the screen, that records its mouse messages.
class MouseDialog : public CDialog {
 public:
  MouseDialog() : CDialog(0) {}
  ~MouseDialog() override { DestroyWindow(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if ((message >= WM_MOUSEMOVE && message <= WM_RBUTTONDBLCLK) || message == WM_MOUSELEAVE ||
        message == WM_CAPTURECHANGED || message == WM_COMMAND || message == WM_ACTIVATE ||
        message == WM_SYSCOLORCHANGE || message == WM_CONTEXTMENU) {
      std::lock_guard lock(mutex);
      seen.push_back(Seen{message, wParam, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}});
    }
    return CDialog::WindowProc(message, wParam, lParam);
  }
  std::vector<Seen> Take() {
    std::lock_guard lock(mutex);
    return std::exchange(seen, {});
  }
  std::size_t Count(UINT message) {
    std::lock_guard lock(mutex);
    std::size_t n = 0;
    for (const Seen& s : seen) n += s.message == message ? 1 : 0;
    return n;
  }
  std::mutex mutex;
  std::vector<Seen> seen;
};

class Mouse : public ::testing::Test {
 protected:
  void SetUp() override {
    win::ResetMouseForTest();
    ui.Run([&] {
      ASSERT_TRUE(dialog.Create());
      SetWindowPos(dialog.m_hWnd, HWND_TOP, 100, 100, 200, 100, SWP_NOZORDER);
      ASSERT_TRUE(button.Create("Go", BS_PUSHBUTTON | WS_VISIBLE, RECT{10, 10, 70, 30}, &dialog, 5));
      dialog.ShowWindow(SW_SHOW);
    });
    DrainMessages(ui);
    dialog.Take();
  }
  void TearDown() override {
    win::ResetMouseForTest();
    ui.Run([&] {
      button.DestroyWindow();
      dialog.DestroyWindow();
    });
  }
  UiThread ui;
  MouseDialog dialog;
  CButton button;
};

TEST_F(Mouse, TheWindowUnderTheCursorGetsItsMovesInItsOwnCoordinates) {
  EXPECT_EQ(WindowFromPoint(POINT{130, 115}), button.m_hWnd);
  EXPECT_EQ(WindowFromPoint(POINT{250, 150}), dialog.m_hWnd);
  EXPECT_EQ(WindowFromPoint(POINT{50, 50}), 0u);
  EXPECT_EQ(ChildWindowFromPoint(dialog.m_hWnd, POINT{20, 20}), button.m_hWnd);
  win::MouseMoveTo(POINT{250, 150});
  POINT cursor;
  ASSERT_TRUE(GetCursorPos(&cursor));
  EXPECT_EQ(cursor, (POINT{250, 150}));
  const std::vector<Seen> seen = dialog.Take();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].message, static_cast<UINT>(WM_MOUSEMOVE));
  EXPECT_EQ(seen[0].at, (POINT{150, 50}));
}

TEST_F(Mouse, LeaveTrackingPostsOneMouseLeave) {
  win::MouseMoveTo(POINT{250, 150});
  TRACKMOUSEEVENT track;
  track.dwFlags = TME_LEAVE;
  track.hwndTrack = dialog.m_hWnd;
  ASSERT_TRUE(_TrackMouseEvent(&track));
  win::MouseMoveTo(POINT{260, 160});  // still over it
  win::MouseMoveTo(POINT{20, 20});    // gone
  win::MouseMoveTo(POINT{10, 10});
  DrainMessages(ui);
  EXPECT_EQ(dialog.Count(WM_MOUSELEAVE), 1u);
  // Asked while not over the window: it has left already.
  ASSERT_TRUE(_TrackMouseEvent(&track));
  DrainMessages(ui);
  EXPECT_EQ(dialog.Count(WM_MOUSELEAVE), 2u);
}

TEST_F(Mouse, TheCaptureWindowGetsTheMouseWherever) {
  ui.Run([&] { SetCapture(dialog.m_hWnd); });
  EXPECT_EQ(GetCapture(), dialog.m_hWnd);
  win::MouseMoveTo(POINT{130, 115});  // over the button
  win::MouseMoveTo(POINT{50, 50});    // over nothing
  std::vector<Seen> seen = dialog.Take();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].at, (POINT{30, 15}));
  EXPECT_EQ(seen[1].at, (POINT{-50, -50}));
  ui.Run([&] { SetCapture(button.m_hWnd); });
  seen = dialog.Take();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].message, static_cast<UINT>(WM_CAPTURECHANGED));
  ui.Run([] { ReleaseCapture(); });
  EXPECT_EQ(GetCapture(), 0u);
}

TEST_F(Mouse, AHeldButtonShowsPushedAndClicksOnlyWhenReleasedOverIt) {
  win::MouseMoveTo(POINT{130, 115});
  win::MouseLeftDown();
  EXPECT_EQ(button.GetState() & BST_PUSHED, BST_PUSHED);
  win::MouseMoveTo(POINT{250, 150});
  EXPECT_EQ(button.GetState() & BST_PUSHED, 0u) << "dragged off";
  win::MouseMoveTo(POINT{131, 116});
  EXPECT_EQ(button.GetState() & BST_PUSHED, BST_PUSHED) << "back over it";
  win::MouseLeftUp();
  EXPECT_EQ(button.GetState() & BST_PUSHED, 0u);
  EXPECT_EQ(dialog.Count(WM_COMMAND), 1u);

  win::ResetMouseForTest();
  win::MouseMoveTo(POINT{130, 115});
  win::MouseLeftDown();
  win::MouseMoveTo(POINT{250, 150});
  win::MouseLeftUp();
  EXPECT_EQ(dialog.Count(WM_COMMAND), 1u) << "released elsewhere: no click";
  EXPECT_EQ(GetCapture(), 0u);
}

TEST_F(Mouse, ASecondPressSoonAfterOnTheSameWindowIsADoubleClick) {
  // Ten minutes count as soon, so that the test never races the clock; then
  // the clock moves past them.
  const UINT saved = GetDoubleClickTime();
  SetDoubleClickTime(600'000);
  win::MouseMoveTo(POINT{250, 150});
  win::MouseLeftDown();
  win::MouseLeftUp();
  win::MouseLeftDown();
  win::MouseLeftUp();
  win::MouseLeftDown();
  win::MouseLeftUp();
  std::vector<UINT> presses;
  for (const Seen& s : dialog.Take()) {
    if (s.message == WM_LBUTTONDOWN || s.message == WM_LBUTTONDBLCLK) presses.push_back(s.message);
  }
  EXPECT_EQ(presses, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN}));
  AdvanceTickCountForTest(600'001);
  win::MouseLeftDown();
  win::MouseLeftUp();
  EXPECT_EQ(dialog.Count(WM_LBUTTONDBLCLK), 0u) << "too late for a double click";
  SetDoubleClickTime(saved);
}

TEST_F(Mouse, AClickActivatesItsDialogAndAColourChangeReachesEveryWindow) {
  ui.Run([] { SetActiveWindow(0); });
  win::MouseClickAt(POINT{250, 150});
  EXPECT_EQ(GetActiveWindow(), dialog.m_hWnd);
  EXPECT_EQ(dialog.Count(WM_ACTIVATE), 1u);
  win::MouseClickAt(POINT{251, 150});
  EXPECT_EQ(dialog.Count(WM_ACTIVATE), 1u) << "already active";
  win::BroadcastSysColorChange();
  EXPECT_EQ(dialog.Count(WM_SYSCOLORCHANGE), 1u);
}

// The context menu is asked of the dialog, with the window clicked and the
// point on the screen, whether the click fell on a child or on the dialog.
TEST_F(Mouse, ARightClickAsksTheDialogForItsContextMenuAtTheScreenPoint) {
  const struct {
    POINT at;
    HWND clicked;
  } cases[] = {{POINT{130, 115}, button.m_hWnd}, {POINT{250, 150}, dialog.m_hWnd}};
  for (const auto& c : cases) {
    win::MouseMoveTo(c.at);
    dialog.Take();
    win::MouseRightDown();
    EXPECT_EQ(dialog.Count(WM_CONTEXTMENU), 0u) << "not at the press";
    win::MouseRightUp();
    std::vector<Seen> menus;
    for (const Seen& s : dialog.Take()) {
      if (s.message == WM_CONTEXTMENU) menus.push_back(s);
    }
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].wParam, static_cast<WPARAM>(c.clicked));
    EXPECT_EQ(menus[0].at, c.at);
  }
}

TEST(Cursors, SystemCursorsAreSharedAndOthersOwned) {
  const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  ASSERT_NE(arrow, 0u);
  EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), arrow);
  const HCURSOR hand = LoadCursorA(nullptr, IDC_HAND);
  EXPECT_NE(hand, arrow);
  EXPECT_EQ(LoadCursorA(nullptr, "arrow"), 0u);
  const HCURSOR own = LoadCursorA(AfxGetResourceHandle(), MAKEINTRESOURCEA(300));
  ASSERT_NE(own, 0u);
  ASSERT_TRUE(win::CursorOf(own).has_value());
  EXPECT_EQ(win::CursorOf(own)->id, 300);
  const HCURSOR before = SetCursor(hand);
  EXPECT_EQ(SetCursor(own), hand);
  EXPECT_EQ(GetCursor(), own);
  EXPECT_TRUE(DestroyCursor(own));
  EXPECT_FALSE(DestroyCursor(own));
  EXPECT_TRUE(DestroyCursor(arrow));
  EXPECT_TRUE(win::CursorOf(arrow).has_value()) << "a shared cursor stays";
  EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), arrow) << "a shared cursor stays";
  SetCursor(before);
}

}  // namespace
