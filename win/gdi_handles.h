// Handles of drawing objects: 32-bit ids, as window handles are; 0 is none.
#pragma once

#include "win/types.h"

using HGDIOBJ = std::uint32_t;
using HBRUSH = HGDIOBJ;
using HBITMAP = HGDIOBJ;
using HICON = HGDIOBJ;
using HDC = HGDIOBJ;
using HPEN = HGDIOBJ;
using HFONT = HGDIOBJ;
using HCURSOR = HICON;

// Image kinds of STM_SETIMAGE, BM_SETIMAGE and LoadImageA.
constexpr WPARAM IMAGE_BITMAP = 0;
constexpr WPARAM IMAGE_ICON = 1;
constexpr WPARAM IMAGE_CURSOR = 2;
