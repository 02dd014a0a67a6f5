#include "win/os_thread.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <system_error>

namespace {
std::atomic<DWORD> g_nextThreadId{1};
thread_local DWORD t_threadId = 0;
}  // namespace

DWORD GetCurrentThreadId() {
  if (t_threadId == 0) t_threadId = g_nextThreadId.fetch_add(1);
  return t_threadId;
}

std::unique_ptr<OsThread> OsThread::Start(Entry entry, void* argument, int* errnoOut) {
  std::unique_ptr<OsThread> self(new OsThread());
  self->id_ = g_nextThreadId.fetch_add(1);
  try {
    self->thread_ = std::thread(&OsThread::Run, self.get(), entry, argument);
  } catch (const std::system_error& e) {
    if (errnoOut != nullptr) *errnoOut = e.code().value();
    return nullptr;
  }
  return self;
}

void OsThread::Run(OsThread* self, Entry entry, void* argument) {
  t_threadId = self->id_;
  entry(argument);
  std::lock_guard lock(self->mutex_);
  self->finished_ = true;
  self->finishedCv_.notify_all();
}

OsThread::~OsThread() {
  if (!thread_.joinable()) return;
  if (IsCurrent()) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

bool OsThread::SuspendSelf() {
  if (!IsCurrent()) return false;
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return pendingWake_; });
  pendingWake_ = false;
  return true;
}

void OsThread::Resume() {
  std::lock_guard lock(mutex_);
  pendingWake_ = true;
  wake_.notify_all();
}

bool OsThread::IsCurrent() const { return thread_.get_id() == std::this_thread::get_id(); }

bool OsThread::Finished() const {
  std::lock_guard lock(mutex_);
  return finished_;
}

bool OsThread::Join(DWORD timeoutMs) {
  if (IsCurrent()) return false;
  {
    std::unique_lock lock(mutex_);
    if (timeoutMs == 0xFFFFFFFF) {
      finishedCv_.wait(lock, [this] { return finished_; });
    } else if (!finishedCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return finished_; })) {
      return false;
    }
  }
  if (thread_.joinable()) thread_.join();
  return true;
}

DWORD SuspendThread(HANDLE thread) {
  if (thread == nullptr || !thread->SuspendSelf()) return 0xFFFFFFFF;
  return 0;
}

DWORD ResumeThread(HANDLE thread) {
  if (thread == nullptr) return 0xFFFFFFFF;
  thread->Resume();
  return 0;
}

int GetThreadPriority(HANDLE) { return 0; }

WakeEvent::WakeEvent() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeEvent::~WakeEvent() {
  if (fd_ >= 0) close(fd_);
}

void WakeEvent::Signal() {
  const std::uint64_t one = 1;
  if (fd_ >= 0) {
    [[maybe_unused]] ssize_t n = write(fd_, &one, sizeof one);
  }
  signalled_.store(true, std::memory_order_release);
}

void WakeEvent::Clear() {
  if (signalled_.exchange(false, std::memory_order_acq_rel)) Drain();
}

void WakeEvent::Drain() {
  signalled_.store(false, std::memory_order_release);
  std::uint64_t value = 0;
  if (fd_ >= 0) {
    [[maybe_unused]] ssize_t n = read(fd_, &value, sizeof value);
  }
}

bool WakeEvent::Wait(int timeoutMs) {
  if (fd_ < 0) return false;
  pollfd p{fd_, POLLIN, 0};
  int r;
  do {
    r = poll(&p, 1, timeoutMs);
  } while (r < 0 && errno == EINTR);
  return r > 0 && (p.revents & POLLIN) != 0;
}
