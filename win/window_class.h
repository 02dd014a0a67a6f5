// Window classes and the windows made from them: a class names a window
// procedure, a cursor and a background brush; CreateWindowExA makes a
// top-level window of a class, with the extended styles the program uses
// (tool, top-most, layered). A layered window keeps its colour key.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "win/gdi_handles.h"
#include "win/menu.h"
#include "win/module.h"
#include "win/types.h"
#include "win/window.h"

using ATOM = WORD;
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

constexpr DWORD WS_EX_TOPMOST = 0x00000008;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
constexpr DWORD WS_EX_LAYERED = 0x00080000;
constexpr DWORD LWA_COLORKEY = 0x00000001;
constexpr DWORD LWA_ALPHA = 0x00000002;
constexpr int GWL_EXSTYLE = -20;
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);

struct WNDCLASSA {
  UINT style = 0;
  WNDPROC lpfnWndProc = nullptr;
  int cbClsExtra = 0;
  int cbWndExtra = 0;
  HINSTANCE hInstance = nullptr;
  HICON hIcon = 0;
  HCURSOR hCursor = 0;
  HBRUSH hbrBackground = 0;
  const char* lpszMenuName = nullptr;
  const char* lpszClassName = nullptr;
};

// WM_CREATE's lParam for a window of a class.
struct CREATESTRUCTA {
  void* lpCreateParams = nullptr;
  HINSTANCE hInstance = nullptr;
  HMENU hMenu = 0;
  HWND hwndParent = 0;
  int cy = 0;
  int cx = 0;
  int y = 0;
  int x = 0;
  LONG style = 0;
  const char* lpszName = nullptr;
  const char* lpszClass = nullptr;
  DWORD dwExStyle = 0;
};

// 0 when the name is taken already, empty, or no procedure is given.
ATOM RegisterClassA(const WNDCLASSA* windowClass);
// FALSE for a name not registered.
BOOL UnregisterClassA(const char* className, HINSTANCE instance);
// A window of a registered class on the calling thread: WM_CREATE reaches the
// class's procedure with a CREATESTRUCTA; 0 for an unknown class or a refused
// WM_CREATE. WS_EX_TOPMOST puts it above the others.
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param);
// What a class procedure passes on: the window's default behaviour.
LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// The extended styles a window of a class was made with (GWL_EXSTYLE).
DWORD WindowExStyle(HWND hwnd);

// FALSE unless the window was made layered.
BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF key, BYTE alpha, DWORD flags);
struct LayeredAttributes {
  COLORREF key = 0;
  BYTE alpha = 255;
  DWORD flags = 0;
};
std::optional<LayeredAttributes> GetLayeredAttributes(HWND hwnd);
// The class a window was made of; empty for other windows.
std::string WindowClassName(HWND hwnd);
// Windows of a class alive now (tests).
int WindowsOfClass(const char* className);
