#include "controls/slider_ctrl_ex.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "win/msgbox.h"
#include "win/mul_div.h"
#include "win/paint.h"

CSliderCtrlEx::CSliderCtrlEx(DWORD style) : CSliderCtrl(style) {
  gradientModule_ = LoadLibraryA("msimg32.dll");
  if (gradientModule_ != 0) {
    gradientFill_ = reinterpret_cast<GradientFillProc>(GetProcAddress(gradientModule_, "GradientFill"));
  }
}

CSliderCtrlEx::~CSliderCtrlEx() {
  DestroyWindow();
  if (gradientModule_ != 0) FreeLibrary(gradientModule_);
}

bool CSliderCtrlEx::AddColor(int low, int high, COLORREF start, COLORREF end) {
  int min = 0;
  int max = 0;
  GetRange(min, max);
  if (low < min || high > max) {
    if (m_nOutOfRange == 0) return false;
    if (m_nOutOfRange < 0) {
      char text[160];
      std::snprintf(text, sizeof text, "Bad range (%d,%d) given, must be within (%d,%d)", low, high, min, max);
      MessageBoxA(m_hWnd, text, "Bad Color Range given to SliderEx Control", MB_OK);
      return false;
    }
    low = std::max(low, min);
    high = std::min(high, max);
  }
  colorList.push_back(clrRange{low, high, start, end});
  return true;
}

void CSliderCtrlEx::ResetRange() {
  int min = 0;
  int max = 0;
  GetRange(min, max);
  if (!(min <= 0 && max >= 500)) colorList.clear();
  SetRange(0, 500, FALSE);
}

LRESULT CSliderCtrlEx::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDOWN) m_bDragging = true;
  if (message == WM_LBUTTONUP) m_bDragging = false;
  return CSliderCtrl::WindowProc(message, wParam, lParam);
}

BOOL CSliderCtrlEx::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_NOTIFY && lParam != 0) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (header->code == NM_CUSTOMDRAW && header->hwndFrom == m_hWnd) {
      *result = OnCustomDraw(*reinterpret_cast<NMCUSTOMDRAW*>(lParam));
      return TRUE;
    }
  }
  return CSliderCtrl::OnChildNotify(message, wParam, lParam, result);
}

LRESULT CSliderCtrlEx::OnCustomDraw(NMCUSTOMDRAW& draw) {
  const std::size_t ranges = colorList.size();
  if (draw.dwDrawStage == CDDS_PREPAINT) {
    const int pos = GetPos();
    if (m_Callback != nullptr && pos != m_oldPosition) {
      m_oldPosition = pos;
      m_Callback(m_p2, m_p3, pos, m_bDragging ? 1 : 0);
    }
    return ranges > 0 ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
  }
  if (draw.dwDrawStage == CDDS_ITEMPREPAINT && draw.dwItemSpec == TBCD_THUMB) {
    DrawGradients(draw.hdc);
    m_bDumpBitmaps = false;
  }
  return CDRF_DODEFAULT;
}

void CSliderCtrlEx::FillStrip(HDC dc, bool vertical, LONG at, LONG thickness, LONG width, LONG height,
                              COLORREF colour) {
  const RECT strip = vertical ? RECT{0, at, width, at + thickness} : RECT{at, 0, at + thickness, height};
  const HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &strip, brush);
  DeleteObject(brush);
}

