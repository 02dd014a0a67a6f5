#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "tests/win/paint_probe.h"
#include "win/brush.h"
#include "win/device_context.h"
#include "win/gdi.h"
#include "win/button_ctrl.h"
#include "win/dialog.h"
#include "win/dialog_items.h"
#include "win/dialog_template.h"
#include "win/focus.h"
#include "win/static_ctrl.h"

namespace {

using tk_test::DrainMessages;
using tk_test::UiThread;

constexpr int kButtonId = 40;
constexpr int kLabelId = 41;

// A parent that records the WM_DRAWITEM and WM_COMMAND it gets, and answers
// WM_CTLCOLORSTATIC with its own brush.
class RecordingDialog : public CDialog {
 public:
  RecordingDialog() : CDialog(0) {}
  ~RecordingDialog() override { DestroyWindow(); }

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    std::lock_guard lock(mutex);
    if (message == WM_DRAWITEM) drawn.push_back(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    if (message == WM_COMMAND) commands.push_back(wParam);
    if (message == WM_CTLCOLORSTATIC && labelBrush != 0) {
      SetTextColor(static_cast<HDC>(wParam), RGB(1, 2, 3));
      return static_cast<LRESULT>(labelBrush);
    }
    return CDialog::WindowProc(message, wParam, lParam);
  }

  std::recursive_mutex mutex;
  std::vector<DRAWITEMSTRUCT> drawn;
  std::vector<WPARAM> commands;
  HBRUSH labelBrush = 0;
};

// A button that draws itself and keeps its clicks from the parent.
class SelfDrawnButton : public CButton {
 public:
  SelfDrawnButton() : CButton(BS_OWNERDRAW) {}
  ~SelfDrawnButton() override { DestroyWindow(); }
  void DrawItem(DRAWITEMSTRUCT* item) override { states.push_back(item->itemState); }
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
      ++reflectedClicks;
      *result = 0;
      return TRUE;
    }
    return CButton::OnChildNotify(message, wParam, lParam, result);
  }
  std::vector<UINT> states;
  int reflectedClicks = 0;
};

class OwnerDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    ui.Run([&] {
      ASSERT_TRUE(dialog.Create());
      ASSERT_TRUE(button.Create("", BS_OWNERDRAW | WS_VISIBLE, RECT{0, 0, 60, 20}, &dialog, kButtonId));
      dialog.ShowWindow(SW_SHOW);
    });
    DrainMessages(ui);
  }
  void TearDown() override {
    ui.Run([&] {
      button.DestroyWindow();
      dialog.DestroyWindow();
    });
  }
  UINT LastState() {
    std::lock_guard lock(dialog.mutex);
    return dialog.drawn.empty() ? 0xFFFFFFFF : dialog.drawn.back().itemState;
  }

  UiThread ui;
  RecordingDialog dialog;
  CButton button{BS_OWNERDRAW};
};

TEST_F(OwnerDraw, TheParentDrawsAPlainOwnerDrawnButtonWithItsState) {
  {
    std::lock_guard lock(dialog.mutex);
    ASSERT_EQ(dialog.drawn.size(), 1u);
    const DRAWITEMSTRUCT& first = dialog.drawn[0];
    EXPECT_EQ(first.CtlType, ODT_BUTTON);
    EXPECT_EQ(first.CtlID, static_cast<UINT>(kButtonId));
    EXPECT_EQ(first.itemAction, ODA_DRAWENTIRE);
    EXPECT_EQ(first.itemState, 0u);
    EXPECT_EQ(first.hwndItem, button.m_hWnd);
    EXPECT_NE(first.hDC, 0u);
    EXPECT_EQ(first.rcItem, (RECT{0, 0, 60, 20}));
  }
  struct Case {
    const char* what;
    std::function<void()> act;
    UINT state;
  };
  const std::vector<Case> cases = {
      {"pushed", [&] { button.SetState(TRUE); }, ODS_SELECTED},
      {"pushed and focused", [&] { SetFocus(button.m_hWnd); }, ODS_SELECTED | ODS_FOCUS},
      {"released", [&] { button.SetState(FALSE); }, ODS_FOCUS},
      {"focus gone", [&] { SetFocus(0); }, 0},
      {"disabled", [&] { button.EnableWindow(FALSE); }, ODS_DISABLED},
      {"enabled again", [&] { button.EnableWindow(TRUE); }, 0},
  };
  for (const Case& c : cases) {
    ui.Run(c.act);
    DrainMessages(ui);
    EXPECT_EQ(LastState(), c.state) << c.what;
  }
  const std::size_t before = dialog.drawn.size();
  ui.Run([&] { button.SetState(FALSE); });  // no change, no paint
  DrainMessages(ui);
  EXPECT_EQ(dialog.drawn.size(), before);
}

