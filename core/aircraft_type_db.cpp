#include "core/aircraft_type_db.h"

#include <cstdio>
#include <string>
#include <unordered_set>

#include "core/app_paths.h"
#include "base/message_box.h"
#include "core/icao_data.h"
#include "core/text_fields.h"
#include "win/ascii_case.h"
#include "win/clock.h"

namespace {
// Upper-cases the line, splits it at TABs (a run of TABs is one separator, as
// strtok does) and stores the trimmed fields, cut to their widths.
void StoreTypeLine(char* line, AircraftTypeRecord& record) {
  record = AircraftTypeRecord{};
  AsciiUpperInPlace(line);
  const struct {
    char* dest;
    std::size_t width;
  } fields[] = {
      {record.manufacturer, sizeof record.manufacturer},
      {record.model, sizeof record.model},
      {record.icaoType, sizeof record.icaoType},
      {record.classCode, sizeof record.classCode},
      {record.fifth, sizeof record.fifth},
  };
  char* p = line;
  for (const auto& field : fields) {
    while (*p == '\t') ++p;
    if (*p == '\0') break;
    char* start = p;
    while (*p != '\0' && *p != '\t') ++p;
    const bool last = *p == '\0';
    *p = '\0';
    TrimSpaces(field.dest, field.width, start);
    if (last) break;
    ++p;
  }
}
}  // namespace

AircraftTypeDb& g_aircraftTypeDb() {
  static auto* db = new AircraftTypeDb();
  return *db;
}

IcaoTypeList& g_icaoTypeList() {
  static auto* list = new IcaoTypeList();
  return *list;
}

int LoadAircraftTypes() { return LoadAircraftTypes(g_appPaths().aircraftTypesFile); }

int LoadAircraftTypes(std::string_view pathView) {
  AircraftTypeDb& db = g_aircraftTypeDb();
  if (db.loaded) return 1;
  if (!db.Allocated()) return -1;  // AllocateTables has already reported it
  const std::string path(pathView);
  FilePtr file = OpenDataFile(path);
  if (!file) {
    ShowMessage(kIcaoErrorTitle, "File %s not found.", path.c_str());
    return -1;
  }

  db.count = 0;
  char line[kAircraftTypeLineMax + 1];
  std::size_t length = 0;
  bool more = true;
  while (more) {
    const int c = std::getc(file.get());
    more = c != EOF;
    if (more && c != '\r' && c != '\n') {
      if (length < kAircraftTypeLineMax) line[length++] = static_cast<char>(c);
      continue;
    }
    if (length == 0) continue;  // an empty line
    line[length] = '\0';
    length = 0;
    if (db.count >= kMaxAircraftTypes) break;
    StoreTypeLine(line, db.records[db.count]);
    ++db.count;
    if (db.count % kAircraftTypesPerPause == 0) Sleep(1);
  }

  if (BuildIcaoTypeList() < 1) return -10;
  db.loaded = true;
  return 2;
}

int FindAircraftTypeIndex(const char* type) {
  const AircraftTypeDb& db = g_aircraftTypeDb();
  if (type == nullptr || type[0] == '\0' || !db.loaded || !db.Allocated()) return -1;
  const std::string_view wanted(type);
  for (int i = 0; i < db.count; ++i) {
    if (AsciiEqualNoCase(FieldText(db.records[i].icaoType), wanted)) return i;
  }
  for (int i = 0; i < db.count; ++i) {
    if (AsciiCompareNoCaseN(db.records[i].icaoType, type, 3) == 0) return i;
  }
  return -4;
}

int BuildIcaoTypeList() {
  IcaoTypeList& list = g_icaoTypeList();
  list.entries.reset();
  list.count = 0;
  const AircraftTypeDb& db = g_aircraftTypeDb();
  const int types = db.Allocated() ? db.count : 0;
  TablePtr<IcaoTypeEntry> entries(AllocateTableRecords<IcaoTypeEntry>(static_cast<std::size_t>(types)));
  if (!entries) {
    ShowMessage(kIcaoErrorTitle, "Can't allocate ICAO aircraft type array.");
    return -1;
  }
  std::unordered_set<std::string> seen;
  int count = 0;
  for (int i = 0; i < types; ++i) {
    const AircraftTypeRecord& record = db.records[i];
    if (!seen.insert(AsciiUpper(FieldText(record.icaoType))).second) continue;
    IcaoTypeEntry& entry = entries[count++];
    CopyCut(entry.type, FieldText(record.icaoType));
    const std::string_view maker = FieldText(record.manufacturer);
    const std::string_view model = FieldText(record.model);
    const std::string_view classCode = FieldText(record.classCode);
    std::snprintf(entry.label, sizeof entry.label, "%.*s %.*s ( %.*s )", static_cast<int>(maker.size()), maker.data(),
                  static_cast<int>(model.size()), model.data(), static_cast<int>(classCode.size()), classCode.data());
  }
  list.entries = std::move(entries);
  list.count = count;
  return 1000;
}
