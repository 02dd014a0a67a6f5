// The bitmap button with a shaded background: a soft diagonal bump with
// noise, computed once for the button's size from the system colours, light
// at the top left and dark at the bottom right, a little lighter while hovered.
#pragma once

#include <array>

#include "controls/button_st.h"
#include "controls/ce_x_dib.h"

class CShadeButtonST : public CButtonST {
 public:
  static constexpr int kShadeImages = 6;
  // The noise's granularity and the hover highlight, fixed.
  static constexpr int kNoiseGranularity = 8;
  static constexpr DWORD kHoverHighlightPercent = 10;

  CShadeButtonST() = default;
  ~CShadeButtonST() override;

  // Builds the six images for the window's present size.
  void SetShade();
  const CCeXDib& ShadeImage(int index) const { return images_[index]; }

 protected:
  DWORD DrawButtonBackground(HDC dc, RECT* rect) override;
  DWORD DrawButtonBorder(HDC dc, RECT* rect) override;

 private:
  std::array<CCeXDib, kShadeImages> images_;
};

// The shade's palette: shadow to face over entries 0..128, face to highlight over 128..255.
std::array<RGBQUAD, 256> ShadePalette(COLORREF shadow, COLORREF face, COLORREF highlight);
// The palette index of stored row r (0 the bottom one) and column x of a
// w x h shade before its noise, 8..247.
int ShadeLevel(int row, int column, int width, int height);
