// Text: the default dialog font, metrics and extents, and DrawText's flags.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "win/gdi.h"

namespace {

struct TextDc {
  TextDc(int width, int height) {
    dc = CreateCompatibleDC(0);
    bitmap = CreateCompatibleBitmap(0, width, height);
    old = SelectObject(dc, bitmap);
    const RECT all{0, 0, width, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  }
  ~TextDc() {
    SelectObject(dc, oldFont);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  // The smallest rectangle holding every pixel that is not white.
  RECT Ink(int width, int height) const {
    RECT ink{width, height, 0, 0};
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        if (GetPixel(dc, x, y) == 0xFFFFFF) continue;
        ink.left = std::min<LONG>(ink.left, x);
        ink.top = std::min<LONG>(ink.top, y);
        ink.right = std::max<LONG>(ink.right, x + 1);
        ink.bottom = std::max<LONG>(ink.bottom, y + 1);
      }
    }
    return ink;
  }
  int Count(COLORREF colour, int width, int height) const {
    int n = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) n += GetPixel(dc, x, y) == colour ? 1 : 0;
    return n;
  }
  HDC dc = 0;
  HBITMAP bitmap = 0;
  HGDIOBJ old = 0, oldFont = 0;
};

TEST(GdiText, DefaultGuiFontIsElevenPixelDejaVuAndUnknownFacesGetIt) {
  LOGFONTA log{};
  ASSERT_EQ(GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof log, &log), static_cast<int>(sizeof log));
  EXPECT_EQ(log.lfHeight, -11);
  EXPECT_STREQ(log.lfFaceName, "MS Shell Dlg");

  TextDc t(10, 10);
  TEXTMETRICA gui{};
  ASSERT_TRUE(GetTextMetricsA(t.dc, &gui));
  EXPECT_EQ(gui.tmHeight, gui.tmAscent + gui.tmDescent);
  EXPECT_GE(gui.tmHeight, 12);
  EXPECT_LE(gui.tmHeight, 14);
  EXPECT_GT(gui.tmAveCharWidth, 3);

  HFONT unknown = CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "No Such Face");
  HGDIOBJ previous = SelectObject(t.dc, unknown);
  TEXTMETRICA same{};
  ASSERT_TRUE(GetTextMetricsA(t.dc, &same));
  EXPECT_EQ(same.tmHeight, gui.tmHeight);
  EXPECT_EQ(same.tmAveCharWidth, gui.tmAveCharWidth);
  SIZE a{}, b{};
  ASSERT_TRUE(GetTextExtentPoint32A(t.dc, "Connect", 7, &a));
  SelectObject(t.dc, previous);
  ASSERT_TRUE(GetTextExtentPoint32A(t.dc, "Connect", 7, &b));
  EXPECT_EQ(a, b);
  DeleteObject(unknown);
}

TEST(GdiText, ExtentsGrowWithTheTextAndTheFontAndAgreeBetweenNarrowAndWide) {
  TextDc t(10, 10);
  SIZE one{}, two{}, wide{};
  ASSERT_TRUE(GetTextExtentPoint32A(t.dc, "W", 1, &one));
  ASSERT_TRUE(GetTextExtentPoint32A(t.dc, "WW", 2, &two));
  ASSERT_TRUE(GetTextExtentPoint32W(t.dc, L"WW", 2, &wide));
  EXPECT_EQ(two.cx, 2 * one.cx);
  EXPECT_EQ(wide, two);
  SIZE space{};
  ASSERT_TRUE(GetTextExtentPoint32A(t.dc, "W ", 2, &space));
  EXPECT_GT(space.cx, one.cx);  // a trailing blank counts
  HFONT big = CreateFontA(-22, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Tahoma");
  HGDIOBJ previous = SelectObject(t.dc, big);
  SIZE bigW{};
  ASSERT_TRUE(GetTextExtentPoint32A(t.dc, "W", 1, &bigW));
  EXPECT_GT(bigW.cx, one.cx);
  EXPECT_GT(bigW.cy, one.cy);
  SelectObject(t.dc, previous);
  DeleteObject(big);
  EXPECT_FALSE(GetTextExtentPoint32A(0, "W", 1, &one));
}

TEST(GdiText, CalcRectMeasuresWithoutDrawing) {
  TextDc t(200, 60);
  TEXTMETRICA m{};
  GetTextMetricsA(t.dc, &m);
  SIZE extent{};
  GetTextExtentPoint32A(t.dc, "Flight plan", 11, &extent);
  struct Case {
    const char* text;
    RECT box;
    UINT flags;
    LONG width, lines;
  };
  const std::array<Case, 5> cases = {{
      {"Flight plan", {10, 5, 190, 55}, DT_CALCRECT, extent.cx, 1},
      {"Flight plan", {10, 5, 190, 55}, DT_CALCRECT | DT_CENTER | DT_WORDBREAK, extent.cx, 1},
      {"Flight\nplan", {10, 5, 190, 55}, DT_CALCRECT, -1, 2},
      {"Flight\nplan", {10, 5, 190, 55}, DT_CALCRECT | DT_SINGLELINE, -1, 1},
      {"Flight plan", {10, 5, 10 + extent.cx - 1, 55}, DT_CALCRECT | DT_WORDBREAK, -1, 2},
  }};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    RECT r = c.box;
    const int height = DrawTextA(t.dc, c.text, -1, &r, c.flags);
    EXPECT_EQ(height, c.lines * m.tmHeight);
    EXPECT_EQ(r.left, c.box.left);
    EXPECT_EQ(r.top, c.box.top);
    EXPECT_EQ(r.bottom, c.box.top + c.lines * m.tmHeight);
    if (c.width >= 0) {
      EXPECT_EQ(r.right - r.left, c.width);
    }
  }
  EXPECT_EQ(t.Count(0xFFFFFF, 200, 60), 200 * 60);  // nothing drawn
}

