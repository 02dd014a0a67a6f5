// Edges, frames, the focus rectangle, DrawStateA, lines and system colours.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "win/gdi.h"

namespace {

struct Canvas {
  Canvas(int w, int h, COLORREF fill) : width(w), height(h) {
    dc = CreateCompatibleDC(0);
    bitmap = CreateCompatibleBitmap(0, w, h);
    old = SelectObject(dc, bitmap);
    HBRUSH brush = CreateSolidBrush(fill);
    const RECT all{0, 0, w, h};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  int width, height;
  HDC dc = 0;
  HBITMAP bitmap = 0;
  HGDIOBJ old = 0;
};

constexpr COLORREF kFace = RGB(192, 192, 192), kShadow = RGB(128, 128, 128), kWhite = RGB(255, 255, 255),
                   kBlack = RGB(0, 0, 0), kGreen = RGB(0, 255, 0);

TEST(GdiSysColors, ClassicSchemeAndItsBrushesFollowChanges) {
  ResetSysColorsForTest();
  struct Case {
    int index;
    COLORREF colour;
  };
  const std::array<Case, 12> cases = {{{COLOR_BTNFACE, kFace},
                                       {COLOR_BTNSHADOW, kShadow},
                                       {COLOR_BTNHIGHLIGHT, kWhite},
                                       {COLOR_3DDKSHADOW, kBlack},
                                       {COLOR_3DLIGHT, kFace},
                                       {COLOR_HIGHLIGHT, RGB(0, 0, 128)},
                                       {COLOR_HIGHLIGHTTEXT, kWhite},
                                       {COLOR_GRAYTEXT, kShadow},
                                       {COLOR_MENU, kFace},
                                       {COLOR_WINDOW, kWhite},
                                       {COLOR_WINDOWFRAME, kBlack},
                                       {COLOR_BTNTEXT, kBlack}}};
  for (const Case& c : cases) {
    EXPECT_EQ(GetSysColor(c.index), c.colour) << c.index;
    EXPECT_EQ(BrushColour(GetSysColorBrush(c.index)), c.colour) << c.index;
  }
  EXPECT_EQ(GetSysColor(31), 0u);
  EXPECT_EQ(GetSysColorBrush(-1), 0u);
  const HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
  EXPECT_FALSE(DeleteObject(face));  // a stock brush
  SetSysColorForTest(COLOR_BTNFACE, RGB(1, 2, 3));
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(1, 2, 3));
  EXPECT_EQ(GetSysColorBrush(COLOR_BTNFACE), face);
  EXPECT_EQ(BrushColour(face), RGB(1, 2, 3));
  ResetSysColorsForTest();
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), kFace);
}

TEST(GdiShapes, StockObjectsAreNeverDeleted) {
  for (int index : {WHITE_BRUSH, BLACK_BRUSH, NULL_BRUSH, WHITE_PEN, BLACK_PEN, NULL_PEN, DEFAULT_GUI_FONT,
                    SYSTEM_FONT}) {
    const HGDIOBJ stock = GetStockObject(index);
    ASSERT_NE(stock, 0u) << index;
    EXPECT_FALSE(DeleteObject(stock)) << index;
    EXPECT_EQ(GetStockObject(index), stock);
    EXPECT_GT(GetObjectA(stock, 0, nullptr), 0);
  }
  EXPECT_EQ(BrushColour(static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), kBlack);
  EXPECT_EQ(GetStockObject(999), 0u);
}

