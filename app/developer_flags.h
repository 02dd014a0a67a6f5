// Switches for developers: the key sequence turns them all on or off, and a
// few menu commands and clicks flip one each.
#pragma once

#include <atomic>

struct DeveloperFlags {
  std::atomic<bool> protocolDebug{false};
  std::atomic<bool> streamMonitor{false};
  std::atomic<bool> sbTrace{false};
  // The Dash button's CTRL-click flips it; nothing reads it.
  std::atomic<bool> teka{false};
  // The simulator link's two debug switches.
  std::atomic<bool> linkDebug{false};
  std::atomic<bool> linkFrameDebug{false};
};

DeveloperFlags& g_developerFlags();

// Tracing on: every trace category (the program's mask and the library's), the
// protocol and stream debug flags and the link's two; off: all of them cleared.
void SetDeveloperTracing(bool on);
