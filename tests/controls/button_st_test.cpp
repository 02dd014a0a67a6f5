#include "controls/button_st.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "button_test_support.h"
#include "controls/button_bitmaps.h"
#include "win/cursors.h"
#include "win/menu.h"
#include "win/mouse.h"
#include "win/shell.h"
#include "win/sound.h"
#include "win/window_pos.h"

namespace {

using namespace button_test;

constexpr COLORREF kFill = RGB(255, 0, 255);
constexpr COLORREF kOrangeKey = RGB(254, 87, 11);
constexpr COLORREF kWhiteKey = RGB(255, 255, 255);

// The rectangle of the pixels that differ from `background` (empty when none do).
RECT InkBox(const Surface& surface, int width, int height, COLORREF ink) {
  RECT box{width, height, 0, 0};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (surface.Pixel(x, y) != ink) continue;
      box.left = std::min<LONG>(box.left, x);
      box.top = std::min<LONG>(box.top, y);
      box.right = std::max<LONG>(box.right, x + 1);
      box.bottom = std::max<LONG>(box.bottom, y + 1);
    }
  }
  return box;
}

// A picture of the program's own resources, owned by the caller.
HBITMAP LoadResourceBitmap(UINT id) {
  return static_cast<HBITMAP>(LoadImageA(nullptr, MAKEINTRESOURCEA(static_cast<WORD>(id)), IMAGE_BITMAP, 0, 0, 0));
}

class ButtonTest : public ::testing::Test {
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
    ResetSysColorsForTest();
    SetBitmapCopiesFailForTest(false);
    SetTrackedMenuChoice(std::nullopt);
  }

  // The pointer rests on the button (the hover begins), or leaves it.
  void Hover(CButtonST& button) {
    RECT window{};
    GetWindowRect(button.m_hWnd, &window);
    SetCursorPos((window.left + window.right) / 2, (window.top + window.bottom) / 2);
    button.SendMessage(WM_MOUSEMOVE, 0, MAKELONG(1, 1));
  }
  void Leave(CButtonST& button) { button.SendMessage(WM_MOUSELEAVE, 0, 0); }

  std::unique_ptr<ButtonDialog> dialog_ = std::make_unique<ButtonDialog>();
};

TEST_F(ButtonTest, BindingMakesTheTemplatesButtonsOwnerDrawnAndKeepsCheckBoxes) {
  EXPECT_EQ(dialog_->shade.Kind(), "ownerdraw");
  EXPECT_EQ(dialog_->plain.Kind(), "ownerdraw");
  EXPECT_EQ(dialog_->check.Kind(), "ownerdraw");
  EXPECT_FALSE(dialog_->shade.IsCheckBox());
  EXPECT_TRUE(dialog_->check.IsCheckBox()) << "its type had the bit of value 2";
  EXPECT_EQ(dialog_->shade.SendMessage(WM_GETDLGCODE) & DLGC_UNDEFPUSHBUTTON, DLGC_UNDEFPUSHBUTTON);
  dialog_->shade.SendMessage(BM_SETSTYLE, BS_DEFPUSHBUTTON, FALSE);
  EXPECT_TRUE(dialog_->shade.GetDefault());
  EXPECT_EQ(dialog_->shade.SendMessage(WM_GETDLGCODE) & DLGC_DEFPUSHBUTTON, DLGC_DEFPUSHBUTTON);
  EXPECT_EQ(dialog_->shade.Kind(), "ownerdraw") << "a new style keeps it owner-drawn";
}

TEST_F(ButtonTest, AnAlignmentAboveThreeIsRefusedAndTheOldOneKept) {
  CButtonST& button = dialog_->plain;
  EXPECT_EQ(button.SetImageAlignment(CButtonST::ST_ALIGN_HORIZ_RIGHT, FALSE), CButtonST::BTNST_OK);
  EXPECT_EQ(button.SetImageAlignment(4, TRUE), CButtonST::BTNST_INVALIDALIGN);
  EXPECT_EQ(button.GetImageAlignment(), CButtonST::ST_ALIGN_HORIZ_RIGHT);
  EXPECT_EQ(button.SetImageAlignment(3, FALSE), CButtonST::BTNST_OK);
  EXPECT_EQ(button.GetImageAlignment(), 3);
}

