#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/win/ui_thread.h"
#include "win/controls.h"
#include "win/dialog.h"
#include "win/os_thread.h"

namespace {

using tk_test::UiThread;

struct Command {
  WORD id = 0;
  WORD code = 0;
  HWND from = 0;
  DWORD thread = 0;
  bool operator==(const Command&) const = default;
};

// A dialog that records every WM_COMMAND with the thread that ran it.
class RecordingDialog : public CDialog {
 public:
  ~RecordingDialog() override { DestroyWindow(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_COMMAND) {
      std::lock_guard lock(mutex_);
      commands_.push_back(Command{LOWORD(wParam), HIWORD(wParam), static_cast<HWND>(lParam), GetCurrentThreadId()});
      cv_.notify_all();
      return 0;
    }
    if (message == WM_NOTIFY && lParam != 0) {
      // Kept beside the commands: the control's id, the notice's code (low word) and the sender.
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      std::lock_guard lock(mutex_);
      commands_.push_back(Command{static_cast<WORD>(header->idFrom), LOWORD(header->code), header->hwndFrom,
                                  GetCurrentThreadId()});
      cv_.notify_all();
      return 0;
    }
    return CDialog::WindowProc(message, wParam, lParam);
  }
  std::vector<Command> Commands() {
    std::lock_guard lock(mutex_);
    return commands_;
  }
  std::vector<Command> WaitFor(std::size_t count) {
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, std::chrono::seconds(10), [&] { return commands_.size() >= count; });
    return commands_;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    commands_.clear();
  }

  template <typename Control>
  Control* Add(std::unique_ptr<Control> control, int id) {
    return static_cast<Control*>(AddControl(std::move(control), id));
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Command> commands_;
};

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dialog.Create(9100, nullptr)); }
  RecordingDialog dialog;
};

TEST_F(ControlsTest, AClickTellsTheParentAtOnceOnItsOwnThread) {
  auto* button = dialog.Add(std::make_unique<CButton>(BS_PUSHBUTTON, "Go"), 7201);
  button->SendMessage(BM_CLICK);
  EXPECT_EQ(dialog.Commands(), (std::vector<Command>{{7201, BN_CLICKED, button->m_hWnd, GetCurrentThreadId()}}));
  EXPECT_EQ(button->Kind(), "button");
}

TEST(ControlsThreads, AClickFromAnotherThreadRunsOnTheDialogsThread) {
  RecordingDialog dialog;
  CButton* button = nullptr;
  UiThread ui([&] {
    dialog.Create(9100, nullptr);
    button = dialog.Add(std::make_unique<CButton>(BS_AUTOCHECKBOX, "Auto"), 7159);
  });
  // Not waiting on the UI thread: the click is handed to it.
  EXPECT_EQ(SendMessageA(button->m_hWnd, BM_CLICK, 0, 0), 0);
  const std::vector<Command> seen = dialog.WaitFor(1);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], (Command{7159, BN_CLICKED, button->m_hWnd, ui.Id()}));
  EXPECT_EQ(button->GetCheck(), static_cast<int>(BST_CHECKED));

  // A text set from a worker reaches the model at once; its notice is posted.
  auto* edit = static_cast<CEdit*>(nullptr);
  ui.Run([&] { edit = dialog.Add(std::make_unique<CEdit>(), 7003); });
  SetWindowTextA(edit->m_hWnd, "typed elsewhere");
  EXPECT_EQ(edit->Text(), "typed elsewhere");
  const std::vector<Command> after = dialog.WaitFor(2);
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[1], (Command{7003, EN_CHANGE, edit->m_hWnd, ui.Id()}));
  ui.Run([&] { dialog.DestroyWindow(); });
}

