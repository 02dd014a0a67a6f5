#include "dialogs/trace_window.h"

std::atomic<CKtrace*> g_pKtrace{nullptr};

CKtrace::CKtrace() : CDialogEx(kTraceWindowTemplate) {}

CKtrace::~CKtrace() {
  if (g_pKtrace.load() == this) g_pKtrace = nullptr;
  DestroyWindow();
}
