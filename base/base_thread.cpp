#include "base/base_thread.h"

#include "base/byte_order.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/klib_settings.h"
#include "base/main_thread.h"
#include "base/message_box.h"
#include "win/clock.h"

namespace {
// Each queue entry carries its real payload length ahead of the 12-byte header,
// so a payload is never mistaken for a header whatever the handler popped.
constexpr std::uint32_t kEntryPrefix = 4;
constexpr std::uint32_t kEntryHeader = kEntryPrefix + kDMessageSize;
constexpr DWORD kRoomWaitStepMs = 100;

// Bodies still running, so the program can wait for them before static destruction.
struct RunningBodies {
  std::mutex mutex;
  std::condition_variable ended;
  int count = 0;
};

RunningBodies& Running() {
  static auto* running = new RunningBodies();
  return *running;
}

// Threads whose body may be waiting, for the wakes that concern them all.
struct ThreadRegistry {
  std::mutex mutex;
  std::vector<CBaseThread*> threads;
};

ThreadRegistry& Registry() {
  static auto* registry = new ThreadRegistry();
  return *registry;
}

void CopyName(std::array<char, kThreadNameSize>& to, std::string_view from) {
  const std::size_t n = std::min(from.size(), to.size() - 1);
  std::memcpy(to.data(), from.data(), n);
  to[n] = '\0';
}
}  // namespace

CBaseThread::CBaseThread(void* ownerSlot, const char* name, DWORD kind) : ownerSlot_(ownerSlot), kind_(kind) {
  if (name == nullptr || name[0] == '\0') {
    ShowMessage("System Error", "Object name pointer is NULL or empty.");
  } else {
    CopyName(workingName_, name);
    CopyName(name_, name);
  }
}

CBaseThread::~CBaseThread() {
  Unregister();
  // The body must be gone before the queue and the object go.
  if (osThread_ != nullptr && !osThread_->IsCurrent()) {
    RequestStop(exitCode_.load());
    osThread_->Resume();
    osThread_.reset();
  } else if (osThread_ != nullptr) {
    osThread_.reset();  // detaches: the thread is deleting its own object
  }
}

DWORD CBaseThread::ProcessMessage(const DMessage& message) {
  std::printf("\r\nCBaseThread::ProcessMessage() = %u", message.id - THRDMSG_BASE);
  return 1;
}

DWORD CBaseThread::VTFX(DWORD argument) {
  std::printf("\r\nCBaseThread::VTFX(0x%x), %s.", argument, Name());
  return 0;
}

void CBaseThread::OnIdle() { std::printf("\r\nCBaseThread::OnIdle()"); }

void CBaseThread::SetName(std::string_view name) { CopyName(name_, name); }

void CBaseThread::RestoreName() { name_ = workingName_; }

void CBaseThread::RequestStop(DWORD exitCode) {
  exitCode_.store(exitCode);
  stopRequested_.store(true, std::memory_order_release);
  wake_.Signal();
}

std::int32_t CBaseThread::StartThread(DWORD noFirstDelay, DWORD queueSize) {
  if (osThread_ != nullptr || Ended()) return -3;  // a thread object is started once
  if (queueSize == 0) queueSize = kDefaultQueueSize;
  if (queueStorage_ == nullptr) {
    queueStorage_.reset(new (std::nothrow) std::uint8_t[queueSize + 16]);
    if (queueStorage_ == nullptr) return -1;
    std::lock_guard lock(queueLock_);
    RingInit(queue_, std::span<std::uint8_t>(queueStorage_.get(), queueSize));
  }
  if (noFirstDelay != 0) SetNotStarted(false);
  int error = 0;
  {
    std::lock_guard lock(Running().mutex);
    ++Running().count;
  }
  Register();
  {
    std::lock_guard start(startLock_);
    osThread_ = OsThread::Start(&CBaseThread::ThreadProc, this, &error);
  }
  if (osThread_ == nullptr) {
    Unregister();
    {
      std::lock_guard lock(Running().mutex);
      --Running().count;
    }
    ShowMessage("Attention", "%s %s System Error SYSERR_0002: Errno %d", Klib().logTag != nullptr ? Klib().logTag : "",
                Name(), error);
    return -2;
  }
  threadPriority_ = GetThreadPriority(osThread_.get());
  if (kind_ != 0 && Klib().TraceBit(30)) {
    SetTraceColour(Klib().Colour(kColour22));
    Trace("\t Thread %s Initiated.\r\n", Name());
  }
  return 1;
}

bool CBaseThread::WaitForEnd(DWORD timeoutMs) {
  if (osThread_ == nullptr) return true;
  return osThread_->Join(timeoutMs);
}