TEST_F(ControlsTest, CheckBoxesStepTheirStateByKind) {
  struct Case {
    DWORD style;
    std::vector<int> afterClicks;  // the check after each of three clicks
  };
  const std::vector<Case> cases = {
      {BS_AUTOCHECKBOX, {1, 0, 1}},
      {BS_AUTO3STATE, {1, 2, 0}},
      {BS_CHECKBOX, {0, 0, 0}},  // the program decides
      {BS_PUSHBUTTON, {0, 0, 0}},
  };
  int id = 100;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    auto* box = dialog.Add(std::make_unique<CButton>(c.style, "x"), ++id);
    for (int expected : c.afterClicks) {
      box->SendMessage(BM_CLICK);
      EXPECT_EQ(box->SendMessage(BM_GETCHECK), expected);
    }
    EXPECT_EQ(dialog.Commands().size(), 3u);
    dialog.Clear();
  }
  // The program's own setting, and the dialog-item calls.
  CheckDlgButton(dialog.m_hWnd, 102, BST_INDETERMINATE);
  EXPECT_EQ(IsDlgButtonChecked(dialog.m_hWnd, 102), BST_INDETERMINATE);
  CheckDlgButton(dialog.m_hWnd, 101, BST_INDETERMINATE);  // two states only
  EXPECT_EQ(IsDlgButtonChecked(dialog.m_hWnd, 101), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dialog.m_hWnd, 999), 0u);
  EXPECT_FALSE(CheckDlgButton(dialog.m_hWnd, 999, BST_CHECKED));
}

TEST_F(ControlsTest, ADisabledButtonIgnoresClicks) {
  auto* button = dialog.Add(std::make_unique<CButton>(BS_AUTOCHECKBOX, "x"), 5);
  button->EnableWindow(FALSE);
  button->SendMessage(BM_CLICK);
  EXPECT_EQ(button->SendMessage(ControlClickMessage()), FALSE);
  EXPECT_EQ(button->GetCheck(), 0);
  EXPECT_TRUE(dialog.Commands().empty());
}

TEST_F(ControlsTest, AnAutomaticRadioButtonClearsOnlyItsGroup) {
  // Group one: 1, 2, 3 (3 is not automatic); group two: 4, 5.
  const std::vector<std::pair<int, DWORD>> buttons = {
      {1, BS_AUTORADIOBUTTON | WS_GROUP}, {2, BS_AUTORADIOBUTTON}, {3, BS_RADIOBUTTON},
      {4, BS_AUTORADIOBUTTON | WS_GROUP}, {5, BS_AUTORADIOBUTTON},
  };
  std::vector<CButton*> radios;
  for (const auto& [id, style] : buttons) radios.push_back(dialog.Add(std::make_unique<CButton>(style, "r"), id));
  for (CButton* r : radios) r->SetCheck(BST_CHECKED);
  radios[1]->SendMessage(BM_CLICK);
  std::vector<int> checks;
  for (CButton* r : radios) checks.push_back(r->GetCheck());
  EXPECT_EQ(checks, (std::vector<int>{0, 1, 1, 1, 1}));
  EXPECT_EQ(radios[1]->Kind(), "radio");

  CheckRadioButton(dialog.m_hWnd, 4, 5, 4);
  EXPECT_EQ(IsDlgButtonChecked(dialog.m_hWnd, 4), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dialog.m_hWnd, 5), BST_UNCHECKED);
}

TEST_F(ControlsTest, PicturesAndButtonsKeepTheirImages) {
  auto* lamp = dialog.Add(std::make_unique<CStatic>(SS_BITMAP, "#7801"), 7248);
  EXPECT_EQ(lamp->Kind(), "picture");
  EXPECT_EQ(lamp->ResourceImageId(), 7801u);
  EXPECT_EQ(lamp->SendMessage(STM_GETIMAGE, IMAGE_BITMAP), 0);
  EXPECT_EQ(lamp->SendMessage(STM_SETIMAGE, IMAGE_BITMAP, 7800), 0);
  EXPECT_EQ(lamp->SendMessage(STM_SETIMAGE, IMAGE_BITMAP, 7801), 7800);
  EXPECT_EQ(lamp->SendMessage(STM_GETIMAGE, IMAGE_BITMAP), 7801);
  EXPECT_EQ(lamp->GetBitmap(), 7801u);
  EXPECT_EQ(lamp->SendMessage(STM_GETIMAGE, IMAGE_ICON), 0);  // the kinds are kept apart
  EXPECT_EQ(lamp->SendMessage(STM_SETIMAGE, 7 /* unknown kind */, 5), 0);
  EXPECT_EQ(lamp->GetBitmap(), 7801u);

  auto* connect = dialog.Add(std::make_unique<CButton>(BS_OWNERDRAW, "OFF"), 7212);
  EXPECT_EQ(connect->Kind(), "ownerdraw");
  EXPECT_EQ(connect->SetBitmap(7095), 0u);
  EXPECT_EQ(connect->SetBitmap(7097), 7095u);
  EXPECT_EQ(connect->SendMessage(BM_GETIMAGE, IMAGE_BITMAP), 7097);

  auto* label = dialog.Add(std::make_unique<CStatic>(SS_LEFT, "Transmit"), 7112);
  EXPECT_EQ(label->Kind(), "static");
  EXPECT_FALSE(label->ResourceImageId());
}

