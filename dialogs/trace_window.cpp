#include "dialogs/trace_window.h"

#include "base/klib_settings.h"
#include "win/messages.h"
#include "win/richedit.h"
#include "win/window_pos.h"

std::atomic<CKtrace*> g_pKtrace{nullptr};

CKtrace::CKtrace() : CDialogEx(kTraceWindowTemplate) {}

CKtrace::~CKtrace() {
  if (g_pKtrace.load() == this) g_pKtrace = nullptr;
  DestroyWindow();
}

BOOL CKtrace::OnInitDialog() {
  CDialogEx::OnInitDialog();
  ::GetWindowRect(m_hWnd, &windowRect_);
  if (auto* output = dynamic_cast<CRichEditCtrl*>(GetDlgItem(kTraceOutputId))) {
    ::GetWindowRect(output->m_hWnd, &outputRect_);
    AttachRichEdit(output, this);
  }
  return TRUE;
}

BOOL CKtrace::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (LOWORD(wParam) == kTraceCleanupId) {
    Clear();
    return TRUE;
  }
  return CDialogEx::OnCommand(wParam, lParam);
}

LRESULT CKtrace::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (IsCtlColorMessage(message)) {
    return AnswerControlColours(RulesControlColours{Klib().Colour(kColourNormal), kTraceControlBackground, false},
                                brushes_, wParam);
  }
  const LRESULT result = CDialogEx::WindowProc(message, wParam, lParam);
  if (message == WM_SHOWWINDOW && wParam != 0 && !firstShowDone_) {
    firstShowDone_ = true;
    if (CRichEditCtrl* output = RichEdit()) output->SetBackgroundColor(FALSE, kTraceWindowBackground);
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    Clear();
  }
  return result;
}
