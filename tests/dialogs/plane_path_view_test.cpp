// The plane path's geometry and its window: the zoom steps, the pan, where a
// position lands, what is never drawn, and the drawing of points that the
// ways add from their own threads.
#include "dialogs/plane_path_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include "core/own_aircraft_state.h"
#include "dialogs/plane_path_dialog.h"
#include "support/klib_fixture.h"
#include "support/wait_until.h"
#include "win/dialog_template.h"
#include "win/gdi.h"
#include "win/keys.h"
#include "win/messages.h"
#include "win/mouse.h"
#include "win/paint.h"

namespace {

// The view brought to a zoom by the wheel: plain steps of 10 down to it, then
// one CTRL step to halve it when that is what is left.
void ZoomTo(PlanePathView& view, double zoom) {
  view.Reset(400, 300);
  while (view.Zoom() - 10.0 >= zoom - 1e-9 && view.Zoom() - 10.0 > 0.0) view.Wheel(-120, false, false);
  if (std::abs(view.Zoom() / 2.0 - zoom) < 1e-9) view.Wheel(-120, true, false);
  if (zoom < 1.0) view.Wheel(-120, false, false);
}

TEST(PlanePathView, WheelSteps) {
  struct Case {
    double start;
    int delta;
    bool control;
    bool shift;
    double zoom;
  };
  const Case cases[] = {
      {3000.0, 120, false, false, 3010.0},
      {3000.0, -120, false, false, 2990.0},
      {3000.0, 120, true, false, 6000.0},
      {3000.0, -120, true, false, 1500.0},
      {3000.0, 120, false, true, 4500.0},
      {3000.0, -120, false, true, 2000.0},
      {5.0, -120, false, false, kPlanePathSmallestZoom},   // below 0
      {10.0, -120, false, false, kPlanePathSmallestZoom},  // exactly 0
      {kPlanePathSmallestZoom, 120, true, false, 2 * kPlanePathSmallestZoom},
      {kPlanePathSmallestZoom, -120, true, false, kPlanePathSmallestZoom / 2},
  };
  for (const Case& c : cases) {
    PlanePathView view;
    ZoomTo(view, c.start);
    ASSERT_NEAR(view.Zoom(), c.start, 1e-9) << c.start;
    EXPECT_NEAR(view.Wheel(c.delta, c.control, c.shift), c.zoom, 1e-12) << c.start << " " << c.delta;
    EXPECT_GT(view.Zoom(), 0.0);
  }
}

TEST(PlanePathView, ThePanFollowsTheZoomAndHomeResetsBoth) {
  PlanePathView view;
  view.Reset(400, 300);
  view.Pan(3 * kPlanePathKeyStep, -kPlanePathKeyStep);
  EXPECT_EQ(view.PanOffset().x, 150);
  EXPECT_EQ(view.PanOffset().y, -50);
  view.Wheel(120, true, false);  // twice the zoom
  EXPECT_EQ(view.PanOffset().x, 300);
  EXPECT_EQ(view.PanOffset().y, -100);
  view.Wheel(-120, false, true);  // two thirds
  EXPECT_EQ(view.PanOffset().x, 200);
  EXPECT_EQ(view.PanOffset().y, -67) << "to the nearest, halves away from zero";
  view.Home();
  EXPECT_EQ(view.Zoom(), kPlanePathDefaultZoom);
  EXPECT_EQ(view.PanOffset().x, 0);
  EXPECT_EQ(view.PanOffset().y, 0);
  EXPECT_EQ(view.Centre().x, 200);
  EXPECT_EQ(view.Centre().y, 150);
}

TEST(PlanePathView, PixelsRoundHalvesAwayFromZeroAndAreNeverOutOfRange) {
  struct Case {
    double value;
    std::optional<int> pixel;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {0.4, 0},           {0.5, 1},
      {-0.5, -1},         {-1.49, -1},
      {2.5, 3},           {2147483647.0, 2147483647},
      {-2147483648.0, -2147483647 - 1},
      {2147483648.0, std::nullopt},
      {-2147483649.0, std::nullopt},
      {1e300, std::nullopt},
      {inf, std::nullopt},  {-inf, std::nullopt},
      {std::nan(""), std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(PlanePathPixel(c.value), c.pixel) << c.value;
}

TEST(PlanePathView, TheFirstPointIsTheReferenceAndTheNextOnesAreDrawnFromTheOrigin) {
  PlanePathView view;
  view.Reset(400, 300);
  view.Pan(10, -20);
  EXPECT_FALSE(view.AddPoint(2.6, 49.02, 2.6, 49.02).has_value()) << "the first point is only remembered";
  const auto first = view.AddPoint(2.6001, 49.0201, 2.6, 49.0199);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->origin.x, 210);
  EXPECT_EQ(first->origin.y, 130);
  EXPECT_TRUE(first->cross) << "the view was just shown";
  ASSERT_TRUE(first->peer.has_value());
  // 0.0001 degree x 3000 x 60 = 18 pixels east; x 42.6 = 12.78 north.
  EXPECT_EQ(first->peer->x, 228);
  EXPECT_EQ(first->peer->y, 143);
  ASSERT_TRUE(first->own.has_value());
  EXPECT_EQ(first->own->x, 210);
  EXPECT_EQ(first->own->y, 117);

  // The show and the pan each invalidated the view once: one mark each.
  EXPECT_TRUE(view.AddPoint(2.6, 49.02, 2.6, 49.02)->cross);
  const auto third = view.AddPoint(2.6, 49.02, 2.6, 49.02);
  ASSERT_TRUE(third.has_value());
  EXPECT_FALSE(third->cross) << "one mark per invalidation";
  EXPECT_EQ(view.RepaintCounter(), 0);
  view.Invalidated();
  EXPECT_TRUE(view.AddPoint(2.6, 49.02, 2.6, 49.02)->cross);

  // A point the zoom throws beyond 32 bits, or not a number, is not drawn.
  for (int i = 0; i < 40; ++i) view.Wheel(120, true, false);
  const auto far = view.AddPoint(3.6, 49.02, std::nan(""), 49.02);
  ASSERT_TRUE(far.has_value());
  EXPECT_FALSE(far->peer.has_value());
  EXPECT_FALSE(far->own.has_value());

  // A reset takes the next point as the new reference.
  view.Reset(400, 300);
  EXPECT_FALSE(view.AddPoint(10.0, 10.0, 0.0, 0.0).has_value());
  const auto after = view.AddPoint(10.0, 10.0, 10.0, 10.0);
  ASSERT_TRUE(after.has_value());
  EXPECT_EQ(after->peer->x, 200);
  EXPECT_EQ(after->peer->y, 150);
}

class PlanePathDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetKlibForTest();
    InstallDialogTemplates();
    g_ownAircraft().Reset();
    dialog_ = std::make_unique<CPlanePathDlg>();
    ASSERT_TRUE(dialog_->Create(kPlanePathTemplate));
    g_pPlanePathDlg = dialog_.get();
  }
  void TearDown() override {
    g_pPlanePathDlg = nullptr;
    dialog_.reset();
  }
  // The picture's painted pixels of the colour.
  int PixelsOf(COLORREF colour) {
    CWnd* picture = dialog_->GetDlgItem(kPlanePathPictureId);
    const HDC dc = ::GetDC(picture->m_hWnd);
    RECT r{};
    ::GetClientRect(picture->m_hWnd, &r);
    int n = 0;
    for (int y = 0; y < r.bottom; ++y)
      for (int x = 0; x < r.right; ++x) n += GetPixel(dc, x, y) == colour ? 1 : 0;
    ::ReleaseDC(picture->m_hWnd, dc);
    return n;
  }
  void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  std::string Zoom() {
    std::string text;
    dialog_->GetDlgItem(kPlanePathZoomId)->GetWindowText(text);
    return text;
  }
  std::unique_ptr<CPlanePathDlg> dialog_;
};

