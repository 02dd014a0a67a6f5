#include "core/aircraft_change_hook.h"

#include <atomic>

namespace {
std::atomic<void (*)()> g_aircraftChangedHook{nullptr};
}  // namespace

void SetAircraftChangedHook(void (*hook)()) { g_aircraftChangedHook = hook; }

namespace ui_hook {
bool AircraftChanged() {
  const auto hook = g_aircraftChangedHook.load();
  if (hook == nullptr) return false;
  hook();
  return true;
}
}  // namespace ui_hook
