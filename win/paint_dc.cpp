#include "win/paint_dc.h"

CPaintDC::CPaintDC(CWnd* window) : hwnd_(window != nullptr ? window->m_hWnd : 0) {
  Attach(::BeginPaint(hwnd_, &m_ps));
}

CPaintDC::~CPaintDC() {
  if (m_hDC == 0) return;
  Detach();
  ::EndPaint(hwnd_, &m_ps);
}

CClientDC::CClientDC(CWnd* window) : hwnd_(window != nullptr ? window->m_hWnd : 0) { Attach(::GetDC(hwnd_)); }

CClientDC::~CClientDC() {
  if (m_hDC == 0) return;
  ::ReleaseDC(hwnd_, Detach());
}

CDC* CWnd::GetDC() {
  const HDC dc = ::GetDC(m_hWnd);
  return dc != 0 ? CDC::FromHandle(dc) : nullptr;
}

CDC* CWnd::GetWindowDC() { return GetDC(); }

int CWnd::ReleaseDC(CDC* dc) { return dc != nullptr ? ::ReleaseDC(m_hWnd, dc->m_hDC) : 0; }
