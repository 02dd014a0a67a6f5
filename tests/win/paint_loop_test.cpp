#include <gtest/gtest.h>

#include <thread>

#include "tests/support/wait_until.h"
#include "tests/win/paint_probe.h"
#include "win/clock.h"
#include "win/paint.h"

namespace {

using tk_test::DrainMessages;
using tk_test::PaintProbe;
using tk_test::UiThread;

class PaintLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    ui.Run([&] { probe.Make(true, 100, 50); });
    DrainMessages(ui);
  }
  void TearDown() override {
    ui.Run([&] { probe.DestroyWindow(); });
  }

  UiThread ui;
  PaintProbe probe;
};

TEST_F(PaintLoop, PaintsOnlyWhatWasInvalidatedAndOnlyOnce) {
  // Made visible: the whole client area once.
  ASSERT_EQ(probe.Painted(), (std::vector<RECT>{RECT{0, 0, 100, 50}}));
  DrainMessages(ui);
  EXPECT_EQ(probe.PaintCount(), 1u) << "nothing was invalidated since";

  probe.Forget();
  const RECT a{10, 10, 20, 20};
  const RECT b{30, 5, 40, 15};
  ui.Run([&] {
    InvalidateRect(probe.m_hWnd, &a, FALSE);
    InvalidateRect(probe.m_hWnd, &b, FALSE);
  });
  DrainMessages(ui);
  EXPECT_EQ(probe.Painted(), (std::vector<RECT>{RECT{10, 5, 40, 20}})) << "the union of both, in one paint";

  // What lies outside the client area is not painted.
  probe.Forget();
  const RECT over{90, 40, 300, 300};
  ui.Run([&] { InvalidateRect(probe.m_hWnd, &over, FALSE); });
  DrainMessages(ui);
  EXPECT_EQ(probe.Painted(), (std::vector<RECT>{RECT{90, 40, 100, 50}}));
  EXPECT_FALSE(GetUpdateRect(probe.m_hWnd, nullptr, FALSE));
}

TEST_F(PaintLoop, ValidatedBeforeThePaintMeansNoPaint) {
  probe.Forget();
  ui.Run([&] {
    InvalidateRect(probe.m_hWnd, nullptr, TRUE);
    RECT update;
    EXPECT_TRUE(GetUpdateRect(probe.m_hWnd, &update, FALSE));
    EXPECT_EQ(update, (RECT{0, 0, 100, 50}));
    ValidateRect(probe.m_hWnd, nullptr);
  });
  DrainMessages(ui);
  EXPECT_EQ(probe.PaintCount(), 0u);
}

TEST_F(PaintLoop, AnotherThreadsInvalidationWakesTheWaitingLoop) {
  probe.Forget();
  // The loop waits in GetMessageA with nothing else to do.
  const RECT part{1, 2, 3, 4};
  EXPECT_TRUE(InvalidateRect(probe.m_hWnd, &part, FALSE));
  EXPECT_TRUE(WaitUntil(10000, [&] { return probe.PaintCount() == 1; }));
  EXPECT_EQ(probe.Painted(), (std::vector<RECT>{part}));
}

TEST_F(PaintLoop, PaintComesAfterPostedMessagesAndBeforeTimers) {
  probe.Forget();
  ui.Run([&] {
    SetTimer(probe.m_hWnd, 7, 1, nullptr);
    AdvanceTickCountForTest(50);  // the timer is due
    InvalidateRect(probe.m_hWnd, nullptr, FALSE);
    PostMessageA(probe.m_hWnd, tk_test::kMarkerMessage, 0, 0);
  });
  EXPECT_TRUE(WaitUntil(10000, [&] { return probe.Order().size() >= 3; }));
  ui.Run([&] { KillTimer(probe.m_hWnd, 7); });
  const std::vector<UINT> order = probe.Order();
  ASSERT_GE(order.size(), 3u);
  EXPECT_EQ(order[0], tk_test::kMarkerMessage);
  EXPECT_EQ(order[1], static_cast<UINT>(WM_PAINT));
  EXPECT_EQ(order[2], static_cast<UINT>(WM_TIMER));
}

TEST_F(PaintLoop, AHandlerThatDoesNotValidateIsNotAskedAgainUntilSomethingChanges) {
  probe.Forget();
  probe.validate = false;
  ui.Run([&] { InvalidateRect(probe.m_hWnd, nullptr, FALSE); });
  DrainMessages(ui);
  DrainMessages(ui);
  EXPECT_EQ(probe.PaintCount(), 1u) << "no WM_PAINT loop";
  ui.Run([&] {
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, probe.m_hWnd, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    EXPECT_TRUE(GetUpdateRect(probe.m_hWnd, nullptr, FALSE)) << "still invalid, only not asked again";
  });
  ui.Run([&] { InvalidateRect(probe.m_hWnd, nullptr, FALSE); });
  DrainMessages(ui);
  EXPECT_EQ(probe.PaintCount(), 2u) << "a new invalidation asks again";
}

TEST_F(PaintLoop, UpdateWindowPaintsAtOnceOnTheOwnerAndFromAnotherThread) {
  probe.Forget();
  ui.Run([&] {
    InvalidateRect(probe.m_hWnd, nullptr, FALSE);
    UpdateWindow(probe.m_hWnd);
    EXPECT_EQ(probe.PaintCount(), 1u) << "painted inside UpdateWindow";
    UpdateWindow(probe.m_hWnd);
    EXPECT_EQ(probe.PaintCount(), 1u) << "nothing left to paint";
  });
  ui.Block();
  InvalidateRect(probe.m_hWnd, nullptr, FALSE);
  std::thread updater([&] { UpdateWindow(probe.m_hWnd); });
  EXPECT_EQ(probe.PaintCount(), 1u) << "the owner is busy: nobody else paints its window";
  ui.Release();
  updater.join();
  EXPECT_EQ(probe.PaintCount(), 2u) << "the sender waited for the paint";
  EXPECT_EQ(probe.Painted().back(), (RECT{0, 0, 100, 50})) << "painted by the owner, on its surface";
}

TEST(PaintHidden, HiddenWindowsStayInvalidUntilShown) {
  UiThread ui;
  PaintProbe probe;
  ui.Run([&] { probe.Make(false, 40, 30); });
  DrainMessages(ui);
  EXPECT_EQ(probe.PaintCount(), 0u);
  EXPECT_TRUE(GetUpdateRect(probe.m_hWnd, nullptr, FALSE));
  ShowWindow(probe.m_hWnd, SW_SHOW);  // from another thread too
  EXPECT_TRUE(WaitUntil(10000, [&] { return probe.PaintCount() == 1; }));
  EXPECT_EQ(probe.Painted(), (std::vector<RECT>{RECT{0, 0, 40, 30}}));
  ui.Run([&] { probe.DestroyWindow(); });
}

TEST(PaintOffThread, SurfacesAreDrawnOnTheOwnerThreadOnly) {
  UiThread ui;
  PaintProbe probe;
  ui.Run([&] { probe.Make(true, 40, 30); });
  PAINTSTRUCT paint;
  EXPECT_EQ(BeginPaint(probe.m_hWnd, &paint), 0u);
  EXPECT_EQ(GetDC(probe.m_hWnd), 0u);
  HDC dc = 0;
  ui.Run([&] { dc = GetDC(probe.m_hWnd); });
  EXPECT_NE(dc, 0u);
  ui.Run([&] {
    EXPECT_EQ(ReleaseDC(probe.m_hWnd, dc), 1);
    probe.DestroyWindow();
  });
}

}  // namespace
