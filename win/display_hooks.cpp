#include "win/display_hooks.h"

#include <atomic>
#include <memory>

namespace win::display {

namespace {
// Hooks once set stay alive for the process: a late reader on another thread
// never sees a freed set.
std::atomic<const Hooks*> g_hooks{nullptr};
}  // namespace

void SetHooks(Hooks hooks) { g_hooks.store(new Hooks(std::move(hooks))); }

void ClearHooks() { g_hooks.store(nullptr); }

const Hooks* CurrentHooks() { return g_hooks.load(); }

void NotifyChanged(HWND hwnd, unsigned changes) {
  const Hooks* hooks = CurrentHooks();
  if (hooks != nullptr && hooks->windowChanged) hooks->windowChanged(hwnd, changes);
}

}  // namespace win::display