TEST_F(ButtonTest, APressedPushButtonsTextMovesByOneOneAndACheckBoxsDoesNot) {
  struct Case {
    CButtonST* button;
    POINT shift;
  };
  const Case cases[] = {{&dialog_->plain, {1, 1}}, {&dialog_->check, {0, 0}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button->GetDlgCtrlID());
    CButtonST& button = *c.button;
    const COLORREF ink = RGB(1, 2, 3);
    for (BYTE index : {CButtonST::BTNST_COLOR_FG_IN, CButtonST::BTNST_COLOR_FG_OUT, CButtonST::BTNST_COLOR_FG_FOCUS})
      button.SetColor(index, ink, FALSE);
    button.DrawBorder(FALSE, FALSE);
    const RECT item = ClientRectOf(button);
    Surface up(item.right, item.bottom, kFill);
    DrawButton(button, up, 0, item);
    Surface down(item.right, item.bottom, kFill);
    DrawButton(button, down, ODS_SELECTED, item);
    const RECT before = InkBox(up, item.right, item.bottom, ink);
    const RECT after = InkBox(down, item.right, item.bottom, ink);
    ASSERT_LT(before.left, before.right) << "the caption was drawn";
    EXPECT_EQ(after.left - before.left, c.shift.x);
    EXPECT_EQ(after.top - before.top, c.shift.y);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
  }
}

TEST_F(ButtonTest, ATransparentBitmapLeavesThePixelsUnderItsKeyUnchanged) {
  CShadeButtonST& button = dialog_->bitmap;
  button.SetWindowText("");
  ASSERT_EQ(button.SetBitmaps(LoadResourceBitmap(7095), kOrangeKey), CButtonST::BTNST_OK);
  button.SizeToContent();
  const RECT item = ClientRectOf(button);
  ASSERT_EQ(item.right, 40);
  // The button paints no background of its own: what lies under the key shows through.
  Surface surface(40, 40, kFill);
  DrawButton(button, surface, 0, item);
  HBITMAP original = LoadResourceBitmap(7095);
  const HDC source = CreateCompatibleDC(0);
  const HGDIOBJ old = SelectObject(source, original);
  int keyed = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) {
      const COLORREF picture = GetPixel(source, x, y);
      if (picture == kOrangeKey) {
        ++keyed;
        EXPECT_EQ(surface.Pixel(x, y), kFill) << x << "," << y;
      } else {
        EXPECT_EQ(surface.Pixel(x, y), picture) << x << "," << y;
      }
    }
  }
  EXPECT_GT(keyed, 0) << "the picture has transparent corners";
  SelectObject(source, old);
  DeleteDC(source);
  DeleteObject(original);
}

TEST_F(ButtonTest, WithoutASecondBitmapTheSamePictureShowsInEveryState) {
  CShadeButtonST& button = dialog_->bitmap;
  button.SetWindowText("");
  button.DrawBorder(FALSE, FALSE);
  ASSERT_EQ(button.SetBitmaps(LoadResourceBitmap(7096), kWhiteKey), CButtonST::BTNST_OK);
  button.SizeToContent();
  EXPECT_EQ(button.BitmapHandle(1), 0u);
  const RECT item = ClientRectOf(button);
  Surface normal(40, 40, kFill);
  DrawButton(button, normal, 0, item);
  EXPECT_NE(normal.Pixel(20, 20), kFill) << "the picture is drawn";
  Surface focused(40, 40, kFill);
  DrawButton(button, focused, ODS_FOCUS, item);  // flat: no focus rectangle
  Hover(button);
  ASSERT_TRUE(button.IsHovered());
  Surface hovered(40, 40, kFill);
  DrawButton(button, hovered, 0, item);
  EXPECT_EQ(hovered.Pixels(), normal.Pixels());
  EXPECT_EQ(focused.Pixels(), normal.Pixels());
  // Pressed, the same picture moves by the pressed offset.
  Surface pressed(40, 40, kFill);
  DrawButton(button, pressed, ODS_SELECTED, item);
  for (int y = 0; y < 39; ++y)
    for (int x = 0; x < 39; ++x) ASSERT_EQ(pressed.Pixel(x + 1, y + 1), normal.Pixel(x, y)) << x << "," << y;
}

