#include "win/gradient_library.h"

#include <atomic>
#include <cstring>

#include <string>
#include "win/pixel_surface.h"

using namespace win::detail;

namespace {

// The one library there is; its handle is the address of this marker.
char g_gradientLibrary = 0;
std::atomic<bool> g_failLoads{false};

HMODULE GradientModule() { return &g_gradientLibrary; }

}  // namespace

HMODULE LoadLibraryA(const char* name) {
  if (name == nullptr || g_failLoads.load()) return nullptr;
  std::string lower(name);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (lower != "msimg32.dll" && lower != "msimg32") return nullptr;
  return GradientModule();
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
  if (module != GradientModule() || name == nullptr || std::strcmp(name, "GradientFill") != 0) return nullptr;
  return reinterpret_cast<FARPROC>(&GradientFill);
}

BOOL FreeLibrary(HMODULE module) { return module == GradientModule() ? TRUE : FALSE; }

void FailLibraryLoadForTest(bool fail) { g_failLoads = fail; }

BOOL GradientFill(HDC dc, TRIVERTEX* vertices, ULONG vertexCount, void* mesh, ULONG meshCount, ULONG mode) {
  if (vertices == nullptr || (mesh == nullptr && meshCount != 0)) return FALSE;
  if (mode != GRADIENT_FILL_RECT_H && mode != GRADIENT_FILL_RECT_V) return FALSE;
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  DcObject* d = Find<DcObject>(t, dc);
  if (d == nullptr) return FALSE;
  const auto* rects = static_cast<const GRADIENT_RECT*>(mesh);
  for (ULONG k = 0; k < meshCount; ++k) {
    if (rects[k].UpperLeft >= vertexCount || rects[k].LowerRight >= vertexCount) return FALSE;
    const TRIVERTEX* a = &vertices[rects[k].UpperLeft];
    const TRIVERTEX* b = &vertices[rects[k].LowerRight];
    const bool horizontal = mode == GRADIENT_FILL_RECT_H;
    // The colours run from the vertex nearer the start of the axis.
    if (horizontal ? a->x > b->x : a->y > b->y) std::swap(a, b);
    const RECT box = ToDevice(d->state, RECT{std::min(a->x, b->x), std::min(a->y, b->y), std::max(a->x, b->x),
                                             std::max(a->y, b->y)});
    const int n = horizontal ? box.right - box.left : box.bottom - box.top;
    for (int i = 0; i < n; ++i) {
      auto channel = [&](COLOR16 from, COLOR16 to) {
        const std::int64_t value = from + (std::int64_t{to} - from) * i / n;
        return static_cast<BYTE>(value >> 8);
      };
      const COLORREF colour = RGB(channel(a->Red, b->Red), channel(a->Green, b->Green), channel(a->Blue, b->Blue));
      const RECT strip = horizontal ? RECT{box.left + i, box.top, box.left + i + 1, box.bottom}
                                    : RECT{box.left, box.top + i, box.right, box.top + i + 1};
      PatternFill(t, *d, strip, BrushObject{BS_SOLID, colour, nullptr}, PATCOPY);
    }
  }
  return TRUE;
}
