#include "win/timers.h"

#include <atomic>

#include <algorithm>

#include "win/clock.h"
#include "win/message_filter.h"
#include "win/message_queue.h"
#include "win/window_registry.h"

namespace win::detail {

bool TakeDueTimer(TimerTable& table, std::uint64_t nowTick, HWND filter, UINT first, UINT last, bool remove,
                  MSG* out) {
  QueueTimer* earliest = nullptr;
  for (QueueTimer& timer : table.timers) {
    if (timer.dueTick > nowTick || !PassesFilter(timer.hwnd, WM_TIMER, filter, first, last)) continue;
    if (earliest == nullptr || timer.dueTick < earliest->dueTick) earliest = &timer;
  }
  if (earliest == nullptr) return false;
  *out = MSG{earliest->hwnd, WM_TIMER, earliest->id, reinterpret_cast<LPARAM>(earliest->proc),
             static_cast<DWORD>(nowTick)};
  if (remove) earliest->dueTick = nowTick + earliest->elapseMs;
  return true;
}

std::optional<std::uint64_t> NextTimerDue(const TimerTable& table, HWND filter, UINT first, UINT last) {
  std::optional<std::uint64_t> next;
  for (const QueueTimer& timer : table.timers) {
    if (!PassesFilter(timer.hwnd, WM_TIMER, filter, first, last)) continue;
    if (!next || timer.dueTick < *next) next = timer.dueTick;
  }
  return next;
}

void RemoveWindowTimers(TimerTable& table, HWND hwnd) {
  std::erase_if(table.timers, [hwnd](const QueueTimer& timer) { return timer.hwnd == hwnd; });
}

TIMERPROC RunningTimerProc(const TimerTable& table, HWND hwnd, UINT_PTR id) {
  for (const QueueTimer& timer : table.timers) {
    if (timer.hwnd == hwnd && timer.id == id) return timer.proc;
  }
  return nullptr;
}

namespace {

// The queue that runs a window's timers (its owner's) or the caller's own thread timers.
std::shared_ptr<ThreadQueue> TimerQueueFor(HWND hwnd) {
  if (hwnd == 0) return CurrentQueue();
  SlotPtr slot = FindSlot(hwnd);
  if (!slot) return nullptr;
  std::lock_guard state(slot->stateMutex);
  return slot->window != nullptr ? slot->owner : nullptr;
}

}  // namespace
}  // namespace win::detail

using namespace win::detail;

namespace {
std::atomic<UINT_PTR> g_failingTimerId{0};
}

void SetTimerFailureForTest(UINT_PTR id) { g_failingTimerId.store(id); }

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
  if (id != 0 && id == g_failingTimerId.load()) return 0;
  std::shared_ptr<ThreadQueue> queue = TimerQueueFor(hwnd);
  if (!queue) return 0;
  const UINT elapse = std::clamp(elapseMs, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
  std::lock_guard lock(queue->mutex);
  if (queue->gone) return 0;
  std::vector<QueueTimer>& timers = queue->timers.timers;
  auto existing = std::find_if(timers.begin(), timers.end(),
                               [&](const QueueTimer& t) { return t.hwnd == hwnd && t.id == id; });
  if (hwnd == 0 && existing == timers.end()) {
    // A new thread timer gets an id of its own that no running one has.
    do {
      id = queue->timers.nextThreadTimerId++;
    } while (id == 0 || std::any_of(timers.begin(), timers.end(),
                                    [id](const QueueTimer& t) { return t.hwnd == 0 && t.id == id; }));
  }
  const QueueTimer timer{hwnd, id, elapse, proc, GetTickCount64() + elapse};
  if (existing != timers.end()) {
    *existing = timer;
  } else {
    timers.push_back(timer);
  }
  WakeQueue(*queue);  // the loop recomputes its deadline
  return id != 0 ? id : 1;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  std::shared_ptr<ThreadQueue> queue = TimerQueueFor(hwnd);
  if (!queue) return FALSE;
  std::lock_guard lock(queue->mutex);
  const auto removed = std::erase_if(queue->timers.timers,
                                     [&](const QueueTimer& t) { return t.hwnd == hwnd && t.id == id; });
  return removed > 0 ? TRUE : FALSE;
}
