#include "app/developer_flags.h"

#include "base/klib_settings.h"
#include "core/main_dialog_state.h"

DeveloperFlags& g_developerFlags() {
  static DeveloperFlags flags;
  return flags;
}

void SetDeveloperTracing(bool on) {
  const std::uint32_t mask = on ? 0xFFFFFFFFu : 0u;
  g_traceMask = mask;
  Klib().traceMask = mask;
  DeveloperFlags& flags = g_developerFlags();
  flags.protocolDebug = on;
  flags.streamMonitor = on;
  flags.linkDebug = on;
  flags.linkFrameDebug = on;
}
