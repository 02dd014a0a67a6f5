#include "core/cross_sim_offsets.h"

#include <charconv>
#include <cmath>
#include <mutex>
#include <system_error>

#include "core/sim_family.h"

namespace {

std::mutex& TableLock() {
  static auto* lock = new std::mutex();
  return *lock;
}

CrossSimOffsetTable& Table() {
  static auto* table = new CrossSimOffsetTable(DefaultCrossSimOffsetTable());
  return *table;
}

// The next ','-separated field of `rest`, or nothing when the text is used up.
std::optional<std::string_view> NextField(std::string_view& rest, bool& exhausted) {
  if (exhausted) return std::nullopt;
  const std::size_t comma = rest.find(',');
  std::string_view field = rest.substr(0, comma);
  if (comma == std::string_view::npos) {
    exhausted = true;
    rest = {};
  } else {
    rest.remove_prefix(comma + 1);
  }
  // The loader turns blanks into '_'; either one around a field is padding.
  const auto pad = [](char c) { return c == ' ' || c == '_'; };
  while (!field.empty() && pad(field.front())) field.remove_prefix(1);
  while (!field.empty() && pad(field.back())) field.remove_suffix(1);
  return field;
}

// A whole field of decimal floating-point text, finite and within ±limit.
std::optional<double> ParseNumber(std::string_view field, double limit) {
  if (!field.empty() && field.front() == '+') field.remove_prefix(1);
  if (field.empty()) return std::nullopt;
  double value = 0.0;
  const char* end = field.data() + field.size();
  const auto [stop, error] = std::from_chars(field.data(), end, value, std::chars_format::general);
  if (error != std::errc() || stop != end) return std::nullopt;
  if (!std::isfinite(value) || std::fabs(value) > limit) return std::nullopt;
  return value;
}

bool Within(double value, double limit) { return std::isfinite(value) && std::fabs(value) <= limit; }

}  // namespace

CrossSimOffsetTable DefaultCrossSimOffsetTable() {
  static constexpr std::int32_t kFamilies[] = {kFamilyFs2004, kFamilyFsx, kFamilyP3d, kFamilyXp9, kFamilyXp10};
  CrossSimOffsetTable table;
  std::size_t n = 0;
  for (std::size_t a = 0; a < std::size(kFamilies); ++a) {
    for (std::size_t b = a + 1; b < std::size(kFamilies); ++b) {
      table.entries[n].simulatorA = kFamilies[a];
      table.entries[n].simulatorB = kFamilies[b];
      ++n;
    }
  }
  return table;
}

CrossSimOffsetTable CrossSimOffsets() {
  std::lock_guard guard(TableLock());
  return Table();
}

void SetCrossSimOffsets(const CrossSimOffsetTable& table) {
  std::lock_guard guard(TableLock());
  Table() = table;
}

void EditCrossSimOffsets(const std::function<void(CrossSimOffsetTable&)>& edit) {
  std::lock_guard guard(TableLock());
  edit(Table());
}

void SetDefaultCrossSimOffsets() {
  const CrossSimOffsetTable defaults = DefaultCrossSimOffsetTable();
  std::lock_guard guard(TableLock());
  Table().entries = defaults.entries;
}

int ParseCrossSimOffsetEntry(std::string_view value, CrossSimOffsetEntry& entry) {
  std::string_view rest = value;
  bool exhausted = false;
  CrossSimOffsetEntry parsed;

  const auto family = [&](std::int32_t& out, int missing, int unknown) {
    const std::optional<std::string_view> field = NextField(rest, exhausted);
    if (!field || field->empty()) return missing;
    out = ParseSimulatorFamilyName(*field);
    return out == 0 ? unknown : kOffsetLineParsed;
  };
  const auto number = [&](double& out, double limit, int bad) {
    const std::optional<std::string_view> field = NextField(rest, exhausted);
    if (!field) return bad;
    const std::optional<double> read = ParseNumber(*field, limit);
    if (!read) return bad;
    out = *read;
    return kOffsetLineParsed;
  };

  if (const int r = family(parsed.simulatorA, kOffsetLineFamilyAMissing, kOffsetLineFamilyAUnknown); r < 0) return r;
  if (const int r = family(parsed.simulatorB, kOffsetLineFamilyBMissing, kOffsetLineFamilyBUnknown); r < 0) return r;
  if (const int r = number(parsed.latitudeOffset, kMaxLatitudeOffset, kOffsetLineLatitudeBad); r < 0) return r;
  if (const int r = number(parsed.longitudeOffset, kMaxLongitudeOffset, kOffsetLineLongitudeBad); r < 0) return r;
  double altitude = 0.0;
  double heading = 0.0;
  if (const int r = number(altitude, kMaxAltitudeOffset, kOffsetLineAltitudeBad); r < 0) return r;
  if (const int r = number(heading, kMaxHeadingOffset, kOffsetLineHeadingBad); r < 0) return r;
  parsed.altitudeOffset = static_cast<float>(altitude);
  parsed.headingOffset = static_cast<float>(heading);
  entry = parsed;
  return kOffsetLineParsed;
}

