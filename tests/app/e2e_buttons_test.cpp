// The Connect button as the running program paints it, offline and logged in.
#include <gtest/gtest.h>

#include <string>

#include "e2e_client_fixture.h"
#include "support/png_pixels.h"
#include "win/gdi.h"

namespace {

class ButtonsEndToEnd : public ClientEndToEnd {
 protected:
  // The control's painted surface (the dialog's whole picture for id 0), read back from the snapshot.
  PngPixels Snapshot(const std::string& name, int id = 7212) {
    const std::string path = tree_.Path() + "/" + name + ".png";
    Ask("snapshot 7055 " + (id != 0 ? std::to_string(id) + " " : std::string()) + path);
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

// True when `part` appears, pixel for pixel, somewhere in `whole`.
bool Holds(const PngPixels& whole, const PngPixels& part) {
  if (part.width == 0 || part.height == 0) return false;
  for (int top = 0; top + part.height <= whole.height; ++top) {
    for (int left = 0; left + part.width <= whole.width; ++left) {
      bool same = true;
      for (int y = 0; y < part.height && same; ++y) {
        for (int x = 0; x < part.width && same; ++x) same = whole.At(left + x, top + y) == part.At(x, y);
      }
      if (same) return true;
    }
  }
  return false;
}

// The main dialog's picture holds its four shaded buttons and the Connect
// button as each paints itself, before and after a login.
TEST_F(ButtonsEndToEnd, TheMainDialogsPictureShowsItsShadedButtonsAndTheConnectBitmap) {
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  ASSERT_NO_FATAL_FAILURE(CloseTypeChooser());
  ASSERT_TRUE(Shows("control 7055 7212 kind=ownerdraw visible=1 enabled=1 text=OFF\nimage 7095"));
  for (const char* state : {"offline", "connected"}) {
    SCOPED_TRACE(state);
    if (std::string(state) == "connected") {
      PressConnect();
      ASSERT_TRUE(Shows("control 7055 7212 kind=ownerdraw visible=1 enabled=1 text=OFF\nimage 7096"))
          << client_->Stderr();
    }
    const PngPixels dialog = Snapshot(std::string("dialog-") + state, 0);
    for (int id : {7201, 7202, 7211, 7219, 7212}) {
      const PngPixels button = Snapshot(std::string(state) + "-" + std::to_string(id), id);
      EXPECT_GT(button.width, 0) << id;
      EXPECT_TRUE(Holds(dialog, button)) << "button " << id << " is in the dialog's picture";
    }
  }
  ExpectPicture(Snapshot("connected-again"), 7096, RGB(255, 255, 255));
}

TEST_F(ButtonsEndToEnd, TheConnectButtonPaintsTheOfflineThenTheConnectedPicture) {
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  ASSERT_NO_FATAL_FAILURE(CloseTypeChooser());
  ASSERT_TRUE(Shows("control 7055 7212 kind=ownerdraw visible=1 enabled=1 text=OFF\nimage 7095"));
  ExpectPicture(Snapshot("offline"), 7095, RGB(255, 255, 255));
  PressConnect();
  ASSERT_TRUE(Shows("control 7055 7212 kind=ownerdraw visible=1 enabled=1 text=OFF\nimage 7096")) << client_->Stderr();
  ExpectPicture(Snapshot("connected"), 7096, RGB(255, 255, 255));
}

}  // namespace