TEST(GdiShapes, DeletingObjectsOfEveryKindAndBitmapsStillSelected) {
  const std::size_t bitmaps = LiveBitmapCount(), pens = LivePenCount(), fonts = LiveFontCount(),
                    brushes = LiveBrushCount(), dcs = LiveDcCount();
  HBITMAP bitmap = CreateBitmap(2, 2, 1, 32, nullptr);
  HPEN pen = CreatePen(PS_SOLID, 1, kGreen);
  const LOGFONTA log = DefaultGuiLogFont();
  HFONT font = CreateFontIndirectA(&log);
  HBRUSH brush = CreatePatternBrush(bitmap);
  HDC dc = CreateCompatibleDC(0);
  EXPECT_EQ(LiveBitmapCount(), bitmaps + 1);
  EXPECT_EQ(LivePenCount(), pens + 1);
  EXPECT_EQ(LiveFontCount(), fonts + 1);
  EXPECT_EQ(LiveBrushCount(), brushes + 1);
  EXPECT_EQ(LiveDcCount(), dcs + 1);
  HGDIOBJ old = SelectObject(dc, bitmap);
  EXPECT_FALSE(DeleteObject(bitmap));  // still in the DC
  HDC other = CreateCompatibleDC(0);
  EXPECT_EQ(SelectObject(other, bitmap), 0u);  // one DC at a time
  DeleteDC(other);
  SelectObject(dc, old);
  for (HGDIOBJ o : {HGDIOBJ{bitmap}, HGDIOBJ{pen}, HGDIOBJ{font}, HGDIOBJ{brush}}) {
    EXPECT_TRUE(DeleteObject(o));
    EXPECT_FALSE(DeleteObject(o));
  }
  EXPECT_FALSE(DeleteObject(dc));  // DCs go with DeleteDC
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc));
  EXPECT_EQ(LiveBitmapCount(), bitmaps);
  EXPECT_EQ(LivePenCount(), pens);
  EXPECT_EQ(LiveFontCount(), fonts);
  EXPECT_EQ(LiveBrushCount(), brushes);
  EXPECT_EQ(LiveDcCount(), dcs);
}

TEST(GdiShapes, CompatibleBitmapOfAFreshMemoryDcIsMonochromeAsOnWindows) {
  HDC dc = CreateCompatibleDC(0);
  HBITMAP mono = CreateCompatibleBitmap(dc, 3, 3);
  HBITMAP colour = CreateCompatibleBitmap(0, 3, 3);
  BITMAP a{}, b{};
  GetObjectA(mono, sizeof a, &a);
  GetObjectA(colour, sizeof b, &b);
  EXPECT_EQ(a.bmBitsPixel, 1);
  EXPECT_EQ(a.bmWidthBytes, 2);
  EXPECT_EQ(b.bmBitsPixel, 32);
  EXPECT_EQ(b.bmWidth, 3);
  HGDIOBJ old = SelectObject(dc, colour);
  HBITMAP second = CreateCompatibleBitmap(dc, 3, 3);
  BITMAP c{};
  GetObjectA(second, sizeof c, &c);
  EXPECT_EQ(c.bmBitsPixel, 32);
  SelectObject(dc, old);
  for (HBITMAP h : {mono, colour, second}) DeleteObject(h);
  DeleteDC(dc);
}

TEST(GdiShapes, Draw3dRectFrameRectAndFillSolidRect) {
  Canvas c(6, 5, kGreen);
  CDC* dc = CDC::FromHandle(c.dc);
  dc->Draw3dRect(0, 0, 6, 5, kWhite, kShadow);
  // Top and left in the first colour; bottom and right, with both far corners, in the second.
  EXPECT_EQ(GetPixel(c.dc, 0, 0), kWhite);
  EXPECT_EQ(GetPixel(c.dc, 4, 0), kWhite);
  EXPECT_EQ(GetPixel(c.dc, 5, 0), kShadow);
  EXPECT_EQ(GetPixel(c.dc, 0, 3), kWhite);
  EXPECT_EQ(GetPixel(c.dc, 0, 4), kShadow);
  EXPECT_EQ(GetPixel(c.dc, 5, 4), kShadow);
  EXPECT_EQ(GetPixel(c.dc, 1, 1), kGreen);
  EXPECT_EQ(dc->GetBkColor(), kShadow);  // the class library leaves the last colour as background
  RECT inner{1, 1, 5, 4};
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  FrameRect(c.dc, &inner, black);
  EXPECT_EQ(GetPixel(c.dc, 1, 1), kBlack);
  EXPECT_EQ(GetPixel(c.dc, 4, 3), kBlack);
  EXPECT_EQ(GetPixel(c.dc, 2, 2), kGreen);
  dc->FillSolidRect(2, 2, 2, 1, RGB(9, 9, 9));
  EXPECT_EQ(GetPixel(c.dc, 2, 2), RGB(9, 9, 9));
  EXPECT_EQ(GetPixel(c.dc, 3, 2), RGB(9, 9, 9));
  // FillRect also takes a system colour index + 1 for a brush.
  const RECT one{2, 2, 3, 3};
  FillRect(c.dc, &one, static_cast<HBRUSH>(COLOR_BTNFACE + 1));
  EXPECT_EQ(GetPixel(c.dc, 2, 2), kFace);
}

