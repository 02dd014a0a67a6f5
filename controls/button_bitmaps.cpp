#include "controls/button_bitmaps.h"

#include <atomic>

namespace {

std::atomic<bool> g_copiesFail{false};

// A memory DC with a bitmap selected; deselects and deletes the DC at the end.
class SelectedDc {
 public:
  explicit SelectedDc(HBITMAP bitmap) : dc_(CreateCompatibleDC(0)) {
    if (dc_ != 0) old_ = SelectObject(dc_, bitmap);
  }
  ~SelectedDc() {
    if (dc_ == 0) return;
    if (old_ != 0) SelectObject(dc_, old_);
    DeleteDC(dc_);
  }
  SelectedDc(const SelectedDc&) = delete;
  SelectedDc& operator=(const SelectedDc&) = delete;
  bool Ok() const { return dc_ != 0 && old_ != 0; }
  HDC Dc() const { return dc_; }

 private:
  HDC dc_ = 0;
  HGDIOBJ old_ = 0;
};

template <class Convert>
HBITMAP CopyPixels(HBITMAP source, DWORD width, DWORD height, COLORREF transparent, Convert convert) {
  if (g_copiesFail.load()) return 0;
  const HBITMAP copy = CreateCompatibleBitmap(0, static_cast<int>(width), static_cast<int>(height));
  if (copy == 0) return 0;
  bool copied = false;
  {
    SelectedDc from(source);
    SelectedDc to(copy);
    if (from.Ok() && to.Ok()) {
      for (DWORD y = 0; y < height; ++y) {
        for (DWORD x = 0; x < width; ++x) {
          const COLORREF pixel = GetPixel(from.Dc(), static_cast<int>(x), static_cast<int>(y));
          SetPixelV(to.Dc(), static_cast<int>(x), static_cast<int>(y), pixel == transparent ? pixel : convert(pixel));
        }
      }
      copied = true;
    }
  }
  if (copied) return copy;
  DeleteObject(copy);
  return 0;
}

bool FillMask(HBITMAP source, HBITMAP mask, int w, int h, COLORREF transparent) {
  SelectedDc bitmapDc(source);
  SelectedDc maskDc(mask);
  if (!bitmapDc.Ok() || !maskDc.Ok()) return false;
  // Colour to mono: the transparent colour becomes 1, everything else 0.
  SetBkColor(bitmapDc.Dc(), transparent);
  BitBlt(maskDc.Dc(), 0, 0, w, h, bitmapDc.Dc(), 0, 0, SRCCOPY);
  // Mono back to colour: 1 is black, 0 white; ANDed, the transparent pixels turn black.
  SetTextColor(bitmapDc.Dc(), RGB(255, 255, 255));
  SetBkColor(bitmapDc.Dc(), RGB(0, 0, 0));
  BitBlt(bitmapDc.Dc(), 0, 0, w, h, maskDc.Dc(), 0, 0, SRCAND);
  return true;
}

}  // namespace

void SetBitmapCopiesFailForTest(bool fail) { g_copiesFail = fail; }

HBITMAP CreateBitmapMask(HBITMAP source, DWORD width, DWORD height, COLORREF transparent) {
  const HBITMAP mask = CreateBitmap(static_cast<int>(width), static_cast<int>(height), 1, 1, nullptr);
  if (mask == 0) return 0;
  if (!FillMask(source, mask, static_cast<int>(width), static_cast<int>(height), transparent)) {
    DeleteObject(mask);
    return 0;
  }
  return mask;
}

HBITMAP CreateGrayscaleBitmap(HBITMAP source, DWORD width, DWORD height, COLORREF transparent) {
  return CopyPixels(source, width, height, transparent, [](COLORREF c) {
    const auto grey = static_cast<BYTE>(0.299 * GetRValue(c) + 0.587 * GetGValue(c) + 0.114 * GetBValue(c));
    return RGB(grey, grey, grey);
  });
}

HBITMAP CreateDarkerBitmap(HBITMAP source, DWORD width, DWORD height, COLORREF transparent) {
  return CopyPixels(source, width, height, transparent, [](COLORREF c) {
    auto darker = [](BYTE v) { return static_cast<BYTE>(v - 0.25 * v); };
    return RGB(darker(GetRValue(c)), darker(GetGValue(c)), darker(GetBValue(c)));
  });
}
