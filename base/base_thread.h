// Every worker of the program: one OS thread with a name and a queue of
// thread messages, with virtual operations that subclasses override.
// Other threads never call into a worker; they post it a message.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>

#include "base/byte_ring.h"
#include "base/thread_messages.h"
#include "win/os_thread.h"
#include "win/types.h"

constexpr std::uint32_t kDefaultQueueSize = 0x300000;
// The longest a post waits for room when its target bounds the wait (kWaitBounded).
constexpr DWORD kBoundedPostWaitMs = 2'000;
// Room that posts from other threads leave in a queue, so that a thread's
// own notices (a lost link's disconnection) always fit in it.
constexpr std::uint32_t kOwnPostReserve = 4'096;

// What a post from another thread does when the target's queue has no room for it.
enum class FullQueueAnswer {
  kWait,         // until there is room, however long
  kDrop,         // refused at once (a later message supersedes it)
  kWaitBounded,  // up to kBoundedPostWaitMs; still without room, refused and the target told
};
constexpr std::size_t kThreadNameSize = 512;
constexpr std::size_t kTraceBufferSize = 30'720;

class CBaseThread {
 public:
  // ownerSlot: the global that refers to this object, reported when the thread ends.
  CBaseThread(void* ownerSlot, const char* name, DWORD kind);
  virtual ~CBaseThread();
  CBaseThread(const CBaseThread&) = delete;
  CBaseThread& operator=(const CBaseThread&) = delete;

  // Slot 1: 1 when handled, 0 when not.
  virtual DWORD ProcessMessage(const DMessage& message);
  // Slot 2: the thread body.
  virtual DWORD VTFX(DWORD argument);
  // Slot 3.
  virtual void OnIdle();

  std::int32_t StartThread(DWORD noFirstDelay, DWORD queueSize);
  void Resume(DWORD resumeOsThread);
  void Suspend(DWORD suspendOsThread);
  void SetSleepCountdown(std::uint16_t seconds);
  std::uint16_t SetStopCountdown(std::uint16_t seconds);
  // The room left for posts from other threads (the own posts' reserve aside).
  std::uint32_t QueueFree();
  std::uint32_t QueueCapacity() const { return queue_.capacity; }

  // Posting: sender may be null for callers that are not library threads.
  static std::int32_t Post(CBaseThread* sender, CBaseThread* target, std::uint32_t id, std::uint32_t param,
                           std::uint32_t word3, const char* callerTag);
  static std::int32_t PostData(CBaseThread* sender, CBaseThread* target, std::uint32_t id, std::uint32_t param,
                               std::uint32_t length, const void* data, const char* callerTag);
  // As PostData, but never waits: 0 at once when the target's queue has no
  // room now (for callers that must not block, such as the audio callback).
  static std::int32_t TryPostData(CBaseThread* sender, CBaseThread* target, std::uint32_t id, std::uint32_t param,
                                  std::uint32_t length, const void* data, const char* callerTag);

  // Receiving, on the thread itself.
  DWORD PopMessage(DMessage& out);
  DWORD PopData(void* destination, std::uint32_t n);
  // Payload bytes of the current message that have not been popped yet.
  std::uint32_t PendingPayload();
  // Drops whatever payload of the current message a handler left unread.
  void DropPendingPayload();
  // Waits until a message arrives, a stop is asked, the library exits or the
  // timeout passes (negative: no limit); never a busy wait.
  bool WaitForMessage(int timeoutMs);
  // The owner slot carried by a THRDMSG_THREAD_ENDED message (pops its payload).
  void* PopOwnerSlot();
  int QueueWakeFd() const { return wake_.Fd(); }

