// Block transfers with the raster operations of Windows: bitwise on the 24-bit
// colours of source, destination and brush. Between a colour and a 1-bpp
// surface the colours convert as Windows converts them: to 1-bpp, a source
// pixel equal to the source DC's background colour is 1, any other 0; from
// 1-bpp, 1 takes the destination DC's background colour and 0 its text colour.
#pragma once

#include "win/gdi_types.h"

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop);
// Nearest pixel (as COLORONCOLOR); negative sizes mirror.
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int sourceWidth,
                int sourceHeight, DWORD rop);
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