TEST_F(PlanePathDialogTest, PointsAddedFromOtherThreadsAreDrawnInRedOnTheWindowsThread) {
  dialog_->ShowWindow(SW_SHOW);
  dialog_->UpdateWindow();
  Pump();
  EXPECT_EQ(Zoom(), "Zoom 3000.000000");
  const double lon = 2.6;
  const double lat = 49.0;
  dialog_->AddPoint(&lon, &lat, true);
  std::vector<std::thread> ways;
  for (int t = 0; t < 4; ++t) {
    ways.emplace_back([&, t] {
      for (int i = 1; i <= 50; ++i) {
        const double x = lon + 0.00001 * i * (t + 1);
        const double y = lat + 0.00001 * i;
        dialog_->AddPoint(&x, &y, true);
        dialog_->AddPoint(nullptr, &y, true);
        dialog_->AddPoint(&x, &y, false);
      }
    });
  }
  for (std::thread& way : ways) way.join();
  EXPECT_EQ(PixelsOf(kPlanePathPeerColour), 0) << "nothing is drawn off the window's thread";
  Pump();
  EXPECT_GT(PixelsOf(kPlanePathPeerColour), 20);
}

TEST_F(PlanePathDialogTest, KeysZoomPanAndHome) {
  dialog_->ShowWindow(SW_SHOW);
  const auto key = [&](int vk) {
    MSG msg{};
    msg.hwnd = dialog_->m_hWnd;
    msg.message = WM_KEYDOWN;
    msg.wParam = static_cast<WPARAM>(vk);
    return dialog_->PreTranslateMessage(&msg);
  };
  EXPECT_TRUE(key(VK_ADD));
  EXPECT_EQ(Zoom(), "Zoom 3010.000000");
  EXPECT_TRUE(key(VK_SUBTRACT));
  EXPECT_TRUE(key(VK_SUBTRACT));
  EXPECT_EQ(Zoom(), "Zoom 2990.000000");
  EXPECT_TRUE(key(VK_LEFT));
  EXPECT_TRUE(key(VK_DOWN));
  EXPECT_EQ(dialog_->View().PanOffset().x, -50);
  EXPECT_EQ(dialog_->View().PanOffset().y, 50);
  EXPECT_TRUE(key(VK_HOME));
  EXPECT_EQ(Zoom(), "Zoom 3000.000000");
  EXPECT_EQ(dialog_->View().PanOffset().x, 0);
  EXPECT_EQ(dialog_->View().PanOffset().y, 0);

  // The wheel back from 5 with no key gives the smallest zoom.
  for (int i = 0; i < 299; ++i) dialog_->SendMessage(WM_MOUSEWHEEL, static_cast<WPARAM>(-120) << 16, 0);
  EXPECT_EQ(Zoom(), "Zoom 10.000000");
  dialog_->SendMessage(WM_MOUSEWHEEL, static_cast<WPARAM>(static_cast<std::uint16_t>(-120)) << 16, 0);
  EXPECT_EQ(Zoom(), "Zoom 0.000100");
}

}  // namespace