TEST_F(ControlsTest, OnlyANotifyingStaticTakesClicks) {
  auto* counts = dialog.Add(std::make_unique<CStatic>(SS_NOTIFY, "-- --"), 7106);
  auto* label = dialog.Add(std::make_unique<CStatic>(SS_LEFT, "Transmit"), 7112);
  EXPECT_EQ(counts->SendMessage(ControlClickMessage()), TRUE);
  EXPECT_EQ(label->SendMessage(ControlClickMessage()), FALSE);
  EXPECT_EQ(dialog.Commands(), (std::vector<Command>{{7106, STN_CLICKED, counts->m_hWnd, GetCurrentThreadId()}}));
}

TEST_F(ControlsTest, EditsTellChangesAsWindowsDoes) {
  auto* line = dialog.Add(std::make_unique<CEdit>(ES_AUTOHSCROLL, ""), 1);
  auto* area = dialog.Add(std::make_unique<CEdit>(ES_MULTILINE, ""), 2);
  SetDlgItemTextA(dialog.m_hWnd, 1, "one");
  SetDlgItemTextA(dialog.m_hWnd, 2, "two\r\nlines");  // a multi-line edit keeps quiet
  area->ReplaceSel("!");
  EXPECT_EQ(dialog.Commands(), (std::vector<Command>{{1, EN_CHANGE, line->m_hWnd, GetCurrentThreadId()},
                                                     {2, EN_CHANGE, area->m_hWnd, GetCurrentThreadId()}}));
  EXPECT_EQ(area->Text(), "!two\r\nlines");
  EXPECT_EQ(area->GetLineCount(), 2);
  EXPECT_EQ(line->GetLineCount(), 1);
  std::array<char, 8> buffer{};
  EXPECT_EQ(GetDlgItemTextA(dialog.m_hWnd, 1, buffer.data(), 3), 2u);
  EXPECT_STREQ(buffer.data(), "on");
  EXPECT_EQ(GetDlgItemTextA(dialog.m_hWnd, 77, buffer.data(), 8), 0u);
  EXPECT_STREQ(buffer.data(), "");
}

TEST_F(ControlsTest, SelectionAndReplacementFollowTheEditRules) {
  auto* edit = dialog.Add(std::make_unique<CEdit>(ES_AUTOHSCROLL, ""), 1);
  edit->SetWindowText("hello world");
  struct Case {
    int start;
    int end;
    const char* insert;
    const char* text;
    int caret;
  };
  const std::vector<Case> cases = {
      {0, 5, "HELLO", "HELLO world", 5},
      {0, -1, "all", "all", 3},         // (0, -1) selects everything
      {99, 1, "+", "a+", 2},            // clamped and ordered: (1, 3)
      {-1, 0, "", "a+", 2},             // -1 drops the selection at the caret
      {1, 1, "bc", "abc+", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.insert);
    edit->SetSel(c.start, c.end);
    edit->ReplaceSel(c.insert);
    EXPECT_EQ(edit->Text(), c.text);
    int start = -2;
    int end = -2;
    edit->GetSel(start, end);
    EXPECT_EQ(start, c.caret);
    EXPECT_EQ(end, c.caret);
  }
  DWORD start = 0;
  DWORD end = 0;
  edit->SetSel(1, 3);
  EXPECT_EQ(edit->SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end)),
            static_cast<LRESULT>(MAKELONG(1, 3)));
  EXPECT_EQ(start, 1u);
  EXPECT_EQ(end, 3u);
}

