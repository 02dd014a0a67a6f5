// Fonts: every face is DejaVu Sans (bold from a weight of 600 up); the height
// is in pixels as on Windows (negative: the character height, positive: the
// cell height). The default dialog font ("MS Shell Dlg" 8 pt at 96 dpi) is
// 11 pixels high.
#pragma once

#include "win/gdi_types.h"

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, const char* face);
inline HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                        DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                        DWORD quality, DWORD pitchAndFamily, const char* face) {
  return CreateFontA(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                     outPrecision, clipPrecision, quality, pitchAndFamily, face);
}
HFONT CreateFontIndirectA(const LOGFONTA* font);
inline HFONT CreateFontIndirect(const LOGFONTA* font) { return CreateFontIndirectA(font); }

// The LOGFONTA of the default dialog font (what DEFAULT_GUI_FONT holds).
LOGFONTA DefaultGuiLogFont();
