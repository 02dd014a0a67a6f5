#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "controls/slider_ctrl_ex.h"
#include "tests/support/reference_image.h"
#include "tests/win/ui_thread.h"
#include "win/gdi.h"
#include "win/paint.h"
#include "win/paint_dc.h"
#include "win/window_pos.h"

namespace {

using tk_test::UiThread;

struct Report {
  std::uintptr_t owner;
  std::uintptr_t id;
  int pos;
  int dragging;
};
std::vector<Report> g_reports;  // written on the UI thread, read after Run returns

int Record(std::uintptr_t owner, std::uintptr_t id, int pos, int dragging) {
  g_reports.push_back({owner, id, pos, dragging});
  return 0;
}

class Parent : public CWnd {
 public:
  ~Parent() override { DestroyWindow(); }
};

// A parent and one gradient slider on a UI thread; Paint paints it and keeps its pixels.
class SliderOnUiThread {
 public:
  explicit SliderOnUiThread(DWORD style, RECT rect = {0, 0, 200, 30}) {
    g_reports.clear();
    ui_.Run([&] {
      parent_ = std::make_unique<Parent>();
      ASSERT_TRUE(parent_->CreateHandle(WindowCreateParams{nullptr, 0, 0, WS_VISIBLE}));
      win::detail::SetInitialWindowRect(parent_->m_hWnd, RECT{0, 0, 300, 300});
      slider_ = std::make_unique<CSliderCtrlEx>();
      ASSERT_TRUE(slider_->Create("", style | WS_VISIBLE, rect, parent_.get(), 7241));
    });
  }
  ~SliderOnUiThread() {
    ui_.Run([&] {
      slider_.reset();
      parent_.reset();
    });
  }
  CSliderCtrlEx& Slider() { return *slider_; }
  void Paint() {
    ui_.Run([&] {
      InvalidateRect(slider_->m_hWnd, nullptr, FALSE);
      UpdateWindow(slider_->m_hWnd);
    });
  }
  COLORREF Pixel(int x, int y) {
    COLORREF c = CLR_INVALID;
    ui_.Run([&] {
      const HDC dc = GetDC(slider_->m_hWnd);
      c = GetPixel(dc, x, y);
      ReleaseDC(slider_->m_hWnd, dc);
    });
    return c;
  }
  // A copy of the control's painted pixels; the caller deletes it.
  HBITMAP Capture() {
    HBITMAP copy = 0;
    ui_.Run([&] {
      RECT client{};
      slider_->GetClientRect(&client);
      const HDC dc = GetDC(slider_->m_hWnd);
      const HDC memory = CreateCompatibleDC(dc);
      copy = CreateCompatibleBitmap(dc, client.right, client.bottom);
      const HGDIOBJ old = SelectObject(memory, copy);
      BitBlt(memory, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
      SelectObject(memory, old);
      DeleteDC(memory);
      ReleaseDC(slider_->m_hWnd, dc);
    });
    return copy;
  }

 private:
  UiThread ui_;
  std::unique_ptr<Parent> parent_;
  std::unique_ptr<CSliderCtrlEx> slider_;
};

TEST(SliderCtrlEx, ResetRangeKeepsColoursOnlyWhenTheOldRangeCoveredTheScale) {
  SliderOnUiThread t(TBS_HORZ);
  CSliderCtrlEx& s = t.Slider();
  s.SetRange(0, 500);
  ASSERT_TRUE(s.AddColor(0, 200, RGB(0, 0, 0), RGB(0, 100, 0)));
  s.ResetRange();
  EXPECT_EQ(s.colorList.size(), 1u);
  s.SetRange(0, 100);
  s.ResetRange();
  EXPECT_TRUE(s.colorList.empty());
  EXPECT_EQ(s.GetRangeMax(), 500);
}

TEST(SliderCtrlEx, AddColorRefusesOrClipsARangeOutsideTheSlider) {
  SliderOnUiThread t(TBS_HORZ);
  CSliderCtrlEx& s = t.Slider();
  s.SetRange(0, 500);
  EXPECT_FALSE(s.AddColor(-5, 200, 0, 0));
  EXPECT_TRUE(s.colorList.empty());
  s.m_nOutOfRange = 1;
  EXPECT_TRUE(s.AddColor(-5, 600, 0, 0));
  ASSERT_EQ(s.colorList.size(), 1u);
  EXPECT_EQ(s.colorList[0].lval, 0);
  EXPECT_EQ(s.colorList[0].hval, 500);
}

TEST(SliderCtrlEx, TheCallbackReportsEachNewPositionOnceAtPaint) {
  SliderOnUiThread t(TBS_HORZ);
  CSliderCtrlEx& s = t.Slider();
  s.SetRange(0, 500);
  s.SetPos(400);
  s.m_p2 = 0x1234;
  s.m_p3 = 7241;
  s.m_Callback = Record;
  // No colour ranges: drawn by default, but the position is still reported.
  t.Paint();
  t.Paint();
  s.SetPos(250);
  t.Paint();
  ASSERT_EQ(g_reports.size(), 2u);
  EXPECT_EQ(g_reports[0].owner, 0x1234u);
  EXPECT_EQ(g_reports[0].id, 7241u);
  EXPECT_EQ(g_reports[0].pos, 400);
  EXPECT_EQ(g_reports[0].dragging, 0);
  EXPECT_EQ(g_reports[1].pos, 250);
}

void VoiceScale(CSliderCtrlEx& s) {
  s.ResetRange();
  s.SetTicFreq(15);
  s.AddColor(0, 500, RGB(255, 0, 0), RGB(255, 0, 0));
  s.AddColor(0, 200, RGB(0, 0, 0), RGB(0, 100, 0));
  s.AddColor(200, 300, RGB(0, 100, 0), RGB(0, 128, 0));
  s.AddColor(300, 400, RGB(0, 128, 0), RGB(255, 255, 0));
  s.AddColor(400, 450, RGB(255, 255, 0), RGB(255, 165, 0));
  s.AddColor(450, 500, RGB(255, 165, 0), RGB(255, 0, 0));
}

TEST(SliderCtrlEx, GradientsFillTheChannelWithTheTicksKeptBlack) {
  for (const bool library : {true, false}) {
    SCOPED_TRACE(library ? "GradientFill" : "strips");
    FailLibraryLoadForTest(!library);
    SliderOnUiThread t(TBS_HORZ | TBS_AUTOTICKS);
    FailLibraryLoadForTest(false);
    CSliderCtrlEx& s = t.Slider();
    VoiceScale(s);
    s.SetPos(250);
    t.Paint();
    const win::TrackbarLayout layout(win::TrackbarState{TBS_HORZ | TBS_AUTOTICKS, 200, 30, 0, 500, 250, 15,
                                                        win::kTrackbarDefaultThumbLength});
    const std::vector<win::TrackbarTic> tics = layout.Tics();
    ASSERT_GT(tics.size(), 2u);
    for (const win::TrackbarTic& tic : tics) {
      EXPECT_EQ(t.Pixel(tic.rect.left, tic.rect.top), RGB(0, 0, 0)) << tic.value;
    }
    // The low end of the first green range starts black; the start strip takes that range's start colour,
    // the end strip the last range's end colour.
    RECT thumb{};
    s.GetThumbRect(&thumb);
    const LONG offset = 8 + (thumb.right - thumb.left) / 2;
    EXPECT_EQ(t.Pixel(offset, 2), RGB(0, 0, 0));
    EXPECT_EQ(t.Pixel(2, 2), RGB(0, 0, 0));
    EXPECT_EQ(t.Pixel(199 - 2, 2), RGB(255, 0, 0));
  }
}

TEST(SliderCtrlEx, AVerticalSliderRunsItsGradientsDown) {
  SliderOnUiThread t(TBS_VERT, RECT{0, 0, 30, 200});
  CSliderCtrlEx& s = t.Slider();
  s.SetRange(0, 500);
  s.AddColor(0, 500, RGB(0, 0, 255), RGB(255, 0, 0));
  s.SetPos(250);
  t.Paint();
  // The start strip at the top, the end strip at the bottom, across the whole width.
  EXPECT_EQ(t.Pixel(28, 2), RGB(0, 0, 255));
  EXPECT_EQ(t.Pixel(28, 197), RGB(255, 0, 0));
}

TEST(SliderCtrlEx, TheCallbackTellsWhetherTheMouseIsDown) {
  SliderOnUiThread t(TBS_HORZ);
  CSliderCtrlEx& s = t.Slider();
  s.SetRange(0, 500);
  s.m_Callback = Record;
  s.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(190, 5));
  t.Paint();
  s.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(190, 5));
  s.SetPos(100);
  t.Paint();
  ASSERT_EQ(g_reports.size(), 2u);
  EXPECT_EQ(g_reports[0].dragging, 1);
  EXPECT_EQ(g_reports[1].dragging, 0);
}

