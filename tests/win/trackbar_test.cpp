#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/win/ui_thread.h"
#include "win/dialog.h"
#include "win/dialog_template.h"
#include "win/gdi.h"
#include "win/keys.h"
#include "win/paint.h"
#include "win/trackbar_ctrl.h"
#include "win/window_pos.h"

namespace {

using tk_test::UiThread;

struct Scroll {
  UINT message = 0;
  WORD code = 0;
  WORD pos = 0;
  HWND from = 0;
  bool operator==(const Scroll&) const = default;
};

// A parent window that records the scroll notices of its children.
class ScrollParent : public CWnd {
 public:
  ~ScrollParent() override { DestroyWindow(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_HSCROLL || message == WM_VSCROLL) {
      std::lock_guard lock(mutex_);
      scrolls_.push_back(Scroll{message, LOWORD(wParam), HIWORD(wParam), static_cast<HWND>(lParam)});
      return 0;
    }
    if (message == WM_NOTIFY) {
      auto* draw = reinterpret_cast<NMCUSTOMDRAW*>(lParam);
      if (draw->hdr.code != NM_CUSTOMDRAW) return 0;
      std::lock_guard lock(mutex_);
      stages_.push_back({draw->dwDrawStage, draw->dwItemSpec});
      if (draw->dwDrawStage == CDDS_PREPAINT) return prepaintAnswer;
      if (draw->dwDrawStage == (CDDS_ITEMPREPAINT) && draw->dwItemSpec == TBCD_THUMB) {
        // What the surface holds when the thumb is about to be drawn.
        ticPixelAtThumb = GetPixel(draw->hdc, ticPoint.x, ticPoint.y);
        channelPixelAtThumb = GetPixel(draw->hdc, channelPoint.x, channelPoint.y);
      }
      return draw->dwDrawStage == CDDS_ITEMPREPAINT && draw->dwItemSpec == skipItem ? CDRF_SKIPDEFAULT
                                                                                   : CDRF_DODEFAULT;
    }
    return CWnd::WindowProc(message, wParam, lParam);
  }
  std::vector<std::pair<DWORD, DWORD_PTR>> TakeStages() {
    std::lock_guard lock(mutex_);
    return std::exchange(stages_, {});
  }
  // Set before the paint, read after it.
  LRESULT prepaintAnswer = CDRF_DODEFAULT;
  DWORD_PTR skipItem = 0;
  POINT ticPoint{};
  POINT channelPoint{};
  COLORREF ticPixelAtThumb = CLR_INVALID;
  COLORREF channelPixelAtThumb = CLR_INVALID;
  std::vector<Scroll> Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(scrolls_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<Scroll> scrolls_;
  std::vector<std::pair<DWORD, DWORD_PTR>> stages_;
};

// A parent and one trackbar of `style` and `rect`, made on a UI thread of their own.
class TrackbarOnUiThread {
 public:
  explicit TrackbarOnUiThread(DWORD style, RECT rect = {0, 0, 200, 30}) {
    ui_.Run([&] {
      parent_ = std::make_unique<ScrollParent>();
      ASSERT_TRUE(parent_->CreateHandle(WindowCreateParams{nullptr, 0, 0, WS_VISIBLE}));
      win::detail::SetInitialWindowRect(parent_->m_hWnd, RECT{0, 0, 300, 300});
      slider_ = std::make_unique<CSliderCtrl>();
      ASSERT_TRUE(slider_->Create("", style | WS_VISIBLE, rect, parent_.get(), 7241));
    });
  }
  ~TrackbarOnUiThread() {
    ui_.Run([&] {
      slider_.reset();
      parent_.reset();
    });
  }
  CSliderCtrl& Slider() { return *slider_; }
  ScrollParent& Parent() { return *parent_; }
  UiThread& Ui() { return ui_; }
  // A key pressed and released as the user would, on the control's thread.
  void Key(int vk) {
    ui_.Run([&] {
      slider_->SendMessage(WM_KEYDOWN, static_cast<WPARAM>(vk));
      slider_->SendMessage(WM_KEYUP, static_cast<WPARAM>(vk));
    });
  }

