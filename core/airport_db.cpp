#include "core/airport_db.h"

#include <bit>
#include <climits>
#include <cstring>

#include "base/message_box.h"
#include "core/icao_data.h"
#include "core/text_fields.h"
#include "win/paths.h"

namespace {
float ReadF32(const std::uint8_t* p) {
  const std::uint32_t bits = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                             (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  return std::bit_cast<float>(bits);
}

int Fail(AirportDb& db) {
  db.Clear();
  return 0;
}
}  // namespace

std::string_view AirportRecord::Icao() const { return FieldText(icao); }

AirportDb& g_airportDb() {
  static auto* db = new AirportDb();
  return *db;
}

void DecodeAirportFileRecord(const std::uint8_t (&bytes)[kAirportFileRecordSize], AirportRecord& out) {
  out = AirportRecord{};
  CopyCut(out.icao, std::string_view(reinterpret_cast<const char*>(bytes), 4));
  out.latitude = ReadF32(bytes + 4);
  out.longitude = ReadF32(bytes + 8);
  out.elevation = ReadF32(bytes + 12);
}

int LoadAirports(std::string_view programFolder) {
  AirportDb& db = g_airportDb();
  if (programFolder.empty()) {
    ShowMessage(kIcaoErrorTitle, "ICAO data null string.");
    return Fail(db);
  }
  const std::string path = JoinPath(programFolder, kAirportFileName);
  unsigned long long size = 0;
  FilePtr file = OpenDataFile(path, &size);
  if (!file) {
    ShowMessage(kIcaoErrorTitle, "ICAO data file could not be open %s.", path.c_str());
    return Fail(db);
  }
  if (size == 0) {
    ShowMessage(kIcaoErrorTitle, "ICAO data could not be get file size %s.", path.c_str());
    return Fail(db);
  }
  const unsigned long long fileCount = size / kAirportFileRecordSize;
  if (fileCount > static_cast<unsigned long long>(kMaxAirports)) {
    const int shown = fileCount > static_cast<unsigned long long>(INT_MAX) ? INT_MAX : static_cast<int>(fileCount);
    ShowMessage(kIcaoErrorTitle, "ICAO data count too big %d / %s.", shown, path.c_str());
    return Fail(db);
  }
  const int count = static_cast<int>(fileCount);

  db.Clear();
  TablePtr<AirportRecord> records(AllocateTableRecords<AirportRecord>(static_cast<std::size_t>(count)));
  if (!records) {
    ShowMessage(kIcaoErrorTitle, "ICAO data could not allocate array %d / %s.", count, path.c_str());
    return Fail(db);
  }
  for (int i = 0; i < count; ++i) {
    std::uint8_t bytes[kAirportFileRecordSize];
    if (std::fread(bytes, 1, sizeof bytes, file.get()) != sizeof bytes) {
      ShowMessage(kIcaoErrorTitle, "ICAO data could not read file %s / %d.", path.c_str(), i);
      return Fail(db);
    }
    DecodeAirportFileRecord(bytes, records[i]);
  }
  for (int i = 0; i < count; ++i) {
    AirportRecord& airport = records[i];
    airport.elevation = static_cast<float>(airport.elevation * kFeetPerMetre);
    if (airport.longitude > 180.0f) airport.longitude -= 360.0f;
  }
  db.records = std::move(records);
  db.count = count;
  return 1;
}
