#include "win/gdi_objects.h"

#include <algorithm>
#include <cstring>

#include "win/pixel_surface.h"

namespace win::detail {

namespace {
// Larger bitmaps are refused rather than allocated.
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 26;

bool SizeAllowed(int width, int height) {
  return width > 0 && height > 0 && std::int64_t{width} * std::int64_t{height} <= kMaxPixels;
}
}  // namespace

std::shared_ptr<QImage> NewDeviceImage(int width, int height, bool mono) {
  if (!SizeAllowed(width, height)) return nullptr;
  auto image = std::make_shared<QImage>(width, height, mono ? QImage::Format_Mono : QImage::Format_RGB32);
  if (image->isNull()) return nullptr;
  if (mono) {
    image->setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    image->fill(0);
  } else {
    image->fill(qRgb(0, 0, 0));
  }
  return image;
}

HBITMAP AddDeviceBitmap(GdiTable& table, std::shared_ptr<QImage> image) {
  if (!image) return 0;
  BitmapObject bitmap;
  bitmap.width = image->width();
  bitmap.height = image->height();
  bitmap.bitsPerPixel = image->format() == QImage::Format_Mono ? 1 : 32;
  bitmap.image = std::move(image);
  return AddObject(table, std::move(bitmap));
}

}  // namespace win::detail

using namespace win::detail;

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
  if (planes != 1 || (bitsPerPixel != 1 && bitsPerPixel != 32)) return 0;
  const bool mono = bitsPerPixel == 1;
  auto image = NewDeviceImage(width, height, mono);
  if (!image) return 0;
  if (bits != nullptr) {
    const auto* bytes = static_cast<const std::uint8_t*>(bits);
    const std::size_t stride = mono ? static_cast<std::size_t>((width + 15) / 16 * 2) : static_cast<std::size_t>(width) * 4;
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* row = bytes + static_cast<std::size_t>(y) * stride;
      for (int x = 0; x < width; ++x) {
        if (mono) {
          image->setPixel(x, y, (row[x / 8] >> (7 - x % 8)) & 1);
        } else {
          reinterpret_cast<QRgb*>(image->scanLine(y))[x] = qRgb(row[x * 4 + 2], row[x * 4 + 1], row[x * 4]);
        }
      }
    }
  }
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  return AddDeviceBitmap(t, std::move(image));
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  // Compatible with a memory DC means with the bitmap selected in it: a
  // fresh memory DC holds a 1-bpp one, as on Windows.
  bool mono = false;
  if (DcObject* d = Find<DcObject>(t, dc); d != nullptr && !d->surface) {
    if (const BitmapObject* b = Find<BitmapObject>(t, d->state.bitmap)) mono = b->bitsPerPixel == 1 && !b->dib;
  }
  return AddDeviceBitmap(t, NewDeviceImage(width, height, mono));
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, void*, DWORD) {
  if (bits != nullptr) *bits = nullptr;
  if (info == nullptr || usage != DIB_RGB_COLORS) return 0;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  const int bpp = h.biBitCount;
  if (h.biSize < 40 || h.biPlanes != 1 || h.biCompression != BI_RGB) return 0;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return 0;
  if (h.biHeight == std::numeric_limits<LONG>::min()) return 0;
  const int width = h.biWidth;
  const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  if (!SizeAllowed(width, height)) return 0;
  BitmapObject bitmap;
  bitmap.dib = true;
  bitmap.width = width;
  bitmap.height = height;
  bitmap.bitsPerPixel = bpp;
  bitmap.topDown = h.biHeight < 0;
  bitmap.stride = static_cast<int>((std::int64_t{bpp} * width + 31) / 32 * 4);
  bitmap.bitsSize = static_cast<std::size_t>(bitmap.stride) * static_cast<std::size_t>(height);
  bitmap.bits.reset(new (std::nothrow) std::uint8_t[bitmap.bitsSize]());
  if (!bitmap.bits) return 0;
  if (bpp <= 8) {
    const int full = 1 << bpp;
    bitmap.tableSize = h.biClrUsed != 0 ? std::min(static_cast<int>(h.biClrUsed), full) : full;
    // The caller's record holds the table after the header.
    const auto* entries = reinterpret_cast<const std::uint8_t*>(info->bmiColors);
    for (int i = 0; i < bitmap.tableSize; ++i) {
      const std::uint8_t* e = entries + 4 * i;
      bitmap.table[static_cast<std::size_t>(i)] = RGBQUAD{e[0], e[1], e[2], e[3]};
    }
  }
  void* memory = bitmap.bits.get();
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  const HBITMAP handle = AddObject(t, std::move(bitmap));
  if (handle != 0 && bits != nullptr) *bits = memory;
  return handle;
}

