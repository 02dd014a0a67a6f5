// A dialog that binds its own buttons to a small template's, as the
// program's dialogs do, and surfaces to draw them on.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/shade_button_st.h"
#include "win/dialog.h"
#include "win/dialog_template.h"
#include "win/paint.h"

namespace button_test {

constexpr UINT kTemplate = 7990;
constexpr int kShadeId = 7201;
constexpr int kBitmapId = 7212;
constexpr int kPlainId = 7202;
constexpr int kCheckId = 7203;
constexpr int kNarrowId = 7204;
constexpr int kEmptyId = 7205;

inline const char* TemplateText() {
  return "dialog 7990 \"Buttons\" 0 0 300 100 WS_POPUP\n"
         "button 7201 \"Chat\" 112 2 44 19 WS_TABSTOP\n"
         "button 7212 \"OFF\" 2 2 40 40 WS_TABSTOP\n"
         "button 7202 \"Dash\" 158 2 44 19 WS_TABSTOP\n"
         "checkbox 7203 \"Check\" 158 23 44 19 WS_TABSTOP\n"
         "button 7204 \"\" 60 50 1 19 WS_TABSTOP\n"
         "button 7205 \"\" 70 50 0 0 WS_TABSTOP\n";
}

// A dialog whose buttons are its own objects.
class ButtonDialog : public CDialog {
 public:
  ButtonDialog() : CDialog(kTemplate) {}
  ~ButtonDialog() override { DestroyWindow(); }

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_CREATE) {
      const LRESULT result = CDialog::WindowProc(message, wParam, lParam);
      AddControl(shade, kShadeId);
      AddControl(bitmap, kBitmapId);
      AddControl(plain, kPlainId);
      AddControl(check, kCheckId);
      AddControl(narrow, kNarrowId);
      AddControl(empty, kEmptyId);
      return result;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) clicks.push_back(LOWORD(wParam));
    return CDialog::WindowProc(message, wParam, lParam);
  }

  CShadeButtonST shade;
  CShadeButtonST bitmap;
  CButtonST plain;
  CButtonST check;
  CShadeButtonST narrow;
  CShadeButtonST empty;
  std::vector<int> clicks;
};

// A memory surface filled with one colour; the bitmap outlives the DC.
class Surface {
 public:
  Surface(int width, int height, COLORREF fill) : width_(width), height_(height) {
    bitmap_ = CreateCompatibleBitmap(0, width, height);
    dc_ = CreateCompatibleDC(0);
    old_ = SelectObject(dc_, bitmap_);
    const HBRUSH brush = CreateSolidBrush(fill);
    const RECT all{0, 0, width, height};
    FillRect(dc_, &all, brush);
    DeleteObject(brush);
  }
  ~Surface() {
    Close();
    if (bitmap_ != 0) DeleteObject(bitmap_);
  }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  HDC Dc() const { return dc_; }
  COLORREF Pixel(int x, int y) const { return GetPixel(dc_, x, y); }
  // Ends drawing; the bitmap is then free to be compared.
  HBITMAP Bitmap() {
    Close();
    return bitmap_;
  }
  std::vector<COLORREF> Pixels() const {
    std::vector<COLORREF> out;
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) out.push_back(GetPixel(dc_, x, y));
    return out;
  }

 private:
  void Close() {
    if (dc_ == 0) return;
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    dc_ = 0;
  }
  int width_;
  int height_;
  HBITMAP bitmap_ = 0;
  HDC dc_ = 0;
  HGDIOBJ old_ = 0;
};

// One owner-draw pass of the button onto the surface.
inline void DrawButton(CButtonST& button, Surface& surface, UINT state, RECT item) {
  DRAWITEMSTRUCT draw{};
  draw.CtlType = ODT_BUTTON;
  draw.CtlID = static_cast<UINT>(button.GetDlgCtrlID());
  draw.itemAction = ODA_DRAWENTIRE;
  draw.itemState = state;
  draw.hwndItem = button.m_hWnd;
  draw.hDC = surface.Dc();
  draw.rcItem = item;
  button.DrawItem(&draw);
}

inline RECT ClientRectOf(const CWnd& window) {
  RECT rect{};
  GetClientRect(window.m_hWnd, &rect);
  return rect;
}

}  // namespace button_test
