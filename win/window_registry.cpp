#include "win/window_registry.h"

#include <algorithm>
#include <array>
#include <map>
#include <span>

#include "win/os_thread.h"
#include "win/paint.h"
#include "win/remote_link.h"
#include "win/window.h"

namespace win::detail {
namespace {

struct Registry {
  std::mutex mutex;
  std::map<HWND, SlotPtr> slots;  // ordered by handle, so listings follow creation
  bool claimed = false;
  HWND firstHandle = 0;
  HWND nextHandle = 0;
  HWND endHandle = 0;
};

// Never destroyed: threads that outlive main may still look up windows.
Registry& TheRegistry() {
  static Registry* registry = new Registry();
  return *registry;
}

}  // namespace

HWND AllocateHandle() {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  if (!r.claimed) {
    // Claimed at the first window, so TK_WINDOWS is read as the process started.
    const HandleRange range = ClaimHandleRange();
    r.firstHandle = range.first;
    r.nextHandle = range.first;
    r.endHandle = range.end;
    r.claimed = true;
  }
  if (r.nextHandle >= r.endHandle) return 0;
  return r.nextHandle++;
}

bool IsOwnHandle(HWND hwnd) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  return r.claimed && hwnd >= r.firstHandle && hwnd < r.endHandle;
}

void RegisterSlot(const SlotPtr& slot) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.slots.emplace(slot->hwnd, slot);
}

void UnregisterSlot(HWND hwnd) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.slots.erase(hwnd);
}

SlotPtr FindSlot(HWND hwnd) {
  if (hwnd == 0) return nullptr;
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  auto it = r.slots.find(hwnd);
  return it == r.slots.end() ? nullptr : it->second;
}

std::vector<HWND> ChildrenOf(HWND parent) {
  std::vector<HWND> children;
  if (parent == 0) return children;
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  for (const auto& [hwnd, slot] : r.slots) {
    if (slot->parent == parent) children.push_back(hwnd);
  }
  return children;
}

HWND FindChild(HWND parent, int controlId) {
  if (parent == 0) return 0;
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  for (const auto& [hwnd, slot] : r.slots) {
    if (slot->parent == parent && slot->controlId == controlId) return hwnd;
  }
  return 0;
}

std::vector<SlotPtr> AllSlots() {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  std::vector<SlotPtr> all;
  all.reserve(r.slots.size());
  for (const auto& entry : r.slots) all.push_back(entry.second);
  return all;
}

namespace {

// The call locks this thread holds, in the order taken, each with its depth;
// one let go for another window's call keeps its place with depth 0. Each entry
// belongs to a live CallLock, whose slot pointer keeps the slot. Plain data:
// windows are still destroyed after the thread's own objects have gone at exit.
struct HeldCall {
  WindowSlot* slot = nullptr;
  int depth = 0;
  bool letGo = false;
};
struct HeldCalls {
  std::array<HeldCall, 64> entries{};
  std::size_t count = 0;
  std::span<HeldCall> Live() { return std::span(entries).first(count); }
};
thread_local HeldCalls t_held;

HeldCall* HeldEntry(const WindowSlot* slot) {
  for (HeldCall& held : t_held.Live()) {
    if (held.slot == slot) return &held;
  }
  return nullptr;
}

bool IsDescendant(const WindowSlot& slot, HWND ancestor) {
  HWND up = slot.parent;
  for (int hops = 0; up != 0 && hops < 64; ++hops) {
    if (up == ancestor) return true;
    SlotPtr above = FindSlot(up);
    if (!above) return false;
    up = above->parent;
  }
  return false;
}

// The top of the slot's line of parents.
HWND RootOf(const WindowSlot& slot) {
  HWND root = slot.hwnd;
  HWND up = slot.parent;
  for (int hops = 0; up != 0 && hops < 64; ++hops) {
    root = up;
    SlotPtr above = FindSlot(up);
    if (!above) break;
    up = above->parent;
  }
  return root;
}

}  // namespace

