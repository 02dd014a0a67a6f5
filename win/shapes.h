// Lines, rectangles and ellipses with the DC's pen and brush.
#pragma once

#include "win/gdi_types.h"

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
// Draws from the current position up to, not including, (x, y).
BOOL LineTo(HDC dc, int x, int y);
// Outline in the pen, inside in the brush; right and bottom are excluded.
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL InvertRect(HDC dc, const RECT* rect);
