// Placeholders until the drawing code lands.
#include <cstdio>

#include "win/gdi.h"
#include "win/gdi_table.h"

HGDIOBJ LoadImageA(HINSTANCE, const char*, UINT, int, int, UINT) { return 0; }
HBITMAP LoadBitmapA(HINSTANCE, const char* name) {
  const auto value = reinterpret_cast<std::uintptr_t>(name);
  if (value == 0 || value > 0xFFFF) return 0;
  return 0x00B00000 | static_cast<HBITMAP>(value);
}
std::optional<UINT> BitmapResourceId(HBITMAP bitmap) {
  if ((bitmap & ~0xFFFFu) != 0x00B00000 || (bitmap & 0xFFFF) == 0) return std::nullopt;
  return static_cast<UINT>(bitmap & 0xFFFF);
}
BOOL DrawEdge(HDC, RECT*, UINT, UINT) { return FALSE; }
BOOL DrawFocusRect(HDC, const RECT*) { return FALSE; }
BOOL DrawStateA(HDC, HBRUSH, DRAWSTATEPROC, LPARAM, WPARAM, int, int, int, int, UINT) { return FALSE; }
