// The main dialog: the program's hub on the UI thread.
#pragma once

#include <atomic>

#include "base/circ_buf.h"
#include "win/dialog.h"

class CFSClientDlg : public CDialogEx, public CCircBuf {
 public:
  CFSClientDlg();
  ~CFSClientDlg() override;

  BOOL OnInitDialog() override;

  void MarkShown() { shown_ = true; }
  bool Shown() const { return shown_; }

 private:
  std::atomic<bool> shown_{false};
};
