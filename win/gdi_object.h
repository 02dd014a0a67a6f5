// The class library's drawing objects: each owns its handle and deletes it
// when destroyed (unless detached). FromHandle gives a wrapper that does not
// own the handle and lives until the handle is deleted.
#pragma once

#include "win/fonts.h"
#include "win/gdi_objects.h"

class CDC;

class CGdiObject {
 public:
  CGdiObject() = default;
  virtual ~CGdiObject() { DeleteObject(); }
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;

  // Fails when this object already holds a handle.
  BOOL Attach(HGDIOBJ object);
  HGDIOBJ Detach();
  // FALSE when it held none (or the handle was not live).
  BOOL DeleteObject();
  HGDIOBJ GetSafeHandle() const { return m_hObject; }
  operator HGDIOBJ() const { return m_hObject; }
  int GetObject(int size, void* buffer) const { return ::GetObjectA(m_hObject, size, buffer); }

  static CGdiObject* FromHandle(HGDIOBJ object);

  HGDIOBJ m_hObject = 0;
};

class CBitmap : public CGdiObject {
 public:
  BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
  BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
  // A new bitmap of the resource (LoadImageA), owned by this object.
  BOOL LoadBitmap(UINT resourceId);
  int GetBitmap(BITMAP* bitmap) const { return GetObject(sizeof(BITMAP), bitmap); }
  static CBitmap* FromHandle(HBITMAP bitmap);
};

class CPen : public CGdiObject {
 public:
  CPen() = default;
  CPen(int style, int width, COLORREF colour) { CreatePen(style, width, colour); }
  BOOL CreatePen(int style, int width, COLORREF colour);
  static CPen* FromHandle(HPEN pen);
};

class CFont : public CGdiObject {
 public:
  BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                  BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision,
                  BYTE quality, BYTE pitchAndFamily, const char* face);
  BOOL CreateFontIndirect(const LOGFONTA* font);
  int GetLogFont(LOGFONTA* font) const { return GetObject(sizeof(LOGFONTA), font); }
  static CFont* FromHandle(HFONT font);
};
