#include <gtest/gtest.h>

#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>

#include "tests/display/display_session.h"
#include "tests/support/png_pixels.h"
#include "tests/support/child_process.h"
#include "win/brush.h"
#include "win/dialog.h"
#include "win/dialog_template.h"
#include "win/display/mirror.h"
#include "win/display/window_snapshot.h"
#include "win/display_hooks.h"
#include "win/gdi_objects.h"
#include "win/richedit.h"
#include "win/shapes.h"
#include "win/window.h"
#include "win/window_pos.h"
#include "win/window_registry.h"

namespace {

using win::display::CurrentMirror;

constexpr int kBoundMs = 20'000;
constexpr COLORREF kPainted = RGB(200, 30, 40);

// A window that paints itself, as the program's own drawn windows do.
class SolidWindow : public CWnd {
 public:
  ~SolidWindow() override { DestroyWindow(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message != WM_PAINT) return CWnd::WindowProc(message, wParam, lParam);
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(m_hWnd, &paint);
    RECT client;
    GetClientRect(&client);
    const HBRUSH brush = CreateSolidBrush(kPainted);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    EndPaint(m_hWnd, &paint);
    return 0;
  }
};

class DisplaySnapshot : public ::testing::Test {
 protected:
  void SetUp() override {
    tk_test::StartShownDisplay();
    InstallDialogTemplates();
  }
  void TearDown() override { SetDialogTemplateLoader(nullptr); }

  // A self-painting child of `dialog` at `rect`, alone: the template's own
  // controls are hidden so none covers it.
  static void AddSolid(CDialog& dialog, SolidWindow& solid, const RECT& rect) {
    for (HWND child : win::detail::ChildrenOf(dialog.m_hWnd)) ShowWindow(child, SW_HIDE);
    ASSERT_TRUE(solid.CreateHandle(WindowCreateParams{&dialog, 9999, 0, WS_CHILD | WS_VISIBLE}));
    solid.MoveWindow(&rect);
  }

  TempFolder folder_;
};

// Every control of each of the program's dialogs stands at its template's
// rectangle in the window's widgets, and the picture is the dialog's size.
TEST_F(DisplaySnapshot, EachControlOfATemplateStandsAtItsRectangle) {
  for (UINT id : {134u, 7002u, 7003u, 7004u, 7005u, 7027u, 7031u, 7033u, 7034u, 7048u, 7049u, 7051u, 7052u,
                  7054u, 7055u, 7057u, 7060u, 7061u}) {
    SCOPED_TRACE(id);
    std::string error;
    std::optional<DialogTemplate> read = FindDialogTemplate(id, error);
    ASSERT_TRUE(read) << error;
    CDialog dialog;
    ASSERT_TRUE(dialog.Create(id));
    const std::string path = folder_.Path() + "/" + std::to_string(id) + ".png";
    ASSERT_TRUE(win::display::CurrentHooks()->snapshotWindow(dialog.m_hWnd, path));
    std::optional<PngPixels> picture = ReadPngPixels(path);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, read->rect.right - read->rect.left);
    EXPECT_EQ(picture->height, read->rect.bottom - read->rect.top);
    QWidget* window = CurrentMirror()->WidgetOf(dialog.m_hWnd);
    ASSERT_NE(window, nullptr);
    for (const ControlTemplate& control : read->controls) {
      SCOPED_TRACE(control.id);
      QWidget* widget = CurrentMirror()->WidgetOf(GetDlgItem(dialog.m_hWnd, control.id));
      ASSERT_NE(widget, nullptr);
      const RECT& r = control.rect;
      EXPECT_EQ(widget->geometry(), QRect(r.left, r.top, r.right - r.left, r.bottom - r.top));
      EXPECT_EQ(widget->parentWidget(), window);
      EXPECT_EQ(!widget->isHidden(), (control.style & WS_VISIBLE) != 0);
    }
  }
}

