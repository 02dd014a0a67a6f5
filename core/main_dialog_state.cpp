#include "core/main_dialog_state.h"

#include <cstdio>

SecondsCounter g_secondsCounter;
std::atomic<bool> g_startupDone{false};
std::atomic<std::uint16_t> g_voiceStartCountdown{0};
std::atomic<bool> g_quitting{false};
std::atomic<std::uint32_t> g_quitCountdown{0};
std::atomic<std::uint32_t> g_networkState{0};
std::atomic<bool> g_sessionOpen{false};
std::atomic<std::uint16_t> g_reconnectCountdown{0};
std::atomic<std::uint16_t> g_hubListCountdown{0};
std::atomic<std::uint16_t> g_autoConnectCountdown{0};
std::atomic<std::uint16_t> g_atcListRebuildCountdown{0};
std::atomic<std::uint16_t> g_dashBlinkCountdown{0};
std::atomic<std::uint32_t> g_dashIdentFlag{0};
std::atomic<std::uint16_t> g_transmitLampCountdown{0};
std::atomic<std::uint32_t> g_joystickButtons{0};
std::atomic<bool> g_voiceStarted{false};
std::atomic<std::uint32_t> g_reportCounter{30};
std::atomic<std::uint32_t> g_hubRefreshCounter{0};
std::atomic<std::uint32_t> g_bellCountdown{0};
std::atomic<bool> g_inCockpitReporting{false};
std::atomic<bool> g_inCockpitOverride{false};
std::atomic<std::uint32_t> g_traceMask{0};
std::atomic<std::uint32_t> g_machineId{0};

const char* VersionText() {
  static const auto* text = [] {
    auto* buffer = new std::array<char, 32>();
    std::snprintf(buffer->data(), buffer->size(), "v%d.%d.%d.%c", kVersionMajor, kVersionMinor, kVersionBuild,
                  kVersionLetter);
    return buffer;
  }();
  return text->data();
}
