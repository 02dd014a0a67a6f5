#include "app/main_window_position.h"

#include "core/settings_keys.h"
#include "win/system_metrics.h"
#include "win/window.h"
#include "win/window_pos.h"

std::optional<POINT> SavedMainWindowOrigin(const WindowPosition& saved, int screenWidth, int screenHeight) {
  if (saved.left >= screenWidth || saved.top >= screenHeight || saved.right <= 0 || saved.bottom <= 0)
    return std::nullopt;
  for (std::int32_t side : {saved.left, saved.top, saved.right, saved.bottom})
    if (side == kNoWindowPosition) return std::nullopt;
  return POINT{saved.left, saved.top};
}

void SaveMainWindowPosition(CWnd& window) {
  RECT r{};
  GetWindowRect(window.m_hWnd, &r);
  WriteWindowPosition(settings_key::kMainPosition, {r.left, r.top, r.right, r.bottom});
}

void RestoreMainWindowPosition(CWnd& window) {
  const std::optional<WindowPosition> saved = ReadWindowPosition(settings_key::kMainPosition);
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  std::optional<POINT> origin;
  if (saved) origin = SavedMainWindowOrigin(*saved, screenWidth, screenHeight);
  if (!origin) {
    RECT r{};
    GetWindowRect(window.m_hWnd, &r);
    origin = POINT{(screenWidth - (r.right - r.left)) / 2, (screenHeight - (r.bottom - r.top)) / 2};
  }
  SetWindowPos(window.m_hWnd, 0, origin->x, origin->y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