TEST(SliderCtrlEx, TheVoiceScaleMatchesItsPictures) {
  struct Case {
    int pos;
    const char* name;
  };
  for (const Case& c : {Case{0, "gradient_slider_0"}, Case{250, "gradient_slider_250"},
                        Case{500, "gradient_slider_500"}}) {
    SCOPED_TRACE(c.name);
    SliderOnUiThread t(TBS_HORZ | TBS_AUTOTICKS, RECT{0, 0, 200, 30});
    VoiceScale(t.Slider());
    t.Slider().SetPos(c.pos);
    t.Paint();
    const HBITMAP picture = t.Capture();
    EXPECT_TRUE(MatchesReference(picture, c.name));
    DeleteObject(picture);
  }
}

TEST(SliderCtrlEx, NoValuesOrAReversedRangeDrawsNoGradient) {
  SliderOnUiThread t(TBS_HORZ);
  CSliderCtrlEx& s = t.Slider();
  s.SetRange(0, 500);
  s.colorList.push_back(clrRange{300, 100, RGB(255, 0, 0), RGB(255, 0, 0)});  // low above high
  t.Paint();
  EXPECT_EQ(t.Pixel(100, 2), GetSysColor(COLOR_BTNFACE));
  s.colorList = {clrRange{0, 0, RGB(255, 0, 0), RGB(255, 0, 0)}};
  s.SetRange(0, 0);  // no values: nothing to divide by
  t.Paint();
  EXPECT_EQ(t.Pixel(100, 2), GetSysColor(COLOR_BTNFACE));
}

}  // namespace
