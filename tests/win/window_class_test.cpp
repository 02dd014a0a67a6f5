// Window classes and the windows made of them: registration, creation with
// the extended styles, the class procedure and its default, the colour key
// of a layered window; and BMP files loaded as bitmaps.
#include "win/window_class.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "win/bitmap_resource.h"
#include "win/gdi.h"
#include "win/messages.h"
#include "win/styles.h"
#include "win/window_pos.h"

namespace {

struct Seen {
  void* createParam = nullptr;
  int creates = 0;
  int destroys = 0;
  bool refuseCreate = false;
};
Seen g_seen;

LRESULT RecordingProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    ++g_seen.creates;
    g_seen.createParam = reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams;
    return g_seen.refuseCreate ? -1 : 0;
  }
  if (message == WM_DESTROY) ++g_seen.destroys;
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

class WindowClassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_seen = Seen{};
    windowClass_.lpfnWndProc = &RecordingProcedure;
    windowClass_.lpszClassName = "TESTCLASS";
  }
  void TearDown() override { UnregisterClassA("TESTCLASS", nullptr); }
  WNDCLASSA windowClass_;
};

TEST_F(WindowClassTest, ANameIsRegisteredOnceUntilUnregistered) {
  EXPECT_NE(RegisterClassA(&windowClass_), 0);
  EXPECT_EQ(RegisterClassA(&windowClass_), 0) << "the name is taken";
  EXPECT_TRUE(UnregisterClassA("TESTCLASS", nullptr));
  EXPECT_FALSE(UnregisterClassA("TESTCLASS", nullptr));
  EXPECT_NE(RegisterClassA(&windowClass_), 0);

  WNDCLASSA noName = windowClass_;
  noName.lpszClassName = "";
  EXPECT_EQ(RegisterClassA(&noName), 0);
  WNDCLASSA noProcedure = windowClass_;
  noProcedure.lpszClassName = "OTHER";
  noProcedure.lpfnWndProc = nullptr;
  EXPECT_EQ(RegisterClassA(&noProcedure), 0);
  EXPECT_EQ(RegisterClassA(nullptr), 0);
}

TEST_F(WindowClassTest, AWindowOfTheClassIsMadeWithItsStylesAndDestroyed) {
  ASSERT_NE(RegisterClassA(&windowClass_), 0);
  int param = 7;
  const HWND hwnd = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_LAYERED, "TESTCLASS", "Banner", WS_POPUP,
                                    30, 40, 200, 100, 0, 0, nullptr, &param);
  ASSERT_NE(hwnd, 0u);
  EXPECT_EQ(g_seen.creates, 1);
  EXPECT_EQ(g_seen.createParam, &param) << "WM_CREATE carries the creation parameter";
  EXPECT_EQ(WindowClassName(hwnd), "TESTCLASS");
  EXPECT_EQ(WindowExStyle(hwnd), WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_LAYERED);
  EXPECT_TRUE(IsWindowTopmost(hwnd));
  char title[32] = {};
  GetWindowTextA(hwnd, title, sizeof title);
  EXPECT_STREQ(title, "Banner") << "the default procedure keeps the text";
  RECT r{};
  GetWindowRect(hwnd, &r);
  EXPECT_EQ(r.left, 30);
  EXPECT_EQ(r.top, 40);
  EXPECT_EQ(r.right - r.left, 200);
  EXPECT_EQ(r.bottom - r.top, 100);
  EXPECT_FALSE(IsWindowVisible(hwnd)) << "shown only when asked";
  EXPECT_EQ(WindowsOfClass("TESTCLASS"), 1);

  EXPECT_TRUE(DestroyWindow(hwnd));
  EXPECT_EQ(g_seen.destroys, 1);
  EXPECT_EQ(WindowsOfClass("TESTCLASS"), 0);
  EXPECT_EQ(WindowClassName(hwnd), "");
}

