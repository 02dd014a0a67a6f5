#include "core/locate_hooks.h"

#include <atomic>

namespace {
std::atomic<void (*)()> g_refreshHook{nullptr};
}  // namespace

void SetLocateRefreshHook(void (*hook)()) { g_refreshHook.store(hook); }

void RequestLocateRefresh() {
  if (void (*hook)() = g_refreshHook.load()) hook();
}
