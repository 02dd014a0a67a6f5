#include "win/button_ctrl.h"

#include <algorithm>
#include <vector>

#include "win/window_registry.h"

namespace {

DWORD TypeOf(DWORD style) { return style & BS_TYPEMASK; }

bool IsCheckType(DWORD type) {
  return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}
bool IsRadioType(DWORD type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }
bool HasCheck(DWORD type) { return IsCheckType(type) || IsRadioType(type); }

}  // namespace

CButton::CButton(DWORD style, std::string text) : CControlBase(style, std::move(text)) {}

CButton::~CButton() { DestroyWindow(); }

std::string_view CButton::Kind() const {
  const DWORD type = TypeOf(Style());
  if (IsCheckType(type)) return "checkbox";
  if (IsRadioType(type)) return "radio";
  if (type == BS_OWNERDRAW) return "ownerdraw";
  return "button";
}

LRESULT CButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case BM_GETCHECK: {
      if (!HasCheck(TypeOf(Style()))) return BST_UNCHECKED;
      std::lock_guard lock(mutex_);
      return static_cast<LRESULT>(check_);
    }
    case BM_SETCHECK: {
      const DWORD type = TypeOf(Style());
      if (!HasCheck(type)) return 0;
      std::lock_guard lock(mutex_);
      const bool threeState = type == BS_3STATE || type == BS_AUTO3STATE;
      check_ = wParam == BST_INDETERMINATE && threeState ? BST_INDETERMINATE
               : wParam != BST_UNCHECKED                 ? BST_CHECKED
                                                         : BST_UNCHECKED;
      return 0;
    }
    case BM_GETSTATE: {
      std::lock_guard lock(mutex_);
      return static_cast<LRESULT>((HasCheck(TypeOf(Style())) ? check_ : 0) | (pushed_ ? BST_PUSHED : 0));
    }
    case BM_SETSTATE: {
      std::lock_guard lock(mutex_);
      pushed_ = wParam != 0;
      return 0;
    }
    case BM_SETSTYLE:
      style_ = (Style() & 0xFFFF0000u) | static_cast<DWORD>(wParam & 0xFFFF);
      return 0;
    case BM_SETIMAGE: {
      if (wParam != IMAGE_BITMAP && wParam != IMAGE_ICON) return 0;
      std::lock_guard lock(mutex_);
      HGDIOBJ& slot = wParam == IMAGE_ICON ? icon_ : bitmap_;
      const HGDIOBJ previous = slot;
      slot = static_cast<HGDIOBJ>(lParam);
      return static_cast<LRESULT>(previous);
    }
    case BM_GETIMAGE: {
      std::lock_guard lock(mutex_);
      if (wParam == IMAGE_ICON) return static_cast<LRESULT>(icon_);
      return wParam == IMAGE_BITMAP ? static_cast<LRESULT>(bitmap_) : 0;
    }
    case BM_CLICK:
      if (!OnOwnerThread()) {
        RepostToOwner(message, wParam, lParam);
        return 0;
      }
      Click();
      return 0;
    default:
      if (message == ControlClickMessage()) {
        if (!IsWindowEnabled()) return FALSE;
        if (!OnOwnerThread()) {
          RepostToOwner(BM_CLICK, 0, 0);
          return TRUE;
        }
        return Click() ? TRUE : FALSE;
      }
      return CControlBase::WindowProc(message, wParam, lParam);
  }
}

bool CButton::Click() {
  if (!IsWindowEnabled()) return false;
  const DWORD type = TypeOf(Style());
  bool clearGroup = false;
  {
    std::lock_guard lock(mutex_);
    switch (type) {
      case BS_AUTOCHECKBOX:
        check_ = check_ == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        break;
      case BS_AUTO3STATE:
        check_ = check_ == BST_UNCHECKED ? BST_CHECKED : check_ == BST_CHECKED ? BST_INDETERMINATE : BST_UNCHECKED;
        break;
      case BS_AUTORADIOBUTTON:
        check_ = BST_CHECKED;
        clearGroup = true;
        break;
      default:
        break;
    }
  }
  if (clearGroup) ClearGroupSiblings();
  NotifyParent(BN_CLICKED);
  return true;
}

void CButton::ClearGroupSiblings() {
  const HWND parent = ::GetParent(m_hWnd);
  const std::vector<HWND> siblings = win::detail::ChildrenOf(parent);
  const auto self = std::find(siblings.begin(), siblings.end(), m_hWnd);
  if (self == siblings.end()) return;
  auto styleOf = [](HWND h) { return static_cast<DWORD>(SendMessageA(h, ControlStyleMessage(), 0, 0)); };
  auto first = self;
  while (first != siblings.begin() && (styleOf(*first) & WS_GROUP) == 0) --first;
  for (auto it = first; it != siblings.end(); ++it) {
    if (it != first && (styleOf(*it) & WS_GROUP) != 0) break;
    if (*it != m_hWnd && TypeOf(styleOf(*it)) == BS_AUTORADIOBUTTON) SendMessageA(*it, BM_SETCHECK, BST_UNCHECKED, 0);
  }
}

int CButton::GetCheck() const {
  if (!HasCheck(TypeOf(Style()))) return BST_UNCHECKED;
  std::lock_guard lock(mutex_);
  return static_cast<int>(check_);
}

void CButton::SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check), 0); }

UINT CButton::GetState() const {
  std::lock_guard lock(mutex_);
  return (HasCheck(TypeOf(Style())) ? check_ : 0) | (pushed_ ? BST_PUSHED : 0);
}

void CButton::SetState(BOOL highlight) { SendMessage(BM_SETSTATE, static_cast<WPARAM>(highlight), 0); }

void CButton::SetButtonStyle(UINT style, BOOL redraw) {
  SendMessage(BM_SETSTYLE, style, static_cast<LPARAM>(redraw));
}

HBITMAP CButton::SetBitmap(HBITMAP bitmap) {
  return static_cast<HBITMAP>(SendMessage(BM_SETIMAGE, IMAGE_BITMAP, static_cast<LPARAM>(bitmap)));
}

HBITMAP CButton::GetBitmap() const {
  std::lock_guard lock(mutex_);
  return bitmap_;
}

HICON CButton::SetIcon(HICON icon) {
  return static_cast<HICON>(SendMessage(BM_SETIMAGE, IMAGE_ICON, static_cast<LPARAM>(icon)));
}

HICON CButton::GetIcon() const {
  std::lock_guard lock(mutex_);
  return icon_;
}