void CSliderCtrlEx::DrawGradients(HDC target) {
  RECT client{};
  GetClientRect(&client);
  const LONG w = client.right - client.left;
  const LONG h = client.bottom - client.top;
  if (w <= 0 || h <= 0) return;
  const bool vertical = (GetStyle() & TBS_VERT) != 0;
  const COLORREF oldBk = SetBkColor(target, RGB(0, 0, 0));
  const COLORREF oldText = SetTextColor(target, RGB(255, 255, 255));

  // The ticks: black pixels as drawn so far become 1.
  const HDC maskDc = CreateCompatibleDC(target);
  const HBITMAP mask = CreateBitmap(w, h, 1, 1, nullptr);
  const HGDIOBJ oldMask = SelectObject(maskDc, mask);
  BitBlt(maskDc, 0, 0, w, h, target, 0, 0, SRCCOPY);

  const HDC workDc = CreateCompatibleDC(target);
  const HBITMAP work = CreateCompatibleBitmap(target, w, h);
  const HGDIOBJ oldWork = SelectObject(workDc, work);
  BitBlt(workDc, 0, 0, w, h, target, 0, 0, SRCCOPY);

  int min = 0;
  int max = 0;
  GetRange(min, max);
  RECT channel{};
  GetChannelRect(&channel);
  RECT thumb{};
  GetThumbRect(&thumb);
  if (vertical) {
    channel = RECT{channel.top, channel.left, channel.bottom, channel.right};
    if (channel.left > channel.right) std::swap(channel.left, channel.right);
    if (channel.top > channel.bottom) std::swap(channel.top, channel.bottom);
  }
  const LONG thumbLength = vertical ? thumb.bottom - thumb.top : thumb.right - thumb.left;
  const LONG channelStart = vertical ? channel.top : channel.left;
  const LONG channelLength = vertical ? channel.bottom - channel.top : channel.right - channel.left;
  const LONG offset = channelStart + thumbLength / 2;
  const LONG usable = channelLength - thumbLength;
  // No room or no values: no gradient rather than a division by zero.
  if (!colorList.empty() && usable > 0 && max > min) {
    const double unitsPerPixel = static_cast<double>(max - min) / usable;
    bool haveStart = false;
    bool haveEnd = false;
    COLORREF startStrip = 0;
    COLORREF endStrip = 0;
    for (const clrRange& range : colorList) {
      int low = range.lval;
      int high = range.hval;
      if (low < min || low > max) low = min;
      if (high < min || high > max) high = max;
      if (low > high) continue;
      if (low == min) {
        haveStart = true;
        startStrip = range.strColor;
      }
      if (high == max) {
        haveEnd = true;
        endStrip = range.endColor;
      }
      const LONG p = static_cast<LONG>((low - min) / unitsPerPixel);
      const LONG n = static_cast<LONG>((high - low) / unitsPerPixel + 1);
      if (gradientFill_ != nullptr) {
        TRIVERTEX v[2];
        v[0].x = vertical ? 0 : offset + p;
        v[0].y = vertical ? offset + p : 0;
        v[1].x = vertical ? w : offset + p + n;
        v[1].y = vertical ? offset + p + n : h;
        v[0].Red = static_cast<COLOR16>(GetRValue(range.strColor) << 8);
        v[0].Green = static_cast<COLOR16>(GetGValue(range.strColor) << 8);
        v[0].Blue = static_cast<COLOR16>(GetBValue(range.strColor) << 8);
        v[1].Red = static_cast<COLOR16>(GetRValue(range.endColor) << 8);
        v[1].Green = static_cast<COLOR16>(GetGValue(range.endColor) << 8);
        v[1].Blue = static_cast<COLOR16>(GetBValue(range.endColor) << 8);
        GRADIENT_RECT mesh{0, 1};
        gradientFill_(workDc, v, 2, &mesh, 1, vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
      } else {
        const int r0 = GetRValue(range.strColor);
        const int g0 = GetGValue(range.strColor);
        const int b0 = GetBValue(range.strColor);
        for (LONG i = 0; i < n; ++i) {
          const COLORREF c = RGB(r0 + MulDiv(GetRValue(range.endColor) - r0, i, n),
                                 g0 + MulDiv(GetGValue(range.endColor) - g0, i, n),
                                 b0 + MulDiv(GetBValue(range.endColor) - b0, i, n));
          FillStrip(workDc, vertical, offset + p + i, 1, w, h, GetNearestColor(workDc, c));
        }
      }
    }
    if (m_bFillEnds) {
      if (haveStart) FillStrip(workDc, vertical, 0, offset, w, h, startStrip);
      if (haveEnd) FillStrip(workDc, vertical, (vertical ? h : w) - offset - 1, offset, w, h, endStrip);
    }
  }

  // Every pixel black at first is black again; the others show the gradients.
  SetBkColor(workDc, RGB(0, 0, 0));
  SetTextColor(workDc, RGB(255, 255, 255));
  BitBlt(workDc, 0, 0, w, h, maskDc, 0, 0, SRCINVERT);
  BitBlt(workDc, 0, 0, w, h, maskDc, 0, 0, SRCAND);
  BitBlt(workDc, 0, 0, w, h, maskDc, 0, 0, SRCINVERT);
  BitBlt(target, 0, 0, w, h, workDc, 0, 0, SRCCOPY);

  SetBkColor(target, oldBk);
  SetTextColor(target, oldText);
  SelectObject(workDc, oldWork);
  DeleteObject(work);
  DeleteDC(workDc);
  SelectObject(maskDc, oldMask);
  DeleteObject(mask);
  DeleteDC(maskDc);
}
