// The whole top-level window as it shows, its widgets and painted surfaces
// together, written as PNG. Internal to the display.
#pragma once

#include <string>

#include "win/types.h"

namespace win::display {

class Mirror;

// UI thread. The window's pending paints run first; headless, its widgets
// are made offscreen for the picture alone. False when it cannot be written.
bool SnapshotWindow(Mirror& mirror, HWND window, const std::string& path);

}  // namespace win::display
