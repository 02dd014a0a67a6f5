// The INI reader on a file holding the input, and the settings loaders on it:
// every section and key listed reads, what is written reads back, and a name
// written twice leaves one copy.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/flight_plan_settings.h"
#include "core/settings.h"
#include "fuzz/fuzz_support.h"
#include "win/profile.h"

namespace {

constexpr DWORD kBufferSize = 2'048;

// The names of a NUL-separated list, as GetPrivateProfileStringA gives it.
std::vector<std::string> Names(const char* list, DWORD length) {
  std::vector<std::string> names;
  for (DWORD at = 0; at < length;) {
    const std::size_t n = std::strlen(list + at);
    if (n == 0) break;
    names.emplace_back(list + at, n);
    at += static_cast<DWORD>(n) + 1;
  }
  return names;
}

std::vector<std::string> List(const char* section, const char* path) {
  std::array<char, kBufferSize> buffer{};
  const DWORD length = GetPrivateProfileStringA(section, nullptr, "", buffer.data(), kBufferSize, path);
  FUZZ_CHECK(length <= kBufferSize - 2 || length == 0);
  return Names(buffer.data(), length);
}

std::string Read(const char* section, const char* key, const char* path) {
  std::array<char, kBufferSize> buffer{};
  const DWORD length = GetPrivateProfileStringA(section, key, "\x01", buffer.data(), kBufferSize, path);
  FUZZ_CHECK(length < kBufferSize);
  FUZZ_CHECK(std::strlen(buffer.data()) == length);
  return std::string(buffer.data(), length);
}

// A name of up to 12 bytes of the input (no NUL), so that the names asked for are as odd as the file's.
std::string NameFrom(std::string_view bytes) {
  std::string name(bytes.substr(0, 12));
  name.erase(std::remove(name.begin(), name.end(), '\0'), name.end());
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietLibrary();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  QuietLibrary();
  const std::string_view text = AsText(data, size);
  const std::string path = WriteFuzzFile("Tavelkor.ini", text);

  const std::vector<std::string> sections = List(nullptr, path.c_str());
  for (std::size_t s = 0; s < sections.size() && s < 8; ++s) {
    for (const std::string& key : List(sections[s].c_str(), path.c_str())) {
      Read(sections[s].c_str(), key.c_str(), path.c_str());
      GetPrivateProfileIntA(sections[s].c_str(), key.c_str(), 7, path.c_str());
    }
  }

  // The settings loaders, as the program runs them at start.
  LoadSetup(path.c_str());
  LoadNetworkSettings(path.c_str());
  ReloadVoiceJoystickNumber(path.c_str());
  ReadWindowPosition("MAIN", path.c_str());
  ReadFlightPlanSettings(FlightPlanRecord{}, path.c_str());

  // Writes into the file: a listed name and names from the input, twice each.
  std::vector<std::pair<std::string, std::string>> names;
  if (!sections.empty()) names.emplace_back(sections.front(), "K");
  names.emplace_back(NameFrom(text), NameFrom(text.substr(std::min<std::size_t>(text.size(), 12))));
  names.emplace_back("OFS_" + NameFrom(text.substr(std::min<std::size_t>(text.size(), 24))), "SIM0");
  for (std::size_t n = 0; n < names.size(); ++n) {
    const auto& [section, key] = names[n];
    const std::string first = "first value " + std::to_string(n);
    const std::string second = "second value " + std::to_string(n);
    const BOOL wroteFirst = WritePrivateProfileStringA(section.c_str(), key.c_str(), first.c_str(), path.c_str());
    const BOOL wroteSecond = WritePrivateProfileStringA(section.c_str(), key.c_str(), second.c_str(), path.c_str());
    FUZZ_CHECK(wroteFirst == wroteSecond);
    if (wroteSecond == FALSE) continue;
    FUZZ_CHECK(Read(section.c_str(), key.c_str(), path.c_str()) == second);
    // Written again, the same value changes nothing: no second copy of the key.
    const std::string written = ReadFuzzFile(path);
    FUZZ_CHECK(WritePrivateProfileStringA(section.c_str(), key.c_str(), second.c_str(), path.c_str()) == TRUE);
    FUZZ_CHECK(ReadFuzzFile(path) == written);
  }
  return 0;
}