int ParseCrossSimOffsetLine(std::string_view value, int entryIndex, CrossSimOffsetTable& table) {
  if (entryIndex < 0 || entryIndex >= kCrossSimEntryCount) return kOffsetLineBadEntryIndex;
  return ParseCrossSimOffsetEntry(value, table.entries[static_cast<std::size_t>(entryIndex)]);
}

bool CrossSimOffsetsInRange(const CrossSimOffsetEntry& entry) {
  return Within(entry.latitudeOffset, kMaxLatitudeOffset) && Within(entry.longitudeOffset, kMaxLongitudeOffset) &&
         Within(entry.altitudeOffset, kMaxAltitudeOffset) && Within(entry.headingOffset, kMaxHeadingOffset);
}

int FindCrossSimPairEntry(const CrossSimOffsetTable& table, std::int32_t familyA, std::int32_t familyB) {
  for (int i = 0; i < kCrossSimEntryCount; ++i) {
    const CrossSimOffsetEntry& e = table.entries[static_cast<std::size_t>(i)];
    if ((e.simulatorA == familyA && e.simulatorB == familyB) || (e.simulatorA == familyB && e.simulatorB == familyA)) {
      return i;
    }
  }
  return -1;
}

std::optional<CrossSimPairOffsets> FindCrossSimPairOffsets(const CrossSimOffsetTable& table, std::int32_t ownCode,
                                                           std::int32_t peerCode) {
  const std::int32_t own = SimulatorFamily(ownCode);
  const std::int32_t peer = SimulatorFamily(peerCode);
  if (own == peer) return CrossSimPairOffsets{};
  // The entry the offsets dialog edits for this pair: the first in either order.
  const int index = FindCrossSimPairEntry(table, own, peer);
  if (index < 0) return std::nullopt;
  const CrossSimOffsetEntry& e = table.entries[static_cast<std::size_t>(index)];
  if (e.simulatorA == own) return CrossSimPairOffsets{e.latitudeOffset, e.longitudeOffset, e.altitudeOffset, e.headingOffset};
  return CrossSimPairOffsets{-e.latitudeOffset, -e.longitudeOffset, -e.altitudeOffset, -e.headingOffset};
}

std::optional<CrossSimPairOffsets> CrossSimPairOffsetsFor(std::int32_t ownCode, std::int32_t peerCode) {
  std::lock_guard guard(TableLock());
  return FindCrossSimPairOffsets(Table(), ownCode, peerCode);
}

CrossSimPosition ApplyCrossSimOffsets(CrossSimPosition p, const CrossSimPairOffsets& o) {
  if (std::isfinite(p.latitude)) {
    p.latitude += o.latitude;
    if (p.latitude > 90.0) p.latitude = 90.0;
    if (p.latitude < -90.0) p.latitude = -90.0;
  }
  if (std::isfinite(p.longitude)) {
    // remainder() keeps -180..180 and is exact, so a position off the date
    // line comes back unchanged.
    p.longitude = std::remainder(p.longitude + o.longitude, 360.0);
  }
  if (std::isfinite(p.altitudeFeet)) p.altitudeFeet += o.altitude;
  if (std::isfinite(p.headingDegrees)) {
    p.headingDegrees = std::fmod(p.headingDegrees + o.heading, 360.0);
    if (p.headingDegrees < 0.0) p.headingDegrees += 360.0;
    if (p.headingDegrees >= 360.0) p.headingDegrees = 0.0;
  }
  return p;
}
