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
HFONT CreateFontA(int, int, int, int, int, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, const char*) {
  return 0;
}
HFONT CreateFontIndirectA(const LOGFONTA*) { return 0; }
LOGFONTA DefaultGuiLogFont() {
  LOGFONTA f;
  f.lfHeight = -11;
  f.lfWeight = FW_NORMAL;
  std::snprintf(f.lfFaceName, sizeof f.lfFaceName, "%s", "MS Shell Dlg");
  return f;
}
BOOL DrawEdge(HDC, RECT*, UINT, UINT) { return FALSE; }
BOOL DrawFocusRect(HDC, const RECT*) { return FALSE; }
BOOL DrawStateA(HDC, HBRUSH, DRAWSTATEPROC, LPARAM, WPARAM, int, int, int, int, UINT) { return FALSE; }
int DrawTextA(HDC, const char*, int, RECT*, UINT) { return 0; }
int DrawTextW(HDC, const wchar_t*, int, RECT*, UINT) { return 0; }
BOOL TextOutA(HDC, int, int, const char*, int) { return FALSE; }
BOOL GetTextExtentPoint32A(HDC, const char*, int, SIZE*) { return FALSE; }
BOOL GetTextExtentPoint32W(HDC, const wchar_t*, int, SIZE*) { return FALSE; }
BOOL GetTextMetricsA(HDC, TEXTMETRICA*) { return FALSE; }
