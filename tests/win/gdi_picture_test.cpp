// Whole pictures: a sample of edges, text and a gradient against its
// committed reference, the reference tool's own failure report, text drawn on
// a worker thread, and the class library's wrappers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>
#include <unistd.h>

#include "support/reference_image.h"
#include "win/gdi.h"

namespace {

// A button-like sample: a raised edge, a centred caption, a gradient strip and
// a focus rectangle.
HBITMAP DrawSample() {
  CDC dc;
  dc.CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(0, 64, 28);
  HGDIOBJ old = dc.SelectObject(bitmap);
  CRect all(0, 0, 64, 28);
  dc.FillSolidRect(&all, GetSysColor(COLOR_BTNFACE));
  RECT edge = all;
  dc.DrawEdge(&edge, EDGE_RAISED, BF_RECT | BF_ADJUST);
  TRIVERTEX v[2] = {{3, 20, 0x0000, 0x6400, 0x0000, 0}, {61, 25, 0xFF00, 0xFF00, 0x0000, 0}};
  GRADIENT_RECT r{0, 1};
  GradientFill(dc, v, 2, &r, 1, GRADIENT_FILL_RECT_H);
  dc.SelectObject(GetStockObject(DEFAULT_GUI_FONT));
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(GetSysColor(COLOR_BTNTEXT));
  RECT caption{2, 2, 62, 20};
  dc.DrawText("&Connect", -1, &caption, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  RECT focus{3, 3, 61, 19};
  dc.DrawFocusRect(&focus);
  dc.SelectObject(old);
  return bitmap;
}

TEST(GdiPicture, SampleMatchesItsReference) {
  ResetSysColorsForTest();
  HBITMAP picture = DrawSample();
  EXPECT_TRUE(MatchesReference(picture, "gdi_sample"));
  DeleteObject(picture);
}

TEST(GdiPicture, AMismatchIsReportedWithTheActualAndDifferenceImages) {
  const std::filesystem::path out =
      std::filesystem::temp_directory_path() / ("gdi_reference_" + std::to_string(::getpid()));
  ::setenv("TK_REFERENCE_OUT", out.c_str(), 1);
  HBITMAP picture = DrawSample();
  CDC* dc = CDC::FromHandle(CreateCompatibleDC(0));
  HGDIOBJ old = dc->SelectObject(picture);
  dc->SetPixel(10, 10, RGB(255, 0, 255));
  dc->SelectObject(old);
  const auto result = MatchesReference(picture, "gdi_sample");
  EXPECT_FALSE(result);
  EXPECT_NE(std::string(result.message()).find("1 pixels differ, the first at (10,10)"), std::string::npos)
      << result.message();
  EXPECT_TRUE(std::filesystem::exists(out / "gdi_sample.actual.png"));
  EXPECT_TRUE(std::filesystem::exists(out / "gdi_sample.diff.png"));
  EXPECT_FALSE(MatchesReference(picture, "no_such_reference"));
  ::unsetenv("TK_REFERENCE_OUT");
  std::filesystem::remove_all(out);
  DeleteDC(dc->GetSafeHdc());
  DeleteObject(picture);
}

TEST(GdiPicture, TextOnAWorkerThreadDrawsAsOnTheFirst) {
  HBITMAP here = DrawSample();
  HBITMAP there = 0;
  std::thread worker([&] { there = DrawSample(); });
  worker.join();
  ASSERT_NE(there, 0u);
  HDC a = CreateCompatibleDC(0), b = CreateCompatibleDC(0);
  HGDIOBJ oldA = SelectObject(a, here), oldB = SelectObject(b, there);
  int differing = 0;
  for (int y = 0; y < 28; ++y)
    for (int x = 0; x < 64; ++x) differing += GetPixel(a, x, y) != GetPixel(b, x, y) ? 1 : 0;
  EXPECT_EQ(differing, 0);
  SelectObject(a, oldA);
  SelectObject(b, oldB);
  DeleteDC(a);
  DeleteDC(b);
  DeleteObject(here);
  DeleteObject(there);
}

TEST(GdiPicture, WrappersOwnTheirHandlesAndFromHandleWrappersDoNot) {
  const std::size_t pens = LivePenCount(), dcs = LiveDcCount();
  {
    CDC dc;
    ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
    CPen red(PS_SOLID, 1, RGB(255, 0, 0));
    CPen* previous = dc.SelectObject(&red);
    ASSERT_NE(previous, nullptr);
    EXPECT_EQ(previous->GetSafeHandle(), GetStockObject(BLACK_PEN));
    EXPECT_EQ(dc.GetCurrentPen()->GetSafeHandle(), red.GetSafeHandle());
    EXPECT_EQ(CPen::FromHandle(red.GetSafeHandle()), dc.GetCurrentPen());  // one wrapper per handle
    dc.SelectObject(previous);
    EXPECT_EQ(LivePenCount(), pens + 1);
    CDC* view = CDC::FromHandle(dc.GetSafeHdc());
    EXPECT_EQ(view->GetSafeHdc(), dc.GetSafeHdc());
  }
  // The owners deleted their pen and DC; the wrappers deleted nothing more.
  EXPECT_EQ(LivePenCount(), pens);
  EXPECT_EQ(LiveDcCount(), dcs);
  CBitmap bitmap;
  EXPECT_TRUE(bitmap.LoadBitmap(7096));
  BITMAP record{};
  EXPECT_EQ(bitmap.GetBitmap(&record), static_cast<int>(sizeof record));
  EXPECT_EQ(record.bmWidth, 40);
  EXPECT_FALSE(bitmap.LoadBitmap(7096));  // holds one already
  EXPECT_TRUE(bitmap.DeleteObject());
}

}  // namespace
