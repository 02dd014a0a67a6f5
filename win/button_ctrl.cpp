#include "win/button_ctrl.h"

#include <algorithm>
#include <vector>

#include "win/focus.h"
#include "win/window_pos.h"
#include "win/mouse.h"
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
      const bool threeState = type == BS_3STATE || type == BS_AUTO3STATE;
      const UINT next = wParam == BST_INDETERMINATE && threeState ? BST_INDETERMINATE
                        : wParam != BST_UNCHECKED                 ? BST_CHECKED
                                                                  : BST_UNCHECKED;
      bool changed = false;
      {
        std::lock_guard lock(mutex_);
        changed = check_ != next;
        check_ = next;
      }
      if (changed) ContentChanged();
      return 0;
    }
    case BM_GETSTATE: {
      std::lock_guard lock(mutex_);
      return static_cast<LRESULT>((HasCheck(TypeOf(Style())) ? check_ : 0) | (pushed_ ? BST_PUSHED : 0));
    }
    case BM_SETSTATE: {
      bool changed = false;
      {
        std::lock_guard lock(mutex_);
        changed = pushed_ != (wParam != 0);
        pushed_ = wParam != 0;
      }
      if (changed) ContentChanged();
      return 0;
    }
    case BM_SETSTYLE: {
      const DWORD next = (Style() & 0xFFFF0000u) | static_cast<DWORD>(wParam & 0xFFFF);
      if (style_.exchange(next) != next && LOWORD(static_cast<std::uintptr_t>(lParam)) != 0) ContentChanged();
      return 0;
    }
    case BM_SETIMAGE: {
      if (wParam != IMAGE_BITMAP && wParam != IMAGE_ICON) return 0;
      HGDIOBJ previous = 0;
      {
        std::lock_guard lock(mutex_);
        HGDIOBJ& slot = wParam == IMAGE_ICON ? icon_ : bitmap_;
        previous = slot;
        slot = static_cast<HGDIOBJ>(lParam);
      }
      if (previous != static_cast<HGDIOBJ>(lParam)) ContentChanged();
      return static_cast<LRESULT>(previous);
    }
    case BM_GETIMAGE: {
      std::lock_guard lock(mutex_);
      if (wParam == IMAGE_ICON) return static_cast<LRESULT>(icon_);
      return wParam == IMAGE_BITMAP ? static_cast<LRESULT>(bitmap_) : 0;
    }
    case WM_LBUTTONDBLCLK:
      // An owner-drawn or radio button tells a double click; the others take it as a press.
      if (TypeOf(Style()) == BS_OWNERDRAW || IsRadioType(TypeOf(Style()))) {
        if (OnOwnerThread() && IsWindowEnabled()) NotifyParent(BN_DOUBLECLICKED);
        return 0;
      }
      [[fallthrough]];
    case WM_LBUTTONDOWN:
      if (!OnOwnerThread() || !IsWindowEnabled() || TypeOf(Style()) == BS_GROUPBOX) return 0;
      ::SetFocus(m_hWnd);
      ::SetCapture(m_hWnd);
      SendMessage(BM_SETSTATE, TRUE, 0);
      return 0;
    case WM_MOUSEMOVE:
      // Held: pushed while the cursor is over the button.
      if (OnOwnerThread() && ::GetCapture() == m_hWnd && (wParam & MK_LBUTTON) != 0) {
        RECT client;
        ::GetClientRect(m_hWnd, &client);
        const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        SendMessage(BM_SETSTATE, PtInRect(&client, at), 0);
      }
      return 0;
    case WM_LBUTTONUP: {
      if (!OnOwnerThread() || ::GetCapture() != m_hWnd) return 0;
      const bool inside = (GetState() & BST_PUSHED) != 0;
      SendMessage(BM_SETSTATE, FALSE, 0);
      ::ReleaseCapture();
      if (inside) Click();
      return 0;
    }
    case WM_CAPTURECHANGED:
      SendMessage(BM_SETSTATE, FALSE, 0);
      return 0;
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

BOOL CButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message != WM_DRAWITEM || lParam == 0) return CControlBase::OnChildNotify(message, wParam, lParam, result);
  drawnByBase_ = false;
  DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
  if (drawnByBase_) return FALSE;
  *result = TRUE;
  return TRUE;
}

void CButton::DrawItem(DRAWITEMSTRUCT*) { drawnByBase_ = true; }

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
