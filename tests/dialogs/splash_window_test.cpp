// The splash: its window's class, styles, colour key, size and place, its
// picture, and what a bitmap that cannot be read or a class that is taken
// leaves.
#include "dialogs/splash_window.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "win/gdi.h"
#include "win/messages.h"
#include "win/paint.h"
#include "win/system_metrics.h"
#include "win/window.h"
#include "win/window_class.h"
#include "win/window_pos.h"

namespace {

std::vector<char> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class SplashTest : public ::testing::Test {
 protected:
  std::string Write(const std::vector<char>& bytes) {
    const std::string path = folder_.Path() + "/Splash.bmp";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  std::vector<char> Good() { return FileBytes(std::string(TK_SOURCE_DIR) + "/res/bitmaps/7095.bmp"); }
  void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  TempFolder folder_;
};

TEST_F(SplashTest, AGoodBitmapIsShownCentredTopMostAndColourKeyedUntilHidden) {
  const HBITMAP reference = static_cast<HBITMAP>(LoadImageA(nullptr, MAKEINTRESOURCEA(7095), IMAGE_BITMAP, 0, 0, 0));
  BITMAP info{};
  ASSERT_NE(GetObjectA(reference, sizeof info, &info), 0);
  CSplash splash(Write(Good()));
  ASSERT_TRUE(splash.HasBitmap());
  ASSERT_TRUE(splash.Show());
  const HWND window = splash.Window();
  ASSERT_NE(window, 0u);
  EXPECT_EQ(WindowClassName(window), kSplashClassName);
  char title[16] = {};
  GetWindowTextA(window, title, sizeof title);
  EXPECT_STREQ(title, "Banner");
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_TRUE(IsWindowTopmost(window));
  EXPECT_EQ(WindowExStyle(window) & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_LAYERED),
            WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_LAYERED);
  const std::optional<LayeredAttributes> key = GetLayeredAttributes(window);
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(key->key, 0xFFFFFFu);
  EXPECT_EQ(key->flags, LWA_COLORKEY);
  RECT r{};
  GetWindowRect(window, &r);
  EXPECT_EQ(r.right - r.left, info.bmWidth);
  EXPECT_EQ(r.bottom - r.top, info.bmHeight);
  EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - info.bmWidth) / 2);
  EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - info.bmHeight) / 2);

  // Its paint copies the bitmap.
  InvalidateRect(window, nullptr, TRUE);
  UpdateWindow(window);
  Pump();
  const HDC dc = GetDC(window);
  const HDC memory = CreateCompatibleDC(dc);
  SelectObject(memory, reference);
  int differing = 0;
  for (int y = 0; y < info.bmHeight; ++y)
    for (int x = 0; x < info.bmWidth; ++x) differing += GetPixel(dc, x, y) != GetPixel(memory, x, y) ? 1 : 0;
  DeleteDC(memory);
  ReleaseDC(window, dc);
  DeleteObject(reference);
  EXPECT_EQ(differing, 0);

  splash.Hide();
  EXPECT_EQ(splash.Window(), 0u);
  EXPECT_EQ(WindowsOfClass(kSplashClassName), 0);
  WNDCLASSA again;
  again.lpfnWndProc = &DefWindowProcA;
  again.lpszClassName = kSplashClassName;
  EXPECT_NE(RegisterClassA(&again), 0) << "the class was unregistered";
  UnregisterClassA(kSplashClassName, nullptr);
}

TEST_F(SplashTest, ABitmapThatCannotBeReadLeavesAnEmptySplash) {
  const std::vector<char> good = Good();
  std::vector<char> odd = good;
  odd[28] = 13;  // no such depth
  const std::vector<std::vector<char>> bad = {std::vector<char>(good.begin(), good.begin() + good.size() / 2),
                                              std::vector<char>(good.begin(), good.begin() + 10), odd, {}};
  for (const std::vector<char>& bytes : bad) {
    CSplash splash(Write(bytes));
    EXPECT_FALSE(splash.HasBitmap()) << bytes.size();
  }
  CSplash missing(folder_.Path() + "/none.bmp");
  EXPECT_FALSE(missing.HasBitmap());
}

TEST_F(SplashTest, ATakenClassShowsNoSplash) {
  WNDCLASSA taken;
  taken.lpfnWndProc = &DefWindowProcA;
  taken.lpszClassName = kSplashClassName;
  ASSERT_NE(RegisterClassA(&taken), 0);
  {
    CSplash splash(Write(Good()));
    EXPECT_FALSE(splash.Show());
    EXPECT_EQ(splash.Window(), 0u);
  }
  EXPECT_FALSE(RegisterClassA(&taken)) << "the class is left to its owner";
  UnregisterClassA(kSplashClassName, nullptr);
}

TEST_F(SplashTest, DestroyingTheSplashRemovesItsWindow) {
  {
    CSplash splash(Write(Good()));
    ASSERT_TRUE(splash.Show());
    EXPECT_EQ(WindowsOfClass(kSplashClassName), 1);
  }
  EXPECT_EQ(WindowsOfClass(kSplashClassName), 0);
}

}  // namespace