TEST_F(ButtonTest, ADisabledBitmapButtonNotEmbossedLooksEnabled) {
  CShadeButtonST& button = dialog_->bitmap;
  button.SetDisabledEmbossed(FALSE);
  ASSERT_EQ(button.SetBitmaps(LoadResourceBitmap(7097), kWhiteKey), CButtonST::BTNST_OK);
  button.SetWindowText("");
  button.SizeToContent();
  const RECT item = ClientRectOf(button);
  Surface enabled(40, 40, kFill);
  DrawButton(button, enabled, 0, item);
  Surface disabled(40, 40, kFill);
  DrawButton(button, disabled, ODS_DISABLED, item);
  EXPECT_EQ(disabled.Pixels(), enabled.Pixels());
  // Embossed, it does not.
  button.SetDisabledEmbossed(TRUE);
  Surface embossed(40, 40, kFill);
  DrawButton(button, embossed, ODS_DISABLED, item);
  EXPECT_NE(embossed.Pixels(), enabled.Pixels());
}

TEST_F(ButtonTest, ASystemColourChangeResetsTheColoursSetOne) {
  CButtonST& button = dialog_->plain;
  for (BYTE index = 0; index < CButtonST::BTNST_MAX_COLORS; ++index)
    EXPECT_EQ(button.SetColor(index, RGB(92, 92, 255), FALSE), CButtonST::BTNST_OK);
  EXPECT_EQ(button.SetColor(CButtonST::BTNST_MAX_COLORS, 0, FALSE), CButtonST::BTNST_INVALIDINDEX);
  SetSysColorForTest(COLOR_BTNFACE, RGB(10, 20, 30));
  button.SendMessage(WM_SYSCOLORCHANGE, 0, 0);
  for (BYTE index = 0; index < CButtonST::BTNST_MAX_COLORS; ++index) {
    COLORREF colour = 0;
    ASSERT_EQ(button.GetColor(index, &colour), CButtonST::BTNST_OK);
    EXPECT_EQ(colour, index % 2 == 0 ? RGB(10, 20, 30) : GetSysColor(COLOR_BTNTEXT)) << int{index};
  }
}

TEST_F(ButtonTest, SetBitmapsFailuresFreeEveryImage) {
  CButtonST& button = dialog_->plain;
  const std::size_t before = LiveBitmapCount();
  // 1: a size that cannot be read, of the first or of the second bitmap.
  EXPECT_EQ(button.SetBitmaps(static_cast<HBITMAP>(0x7FFFFF01), kWhiteKey), CButtonST::BTNST_INVALIDRESOURCE);
  EXPECT_EQ(button.BitmapHandle(0), 0u);
  EXPECT_EQ(button.MaskHandle(0), 0u);
  EXPECT_EQ(button.SetBitmaps(LoadResourceBitmap(7096), kWhiteKey, static_cast<HBITMAP>(0x7FFFFF02), kWhiteKey),
            CButtonST::BTNST_INVALIDRESOURCE);
  EXPECT_EQ(button.BitmapHandle(0), 0u);
  EXPECT_EQ(button.MaskHandle(0), 0u);
  EXPECT_EQ(button.BitmapHandle(1), 0u);
  EXPECT_EQ(LiveBitmapCount(), before) << "the first bitmap and its mask are gone too";
  EXPECT_EQ(button.GetBitmap(), 0u) << "and nothing is shown";
  // A working pair, then none at all.
  ASSERT_EQ(button.SetBitmaps(LoadResourceBitmap(7096), kWhiteKey, LoadResourceBitmap(7097), kWhiteKey),
            CButtonST::BTNST_OK);
  EXPECT_EQ(LiveBitmapCount(), before + 4);
  EXPECT_EQ(BitmapResourceId(button.GetBitmap()), std::optional<UINT>(7096));
  EXPECT_EQ(button.SetBitmaps(0, 0), CButtonST::BTNST_OK);
  EXPECT_EQ(LiveBitmapCount(), before);
}

TEST_F(ButtonTest, GreyAndDarkerStandInsAreNeverHandles) {
  CButtonST& button = dialog_->plain;
  const std::size_t before = LiveBitmapCount();
  for (HBITMAP standIn : {kBitmapGreyCopy, kBitmapDarkerCopy}) {
    SCOPED_TRACE(static_cast<int>(standIn));
    ASSERT_EQ(button.SetBitmaps(LoadResourceBitmap(7096), kWhiteKey, standIn), CButtonST::BTNST_OK);
    const HBITMAP copy = button.BitmapHandle(1);
    EXPECT_NE(copy, standIn);
    BITMAP info{};
    EXPECT_NE(GetObjectA(copy, sizeof info, &info), 0) << "a real bitmap";
    EXPECT_EQ(info.bmWidth, 40);
    EXPECT_NE(button.MaskHandle(1), 0u);
    SetBitmapCopiesFailForTest(true);
    ASSERT_EQ(button.SetBitmaps(LoadResourceBitmap(7096), kWhiteKey, standIn), CButtonST::BTNST_OK)
        << "a copy that cannot be made is left out";
    EXPECT_EQ(button.BitmapHandle(1), 0u);
    EXPECT_EQ(button.MaskHandle(1), 0u);
    const RECT item = ClientRectOf(button);
    Surface surface(item.right, item.bottom, kFill);
    DrawButton(button, surface, 0, item);  // draws the first picture, nothing else
    SetBitmapCopiesFailForTest(false);
  }
  button.SetBitmaps(0, 0);
  EXPECT_EQ(LiveBitmapCount(), before);
}

