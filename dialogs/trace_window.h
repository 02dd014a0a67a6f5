// The trace window.
#pragma once

#include <atomic>

#include "win/dialog.h"

constexpr UINT kTraceWindowTemplate = 7061;

class CKtrace : public CDialogEx {
 public:
  CKtrace();
  ~CKtrace() override;
};

// The dialog, once created (any thread reads it).
extern std::atomic<CKtrace*> g_pKtrace;
