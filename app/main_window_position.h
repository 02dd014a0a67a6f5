// The main panel's place on the screen, kept in [POSITIONS] between runs.
#pragma once

#include <optional>

#include "core/settings.h"
#include "win/geometry.h"

// Where a saved rectangle puts the panel's top-left corner on a screen of that
// size; nothing (centre it) when a side was never saved or it would lie off screen.
std::optional<POINT> SavedMainWindowOrigin(const WindowPosition& saved, int screenWidth, int screenHeight);

class CWnd;
// Writes the window's rectangle as "MainPosition..." keys.
void SaveMainWindowPosition(CWnd& window);
// Moves the window to its saved place (no size change, no activation), else centres it.
void RestoreMainWindowPosition(CWnd& window);
