#include "win/gdi_table.h"

#include "win/fonts.h"

namespace win::detail {

namespace {
// Handles of the drawing objects take a range apart from windows' ids, so
// that a mix-up is never a match.
constexpr std::uint32_t kLastHandle = 0x2FFFFFFF;
// Stock object slots that Windows has no index for.
constexpr int kStockMonoBitmap = 1000;

void MakeStockObjects(GdiTable& t) {
  auto brush = [&](int index, UINT style, COLORREF colour) {
    t.stock[index] = AddObject(t, BrushObject{style, colour, nullptr}, true);
  };
  brush(WHITE_BRUSH, BS_SOLID, 0xFFFFFF);
  brush(LTGRAY_BRUSH, BS_SOLID, 0xC0C0C0);
  brush(GRAY_BRUSH, BS_SOLID, 0x808080);
  brush(DKGRAY_BRUSH, BS_SOLID, 0x404040);
  brush(BLACK_BRUSH, BS_SOLID, 0x000000);
  brush(NULL_BRUSH, BS_NULL, 0);
  t.stock[WHITE_PEN] = AddObject(t, PenObject{PS_SOLID, 1, 0xFFFFFF}, true);
  t.stock[BLACK_PEN] = AddObject(t, PenObject{PS_SOLID, 1, 0x000000}, true);
  t.stock[NULL_PEN] = AddObject(t, PenObject{PS_NULL, 1, 0}, true);
  t.stock[DEFAULT_GUI_FONT] = AddObject(t, FontObject{DefaultGuiLogFont()}, true);
  LOGFONTA system = DefaultGuiLogFont();
  system.lfHeight = 16;
  system.lfWeight = FW_BOLD;
  t.stock[SYSTEM_FONT] = AddObject(t, FontObject{system}, true);
  BitmapObject mono;
  mono.width = 1;
  mono.height = 1;
  mono.bitsPerPixel = 1;
  mono.image = std::make_shared<QImage>(1, 1, QImage::Format_Mono);
  mono.image->setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  mono.image->fill(0);
  t.stock[kStockMonoBitmap] = AddObject(t, std::move(mono), true);
}
}  // namespace

GdiTable& Table() {
  static GdiTable* table = [] {
    auto* t = new GdiTable();
    MakeStockObjects(*t);
    return t;
  }();
  return *table;
}

std::uint32_t AddObject(GdiTable& table, Object object, bool stock) {
  if (table.next >= kLastHandle) return 0;
  const std::uint32_t handle = table.next++;
  table.objects.emplace(handle, ObjectEntry{std::move(object), stock});
  return handle;
}

HBITMAP StockMonoBitmap(GdiTable& table) { return table.stock.at(kStockMonoBitmap); }

HGDIOBJ StockObject(GdiTable& table, int index) {
  auto it = table.stock.find(index);
  return it == table.stock.end() || index == kStockMonoBitmap ? 0 : it->second;
}

}  // namespace win::detail
