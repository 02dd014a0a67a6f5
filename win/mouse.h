// The mouse: a virtual cursor in screen coordinates (win/window_pos.h), the
// window under it, capture, leave tracking, activation, and a driver that
// moves and clicks it as a user would (tests and automation).
//
// Mouse messages carry the point in client coordinates of the window they go
// to (lParam: x low word, y high word, each signed 16 bits) and the held keys
// (wParam: MK_*). A moved cursor sends WM_SETCURSOR, then WM_MOUSEMOVE, to the
// window under it, or to the capture window while one has the capture.
#pragma once

#include "win/geometry.h"
#include "win/messages.h"
#include "win/types.h"

constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_CANCELMODE = 0x001F;
// wParam: the window under the cursor, lParam: MAKELONG(hit test, mouse message).
constexpr UINT WM_SETCURSOR = 0x0020;
constexpr UINT WM_MOUSEACTIVATE = 0x0021;
constexpr UINT WM_GETDLGCODE = 0x0087;
constexpr UINT WM_NCHITTEST = 0x0084;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
// wParam: the keys (MK_*) in its low word, the signed wheel turn (WHEEL_DELTA a notch) in its high word.
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr int WHEEL_DELTA = 120;
constexpr UINT WM_MENUCHAR = 0x0120;
// lParam: the window that takes the capture.
constexpr UINT WM_CAPTURECHANGED = 0x0215;
constexpr UINT WM_MOUSELEAVE = 0x02A3;
constexpr UINT WM_MOUSEHOVER = 0x02A1;

constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;

// WM_ACTIVATE states (low word of wParam).
constexpr WORD WA_INACTIVE = 0;
constexpr WORD WA_ACTIVE = 1;
constexpr WORD WA_CLICKACTIVE = 2;

// WM_SETCURSOR hit-test codes.
constexpr WORD HTNOWHERE = 0;
constexpr WORD HTCLIENT = 1;
constexpr WORD HTCAPTION = 2;

// WM_GETDLGCODE answers.
constexpr LRESULT DLGC_WANTARROWS = 0x0001;
constexpr LRESULT DLGC_WANTTAB = 0x0002;
constexpr LRESULT DLGC_WANTALLKEYS = 0x0004;
constexpr LRESULT DLGC_WANTMESSAGE = 0x0004;
constexpr LRESULT DLGC_HASSETSEL = 0x0008;
constexpr LRESULT DLGC_DEFPUSHBUTTON = 0x0010;
constexpr LRESULT DLGC_UNDEFPUSHBUTTON = 0x0020;
constexpr LRESULT DLGC_RADIOBUTTON = 0x0040;
constexpr LRESULT DLGC_WANTCHARS = 0x0080;
constexpr LRESULT DLGC_STATIC = 0x0100;
constexpr LRESULT DLGC_BUTTON = 0x2000;

struct TRACKMOUSEEVENT {
  DWORD cbSize = sizeof(TRACKMOUSEEVENT);
  DWORD dwFlags = 0;
  HWND hwndTrack = 0;
  DWORD dwHoverTime = 0;
};
constexpr DWORD TME_HOVER = 0x00000001;
constexpr DWORD TME_LEAVE = 0x00000002;
constexpr DWORD TME_NONCLIENT = 0x00000010;
constexpr DWORD TME_QUERY = 0x40000000;
constexpr DWORD TME_CANCEL = 0x80000000;
constexpr DWORD HOVER_DEFAULT = 0xFFFFFFFF;

constexpr LPARAM MAKELPARAM(int x, int y) {
  return static_cast<LPARAM>(MAKELONG(static_cast<WORD>(x & 0xFFFF), static_cast<WORD>(y & 0xFFFF)));
}
constexpr int GET_X_LPARAM(LPARAM lParam) { return static_cast<std::int16_t>(LOWORD(static_cast<std::uintptr_t>(lParam))); }
constexpr int GET_WHEEL_DELTA_WPARAM(WPARAM wParam) { return static_cast<std::int16_t>(HIWORD(wParam)); }
constexpr int GET_Y_LPARAM(LPARAM lParam) { return static_cast<std::int16_t>(HIWORD(static_cast<std::uintptr_t>(lParam))); }

// TME_LEAVE: WM_MOUSELEAVE is posted to the window once, when the cursor
// leaves it (at once when it is not over it now); TME_CANCEL ends the
// request, TME_QUERY fills in what is asked. FALSE for a window that is gone.
BOOL TrackMouseEvent(TRACKMOUSEEVENT* track);
BOOL _TrackMouseEvent(TRACKMOUSEEVENT* track);  // NOLINT: the platform's name

// Mouse messages go to the capture window wherever the cursor is. Taking it
// from another window sends that one WM_CAPTURECHANGED. The previous holder.
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();

// The deepest visible window that holds the point (screen coordinates):
// the topmost of the dialogs, then their controls; 0 over no window.
HWND WindowFromPoint(POINT point);
// The child of `parent` holding the point (parent's client coordinates), the
// parent itself when no child does, 0 outside it.
HWND ChildWindowFromPoint(HWND parent, POINT point);

// Two presses of the left button on one window within this time (500 ms at
// first) and a few pixels are a double click.
UINT GetDoubleClickTime();
BOOL SetDoubleClickTime(UINT milliseconds);

BOOL GetCursorPos(POINT* point);
// Moves the virtual cursor as the driver does (WM_SETCURSOR, WM_MOUSEMOVE).
BOOL SetCursorPos(int x, int y);

// The window the user works in: set by the driver's clicks and SetActiveWindow,
// which sends WM_ACTIVATE (WA_INACTIVE) to the one that had it, then to the new one.
HWND SetActiveWindow(HWND hwnd);
HWND GetActiveWindow();
HWND GetForegroundWindow();
BOOL SetForegroundWindow(HWND hwnd);

namespace win {

// The user's hand on the mouse, on the windows' owner thread (messages to
// another thread's windows are sent and waited for). Coordinates are screen
// coordinates.
void MouseMoveTo(POINT screen);
// Presses the left button at the cursor: WM_LBUTTONDOWN (WM_LBUTTONDBLCLK
// when it comes within the double-click time and a few pixels of the last
// press on the same window), with the click's activation and focus.
void MouseLeftDown();
void MouseLeftUp();
void MouseRightDown();
void MouseRightUp();
// Down and up at the point.
void MouseClickAt(POINT screen);
// Forgets the buttons held and the last press (tests start from here).
void ResetMouseForTest();

// WM_SYSCOLORCHANGE to every window (the system colours changed).
void BroadcastSysColorChange();

}  // namespace win
