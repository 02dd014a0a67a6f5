#include "win/cdc.h"

#include <utility>

CDC::~CDC() {
  if (m_hDC != 0) ::DeleteDC(Detach());
}

BOOL CDC::Attach(HDC dc) {
  if (m_hDC != 0 || dc == 0) return FALSE;
  m_hDC = dc;
  return TRUE;
}

HDC CDC::Detach() { return std::exchange(m_hDC, 0); }
