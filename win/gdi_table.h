// Internal to win/: the table of drawing objects and device contexts behind
// the handles. One lock guards it; every public call takes it once and the
// functions here expect it held.
#pragma once

#include <QImage>
#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>
#include <vector>

#include "win/gdi_objects.h"

namespace win::detail {

struct BitmapObject {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 32;  // 1 or 32 for device bitmaps; 1, 4, 8, 24, 32 for DIB sections
  // Device bitmaps: RGB32 for colour, Format_Mono (index 1 white) for 1 bpp.
  std::shared_ptr<QImage> image;
  // DIB sections: the pixel memory the caller writes, rows padded to 32 bits.
  bool dib = false;
  bool topDown = false;
  int stride = 0;
  std::unique_ptr<std::uint8_t[]> bits;
  std::size_t bitsSize = 0;
  std::array<RGBQUAD, 256> table{};
  int tableSize = 0;
  std::optional<UINT> resourceId;
  HDC selectedInto = 0;
};

// A copy of the pixels a pattern brush tiles.
struct Pattern {
  int width = 0;
  int height = 0;
  bool mono = false;
  std::vector<COLORREF> colours;  // colour patterns, rows top-down
  std::vector<bool> bits;         // mono patterns
};

struct BrushObject {
  UINT style = 0;  // BS_SOLID, BS_NULL, BS_PATTERN
  COLORREF colour = 0;
  std::shared_ptr<const Pattern> pattern;
};

struct PenObject {
  int style = 0;
  int width = 1;
  COLORREF colour = 0;
};

struct FontObject {
  LOGFONTA log;
};

struct DcState {
  HBITMAP bitmap = 0;
  HBRUSH brush = 0;
  HPEN pen = 0;
  HFONT font = 0;
  COLORREF textColour = 0x000000;
  COLORREF bkColour = 0xFFFFFF;
  int bkMode = 2;  // OPAQUE
  POINT windowOrg;
  POINT viewportOrg;
  POINT position;
  std::optional<RECT> clip;  // device pixels, within the surface
};

struct DcObject {
  DcState state;
  std::vector<DcState> saved;
  // A window's picture (CreateSurfaceDC) instead of a selected bitmap.
  std::shared_ptr<QImage> surface;
  RECT surfaceClip;
};

using Object = std::variant<BitmapObject, BrushObject, PenObject, FontObject, DcObject>;

struct ObjectEntry {
  Object object;
  bool stock = false;  // never deleted
};

struct GdiTable {
  std::mutex mutex;
  std::map<std::uint32_t, ObjectEntry> objects;
  std::uint32_t next = 0x20000000;
  int brushFailCountdown = 0;
  std::map<int, HGDIOBJ> stock;
  std::map<int, HBRUSH> sysColourBrushes;
  std::array<COLORREF, 31> sysColours{};
  bool sysColoursSet = false;
  std::map<UINT, HBITMAP> sharedResourceBitmaps;
};

// The table, with its stock objects made on first use; never destroyed,
// since objects may be released by objects that outlive main.
GdiTable& Table();

// 0 when the handle range is spent.
std::uint32_t AddObject(GdiTable& table, Object object, bool stock = false);

template <class T>
T* Find(GdiTable& table, std::uint32_t handle) {
  auto it = table.objects.find(handle);
  if (it == table.objects.end()) return nullptr;
  return std::get_if<T>(&it->second.object);
}

// The stock objects the DCs start with.
HBITMAP StockMonoBitmap(GdiTable& table);
HGDIOBJ StockObject(GdiTable& table, int index);

// Called with the table unlocked when a handle dies, so that the class
// library's temporary wrappers of it go too.
// The system colour's stock brush (0 outside the table); the table held.
HBRUSH SysColourBrush(GdiTable& table, int index);
COLORREF SysColour(GdiTable& table, int index);

void ForgetWrappers(HGDIOBJ handle);
void ForgetDcWrapper(HDC dc);

}  // namespace win::detail

namespace win::detail {
// A device bitmap's picture: RGB32 black, or 1-bpp all 0; null when too large.
std::shared_ptr<QImage> NewDeviceImage(int width, int height, bool mono);
HBITMAP AddDeviceBitmap(GdiTable& table, std::shared_ptr<QImage> image);
}  // namespace win::detail
