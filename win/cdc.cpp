#include "win/cdc.h"

#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "win/gdi_table.h"
#include "win/sys_colors.h"

namespace {

// Wrappers that CDC::FromHandle made, until their DC is deleted.
struct DcWrappers {
  std::mutex mutex;
  std::map<HDC, std::unique_ptr<CDC>> dcs;
};

DcWrappers& TheDcWrappers() {
  static DcWrappers* wrappers = new DcWrappers();
  return *wrappers;
}

}  // namespace

namespace win::detail {

void ForgetDcWrapper(HDC dc) {
  std::unique_ptr<CDC> dropped;
  {
    DcWrappers& w = TheDcWrappers();
    std::lock_guard lock(w.mutex);
    auto it = w.dcs.find(dc);
    if (it == w.dcs.end()) return;
    dropped = std::move(it->second);
    w.dcs.erase(it);
  }
  dropped->m_hDC = 0;  // not owned
}

}  // namespace win::detail

CDC::~CDC() {
  if (m_hDC != 0) ::DeleteDC(Detach());
}

BOOL CDC::Attach(HDC dc) {
  if (m_hDC != 0 || dc == 0) return FALSE;
  m_hDC = dc;
  return TRUE;
}

HDC CDC::Detach() { return std::exchange(m_hDC, 0); }

BOOL CDC::DeleteDC() {
  if (m_hDC == 0) return FALSE;
  // Detached first: deleting ends a FromHandle wrapper, which may be this one.
  return ::DeleteDC(Detach());
}

CDC* CDC::FromHandle(HDC dc) {
  if (dc == 0) return nullptr;
  DcWrappers& w = TheDcWrappers();
  std::lock_guard lock(w.mutex);
  auto& slot = w.dcs[dc];
  if (!slot) {
    slot = std::make_unique<CDC>();
    slot->m_hDC = dc;
  }
  return slot.get();
}

BOOL CDC::CreateCompatibleDC(CDC* dc) {
  if (m_hDC != 0) return FALSE;
  return Attach(::CreateCompatibleDC(dc != nullptr ? dc->m_hDC : 0));
}

CPen* CDC::SelectObject(CPen* pen) {
  return pen == nullptr ? nullptr : CPen::FromHandle(::SelectObject(m_hDC, pen->GetSafeHandle()));
}
CBrush* CDC::SelectObject(CBrush* brush) {
  return brush == nullptr ? nullptr : CBrush::FromHandle(::SelectObject(m_hDC, brush->GetSafeHandle()));
}
CFont* CDC::SelectObject(CFont* font) {
  return font == nullptr ? nullptr : CFont::FromHandle(::SelectObject(m_hDC, font->GetSafeHandle()));
}
CBitmap* CDC::SelectObject(CBitmap* bitmap) {
  return bitmap == nullptr ? nullptr : CBitmap::FromHandle(::SelectObject(m_hDC, bitmap->GetSafeHandle()));
}
CGdiObject* CDC::SelectObject(CGdiObject* object) {
  return object == nullptr ? nullptr : CGdiObject::FromHandle(::SelectObject(m_hDC, object->GetSafeHandle()));
}
HGDIOBJ CDC::SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
CGdiObject* CDC::SelectStockObject(int index) {
  return CGdiObject::FromHandle(::SelectObject(m_hDC, ::GetStockObject(index)));
}
CPen* CDC::GetCurrentPen() const { return CPen::FromHandle(::GetCurrentObject(m_hDC, OBJ_PEN)); }
CBrush* CDC::GetCurrentBrush() const { return CBrush::FromHandle(::GetCurrentObject(m_hDC, OBJ_BRUSH)); }
CFont* CDC::GetCurrentFont() const { return CFont::FromHandle(::GetCurrentObject(m_hDC, OBJ_FONT)); }
CBitmap* CDC::GetCurrentBitmap() const { return CBitmap::FromHandle(::GetCurrentObject(m_hDC, OBJ_BITMAP)); }

int CDC::SaveDC() { return ::SaveDC(m_hDC); }
BOOL CDC::RestoreDC(int saved) { return ::RestoreDC(m_hDC, saved); }

