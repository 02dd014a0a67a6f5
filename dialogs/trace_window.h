// The trace window: a second rich-text trace output, created at start-up and
// never shown by the program.
#pragma once

#include <atomic>

#include "base/print_dlg.h"
#include "dialogs/rules_dialog_colours.h"
#include "win/dialog.h"

constexpr UINT kTraceWindowTemplate = 7061;
constexpr int kTraceOutputId = 7005;
constexpr int kTraceCleanupId = 7101;
inline constexpr COLORREF kTraceWindowBackground = 0x3E2E21;
// The background of the program's dialog controls (the shared dialog brush).
inline constexpr COLORREF kTraceControlBackground = 0x3D2F28;

class CKtrace : public CDialogEx, public CPrintDlg {
 public:
  CKtrace();
  ~CKtrace() override;

  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  bool firstShowDone_ = false;
  RulesBrushes brushes_;
  RECT windowRect_{};
  RECT outputRect_{};
};

// The dialog, once created (any thread reads it).
extern std::atomic<CKtrace*> g_pKtrace;
