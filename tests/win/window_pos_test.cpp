#include <gtest/gtest.h>

#include <vector>

#include "tests/win/ui_thread.h"
#include "win/controls.h"
#include "win/dialog.h"
#include "win/window_pos.h"

namespace {

struct Notice {
  UINT message;
  LPARAM lParam;
  bool operator==(const Notice&) const = default;
};

class PlacedDialog : public CDialog {
 public:
  ~PlacedDialog() override { DestroyWindow(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_MOVE || message == WM_SIZE) notices.push_back(Notice{message, lParam});
    return CDialog::WindowProc(message, wParam, lParam);
  }
  std::vector<Notice> notices;
};

TEST(WindowPositions, SetWindowPosHonoursEachFlag) {
  PlacedDialog dialog;
  ASSERT_TRUE(dialog.Create(9200, nullptr));
  ASSERT_TRUE(SetWindowPos(dialog.m_hWnd, HWND_TOP, 10, 20, 300, 40, SWP_NOZORDER));
  struct Case {
    int x, y, cx, cy;
    UINT flags;
    RECT after;
    std::vector<Notice> notices;
  };
  const std::vector<Case> cases = {
      {50, 60, 1, 1, SWP_NOSIZE | SWP_NOZORDER, {50, 60, 350, 100}, {{WM_MOVE, MAKELONG(50, 60)}}},
      {0, 0, 110, 40, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE, {50, 60, 160, 100}, {{WM_SIZE, MAKELONG(110, 40)}}},
      {7, 8, 9, 10, SWP_NOMOVE | SWP_NOSIZE, {50, 60, 160, 100}, {}},
      {50, 60, -5, 40, SWP_NOZORDER, {50, 60, 50, 100}, {{WM_SIZE, MAKELONG(0, 40)}}},
      {-20, 5, 0, 40, 0, {-20, 5, -20, 45}, {{WM_MOVE, MAKELONG(static_cast<WORD>(-20), 5)}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    dialog.notices.clear();
    EXPECT_TRUE(SetWindowPos(dialog.m_hWnd, HWND_TOP, c.x, c.y, c.cx, c.cy, c.flags));
    RECT rect{};
    ASSERT_TRUE(GetWindowRect(dialog.m_hWnd, &rect));
    EXPECT_EQ(rect, c.after);
    EXPECT_EQ(dialog.notices, c.notices);
  }
  RECT client{};
  ASSERT_TRUE(GetClientRect(dialog.m_hWnd, &client));
  EXPECT_EQ(client, (RECT{0, 0, 0, 40}));
  EXPECT_FALSE(SetWindowPos(0xDEAD, HWND_TOP, 0, 0, 1, 1, 0));
  RECT untouched{1, 2, 3, 4};
  EXPECT_FALSE(GetWindowRect(0xDEAD, &untouched));
  EXPECT_EQ(untouched, (RECT{1, 2, 3, 4}));
}

TEST(WindowPositions, TopmostIsKeptUntilUndone) {
  CDialog dialog;
  ASSERT_TRUE(dialog.Create(9201, nullptr));
  EXPECT_FALSE(IsWindowTopmost(dialog.m_hWnd));
  SetWindowPos(dialog.m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_TRUE(IsWindowTopmost(dialog.m_hWnd));
  SetWindowPos(dialog.m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_TRUE(IsWindowTopmost(dialog.m_hWnd));  // SWP_NOZORDER keeps it
  SetWindowPos(dialog.m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_FALSE(IsWindowTopmost(dialog.m_hWnd));
  SetWindowPos(dialog.m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  EXPECT_TRUE(dialog.IsWindowVisible());
  SetWindowPos(dialog.m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_HIDEWINDOW);
  EXPECT_FALSE(dialog.IsWindowVisible());
}

TEST(WindowPositions, ControlsLieInTheirDialogAndDialogsOnTheScreen) {
  CDialog owner;
  ASSERT_TRUE(owner.Create(9202, nullptr));
  CDialog owned;
  ASSERT_TRUE(owned.Create(9203, &owner));
  MoveWindow(owner.m_hWnd, 100, 200, 300, 50, TRUE);
  MoveWindow(owned.m_hWnd, 10, 20, 80, 60, TRUE);
  CStatic label;
  ASSERT_TRUE(label.Create("x", 0, RECT{5, 6, 25, 16}, &owned, 1));

  RECT rect{};
  ASSERT_TRUE(GetWindowRect(owned.m_hWnd, &rect));
  EXPECT_EQ(rect, (RECT{10, 20, 90, 80}));  // an owned dialog is not inside its owner
  ASSERT_TRUE(GetWindowRect(label.m_hWnd, &rect));
  EXPECT_EQ(rect, (RECT{15, 26, 35, 36}));
  POINT p{1, 1};
  ASSERT_TRUE(ClientToScreen(label.m_hWnd, &p));
  EXPECT_EQ(p, (POINT{16, 27}));
  ASSERT_TRUE(ScreenToClient(owned.m_hWnd, &p));
  EXPECT_EQ(p, (POINT{6, 7}));
}

TEST(WindowPositions, AMoveFromAWorkerIsToldOnTheOwnersThread) {
  PlacedDialog dialog;
  tk_test::UiThread ui([&] { dialog.Create(9204, nullptr); });
  ASSERT_TRUE(MoveWindow(dialog.m_hWnd, 3, 4, 5, 6, TRUE));
  RECT rect{};
  ASSERT_TRUE(GetWindowRect(dialog.m_hWnd, &rect));  // the rectangle is there at once
  EXPECT_EQ(rect, (RECT{3, 4, 8, 10}));
  std::vector<Notice> seen;
  ui.Run([&] {
    seen = dialog.notices;
    dialog.DestroyWindow();
  });
  EXPECT_EQ(seen, (std::vector<Notice>{{WM_MOVE, MAKELONG(3, 4)}, {WM_SIZE, MAKELONG(5, 6)}}));
}

}  // namespace
