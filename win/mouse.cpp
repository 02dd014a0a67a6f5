#include "win/mouse.h"

#include <cstdlib>
#include <mutex>

#include "win/clock.h"
#include "win/cursors.h"
#include "win/message_queue.h"
#include "win/mouse_state.h"
#include "win/os_thread.h"
#include "win/paint.h"
#include "win/styles.h"
#include "win/control_base.h"
#include "win/window.h"
#include "win/window_pos.h"
#include "win/window_registry.h"

namespace {

using win::detail::FindSlot;
using win::detail::SlotPtr;

constexpr UINT kDefaultDoubleClickMs = 500;
constexpr LONG kDoubleClickDistance = 4;

struct MouseState {
  std::mutex mutex;
  POINT cursor;
  HWND capture = 0;
  HWND tracked = 0;  // TME_LEAVE asked
  HWND active = 0;
  bool left = false;
  bool right = false;
  HWND lastPress = 0;
  POINT lastPressAt;
  std::uint64_t lastPressTick = 0;
  bool lastWasDouble = false;
  UINT doubleClickMs = kDefaultDoubleClickMs;
};

MouseState& State() {
  static MouseState* state = new MouseState();
  return *state;
}

// A message to a window on its owner thread, waited for from any other.
LRESULT Deliver(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  SlotPtr slot = FindSlot(hwnd);
  if (!slot || !IsWindow(hwnd)) return 0;
  if (slot->ownerThread == GetCurrentThreadId()) return win::detail::CallWindowProcedure(slot, message, wParam, lParam);
  LRESULT result = 0;
  win::detail::SendToOwner(slot, message, wParam, lParam, -1, &result);
  return result;
}

bool Contains(HWND hwnd, POINT screen) {
  RECT r;
  return ::GetWindowRect(hwnd, &r) && PtInRect(&r, screen);
}

// Group boxes and labels without SS_NOTIFY let the mouse through to what lies under them.
bool LetsMouseThrough(HWND hwnd) {
  const DWORD style = static_cast<DWORD>(SendMessageA(hwnd, ControlStyleMessage(), 0, 0));
  SlotPtr slot = FindSlot(hwnd);
  if (!slot) return true;
  if (slot->kind == "static" || slot->kind == "picture") return (style & SS_NOTIFY) == 0;
  return slot->threadSafe && (slot->kind == "button" || slot->kind == "checkbox") &&
         (style & BS_TYPEMASK) == BS_GROUPBOX;
}

bool IsChildWindow(const SlotPtr& slot) { return slot->parent != 0 && slot->templateId == 0; }

HWND DeepestAt(HWND hwnd, POINT screen) {
  for (HWND child : win::detail::ChildrenOf(hwnd)) {
    SlotPtr slot = FindSlot(child);
    if (!slot || !IsChildWindow(slot) || !slot->visible || !slot->enabled) continue;
    if (!Contains(child, screen) || LetsMouseThrough(child)) continue;
    return DeepestAt(child, screen);
  }
  return hwnd;
}

WPARAM HeldKeys(const MouseState& s) { return (s.left ? MK_LBUTTON : 0) | (s.right ? MK_RBUTTON : 0); }

LPARAM ClientPoint(HWND hwnd, POINT screen) {
  ::ScreenToClient(hwnd, &screen);
  return MAKELPARAM(screen.x, screen.y);
}

// Where mouse messages go now: the capture window, else the one under the cursor.
HWND Target(POINT* at, WPARAM* keys) {
  MouseState& s = State();
  std::lock_guard lock(s.mutex);
  *at = s.cursor;
  *keys = HeldKeys(s);
  if (s.capture != 0 && IsWindow(s.capture)) return s.capture;
  return 0;
}

void Press(bool leftButton) {
  POINT at;
  WPARAM keys = 0;
  HWND target = Target(&at, &keys);
  const bool captured = target != 0;
  if (!captured) target = WindowFromPoint(at);
  UINT message = leftButton ? WM_LBUTTONDOWN : WM_RBUTTONDOWN;
  {
    MouseState& s = State();
    std::lock_guard lock(s.mutex);
    (leftButton ? s.left : s.right) = true;
    keys = HeldKeys(s);
    if (leftButton) {
      const std::uint64_t now = GetTickCount64();
      const bool near = std::abs(at.x - s.lastPressAt.x) <= kDoubleClickDistance &&
                        std::abs(at.y - s.lastPressAt.y) <= kDoubleClickDistance;
      const bool twice = !s.lastWasDouble && s.lastPress == target && target != 0 && near &&
                         now - s.lastPressTick <= s.doubleClickMs;
      if (twice) message = WM_LBUTTONDBLCLK;
      s.lastWasDouble = twice;
      s.lastPress = target;
      s.lastPressAt = at;
      s.lastPressTick = now;
    }
  }
  if (target == 0) return;
  if (!captured) {
    // A click activates the dialog it falls in.
    HWND top = target;
    for (SlotPtr slot = FindSlot(top); slot && IsChildWindow(slot); slot = FindSlot(top)) top = slot->parent;
    if (GetActiveWindow() != top) SetActiveWindow(top);
  }
  Deliver(target, message, keys, ClientPoint(target, at));
}

void Release(bool leftButton) {
  POINT at;
  WPARAM keys = 0;
  HWND target = Target(&at, &keys);
  if (target == 0) target = WindowFromPoint(at);
  {
    MouseState& s = State();
    std::lock_guard lock(s.mutex);
    (leftButton ? s.left : s.right) = false;
    keys = HeldKeys(s);
  }
  if (target != 0) Deliver(target, leftButton ? WM_LBUTTONUP : WM_RBUTTONUP, keys, ClientPoint(target, at));
}

}  // namespace