TEST_F(ButtonTest, AButtonOnePixelWideOrOfNoSizeStillGetsOnePixelStrips) {
  struct Case {
    CShadeButtonST* button;
    DWORD rowWidth, columnHeight, width, height;
  };
  const Case cases[] = {{&dialog_->narrow, 1, 19, 1, 19}, {&dialog_->empty, 1, 1, 0, 0}, {&dialog_->shade, 44, 19, 44, 19}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button->GetDlgCtrlID());
    c.button->SetShade();
    EXPECT_EQ(c.button->ShadeImage(4).GetWidth(), c.rowWidth);
    EXPECT_EQ(c.button->ShadeImage(4).GetHeight(), 1u);
    EXPECT_EQ(c.button->ShadeImage(5).GetWidth(), 1u);
    EXPECT_EQ(c.button->ShadeImage(5).GetHeight(), c.columnHeight);
    EXPECT_EQ(c.button->ShadeImage(0).GetWidth(), c.width);
    EXPECT_EQ(c.button->ShadeImage(0).GetHeight(), c.height);
    // The strips alternate 0 and 255, starting with 0.
    for (DWORD x = 0; x < c.rowWidth; ++x) EXPECT_EQ(c.button->ShadeImage(4).GetPixelIndex(x, 0), x % 2 ? 255 : 0);
    for (DWORD y = 0; y < c.columnHeight; ++y) EXPECT_EQ(c.button->ShadeImage(5).GetPixelIndex(0, y), y % 2 ? 255 : 0);
    const RECT item = ClientRectOf(*c.button);
    Surface surface(std::max<LONG>(item.right, 1), std::max<LONG>(item.bottom, 1), kFill);
    DrawButton(*c.button, surface, ODS_FOCUS, item);
  }
}

TEST_F(ButtonTest, ADoubleClickCountsAsTwoClicks) {
  CButtonST& button = dialog_->plain;
  dialog_->clicks.clear();
  RECT window{};
  GetWindowRect(button.m_hWnd, &window);
  SetCursorPos(window.left + 2, window.top + 2);
  const LPARAM at = MAKELONG(2, 2);
  for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) {
    MSG msg{};
    msg.hwnd = button.m_hWnd;
    msg.message = message;
    msg.wParam = message == WM_LBUTTONUP ? 0 : MK_LBUTTON;
    msg.lParam = at;
    // As the application's loop does: the button sees the message first.
    if (!button.PreTranslateMessage(&msg)) DispatchMessageA(&msg);
  }
  EXPECT_EQ(dialog_->clicks, (std::vector<int>{kPlainId, kPlainId}));
}

TEST_F(ButtonTest, ACheckBoxButtonTogglesOnClickAndTakesBmSetCheck) {
  CButtonST& check = dialog_->check;
  EXPECT_EQ(check.SendMessage(BM_GETCHECK), BST_UNCHECKED);
  check.SendMessage(BM_CLICK);
  EXPECT_EQ(check.SendMessage(BM_GETCHECK), BST_CHECKED);
  check.SendMessage(BM_SETCHECK, BST_INDETERMINATE);
  EXPECT_EQ(check.SendMessage(BM_GETCHECK), BST_CHECKED);
  check.SendMessage(BM_SETCHECK, 7);
  EXPECT_EQ(check.SendMessage(BM_GETCHECK), BST_UNCHECKED);
  // A checked box looks pressed, but its caption stays.
  check.SendMessage(BM_SETCHECK, BST_CHECKED);
  dialog_->plain.SendMessage(BM_SETCHECK, BST_CHECKED);
  EXPECT_EQ(dialog_->plain.SendMessage(BM_GETCHECK), BST_UNCHECKED) << "a push button has no check";
}

