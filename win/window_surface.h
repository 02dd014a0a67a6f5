// The 32-bpp pictures behind the windows, one per window, of its client
// size. Internal to win/: only the owner thread draws on one.
#pragma once

#include <QImage>
#include <memory>
#include <optional>

#include "win/types.h"

namespace win::detail {

// The window's picture at its client size, made (or remade, blank, after a
// size change) on demand; null for a window without a client area.
std::shared_ptr<QImage> WindowSurface(HWND hwnd);
// The picture as it is, without making one; null when the window never painted.
std::shared_ptr<QImage> ExistingWindowSurface(HWND hwnd);
void DropWindowSurface(HWND hwnd);
// What was painted on the window's picture since the display last asked
// (client coordinates); nothing when nothing was. Kept only while a display
// is registered.
std::optional<RECT> TakeNewlyPainted(HWND hwnd);

}  // namespace win::detail
