// The dialog-item calls: a control found by id in a dialog, then one message.
#pragma once

#include "win/types.h"
#include "win/window.h"

BOOL SetDlgItemTextA(HWND dialog, int id, const char* text);
// Copies at most maxCount - 1 characters and terminates; the count copied.
UINT GetDlgItemTextA(HWND dialog, int id, char* buffer, int maxCount);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
// Blanks may lead; then decimal digits (a '-' first when signed). *translated
// says whether the text was a number that fits.
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
// Checks `check` and clears the other buttons from first to last.
BOOL CheckRadioButton(HWND dialog, int first, int last, int check);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);

inline BOOL SetDlgItemText(HWND dialog, int id, const char* text) { return SetDlgItemTextA(dialog, id, text); }
inline UINT GetDlgItemText(HWND dialog, int id, char* buffer, int maxCount) {
  return GetDlgItemTextA(dialog, id, buffer, maxCount);
}

constexpr int GWL_STYLE = -16;
// GWL_STYLE: a control's style bits, with WS_VISIBLE and WS_DISABLED as the
// window is now; other windows give only those two. 0 for other indexes.
LONG GetWindowLongA(HWND hwnd, int index);
// GWL_STYLE: a control takes the new style bits (WS_VISIBLE and WS_DISABLED
// are changed with ShowWindow and EnableWindow); the style before. 0 for
// other indexes and windows that are not controls.
LONG SetWindowLongA(HWND hwnd, int index, LONG value);