namespace {
BitmapObject* SelectedDib(GdiTable& t, HDC dc) {
  DcObject* d = Find<DcObject>(t, dc);
  if (d == nullptr) return nullptr;
  BitmapObject* b = Find<BitmapObject>(t, d->state.bitmap);
  return b != nullptr && b->dib && b->tableSize > 0 ? b : nullptr;
}
}  // namespace

UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colours) {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  BitmapObject* b = SelectedDib(t, dc);
  if (b == nullptr || colours == nullptr || start >= static_cast<UINT>(b->tableSize)) return 0;
  const UINT n = std::min(count, static_cast<UINT>(b->tableSize) - start);
  for (UINT i = 0; i < n; ++i) colours[i] = b->table[start + i];
  return n;
}

UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colours) {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  BitmapObject* b = SelectedDib(t, dc);
  if (b == nullptr || colours == nullptr || start >= static_cast<UINT>(b->tableSize)) return 0;
  const UINT n = std::min(count, static_cast<UINT>(b->tableSize) - start);
  for (UINT i = 0; i < n; ++i) b->table[start + i] = colours[i];
  return n;
}

namespace {
template <class T>
int CopyOut(const T& value, int size, void* buffer) {
  if (buffer == nullptr) return static_cast<int>(sizeof(T));
  if (size < static_cast<int>(sizeof(T))) return 0;
  std::memcpy(buffer, &value, sizeof(T));
  return static_cast<int>(sizeof(T));
}

BITMAP BitmapRecord(const BitmapObject& b) {
  BITMAP r;
  r.bmWidth = b.width;
  r.bmHeight = b.height;
  r.bmPlanes = 1;
  r.bmBitsPixel = static_cast<WORD>(b.bitsPerPixel);
  if (b.dib) {
    r.bmWidthBytes = b.stride;
    r.bmBits = b.bits.get();
  } else {
    r.bmWidthBytes = b.bitsPerPixel == 1 ? (b.width + 15) / 16 * 2 : b.width * 4;
  }
  return r;
}
}  // namespace

