// The windows' call locks go one way, from a dialog to its controls: when a
// control tells its dialog something (a click, a change, a paint asking for
// colours or for the drawing of an owner-drawn button), the dialog runs with
// its own call lock and without the control's, whatever lock the dialog held
// before. Two threads taking the two locks each in its own order could
// otherwise wait on each other for ever.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "win/controls.h"
#include "win/dialog.h"
#include "win/update_region.h"
#include "win/window_registry.h"

namespace {

using win::detail::CallLocksHeldHere;

constexpr UINT kSetTextFromTheDialog = WM_APP + 1;

// A dialog that notes, at each message from a control, whose call locks are held.
class NotingDialog : public CDialog {
 public:
  ~NotingDialog() override { DestroyWindow(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_COMMAND || message == WM_DRAWITEM || (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC)) {
      seen.push_back({message, CallLocksHeldHere()});
    }
    if (message == kSetTextFromTheDialog) {
      SetDlgItemTextA(m_hWnd, static_cast<int>(wParam), "from the dialog");
      return 1;
    }
    return CDialog::WindowProc(message, wParam, lParam);
  }
  struct Seen {
    UINT message;
    std::vector<HWND> held;
  };
  std::vector<Seen> seen;
};

// An edit that notes whose call locks are held while it takes a text.
class NotingEdit : public CEdit {
 public:
  ~NotingEdit() override { DestroyWindow(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_SETTEXT) heldAtSetText = CallLocksHeldHere();
    return CEdit::WindowProc(message, wParam, lParam);
  }
  std::vector<HWND> heldAtSetText;
};

class CallLockOrderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dialog_.Create(9100, nullptr));
    dialog_.ShowWindow(SW_SHOW);
    edit_ = static_cast<NotingEdit*>(dialog_.AddControl(std::make_unique<NotingEdit>(), 7003));
    button_ = static_cast<CButton*>(dialog_.AddControl(std::make_unique<CButton>(BS_PUSHBUTTON, "Go"), 7201));
    drawn_ = static_cast<CButton*>(dialog_.AddControl(std::make_unique<CButton>(BS_OWNERDRAW, "Drawn"), 7202));
    ASSERT_NE(edit_, nullptr);
    ASSERT_NE(button_, nullptr);
    ASSERT_NE(drawn_, nullptr);
    int top = 0;
    for (CWnd* control : {static_cast<CWnd*>(edit_), static_cast<CWnd*>(button_), static_cast<CWnd*>(drawn_)}) {
      control->MoveWindow(4, top += 24, 80, 20, FALSE);
      control->ShowWindow(SW_SHOW);
    }
    dialog_.seen.clear();
  }
  // Every message the dialog noted came with its own lock held and no control's.
  void ExpectOnlyTheDialogsLock(UINT message) {
    bool found = false;
    for (const NotingDialog::Seen& seen : dialog_.seen) {
      if (seen.message != message) continue;
      found = true;
      EXPECT_EQ(seen.held, std::vector<HWND>{dialog_.m_hWnd}) << "message " << message;
    }
    EXPECT_TRUE(found) << "the dialog never heard message " << message;
    EXPECT_TRUE(CallLocksHeldHere().empty());
  }

  NotingDialog dialog_;
  NotingEdit* edit_ = nullptr;
  CButton* button_ = nullptr;
  CButton* drawn_ = nullptr;
};

TEST_F(CallLockOrderTest, AClickReachesTheDialogWithoutTheButtonsLock) {
  button_->SendMessage(BM_CLICK);
  ExpectOnlyTheDialogsLock(WM_COMMAND);
}

TEST_F(CallLockOrderTest, AChangeMadeByTheDialogReachesItWithoutTheEditsLock) {
  ASSERT_EQ(dialog_.SendMessage(kSetTextFromTheDialog, 7003), 1);
  EXPECT_EQ(edit_->Text(), "from the dialog");
  EXPECT_EQ(edit_->heldAtSetText, (std::vector<HWND>{dialog_.m_hWnd, edit_->m_hWnd})) << "the dialog's, then the edit's";
  ExpectOnlyTheDialogsLock(WM_COMMAND);
}

TEST_F(CallLockOrderTest, PaintingAsksTheDialogForColoursAndDrawingWithoutTheControlsLock) {
  for (HWND control : {edit_->m_hWnd, drawn_->m_hWnd}) {
    InvalidateRect(control, nullptr, TRUE);
    win::detail::PaintNow(control);
  }
  ExpectOnlyTheDialogsLock(WM_CTLCOLOREDIT);
  ExpectOnlyTheDialogsLock(WM_DRAWITEM);
}

// A sibling told that it lost the focus runs without the lock of the control
// that took it: each could take the focus from the other.
TEST_F(CallLockOrderTest, AFocusMovedBetweenControlsTellsEachWithoutTheOthersLock) {
  class FocusTaker : public CButton {
   public:
    FocusTaker() : CButton(BS_PUSHBUTTON, "Take") {}
    ~FocusTaker() override { DestroyWindow(); }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
      if (message == WM_APP) {
        SetFocus();
        return 1;
      }
      return CButton::WindowProc(message, wParam, lParam);
    }
  };
  class FocusLoser : public CEdit {
   public:
    ~FocusLoser() override { DestroyWindow(); }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
      if (message == WM_KILLFOCUS) heldAtKillFocus = CallLocksHeldHere();
      return CEdit::WindowProc(message, wParam, lParam);
    }
    std::vector<HWND> heldAtKillFocus;
  };
  auto* taker = static_cast<FocusTaker*>(dialog_.AddControl(std::make_unique<FocusTaker>(), 7210));
  auto* loser = static_cast<FocusLoser*>(dialog_.AddControl(std::make_unique<FocusLoser>(), 7211));
  ASSERT_NE(taker, nullptr);
  ASSERT_NE(loser, nullptr);
  loser->SetFocus();
  ASSERT_EQ(taker->SendMessage(WM_APP), 1);
  EXPECT_EQ(::GetFocus(), taker->m_hWnd);
  EXPECT_EQ(loser->heldAtKillFocus, std::vector<HWND>{loser->m_hWnd});
  EXPECT_TRUE(CallLocksHeldHere().empty());
  ::SetFocus(0);
}

}  // namespace
