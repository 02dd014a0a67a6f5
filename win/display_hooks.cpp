#include "win/display_hooks.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace win::display {

namespace {
// Hooks once set stay alive for the process: a late reader on another thread
// never sees a freed set.
std::atomic<const Hooks*> g_hooks{nullptr};
std::mutex g_keptMutex;
std::vector<std::unique_ptr<const Hooks>>& KeptSets() {
  static auto* kept = new std::vector<std::unique_ptr<const Hooks>>;
  return *kept;
}
}  // namespace

void SetHooks(Hooks hooks) {
  std::lock_guard lock(g_keptMutex);
  KeptSets().push_back(std::make_unique<const Hooks>(std::move(hooks)));
  g_hooks.store(KeptSets().back().get());
}

void ClearHooks() { g_hooks.store(nullptr); }

const Hooks* CurrentHooks() { return g_hooks.load(); }

void NotifyChanged(HWND hwnd, unsigned changes) {
  const Hooks* hooks = CurrentHooks();
  if (hooks != nullptr && hooks->windowChanged) hooks->windowChanged(hwnd, changes);
}

}  // namespace win::display