COLORREF CDC::SetTextColor(COLORREF colour) { return ::SetTextColor(m_hDC, colour); }
COLORREF CDC::GetTextColor() const { return ::GetTextColor(m_hDC); }
COLORREF CDC::SetBkColor(COLORREF colour) { return ::SetBkColor(m_hDC, colour); }
COLORREF CDC::GetBkColor() const { return ::GetBkColor(m_hDC); }
int CDC::SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
int CDC::GetBkMode() const { return ::GetBkMode(m_hDC); }

POINT CDC::SetWindowOrg(int x, int y) {
  POINT previous;
  ::SetWindowOrgEx(m_hDC, x, y, &previous);
  return previous;
}
POINT CDC::GetWindowOrg() const {
  POINT origin;
  ::GetWindowOrgEx(m_hDC, &origin);
  return origin;
}
POINT CDC::SetViewportOrg(int x, int y) {
  POINT previous;
  ::SetViewportOrgEx(m_hDC, x, y, &previous);
  return previous;
}
POINT CDC::GetViewportOrg() const {
  POINT origin;
  ::GetViewportOrgEx(m_hDC, &origin);
  return origin;
}
int CDC::IntersectClipRect(int left, int top, int right, int bottom) {
  return ::IntersectClipRect(m_hDC, left, top, right, bottom);
}
int CDC::IntersectClipRect(const RECT* rect) {
  return rect == nullptr ? ERROR : ::IntersectClipRect(m_hDC, rect->left, rect->top, rect->right, rect->bottom);
}
int CDC::GetClipBox(RECT* rect) const { return ::GetClipBox(m_hDC, rect); }
int CDC::GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }
COLORREF CDC::GetNearestColor(COLORREF colour) const { return ::GetNearestColor(m_hDC, colour); }

COLORREF CDC::GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
COLORREF CDC::SetPixel(int x, int y, COLORREF colour) { return ::SetPixel(m_hDC, x, y, colour); }
BOOL CDC::SetPixelV(int x, int y, COLORREF colour) { return ::SetPixelV(m_hDC, x, y, colour); }
BOOL CDC::BitBlt(int x, int y, int width, int height, CDC* source, int sx, int sy, DWORD rop) {
  return ::BitBlt(m_hDC, x, y, width, height, source != nullptr ? source->m_hDC : 0, sx, sy, rop);
}
BOOL CDC::StretchBlt(int x, int y, int width, int height, CDC* source, int sx, int sy, int sourceWidth,
                     int sourceHeight, DWORD rop) {
  return ::StretchBlt(m_hDC, x, y, width, height, source != nullptr ? source->m_hDC : 0, sx, sy, sourceWidth,
                      sourceHeight, rop);
}
BOOL CDC::PatBlt(int x, int y, int width, int height, DWORD rop) { return ::PatBlt(m_hDC, x, y, width, height, rop); }

POINT CDC::MoveTo(int x, int y) {
  POINT previous;
  ::MoveToEx(m_hDC, x, y, &previous);
  return previous;
}
BOOL CDC::LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
BOOL CDC::Rectangle(int left, int top, int right, int bottom) { return ::Rectangle(m_hDC, left, top, right, bottom); }
BOOL CDC::Rectangle(const RECT* rect) {
  return rect != nullptr && ::Rectangle(m_hDC, rect->left, rect->top, rect->right, rect->bottom);
}
BOOL CDC::Ellipse(int left, int top, int right, int bottom) { return ::Ellipse(m_hDC, left, top, right, bottom); }
BOOL CDC::Ellipse(const RECT* rect) {
  return rect != nullptr && ::Ellipse(m_hDC, rect->left, rect->top, rect->right, rect->bottom);
}
void CDC::FillRect(const RECT* rect, CBrush* brush) {
  if (brush != nullptr) ::FillRect(m_hDC, rect, brush->GetSafeHandle());
}
void CDC::FrameRect(const RECT* rect, CBrush* brush) {
  if (brush != nullptr) ::FrameRect(m_hDC, rect, brush->GetSafeHandle());
}
void CDC::InvertRect(const RECT* rect) { ::InvertRect(m_hDC, rect); }

