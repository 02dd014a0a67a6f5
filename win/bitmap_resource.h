// Bitmaps of the program's resources (res/bitmaps/<id>.bmp, built in). Every
// handle remembers its resource, so that the controls showing it (and the
// automation dump) can tell which image they show.
#pragma once

#include <optional>

#include "win/gdi_handles.h"
#include "win/module.h"

constexpr UINT LR_DEFAULTCOLOR = 0x0000;
constexpr UINT LR_MONOCHROME = 0x0001;
constexpr UINT LR_LOADFROMFILE = 0x0010;
constexpr UINT LR_LOADTRANSPARENT = 0x0020;
constexpr UINT LR_DEFAULTSIZE = 0x0040;
constexpr UINT LR_LOADMAP3DCOLORS = 0x1000;
constexpr UINT LR_CREATEDIBSECTION = 0x2000;
constexpr UINT LR_SHARED = 0x8000;

// IMAGE_BITMAP of an integer resource: a new bitmap per call, which the
// caller deletes (LR_SHARED: the one shared handle of LoadBitmapA). 0 for
// other kinds, names that are not integer resources and ids without a
// bitmap. With LR_LOADFROMFILE the name is a BMP file's path: 0 when it
// cannot be read or is not a well-formed BMP (short, odd, truncated).
// The handle is an HGDIOBJ (our handles are ids, not pointers).
HGDIOBJ LoadImageA(HINSTANCE instance, const char* name, UINT type, int cx, int cy, UINT flags);
inline HGDIOBJ LoadImage(HINSTANCE instance, const char* name, UINT type, int cx, int cy, UINT flags) {
  return LoadImageA(instance, name, type, cx, cy, flags);
}

// One shared handle per resource id, made on the first call and kept for the
// process (DeleteObject leaves it alone, as it does stock objects); 0 for a
// name that is not an integer resource or an id without a bitmap.
HBITMAP LoadBitmapA(HINSTANCE instance, const char* name);
inline HBITMAP LoadBitmap(HINSTANCE instance, const char* name) { return LoadBitmapA(instance, name); }

// The resource id behind a handle that LoadImageA or LoadBitmapA gave (while
// it lives).
std::optional<UINT> BitmapResourceId(HBITMAP bitmap);
