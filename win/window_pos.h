// Window rectangles and z-order. A control's rectangle is kept relative to its
// parent's client area, a dialog's (owned or not) to the screen; windows have
// no frame, so the client area is the whole window.
//
// A change of position sends WM_MOVE, a change of size WM_SIZE, at once on the
// owner thread and posted from any other thread.
#pragma once

#include "win/geometry.h"
#include "win/messages.h"
#include "win/types.h"

constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr WPARAM SIZE_RESTORED = 0;
// While the user drags a frame edge: wParam the edge, lParam the RECT* (screen)
// the window would take, which the procedure may change.
constexpr UINT WM_SIZING = 0x0214;
constexpr WPARAM WMSZ_LEFT = 1;
constexpr WPARAM WMSZ_RIGHT = 2;
constexpr WPARAM WMSZ_TOP = 3;
constexpr WPARAM WMSZ_TOPLEFT = 4;
constexpr WPARAM WMSZ_TOPRIGHT = 5;
constexpr WPARAM WMSZ_BOTTOM = 6;
constexpr WPARAM WMSZ_BOTTOMLEFT = 7;
constexpr WPARAM WMSZ_BOTTOMRIGHT = 8;

const HWND HWND_TOP = 0;
const HWND HWND_BOTTOM = 1;
const HWND HWND_TOPMOST = 0xFFFFFFFF;     // (HWND)-1
const HWND HWND_NOTOPMOST = 0xFFFFFFFE;  // (HWND)-2

constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_FRAMECHANGED = 0x0020;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;
constexpr UINT SWP_NOOWNERZORDER = 0x0200;

// FALSE for an unknown window. A negative width or height counts as 0.
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
// In screen coordinates.
BOOL GetWindowRect(HWND hwnd, RECT* rect);
// Always at 0, 0.
BOOL GetClientRect(HWND hwnd, RECT* rect);
BOOL ClientToScreen(HWND hwnd, POINT* point);
BOOL ScreenToClient(HWND hwnd, POINT* point);
// Set by SetWindowPos with HWND_TOPMOST, cleared with HWND_NOTOPMOST.
bool IsWindowTopmost(HWND hwnd);

namespace win::detail {
// The rectangle a window is made with: no messages.
void SetInitialWindowRect(HWND hwnd, const RECT& rect);
}  // namespace win::detail
