// Test signals for the codec.
#pragma once

#include <cstddef>
#include <span>

#include "voice/voice_tone.h"

inline double MeanSquare(std::span<const std::int16_t> samples) {
  double sum = 0.0;
  for (const std::int16_t s : samples) sum += static_cast<double>(s) * s;
  return samples.empty() ? 0.0 : sum / static_cast<double>(samples.size());
}
