// The buttons' looks, pixel for pixel, against the committed pictures.
#include <gtest/gtest.h>

#include "button_test_support.h"
#include "support/reference_image.h"
#include "win/mouse.h"
#include "win/window_pos.h"

namespace {

using namespace button_test;

// The main dialog's panel colour, behind the buttons.
constexpr COLORREF kPanel = 0x3D2F28;

class ButtonReference : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallDialogTemplates();
    RegisterDialogTemplateText(kTemplate, TemplateText());
    ResetSysColorsForTest();
    ASSERT_TRUE(dialog_->Create(kTemplate, nullptr));
    dialog_->ShowWindow(SW_SHOW);
  }
  void TearDown() override {
    dialog_.reset();
    RegisterDialogTemplateText(kTemplate, "");
  }

  void Hover(CButtonST& button) {
    RECT window{};
    GetWindowRect(button.m_hWnd, &window);
    SetCursorPos((window.left + window.right) / 2, (window.top + window.bottom) / 2);
    button.SendMessage(WM_MOUSEMOVE, 0, MAKELONG(1, 1));
    ASSERT_TRUE(button.IsHovered());
  }

  std::unique_ptr<ButtonDialog> dialog_ = std::make_unique<ButtonDialog>();
};

TEST_F(ButtonReference, ShadedButtonInEachState) {
  CShadeButtonST& button = dialog_->shade;
  button.SetImageAlignment(CButtonST::ST_ALIGN_HORIZ, TRUE);
  win::srand(1);  // the shade's noise comes from the generator's sequence
  button.SetShade();
  const RECT item = ClientRectOf(button);
  struct Case {
    const char* name;
    bool hovered;
    UINT state;
  };
  const Case cases[] = {
      {"shade_button_normal", false, 0},          // image 0
      {"shade_button_focused", false, ODS_FOCUS},  // image 0, no focus frame on a flat button
      {"shade_button_disabled", false, ODS_DISABLED},
      {"shade_button_hover", true, 0},                     // image 3
      {"shade_button_pressed", true, ODS_SELECTED | ODS_FOCUS},  // image 3 moved by (1, 1)
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.hovered) Hover(button);
    Surface surface(item.right, item.bottom, kPanel);
    DrawButton(button, surface, c.state, item);
    EXPECT_TRUE(MatchesReference(surface.Bitmap(), c.name));
  }
}

TEST_F(ButtonReference, ShownWindowsButtonTextColour) {
  CShadeButtonST& button = dialog_->shade;
  win::srand(1);
  button.SetShade();
  for (BYTE index : {CButtonST::BTNST_COLOR_FG_IN, CButtonST::BTNST_COLOR_FG_OUT, CButtonST::BTNST_COLOR_FG_FOCUS})
    button.SetColor(index, RGB(92, 92, 255), TRUE);
  const RECT item = ClientRectOf(button);
  Surface surface(item.right, item.bottom, kPanel);
  DrawButton(button, surface, 0, item);
  EXPECT_TRUE(MatchesReference(surface.Bitmap(), "shade_button_window_shown"));
}

TEST_F(ButtonReference, ConnectButtonWithItsTransparentColours) {
  CShadeButtonST& button = dialog_->bitmap;
  button.SetDisabledEmbossed(FALSE);
  button.SetBitmapResource(7095, RGB(254, 87, 11));
  button.SizeToContent();
  const RECT item = ClientRectOf(button);
  {
    Surface surface(item.right, item.bottom, kPanel);
    DrawButton(button, surface, 0, item);
    EXPECT_TRUE(MatchesReference(surface.Bitmap(), "connect_button_offline"));
  }
  button.SetBitmaps(static_cast<HBITMAP>(LoadImageA(nullptr, MAKEINTRESOURCEA(7096), IMAGE_BITMAP, 0, 0, 0)),
                    RGB(255, 255, 255));
  {
    Surface surface(item.right, item.bottom, kPanel);
    DrawButton(button, surface, 0, item);
    EXPECT_TRUE(MatchesReference(surface.Bitmap(), "connect_button_connected"));
  }
  Hover(button);
  {
    Surface surface(item.right, item.bottom, kPanel);
    DrawButton(button, surface, ODS_SELECTED, item);
    EXPECT_TRUE(MatchesReference(surface.Bitmap(), "connect_button_pressed"));
  }
}

}  // namespace
