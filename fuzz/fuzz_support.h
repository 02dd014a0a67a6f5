// What every fuzz target shares: a quiet library, a private temporary folder
// for the inputs that are read as files, and a check that stops the run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// A finding of the target's own checks: prints the reason and aborts, which
// libFuzzer reports as a crash with the input kept.
[[noreturn]] void FuzzFailure(const char* file, int line, const char* condition);
#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : FuzzFailure(__FILE__, __LINE__, #condition))

// No message box echo, no trace console: a run prints only libFuzzer's lines.
void QuietLibrary();

// A folder of this process under the system's temporary folder, made once and
// removed at exit.
const std::string& FuzzFolder();
// Writes bytes as the file `name` of FuzzFolder() and returns its path.
std::string WriteFuzzFile(std::string_view name, std::span<const std::uint8_t> bytes);
std::string WriteFuzzFile(std::string_view name, std::string_view text);
// The whole file, or empty when it cannot be read.
std::string ReadFuzzFile(const std::string& path);

inline std::span<const std::uint8_t> AsSpan(const std::uint8_t* data, std::size_t size) { return {data, size}; }
inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}
