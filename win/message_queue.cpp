#include "win/message_queue.h"

#include <algorithm>
#include <chrono>
#include <unordered_map>

#include "win/clock.h"
#include "win/display_hooks.h"
#include "win/message_filter.h"
#include "win/os_thread.h"
#include "win/remote_link.h"
#include "win/update_region.h"
#include "win/window.h"
#include "win/window_registry.h"

namespace win::detail {
namespace {

struct QueueRegistry {
  std::mutex mutex;
  std::unordered_map<DWORD, std::shared_ptr<ThreadQueue>> queues;
};

// Never destroyed: threads that outlive main may still post.
QueueRegistry& Queues() {
  static QueueRegistry* registry = new QueueRegistry();
  return *registry;
}

void Complete(SentCall& call, LRESULT result, bool answered) {
  ThreadQueue& reply = *call.replyTo;
  std::lock_guard lock(reply.mutex);
  call.result = result;
  call.answered = answered;
  call.done = true;
  WakeQueue(reply);
}

void Serve(const std::shared_ptr<SentCall>& call) {
  if (call->message == PaintNowMessage()) {
    PaintNow(call->hwnd);
    Complete(*call, 0, true);
    return;
  }
  Complete(*call, CallWindowProcedure(call->hwnd, call->message, call->wParam, call->lParam), true);
}

// The caller holds the queue's lock.
std::shared_ptr<SentCall> TakeSent(ThreadQueue& queue) {
  if (queue.sent.empty()) return nullptr;
  std::shared_ptr<SentCall> call = std::move(queue.sent.front());
  queue.sent.pop_front();
  call->started = true;
  return call;
}

// Stops taking sends and releases those waiting; returns with the lock released.
void EndServing(std::unique_lock<std::mutex>& lock, ThreadQueue& queue) {
  queue.ended = true;
  std::deque<std::shared_ptr<SentCall>> waiting;
  waiting.swap(queue.sent);
  lock.unlock();
  for (const auto& call : waiting) Complete(*call, 0, false);
}

// Releases the thread's queue when the thread ends, so nobody waits on it.
struct QueueHolder {
  std::shared_ptr<ThreadQueue> queue;

