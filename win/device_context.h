// Device contexts: a drawing state (selected objects, colours, origins, clip)
// over a surface, which is a bitmap selected into a memory DC or a window's
// picture (win/paint.h).
#pragma once

#include "win/gdi_types.h"

// A memory DC over a 1x1 monochrome bitmap until a bitmap is selected; the
// DC argument is ignored (every DC is compatible with the screen).
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);

// Selects a bitmap (memory DCs only; a bitmap is in one DC at a time), brush,
// pen or font; gives the object it replaced, 0 on failure.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC dc, UINT kind);

// The DC's state is pushed; RestoreDC(-1) pops the last, RestoreDC(n) returns
// to the state SaveDC answered n for.
int SaveDC(HDC dc);
BOOL RestoreDC(HDC dc, int saved);

COLORREF SetTextColor(HDC dc, COLORREF colour);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF colour);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);

BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT* previous);
BOOL GetWindowOrgEx(HDC dc, POINT* origin);
BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* previous);
BOOL GetViewportOrgEx(HDC dc, POINT* origin);
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* previous);

// Clipping: the DC's clip rectangle, in logical units.
constexpr int ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int GetClipBox(HDC dc, RECT* rect);

int GetDeviceCaps(HDC dc, int index);
// True colour: every colour is its own nearest.
COLORREF GetNearestColor(HDC dc, COLORREF colour);

// The number of live DCs, for tests that check that every DC is released.
std::size_t LiveDcCount();
