// The radio and text window; its rich-text area is the program's trace output.
#pragma once

#include <atomic>
#include <memory>

#include "base/print_dlg.h"
#include "win/dialog.h"

class CRichEditCtrl;

constexpr UINT kChatTemplate = 7057;
constexpr int kChatOutputId = 7005;
constexpr int kChatInputId = 7003;
constexpr int kChatNearestAirportId = 7219;
constexpr int kChatSiteId = 7217;
// CMD_CHAT_ENABLE_INPUT: lParam 1 enables the input line, 0 disables it.
constexpr UINT kChatEnableInputCommand = 33725;

class CCchatDlg : public CDialogEx, public CPrintDlg {
 public:
  CCchatDlg();
  ~CCchatDlg() override;

  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

  CRichEditCtrl* Output() const { return RichEdit(); }
  // The output's selection dropped, its caret at the end of the text.
  void ScrollToEnd();
  // The AutoClose flag and the countdown that hides the window again (library settings point at both).
  std::atomic<std::uint32_t>& AutoShowFlag() { return autoShowFlag_; }
  std::atomic<std::int32_t>& AutoHideCountdown() { return autoHideCountdown_; }

 private:
  std::atomic<std::uint32_t> autoShowFlag_{0};
  std::atomic<std::int32_t> autoHideCountdown_{0};
};

// The chat window; other code tests it for null before printing.
extern std::atomic<CCchatDlg*> g_pChatDlg;
