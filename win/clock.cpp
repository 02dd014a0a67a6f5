#include "win/clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {
std::atomic<std::uint64_t> g_testOffsetMs{0};

std::uint64_t SteadyMilliseconds() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
}  // namespace

std::uint64_t GetTickCount64() { return SteadyMilliseconds() + g_testOffsetMs.load(std::memory_order_relaxed); }

DWORD GetTickCount() { return static_cast<DWORD>(GetTickCount64()); }

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

BOOL QueryPerformanceCounter(LARGE_INTEGER* counter) {
  if (counter == nullptr) return FALSE;
  using namespace std::chrono;
  counter->QuadPart = duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
  return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  if (frequency == nullptr) return FALSE;
  frequency->QuadPart = 1'000'000'000;
  return TRUE;
}

void AdvanceTickCountForTest(std::uint64_t milliseconds) {
  g_testOffsetMs.fetch_add(milliseconds, std::memory_order_relaxed);
}
