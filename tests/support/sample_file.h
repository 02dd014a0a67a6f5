// Sound samples as the scripted audio device writes them: 16-bit
// little-endian words, and their energy.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The samples of a raw file; none when it does not exist.
std::vector<std::int16_t> ReadSamples(const std::string& path);
// The mean of the squared samples; 0 for none.
double MeanSquare(std::span<const std::int16_t> samples);
