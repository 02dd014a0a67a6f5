// "CrossSimOffsets.ini": a section read from the input, saved, and read back
// from what was saved gives the same table (the file keeps six decimals), and
// saving that again writes the same file.
#include <cmath>
#include <cstdint>
#include <string>

#include "core/cross_sim_offsets.h"
#include "core/cross_sim_offsets_file.h"
#include "core/sim_family.h"
#include "fuzz/fuzz_support.h"

namespace {
// "%f" keeps six decimals.
bool Near(double a, double b) { return std::fabs(a - b) <= 1e-6 + 1e-7 * std::fabs(a); }

// A table read from nothing keeps the defaults' empty airport; one saved names it.
bool SameTable(const CrossSimOffsetTable& a, const CrossSimOffsetTable& b, bool sameAirport) {
  if (sameAirport && a.icao != b.icao) return false;
  for (std::size_t i = 0; i < a.entries.size(); ++i) {
    const CrossSimOffsetEntry& x = a.entries[i];
    const CrossSimOffsetEntry& y = b.entries[i];
    if (x.simulatorA != y.simulatorA || x.simulatorB != y.simulatorB || !Near(x.latitudeOffset, y.latitudeOffset) ||
        !Near(x.longitudeOffset, y.longitudeOffset) || !Near(x.altitudeOffset, y.altitudeOffset) ||
        !Near(x.headingOffset, y.headingOffset)) {
      return false;
    }
  }
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietLibrary();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  QuietLibrary();
  constexpr std::int32_t kFamilies[] = {kFamilyXp10, kFamilyXp9, kFamilyFsx, kFamilyP3d};
  const std::int32_t family = kFamilies[data[0] % 4];
  const std::string path = WriteFuzzFile("CrossSimOffsets.ini", AsSpan(data + 1, size - 1));

  SetCrossSimOffsets(DefaultCrossSimOffsetTable());
  const CrossSimLoadResult loaded = LoadCrossSimOffsets("LFPG", family, path.c_str());
  FUZZ_CHECK(loaded.entriesRead >= 0 && loaded.entriesRead <= 10);
  const CrossSimOffsetTable table = CrossSimOffsets();

  const std::string saved = WriteFuzzFile("saved.ini", std::string_view());
  if (SaveCrossSimOffsets("LFPG", saved.c_str()) != CrossSimSaveResult::Saved) return 0;
  SetCrossSimOffsets(DefaultCrossSimOffsetTable());
  const CrossSimLoadResult again = LoadCrossSimOffsets("LFPG", family, saved.c_str());
  FUZZ_CHECK(again.entriesRead == 10);
  FUZZ_CHECK(SameTable(CrossSimOffsets(), table, loaded.entriesRead > 0));
  const std::string again2 = WriteFuzzFile("saved2.ini", std::string_view());
  FUZZ_CHECK(SaveCrossSimOffsets("LFPG", again2.c_str()) == CrossSimSaveResult::Saved);
  FUZZ_CHECK(ReadFuzzFile(again2) == ReadFuzzFile(saved));
  return 0;
}
