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