int GetObjectA(HGDIOBJ object, int size, void* buffer) {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  auto it = t.objects.find(object);
  if (it == t.objects.end()) return 0;
  if (const auto* b = std::get_if<BitmapObject>(&it->second.object)) {
    if (b->dib && size >= static_cast<int>(sizeof(DIBSECTION))) {
      DIBSECTION d;
      d.dsBm = BitmapRecord(*b);
      d.dsBmih.biWidth = b->width;
      d.dsBmih.biHeight = b->topDown ? -b->height : b->height;
      d.dsBmih.biBitCount = static_cast<WORD>(b->bitsPerPixel);
      d.dsBmih.biSizeImage = static_cast<DWORD>(b->bitsSize);
      d.dsBmih.biClrUsed = static_cast<DWORD>(b->tableSize);
      return CopyOut(d, size, buffer);
    }
    return CopyOut(BitmapRecord(*b), size, buffer);
  }
  if (const auto* br = std::get_if<BrushObject>(&it->second.object))
    return CopyOut(LOGBRUSH{br->style, br->colour, 0}, size, buffer);
  if (const auto* p = std::get_if<PenObject>(&it->second.object))
    return CopyOut(LOGPEN{static_cast<UINT>(p->style), POINT{p->width, 0}, p->colour}, size, buffer);
  if (const auto* f = std::get_if<FontObject>(&it->second.object)) return CopyOut(f->log, size, buffer);
  return 0;
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  BitmapObject* b = Find<BitmapObject>(t, bitmap);
  if (b == nullptr) return 0;
  SurfaceView view(*b);
  if (!view.Valid()) return 0;
  auto pattern = std::make_shared<Pattern>();
  pattern->width = view.Width();
  pattern->height = view.Height();
  pattern->mono = view.Mono();
  for (int y = 0; y < view.Height(); ++y) {
    for (int x = 0; x < view.Width(); ++x) {
      if (pattern->mono) {
        pattern->bits.push_back(view.Get(x, y) == kWhite);
      } else {
        pattern->colours.push_back(view.Get(x, y));
      }
    }
  }
  return AddObject(t, BrushObject{BS_PATTERN, 0, std::move(pattern)});
}

HPEN CreatePen(int style, int width, COLORREF colour) {
  if (style < PS_SOLID || style > PS_INSIDEFRAME) return 0;
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  return AddObject(t, PenObject{style, std::max(width, 1), colour & 0xFFFFFF});
}

HGDIOBJ GetStockObject(int index) {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  return StockObject(t, index);
}

BOOL DeleteObject(HGDIOBJ object) {
  auto& t = Table();
  {
    std::lock_guard lock(t.mutex);
    auto it = t.objects.find(object);
    if (it == t.objects.end() || it->second.stock) return FALSE;
    if (std::holds_alternative<DcObject>(it->second.object)) return FALSE;
    if (const auto* b = std::get_if<BitmapObject>(&it->second.object); b != nullptr && b->selectedInto != 0)
      return FALSE;
    // A DC that still holds a deleted brush, pen or font draws with the stock one.
    t.objects.erase(it);
  }
  ForgetWrappers(object);
  return TRUE;
}

namespace {
template <class T>
std::size_t CountLive(GdiTable& t) {
  std::lock_guard lock(t.mutex);
  return static_cast<std::size_t>(std::count_if(t.objects.begin(), t.objects.end(), [](const auto& e) {
    return !e.second.stock && std::holds_alternative<T>(e.second.object);
  }));
}
}  // namespace

std::size_t LiveBitmapCount() { return CountLive<BitmapObject>(Table()); }
std::size_t LivePenCount() { return CountLive<PenObject>(Table()); }
std::size_t LiveFontCount() { return CountLive<FontObject>(Table()); }

COLORREF GetPixel(HDC dc, int x, int y) {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  DcObject* d = Find<DcObject>(t, dc);
  if (d == nullptr) return CLR_INVALID;
  const POINT p = ToDevice(d->state, x, y);
  const RECT clip = ClipOf(t, *d);
  if (p.x < clip.left || p.y < clip.top || p.x >= clip.right || p.y >= clip.bottom) return CLR_INVALID;
  return ViewOf(t, *d).Get(p.x, p.y);
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour) {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  DcObject* d = Find<DcObject>(t, dc);
  if (d == nullptr) return CLR_INVALID;
  const POINT p = ToDevice(d->state, x, y);
  const RECT clip = ClipOf(t, *d);
  if (p.x < clip.left || p.y < clip.top || p.x >= clip.right || p.y >= clip.bottom) return CLR_INVALID;
  SurfaceView view = ViewOf(t, *d);
  view.Set(p.x, p.y, colour);
  return view.Get(p.x, p.y);
}

BOOL SetPixelV(HDC dc, int x, int y, COLORREF colour) { return SetPixel(dc, x, y, colour) != CLR_INVALID; }