TEST_F(ControlsTest, TheLimitCutsWhatIsEnteredButNotWhatIsSet) {
  auto* edit = dialog.Add(std::make_unique<CEdit>(ES_AUTOHSCROLL, ""), 7003);
  EXPECT_EQ(edit->GetLimitText(), kEditDefaultLimit);
  edit->LimitText(5);
  edit->ReplaceSel("abcdefgh");
  EXPECT_EQ(edit->Text(), "abcde");
  edit->SetSel(1, 3);
  edit->ReplaceSel("XYZ");  // two selected characters free two places
  EXPECT_EQ(edit->Text(), "aXYde");
  EXPECT_TRUE(edit->GetModify());
  edit->SetWindowText("a much longer text");
  EXPECT_EQ(edit->Text(), "a much longer text");
  EXPECT_FALSE(edit->GetModify());  // the program's own text is no user change
  edit->SetSel(-1, -1);
  dialog.Clear();
  edit->ReplaceSel("more");  // full: nothing enters, nothing changed
  EXPECT_EQ(edit->Text(), "a much longer text");
  EXPECT_EQ(dialog.Commands(), (std::vector<Command>{{7003, EN_MAXTEXT, edit->m_hWnd, GetCurrentThreadId()}}));
  edit->LimitText(0);
  EXPECT_EQ(edit->GetLimitText(), kEditLargestLimit);
  edit->SetReadOnly(TRUE);
  EXPECT_NE(edit->Style() & ES_READONLY, 0u);
}

