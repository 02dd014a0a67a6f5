#include "support/sample_file.h"

#include <cstddef>
#include <fstream>
#include <iterator>

std::vector<std::int16_t> ReadSamples(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::vector<std::int16_t> samples(bytes.size() / 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const auto low = static_cast<std::uint8_t>(bytes[2 * i]);
    const auto high = static_cast<std::uint8_t>(bytes[2 * i + 1]);
    samples[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (high << 8)));
  }
  return samples;
}

double MeanSquare(std::span<const std::int16_t> samples) {
  double sum = 0.0;
  for (const std::int16_t s : samples) sum += static_cast<double>(s) * s;
  return samples.empty() ? 0.0 : sum / static_cast<double>(samples.size());
}
