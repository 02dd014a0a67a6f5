// Placeholders until the drawing code lands.
#include "win/gdi.h"
#include "win/gdi_table.h"

HBRUSH CreatePatternBrush(HBITMAP) { return 0; }
COLORREF GetSysColor(int) { return 0; }
HBRUSH GetSysColorBrush(int) { return 0; }
HBITMAP CreateBitmap(int, int, UINT, UINT, const void*) { return 0; }
HBITMAP CreateCompatibleBitmap(HDC, int, int) { return 0; }
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
HPEN CreatePen(int, int, COLORREF) { return 0; }
HFONT CreateFontA(int, int, int, int, int, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, const char*) {
  return 0;
}
HFONT CreateFontIndirectA(const LOGFONTA*) { return 0; }
LOGFONTA DefaultGuiLogFont() { return {}; }
int GetObjectA(HGDIOBJ, int, void*) { return 0; }
BOOL DeleteObject(HGDIOBJ object) {
  auto& t = win::detail::Table();
  {
    std::lock_guard lock(t.mutex);
    auto it = t.objects.find(object);
    if (it == t.objects.end() || it->second.stock) return FALSE;
    t.objects.erase(it);
  }
  win::detail::ForgetWrappers(object);
  return TRUE;
}
namespace win::detail {
void ForgetDcWrapper(HDC) {}
}
BOOL DeleteDC(HDC) { return FALSE; }
