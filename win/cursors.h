// Cursors: handles naming a system cursor or a cursor resource. The cursor
// shown is one for the program (there is one mouse); WM_SETCURSOR lets the
// window under the mouse set it, else the arrow is shown.
#pragma once

#include <cstdint>
#include <optional>

#include "win/gdi_handles.h"
#include "win/module.h"
#include "win/types.h"

// The system cursors, as resource ids packed into names.
inline const char* const IDC_ARROW = MAKEINTRESOURCEA(32512);
inline const char* const IDC_IBEAM = MAKEINTRESOURCEA(32513);
inline const char* const IDC_WAIT = MAKEINTRESOURCEA(32514);
inline const char* const IDC_CROSS = MAKEINTRESOURCEA(32515);
inline const char* const IDC_UPARROW = MAKEINTRESOURCEA(32516);
inline const char* const IDC_SIZENWSE = MAKEINTRESOURCEA(32642);
inline const char* const IDC_SIZENESW = MAKEINTRESOURCEA(32643);
inline const char* const IDC_SIZEWE = MAKEINTRESOURCEA(32644);
inline const char* const IDC_SIZENS = MAKEINTRESOURCEA(32645);
inline const char* const IDC_SIZEALL = MAKEINTRESOURCEA(32646);
inline const char* const IDC_NO = MAKEINTRESOURCEA(32648);
inline const char* const IDC_HAND = MAKEINTRESOURCEA(32649);
inline const char* const IDC_APPSTARTING = MAKEINTRESOURCEA(32650);
inline const char* const IDC_HELP = MAKEINTRESOURCEA(32651);

// A null instance with an IDC_* id loads a system cursor: one shared handle
// per kind, which DestroyCursor leaves alone. Any other id is a cursor
// resource of the program (every module handle, null too, means the
// program): a new handle per call. 0 for a name that is not an id.
HCURSOR LoadCursorA(HINSTANCE instance, const char* name);
inline HCURSOR LoadCursor(HINSTANCE instance, const char* name) { return LoadCursorA(instance, name); }
// The cursor now shown; the one before.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
// FALSE for a handle that is not a live cursor (shared ones stay alive).
BOOL DestroyCursor(HCURSOR cursor);

namespace win {
// What a cursor handle names: a system cursor's IDC_* id or the resource id.
struct CursorInfo {
  bool system = false;
  WORD id = 0;
};
std::optional<CursorInfo> CursorOf(HCURSOR cursor);
std::size_t LiveCursorCount();
}  // namespace win
