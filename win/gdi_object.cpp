#include "win/gdi_object.h"

#include <map>
#include <memory>
#include <mutex>
#include <typeindex>
#include <utility>
#include <vector>

#include "win/bitmap_resource.h"
#include "win/brush.h"
#include "win/cdc.h"
#include "win/gdi_table.h"
#include "win/module.h"

namespace {

// Wrappers that FromHandle made: kept per handle and kind until the handle dies.
struct Wrappers {
  std::mutex mutex;
  std::map<HGDIOBJ, std::map<std::type_index, std::unique_ptr<CGdiObject>>> objects;
};

Wrappers& TheWrappers() {
  static Wrappers* wrappers = new Wrappers();
  return *wrappers;
}

template <class T>
T* Wrapper(HGDIOBJ handle) {
  if (handle == 0) return nullptr;
  Wrappers& w = TheWrappers();
  std::lock_guard lock(w.mutex);
  auto& slot = w.objects[handle][std::type_index(typeid(T))];
  if (!slot) {
    auto made = std::make_unique<T>();
    made->m_hObject = handle;
    slot = std::move(made);
  }
  return static_cast<T*>(slot.get());
}

}  // namespace

namespace win::detail {

void ForgetWrappers(HGDIOBJ handle) {
  std::map<std::type_index, std::unique_ptr<CGdiObject>> dropped;
  {
    Wrappers& w = TheWrappers();
    std::lock_guard lock(w.mutex);
    auto it = w.objects.find(handle);
    if (it == w.objects.end()) return;
    dropped = std::move(it->second);
    w.objects.erase(it);
  }
  // Not owned: the wrappers must not delete the handle as they go.
  for (auto& [kind, wrapper] : dropped) wrapper->m_hObject = 0;
}

}  // namespace win::detail

BOOL CGdiObject::Attach(HGDIOBJ object) {
  if (m_hObject != 0 || object == 0) return FALSE;
  m_hObject = object;
  return TRUE;
}

HGDIOBJ CGdiObject::Detach() { return std::exchange(m_hObject, 0); }

BOOL CGdiObject::DeleteObject() {
  if (m_hObject == 0) return FALSE;
  // Detached first: deleting may end a FromHandle wrapper, this one included.
  return ::DeleteObject(Detach());
}

CGdiObject* CGdiObject::FromHandle(HGDIOBJ object) { return Wrapper<CGdiObject>(object); }

BOOL CBitmap::CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
  return Attach(::CreateBitmap(width, height, planes, bitsPerPixel, bits));
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height) {
  return Attach(::CreateCompatibleBitmap(dc != nullptr ? dc->GetSafeHdc() : 0, width, height));
}

BOOL CBitmap::LoadBitmap(UINT resourceId) {
  if (m_hObject != 0) return FALSE;
  return Attach(::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(static_cast<WORD>(resourceId)), IMAGE_BITMAP,
                             0, 0, LR_DEFAULTCOLOR));
}

CBitmap* CBitmap::FromHandle(HBITMAP bitmap) { return Wrapper<CBitmap>(bitmap); }

BOOL CPen::CreatePen(int style, int width, COLORREF colour) {
  if (m_hObject != 0) return FALSE;
  return Attach(::CreatePen(style, width, colour));
}

CPen* CPen::FromHandle(HPEN pen) { return Wrapper<CPen>(pen); }

BOOL CFont::CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                       BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision,
                       BYTE quality, BYTE pitchAndFamily, const char* face) {
  if (m_hObject != 0) return FALSE;
  return Attach(::CreateFontA(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                              outPrecision, clipPrecision, quality, pitchAndFamily, face));
}

BOOL CFont::CreateFontIndirect(const LOGFONTA* font) {
  if (m_hObject != 0) return FALSE;
  return Attach(::CreateFontIndirectA(font));
}

CFont* CFont::FromHandle(HFONT font) { return Wrapper<CFont>(font); }

CBrush* CBrush::FromHandle(HBRUSH brush) { return Wrapper<CBrush>(brush); }
