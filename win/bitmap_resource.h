// Bitmaps named by resource id. A loaded bitmap is a handle that remembers its
// resource, so that the controls showing it (and the automation dump) can
// tell which image they show; the pixels come with the drawing layer.
#pragma once

#include <optional>

#include "win/gdi_handles.h"
#include "win/module.h"

// The same handle for every load of one resource id; 0 for a name that is
// not an integer resource.
HBITMAP LoadBitmapA(HINSTANCE instance, const char* name);
inline HBITMAP LoadBitmap(HINSTANCE instance, const char* name) { return LoadBitmapA(instance, name); }
// The resource id behind a handle LoadBitmapA gave.
std::optional<UINT> BitmapResourceId(HBITMAP bitmap);
