#include "app/tsc_clock.h"

#include <array>
#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#else
#include <chrono>
#endif

namespace {

using Wide = unsigned __int128;

std::atomic<TscSource> g_source{nullptr};
std::atomic<std::uint64_t> g_ticksPerSecond{0};

// Touched by the calibration on the UI thread only; the count is read elsewhere.
struct Calibration {
  std::atomic<int> count{0};
  std::uint64_t lastSample = 0;
  std::array<std::uint64_t, kTscCalibrationCalls> intervals{};  // [1..4] used
};
Calibration g_calibration;

std::uint64_t Sample() {
  const TscSource source = g_source.load();
  return source != nullptr ? source() : ReadTsc();
}

}  // namespace

std::uint64_t ReadTsc() {
#if defined(__x86_64__) || defined(__i386__)
  return __rdtsc();
#else
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(since).count());
#endif
}

void CalibrateTsc() {
  Calibration& c = g_calibration;
  const int count = c.count.load();
  if (count >= kTscCalibrationCalls) return;
  const std::uint64_t sample = Sample();
  if (count > 0) {
    c.intervals[static_cast<std::size_t>(count)] = sample - c.lastSample;
    if (count == kTscCalibrationCalls - 1) {
      // Four intervals of up to 2^64 each: summed wide.
      Wide sum = 0;
      for (int i = 1; i < kTscCalibrationCalls; ++i) sum += c.intervals[static_cast<std::size_t>(i)];
      g_ticksPerSecond.store(static_cast<std::uint64_t>(sum / (kTscCalibrationCalls - 1)));
    }
  }
  c.lastSample = sample;
  c.count.store(count + 1);
}

int TscCalibrationCount() { return g_calibration.count.load(); }

std::uint64_t TscTicksPerSecond() { return g_ticksPerSecond.load(); }

std::uint32_t TscTicksToMilliseconds(std::uint64_t ticks, std::uint64_t ticksPerSecond) {
  if (ticksPerSecond == 0) return 0;
  // ticks × 1000 needs up to 74 bits.
  const Wide milliseconds = static_cast<Wide>(ticks) * 1000u / ticksPerSecond;
  return static_cast<std::uint32_t>(milliseconds);
}

std::uint32_t TscMilliseconds() {
  const std::uint64_t rate = g_ticksPerSecond.load();
  if (rate == 0) return 0;
  return TscTicksToMilliseconds(Sample(), rate);
}

void SetTscSourceForTest(TscSource source) { g_source.store(source); }

void ResetTscCalibrationForTest() {
  g_ticksPerSecond.store(0);
  g_calibration.lastSample = 0;
  g_calibration.intervals.fill(0);
  g_calibration.count.store(0);
}
