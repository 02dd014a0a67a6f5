#include "core/cross_sim_offsets_file.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "base/klib_settings.h"
#include "base/klib_trace.h"
#include "core/app_paths.h"
#include "core/cross_sim_offsets.h"
#include "core/nearest_airport.h"
#include "core/sim_family.h"
#include "core/text_fields.h"
#include "win/ascii_case.h"
#include "win/profile.h"

namespace {

constexpr std::uint32_t kTraceOffsetErrors = 0x20;
// The longest value the file may hold; one more byte tells a longer one apart.
constexpr std::size_t kMaxValueLength = 1023;
constexpr int kOffsetLineTooLong = -70;

using SectionName = std::array<char, 16>;
using KeyName = std::array<char, 8>;

// At most the 4 characters of a code, up to a NUL inside it.
std::string_view AirportPart(std::string_view icao) {
  const std::size_t nul = icao.find('\0');
  if (nul != std::string_view::npos) icao = icao.substr(0, nul);
  return icao.substr(0, kAirportCodeSize - 1);
}

SectionName Section(std::string_view code) {
  SectionName section{};
  std::snprintf(section.data(), section.size(), "OFS_%.*s", static_cast<int>(code.size()), code.data());
  return section;
}

KeyName Key(int n) {
  KeyName key{};
  std::snprintf(key.data(), key.size(), "SIM%d", n);
  return key;
}

bool FileExists(const char* path) {
  std::error_code error;
  return path != nullptr && std::filesystem::is_regular_file(path, error);
}

std::string NearestIcao() { return std::string(FieldText(CurrentNearestAirport().icao)); }

}  // namespace

bool CrossSimLoadResult::Complete() const { return entriesRead == kCrossSimEntryCount; }

CrossSimLoadResult LoadCrossSimOffsets(std::string_view icao, std::int32_t ownFamily, const char* path) {
  CrossSimLoadResult result;
  const std::string_view code = AirportPart(icao);
  if (code.empty() || ownFamily == 0 || !FileExists(path)) return result;
  result.attempted = true;
  const SectionName section = Section(code);

  // Read and parse outside the table's lock; the pilot ways read the table meanwhile.
  std::array<CrossSimOffsetEntry, kCrossSimEntryCount> read{};
  for (int n = 0; n < kCrossSimEntryCount; ++n) {
    const KeyName key = Key(n);
    std::array<char, kMaxValueLength + 2> value{};
    const DWORD length =
        GetPrivateProfileStringA(section.data(), key.data(), "", value.data(), static_cast<DWORD>(value.size()), path);
    if (length == 0) break;
    for (char& c : value) {
      c = AsciiToUpper(c);
      if (c == ' ') c = '_';
    }
    int parsed = kOffsetLineTooLong;
    if (length <= kMaxValueLength) {
      parsed = ParseCrossSimOffsetEntry(std::string_view(value.data(), length), read[static_cast<std::size_t>(n)]);
    }
    if (parsed != kOffsetLineParsed) {
      result.errorCode = parsed;
      if ((Klib().traceMask.load(std::memory_order_relaxed) & kTraceOffsetErrors) != 0) {
        value[kMaxValueLength] = '\0';
        KlibMainTraceLine(Klib().Colour(kColourError), "Error %d at Section %s, Entry %s, in file %s : %s", parsed,
                          section.data(), key.data(), path, value.data());
      }
      break;
    }
    ++result.entriesRead;
  }

  if (result.entriesRead > 0) {
    EditCrossSimOffsets([&](CrossSimOffsetTable& table) {
      for (int n = 0; n < result.entriesRead; ++n) {
        table.entries[static_cast<std::size_t>(n)] = read[static_cast<std::size_t>(n)];
      }
      table.icao.fill('\0');
      code.copy(table.icao.data(), code.size());
    });
  }
  return result;
}

CrossSimLoadResult LoadCrossSimOffsets(std::int32_t ownFamily) {
  return LoadCrossSimOffsets(NearestIcao(), ownFamily, g_appPaths().crossSimOffsetsFile.c_str());
}

CrossSimSaveResult SaveCrossSimOffsets(std::string_view icao, const char* path) {
  const std::string_view code = AirportPart(icao);
  if (code.empty()) return CrossSimSaveResult::NoAirport;
  const CrossSimOffsetTable table = CrossSimOffsets();

  // Every value first: a half-written section would mix two tables.
  std::array<std::array<char, kMaxValueLength + 1>, kCrossSimEntryCount> values{};
  for (std::size_t n = 0; n < table.entries.size(); ++n) {
    const CrossSimOffsetEntry& e = table.entries[n];
    const char* nameA = SimulatorFamilyFileName(e.simulatorA);
    const char* nameB = SimulatorFamilyFileName(e.simulatorB);
    int length = -1;
    if (nameA != nullptr && nameB != nullptr && CrossSimOffsetsInRange(e)) {
      length = std::snprintf(values[n].data(), values[n].size(), "%s,%s,%f,%f,%f,%f", nameA, nameB,
                             e.latitudeOffset, e.longitudeOffset, static_cast<double>(e.altitudeOffset),
                             static_cast<double>(e.headingOffset));
    }
    if (length < 0 || static_cast<std::size_t>(length) >= values[n].size()) {
      KlibMainTraceLine(Klib().Colour(kColourError), "Error while saving offsets in file %s : %p, %p.",
                        path != nullptr ? path : "", static_cast<const void*>(nameA),
                        static_cast<const void*>(nameB));
      return CrossSimSaveResult::InvalidEntry;
    }
  }

  const SectionName section = Section(code);
  for (int n = 0; n < kCrossSimEntryCount; ++n) {
    const KeyName key = Key(n);
    if (WritePrivateProfileStringA(section.data(), key.data(), values[static_cast<std::size_t>(n)].data(), path) ==
        FALSE) {
      // The pilot's adjustments would be lost without a word.
      KlibMainTraceLine(Klib().Colour(kColourError), "Error while writing offsets in file %s.",
                        path != nullptr ? path : "");
      return CrossSimSaveResult::WriteFailed;
    }
  }
  return CrossSimSaveResult::Saved;
}

CrossSimSaveResult SaveCrossSimOffsets() {
  return SaveCrossSimOffsets(NearestIcao(), g_appPaths().crossSimOffsetsFile.c_str());
}