TEST_F(ControlsTest, DialogItemNumbersReadLikeWindows) {
  dialog.Add(std::make_unique<CEdit>(), 1);
  struct Case {
    const char* text;
    BOOL isSigned;
    BOOL translated;
    UINT value;
  };
  const std::vector<Case> cases = {
      {"42", FALSE, TRUE, 42},      {"  -7", TRUE, TRUE, static_cast<UINT>(-7)}, {"-7", FALSE, FALSE, 0},
      {"12x", FALSE, FALSE, 0},     {"", FALSE, FALSE, 0},                      {"4294967295", FALSE, TRUE, 4294967295u},
      {"4294967296", FALSE, FALSE, 0}, {"2147483648", TRUE, FALSE, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SetDlgItemTextA(dialog.m_hWnd, 1, c.text);
    BOOL translated = 2;
    EXPECT_EQ(GetDlgItemInt(dialog.m_hWnd, 1, &translated, c.isSigned), c.value);
    EXPECT_EQ(translated, c.translated);
  }
  SetDlgItemInt(dialog.m_hWnd, 1, static_cast<UINT>(-12), TRUE);
  EXPECT_EQ(dialog.GetDlgItem(1)->TextSnapshot(), "-12");
  EXPECT_EQ(GetWindowLongA(GetDlgItem(dialog.m_hWnd, 1), GWL_STYLE) & (ES_AUTOHSCROLL | WS_VISIBLE),
            static_cast<LONG>(ES_AUTOHSCROLL | WS_VISIBLE));
}

TEST_F(ControlsTest, ControlsMadeTheClassLibrarysWayTakeTextStyleAndPlace) {
  CButton button;
  ASSERT_TRUE(button.Create("Go", BS_DEFPUSHBUTTON | WS_VISIBLE, RECT{1, 2, 31, 22}, &dialog, 9));
  EXPECT_EQ(dialog.GetDlgItem(9), &button);
  EXPECT_EQ(button.Text(), "Go");
  EXPECT_NE(button.Style() & WS_CHILD, 0u);
  EXPECT_FALSE(button.Create("again", 0, RECT{}, &dialog, 10));
  CStatic orphan;
  CWnd noWindow;
  EXPECT_FALSE(orphan.Create("x", 0, RECT{}, &noWindow, 11));
}

TEST_F(ControlsTest, AListBoxKeepsItsTabStopsAndAComboTakesNone) {
  auto* list = dialog.Add(std::make_unique<CListBox>(), 7027);
  EXPECT_TRUE(list->TabStops().empty());
  const int stops[] = {50, 90, 130, 180};
  EXPECT_TRUE(list->SetTabStops(stops));
  EXPECT_EQ(list->TabStops(), (std::vector<int>{50, 90, 130, 180}));
  EXPECT_TRUE(list->SetTabStops({}));
  EXPECT_TRUE(list->TabStops().empty()) << "no stops: back to the default";
  EXPECT_EQ(list->SendMessage(LB_SETTABSTOPS, 2, 0), FALSE) << "a count without its stops";
  auto* combo = dialog.Add(std::make_unique<CComboBox>(), 7021);
  EXPECT_EQ(combo->SendMessage(LB_SETTABSTOPS, 4, reinterpret_cast<LPARAM>(stops)), 0);
  EXPECT_TRUE(combo->TabStops().empty());
}

TEST_F(ControlsTest, ATabControlKeepsItsTabsAndItsSelectionInStep) {
  auto* tabs = dialog.Add(std::make_unique<CTabCtrl>(), 7233);
  EXPECT_EQ(tabs->Kind(), "tab");
  EXPECT_EQ(tabs->GetCurSel(), -1);
  EXPECT_EQ(tabs->InsertItem(0, "FSX", 2006), 0);
  EXPECT_EQ(tabs->InsertItem(5, "XP10", 10000), 1) << "past the end: appended";
  EXPECT_EQ(tabs->SetCurSel(1), -1);
  EXPECT_EQ(tabs->InsertItem(0, "FS8/9", 2004), 0);
  EXPECT_EQ(tabs->GetCurSel(), 2) << "the selected tab moved along";
  EXPECT_EQ(tabs->Labels(), (std::vector<std::string>{"FS8/9", "FSX", "XP10"}));
  EXPECT_EQ(tabs->GetItemParam(2), 10000);
  EXPECT_EQ(tabs->GetItemParam(3), 0);

  // A read copies what fits, terminated.
  char text[4] = {'x', 'x', 'x', 'x'};
  TCITEMA item;
  item.mask = TCIF_TEXT | TCIF_PARAM;
  item.pszText = text;
  item.cchTextMax = 4;
  EXPECT_EQ(tabs->SendMessage(TCM_GETITEMA, 2, reinterpret_cast<LPARAM>(&item)), TRUE);
  EXPECT_STREQ(text, "XP1");
  EXPECT_EQ(item.lParam, 10000);
  EXPECT_EQ(tabs->SendMessage(TCM_GETITEMA, 3, reinterpret_cast<LPARAM>(&item)), FALSE);

  EXPECT_EQ(tabs->SetCurSel(7), -1);
  EXPECT_EQ(tabs->GetCurSel(), 2) << "an index outside the tabs changes nothing";
  EXPECT_EQ(tabs->SendMessage(TCM_DELETEITEM, 0), TRUE);
  EXPECT_EQ(tabs->GetCurSel(), 1);
  EXPECT_EQ(tabs->SendMessage(TCM_DELETEITEM, 1), TRUE);
  EXPECT_EQ(tabs->GetCurSel(), -1) << "the selected tab went";
  EXPECT_EQ(tabs->GetItemCount(), 1);
  EXPECT_TRUE(tabs->DeleteAllItems());
  EXPECT_EQ(tabs->GetItemCount(), 0);
  EXPECT_TRUE(dialog.Commands().empty()) << "the program's own changes tell nothing";
}

TEST(ControlsThreads, APickedTabTellsTheDialogOnItsThread) {
  RecordingDialog dialog;
  CTabCtrl* tabs = nullptr;
  UiThread ui([&] {
    dialog.Create(9100, nullptr);
    tabs = dialog.Add(std::make_unique<CTabCtrl>(), 7233);
  });
  for (const char* label : {"FS8/9", "FSX"}) tabs->InsertItem(tabs->GetItemCount(), label);
  // From a worker the pick is handed to the dialog's thread.
  EXPECT_TRUE(SendMessageA(tabs->m_hWnd, ControlSelectMessage(), 1, 0));
  EXPECT_FALSE(SendMessageA(tabs->m_hWnd, ControlSelectMessage(), 2, 0));
  const std::vector<Command> seen = dialog.WaitFor(1);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], (Command{7233, LOWORD(TCN_SELCHANGE), tabs->m_hWnd, ui.Id()}));
  EXPECT_EQ(tabs->GetCurSel(), 1);
  // On its own thread, at once; the tab already picked tells nothing.
  ui.Run([&] {
    EXPECT_TRUE(SendMessageA(tabs->m_hWnd, ControlSelectMessage(), 0, 0));
    EXPECT_TRUE(SendMessageA(tabs->m_hWnd, ControlSelectMessage(), 0, 0));
  });
  const std::vector<Command> after = dialog.Commands();
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[1], (Command{7233, LOWORD(TCN_SELCHANGE), tabs->m_hWnd, ui.Id()}));
  ui.Run([&] { dialog.DestroyWindow(); });
}

}  // namespace
