// Handles of drawing objects: 32-bit ids, as window handles are; 0 is none.
#pragma once

#include "win/types.h"

using HGDIOBJ = std::uint32_t;
using HBRUSH = HGDIOBJ;
using HBITMAP = HGDIOBJ;
using HICON = HGDIOBJ;

// Image kinds of STM_SETIMAGE and BM_SETIMAGE.
constexpr WPARAM IMAGE_BITMAP = 0;
constexpr WPARAM IMAGE_ICON = 1;