TEST(GdiShapes, DrawEdgeLaysItsRingsInTheSystemColours) {
  struct Case {
    const char* name;
    UINT edge, flags;
    COLORREF outerTopLeft, outerBottomRight, innerTopLeft, innerBottomRight;
  };
  const COLORREF none = 0xFF000000;  // not drawn: the canvas shows
  const std::array<Case, 4> cases = {{
      {"raised", EDGE_RAISED, BF_RECT, kFace, kBlack, kWhite, kShadow},
      {"sunken", EDGE_SUNKEN, BF_RECT, kShadow, kWhite, kBlack, kFace},
      {"sunken outer", BDR_SUNKENOUTER, BF_RECT, kShadow, kWhite, none, none},
      {"etched", EDGE_ETCHED, BF_RECT, kShadow, kWhite, kWhite, kShadow},
  }};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Canvas canvas(8, 8, kGreen);
    RECT r{0, 0, 8, 8};
    ASSERT_TRUE(DrawEdge(canvas.dc, &r, c.edge, c.flags | BF_ADJUST));
    auto shown = [&](COLORREF expected) { return expected == none ? kGreen : expected; };
    EXPECT_EQ(GetPixel(canvas.dc, 0, 3), c.outerTopLeft);
    EXPECT_EQ(GetPixel(canvas.dc, 3, 0), c.outerTopLeft);
    EXPECT_EQ(GetPixel(canvas.dc, 7, 3), c.outerBottomRight);
    EXPECT_EQ(GetPixel(canvas.dc, 3, 7), c.outerBottomRight);
    EXPECT_EQ(GetPixel(canvas.dc, 7, 0), c.outerBottomRight);  // the far corners
    EXPECT_EQ(GetPixel(canvas.dc, 0, 7), c.outerBottomRight);
    EXPECT_EQ(GetPixel(canvas.dc, 1, 3), shown(c.innerTopLeft));
    EXPECT_EQ(GetPixel(canvas.dc, 6, 3), shown(c.innerBottomRight));
    EXPECT_EQ(GetPixel(canvas.dc, 3, 3), kGreen);
    const LONG rings = c.innerTopLeft == none ? 1 : 2;
    EXPECT_EQ(r, (RECT{rings, rings, 8 - rings, 8 - rings}));
  }
  Canvas only(5, 5, kGreen);
  RECT r{0, 0, 5, 5};
  DrawEdge(only.dc, &r, EDGE_RAISED, BF_BOTTOM | BF_MIDDLE);
  EXPECT_EQ(GetPixel(only.dc, 2, 0), kFace);  // the middle, no top edge
  EXPECT_EQ(GetPixel(only.dc, 2, 4), kBlack);
  EXPECT_EQ(GetPixel(only.dc, 2, 3), kShadow);
}

TEST(GdiShapes, FocusRectangleInvertsEveryOtherFramePixelAndUndoesItself) {
  Canvas c(6, 6, kBlack);
  const RECT r{1, 1, 5, 5};
  ASSERT_TRUE(DrawFocusRect(c.dc, &r));
  EXPECT_EQ(GetPixel(c.dc, 1, 1), kWhite);
  EXPECT_EQ(GetPixel(c.dc, 2, 1), kBlack);
  EXPECT_EQ(GetPixel(c.dc, 3, 1), kWhite);
  EXPECT_EQ(GetPixel(c.dc, 4, 3), kBlack);
  EXPECT_EQ(GetPixel(c.dc, 4, 4), kWhite);
  EXPECT_EQ(GetPixel(c.dc, 2, 2), kBlack);  // the inside
  EXPECT_EQ(GetPixel(c.dc, 0, 0), kBlack);
  ASSERT_TRUE(DrawFocusRect(c.dc, &r));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(GetPixel(c.dc, x, y), kBlack) << x << "," << y;
}

