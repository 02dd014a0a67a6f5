// Flight-plan files (".tkp", the raw record) and route files (INI sections
// "DEPARTURE", "ARRIVAL", "WAYPOINT_<n>"), and the plan kept in the settings
// file: what is read writes out and reads back the same. The first byte picks
// the kind of file.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/flight_plan_record.h"
#include "core/flight_plan_settings.h"
#include "core/protocol_text.h"
#include "dialogs/flight_plan_form.h"
#include "fuzz/fuzz_support.h"

namespace {

void PlanFile(std::span<const std::uint8_t> bytes) {
  const FlightPlanRecord record = ReadFlightPlanRecord(bytes);
  const FlightPlanRecordBytes written = WriteFlightPlanRecord(record);
  FUZZ_CHECK(ReadFlightPlanRecord(written) == record);
  FUZZ_CHECK(WriteFlightPlanRecord(ReadFlightPlanRecord(written)) == written);
}

void RouteFile(std::span<const std::uint8_t> bytes) {
  const std::string path = WriteFuzzFile("route.ini", bytes);
  for (const std::size_t limit : {kPlanFormFreeTextChars, std::size_t{16}}) {
    const std::string route = ReadRouteWaypoints(path.c_str(), limit);
    FUZZ_CHECK(route.size() <= limit);
    FUZZ_CHECK(route.find('\0') == std::string::npos);
  }
}

void SettingsPlan(std::span<const std::uint8_t> bytes) {
  const std::string path = WriteFuzzFile("Tavelkor.ini", bytes);
  const FlightPlanRecord record = ReadFlightPlanSettings(FlightPlanRecord{}, path.c_str());
  // The file holds route and remarks in their encoded form, as a form collects them.
  FlightPlanRecord encoded = record;
  EscapeProtocolText(std::span<char>(encoded.route));
  EscapeProtocolText(std::span<char>(encoded.remarks));
  const std::string copy = WriteFuzzFile("copy.ini", std::string_view());
  WriteFlightPlanSettings(encoded, copy.c_str());
  // A NUL inside a line ends its value where it stands, before the blanks at
  // the line's end are trimmed: such a file is not compared.
  if (std::find(bytes.begin(), bytes.end(), 0) != bytes.end()) return;
  FUZZ_CHECK(ReadFlightPlanSettings(FlightPlanRecord{}, copy.c_str()) == record);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietLibrary();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  QuietLibrary();
  const auto content = AsSpan(data + 1, size - 1);
  switch (data[0] % 3) {
    case 0: PlanFile(content); break;
    case 1: RouteFile(content); break;
    default: SettingsPlan(content); break;
  }
  return 0;
}
