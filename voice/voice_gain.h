// Linear gains on 16-bit samples: the product is truncated toward zero and
// saturates at the sample's range.
#pragma once

#include <cstdint>
#include <span>

std::int16_t ScaleSample(std::int16_t sample, float gain);
// out[i] = ScaleSample(in[i], gain); the shorter of the two spans counts.
void ScaleSamples(std::span<const std::int16_t> in, std::span<std::int16_t> out, float gain);
// 10^(dB / 20).
float GainFromDb(float db);

// The level sliders' positions: 0..500, dB = position * 0.05 - 20 (400 is 0 dB).
inline constexpr std::uint32_t kVoiceLevelMax = 500;
inline constexpr std::uint32_t kVoiceLevelDefault = 400;
// A stored level beyond the slider's range counts as its end, as the slider takes it.
float DbFromLevel(std::uint32_t position);
