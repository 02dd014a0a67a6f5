// Text output and measurement in the DC's font (DejaVu Sans, drawn without
// smoothing so that pictures are exact).
#pragma once

#include <string_view>

#include "win/gdi_types.h"

constexpr UINT DT_TOP = 0x00000000;
constexpr UINT DT_LEFT = 0x00000000;
constexpr UINT DT_CENTER = 0x00000001;
constexpr UINT DT_RIGHT = 0x00000002;
constexpr UINT DT_VCENTER = 0x00000004;
constexpr UINT DT_BOTTOM = 0x00000008;
constexpr UINT DT_WORDBREAK = 0x00000010;
constexpr UINT DT_SINGLELINE = 0x00000020;
constexpr UINT DT_EXPANDTABS = 0x00000040;
constexpr UINT DT_TABSTOP = 0x00000080;
constexpr UINT DT_NOCLIP = 0x00000100;
constexpr UINT DT_EXTERNALLEADING = 0x00000200;
constexpr UINT DT_CALCRECT = 0x00000400;
constexpr UINT DT_NOPREFIX = 0x00000800;
constexpr UINT DT_HIDEPREFIX = 0x00100000;
constexpr UINT DT_END_ELLIPSIS = 0x00008000;

// The text's height (the DC's font height times its lines), or 0 on failure;
// with DT_CALCRECT nothing is drawn and the rectangle's right and bottom
// become the text's extent. A count of -1 means a terminated string.
int DrawTextA(HDC dc, const char* text, int count, RECT* rect, UINT format);
int DrawTextW(HDC dc, const wchar_t* text, int count, RECT* rect, UINT format);
inline int DrawText(HDC dc, const char* text, int count, RECT* rect, UINT format) {
  return DrawTextA(dc, text, count, rect, format);
}
BOOL TextOutA(HDC dc, int x, int y, const char* text, int count);
inline BOOL TextOut(HDC dc, int x, int y, const char* text, int count) { return TextOutA(dc, x, y, text, count); }
BOOL GetTextExtentPoint32A(HDC dc, const char* text, int count, SIZE* size);
BOOL GetTextExtentPoint32W(HDC dc, const wchar_t* text, int count, SIZE* size);
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);
inline BOOL GetTextMetrics(HDC dc, TEXTMETRICA* metrics) { return GetTextMetricsA(dc, metrics); }
