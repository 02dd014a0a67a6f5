// The user loaded another aircraft: the window that lets him confirm its type
// is told. The type chooser registers the hook when it is created; until then
// (and in tests of the lower folders) nothing happens. Safe from any thread.
#pragma once

// Replaces the hook; null unregisters it.
void SetAircraftChangedHook(void (*hook)());

namespace ui_hook {
// False when no hook is registered.
bool AircraftChanged();
}  // namespace ui_hook