  QueueHolder() = default;
  QueueHolder(const QueueHolder&) = delete;
  QueueHolder& operator=(const QueueHolder&) = delete;
  ~QueueHolder() {
    if (!queue) return;
    {
      std::lock_guard lock(Queues().mutex);
      Queues().queues.erase(queue->threadId);
    }
    std::unique_lock lock(queue->mutex);
    queue->gone = true;
    queue->posted.clear();
    queue->timers.timers.clear();
    queue->updates.clear();
    EndServing(lock, *queue);
  }
};

thread_local QueueHolder t_holder;

bool TakePosted(ThreadQueue& queue, HWND filter, UINT first, UINT last, bool remove, MSG* out) {
  auto it = std::find_if(queue.posted.begin(), queue.posted.end(), [&](const MSG& m) {
    return PassesFilter(m.hwnd, m.message, filter, first, last);
  });
  if (it == queue.posted.end()) return false;
  *out = *it;
  if (remove) queue.posted.erase(it);
  return true;
}

MSG QuitMessage(const ThreadQueue& queue) {
  MSG quit;
  quit.message = WM_QUIT;
  quit.wParam = static_cast<WPARAM>(static_cast<std::intptr_t>(queue.quitCode));
  quit.time = GetTickCount();
  return quit;
}

// The display's hooks when `queue` is its UI thread's: that thread waits in
// the display's events, which serve the windows on screen meanwhile.
const win::display::Hooks* DisplayWaitOf(const ThreadQueue& queue) {
  const win::display::Hooks* hooks = win::display::CurrentHooks();
  if (hooks == nullptr || hooks->uiThread != queue.threadId || !hooks->waitForEvents) return nullptr;
  return hooks;
}

// While messages keep coming the UI thread never waits; the display still
// gets its turn this often, so the windows on screen keep up.
constexpr std::uint64_t kDisplayTurnMs = 15;
thread_local std::uint64_t t_lastDisplayTurn = 0;

void GiveDisplayItsTurn(std::unique_lock<std::mutex>& lock, const win::display::Hooks& hooks, int timeoutMs) {
  lock.unlock();
  hooks.waitForEvents(timeoutMs);
  t_lastDisplayTurn = GetTickCount64();
  lock.lock();
}

}  // namespace

void WakeQueue(ThreadQueue& queue) {
  queue.wake.notify_all();
  const win::display::Hooks* hooks = win::display::CurrentHooks();
  if (hooks != nullptr && hooks->uiThread == queue.threadId && hooks->wakeUiThread) hooks->wakeUiThread();
}

std::shared_ptr<ThreadQueue> CurrentQueue() {
  if (!t_holder.queue) {
    auto queue = std::make_shared<ThreadQueue>();
    queue->threadId = GetCurrentThreadId();
    {
      std::lock_guard lock(Queues().mutex);
      Queues().queues[queue->threadId] = queue;
    }
    t_holder.queue = std::move(queue);
  }
  return t_holder.queue;
}

std::shared_ptr<ThreadQueue> QueueOfThread(DWORD threadId) {
  std::lock_guard lock(Queues().mutex);
  auto it = Queues().queues.find(threadId);
  return it == Queues().queues.end() ? nullptr : it->second;
}

BOOL PostToQueue(ThreadQueue& queue, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  std::lock_guard lock(queue.mutex);
  if (queue.gone || queue.posted.size() >= kPostedMessageLimit) return FALSE;
  queue.posted.push_back(MSG{hwnd, message, wParam, lParam, GetTickCount()});
  WakeQueue(queue);
  return TRUE;
}

bool SendToOwner(const std::shared_ptr<WindowSlot>& window, UINT message, WPARAM wParam, LPARAM lParam,
                 int timeoutMs, LRESULT* result) {
  if (result != nullptr) *result = 0;
  const std::shared_ptr<ThreadQueue>& owner = window->owner;
  std::shared_ptr<ThreadQueue> self = CurrentQueue();
  auto call = std::make_shared<SentCall>();
  call->hwnd = window->hwnd;
  call->message = message;
  call->wParam = wParam;
  call->lParam = lParam;
  call->replyTo = self;
  {
    std::lock_guard lock(owner->mutex);
    if (owner->ended || owner->gone) return false;
    {
      // Checked under the owner's lock: a window destroyed after this releases
      // the call through ForgetWindow, one destroyed before is refused here.
      std::lock_guard state(window->stateMutex);
      if (window->window == nullptr) return false;
    }
    owner->sent.push_back(call);
    WakeQueue(*owner);
  }

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  bool timed = timeoutMs >= 0;
  std::unique_lock lock(self->mutex);
  while (!call->done) {
    // Serving our own windows meanwhile keeps two threads sending to each other from deadlocking.
    if (std::shared_ptr<SentCall> incoming = TakeSent(*self)) {
      lock.unlock();
      Serve(incoming);
      lock.lock();
      continue;
    }
    if (!timed) {
      self->wake.wait(lock);
      continue;
    }
    if (self->wake.wait_until(lock, deadline) == std::cv_status::timeout && !call->done) {
      lock.unlock();
      {
        std::lock_guard ownerLock(owner->mutex);
        if (!call->started) {
          auto it = std::find(owner->sent.begin(), owner->sent.end(), call);
          if (it != owner->sent.end()) owner->sent.erase(it);
          return false;
        }
      }
      // Already running: its arguments point into our frame, so wait for the end.
      lock.lock();
      timed = false;
    }
  }
  if (result != nullptr) *result = call->result;
  return call->answered;
}

void FailSentCalls(ThreadQueue& queue, HWND hwnd) {
  std::deque<std::shared_ptr<SentCall>> released;
  {
    std::lock_guard lock(queue.mutex);
    auto keep = std::stable_partition(queue.sent.begin(), queue.sent.end(),
                                      [hwnd](const auto& call) { return hwnd != 0 && call->hwnd != hwnd; });
    released.assign(std::make_move_iterator(keep), std::make_move_iterator(queue.sent.end()));
    queue.sent.erase(keep, queue.sent.end());
  }
  for (const auto& call : released) Complete(*call, 0, false);
}

void ForgetWindow(ThreadQueue& queue, HWND hwnd) {
  FailSentCalls(queue, hwnd);
  std::lock_guard lock(queue.mutex);
  RemoveWindowTimers(queue.timers, hwnd);
  queue.updates.erase(hwnd);
}

void ServeWaitingSends() {
  std::shared_ptr<ThreadQueue> queue = CurrentQueue();
  std::unique_lock lock(queue->mutex);
  while (std::shared_ptr<SentCall> call = TakeSent(*queue)) {
    lock.unlock();
    Serve(call);
    lock.lock();
  }
}

std::size_t QueuedSendCount(DWORD threadId) {
  std::shared_ptr<ThreadQueue> queue = QueueOfThread(threadId);
  if (!queue) return 0;
  std::lock_guard lock(queue->mutex);
  return queue->sent.size();
}

}  // namespace win::detail