CallLock::CallLock(const SlotPtr& slot) : slot_(slot) {
  // Of the slot's own window tree only its ancestors stay held. Innermost
  // first, so that they are taken again outermost first.
  const std::span<HeldCall> live = t_held.Live();
  const HWND root = live.empty() ? 0 : RootOf(*slot_);
  for (auto it = live.rbegin(); it != live.rend(); ++it) {
    if (it->depth == 0 || it->slot == slot_.get() || IsDescendant(*slot_, it->slot->hwnd)) continue;
    if (RootOf(*it->slot) != root) continue;
    released_.emplace_back(it->slot, it->depth);
    for (int i = 0; i < it->depth; ++i) it->slot->callMutex.unlock();
    it->depth = 0;
    it->letGo = true;
  }
  slot_->callMutex.lock();
  if (HeldCall* held = HeldEntry(slot_.get())) {
    ++held->depth;
  } else if (t_held.count < t_held.entries.size()) {
    t_held.entries[t_held.count++] = HeldCall{slot_.get(), 1, false};
  }
}

CallLock::~CallLock() {
  slot_->callMutex.unlock();
  if (HeldCall* held = HeldEntry(slot_.get()); held != nullptr && --held->depth == 0 && !held->letGo) {
    const std::span<HeldCall> live = t_held.Live();
    std::copy(live.begin() + (held - live.data()) + 1, live.end(), held);
    --t_held.count;
  }
  for (auto it = released_.rbegin(); it != released_.rend(); ++it) {
    for (int i = 0; i < it->second; ++i) it->first->callMutex.lock();
    if (HeldCall* entry = HeldEntry(it->first)) {
      entry->depth += it->second;
      entry->letGo = false;
    }
  }
}

std::vector<HWND> CallLocksHeldHere() {
  std::vector<HWND> held;
  for (const HeldCall& h : t_held.Live()) {
    if (h.depth > 0) held.push_back(h.slot->hwnd);
  }
  return held;
}

namespace {

bool IsCtlColor(UINT message) { return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC; }

// The child a parent's message comes from, when it is one that is reflected.
HWND ReflectedFrom(HWND parent, UINT message, WPARAM, LPARAM lParam) {
  if (lParam == 0) return 0;
  switch (message) {
    case WM_COMMAND:
      return static_cast<HWND>(lParam);  // a control's notice; menus and accelerators carry none
    case WM_NOTIFY:
      return reinterpret_cast<const NMHDR*>(lParam)->hwndFrom;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      return item->CtlType != ODT_MENU ? item->hwndItem : 0;
    }
    case WM_MEASUREITEM: {
      const auto* item = reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam);
      return item->CtlType != ODT_MENU ? FindChild(parent, static_cast<int>(item->CtlID)) : 0;
    }
    default:
      return IsCtlColor(message) ? static_cast<HWND>(lParam) : 0;
  }
}

// Offers the message to the child that sent it, on the owner thread, before
// the parent's procedure (and its lock) is taken. True when the child kept it.
bool ReflectToChild(const WindowSlot& parent, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message != WM_COMMAND && message != WM_NOTIFY && message != WM_DRAWITEM && message != WM_MEASUREITEM &&
      !IsCtlColor(message)) {
    return false;
  }
  const HWND from = ReflectedFrom(parent.hwnd, message, wParam, lParam);
  if (from == 0 || from == parent.hwnd) return false;
  SlotPtr child = FindSlot(from);
  if (!child || child->parent != parent.hwnd || child->ownerThread != GetCurrentThreadId()) return false;
  CallLock lock(child);
  CWnd* window = child->window;
  if (window == nullptr) return false;
  LRESULT answer = 0;
  if (!window->OnChildNotify(message, wParam, lParam, &answer)) return false;
  *result = answer;
  return true;
}

}  // namespace

LRESULT CallWindowProcedure(const SlotPtr& slot, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!slot) return 0;
  if (LRESULT reflected = 0; ReflectToChild(*slot, message, wParam, lParam, &reflected)) return reflected;
  CallLock lock(slot);
  CWnd* window = slot->window;
  return window != nullptr ? window->WindowProc(message, wParam, lParam) : 0;
}

LRESULT CallWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcedure(FindSlot(hwnd), message, wParam, lParam);
}

void BindWindowObject(HWND hwnd) {
  SlotPtr slot = FindSlot(hwnd);
  if (!slot || slot->bound) return;
  slot->bound = true;
  CallLock lock(slot);
  if (CWnd* window = slot->window) window->PreSubclassWindow();
}

void EndTemplateBinding(HWND dialog) {
  SlotPtr slot = FindSlot(dialog);
  if (!slot) return;
  slot->bindChildrenLater = false;
  for (HWND child : ChildrenOf(dialog)) BindWindowObject(child);
}

}  // namespace win::detail