TEST(GdiShapes, DisabledDrawStateEmbossesTheImageShape) {
  // The image: white but for a black pixel at (1,1).
  Canvas image(3, 3, kWhite);
  SetPixel(image.dc, 1, 1, kBlack);
  Canvas target(6, 6, kGreen);
  ASSERT_TRUE(DrawStateA(target.dc, 0, nullptr, static_cast<LPARAM>(image.bitmap), 0, 1, 1, 0, 0, DST_BITMAP | DSS_DISABLED));
  EXPECT_EQ(GetPixel(target.dc, 2, 2), kShadow);  // in place: the shadow
  EXPECT_EQ(GetPixel(target.dc, 3, 3), kWhite);   // one down and right: the highlight
  EXPECT_EQ(GetPixel(target.dc, 1, 1), kGreen);   // white image pixels leave the target
  EXPECT_EQ(GetPixel(target.dc, 3, 2), kGreen);
  ASSERT_TRUE(DrawStateA(target.dc, 0, nullptr, static_cast<LPARAM>(image.bitmap), 0, 3, 3, 0, 0, DST_BITMAP));
  EXPECT_EQ(GetPixel(target.dc, 3, 3), kWhite);  // normal: the image as it is
  EXPECT_EQ(GetPixel(target.dc, 4, 4), kBlack);
}

TEST(GdiShapes, LinesLeaveOutTheirLastPointAndRectanglesUseThePen) {
  Canvas c(6, 6, kWhite);
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  HGDIOBJ oldPen = SelectObject(c.dc, pen);
  MoveToEx(c.dc, 0, 0, nullptr);
  ASSERT_TRUE(LineTo(c.dc, 4, 0));
  EXPECT_EQ(GetPixel(c.dc, 3, 0), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(c.dc, 4, 0), kWhite);
  LineTo(c.dc, 4, 4);
  EXPECT_EQ(GetPixel(c.dc, 4, 0), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(c.dc, 4, 3), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(c.dc, 4, 4), kWhite);
  HGDIOBJ oldBrush = SelectObject(c.dc, GetStockObject(BLACK_BRUSH));
  Canvas r(5, 5, kWhite);
  SelectObject(r.dc, pen);
  SelectObject(r.dc, GetStockObject(BLACK_BRUSH));
  Rectangle(r.dc, 0, 0, 4, 4);
  EXPECT_EQ(GetPixel(r.dc, 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(r.dc, 3, 3), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(r.dc, 1, 1), kBlack);
  EXPECT_EQ(GetPixel(r.dc, 4, 4), kWhite);
  SelectObject(r.dc, GetStockObject(BLACK_PEN));
  SelectObject(c.dc, oldBrush);
  SelectObject(c.dc, oldPen);
  DeleteObject(pen);
}

TEST(GdiShapes, EllipseFillsInsideItsBox) {
  Canvas c(12, 12, kWhite);
  SelectObject(c.dc, GetStockObject(BLACK_BRUSH));
  SelectObject(c.dc, GetStockObject(NULL_PEN));
  ASSERT_TRUE(Ellipse(c.dc, 2, 2, 10, 10));
  EXPECT_EQ(GetPixel(c.dc, 6, 6), kBlack);
  EXPECT_EQ(GetPixel(c.dc, 2, 2), kWhite);  // the corners of the box stay
  EXPECT_EQ(GetPixel(c.dc, 9, 9), kWhite);
  EXPECT_EQ(GetPixel(c.dc, 1, 6), kWhite);
  EXPECT_EQ(GetPixel(c.dc, 10, 6), kWhite);
  SelectObject(c.dc, GetStockObject(WHITE_BRUSH));
  SelectObject(c.dc, GetStockObject(BLACK_PEN));
}

TEST(GdiShapes, SaveDcRestoresColoursOriginsAndObjects) {
  Canvas c(4, 4, kWhite);
  SetTextColor(c.dc, RGB(1, 1, 1));
  const int saved = SaveDC(c.dc);
  ASSERT_EQ(saved, 1);
  SetTextColor(c.dc, RGB(2, 2, 2));
  SetWindowOrgEx(c.dc, 5, 5, nullptr);
  SelectObject(c.dc, GetStockObject(BLACK_BRUSH));
  ASSERT_TRUE(RestoreDC(c.dc, -1));
  EXPECT_EQ(GetTextColor(c.dc), RGB(1, 1, 1));
  POINT origin{};
  GetWindowOrgEx(c.dc, &origin);
  EXPECT_EQ(origin, (POINT{0, 0}));
  EXPECT_EQ(GetCurrentObject(c.dc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(GetCurrentObject(c.dc, OBJ_BITMAP), c.bitmap);
  EXPECT_FALSE(RestoreDC(c.dc, -1));  // nothing saved any more
}

}  // namespace
