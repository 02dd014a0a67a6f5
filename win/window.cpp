#include "win/window.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "win/control_base.h"
#include "win/dialog_items.h"
#include "win/display_hooks.h"
#include "win/focus.h"
#include "win/menu.h"
#include "win/message_queue.h"
#include "win/mouse.h"
#include "win/mouse_state.h"
#include "win/paint.h"
#include "win/shapes.h"
#include "win/sys_colors.h"
#include "win/window_pos.h"
#include "win/os_thread.h"
#include "win/remote_link.h"
#include "win/window_registry.h"
#include "win/window_surface.h"

namespace win::detail {

struct WindowAccess {
  static void Forget(CWnd& window) { window.m_hWnd = 0; }
  static void PostNcDestroy(CWnd& window) { window.PostNcDestroy(); }
};

namespace {

bool IsAlive(const WindowSlot& slot) {
  std::lock_guard state(slot.stateMutex);
  return slot.window != nullptr;
}

bool CalledInPlace(const WindowSlot& slot) { return slot.threadSafe || slot.ownerThread == GetCurrentThreadId(); }

// A state change notice: run at once where that cannot wait on another
// thread, posted otherwise so a worker never blocks on the UI thread.
void Notify(const SlotPtr& slot, UINT message, WPARAM wParam) {
  if (CalledInPlace(*slot)) {
    CallWindowProcedure(slot, message, wParam, 0);
  } else {
    PostToQueue(*slot->owner, slot->hwnd, message, wParam, 0);
  }
}

// The dialog background: the brush the window answers to WM_CTLCOLORDLG, else the button face.
bool EraseDialogBackground(HWND hwnd, HDC dc) {
  if (dc == 0) return false;
  auto brush = static_cast<HBRUSH>(SendMessageA(hwnd, WM_CTLCOLORDLG, static_cast<WPARAM>(dc), static_cast<LPARAM>(hwnd)));
  if (brush == 0) brush = GetSysColorBrush(COLOR_BTNFACE);
  RECT client;
  ::GetClientRect(hwnd, &client);
  ::FillRect(dc, &client, brush);
  return true;
}

int CopyText(const std::string& text, char* buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) return 0;
  const std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

}  // namespace
}  // namespace win::detail

using namespace win::detail;

CWnd::~CWnd() {
  if (m_hWnd != 0) ::DestroyWindow(m_hWnd);
}

BOOL CWnd::CreateHandle(const WindowCreateParams& params) {
  if (m_hWnd != 0) return FALSE;
  HWND parent = 0;
  if (params.parent != nullptr) {
    parent = params.parent->m_hWnd;
    if (!IsWindow(parent)) return FALSE;
  }
  auto slot = std::make_shared<WindowSlot>();
  slot->parent = parent;
  slot->controlId = params.controlId;
  slot->templateId = params.templateId;
  slot->ownerThread = GetCurrentThreadId();
  slot->threadSafe = IsThreadSafeControl();
  slot->kind = std::string(Kind());
  slot->owner = CurrentQueue();
  slot->window = this;
  slot->visible = (params.style & WS_VISIBLE) != 0;
  slot->enabled = (params.style & WS_DISABLED) == 0;
  slot->bindChildrenLater = params.bindChildrenFromTemplate;
  slot->hwnd = AllocateHandle();
  if (slot->hwnd == 0) return FALSE;
  slot_ = slot;
  m_hWnd = slot->hwnd;
  RegisterSlot(slot);
  SlotPtr parentSlot = FindSlot(parent);
  if (!parentSlot || !parentSlot->bindChildrenLater) BindWindowObject(slot->hwnd);
  ::InvalidateRect(slot->hwnd, nullptr, TRUE);
  win::display::NotifyChanged(slot->hwnd, win::display::kCreated);
  if (CallWindowProcedure(slot, WM_CREATE, 0, 0) == -1) {
    DestroyWindow();
    return FALSE;
  }
  return TRUE;
}