void CBaseThread::Resume(DWORD resumeOsThread) {
  if (resumeOsThread != 0 && osThread_ != nullptr) osThread_->Resume();
  SetNotStarted(false);
  wake_.Signal();
}

void CBaseThread::Suspend(DWORD suspendOsThread) {
  SetNotStarted(true);
  // Only a thread can suspend itself; from outside this only marks it idle.
  if (suspendOsThread != 0 && IsOwnThread()) osThread_->SuspendSelf();
}

void CBaseThread::SetSleepCountdown(std::uint16_t seconds) {
  sleepCountdown_ = stopCountdown_ != 0 ? static_cast<std::uint16_t>(stopCountdown_.load() + 3) : seconds;
}

std::uint16_t CBaseThread::SetStopCountdown(std::uint16_t seconds) {
  const std::uint16_t previous = stopCountdown_;
  stopCountdown_ = seconds;
  if (NotStarted()) {
    SetNotStarted(false);
    sleepCountdown_ = static_cast<std::uint16_t>(seconds + 3);
    wake_.Signal();
  }
  return previous;
}

std::uint32_t CBaseThread::QueueFree() {
  std::lock_guard lock(queueLock_);
  const std::uint32_t free = RingFree(queue_);
  const bool reserved = queue_.capacity >= 4 * kOwnPostReserve;
  return reserved ? free - std::min(free, kOwnPostReserve) : free;
}

bool CBaseThread::HasRoomFor(std::uint32_t entryBytes) { return entryBytes <= RingFree(queue_); }

bool CBaseThread::HasRoomForOthers(std::uint32_t entryBytes) {
  // A small queue keeps no reserve, nor does an entry that would never fit beside it.
  const bool reserved = queue_.capacity >= 4 * kOwnPostReserve && entryBytes + kOwnPostReserve <= queue_.capacity;
  const std::uint32_t reserve = reserved ? kOwnPostReserve : 0;
  return std::uint64_t{entryBytes} + reserve <= RingFree(queue_);
}

std::int32_t CBaseThread::WaitForRoom(std::unique_lock<std::mutex>& lock, std::uint32_t id, std::uint32_t param,
                                      std::span<const std::uint8_t> payload, std::uint32_t entryBytes) {
  const FullQueueAnswer answer = WhenQueueFull(id, param, payload);
  if (answer == FullQueueAnswer::kDrop) return 0;
  // The program's clock, so that a test can move it past the bound.
  const DWORD start = GetTickCount();
  // The wait releases the lock; it ends when the target or the library goes.
  while (!HasRoomForOthers(entryBytes)) {
    if (Klib().Exiting() || !AcceptsPosts()) return 0;
    if (answer == FullQueueAnswer::kWaitBounded && GetTickCount() - start >= kBoundedPostWaitMs) return -1;
    queueRoom_.wait_for(lock, std::chrono::milliseconds(kRoomWaitStepMs));
  }
  return 1;
}

std::int32_t CBaseThread::Push(std::uint32_t id, std::uint32_t param, std::uint32_t word3,
                               const std::uint8_t* payload, std::uint32_t payloadLength, const char* callerTag) {
  if (!AcceptsPosts() || queueStorage_ == nullptr) return 0;
  if (NotStarted()) {
    SetNotStarted(false);
    sleepCountdown_ = 0;
  }
  const std::uint32_t entryBytes = kEntryHeader + payloadLength;
  if (!HasRoomFor(entryBytes)) {
    std::printf("\r\n\t\t *+*+*+*+*+*+ %s : Error %X while Pushing %u / %u bytes of DMessage %u from %s *+*+*+*+*+*+",
                Name(), RING_NO_ROOM, payloadLength, queue_.capacity, id - THRDMSG_BASE, callerTag != nullptr ? callerTag : "_?_");
    return 0;
  }
  std::array<std::uint8_t, kEntryHeader> header{};
  PutU32(header.data(), payloadLength);
  PutU32(header.data() + 4, id);
  PutU32(header.data() + 8, param);
  PutU32(header.data() + 12, word3);
  RingWriteNoWait(queue_, header.data(), kEntryHeader);
  if (payloadLength != 0) RingWriteNoWait(queue_, payload, payloadLength);
  // One wake per batch of posts: while an earlier post's signal is still
  // unread, the waiter has yet to drain the queue and will find this one too.
  if (!queueSignalled_) {
    queueSignalled_ = true;
    wake_.Signal();
  }
  return 1;
}

