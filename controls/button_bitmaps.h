// The images a bitmap button derives from its bitmap: the transparency mask
// and the grey and darker copies.
#pragma once

#include "win/gdi.h"

// A monochrome mask of the bitmap, 1 where it has the transparent colour; the
// bitmap's transparent pixels are turned black, so that the mask (SRCAND) and
// then the bitmap (SRCPAINT) leave what lies under them. 0 when no mask can be made.
HBITMAP CreateBitmapMask(HBITMAP source, DWORD width, DWORD height, COLORREF transparent);

// New bitmaps of the same size; pixels of the transparent colour are kept.
// Grey: 0.299 R + 0.587 G + 0.114 B in every channel; darker: each channel
// less a quarter. 0 when a device context or the bitmap cannot be made.
HBITMAP CreateGrayscaleBitmap(HBITMAP source, DWORD width, DWORD height, COLORREF transparent);
HBITMAP CreateDarkerBitmap(HBITMAP source, DWORD width, DWORD height, COLORREF transparent);

// Tests: the copies above cannot be made.
void SetBitmapCopiesFailForTest(bool fail);