TEST(OwnerDrawReflection, AButtonThatDrawsItselfGetsTheRequestInsteadOfItsParent) {
  UiThread ui;
  RecordingDialog dialog;
  SelfDrawnButton button;
  ui.Run([&] {
    ASSERT_TRUE(dialog.Create());
    ASSERT_TRUE(button.Create("", BS_OWNERDRAW | WS_VISIBLE, RECT{0, 0, 30, 30}, &dialog, kButtonId));
    dialog.ShowWindow(SW_SHOW);
  });
  DrainMessages(ui);
  ui.Run([&] { button.SetState(TRUE); });
  DrainMessages(ui);
  ui.Run([&] { SendMessageA(button.m_hWnd, ControlClickMessage(), 0, 0); });
  DrainMessages(ui);
  EXPECT_EQ(button.states, (std::vector<UINT>{0, ODS_SELECTED}));
  EXPECT_EQ(button.reflectedClicks, 1);
  {
    std::lock_guard lock(dialog.mutex);
    EXPECT_TRUE(dialog.drawn.empty());
    EXPECT_TRUE(dialog.commands.empty()) << "the child kept its click";
  }
  ui.Run([&] {
    button.DestroyWindow();
    dialog.DestroyWindow();
  });
}

TEST(ControlColours, TheParentsAnswerToTheColourMessageIsKeptPerControl) {
  UiThread ui;
  RecordingDialog dialog;
  CStatic label(SS_LEFT, "hi");
  dialog.labelBrush = CreateSolidBrush(RGB(200, 0, 0));
  ui.Run([&] {
    ASSERT_TRUE(dialog.Create());
    ASSERT_TRUE(label.Create("hi", SS_LEFT | WS_VISIBLE, RECT{0, 0, 30, 15}, &dialog, kLabelId));
    dialog.ShowWindow(SW_SHOW);
  });
  DrainMessages(ui);
  const std::optional<win::ControlColours> colours = win::PaintedControlColours(label.m_hWnd);
  ASSERT_TRUE(colours.has_value());
  EXPECT_EQ(colours->message, static_cast<UINT>(WM_CTLCOLORSTATIC));
  EXPECT_EQ(colours->text, RGB(1, 2, 3));
  EXPECT_EQ(colours->brush, dialog.labelBrush);
  HDC dc = 0;
  COLORREF corner = 0;
  ui.Run([&] {
    dc = GetDC(label.m_hWnd);
    corner = GetPixel(dc, 29, 14);
    ReleaseDC(label.m_hWnd, dc);
  });
  EXPECT_EQ(corner, RGB(200, 0, 0)) << "the label's background is the parent's brush";
  ui.Run([&] {
    label.DestroyWindow();
    dialog.DestroyWindow();
  });
  DeleteObject(dialog.labelBrush);
}

// A control the dialog adds itself before its template loads is bound once,
// with the template's style.
class BoundButton : public CButton {
 public:
  ~BoundButton() override { DestroyWindow(); }
  void PreSubclassWindow() override { styles.push_back(GetStyle() & 0xFFFF); }
  std::vector<DWORD> styles;
};

class TemplateDialog : public CDialog {
 public:
  TemplateDialog() : CDialog(9431) {}
  ~TemplateDialog() override { DestroyWindow(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_CREATE) AddControl(own, 7212);
    return CDialog::WindowProc(message, wParam, lParam);
  }
  BoundButton own;
};

TEST(PreSubclass, ADialogsOwnControlIsBoundOnceWithTheTemplatesStyle) {
  RegisterDialogTemplateText(9431,
                             "dialog 9431 \"Bound\" 0 0 100 50 WS_POPUP\n"
                             "button 7212 \"Go\" 5 5 40 14 BS_DEFPUSHBUTTON|WS_TABSTOP\n");
  InstallDialogTemplates();
  UiThread ui;
  TemplateDialog dialog;
  BoundButton plain;
  ui.Run([&] {
    ASSERT_TRUE(dialog.Create());
    ASSERT_TRUE(plain.Create("x", BS_AUTOCHECKBOX, RECT{0, 0, 5, 5}, &dialog, 3));
  });
  EXPECT_EQ(dialog.own.styles, (std::vector<DWORD>{BS_DEFPUSHBUTTON}));
  EXPECT_EQ(plain.styles, (std::vector<DWORD>{BS_AUTOCHECKBOX}));
  ui.Run([&] {
    plain.DestroyWindow();
    dialog.DestroyWindow();
  });
  RegisterDialogTemplateText(9431, "");
  SetDialogTemplateLoader(nullptr);
}

}  // namespace
