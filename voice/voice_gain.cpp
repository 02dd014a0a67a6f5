#include "voice/voice_gain.h"

#include <algorithm>
#include <cmath>

std::int16_t ScaleSample(std::int16_t sample, float gain) {
  const double product = static_cast<double>(sample) * static_cast<double>(gain);
  if (std::isnan(product)) return 0;
  if (product >= 32767.0) return 32767;
  if (product <= -32768.0) return -32768;
  return static_cast<std::int16_t>(product);  // truncates toward zero
}

void ScaleSamples(std::span<const std::int16_t> in, std::span<std::int16_t> out, float gain) {
  const std::size_t n = std::min(in.size(), out.size());
  for (std::size_t i = 0; i < n; ++i) out[i] = ScaleSample(in[i], gain);
}

float GainFromDb(float db) { return static_cast<float>(std::pow(10.0, static_cast<double>(db) / 20.0)); }

float DbFromLevel(std::uint32_t position) {
  return static_cast<float>(std::min(position, kVoiceLevelMax)) * 0.05F - 20.0F;
}