// As the class library does it, the DC keeps the colour as its background colour.
void CDC::FillSolidRect(const RECT* rect, COLORREF colour) {
  if (rect == nullptr) return;
  ::SetBkColor(m_hDC, colour);
  auto& t = win::detail::Table();
  HBRUSH brush = 0;
  {
    std::lock_guard lock(t.mutex);
    brush = win::detail::AddObject(t, win::detail::BrushObject{BS_SOLID, colour & 0xFFFFFF, nullptr});
  }
  ::FillRect(m_hDC, rect, brush);
  ::DeleteObject(brush);
}
void CDC::FillSolidRect(int x, int y, int width, int height, COLORREF colour) {
  const RECT r{x, y, x + width, y + height};
  const RECT normal{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                    std::max(r.top, r.bottom)};
  FillSolidRect(&normal, colour);
}

void CDC::Draw3dRect(const RECT* rect, COLORREF topLeft, COLORREF bottomRight) {
  if (rect != nullptr)
    Draw3dRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, topLeft, bottomRight);
}
void CDC::Draw3dRect(int x, int y, int width, int height, COLORREF topLeft, COLORREF bottomRight) {
  FillSolidRect(x, y, width - 1, 1, topLeft);
  FillSolidRect(x, y, 1, height - 1, topLeft);
  FillSolidRect(x + width, y, -1, height, bottomRight);
  FillSolidRect(x, y + height, width, -1, bottomRight);
}
BOOL CDC::DrawEdge(RECT* rect, UINT edge, UINT flags) { return ::DrawEdge(m_hDC, rect, edge, flags); }
void CDC::DrawFocusRect(const RECT* rect) { ::DrawFocusRect(m_hDC, rect); }
BOOL CDC::DrawState(POINT at, SIZE size, HBITMAP bitmap, UINT flags, HBRUSH brush) {
  return ::DrawStateA(m_hDC, brush, nullptr, static_cast<LPARAM>(bitmap), 0, at.x, at.y, size.cx, size.cy,
                      flags | DST_BITMAP);
}
BOOL CDC::DrawState(POINT at, SIZE size, CBitmap* bitmap, UINT flags, CBrush* brush) {
  return bitmap != nullptr &&
         DrawState(at, size, static_cast<HBITMAP>(bitmap->GetSafeHandle()), flags,
                   brush != nullptr ? static_cast<HBRUSH>(brush->GetSafeHandle()) : HBRUSH{0});
}
BOOL CDC::DrawState(POINT at, SIZE size, const char* text, UINT flags, BOOL prefixText, int length, HBRUSH brush) {
  return ::DrawStateA(m_hDC, brush, nullptr, reinterpret_cast<LPARAM>(text), static_cast<WPARAM>(length), at.x,
                      at.y, size.cx, size.cy, flags | (prefixText ? DST_PREFIXTEXT : DST_TEXT));
}

int CDC::DrawText(const char* text, int count, RECT* rect, UINT format) {
  return ::DrawTextA(m_hDC, text, count, rect, format);
}
int CDC::DrawText(std::string_view text, RECT* rect, UINT format) {
  return ::DrawTextA(m_hDC, text.data(), static_cast<int>(text.size()), rect, format);
}
int CDC::DrawTextW(const wchar_t* text, int count, RECT* rect, UINT format) {
  return ::DrawTextW(m_hDC, text, count, rect, format);
}
BOOL CDC::TextOut(int x, int y, const char* text, int count) { return ::TextOutA(m_hDC, x, y, text, count); }
BOOL CDC::TextOut(int x, int y, std::string_view text) {
  return ::TextOutA(m_hDC, x, y, text.data(), static_cast<int>(text.size()));
}
SIZE CDC::GetTextExtent(const char* text, int count) const {
  SIZE size;
  ::GetTextExtentPoint32A(m_hDC, text, count, &size);
  return size;
}
SIZE CDC::GetTextExtent(std::string_view text) const {
  return GetTextExtent(text.data(), static_cast<int>(text.size()));
}
BOOL CDC::GetTextMetrics(TEXTMETRICA* metrics) const { return ::GetTextMetricsA(m_hDC, metrics); }
