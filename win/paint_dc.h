// The class library's window DCs: CPaintDC around BeginPaint/EndPaint (in a
// WM_PAINT handler), CClientDC around GetDC/ReleaseDC. Each releases its DC
// when destroyed; off the window's owner thread both hold no DC (0).
#pragma once

#include "win/cdc.h"
#include "win/paint.h"
#include "win/window.h"

class CPaintDC : public CDC {
 public:
  explicit CPaintDC(CWnd* window);
  ~CPaintDC() override;

  PAINTSTRUCT m_ps;

 private:
  HWND hwnd_ = 0;
};

class CClientDC : public CDC {
 public:
  explicit CClientDC(CWnd* window);
  ~CClientDC() override;

 private:
  HWND hwnd_ = 0;
};

// GetWindowDC's wrapper: windows have no frame, so the client DC.
class CWindowDC : public CClientDC {
 public:
  using CClientDC::CClientDC;
};