BOOL CWnd::DestroyWindow() { return m_hWnd != 0 ? ::DestroyWindow(m_hWnd) : FALSE; }

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTEXT:
      if (slot_) {
        std::lock_guard state(slot_->stateMutex);
        slot_->caption = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      }
      win::display::NotifyChanged(m_hWnd, win::display::kText);
      return TRUE;
    case WM_GETTEXT:
      if (slot_) {
        std::lock_guard state(slot_->stateMutex);
        return CopyText(slot_->caption, reinterpret_cast<char*>(lParam), wParam);
      }
      return 0;
    case WM_GETTEXTLENGTH:
      if (slot_) {
        std::lock_guard state(slot_->stateMutex);
        return static_cast<LRESULT>(slot_->caption.size());
      }
      return 0;
    case WM_COMMAND:
      OnCommand(wParam, lParam);
      return 0;
    case WM_NOTIFY: {
      LRESULT result = 0;
      OnNotify(wParam, lParam, &result);
      return result;
    }
    case WM_CLOSE:
      DestroyWindow();
      return 0;
    case WM_PAINT: {
      // Validates even when nothing is drawn, so an unhandled paint is not asked again.
      PAINTSTRUCT paint;
      ::BeginPaint(m_hWnd, &paint);
      ::EndPaint(m_hWnd, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return EraseDialogBackground(m_hWnd, static_cast<HDC>(wParam)) ? TRUE : FALSE;
    case WM_RBUTTONUP: {
      // A right click asks for the context menu, at the cursor on the screen.
      POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ::ClientToScreen(m_hWnd, &at);
      SendMessageA(m_hWnd, WM_CONTEXTMENU, static_cast<WPARAM>(m_hWnd), static_cast<LPARAM>(MAKELONG(at.x, at.y)));
      return 0;
    }
    case WM_CONTEXTMENU:
      // A child without a menu of its own leaves it to its parent.
      if ((GetStyle() & WS_CHILD) != 0) {
        const HWND parent = ::GetParent(m_hWnd);
        if (parent != 0) return SendMessageA(parent, WM_CONTEXTMENU, wParam, lParam);
      }
      return 0;
    case WM_SETCURSOR: {
      // The parent may set it first; otherwise the one who asked shows the arrow.
      const HWND parent = ::GetParent(m_hWnd);
      SlotPtr parentSlot = FindSlot(parent);
      if (parentSlot && parentSlot->ownerThread == GetCurrentThreadId()) {
        return SendMessageA(parent, WM_SETCURSOR, wParam, lParam);
      }
      return FALSE;
    }
    default:
      // WM_SHOWWINDOW and WM_ENABLE are notices: ShowWindow and EnableWindow
      // keep the state, so a late posted notice cannot undo a newer change.
      return 0;
  }
}

BOOL CWnd::OnCommand(WPARAM, LPARAM) { return FALSE; }

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return FALSE; }

void CWnd::PreSubclassWindow() {}

DWORD CWnd::GetStyle() const { return static_cast<DWORD>(GetWindowLongA(m_hWnd, GWL_STYLE)); }

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags) {
  const DWORD before = GetStyle();
  const DWORD after = (before & ~remove) | add;
  if (after == before) return FALSE;
  SetWindowLongA(m_hWnd, GWL_STYLE, static_cast<LONG>(after));
  if (swpFlags != 0) {
    ::SetWindowPos(m_hWnd, 0, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
  }
  return TRUE;
}

void CWnd::GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
void CWnd::GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
void CWnd::ClientToScreen(POINT* point) const { ::ClientToScreen(m_hWnd, point); }
void CWnd::ScreenToClient(POINT* point) const { ::ScreenToClient(m_hWnd, point); }

void CWnd::ClientToScreen(RECT* rect) const {
  if (rect == nullptr) return;
  POINT origin;
  ::ClientToScreen(m_hWnd, &origin);
  *rect = RECT{rect->left + origin.x, rect->top + origin.y, rect->right + origin.x, rect->bottom + origin.y};
}

void CWnd::ScreenToClient(RECT* rect) const {
  if (rect == nullptr) return;
  POINT origin;
  ::ClientToScreen(m_hWnd, &origin);
  *rect = RECT{rect->left - origin.x, rect->top - origin.y, rect->right - origin.x, rect->bottom - origin.y};
}

BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags) {
  return ::SetWindowPos(m_hWnd, insertAfter != nullptr ? insertAfter->m_hWnd : HWND_TOP, x, y, cx, cy, flags);
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
  ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

void CWnd::MoveWindow(const RECT* rect, BOOL repaint) {
  if (rect != nullptr) MoveWindow(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, repaint);
}

void CWnd::Invalidate(BOOL erase) { ::InvalidateRect(m_hWnd, nullptr, erase); }
void CWnd::InvalidateRect(const RECT* rect, BOOL erase) { ::InvalidateRect(m_hWnd, rect, erase); }
void CWnd::ValidateRect(const RECT* rect) { ::ValidateRect(m_hWnd, rect); }
void CWnd::UpdateWindow() { ::UpdateWindow(m_hWnd); }
BOOL CWnd::RedrawWindow(const RECT* rect, CRgn*, UINT flags) { return ::RedrawWindow(m_hWnd, rect, 0, flags); }

CWnd* CWnd::SetCapture() { return FromHandle(::SetCapture(m_hWnd)); }
CWnd* CWnd::SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }

BOOL CWnd::OnNotify(WPARAM, LPARAM, LRESULT*) { return FALSE; }

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

std::string CWnd::TextSnapshot() const {
  if (std::optional<std::string> content = ContentText()) return *content;
  if (!slot_) return {};
  std::lock_guard state(slot_->stateMutex);
  return slot_->caption;
}

CWnd* CWnd::GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
int CWnd::GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
CWnd* CWnd::GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return m_hWnd != 0 ? ::PostMessageA(m_hWnd, message, wParam, lParam) : FALSE;
}

BOOL CWnd::ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
BOOL CWnd::IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
BOOL CWnd::EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }
BOOL CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }

void CWnd::SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }

int CWnd::GetWindowText(char* buffer, int maxCount) const { return ::GetWindowTextA(m_hWnd, buffer, maxCount); }

void CWnd::GetWindowText(std::string& text) const {
  const int length = GetWindowTextLength();
  std::string buffer(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(m_hWnd, buffer.data(), length + 1);
  buffer.resize(static_cast<std::size_t>(std::max(copied, 0)));
  text = std::move(buffer);
}

int CWnd::GetWindowTextLength() const { return ::GetWindowTextLengthA(m_hWnd); }

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
  // Without a handle ::SetTimer would make a thread timer instead.
  return m_hWnd != 0 ? ::SetTimer(m_hWnd, id, elapseMs, proc) : 0;
}

BOOL CWnd::KillTimer(UINT_PTR id) { return m_hWnd != 0 ? ::KillTimer(m_hWnd, id) : FALSE; }

CWnd* CWnd::FromHandle(HWND hwnd) {
  SlotPtr slot = FindSlot(hwnd);
  if (!slot) return nullptr;
  std::lock_guard state(slot->stateMutex);
  return slot->window;
}

BOOL IsWindow(HWND hwnd) {
  SlotPtr slot = FindSlot(hwnd);
  if (!slot) return hwnd != 0 && RemoteCall(hwnd, RemoteKind::Alive, 0, 0, 0, -1, nullptr) ? TRUE : FALSE;
  return IsAlive(*slot) ? TRUE : FALSE;
}

