// Threads of the platform: std::thread with cooperative suspension.
// A thread suspends only itself; any thread may resume it, and a resume that
// arrives before the suspend is kept, so it is never lost.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "win/types.h"

class OsThread {
 public:
  using Entry = unsigned (*)(void* argument);

  // Starts the thread at once; null when the platform refuses (errnoOut gets the reason).
  static std::unique_ptr<OsThread> Start(Entry entry, void* argument, int* errnoOut = nullptr);

  ~OsThread();
  OsThread(const OsThread&) = delete;
  OsThread& operator=(const OsThread&) = delete;

  // Blocks the calling thread, which must be this thread, until Resume.
  // Returns false (and does nothing) when called from another thread.
  bool SuspendSelf();
  void Resume();

  bool IsCurrent() const;
  DWORD Id() const { return id_; }
  // Waits for the body to return; false on timeout. Never joins itself.
  bool Join(DWORD timeoutMs = 0xFFFFFFFF);
  bool Finished() const;

 private:
  OsThread() = default;
  static void Run(OsThread* self, Entry entry, void* argument);

  std::thread thread_;
  DWORD id_ = 0;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool pendingWake_ = false;
  bool finished_ = false;
  std::condition_variable finishedCv_;
};

using HANDLE = OsThread*;

DWORD GetCurrentThreadId();
// Cooperative: effective only for the calling thread's own handle; -1 otherwise.
DWORD SuspendThread(HANDLE thread);
DWORD ResumeThread(HANDLE thread);
int GetThreadPriority(HANDLE thread);

// A wake-up signal that can be polled together with sockets (an eventfd).
// Clear reads the descriptor only after a Signal, so that a waiter that clears
// on every pass pays no system call while nothing was signalled.
class WakeEvent {
 public:
  WakeEvent();
  ~WakeEvent();
  WakeEvent(const WakeEvent&) = delete;
  WakeEvent& operator=(const WakeEvent&) = delete;

  void Signal();
  void Clear();
  // Reads the descriptor whatever the flag says: for a descriptor that is also
  // written from outside (a signal handler writes it with write()).
  void Drain();
  // Waits until signalled or the timeout passes (negative: no limit); true when
  // signalled. Does not clear.
  bool Wait(int timeoutMs);
  int Fd() const { return fd_; }

 private:
  int fd_ = -1;
  // Set after each write, taken by Clear before its read: a Signal that races
  // with a Clear leaves the flag set, so its write is read by the next Clear.
  std::atomic<bool> signalled_{false};
};