TEST(GdiText, CentredTextSitsInTheMiddleAndClipsToItsRectangle) {
  TextDc t(120, 40);
  SetBkMode(t.dc, TRANSPARENT);
  SetTextColor(t.dc, RGB(0, 0, 0));
  RECT box{0, 0, 120, 40};
  ASSERT_GT(DrawTextA(t.dc, "HH", -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE), 0);
  const RECT ink = t.Ink(120, 40);
  ASSERT_LT(ink.left, ink.right);
  // Centred: the ink's margins differ by at most the glyphs' side bearings.
  EXPECT_LE(std::abs((ink.left - 0) - (120 - ink.right)), 3);
  EXPECT_LE(std::abs((ink.top - 0) - (40 - ink.bottom)), 6);

  TextDc clipped(120, 40);
  SetBkMode(clipped.dc, TRANSPARENT);
  RECT narrow{0, 0, 5, 40};
  DrawTextA(clipped.dc, "WWWW", -1, &narrow, DT_LEFT | DT_SINGLELINE);
  const RECT cut = clipped.Ink(120, 40);
  EXPECT_LE(cut.right, 5);
  RECT noclip{0, 0, 5, 40};
  DrawTextA(clipped.dc, "WWWW", -1, &noclip, DT_LEFT | DT_SINGLELINE | DT_NOCLIP);
  EXPECT_GT(clipped.Ink(120, 40).right, 5);
}

TEST(GdiText, WordBreakPutsEachWordThatDoesNotFitOnTheNextLine) {
  TextDc t(200, 80);
  SetBkMode(t.dc, TRANSPARENT);
  TEXTMETRICA m{};
  GetTextMetricsA(t.dc, &m);
  SIZE word{};
  GetTextExtentPoint32A(t.dc, "Radio", 5, &word);
  RECT box{0, 0, word.cx + 2, 80};
  const int height = DrawTextA(t.dc, "Radio Radio Radio", -1, &box, DT_WORDBREAK);
  EXPECT_EQ(height, 3 * m.tmHeight);
  const RECT ink = t.Ink(200, 80);
  EXPECT_LE(ink.right, word.cx + 2);
  EXPECT_GT(ink.bottom, 2 * m.tmHeight);
}

TEST(GdiText, PrefixUnderlinesTheMarkedLetterUnlessNoPrefix) {
  TextDc with(60, 20), without(60, 20), plain(60, 20);
  for (TextDc* t : {&with, &without, &plain}) SetBkMode(t->dc, TRANSPARENT);
  RECT a{0, 0, 60, 20}, b{0, 0, 60, 20}, c{0, 0, 60, 20};
  DrawTextA(with.dc, "&Lm", -1, &a, DT_SINGLELINE);
  DrawTextA(plain.dc, "Lm", -1, &b, DT_SINGLELINE);
  DrawTextA(without.dc, "&Lm", -1, &c, DT_SINGLELINE | DT_NOPREFIX);
  const int underlined = with.Count(0, 60, 20), bare = plain.Count(0, 60, 20);
  EXPECT_GT(underlined, bare);  // the same letters plus a line under the L
  EXPECT_GT(without.Count(0, 60, 20), bare);  // the '&' itself is drawn
  // "&&" is one ampersand, without an underline.
  SIZE amp{}, two{};
  GetTextExtentPoint32A(plain.dc, "&", 1, &amp);
  RECT calc{0, 0, 60, 20};
  DrawTextA(plain.dc, "&&", -1, &calc, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(calc.right, amp.cx);
  GetTextExtentPoint32A(plain.dc, "&&", 2, &two);
  EXPECT_GT(two.cx, amp.cx);
}

TEST(GdiText, EndEllipsisShortensWhatDoesNotFit) {
  TextDc t(200, 20);
  SIZE full{};
  GetTextExtentPoint32A(t.dc, "Frequency 122.800", 17, &full);
  RECT box{0, 0, full.cx / 2, 20};
  RECT calc = box;
  DrawTextA(t.dc, "Frequency 122.800", -1, &calc, DT_CALCRECT | DT_SINGLELINE | DT_END_ELLIPSIS);
  EXPECT_LE(calc.right, box.right);
  EXPECT_GT(calc.right, 0);
}

TEST(GdiText, OpaqueTextFillsItsCellWithTheBackgroundColour) {
  TextDc t(80, 20);
  SetBkMode(t.dc, OPAQUE);
  SetBkColor(t.dc, RGB(0, 0, 255));
  SetTextColor(t.dc, RGB(255, 0, 0));
  ASSERT_TRUE(TextOutA(t.dc, 2, 3, "Hi", 2));
  SIZE s{};
  GetTextExtentPoint32A(t.dc, "Hi", 2, &s);
  EXPECT_EQ(t.Count(RGB(0, 0, 255), 80, 20) + t.Count(RGB(255, 0, 0), 80, 20), s.cx * s.cy);
  EXPECT_GT(t.Count(RGB(255, 0, 0), 80, 20), 0);
  EXPECT_EQ(GetPixel(t.dc, 1, 3), 0xFFFFFFu);
  EXPECT_EQ(GetPixel(t.dc, 2, 2), 0xFFFFFFu);
}

}  // namespace
