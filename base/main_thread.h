// The main worker's base: collector of thread ends and drain of the trace ring.
#pragma once

#include <array>
#include <atomic>
#include <cstdarg>
#include <memory>

#include "base/base_thread.h"
#include "base/byte_ring.h"
#include "base/lock_holder.h"

constexpr std::uint32_t kTraceRingSize = 1'536'000;
constexpr std::size_t kTraceTextLimit = 51'199;

// Trace ring record tags.
enum TraceTag : std::uint8_t {
  kTraceText = 0,
  kTraceFormat = 1,
  kTraceEffects = 2,
  kTraceColour = 3,
  kTraceRemoveDelimiters = 4,
  kTraceRemoveDelimitedText = 5,
  kTraceClear = 6,
};

class CMainThread : public CBaseThread {
 public:
  CMainThread(void* ownerSlot, const char* name);
  ~CMainThread() override;

  DWORD ProcessMessage(const DMessage& message) override;
  DWORD VTFX(DWORD argument) override;

  void DrainTrace(const DMessage& message);
  // The trace ring with the trace-ring lock entered (when usable); UnlockTraceRing leaves it.
  ByteRing& LockTraceRing();
  void UnlockTraceRing();
  ByteRing& TraceRing() { return traceRing_; }
  // How a writer waits for room in a full trace ring; tests replace it so that
  // the 10 s limit costs no real time.
  void SetTraceRingWaiter(RingWaiter& waiter) { traceRingWaiter_.store(&waiter); }
  RingWaiter& TraceRingWaiter() const { return *traceRingWaiter_.load(); }

  void Output(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void TraceLine(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void OutputLocal(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // An already formatted text: never taken as a format again.
  void OutputText(const char* text, bool remote);
  void SetFormat(DWORD effects, COLORREF colour);
  void SetEffects(DWORD effects);
  void SetColour(COLORREF colour);
  void RemoveDelimiters(char start, char end);
  void RemoveDelimitedText(char start, char end);
  void Clear();

  DWORD StoredEffects() const { return effects_; }
  COLORREF StoredColour() const { return colour_; }

 private:
  void SendRemoteTrace(std::uint8_t tag, const std::uint8_t* body, std::uint32_t bodyLength);
  void OutputFormatted(bool remote, const char* prefix, const char* format, va_list args);

  std::unique_ptr<std::uint8_t[]> traceStorage_;
  ByteRing traceRing_;
  // Per writer: the trace-ring lock is entered by many threads.
  LockHolder traceLockHolder_;
  std::atomic<RingWaiter*> traceRingWaiter_{&DefaultRingWaiter()};
  DWORD effects_ = 0;
  COLORREF colour_ = 0;
  std::unique_ptr<char[]> text_;
};

// The application's console flag: without a trace output, text goes to the standard output.
void SetTraceConsole(bool enabled);
bool TraceConsole();
