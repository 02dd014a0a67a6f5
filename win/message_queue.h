// Per-thread message queues: posted messages, cross-thread sends waiting to
// be served, the quit flag and the thread's timers. Internal to win/.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>

#include "win/messages.h"
#include "win/timer_table.h"
#include "win/update_region.h"

namespace win::detail {

struct ThreadQueue;
struct WindowSlot;

// A SendMessage handed to another thread. `started` is guarded by the target
// queue's lock, `result` and `done` by the reply queue's lock.
struct SentCall {
  HWND hwnd = 0;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  std::shared_ptr<ThreadQueue> replyTo;
  bool started = false;
  bool done = false;
  bool answered = false;  // false when released unserved
  LRESULT result = 0;
};

struct ThreadQueue {
  DWORD threadId = 0;
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<MSG> posted;
  std::deque<std::shared_ptr<SentCall>> sent;
  bool quitPosted = false;
  int quitCode = 0;
  // Set when the loop has taken WM_QUIT or the thread has gone: sends fail at
  // once instead of waiting for a loop that will not serve them.
  bool ended = false;
  bool gone = false;
  TimerTable timers;
  UpdateRegions updates;
};

// Windows refuses posts beyond this; a stuck loop must not grow without bound.
constexpr std::size_t kPostedMessageLimit = 10'000;

// The calling thread's queue, made on first use.
std::shared_ptr<ThreadQueue> CurrentQueue();
std::shared_ptr<ThreadQueue> QueueOfThread(DWORD threadId);

// Wakes the queue's thread, wherever it waits: on the queue's condition or,
// for the display's UI thread, in the display's events. The caller holds the
// queue's lock; the display's wake only records, so nothing calls back.
void WakeQueue(ThreadQueue& queue);

BOOL PostToQueue(ThreadQueue& queue, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Hands a call to the owner and waits for it, serving sends to the caller's own
// windows meanwhile. timeoutMs < 0 waits without limit. False when the owner
// cannot serve it (loop ended, thread gone, window destroyed) or on timeout.
bool SendToOwner(const std::shared_ptr<WindowSlot>& window, UINT message, WPARAM wParam, LPARAM lParam,
                 int timeoutMs, LRESULT* result);
// Answers 0 to waiting sends aimed at `hwnd` (every send when hwnd is 0).
void FailSentCalls(ThreadQueue& queue, HWND hwnd);
// Called when a window goes: its waiting senders are released and its timers stop.
void ForgetWindow(ThreadQueue& queue, HWND hwnd);

// Runs the calling thread's waiting sends now (for a thread blocked on another process).
void ServeWaitingSends();

// Diagnostics for tests: sends waiting in a thread's queue, not yet started.
std::size_t QueuedSendCount(DWORD threadId);

}  // namespace win::detail
