// Bitmaps, brushes and pens, stock objects and their deletion.
#pragma once

#include <cstddef>

#include "win/gdi_types.h"

// Colour bitmaps are 32 bpp; a 1-bpp bitmap keeps one bit a pixel (1 white,
// 0 black). Bits, when given, are rows top-down, each padded to 16 bits.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// 1, 4, 8, 24 or 32 bpp, BI_RGB. *bits receives the section's pixel memory,
// bottom-up (a negative height: top-down) with rows padded to 32 bits, which
// the caller may write; drawing reads it through the colour table at the time.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, void* section, DWORD offset);
UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colours);
UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colours);

// BITMAP for bitmaps (DIBSECTION when size allows and it is one), LOGBRUSH
// for brushes, LOGPEN for pens, LOGFONTA for fonts; the bytes written, 0 on
// failure.
int GetObjectA(HGDIOBJ object, int size, void* buffer);
inline int GetObject(HGDIOBJ object, int size, void* buffer) { return GetObjectA(object, size, buffer); }

constexpr UINT BS_SOLID = 0;
constexpr UINT BS_NULL = 1;
constexpr UINT BS_HOLLOW = BS_NULL;
constexpr UINT BS_PATTERN = 3;
struct LOGBRUSH {
  UINT lbStyle = 0;
  COLORREF lbColor = 0;
  std::uintptr_t lbHatch = 0;
};
struct LOGPEN {
  UINT lopnStyle = 0;
  POINT lopnWidth;
  COLORREF lopnColor = 0;
};

// The brush tiles the bitmap (copied; a 1-bpp pattern draws its 0 bits in
// the DC's text colour and its 1 bits in the background colour).
HBRUSH CreatePatternBrush(HBITMAP bitmap);
HPEN CreatePen(int style, int width, COLORREF colour);

// Every kind of object; FALSE for a handle that is not a live object, for a
// stock object and for a bitmap still selected into a DC.
BOOL DeleteObject(HGDIOBJ object);

// Stock objects are never deleted: DeleteObject answers FALSE for them.
HGDIOBJ GetStockObject(int index);

COLORREF GetPixel(HDC dc, int x, int y);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour);
BOOL SetPixelV(HDC dc, int x, int y, COLORREF colour);

// Live objects of each kind, for leak tests.
std::size_t LiveBitmapCount();
std::size_t LivePenCount();
std::size_t LiveFontCount();
