// Test signals for the codec.
#pragma once

#include <cmath>
#include <cstddef>
#include <numbers>
#include <span>

#include "voice/amr_codec.h"

// Frame `index` of a continuous sine tone at 8 kHz.
inline VoiceSamples ToneFrame(std::size_t index, double hertz = 440.0, double amplitude = 8000.0) {
  VoiceSamples samples{};
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double t = static_cast<double>(index * samples.size() + i) / 8000.0;
    samples[i] = static_cast<std::int16_t>(amplitude * std::sin(2.0 * std::numbers::pi * hertz * t));
  }
  return samples;
}

inline double MeanSquare(std::span<const std::int16_t> samples) {
  double sum = 0.0;
  for (const std::int16_t s : samples) sum += static_cast<double>(s) * s;
  return samples.empty() ? 0.0 : sum / static_cast<double>(samples.size());
}