using namespace win::detail;

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (hwnd == 0) return PostToQueue(*CurrentQueue(), 0, message, wParam, lParam);
  SlotPtr slot = FindSlot(hwnd);
  if (!slot) return RemoteCall(hwnd, RemoteKind::Post, message, wParam, lParam, -1, nullptr) ? TRUE : FALSE;
  {
    std::lock_guard state(slot->stateMutex);
    if (slot->window == nullptr) return FALSE;
  }
  return PostToQueue(*slot->owner, hwnd, message, wParam, lParam);
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  SlotPtr slot = FindSlot(hwnd);
  if (!slot) {
    LRESULT result = 0;
    RemoteCall(hwnd, RemoteKind::Send, message, wParam, lParam, -1, &result);
    return result;
  }
  if (slot->threadSafe || slot->ownerThread == GetCurrentThreadId()) {
    return CallWindowProcedure(slot, message, wParam, lParam);
  }
  LRESULT result = 0;
  SendToOwner(slot, message, wParam, lParam, -1, &result);
  return result;
}

LRESULT SendMessageTimeoutA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT, UINT timeoutMs,
                            UINT_PTR* result) {
  if (result != nullptr) *result = 0;
  SlotPtr slot = FindSlot(hwnd);
  LRESULT answer = 0;
  if (!slot) {
    const int wait = static_cast<int>(std::min<UINT>(timeoutMs, 0x7FFFFFFF));
    if (!RemoteCall(hwnd, RemoteKind::Send, message, wParam, lParam, wait, &answer)) return 0;
    if (result != nullptr) *result = static_cast<UINT_PTR>(answer);
    return 1;
  }
  if (slot->threadSafe || slot->ownerThread == GetCurrentThreadId()) {
    {
      std::lock_guard state(slot->stateMutex);
      if (slot->window == nullptr) return 0;
    }
    answer = CallWindowProcedure(slot, message, wParam, lParam);
  } else {
    const int wait = static_cast<int>(std::min<UINT>(timeoutMs, 0x7FFFFFFF));
    if (!SendToOwner(slot, message, wParam, lParam, wait, &answer)) return 0;
  }
  if (result != nullptr) *result = static_cast<UINT_PTR>(answer);
  return 1;
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<ThreadQueue> queue = QueueOfThread(threadId);
  if (!queue) return FALSE;
  return PostToQueue(*queue, 0, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
  std::shared_ptr<ThreadQueue> queue = CurrentQueue();
  std::lock_guard lock(queue->mutex);
  queue->quitPosted = true;
  queue->quitCode = exitCode;
  WakeQueue(*queue);
}

BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  if (msg == nullptr) return -1;
  std::shared_ptr<ThreadQueue> queue = CurrentQueue();
  std::unique_lock lock(queue->mutex);
  queue->ended = false;  // pumping again
  for (;;) {
    const win::display::Hooks* display = DisplayWaitOf(*queue);
    if (display != nullptr && GetTickCount64() - t_lastDisplayTurn >= kDisplayTurnMs) {
      GiveDisplayItsTurn(lock, *display, 0);
      continue;
    }
    if (std::shared_ptr<SentCall> call = TakeSent(*queue)) {
      lock.unlock();
      Serve(call);
      lock.lock();
      continue;
    }
    if (TakePosted(*queue, hwnd, filterMin, filterMax, true, msg)) {
      if (msg->message != WM_QUIT) return TRUE;
      EndServing(lock, *queue);
      return 0;
    }
    if (queue->quitPosted) {
      queue->quitPosted = false;
      *msg = QuitMessage(*queue);
      EndServing(lock, *queue);
      return 0;
    }
    if (TakePaintMessage(*queue, hwnd, filterMin, filterMax, true, msg)) return TRUE;
    const std::uint64_t now = GetTickCount64();
    if (TakeDueTimer(queue->timers, now, hwnd, filterMin, filterMax, true, msg)) return TRUE;
    std::optional<std::uint64_t> due = NextTimerDue(queue->timers, hwnd, filterMin, filterMax);
    if (display != nullptr) {
      const std::uint64_t waitMs = due ? (*due > now ? *due - now : 1) : 0;
      GiveDisplayItsTurn(lock, *display, due ? static_cast<int>(std::min<std::uint64_t>(waitMs, 0x7FFFFFFF)) : -1);
    } else if (due) {
      const std::uint64_t waitMs = *due > now ? *due - now : 1;
      queue->wake.wait_for(lock, std::chrono::milliseconds(waitMs));
    } else {
      queue->wake.wait(lock);
    }
  }
}

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (msg == nullptr) return FALSE;
  std::shared_ptr<ThreadQueue> queue = CurrentQueue();
  std::unique_lock lock(queue->mutex);
  while (std::shared_ptr<SentCall> call = TakeSent(*queue)) {
    lock.unlock();
    Serve(call);
    lock.lock();
  }
  const bool remove = (removeFlags & PM_REMOVE) != 0;
  if (TakePosted(*queue, hwnd, filterMin, filterMax, remove, msg)) return TRUE;
  if (queue->quitPosted) {
    *msg = QuitMessage(*queue);
    if (remove) queue->quitPosted = false;
    return TRUE;
  }
  if (TakePaintMessage(*queue, hwnd, filterMin, filterMax, remove, msg)) return TRUE;
  return TakeDueTimer(queue->timers, GetTickCount64(), hwnd, filterMin, filterMax, remove, msg) ? TRUE : FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (msg == nullptr) return 0;
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    TIMERPROC proc = nullptr;
    {
      std::shared_ptr<ThreadQueue> queue = CurrentQueue();
      std::lock_guard lock(queue->mutex);
      proc = RunningTimerProc(queue->timers, msg->hwnd, msg->wParam);
    }
    // Only a procedure that is set for this timer: lParam alone is no proof.
    if (proc != nullptr && reinterpret_cast<LPARAM>(proc) == msg->lParam) {
      proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
    }
    return 0;
  }
  SlotPtr slot = FindSlot(msg->hwnd);
  if (!slot) return 0;
  // Another thread's window is served by its own loop, never from here.
  if (!slot->threadSafe && slot->ownerThread != GetCurrentThreadId()) return 0;
  return CallWindowProcedure(slot, msg->message, msg->wParam, msg->lParam);
}

BOOL TranslateMessage(const MSG*) { return FALSE; }
