#include "win/window_registry.h"

#include <map>

#include "win/window.h"

namespace win::detail {
namespace {

struct Registry {
  std::mutex mutex;
  std::map<HWND, SlotPtr> slots;  // ordered by handle, so listings follow creation
  HWND nextHandle = 0x00010000;    // far from control ids, so a mixed-up id is not a handle
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
  if (r.nextHandle == 0xFFFFFFFF) return 0;  // -1 stays reserved as a filter value
  return r.nextHandle++;
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

LRESULT CallWindowProcedure(const SlotPtr& slot, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!slot) return 0;
  std::lock_guard lock(slot->callMutex);
  CWnd* window = slot->window;
  return window != nullptr ? window->WindowProc(message, wParam, lParam) : 0;
}

LRESULT CallWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcedure(FindSlot(hwnd), message, wParam, lParam);
}

}  // namespace win::detail