BOOL DestroyWindow(HWND hwnd) {
  SlotPtr slot = FindSlot(hwnd);
  if (!slot) return FALSE;
  for (HWND child : ChildrenOf(hwnd)) DestroyWindow(child);
  CWnd* window = nullptr;
  {
    CallLock call(slot);  // waits for a procedure running on another thread
    if (slot->destroying || slot->window == nullptr) return FALSE;
    slot->destroying = true;
    slot->window->WindowProc(WM_DESTROY, 0, 0);
    std::lock_guard state(slot->stateMutex);
    window = slot->window;
    slot->window = nullptr;
    slot->visible = false;
    WindowAccess::Forget(*window);
  }
  UnregisterSlot(hwnd);
  win::display::NotifyChanged(hwnd, win::display::kDestroyed);
  ForgetWindow(*slot->owner, hwnd);
  // After its waiting senders are released: the serving threads may be among them.
  UnpublishWindow(hwnd);
  DropWindowSurface(hwnd);
  ForgetMouseWindow(hwnd);
  WindowAccess::PostNcDestroy(*window);
  return TRUE;
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
  SlotPtr slot = FindSlot(hwnd);
  if (!slot) {
    DWORD threadId = 0;
    return RemoteOwner(hwnd, processId, &threadId) ? threadId : 0;
  }
  if (processId != nullptr) *processId = static_cast<DWORD>(getpid());
  return slot->ownerThread;
}

HWND GetParent(HWND hwnd) {
  SlotPtr slot = FindSlot(hwnd);
  return slot ? slot->parent : 0;
}

int GetDlgCtrlID(HWND hwnd) {
  SlotPtr slot = FindSlot(hwnd);
  return slot ? slot->controlId : 0;
}

HWND GetDlgItem(HWND dialog, int id) { return FindChild(dialog, id); }

BOOL ShowWindow(HWND hwnd, int command) {
  SlotPtr slot = FindSlot(hwnd);
  if (!slot || !IsAlive(*slot)) return FALSE;
  const bool show = command != SW_HIDE;
  const bool was = slot->visible.exchange(show);
  if (was != show) {
    // Shown, the window and what it holds are painted afresh.
    if (show) ::RedrawWindow(hwnd, nullptr, 0, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    win::display::NotifyChanged(hwnd, win::display::kShown);
    Notify(slot, WM_SHOWWINDOW, show ? TRUE : FALSE);
  }
  return was ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
  if (hwnd == 0) return FALSE;
  for (HWND h = hwnd; h != 0;) {
    SlotPtr slot = FindSlot(h);
    if (!slot || !slot->visible) return FALSE;
    // A dialog is an owned window, not a child: its owner's state does not hide it.
    h = slot->templateId != 0 ? 0 : slot->parent;
  }
  return TRUE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  SlotPtr slot = FindSlot(hwnd);
  if (!slot || !IsAlive(*slot)) return FALSE;
  const bool on = enable != FALSE;
  const bool was = slot->enabled.exchange(on);
  if (was != on) {
    ::InvalidateRect(hwnd, nullptr, TRUE);
    win::display::NotifyChanged(hwnd, win::display::kEnabled);
    Notify(slot, WM_ENABLE, on ? TRUE : FALSE);
  }
  return was ? FALSE : TRUE;
}

BOOL IsWindowEnabled(HWND hwnd) {
  SlotPtr slot = FindSlot(hwnd);
  return slot && IsAlive(*slot) && slot->enabled ? TRUE : FALSE;
}

BOOL SetWindowTextA(HWND hwnd, const char* text) {
  return SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0 ? TRUE : FALSE;
}

int GetWindowTextA(HWND hwnd, char* buffer, int maxCount) {
  if (buffer == nullptr || maxCount <= 0) return 0;
  buffer[0] = '\0';  // stays empty when the owner cannot answer
  return static_cast<int>(
      SendMessageA(hwnd, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthA(HWND hwnd) { return static_cast<int>(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0)); }

std::vector<WindowInfo> EnumerateWindows() {
  std::vector<WindowInfo> list;
  for (const SlotPtr& slot : AllSlots()) {
    std::lock_guard state(slot->stateMutex);
    if (slot->window == nullptr) continue;
    WindowInfo info;
    info.hwnd = slot->hwnd;
    info.parent = slot->parent;
    info.templateId = slot->templateId;
    info.controlId = slot->controlId;
    info.ownerThread = slot->ownerThread;
    info.kind = std::string(slot->window->Kind());  // a style change may change it
    info.visible = slot->visible;
    info.enabled = slot->enabled;
    std::optional<std::string> content = slot->window->ContentText();
    info.text = content ? std::move(*content) : slot->caption;
    list.push_back(std::move(info));
  }
  return list;
}