std::int32_t CBaseThread::Deliver(CBaseThread* sender, CBaseThread* target, std::uint32_t id, std::uint32_t param,
                                  std::uint32_t word3, const std::uint8_t* payload, std::uint32_t length,
                                  const char* callerTag) {
  if (target == nullptr || Klib().Exiting()) return 0;
  const std::uint64_t entryBytes = std::uint64_t{kEntryHeader} + length;
  std::unique_lock lock(target->queueLock_);
  if (target->queueStorage_ == nullptr) return 0;
  if (entryBytes > target->queue_.capacity) {
    // It could never fit: refuse at once instead of waiting for room forever.
    std::printf("\r\n\t\t *+*+*+*+*+*+ %s : Error %X while Pushing %u / %u bytes of DMessage %u from %s *+*+*+*+*+*+",
                target->Name(), RING_TOO_LARGE, length, target->queue_.capacity, id - THRDMSG_BASE,
                callerTag != nullptr ? callerTag : "_?_");
    return 0;
  }
  if (sender != target && !target->HasRoomForOthers(static_cast<std::uint32_t>(entryBytes))) {
    const std::int32_t room = target->WaitForRoom(lock, id, param, {payload, payload != nullptr ? length : 0},
                                                  static_cast<std::uint32_t>(entryBytes));
    if (room < 0) {
      lock.unlock();
      target->QueueStayedFull(id, callerTag);
      return 0;
    }
    if (room == 0 || Klib().Exiting()) return 0;
  }
  return target->Push(id, param, word3, payload, length, callerTag);
}

std::int32_t CBaseThread::PostData(CBaseThread* sender, CBaseThread* target, std::uint32_t id, std::uint32_t param,
                                   std::uint32_t length, const void* data, const char* callerTag) {
  // A null payload carries nothing, whatever length the caller named.
  if (data == nullptr) length = 0;
  return Deliver(sender, target, id, param, length, static_cast<const std::uint8_t*>(data), length, callerTag);
}

std::int32_t CBaseThread::TryPostData(CBaseThread* sender, CBaseThread* target, std::uint32_t id,
                                      std::uint32_t param, std::uint32_t length, const void* data,
                                      const char* callerTag) {
  if (target == nullptr || Klib().Exiting()) return 0;
  if (data == nullptr) length = 0;
  const std::uint64_t entryBytes = std::uint64_t{kEntryHeader} + length;
  // The queue lock is only ever held for the copies in and out of the ring.
  std::lock_guard lock(target->queueLock_);
  if (target->queueStorage_ == nullptr || entryBytes > target->queue_.capacity) return 0;
  if (!target->HasRoomForOthers(static_cast<std::uint32_t>(entryBytes))) return 0;
  return target->Push(id, param, length, static_cast<const std::uint8_t*>(data), length, callerTag);
}

std::int32_t CBaseThread::Post(CBaseThread* sender, CBaseThread* target, std::uint32_t id, std::uint32_t param,
                               std::uint32_t word3, const char* callerTag) {
  return Deliver(sender, target, id, param, word3, nullptr, 0, callerTag);
}

void CBaseThread::DropPendingPayload() {
  std::lock_guard lock(queueLock_);
  if (pendingPayload_ != 0) {
    RingRead(queue_, nullptr, pendingPayload_);
    pendingPayload_ = 0;
    queueRoom_.notify_all();
  }
}

std::uint32_t CBaseThread::PendingPayload() {
  std::lock_guard lock(queueLock_);
  return pendingPayload_;
}

DWORD CBaseThread::PopMessage(DMessage& out) {
  if (Klib().suspendAll.load(std::memory_order_relaxed) != 0 && IsOwnThread()) osThread_->SuspendSelf();
  if (StopRequested() || Closed() || Ended() || Klib().Exiting()) return 0;
  if (NotStarted()) {
    WaitWhilePaused();
    if (StopRequested() || Klib().Exiting()) return 0;
  }
  std::lock_guard lock(queueLock_);
  if (pendingPayload_ != 0) {
    RingRead(queue_, nullptr, pendingPayload_);
    pendingPayload_ = 0;
  }
  if (RingUsed(queue_) < kEntryHeader) {
    ClearQueueWakeLocked();
    queueRoom_.notify_all();
    return 0;
  }
  std::array<std::uint8_t, kEntryHeader> header{};
  RingRead(queue_, header.data(), kEntryHeader);
  pendingPayload_ = GetU32(header.data());
  out.id = GetU32(header.data() + 4);
  out.param = GetU32(header.data() + 8);
  out.word3 = GetU32(header.data() + 12);
  if (RingUsed(queue_) == 0) ClearQueueWakeLocked();
  queueRoom_.notify_all();
  return 1;
}