namespace win::detail {

void ForgetMouseWindow(HWND hwnd) {
  MouseState& s = State();
  std::lock_guard lock(s.mutex);
  if (s.capture == hwnd) s.capture = 0;
  if (s.tracked == hwnd) s.tracked = 0;
  if (s.active == hwnd) s.active = 0;
  if (s.lastPress == hwnd) s.lastPress = 0;
}

}  // namespace win::detail

BOOL TrackMouseEvent(TRACKMOUSEEVENT* track) {
  if (track == nullptr || track->cbSize != sizeof(TRACKMOUSEEVENT)) return FALSE;
  MouseState& s = State();
  if ((track->dwFlags & TME_QUERY) != 0) {
    std::lock_guard lock(s.mutex);
    track->dwFlags = s.tracked != 0 ? TME_LEAVE : 0;
    track->hwndTrack = s.tracked;
    track->dwHoverTime = 0;
    return TRUE;
  }
  if (!IsWindow(track->hwndTrack)) return FALSE;
  if ((track->dwFlags & TME_LEAVE) == 0) return TRUE;
  POINT at;
  {
    std::lock_guard lock(s.mutex);
    if ((track->dwFlags & TME_CANCEL) != 0) {
      if (s.tracked == track->hwndTrack) s.tracked = 0;
      return TRUE;
    }
    at = s.cursor;
  }
  if (WindowFromPoint(at) != track->hwndTrack) {
    // Not over it now: it has left already.
    PostMessageA(track->hwndTrack, WM_MOUSELEAVE, 0, 0);
    return TRUE;
  }
  std::lock_guard lock(s.mutex);
  s.tracked = track->hwndTrack;
  return TRUE;
}

BOOL _TrackMouseEvent(TRACKMOUSEEVENT* track) { return TrackMouseEvent(track); }  // NOLINT

HWND SetCapture(HWND hwnd) {
  if (hwnd != 0 && !IsWindow(hwnd)) return 0;
  HWND before = 0;
  {
    MouseState& s = State();
    std::lock_guard lock(s.mutex);
    before = s.capture;
    s.capture = hwnd;
  }
  if (before != 0 && before != hwnd && IsWindow(before)) {
    Deliver(before, WM_CAPTURECHANGED, 0, static_cast<LPARAM>(hwnd));
  }
  return IsWindow(before) ? before : 0;
}

BOOL ReleaseCapture() {
  SetCapture(0);
  return TRUE;
}

HWND GetCapture() {
  MouseState& s = State();
  std::lock_guard lock(s.mutex);
  return IsWindow(s.capture) ? s.capture : 0;
}

HWND WindowFromPoint(POINT point) {
  // Dialogs: the topmost ones first, then the one made last.
  HWND best = 0;
  bool bestTopmost = false;
  for (const SlotPtr& slot : win::detail::AllSlots()) {
    if (IsChildWindow(slot) || !IsWindow(slot->hwnd) || !slot->visible || !Contains(slot->hwnd, point)) continue;
    const bool topmost = IsWindowTopmost(slot->hwnd);
    if (best == 0 || topmost || !bestTopmost) {
      best = slot->hwnd;
      bestTopmost = bestTopmost || topmost;
    }
  }
  return best != 0 ? DeepestAt(best, point) : 0;
}

