// Three-dimensional edges, the focus rectangle and DrawStateA.
#pragma once

#include "win/gdi_types.h"

constexpr UINT BDR_RAISEDOUTER = 0x0001;
constexpr UINT BDR_SUNKENOUTER = 0x0002;
constexpr UINT BDR_RAISEDINNER = 0x0004;
constexpr UINT BDR_SUNKENINNER = 0x0008;
constexpr UINT BDR_OUTER = 0x0003;
constexpr UINT BDR_INNER = 0x000C;
constexpr UINT BDR_RAISED = 0x0005;
constexpr UINT BDR_SUNKEN = 0x000A;
constexpr UINT EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
constexpr UINT EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
constexpr UINT EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
constexpr UINT EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;

constexpr UINT BF_LEFT = 0x0001;
constexpr UINT BF_TOP = 0x0002;
constexpr UINT BF_RIGHT = 0x0004;
constexpr UINT BF_BOTTOM = 0x0008;
constexpr UINT BF_TOPLEFT = BF_TOP | BF_LEFT;
constexpr UINT BF_TOPRIGHT = BF_TOP | BF_RIGHT;
constexpr UINT BF_BOTTOMLEFT = BF_BOTTOM | BF_LEFT;
constexpr UINT BF_BOTTOMRIGHT = BF_BOTTOM | BF_RIGHT;
constexpr UINT BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
constexpr UINT BF_MIDDLE = 0x0800;
constexpr UINT BF_SOFT = 0x1000;
constexpr UINT BF_ADJUST = 0x2000;
constexpr UINT BF_FLAT = 0x4000;
constexpr UINT BF_MONO = 0x8000;

// Draws the edges in the system colours; with BF_ADJUST the rectangle shrinks
// by what was drawn.
BOOL DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags);
// A dotted frame drawn with XOR: drawing it twice restores the pixels.
BOOL DrawFocusRect(HDC dc, const RECT* rect);

constexpr UINT DST_COMPLEX = 0x0000;
constexpr UINT DST_TEXT = 0x0001;
constexpr UINT DST_PREFIXTEXT = 0x0002;
constexpr UINT DST_ICON = 0x0003;
constexpr UINT DST_BITMAP = 0x0004;
constexpr UINT DSS_NORMAL = 0x0000;
constexpr UINT DSS_UNION = 0x0010;
constexpr UINT DSS_DISABLED = 0x0020;
constexpr UINT DSS_MONO = 0x0080;
constexpr UINT DSS_RIGHT = 0x8000;

using DRAWSTATEPROC = BOOL (*)(HDC dc, LPARAM data, WPARAM wData, int cx, int cy);

// DST_BITMAP: data is the HBITMAP; DST_ICON: data is the HICON (drawn as the
// bitmap it names); DST_TEXT: data is the text (wData its length, or 0 for a
// terminated string). A size of 0 takes the image's or text's own. With
// DSS_DISABLED the image is embossed: its shape (the pixels that are not
// white) in COLOR_3DHILIGHT one pixel down and right, then in COLOR_3DSHADOW
// in place; a brush, when given, paints the shape with DSS_MONO.
BOOL DrawStateA(HDC dc, HBRUSH brush, DRAWSTATEPROC callback, LPARAM data, WPARAM wData, int x, int y, int cx,
                int cy, UINT flags);
inline BOOL DrawState(HDC dc, HBRUSH brush, DRAWSTATEPROC callback, LPARAM data, WPARAM wData, int x, int y,
                      int cx, int cy, UINT flags) {
  return DrawStateA(dc, brush, callback, data, wData, x, y, cx, cy, flags);
}