  // Trace writers (any thread; nothing once the library is exiting).
  void Trace(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void TraceQuiet(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void TraceLine(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void TraceLineQuiet(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // An already formatted text; an empty one prints nothing.
  void TraceText(std::string_view text, bool notify);
  void SetTraceFormat(DWORD effects, COLORREF colour);
  void SetTraceEffects(DWORD effects);
  void SetTraceColour(COLORREF colour);
  void TraceRemoveDelimiters(char start, char end);
  void TraceRemoveDelimitedText(char start, char end);
  void TraceClear();

  // State.
  const char* Name() const { return name_.data(); }
  void SetName(std::string_view name);
  void RestoreName();
  DWORD Kind() const { return kind_; }
  void* OwnerSlot() const { return ownerSlot_; }
  bool StopRequested() const { return stopRequested_.load(std::memory_order_acquire); }
  void RequestStop(DWORD exitCode);
  bool Closed() const { return closed_.load(std::memory_order_acquire); }
  bool Ended() const { return ended_.load(std::memory_order_acquire); }
  bool NotStarted() const { return notStarted_.load(std::memory_order_acquire) != 0; }
  // Paused, it is woken for a new second (it has seconds work); else a post alone wakes it.
  bool WokenEachSecondWhilePaused() const { return secondsWorkWhilePaused_.load(); }
  bool Started() const { return osThread_ != nullptr; }
  DWORD ExitCode() const { return exitCode_.load(); }
  bool IsOwnThread() const { return osThread_ != nullptr && osThread_->IsCurrent(); }
  // Waits for the OS thread to finish (tests and orderly shutdown); false on timeout.
  bool WaitForEnd(DWORD timeoutMs);
  // Waits until no thread body is running; false when some still are after the time.
  // Wakes every running body first, so that bodies waiting without a time
  // limit see the exit flag.
  static bool WaitForAllThreads(DWORD timeoutMs);
  static int RunningThreadCount();
  // A new second of the global seconds counter: wakes the threads that run a
  // per-second task (WakeEachSecond) unless they are paused with nothing to do.
  static void WakeThreadsForNewSecond();
  // Wakes every running body once (the exit flag was set).
  static void WakeAllThreads();

  std::uint16_t SleepCountdown() const { return sleepCountdown_; }
  std::uint16_t StopCountdown() const { return stopCountdown_; }
  // Any thread, before a resume: the way must not put itself back to sleep.
  void ClearSleepCountdown() { sleepCountdown_ = 0; }
  void SetMarker(char marker) { marker_ = marker; }
  char Marker() const { return marker_; }

 protected:
  void SetExitCode(DWORD code) { exitCode_.store(code); }
  void SetNotStarted(bool value) { notStarted_.store(value ? 1 : 0, std::memory_order_release); }
  void SetSleepCountdownRaw(std::uint16_t value) { sleepCountdown_ = value; }
  void SetStopCountdownRaw(std::uint16_t value) { stopCountdown_ = value; }
  // A body whose loop runs a task each new second asks to be woken for it.
  void WakeEachSecond(bool enabled) { secondsDriven_.store(enabled); }
  // While paused (not started) the body is woken for a new second only when it
  // says it has work for one; it says so on its own thread before each wait.
  void SetSecondsWorkWhilePaused(bool work) { secondsWorkWhilePaused_.store(work); }
  // The paused wait of PopMessage ends early when this answers true; it is
  // asked on the thread itself, after the wake signal was cleared.
  virtual bool PausedWaitOver() { return false; }
  // Asked from the posting thread under this queue's lock when a post from
  // another thread finds no room: decide from the message alone (no post, no lock).
  virtual FullQueueAnswer WhenQueueFull(std::uint32_t /*id*/, std::uint32_t /*param*/,
                                        std::span<const std::uint8_t> /*payload*/) const {
    return FullQueueAnswer::kWait;
  }
  // From the posting thread, the lock released: a bounded wait ended without
  // room and the message was not delivered.
  virtual void QueueStayedFull(std::uint32_t /*id*/, const char* /*callerTag*/) {}

  DWORD idleCounter_ = 0;
  DWORD sleepTime_ = 1;
  DWORD configuredSleepTime_ = 1;

 private:
  static unsigned ThreadProc(void* argument);
  static std::int32_t Deliver(CBaseThread* sender, CBaseThread* target, std::uint32_t id, std::uint32_t param,
                              std::uint32_t word3, const std::uint8_t* payload, std::uint32_t length,
                              const char* callerTag);
  // Under the target's queue lock: 1 written whole, 0 refused.
  std::int32_t Push(std::uint32_t id, std::uint32_t param, std::uint32_t word3, const std::uint8_t* payload,
                    std::uint32_t payloadLength, const char* callerTag);
  bool HasRoomFor(std::uint32_t entryBytes);
  // As HasRoomFor, for a post from another thread: the own posts' reserve stays free.
  bool HasRoomForOthers(std::uint32_t entryBytes);
  // Under the lock, a post from another thread without room: waits as the
  // target answers. 1 there is room now, 0 refused, -1 refused after a
  // bounded wait (the target is told after the lock is released).
  std::int32_t WaitForRoom(std::unique_lock<std::mutex>& lock, std::uint32_t id, std::uint32_t param,
                           std::span<const std::uint8_t> payload, std::uint32_t entryBytes);
  bool AcceptsPosts() const { return !Closed() && !Ended(); }
  void NotifyEndToMainThread();
  void TraceFormatted(bool notify, bool lineBreak, const char* format, va_list args);
  // A paused body waits for a message, a resume, a stop or its own reason.
  void WaitWhilePaused();
  bool MessageWaitingLocked() const;
  // Under the queue lock, before the waiter looks at the queue: the next post signals again.
  void ClearQueueWakeLocked();
  void Register();
  void Unregister();
  // What an empty format means: clear the output.
  void TraceEmptyFormat(bool notify);

  int threadPriority_ = 0;
  std::atomic<bool> ended_{false};
  std::array<char, kThreadNameSize> workingName_{};
  std::array<char, kThreadNameSize> name_{};
  std::atomic<DWORD> exitCode_{0};
  void* ownerSlot_ = nullptr;
  DWORD kind_ = 0;
  std::atomic<std::uint16_t> sleepCountdown_{0};  // other threads zero it before a resume
  char marker_ = 0;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> closed_{false};
  std::unique_ptr<OsThread> osThread_;
  // Held while osThread_ is set, so the body never reads it half-written.
  std::mutex startLock_;
  std::atomic<bool> secondsDriven_{false};
  std::atomic<bool> secondsWorkWhilePaused_{false};
  bool registered_ = false;  // under the registry's lock

  // The queue: its lock, its ring and the storage behind it. The storage lives
  // as long as the object, so a late post never writes into freed memory.
  std::mutex queueLock_;
  std::condition_variable queueRoom_;
  std::atomic<std::uint16_t> stopCountdown_{0};
  std::atomic<std::int32_t> notStarted_{1};
  ByteRing queue_;
  std::unique_ptr<std::uint8_t[]> queueStorage_;
  std::uint32_t pendingPayload_ = 0;
  // Under the queue lock: a post has signalled the wake event and the waiter
  // has not cleared it since, so the next post need not write it again.
  bool queueSignalled_ = false;
  WakeEvent wake_;

  std::mutex traceBufferLock_;
  std::unique_ptr<char[]> traceBuffer_;
};