DWORD CBaseThread::PopData(void* destination, std::uint32_t n) {
  if (StopRequested() || Closed() || Ended()) return 0;
  std::lock_guard lock(queueLock_);
  if (n > pendingPayload_) return 0;
  if (n == 0) return 1;
  if (RingRead(queue_, static_cast<std::uint8_t*>(destination), n) != RING_OK) return 0;
  pendingPayload_ -= n;
  queueRoom_.notify_all();
  return 1;
}

void CBaseThread::ClearQueueWakeLocked() {
  queueSignalled_ = false;
  wake_.Clear();
}

bool CBaseThread::MessageWaitingLocked() const { return RingUsed(queue_) >= kEntryHeader + pendingPayload_; }

bool CBaseThread::WaitForMessage(int timeoutMs) {
  {
    std::lock_guard lock(queueLock_);
    if (MessageWaitingLocked() || StopRequested() || Klib().Exiting()) return true;
  }
  return wake_.Wait(timeoutMs);
}

// A paused worker costs nothing until someone needs it: every way out of the
// pause (a post, a resume, a stop countdown, a stop, a new second it asked for,
// the exit) signals the wake event, and the signal is cleared before the
// conditions are looked at, so none is missed.
void CBaseThread::WaitWhilePaused() {
  for (;;) {
    {
      std::lock_guard lock(queueLock_);
      if (MessageWaitingLocked()) return;
      ClearQueueWakeLocked();
    }
    if (!NotStarted() || StopRequested() || Klib().Exiting() || PausedWaitOver()) return;
    wake_.Wait(-1);
  }
}

void CBaseThread::Register() {
  std::lock_guard lock(Registry().mutex);
  if (registered_) return;
  Registry().threads.push_back(this);
  registered_ = true;
}

void CBaseThread::Unregister() {
  std::lock_guard lock(Registry().mutex);
  if (!registered_) return;
  std::erase(Registry().threads, this);
  registered_ = false;
}

void CBaseThread::WakeThreadsForNewSecond() {
  std::lock_guard lock(Registry().mutex);
  for (CBaseThread* thread : Registry().threads) {
    if (!thread->secondsDriven_.load()) continue;
    if (thread->NotStarted() && !thread->secondsWorkWhilePaused_.load()) continue;
    thread->wake_.Signal();
  }
}

void CBaseThread::WakeAllThreads() {
  std::lock_guard lock(Registry().mutex);
  for (CBaseThread* thread : Registry().threads) thread->wake_.Signal();
}

void CBaseThread::NotifyEndToMainThread() {
  CMainThread* main = Klib().mainThread;
  if (Klib().Exiting() || main == nullptr || main == this) return;
  std::array<char, kThreadNameSize> tag = name_;
  // The owner slot is an address: it travels as an 8-byte payload, the param keeps its low word.
  const auto slot = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(ownerSlot_));
  std::array<std::uint8_t, 8> payload{};
  for (int i = 0; i < 8; ++i) payload[i] = static_cast<std::uint8_t>(slot >> (8 * i));
  // From here on the object may be deleted by the main thread. The wait for room is
  // bounded by the main thread's own end and by the library's exit.
  Deliver(nullptr, main, THRDMSG_THREAD_ENDED, static_cast<std::uint32_t>(slot), kThreadEndedMark, payload.data(),
          static_cast<std::uint32_t>(payload.size()), tag.data());
}

unsigned CBaseThread::ThreadProc(void* argument) {
  auto* self = static_cast<CBaseThread*>(argument);
  { std::lock_guard start(self->startLock_); }  // StartThread has set osThread_
  self->VTFX(0);
  self->Unregister();
  struct BodyEnd {
    ~BodyEnd() {
      std::lock_guard lock(Running().mutex);
      --Running().count;
      Running().ended.notify_all();
    }
  } bodyEnd;
  {
    std::lock_guard lock(self->queueLock_);
    self->closed_.store(true, std::memory_order_release);
    self->ended_.store(true, std::memory_order_release);
    self->queueRoom_.notify_all();
  }
  self->NotifyEndToMainThread();
  return 0;
}

void* CBaseThread::PopOwnerSlot() {
  std::array<std::uint8_t, 8> payload{};
  if (PopData(payload.data(), static_cast<std::uint32_t>(payload.size())) == 0) return nullptr;
  std::uint64_t slot = 0;
  for (int i = 0; i < 8; ++i) slot |= static_cast<std::uint64_t>(payload[i]) << (8 * i);
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(slot));
}

bool CBaseThread::WaitForAllThreads(DWORD timeoutMs) {
  WakeAllThreads();
  std::unique_lock lock(Running().mutex);
  return Running().ended.wait_for(lock, std::chrono::milliseconds(timeoutMs), [] { return Running().count == 0; });
}

int CBaseThread::RunningThreadCount() {
  std::lock_guard lock(Running().mutex);
  return Running().count;
}
