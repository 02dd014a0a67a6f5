// The gradient library: LoadLibraryA("msimg32.dll") gives a module whose
// "GradientFill" is ours; any other library or name fails.
#pragma once

#include <cstdint>

#include "win/gdi_types.h"
#include "win/module.h"

using FARPROC = std::intptr_t (*)();

HMODULE LoadLibraryA(const char* name);
inline HMODULE LoadLibrary(const char* name) { return LoadLibraryA(name); }
FARPROC GetProcAddress(HMODULE module, const char* name);
BOOL FreeLibrary(HMODULE module);

// Rectangles only (GRADIENT_FILL_RECT_H / _V); the 16-bit channels go down to
// 8 bits; pixel i of n takes start + (end - start) * i / n.
BOOL GradientFill(HDC dc, TRIVERTEX* vertices, ULONG vertexCount, void* mesh, ULONG meshCount, ULONG mode);
using GradientFillProc = BOOL (*)(HDC, TRIVERTEX*, ULONG, void*, ULONG, ULONG);

// Tests: while set, LoadLibraryA fails for every name.
void FailLibraryLoadForTest(bool fail);
