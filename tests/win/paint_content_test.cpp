#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/win/paint_probe.h"
#include "win/controls.h"
#include "win/dialog.h"

namespace {

using tk_test::DrainMessages;
using tk_test::UiThread;

// Each control model repaints when what it shows changes, and only then.
TEST(PaintContent, AControlRepaintsWhenWhatItShowsChangesAndOnlyThen) {
  UiThread ui;
  CDialog dialog(0);
  CStatic label(SS_LEFT, "a");
  CButton check(BS_AUTOCHECKBOX, "c");
  CButton push(BS_PUSHBUTTON, "p");
  CEdit edit;
  CListBox list;
  CComboBox combo;
  CTabCtrl tabs;
  ui.Run([&] {
    ASSERT_TRUE(dialog.Create());
    const RECT r{0, 0, 40, 20};
    label.Create("a", SS_LEFT | WS_VISIBLE, r, &dialog, 1);
    check.Create("c", BS_AUTOCHECKBOX | WS_VISIBLE, r, &dialog, 2);
    push.Create("p", BS_PUSHBUTTON | WS_VISIBLE, r, &dialog, 3);
    edit.Create("", WS_VISIBLE, r, &dialog, 4);
    list.Create("", WS_VISIBLE, r, &dialog, 5);
    combo.Create("", WS_VISIBLE, r, &dialog, 6);
    tabs.Create("", WS_VISIBLE, r, &dialog, 7);
    dialog.ShowWindow(SW_SHOW);
    list.AddString("one");
    combo.AddString("one");
    tabs.InsertItem(0, "one");
  });
  DrainMessages(ui);
  struct Case {
    const char* what;
    CWnd* control;
    std::function<void()> act;
    bool paints;
  };
  const std::vector<Case> cases = {
      {"label text", &label, [&] { label.SetWindowText("b"); }, true},
      {"label, same text", &label, [&] { label.SetWindowText("b"); }, false},
      {"check set", &check, [&] { check.SetCheck(BST_CHECKED); }, true},
      {"check, same state", &check, [&] { check.SetCheck(BST_CHECKED); }, false},
      {"push button pushed", &push, [&] { push.SetState(TRUE); }, true},
      {"edit typed", &edit, [&] { edit.ReplaceSel("x"); }, true},
      {"edit read-only", &edit, [&] { edit.SetReadOnly(TRUE); }, true},
      {"list item added", &list, [&] { list.AddString("two"); }, true},
      {"list selection", &list, [&] { list.SetCurSel(1); }, true},
      {"list, same selection", &list, [&] { list.SetCurSel(1); }, false},
      {"list item deleted", &list, [&] { list.DeleteString(0); }, true},
      {"list emptied", &list, [&] { list.ResetContent(); }, true},
      {"list, emptied again", &list, [&] { list.ResetContent(); }, false},
      {"combo selection", &combo, [&] { combo.SetCurSel(0); }, true},
      {"tab added", &tabs, [&] { tabs.InsertItem(1, "two"); }, true},
      {"tab selected", &tabs, [&] { tabs.SetCurSel(1); }, true},
      {"tab, same selection", &tabs, [&] { tabs.SetCurSel(1); }, false},
      {"disabled", &label, [&] { label.EnableWindow(FALSE); }, true},
      {"resized", &label, [&] { SetWindowPos(label.m_hWnd, HWND_TOP, 0, 0, 50, 20, SWP_NOMOVE | SWP_NOZORDER); }, true},
      {"moved only", &label, [&] { SetWindowPos(label.m_hWnd, HWND_TOP, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER); }, false},
  };
  for (const Case& c : cases) {
    const std::uint64_t before = win::TotalPaintedPixels();
    const std::uint64_t own = win::PaintedPixels(c.control->m_hWnd);
    ui.Run(c.act);
    DrainMessages(ui);
    EXPECT_EQ(win::PaintedPixels(c.control->m_hWnd) > own, c.paints) << c.what;
    if (!c.paints) {
      EXPECT_EQ(win::TotalPaintedPixels(), before) << c.what << ": nothing else painted either";
    }
  }
  ui.Run([&] {
    for (CWnd* w : std::vector<CWnd*>{&label, &check, &push, &edit, &list, &combo, &tabs, &dialog}) w->DestroyWindow();
  });
}

TEST(PaintContent, RedrawWindowReachesTheChildrenAndPaintsAtOnce) {
  UiThread ui;
  CDialog dialog(0);
  CStatic label(SS_LEFT, "a");
  ui.Run([&] {
    ASSERT_TRUE(dialog.Create());
    SetWindowPos(dialog.m_hWnd, HWND_TOP, 0, 0, 100, 100, SWP_NOZORDER);
    label.Create("a", SS_LEFT | WS_VISIBLE, RECT{10, 10, 50, 30}, &dialog, 1);
    dialog.ShowWindow(SW_SHOW);
  });
  DrainMessages(ui);
  ui.Run([&] {
    const std::uint64_t own = win::PaintedPixels(label.m_hWnd);
    const RECT part{0, 0, 20, 20};  // the label's top-left 10 x 10
    RedrawWindow(dialog.m_hWnd, &part, 0, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    EXPECT_EQ(win::PaintedPixels(label.m_hWnd) - own, 100u) << "painted before RedrawWindow returned";
    RedrawWindow(dialog.m_hWnd, &part, 0, RDW_INVALIDATE | RDW_ALLCHILDREN);
    RECT update;
    EXPECT_TRUE(GetUpdateRect(label.m_hWnd, &update, FALSE));
    EXPECT_EQ(update, (RECT{0, 0, 10, 10})) << "in the label's own coordinates";
    ValidateRect(label.m_hWnd, nullptr);
    RedrawWindow(dialog.m_hWnd, nullptr, 0, RDW_INVALIDATE);
    EXPECT_FALSE(GetUpdateRect(label.m_hWnd, nullptr, FALSE)) << "without RDW_ALLCHILDREN the children stay";
    RedrawWindow(dialog.m_hWnd, nullptr, 0, RDW_VALIDATE);
    EXPECT_FALSE(GetUpdateRect(dialog.m_hWnd, nullptr, FALSE));
    label.DestroyWindow();
    dialog.DestroyWindow();
  });
}

}  // namespace
