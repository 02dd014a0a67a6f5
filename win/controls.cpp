#include "win/control_base.h"

#include <algorithm>
#include <cstring>

#include "win/os_thread.h"
#include "win/display_hooks.h"
#include "win/focus.h"
#include "win/mouse.h"
#include "win/paint.h"
#include "win/window_pos.h"

namespace {

int CopyOut(std::string_view text, char* buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) return 0;
  const std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

}  // namespace

UINT ControlItemsMessage() {
  static const UINT message = RegisterWindowMessageA("Tavelkor.Platform.ControlItems");
  return message;
}

UINT ControlSelectMessage() {
  static const UINT message = RegisterWindowMessageA("Tavelkor.Platform.ControlSelect");
  return message;
}

UINT ControlClickMessage() {
  static const UINT message = RegisterWindowMessageA("Tavelkor.Platform.ControlClick");
  return message;
}

UINT ControlStyleMessage() {
  static const UINT message = RegisterWindowMessageA("Tavelkor.Platform.ControlStyle");
  return message;
}

UINT ControlDoubleClickMessage() {
  static const UINT message = RegisterWindowMessageA("Tavelkor.Platform.ControlDoubleClick");
  return message;
}

UINT ControlTypeMessage() {
  static const UINT message = RegisterWindowMessageA("Tavelkor.Platform.ControlType");
  return message;
}

UINT ControlSetStyleMessage() {
  static const UINT message = RegisterWindowMessageA("Tavelkor.Platform.ControlSetStyle");
  return message;
}

CControlBase::CControlBase(DWORD style, std::string text) : text_(std::move(text)), style_(style) {}

CControlBase::~CControlBase() { DestroyWindow(); }

BOOL CControlBase::Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  if (m_hWnd != 0) return FALSE;
  {
    std::lock_guard lock(mutex_);
    text_ = text != nullptr ? text : "";
  }
  style_ = style | WS_CHILD;
  if (!CreateHandle(WindowCreateParams{parent, static_cast<int>(id), 0, style | WS_CHILD})) return FALSE;
  win::detail::SetInitialWindowRect(m_hWnd, rect);
  return TRUE;
}

std::string CControlBase::Text() const {
  std::lock_guard lock(mutex_);
  return text_;
}

LRESULT CControlBase::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTEXT: {
      const char* text = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      bool changed = false;
      {
        std::lock_guard lock(mutex_);
        changed = text_ != text;
        if (changed) text_ = text;
      }
      if (changed) {
        win::display::NotifyChanged(m_hWnd, win::display::kText);
        ContentChanged();
      }
      return TRUE;
    }
    case WM_SETREDRAW: {
      const bool on = wParam != FALSE;
      // Turned on again: what changed meanwhile is drawn once.
      if (!redraw_.exchange(on) && on) {
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
        win::display::NotifyChanged(m_hWnd, win::display::kContent);
      }
      return 0;
    }
    case WM_GETTEXT: {
      std::lock_guard lock(mutex_);
      return CopyOut(text_, reinterpret_cast<char*>(lParam), wParam);
    }
    case WM_GETTEXTLENGTH: {
      std::lock_guard lock(mutex_);
      return static_cast<LRESULT>(text_.size());
    }
    case WM_PAINT:
      // Surfaces are drawn by their owner thread alone.
      if (OnOwnerThread()) PaintNow();
      return 0;
    case WM_ERASEBKGND:
      return 0;  // the control fills its background as it paints
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (TakesFocusOnClick() && OnOwnerThread()) ::SetFocus(m_hWnd);
      return 0;
    default:
      if (message == ControlStyleMessage()) return static_cast<LRESULT>(style_.load());
      if (message == ControlSetStyleMessage()) {
        if (style_.exchange(static_cast<DWORD>(wParam)) != static_cast<DWORD>(wParam)) {
          win::display::NotifyChanged(m_hWnd, win::display::kStyle);
          ContentChanged();
        }
        return TRUE;
      }
      // Not items, not selectable, not clickable unless a kind says so.
      if (message == ControlItemsMessage() || message == ControlSelectMessage() ||
          message == ControlClickMessage() || message == ControlDoubleClickMessage()) {
        return FALSE;
      }
      if (message == ControlTypeMessage()) return kTypingRefused;
      return CWnd::WindowProc(message, wParam, lParam);
  }
}

void CControlBase::NotifyParent(WORD code) {
  const HWND self = m_hWnd;
  const HWND parent = ::GetParent(self);
  if (parent == 0) return;
  const WPARAM wParam = MAKELONG(static_cast<WORD>(::GetDlgCtrlID(self)), code);
  if (GetWindowThreadProcessId(parent, nullptr) == GetCurrentThreadId()) {
    SendMessageA(parent, WM_COMMAND, wParam, static_cast<LPARAM>(self));
  } else {
    PostMessageA(parent, WM_COMMAND, wParam, static_cast<LPARAM>(self));
  }
}

void CControlBase::ContentChanged() {
  // Redraw off: the change is drawn, and shown, when redraw is turned on again.
  if (!redraw_.load()) return;
  win::display::NotifyChanged(m_hWnd, win::display::kContent);
  ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

bool CControlBase::OnOwnerThread() const { return GetWindowThreadProcessId(m_hWnd, nullptr) == GetCurrentThreadId(); }

void CControlBase::RepostToOwner(UINT message, WPARAM wParam, LPARAM lParam) {
  PostMessageA(m_hWnd, message, wParam, lParam);
}

CPlaceholderCtrl::CPlaceholderCtrl(std::string kind, DWORD style, std::string text)
    : CControlBase(style, std::move(text)), kind_(std::move(kind)) {}

CPlaceholderCtrl::~CPlaceholderCtrl() { DestroyWindow(); }