 private:
  UiThread ui_;
  std::unique_ptr<ScrollParent> parent_;
  std::unique_ptr<CSliderCtrl> slider_;
};

TEST(TrackbarModel, ThePositionStaysWithinTheRange) {
  CSliderCtrl slider;
  ASSERT_TRUE(slider.CreateHandle(WindowCreateParams{}));
  struct Case {
    int min, max, pos, expected;
  };
  const Case cases[] = {
      {0, 500, 250, 250}, {0, 500, -1, 0}, {0, 500, 501, 500}, {-50, 50, -60, -50},
      {10, 10, 3, 10},    {0, 500, 500, 500}, {20, 10, 15, 20},  // a reversed range holds the minimum
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.min << ".." << c.max << " pos " << c.pos);
    slider.SetRange(c.min, c.max);
    slider.SetPos(c.pos);
    EXPECT_EQ(slider.GetPos(), c.expected);
    int min = 0;
    int max = 0;
    slider.GetRange(min, max);
    EXPECT_EQ(min, c.min);
    EXPECT_EQ(max, c.max);
  }
}

TEST(TrackbarModel, ARangeChangePullsThePositionInAndSetsThePageSize) {
  CSliderCtrl slider;
  ASSERT_TRUE(slider.CreateHandle(WindowCreateParams{}));
  slider.SetRange(0, 500);
  slider.SetPos(400);
  EXPECT_EQ(slider.GetPageSize(), 100);  // a fifth of the range until one is set
  slider.SetRangeMax(300);
  EXPECT_EQ(slider.GetPos(), 300);
  slider.SetRangeMin(350);
  EXPECT_EQ(slider.GetPos(), 350);
  // TBM_SETRANGE carries the ends as signed 16-bit halves.
  slider.SendMessage(TBM_SETRANGE, FALSE, static_cast<LPARAM>(MAKELONG(static_cast<WORD>(-20), 40)));
  EXPECT_EQ(slider.GetRangeMin(), -20);
  EXPECT_EQ(slider.GetRangeMax(), 40);
  EXPECT_EQ(slider.GetPos(), 40);
  EXPECT_EQ(slider.GetPageSize(), 12);
  EXPECT_EQ(slider.SetPageSize(7), 12);
  slider.SetRange(0, 1000);
  EXPECT_EQ(slider.GetPageSize(), 7);  // once set, it stays
  EXPECT_EQ(slider.SetLineSize(5), 1);
  EXPECT_EQ(slider.GetLineSize(), 5);
  slider.SetThumbLength(30);
  EXPECT_EQ(slider.GetThumbLength(), 30);
}

TEST(TrackbarModel, CountsTheTicksOfItsFrequency) {
  struct Case {
    DWORD style;
    int min, max, freq;
    UINT expected;
  };
  const Case cases[] = {
      {TBS_AUTOTICKS, 0, 500, 15, 35},  // 0, 15 .. 495, 500
      {TBS_AUTOTICKS, 0, 100, 10, 11},
      {TBS_AUTOTICKS, 0, 100, 0, 2},
      {0, 0, 100, 10, 2},  // without automatic ticks only the ends
      {TBS_AUTOTICKS | TBS_NOTICKS, 0, 100, 10, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.style << " " << c.min << ".." << c.max << " every " << c.freq);
    CSliderCtrl slider(c.style);
    ASSERT_TRUE(slider.CreateHandle(WindowCreateParams{}));
    slider.SetRange(c.min, c.max);
    slider.SetTicFreq(c.freq);
    EXPECT_EQ(slider.GetNumTics(), c.expected);
  }
}

TEST(TrackbarLayout, PlacesChannelThumbAndTicksFromTheClientSize) {
  win::TrackbarState state;
  state.style = TBS_AUTOTICKS;
  state.width = 200;
  state.height = 30;
  state.min = 0;
  state.max = 500;
  state.ticFreq = 100;
  state.pos = 0;
  // Thumb length 20: breadth 11, usable 184 - 11 = 173, the thumb's centre at 13 + 173 * v / 500.
  {
    const win::TrackbarLayout layout(state);
    EXPECT_EQ(layout.Channel(), (RECT{8, 10, 192, 14}));
    EXPECT_EQ(layout.ThumbBreadth(), 11);
    EXPECT_EQ(layout.UsableLength(), 173);
    EXPECT_EQ(layout.Thumb(), (RECT{8, 2, 19, 22}));
    EXPECT_EQ(layout.PixelOfValue(250), 13 + 86);
    EXPECT_EQ(layout.PixelOfValue(900), 13 + 173);
    const std::vector<win::TrackbarTic> tics = layout.Tics();
    ASSERT_EQ(tics.size(), 6u);
    EXPECT_EQ(tics.front().rect, (RECT{13, 23, 14, 26}));
    EXPECT_EQ(tics.back().value, 500);
    EXPECT_EQ(tics.back().rect, (RECT{186, 23, 187, 26}));
    // Back from pixels: each value's pixel gives the value, the ends stop at the range.
    for (int v : {0, 1, 137, 250, 499, 500}) {
      const LONG px = layout.PixelOfValue(v);
      EXPECT_EQ(layout.PixelOfValue(layout.ValueAtPixel(px)), px) << v;
    }
    EXPECT_EQ(layout.ValueAtPixel(0), 0);
    EXPECT_EQ(layout.ValueAtPixel(199), 500);
  }
  state.pos = 500;
  EXPECT_EQ(win::TrackbarLayout(state).Thumb(), (RECT{181, 2, 192, 22}));
  // Ticks on both sides move the thumb down by their band.
  state.style = TBS_BOTH;
  {
    const win::TrackbarLayout layout(state);
    EXPECT_EQ(layout.Thumb(), (RECT{181, 7, 192, 27}));
    const std::vector<win::TrackbarTic> tics = layout.Tics();
    ASSERT_EQ(tics.size(), 4u);
    EXPECT_EQ(tics[0].rect, (RECT{13, 3, 14, 6}));
    EXPECT_EQ(tics[1].rect, (RECT{13, 28, 14, 31}));
  }
  // Vertical: the same along y.
  state.style = TBS_VERT;
  state.width = 30;
  state.height = 200;
  state.pos = 250;
  {
    const win::TrackbarLayout layout(state);
    EXPECT_EQ(layout.Channel(), (RECT{10, 8, 14, 192}));
    EXPECT_EQ(layout.Thumb(), (RECT{2, 94, 22, 105}));
  }
}

TEST(TrackbarLayout, AnEmptyRangeOrNoRoomPutsEveryValueAtTheStart) {
  win::TrackbarState state;
  state.width = 20;  // channel 4 pixels, thumb 11: no room
  state.height = 30;
  state.max = 100;
  state.pos = 60;
  EXPECT_LE(win::TrackbarLayout(state).UsableLength(), 0);
  EXPECT_EQ(win::TrackbarLayout(state).PixelOfValue(60), 8 + 5);
  EXPECT_EQ(win::TrackbarLayout(state).ValueAtPixel(15), 0);
  state.width = 200;
  state.min = state.max = 40;
  EXPECT_EQ(win::TrackbarLayout(state).PixelOfValue(40), 8 + 5);
  EXPECT_EQ(win::TrackbarLayout(state).ValueAtPixel(100), 40);
  state.width = 0;
  state.height = 0;
  EXPECT_EQ(win::TrackbarLayout(state).Channel().right, 8);
}

TEST(TrackbarModel, AnswersItsRectanglesAndAVerticalChannelExchanged) {
  TrackbarOnUiThread horizontal(TBS_AUTOTICKS, RECT{5, 5, 205, 35});
  horizontal.Slider().SetRange(0, 500);
  horizontal.Slider().SetPos(500);
  RECT channel{};
  RECT thumb{};
  horizontal.Slider().GetChannelRect(&channel);
  horizontal.Slider().GetThumbRect(&thumb);
  EXPECT_EQ(channel, (RECT{8, 10, 192, 14}));
  EXPECT_EQ(thumb, (RECT{181, 2, 192, 22}));

  TrackbarOnUiThread vertical(TBS_VERT, RECT{0, 0, 30, 200});
  vertical.Slider().SetRange(0, 500);
  vertical.Slider().GetChannelRect(&channel);
  vertical.Slider().GetThumbRect(&thumb);
  EXPECT_EQ(channel, (RECT{8, 10, 192, 14}));
  EXPECT_EQ(thumb, (RECT{2, 8, 22, 19}));
}

TEST(TrackbarModel, KeysMoveThePositionAndTellTheParent) {
  TrackbarOnUiThread t(TBS_HORZ);
  CSliderCtrl& s = t.Slider();
  s.SetRange(0, 100);
  s.SetPos(50);
  s.SetLineSize(3);
  s.SetPageSize(25);
  const HWND self = s.m_hWnd;
  struct Case {
    int key;
    WORD code;
    int pos;
  };
  const Case cases[] = {
      {VK_RIGHT, TB_LINEDOWN, 53}, {VK_DOWN, TB_LINEDOWN, 56}, {VK_LEFT, TB_LINEUP, 53},  {VK_UP, TB_LINEUP, 50},
      {VK_NEXT, TB_PAGEDOWN, 75},  {VK_NEXT, TB_PAGEDOWN, 100}, {VK_PRIOR, TB_PAGEUP, 75}, {VK_HOME, TB_TOP, 0},
      {VK_LEFT, TB_LINEUP, 0},     {VK_END, TB_BOTTOM, 100},    {VK_RIGHT, TB_LINEDOWN, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    t.Key(c.key);
    EXPECT_EQ(s.GetPos(), c.pos);
    const std::vector<Scroll> got = t.Parent().Take();
    const std::vector<Scroll> expected = {{WM_HSCROLL, c.code, 0, self}, {WM_HSCROLL, TB_ENDTRACK, 0, self}};
    EXPECT_EQ(got, expected);
  }
  // Another key is not the trackbar's.
  t.Key(VK_SPACE);
  EXPECT_TRUE(t.Parent().Take().empty());
}

TEST(TrackbarModel, AVerticalTrackbarTellsWithVerticalScrolls) {
  TrackbarOnUiThread t(TBS_VERT, RECT{0, 0, 30, 200});
  t.Slider().SetRange(0, 10);
  t.Key(VK_DOWN);
  EXPECT_EQ(t.Slider().GetPos(), 1);
  const std::vector<Scroll> expected = {{WM_VSCROLL, TB_LINEDOWN, 0, t.Slider().m_hWnd},
                                        {WM_VSCROLL, TB_ENDTRACK, 0, t.Slider().m_hWnd}};
  EXPECT_EQ(t.Parent().Take(), expected);
}

TEST(TrackbarModel, AKeyFromAnotherThreadActsOnTheOwnersThread) {
  TrackbarOnUiThread t(TBS_HORZ);
  t.Slider().SetRange(0, 10);
  t.Slider().SendMessage(WM_KEYDOWN, VK_END);
  t.Ui().Run([] {});  // the handed-over key has run once the loop takes the next job
  EXPECT_EQ(t.Slider().GetPos(), 10);
  ASSERT_EQ(t.Parent().Take().size(), 1u);
}

TEST(TrackbarPaint, SendsTheStagesInOrderWithTicksAndChannelDrawnBeforeTheThumb) {
  TrackbarOnUiThread t(TBS_HORZ | TBS_AUTOTICKS);
  CSliderCtrl& s = t.Slider();
  s.SetRange(0, 500);
  s.SetTicFreq(100);
  s.SetPos(0);
  RECT channel{};
  s.GetChannelRect(&channel);
  const std::vector<win::TrackbarTic> tics = win::TrackbarLayout(win::TrackbarState{
      TBS_HORZ | TBS_AUTOTICKS, 200, 30, 0, 500, 0, 100, win::kTrackbarDefaultThumbLength}).Tics();
  ASSERT_FALSE(tics.empty());
  ScrollParent& p = t.Parent();
  p.ticPoint = POINT{tics.back().rect.left, tics.back().rect.top};
  p.channelPoint = POINT{channel.left + 1, channel.top};
  using Stage = std::pair<DWORD, DWORD_PTR>;
  struct Case {
    LRESULT prepaint;
    std::vector<Stage> stages;
  };
  const Case cases[] = {
      {CDRF_DODEFAULT, {{CDDS_PREPAINT, 0}}},
      {CDRF_SKIPDEFAULT, {{CDDS_PREPAINT, 0}}},
      {CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT,
       {{CDDS_PREPAINT, 0},
        {CDDS_ITEMPREPAINT, TBCD_TICS},
        {CDDS_ITEMPREPAINT, TBCD_CHANNEL},
        {CDDS_ITEMPREPAINT, TBCD_THUMB},
        {CDDS_POSTPAINT, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.prepaint);
    p.prepaintAnswer = c.prepaint;
    t.Ui().Run([&] {
      InvalidateRect(s.m_hWnd, nullptr, FALSE);
      UpdateWindow(s.m_hWnd);
    });
    EXPECT_EQ(p.TakeStages(), c.stages);
  }
  // The ticks are black and the channel's sunken edge shaded when the thumb's turn comes.
  EXPECT_EQ(p.ticPixelAtThumb, RGB(0, 0, 0));
  EXPECT_EQ(p.channelPixelAtThumb, GetSysColor(COLOR_BTNSHADOW));
}

TEST(TrackbarPaint, ASkippedPartIsNotDrawn) {
  TrackbarOnUiThread t(TBS_HORZ | TBS_AUTOTICKS);
  CSliderCtrl& s = t.Slider();
  s.SetRange(0, 500);
  s.SetPos(0);
  RECT channel{};
  s.GetChannelRect(&channel);
  ScrollParent& p = t.Parent();
  p.prepaintAnswer = CDRF_NOTIFYITEMDRAW;
  p.skipItem = TBCD_CHANNEL;
  p.channelPoint = POINT{channel.left + 1, channel.top};
  t.Ui().Run([&] {
    InvalidateRect(s.m_hWnd, nullptr, FALSE);
    UpdateWindow(s.m_hWnd);
  });
  EXPECT_EQ(p.channelPixelAtThumb, GetSysColor(COLOR_BTNFACE));
}

TEST(TrackbarMouse, AClickBesideTheThumbPagesAndDraggingTheThumbTracks) {
  TrackbarOnUiThread t(TBS_HORZ);
  CSliderCtrl& s = t.Slider();
  s.SetRange(0, 100);
  s.SetPageSize(10);
  s.SetPos(50);
  const HWND self = s.m_hWnd;
  RECT thumb{};
  s.GetThumbRect(&thumb);
  const int y = (thumb.top + thumb.bottom) / 2;
  auto send = [&](UINT message, int x) {
    t.Ui().Run([&] { s.SendMessage(message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(x, y)); });
  };
  // Right of the thumb: a page down; left of it: a page up.
  send(WM_LBUTTONDOWN, thumb.right + 20);
  send(WM_LBUTTONUP, thumb.right + 20);
  EXPECT_EQ(s.GetPos(), 60);
  EXPECT_EQ(t.Parent().Take(),
            (std::vector<Scroll>{{WM_HSCROLL, TB_PAGEDOWN, 0, self}, {WM_HSCROLL, TB_ENDTRACK, 0, self}}));
  s.GetThumbRect(&thumb);
  send(WM_LBUTTONDOWN, thumb.left - 20);
  send(WM_LBUTTONUP, thumb.left - 20);
  EXPECT_EQ(s.GetPos(), 50);
  EXPECT_EQ(t.Parent().Take(),
            (std::vector<Scroll>{{WM_HSCROLL, TB_PAGEUP, 0, self}, {WM_HSCROLL, TB_ENDTRACK, 0, self}}));

  // Dragging the thumb by its centre to the pixel of 80.
  s.GetThumbRect(&thumb);
  const win::TrackbarLayout layout(win::TrackbarState{TBS_HORZ, 200, 30, 0, 100, 50, 1, win::kTrackbarDefaultThumbLength});
  const int centre = layout.PixelOfValue(50);
  send(WM_LBUTTONDOWN, centre);
  EXPECT_TRUE(t.Parent().Take().empty());
  send(WM_MOUSEMOVE, layout.PixelOfValue(80));
  EXPECT_EQ(s.GetPos(), 80);
  send(WM_LBUTTONUP, layout.PixelOfValue(80));
  EXPECT_EQ(t.Parent().Take(), (std::vector<Scroll>{{WM_HSCROLL, TB_THUMBTRACK, 80, self},
                                                    {WM_HSCROLL, TB_THUMBPOSITION, 80, self},
                                                    {WM_HSCROLL, TB_ENDTRACK, 0, self}}));
  // A move without a press does nothing.
  send(WM_MOUSEMOVE, layout.PixelOfValue(10));
  EXPECT_EQ(s.GetPos(), 80);
  EXPECT_TRUE(t.Parent().Take().empty());
}

TEST(TrackbarTemplate, ATemplatesTrackbarIsTheModelWithItsStyle) {
  InstallDialogTemplates();
  RegisterDialogTemplateText(9071, "dialog 9071 \"Levels\" 0 0 300 100 0\n"
                                   "trackbar 7241 \"\" 10 10 200 30 TBS_AUTOTICKS|TBS_BOTH\n"
                                   "trackbar 7242 \"\" 10 50 30 40 TBS_VERT|TBS_NOTICKS\n");
  {
    CDialog dialog;
    ASSERT_TRUE(dialog.Create(9071, nullptr));
    auto* input = dynamic_cast<CSliderCtrl*>(dialog.GetDlgItem(7241));
    auto* output = dynamic_cast<CSliderCtrl*>(dialog.GetDlgItem(7242));
    ASSERT_NE(input, nullptr);
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(input->Style() & 0xFFFF, TBS_AUTOTICKS | TBS_BOTH);
    EXPECT_EQ(output->Style() & 0xFFFF, TBS_VERT | TBS_NOTICKS);
    bool listed = false;
    for (const WindowInfo& w : EnumerateWindows()) {
      if (w.hwnd == input->m_hWnd) listed = w.kind == "trackbar";
    }
    EXPECT_TRUE(listed);
  }
  SetDialogTemplateLoader(nullptr);
  RegisterDialogTemplateText(9071, "");
}

}  // namespace