TEST_F(WindowClassTest, NoWindowForAnUnknownClassOrARefusedCreate) {
  EXPECT_EQ(CreateWindowExA(0, "NOSUCHCLASS", "x", WS_POPUP, 0, 0, 10, 10, 0, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(CreateWindowExA(0, nullptr, "x", WS_POPUP, 0, 0, 10, 10, 0, 0, nullptr, nullptr), 0u);
  ASSERT_NE(RegisterClassA(&windowClass_), 0);
  g_seen.refuseCreate = true;
  EXPECT_EQ(CreateWindowExA(0, "TESTCLASS", "x", WS_POPUP, 0, 0, 10, 10, 0, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(WindowsOfClass("TESTCLASS"), 0);
}

TEST_F(WindowClassTest, OnlyALayeredWindowTakesAColourKey) {
  ASSERT_NE(RegisterClassA(&windowClass_), 0);
  const HWND layered = CreateWindowExA(WS_EX_LAYERED, "TESTCLASS", "", WS_POPUP, 0, 0, 10, 10, 0, 0, nullptr, nullptr);
  const HWND plain = CreateWindowExA(0, "TESTCLASS", "", WS_POPUP, 0, 0, 10, 10, 0, 0, nullptr, nullptr);
  ASSERT_NE(layered, 0u);
  ASSERT_NE(plain, 0u);
  EXPECT_FALSE(IsWindowTopmost(plain));
  EXPECT_FALSE(GetLayeredAttributes(layered).has_value()) << "no key before it is set";
  EXPECT_TRUE(SetLayeredWindowAttributes(layered, 0xFFFFFF, 0, LWA_COLORKEY));
  const std::optional<LayeredAttributes> key = GetLayeredAttributes(layered);
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(key->key, 0xFFFFFFu);
  EXPECT_EQ(key->flags, LWA_COLORKEY);
  EXPECT_FALSE(SetLayeredWindowAttributes(plain, 0xFFFFFF, 0, LWA_COLORKEY));
  EXPECT_FALSE(SetLayeredWindowAttributes(0, 0xFFFFFF, 0, LWA_COLORKEY));
  DestroyWindow(layered);
  DestroyWindow(plain);
}

// A 4x3 24-bit file.
std::vector<char> GoodBmp() {
  const int width = 4;
  const int height = 3;
  const int stride = 12;
  std::vector<char> b(54 + stride * height, 0);
  const auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put32(2, static_cast<std::uint32_t>(b.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, width);
  put32(22, height);
  b[26] = 1;
  b[28] = 24;
  return b;
}

TEST(BitmapFromFile, AWellFormedFileLoadsAndAShortOrOddOneDoesNot) {
  const std::string folder = std::filesystem::temp_directory_path() / ("tk_bmpfile_" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  struct Case {
    const char* name;
    std::vector<char> bytes;
    bool loads;
  };
  std::vector<char> wrongMagic = GoodBmp();
  wrongMagic[0] = 'X';
  std::vector<char> odd = GoodBmp();
  odd[28] = 13;  // no such depth
  std::vector<char> hugeWidth = GoodBmp();
  hugeWidth[21] = 0x7F;
  const std::vector<char> good = GoodBmp();
  const std::vector<Case> cases = {
      {"good", good, true},
      {"truncated", std::vector<char>(good.begin(), good.end() - 5), false},
      {"header only", std::vector<char>(good.begin(), good.begin() + 20), false},
      {"empty", {}, false},
      {"wrong magic", wrongMagic, false},
      {"odd depth", odd, false},
      {"huge width", hugeWidth, false},
  };
  for (const Case& c : cases) {
    const std::string path = folder + "/Splash.bmp";
    {
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out.write(c.bytes.data(), static_cast<std::streamsize>(c.bytes.size()));
    }
    const auto bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    EXPECT_EQ(bitmap != 0, c.loads) << c.name;
    if (bitmap == 0) continue;
    BITMAP info{};
    ASSERT_NE(GetObjectA(bitmap, sizeof info, &info), 0);
    EXPECT_EQ(info.bmWidth, 4);
    EXPECT_EQ(info.bmHeight, 3);
    EXPECT_FALSE(BitmapResourceId(bitmap).has_value()) << "a file is no resource";
    DeleteObject(bitmap);
  }
  EXPECT_EQ(LoadImageA(nullptr, (folder + "/missing.bmp").c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), 0u);
  EXPECT_EQ(LoadImageA(nullptr, folder.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), 0u) << "a folder";
  std::filesystem::remove_all(folder);
}

}  // namespace