TEST_F(ButtonTest, AClickOpensTheUrlAndPlaysTheClickSound) {
  SetShellLaunchEnabled(false);
  ClearShellRequests();
  ClearPlayedSounds();
  CButtonST& button = dialog_->plain;
  button.SetURL("http://localhost/tk");
  button.SetSound("click.wav", nullptr, TRUE);
  button.SendMessage(BM_CLICK);
  const std::vector<ShellRequest> requests = ShellRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].verb, "open");
  EXPECT_EQ(requests[0].file, "http://localhost/tk");
  EXPECT_EQ(requests[0].show, 3);
  ASSERT_FALSE(PlayedSounds().empty());
  EXPECT_EQ(PlayedSounds().back().name, "click.wav");
  EXPECT_EQ(GetFocus(), button.m_hWnd);
}

TEST_F(ButtonTest, AClickWithAPopupMenuTracksItBelowTheButtonAndPostsTheChoice) {
  SetShellLaunchEnabled(false);
  CButtonST& button = dialog_->plain;
  button.SetURL("http://localhost/tk");
  ClearShellRequests();
  ClearTrackedMenus();
  ASSERT_EQ(button.SetMenu(7034, dialog_->m_hWnd), CButtonST::BTNST_OK);
  SetTrackedMenuChoice(32824);  // "Airborne" of the chat menu
  button.SendMessage(BM_CLICK);
  const std::vector<TrackedMenu> tracked = TrackedMenus();
  ASSERT_EQ(tracked.size(), 1u);
  RECT window{};
  GetWindowRect(button.m_hWnd, &window);
  EXPECT_EQ(tracked[0].x, window.left);
  EXPECT_EQ(tracked[0].y, window.bottom);
  EXPECT_EQ(tracked[0].flags & (TPM_RIGHTBUTTON | TPM_NONOTIFY | TPM_RETURNCMD),
            TPM_RIGHTBUTTON | TPM_NONOTIFY | TPM_RETURNCMD);
  EXPECT_TRUE(ShellRequests().empty());
  MSG posted{};
  ASSERT_TRUE(PeekMessageA(&posted, dialog_->m_hWnd, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  EXPECT_EQ(LOWORD(posted.wParam), 32824);
}

TEST_F(ButtonTest, ABitmapButtonSizesItselfToItsPicture) {
  CShadeButtonST& button = dialog_->bitmap;
  SetWindowPos(button.m_hWnd, 0, 0, 0, 7, 9, SWP_NOMOVE | SWP_NOZORDER);
  button.SizeToContent();  // no picture: nothing changes
  EXPECT_EQ(ClientRectOf(button).right, 7);
  button.SetBitmapResource(7095, kOrangeKey);
  button.SizeToContent();
  EXPECT_EQ(ClientRectOf(button), (RECT{0, 0, 40, 40}));
  EXPECT_EQ(BitmapResourceId(button.GetBitmap()), std::optional<UINT>(7095));
}

TEST_F(ButtonTest, HoverBeginsOverTheButtonAndEndsWhenThePointerLeaves) {
  CShadeButtonST& button = dialog_->shade;
  ClearPlayedSounds();
  button.SetSound("hover.wav");
  Hover(button);
  EXPECT_TRUE(button.IsHovered());
  ASSERT_EQ(PlayedSounds().size(), 1u);
  EXPECT_EQ(PlayedSounds()[0].name, "hover.wav");
  Hover(button);
  EXPECT_EQ(PlayedSounds().size(), 1u) << "once per hover";
  Leave(button);
  EXPECT_FALSE(button.IsHovered());
  Hover(button);
  button.SendMessage(WM_KILLFOCUS, 0, 0);
  EXPECT_FALSE(button.IsHovered());
  // With the left button held, no hover begins.
  button.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELONG(1, 1));
  EXPECT_FALSE(button.IsHovered());
}

TEST_F(ButtonTest, ACursorSetForTheButtonIsShownOverIt) {
  CButtonST& button = dialog_->plain;
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_EQ(button.SendMessage(WM_SETCURSOR, button.m_hWnd, MAKELONG(HTCLIENT, WM_MOUSEMOVE)), FALSE)
      << "no cursor of its own: the default";
  ASSERT_EQ(button.SetBtnCursor(32649), CButtonST::BTNST_OK);  // the hand
  EXPECT_EQ(button.SendMessage(WM_SETCURSOR, button.m_hWnd, MAKELONG(HTCLIENT, WM_MOUSEMOVE)), TRUE);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_HAND));
}

