#include "win/static_ctrl.h"

#include <charconv>

namespace {

bool IsPictureStyle(DWORD style) {
  const DWORD type = style & SS_TYPEMASK;
  return type == SS_BITMAP || type == SS_ICON;
}

}  // namespace

CStatic::CStatic(DWORD style, std::string text) : CControlBase(style, std::move(text)) {}

CStatic::~CStatic() { DestroyWindow(); }

std::string_view CStatic::Kind() const { return IsPictureStyle(Style()) ? "picture" : "static"; }

LRESULT CStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case STM_SETIMAGE:
    case STM_SETICON: {
      const bool icon = message == STM_SETICON || wParam == IMAGE_ICON;
      if (!icon && wParam != IMAGE_BITMAP) return 0;
      RepaintWhenChanged repaint(*this);
      std::lock_guard lock(mutex_);
      // STM_SETICON carries the icon in wParam.
      const auto image = static_cast<HGDIOBJ>(message == STM_SETICON ? wParam : static_cast<WPARAM>(lParam));
      HGDIOBJ& slot = icon ? icon_ : bitmap_;
      const HGDIOBJ previous = slot;
      slot = image;
      repaint.Mark(previous != image);
      return static_cast<LRESULT>(previous);
    }
    case STM_GETIMAGE:
    case STM_GETICON: {
      std::lock_guard lock(mutex_);
      if (message == STM_GETICON || wParam == IMAGE_ICON) return static_cast<LRESULT>(icon_);
      return wParam == IMAGE_BITMAP ? static_cast<LRESULT>(bitmap_) : 0;
    }
    default:
      if (message == ControlClickMessage()) {
        if ((Style() & SS_NOTIFY) == 0 || !IsWindowEnabled()) return FALSE;
        if (!OnOwnerThread()) {
          RepostToOwner(message, wParam, lParam);
          return TRUE;
        }
        NotifyParent(STN_CLICKED);
        return TRUE;
      }
      return CControlBase::WindowProc(message, wParam, lParam);
  }
}

HBITMAP CStatic::SetBitmap(HBITMAP bitmap) {
  return static_cast<HBITMAP>(SendMessage(STM_SETIMAGE, IMAGE_BITMAP, static_cast<LPARAM>(bitmap)));
}

HBITMAP CStatic::GetBitmap() const {
  std::lock_guard lock(mutex_);
  return bitmap_;
}

HICON CStatic::SetIcon(HICON icon) {
  return static_cast<HICON>(SendMessage(STM_SETIMAGE, IMAGE_ICON, static_cast<LPARAM>(icon)));
}

HICON CStatic::GetIcon() const {
  std::lock_guard lock(mutex_);
  return icon_;
}

std::optional<UINT> CStatic::ResourceImageId() const {
  if (!IsPictureStyle(Style())) return std::nullopt;
  const std::string text = Text();
  if (text.size() < 2 || text[0] != '#') return std::nullopt;
  UINT id = 0;
  const char* first = text.data() + 1;
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(first, last, id);
  if (error != std::errc() || end != last || id > 0xFFFF) return std::nullopt;
  return id;
}
