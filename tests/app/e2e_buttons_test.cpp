// The Connect button as the running program paints it, offline and logged in.
#include <gtest/gtest.h>

#include <string>

#include "e2e_client_fixture.h"
#include "support/png_pixels.h"
#include "win/gdi.h"

namespace {

class ButtonsEndToEnd : public ClientEndToEnd {
 protected:
  // The control's painted surface, read back from the snapshot.
  PngPixels Snapshot(const std::string& name) {
    const std::string path = tree_.Path() + "/" + name + ".png";
    Ask("snapshot 7055 7212 " + path);
    std::optional<PngPixels> read = ReadPngPixels(path);
    EXPECT_TRUE(read.has_value()) << path;
    return read.value_or(PngPixels{});
  }

  // Every pixel of the bitmap that is not its transparent colour shows as it is.
  static void ExpectPicture(const PngPixels& shown, UINT bitmapId, COLORREF transparent) {
    const HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(nullptr, MAKEINTRESOURCEA(static_cast<WORD>(bitmapId)), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_NE(bitmap, 0u) << bitmapId;
    BITMAP info{};
    ASSERT_NE(GetObjectA(bitmap, sizeof info, &info), 0);
    ASSERT_EQ(shown.width, info.bmWidth) << "the button is sized to its picture";
    ASSERT_EQ(shown.height, info.bmHeight);
    const HDC dc = CreateCompatibleDC(0);
    const HGDIOBJ old = SelectObject(dc, bitmap);
    int differing = 0;
    int compared = 0;
    for (int y = 0; y < info.bmHeight; ++y) {
      for (int x = 0; x < info.bmWidth; ++x) {
        const COLORREF picture = GetPixel(dc, x, y);
        if (picture == transparent) continue;
        ++compared;
        if (shown.At(x, y) != picture) ++differing;
      }
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
    EXPECT_GT(compared, 1000);
    EXPECT_EQ(differing, 0) << "of " << compared << " pixels of bitmap " << bitmapId;
  }
};

TEST_F(ButtonsEndToEnd, TheConnectButtonPaintsTheOfflineThenTheConnectedPicture) {
  StartInSession();
  ASSERT_TRUE(Shows("control 7055 7212 kind=ownerdraw visible=1 enabled=1 text=OFF\nimage 7095"));
  ExpectPicture(Snapshot("offline"), 7095, RGB(255, 255, 255));
  PressConnect();
  ASSERT_TRUE(Shows("control 7055 7212 kind=ownerdraw visible=1 enabled=1 text=OFF\nimage 7096")) << client_->Stderr();
  ExpectPicture(Snapshot("connected"), 7096, RGB(255, 255, 255));
}

}  // namespace
