#include "controls/shade_button_st.h"

#include <algorithm>

#include "win/window_pos.h"

namespace {

constexpr int kBumpScale = 120;
constexpr int kLevelLow = 8;
constexpr int kLevelHigh = 247;
constexpr int kNoiseStep = 2047;  // 0..32767 / 2047 is 0..16

BYTE Mix(BYTE from, BYTE to, int part, int parts) {
  return static_cast<BYTE>((from * (parts - part) + to * part) / parts);
}

RGBQUAD Entry(COLORREF from, COLORREF to, int part) {
  return RGBQUAD{Mix(GetBValue(from), GetBValue(to), part, 128), Mix(GetGValue(from), GetGValue(to), part, 128),
                 Mix(GetRValue(from), GetRValue(to), part, 128), 0};
}

// a^3 / 128 / 128, each division toward zero.
int Cube(int a) { return a * a * a / 128 / 128; }

void SetPalette(CCeXDib& image, const std::array<RGBQUAD, 256>& palette) {
  if (image.IsEmpty()) return;
  for (std::size_t i = 0; i < palette.size(); ++i) image.SetPaletteEntry(i, palette[i]);
}

}  // namespace

std::array<RGBQUAD, 256> ShadePalette(COLORREF shadow, COLORREF face, COLORREF highlight) {
  std::array<RGBQUAD, 256> palette{};
  for (int i = 0; i <= 128; ++i) palette[static_cast<std::size_t>(i)] = Entry(shadow, face, i);
  for (int j = 1; j <= 128; ++j) palette[static_cast<std::size_t>(127 + j)] = Entry(face, highlight, j);
  return palette;
}

int ShadeLevel(int row, int column, int width, int height) {
  const int ky = Cube(255 * row / height - 127);
  const int kx = Cube(255 * (width - column) / width - 127);
  return std::clamp((kx + ky) * kBumpScale / 128 + 128, kLevelLow, kLevelHigh);
}

CShadeButtonST::~CShadeButtonST() {
  for (CCeXDib& image : images_) image.Release();
}

void CShadeButtonST::SetShade() {
  RECT window{};
  GetWindowRect(m_hWnd, &window);
  const int w = std::max<LONG>(window.right - window.left, 0);
  const int h = std::max<LONG>(window.bottom - window.top, 0);

  CCeXDib& base = images_[0];
  CCeXDib& row = images_[4];
  CCeXDib& column = images_[5];
  row.Create(static_cast<DWORD>(std::max(w, 1)), 1, 8);
  column.Create(1, static_cast<DWORD>(std::max(h, 1)), 8);
  base.Create(static_cast<DWORD>(w), static_cast<DWORD>(h), 8);

  const std::array<RGBQUAD, 256> palette =
      ShadePalette(GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNHIGHLIGHT));
  SetPalette(base, palette);
  SetPalette(row, palette);
  SetPalette(column, palette);

  for (DWORD x = 0; x < row.GetWidth(); ++x) row.SetPixelIndex(x, 0, (x % 2) != 0 ? 255 : 0);
  for (DWORD y = 0; y < column.GetHeight(); ++y) column.SetPixelIndex(0, y, (y % 2) != 0 ? 255 : 0);

  if (!base.IsEmpty()) {
    for (int r = 0; r < h; ++r) {
      for (int x = 0; x < w; ++x) {
        const int noise = win::rand() / kNoiseStep - kNoiseGranularity;
        base.SetPixelIndex(static_cast<DWORD>(x), static_cast<DWORD>(r),
                           static_cast<BYTE>(ShadeLevel(r, x, w, h) + noise));
      }
    }
  }

  images_[2].Clone(base);
  images_[3].Clone(base);
  images_[3].BlendPalette(GetSysColor(COLOR_BTNHIGHLIGHT), kHoverHighlightPercent);
  images_[1].Clone(images_[3]);
}

DWORD CShadeButtonST::DrawButtonBackground(HDC dc, RECT*) {
  if (!MouseOnButton()) {
    images_[0].Draw(dc, 0, 0);
  } else if (!IsPressed()) {
    images_[3].Draw(dc, 0, 0);
  } else {
    images_[3].Draw(dc, 1, 1);
  }
  return BTNST_OK;
}

DWORD CShadeButtonST::DrawButtonBorder(HDC dc, RECT* rect) { return CButtonST::DrawButtonBorder(dc, rect); }