TEST_F(ButtonTest, AParentColourRequestGetsTheNullBrush) {
  LRESULT result = 0;
  EXPECT_TRUE(dialog_->shade.OnChildNotify(WM_CTLCOLORBTN, 0, static_cast<LPARAM>(dialog_->shade.m_hWnd), &result));
  EXPECT_EQ(static_cast<HGDIOBJ>(result), GetStockObject(NULL_BRUSH));
}

TEST_F(ButtonTest, ATooltipIsMadeDeactivatedOnTheFirstMessageAndRelaysThemAll) {
  CButtonST& button = dialog_->plain;
  MSG msg{};
  msg.hwnd = button.m_hWnd;
  msg.message = WM_MOUSEMOVE;
  button.PreTranslateMessage(&msg);
  button.PreTranslateMessage(&msg);
  EXPECT_NE(button.ToolTip().m_hWnd, 0u);
  EXPECT_FALSE(button.ToolTip().IsActive());
  EXPECT_EQ(button.ToolTip().GetMaxTipWidth(), 400);
  EXPECT_EQ(button.ToolTip().RelayedCount(), 2u);
  button.SetTooltipText("Connect");
  EXPECT_EQ(button.ToolTip().GetToolText(button.m_hWnd), "Connect");
}

TEST(ButtonLifetime, AButtonMakesAndDestroysItsEmptyPopupMenuAlone) {
  const std::vector<HMENU> ownerDrawn = BCMenu::OwnerDrawnMenus();
  const std::size_t menus = LiveMenuCount();
  {
    CShadeButtonST button;
    EXPECT_EQ(button.PopupMenu().GetSafeHmenu(), 0u);
    EXPECT_EQ(BCMenu::OwnerDrawnMenus(), ownerDrawn);
  }
  EXPECT_EQ(BCMenu::OwnerDrawnMenus(), ownerDrawn);
  EXPECT_EQ(LiveMenuCount(), menus);
}

TEST_F(ButtonTest, NoDrawingObjectOutlivesItsButton) {
  const std::size_t bitmaps = LiveBitmapCount();
  const std::size_t dcs = LiveDcCount();
  const std::size_t pens = LivePenCount();
  const std::size_t menus = LiveMenuCount();
  {
    ButtonDialog dialog;
    ASSERT_TRUE(dialog.Create(kTemplate, nullptr));
    dialog.ShowWindow(SW_SHOW);
    dialog.shade.SetShade();
    dialog.narrow.SetShade();
    dialog.bitmap.SetBitmapResource(7095, kOrangeKey);
    dialog.bitmap.SetBitmaps(LoadResourceBitmap(7096), kWhiteKey, kBitmapGreyCopy);
    dialog.plain.SetFlat(FALSE, FALSE);
    dialog.plain.SetBitmaps(LoadResourceBitmap(7097), kWhiteKey, kBitmapDarkerCopy);
    dialog.plain.SetMenu(7034, dialog.m_hWnd);
    dialog.check.DrawTransparent(FALSE);
    for (CButtonST* button : std::initializer_list<CButtonST*>{&dialog.shade, &dialog.bitmap, &dialog.plain, &dialog.check}) {
      const RECT item = ClientRectOf(*button);
      for (UINT state : {0u, ODS_SELECTED, ODS_FOCUS, ODS_DISABLED}) {
        Surface surface(item.right, item.bottom, kFill);
        DrawButton(*button, surface, state, item);
      }
    }
    EXPECT_GT(LiveBitmapCount(), bitmaps);
  }
  EXPECT_EQ(LiveBitmapCount(), bitmaps);
  EXPECT_EQ(LiveDcCount(), dcs);
  EXPECT_EQ(LivePenCount(), pens);
  EXPECT_EQ(LiveMenuCount(), menus);
}

TEST_F(ButtonTest, DrawingBeyondTheSurfaceIsClipped) {
  CShadeButtonST& button = dialog_->shade;
  win::srand(1);
  button.SetShade();
  const RECT item = ClientRectOf(button);
  Surface whole(item.right, item.bottom, kFill);
  DrawButton(button, whole, ODS_FOCUS, item);
  // A surface smaller than the button: what fits is the same, nothing spills.
  Surface part(20, 10, kFill);
  DrawButton(button, part, ODS_FOCUS, item);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(part.Pixel(x, y), whole.Pixel(x, y)) << x << "," << y;
}

}  // namespace