HWND ChildWindowFromPoint(HWND parent, POINT point) {
  RECT client;
  if (!::GetClientRect(parent, &client) || !PtInRect(&client, point)) return 0;
  POINT screen = point;
  ::ClientToScreen(parent, &screen);
  for (HWND child : win::detail::ChildrenOf(parent)) {
    SlotPtr slot = FindSlot(child);
    if (slot && IsChildWindow(slot) && Contains(child, screen)) return child;
  }
  return parent;
}

UINT GetDoubleClickTime() {
  MouseState& s = State();
  std::lock_guard lock(s.mutex);
  return s.doubleClickMs;
}

BOOL SetDoubleClickTime(UINT milliseconds) {
  MouseState& s = State();
  std::lock_guard lock(s.mutex);
  s.doubleClickMs = milliseconds == 0 ? kDefaultDoubleClickMs : milliseconds;
  return TRUE;
}

BOOL GetCursorPos(POINT* point) {
  if (point == nullptr) return FALSE;
  MouseState& s = State();
  std::lock_guard lock(s.mutex);
  *point = s.cursor;
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  win::MouseMoveTo(POINT{x, y});
  return TRUE;
}

HWND SetActiveWindow(HWND hwnd) {
  if (hwnd != 0 && !IsWindow(hwnd)) return 0;
  HWND before = 0;
  {
    MouseState& s = State();
    std::lock_guard lock(s.mutex);
    before = s.active;
    s.active = hwnd;
  }
  if (before == hwnd) return before;
  if (before != 0 && IsWindow(before)) Deliver(before, WM_ACTIVATE, MAKELONG(WA_INACTIVE, 0), static_cast<LPARAM>(hwnd));
  if (hwnd != 0) Deliver(hwnd, WM_ACTIVATE, MAKELONG(WA_ACTIVE, 0), static_cast<LPARAM>(before));
  return IsWindow(before) ? before : 0;
}

HWND GetActiveWindow() {
  MouseState& s = State();
  std::lock_guard lock(s.mutex);
  return IsWindow(s.active) ? s.active : 0;
}

HWND GetForegroundWindow() { return GetActiveWindow(); }

BOOL SetForegroundWindow(HWND hwnd) {
  if (!IsWindow(hwnd)) return FALSE;
  SetActiveWindow(hwnd);
  return TRUE;
}

namespace win {

void MouseMoveTo(POINT screen) {
  HWND leaving = 0;
  {
    MouseState& s = State();
    std::lock_guard lock(s.mutex);
    s.cursor = screen;
  }
  const HWND under = WindowFromPoint(screen);
  POINT at;
  WPARAM keys = 0;
  const HWND captured = Target(&at, &keys);
  {
    MouseState& s = State();
    std::lock_guard lock(s.mutex);
    if (s.tracked != 0 && s.tracked != under) {
      leaving = s.tracked;
      s.tracked = 0;
    }
  }
  if (leaving != 0) PostMessageA(leaving, WM_MOUSELEAVE, 0, 0);
  const HWND target = captured != 0 ? captured : under;
  if (target == 0) return;
  if (captured == 0 &&
      Deliver(target, WM_SETCURSOR, static_cast<WPARAM>(target), MAKELONG(HTCLIENT, WM_MOUSEMOVE)) == 0) {
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  }
  Deliver(target, WM_MOUSEMOVE, keys, ClientPoint(target, screen));
}

void MouseLeftDown() { Press(true); }
void MouseLeftUp() { Release(true); }
void MouseRightDown() { Press(false); }
void MouseRightUp() { Release(false); }

void MouseClickAt(POINT screen) {
  MouseMoveTo(screen);
  MouseLeftDown();
  MouseLeftUp();
}

void ResetMouseForTest() {
  MouseState& s = State();
  std::lock_guard lock(s.mutex);
  s.left = s.right = false;
  s.lastPress = 0;
  s.lastWasDouble = false;
  s.capture = 0;
  s.tracked = 0;
}

void BroadcastSysColorChange() {
  for (const WindowInfo& w : EnumerateWindows()) {
    Deliver(w.hwnd, WM_SYSCOLORCHANGE, 0, 0);
    InvalidateRect(w.hwnd, nullptr, TRUE);
  }
}

}  // namespace win
