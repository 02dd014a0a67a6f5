// A millisecond clock on the processor's time-stamp counter, calibrated
// against the one-second timer of the main dialog.
#pragma once

#include <cstdint>

constexpr int kTscCalibrationCalls = 5;

// The time-stamp counter; a steady nanosecond count on processors without one.
std::uint64_t ReadTsc();

// One call per one-second tick (UI thread) while TscCalibrationCount() is
// below 5: the first call takes a sample, the next four measure one second
// each, and the fifth sets the rate to their mean. Later calls do nothing.
void CalibrateTsc();
int TscCalibrationCount();
// Counter ticks per second; 0 until calibrated. Any thread.
std::uint64_t TscTicksPerSecond();

// Counter × 1000 / ticks per second, truncated, modulo 2^32 (it wraps as
// GetTickCount does). 0 until calibrated. Any thread.
std::uint32_t TscMilliseconds();
// The same for given values, without overflow for any counter; 0 for a zero rate.
std::uint32_t TscTicksToMilliseconds(std::uint64_t ticks, std::uint64_t ticksPerSecond);

// Tests feed the counter instead of waiting seconds: the source replaces
// ReadTsc for the calibration and for TscMilliseconds (null restores it).
using TscSource = std::uint64_t (*)();
void SetTscSourceForTest(TscSource source);
// Back to uncalibrated: count 0, rate 0.
void ResetTscCalibrationForTest();
