// A continuous sine tone in 20-ms frames at 8 kHz: the scripted capture's
// signal, and a known input for the codec.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>

#include "voice/amr_codec.h"

inline constexpr double kScriptToneHertz = 440.0;
inline constexpr double kScriptToneAmplitude = 8000.0;

// Frame `index` of the tone.
inline VoiceSamples ToneFrame(std::size_t index, double hertz = kScriptToneHertz,
                              double amplitude = kScriptToneAmplitude) {
  VoiceSamples samples{};
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double t = static_cast<double>(index * samples.size() + i) / 8000.0;
    samples[i] = static_cast<std::int16_t>(amplitude * std::sin(2.0 * std::numbers::pi * hertz * t));
  }
  return samples;
}
