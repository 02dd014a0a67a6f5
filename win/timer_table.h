// The timers of one thread's queue, and the hooks its message loop calls.
// Callers hold the queue's lock.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "win/messages.h"
#include "win/timers.h"

namespace win::detail {

struct QueueTimer {
  HWND hwnd = 0;
  UINT_PTR id = 0;
  UINT elapseMs = 0;
  TIMERPROC proc = nullptr;
  std::uint64_t dueTick = 0;
};

struct TimerTable {
  std::vector<QueueTimer> timers;
  UINT_PTR nextThreadTimerId = 1;
};

// Takes the earliest due timer that passes the filter as a WM_TIMER; with
// `remove` it is rearmed from `nowTick`, so a late loop gets one message, not a burst.
bool TakeDueTimer(TimerTable& table, std::uint64_t nowTick, HWND filter, UINT first, UINT last, bool remove,
                  MSG* out);
// The tick at which the loop must look again for timers passing the filter;
// nullopt when none runs.
std::optional<std::uint64_t> NextTimerDue(const TimerTable& table, HWND filter, UINT first, UINT last);
void RemoveWindowTimers(TimerTable& table, HWND hwnd);
// The procedure of a running timer, so a dispatched WM_TIMER calls only what was set.
TIMERPROC RunningTimerProc(const TimerTable& table, HWND hwnd, UINT_PTR id);

}  // namespace win::detail
