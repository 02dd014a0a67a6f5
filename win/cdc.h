// The class library's device context. A CDC that holds a DC deletes it when
// destroyed (CPaintDC and CClientDC release theirs instead).
#pragma once

#include <string_view>

#include "win/blit.h"
#include "win/brush.h"
#include "win/device_context.h"
#include "win/edges.h"
#include "win/gdi_object.h"
#include "win/shapes.h"
#include "win/text.h"

class CDC {
 public:
  CDC() = default;
  virtual ~CDC();
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  BOOL Attach(HDC dc);
  HDC Detach();
  BOOL DeleteDC();
  HDC GetSafeHdc() const { return m_hDC; }
  operator HDC() const { return m_hDC; }
  // A wrapper that does not own the DC; it lives until the DC is deleted.
  static CDC* FromHandle(HDC dc);

  BOOL CreateCompatibleDC(CDC* dc);
  BOOL IsPrinting() const { return FALSE; }

  // Each gives the object replaced (a wrapper of FromHandle), null on failure.
  CPen* SelectObject(CPen* pen);
  CBrush* SelectObject(CBrush* brush);
  CFont* SelectObject(CFont* font);
  CBitmap* SelectObject(CBitmap* bitmap);
  CGdiObject* SelectObject(CGdiObject* object);
  HGDIOBJ SelectObject(HGDIOBJ object);
  CGdiObject* SelectStockObject(int index);
  CPen* GetCurrentPen() const;
  CBrush* GetCurrentBrush() const;
  CFont* GetCurrentFont() const;
  CBitmap* GetCurrentBitmap() const;

  int SaveDC();
  BOOL RestoreDC(int saved);

  COLORREF SetTextColor(COLORREF colour);
  COLORREF GetTextColor() const;
  COLORREF SetBkColor(COLORREF colour);
  COLORREF GetBkColor() const;
  int SetBkMode(int mode);
  int GetBkMode() const;
  POINT SetWindowOrg(int x, int y);
  POINT SetWindowOrg(POINT origin) { return SetWindowOrg(origin.x, origin.y); }
  POINT GetWindowOrg() const;
  POINT SetViewportOrg(int x, int y);
  POINT GetViewportOrg() const;
  int IntersectClipRect(int left, int top, int right, int bottom);
  int IntersectClipRect(const RECT* rect);
  int GetClipBox(RECT* rect) const;
  int GetDeviceCaps(int index) const;
  COLORREF GetNearestColor(COLORREF colour) const;

  COLORREF GetPixel(int x, int y) const;
  COLORREF SetPixel(int x, int y, COLORREF colour);
  BOOL SetPixelV(int x, int y, COLORREF colour);
  BOOL BitBlt(int x, int y, int width, int height, CDC* source, int sx, int sy, DWORD rop);
  BOOL StretchBlt(int x, int y, int width, int height, CDC* source, int sx, int sy, int sourceWidth,
                  int sourceHeight, DWORD rop);
  BOOL PatBlt(int x, int y, int width, int height, DWORD rop);

  POINT MoveTo(int x, int y);
  POINT MoveTo(POINT p) { return MoveTo(p.x, p.y); }
  BOOL LineTo(int x, int y);
  BOOL LineTo(POINT p) { return LineTo(p.x, p.y); }
  BOOL Rectangle(int left, int top, int right, int bottom);
  BOOL Rectangle(const RECT* rect);
  BOOL Ellipse(int left, int top, int right, int bottom);
  BOOL Ellipse(const RECT* rect);
  void FillRect(const RECT* rect, CBrush* brush);
  void FrameRect(const RECT* rect, CBrush* brush);
  void InvertRect(const RECT* rect);
  void FillSolidRect(const RECT* rect, COLORREF colour);
  void FillSolidRect(int x, int y, int width, int height, COLORREF colour);
  // A one-pixel frame: top and left in topLeft, bottom and right in bottomRight.
  void Draw3dRect(const RECT* rect, COLORREF topLeft, COLORREF bottomRight);
  void Draw3dRect(int x, int y, int width, int height, COLORREF topLeft, COLORREF bottomRight);
  BOOL DrawEdge(RECT* rect, UINT edge, UINT flags);
  void DrawFocusRect(const RECT* rect);
  BOOL DrawState(POINT at, SIZE size, HBITMAP bitmap, UINT flags, HBRUSH brush = 0);
  BOOL DrawState(POINT at, SIZE size, CBitmap* bitmap, UINT flags, CBrush* brush = nullptr);
  BOOL DrawState(POINT at, SIZE size, const char* text, UINT flags, BOOL prefixText = TRUE, int length = 0,
                 HBRUSH brush = 0);

  int DrawText(const char* text, int count, RECT* rect, UINT format);
  int DrawText(std::string_view text, RECT* rect, UINT format);
  int DrawTextW(const wchar_t* text, int count, RECT* rect, UINT format);
  BOOL TextOut(int x, int y, const char* text, int count);
  BOOL TextOut(int x, int y, std::string_view text);
  SIZE GetTextExtent(const char* text, int count) const;
  SIZE GetTextExtent(std::string_view text) const;
  BOOL GetTextMetrics(TEXTMETRICA* metrics) const;

  HDC m_hDC = 0;
};
