// Timers: WM_TIMER messages produced by the owning thread's message loop.
#pragma once

#include "win/messages.h"
#include "win/types.h"

using TIMERPROC = void (*)(HWND hwnd, UINT message, UINT_PTR id, DWORD time);

constexpr UINT USER_TIMER_MINIMUM = 10;
constexpr UINT USER_TIMER_MAXIMUM = 0x7FFFFFFF;

// With a window the timer belongs to that window's thread and keeps the id
// given (a second SetTimer with the same id restarts it); the return is non-zero.
// Without a window it belongs to the calling thread and the id is chosen here,
// unless `id` names a thread timer that already exists. 0 for an unknown window.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

// Tests: every SetTimer with this id fails (0 = none).
void SetTimerFailureForTest(UINT_PTR id);