// The picture holds what the windows painted, where they stand.
TEST_F(DisplaySnapshot, TheWholeWindowHoldsItsPaintedChildren) {
  CDialog dialog;
  ASSERT_TRUE(dialog.Create(7031));
  SolidWindow solid;
  AddSolid(dialog, solid, RECT{150, 100, 190, 130});
  dialog.ShowWindow(SW_SHOW);
  const std::string path = folder_.Path() + "/shown.png";
  ASSERT_TRUE(win::display::CurrentHooks()->snapshotWindow(dialog.m_hWnd, path));
  std::optional<PngPixels> picture = ReadPngPixels(path);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->At(150, 100), kPainted);
  EXPECT_EQ(picture->At(189, 129), kPainted);
  EXPECT_NE(picture->At(149, 100), kPainted);
  EXPECT_NE(picture->At(190, 129), kPainted);
}

// Headless, the widgets are made offscreen for the picture and dropped after.
TEST_F(DisplaySnapshot, HeadlessTheWindowIsMadeOffscreenForThePictureAlone) {
  CDialog dialog;
  ASSERT_TRUE(dialog.Create(7031));
  SolidWindow solid;
  AddSolid(dialog, solid, RECT{20, 30, 60, 50});
  dialog.ShowWindow(SW_SHOW);
  win::display::Mirror offscreen(false, nullptr);
  const std::string path = folder_.Path() + "/headless.png";
  ASSERT_TRUE(win::display::SnapshotWindow(offscreen, dialog.m_hWnd, path));
  EXPECT_EQ(offscreen.WidgetOf(dialog.m_hWnd), nullptr);
  EXPECT_EQ(offscreen.WidgetOf(solid.m_hWnd), nullptr);
  std::optional<PngPixels> picture = ReadPngPixels(path);
  ASSERT_TRUE(picture);
  std::string error;
  const std::optional<DialogTemplate> read = FindDialogTemplate(7031, error);
  ASSERT_TRUE(read) << error;
  EXPECT_EQ(picture->width, read->rect.right - read->rect.left);
  EXPECT_EQ(picture->At(20, 30), kPainted);
  EXPECT_NE(picture->At(19, 30), kPainted);
}

// A window made for the picture alone shows its rich edit where the caret
// is, at the end of a long text, as the shown window does: the chat's last
// lines, not its first ones.
TEST_F(DisplaySnapshot, APictureOfALongRichTextShowsItsEndWhereTheCaretIs) {
  CDialog dialog;
  ASSERT_TRUE(dialog.Create(7057));
  auto* rich = dynamic_cast<CRichEditCtrl*>(CWnd::FromHandle(GetDlgItem(dialog.m_hWnd, 7005)));
  ASSERT_NE(rich, nullptr);
  const auto append = [rich](const std::string& text, COLORREF colour) {
    rich->SetSel(-1, -1);
    CHARFORMAT2 format;
    format.dwMask = CFM_COLOR | CFM_BOLD;
    format.crTextColor = colour;
    format.dwEffects = CFE_BOLD;
    rich->SetSelectionCharFormat(format);
    rich->ReplaceSel(text.c_str());
  };
  for (int i = 0; i < 60; ++i) append("line " + std::to_string(i) + "\r\n", RGB(0, 0, 255));
  append("WWWWWWWW the last line", RGB(255, 0, 0));
  rich->SetSel(-1, -1);
  dialog.ShowWindow(SW_SHOW);
  win::display::Mirror offscreen(false, nullptr);
  const std::string path = folder_.Path() + "/chat.png";
  ASSERT_TRUE(win::display::SnapshotWindow(offscreen, dialog.m_hWnd, path));
  std::optional<PngPixels> picture = ReadPngPixels(path);
  ASSERT_TRUE(picture);
  int red = 0;
  for (int y = 0; y < picture->height; ++y) {
    for (int x = 0; x < picture->width; ++x) {
      const COLORREF pixel = picture->At(x, y);
      red += GetRValue(pixel) > 200 && GetGValue(pixel) < 80 && GetBValue(pixel) < 80 ? 1 : 0;
    }
  }
  EXPECT_GT(red, 20) << "the last line is not in the picture";
}

}  // namespace
