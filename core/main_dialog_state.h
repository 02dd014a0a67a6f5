// Program-wide state driven by the main dialog's timers (written on the UI thread;
// words that other threads read are atomic).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "base/seconds_counter.h"

// Seconds since the timers started; every socket thread compares against it,
// and each change wakes the threads waiting for their per-second task.
extern SecondsCounter g_secondsCounter;
extern std::atomic<bool> g_startupDone;
extern std::atomic<std::uint16_t> g_voiceStartCountdown;
extern std::atomic<bool> g_quitting;
extern std::atomic<std::uint32_t> g_quitCountdown;
// 0 offline, 2 logged in.
extern std::atomic<std::uint32_t> g_networkState;
extern std::atomic<bool> g_sessionOpen;
extern std::atomic<std::uint16_t> g_reconnectCountdown;
extern std::atomic<std::uint16_t> g_hubListCountdown;
extern std::atomic<std::uint16_t> g_autoConnectCountdown;
extern std::atomic<std::uint16_t> g_atcListRebuildCountdown;
// The dashboard's ident: the flag the network is told of, and the half-second
// ticks its button still blinks.
extern std::atomic<std::uint16_t> g_dashBlinkCountdown;
extern std::atomic<std::uint32_t> g_dashIdentFlag;
extern std::atomic<std::uint16_t> g_transmitLampCountdown;
// Buttons of the push-to-talk joystick, polled every 100 ms (the voice thread reads them).
extern std::atomic<std::uint32_t> g_joystickButtons;
// The voice system has started (the own-aircraft poll keeps the radio texts only then).
extern std::atomic<bool> g_voiceStarted;
extern std::atomic<std::uint32_t> g_reportCounter;
extern std::atomic<std::uint32_t> g_hubRefreshCounter;
extern std::atomic<std::uint32_t> g_bellCountdown;
extern std::atomic<bool> g_inCockpitReporting;
// Set by the in-cockpit key sequence of the main dialog: the node's in-cockpit
// check then does not bring the main window up.
extern std::atomic<bool> g_inCockpitOverride;
// The program's trace mask (0 at start; the developer key sequence sets it to all ones).
extern std::atomic<std::uint32_t> g_traceMask;
// Derived from the machine identifier at start-up.
extern std::atomic<std::uint32_t> g_machineId;

constexpr int kVersionMajor = 11;
constexpr int kVersionMinor = 0;
constexpr int kVersionBuild = 4;
constexpr char kVersionLetter = 'B';
constexpr std::uint32_t kVersionWord = (kVersionMajor << 24) | (kVersionMinor << 16) | (kVersionBuild << 8) |
                                       static_cast<std::uint32_t>(kVersionLetter - 'A');
static_assert(kVersionWord == 0x0B000401);
// "v11.0.4.B"
const char* VersionText();
