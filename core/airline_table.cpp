#include "core/airline_table.h"

#include <algorithm>
#include <string>

#include "base/message_box.h"
#include "core/icao_data.h"
#include "win/ascii_case.h"

namespace {
// The bytes of a line that matter: the code, its TAB and a full name fit well within.
constexpr std::size_t kKeptLineBytes = 64;

struct Line {
  unsigned char bytes[kKeptLineBytes];
  std::size_t kept = 0;
  std::size_t length = 0;  // every byte before the LF
  bool blank = true;       // only spaces, TABs and CRs
  long long start = 0;     // file offset of its first byte
  int number = 0;          // from 0

  void Add(unsigned char byte) {
    if (kept < kKeptLineBytes) bytes[kept++] = byte;
    ++length;
    if (byte != ' ' && byte != '\t' && byte != '\r') blank = false;
  }
};

enum class LineResult { Record, Skipped, BadFormat };

// Parses one line (bytes already upper-cased) into `record`. A bad line reports
// the file offset and value of the byte where column 4's TAB was expected
// (a line end or the end of the file there: CR, LF or 0x00).
LineResult ParseLine(const Line& line, bool endsWithLf, AirlineRecord& record, long long& badOffset, int& badByte) {
  if (line.blank) return LineResult::Skipped;
  for (std::size_t i = 0; i < 4; ++i) {
    const bool present = i < line.length;
    const unsigned char byte = present ? line.bytes[i] : (endsWithLf ? '\n' : '\0');
    const bool ok = i < 3 ? (present && byte != '\r') : (present && byte == '\t');
    if (!ok) {
      badOffset = line.start + static_cast<long long>(i < line.length ? i : line.length);
      badByte = byte;
      return LineResult::BadFormat;
    }
  }
  record = AirlineRecord{};
  for (std::size_t i = 0; i < 3; ++i) record.code[i] = static_cast<char>(line.bytes[i]);
  std::size_t n = 0;
  for (std::size_t i = 4; i < line.kept && line.bytes[i] != '\r' && n < kAirlineNameMax; ++i) {
    record.name[n++] = static_cast<char>(line.bytes[i]);
  }
  return LineResult::Record;
}
}  // namespace

AirlineTable& g_airlineTable() {
  static auto* table = new AirlineTable();
  return *table;
}

int LoadAirlines(std::string_view pathView) {
  AirlineTable& table = g_airlineTable();
  const std::string path(pathView);
  unsigned long long size = 0;
  FilePtr file = OpenDataFile(path, &size);
  if (!file) {
    table.Clear();
    ShowMessage(kIcaoErrorTitle, "ICAO airlines file could not be open %s.", path.c_str());
    return 1;
  }
  if (size == 0) {
    table.Clear();
    ShowMessage(kIcaoErrorTitle, "ICAO airlines file is empty %s.", path.c_str());
    return 1;
  }

  // Every record ends at an LF or at the end of the file: LF count + 1 bounds them.
  long long lineFeeds = 0;
  for (int c; (c = std::getc(file.get())) != EOF;) {
    if (c == '\n') ++lineFeeds;
  }
  const int capacity = static_cast<int>(std::min<long long>(lineFeeds + 1, kMaxAirlines));
  std::rewind(file.get());

  table.Clear();
  TablePtr<AirlineRecord> records(AllocateTableRecords<AirlineRecord>(static_cast<std::size_t>(capacity)));
  if (!records) {
    ShowMessage(kIcaoErrorTitle, "ICAO airlines memory space could not be allocated (%d / %s).", capacity,
                path.c_str());
    return 1;
  }

  int count = 0;
  Line line;
  long long offset = 0;
  bool more = true;
  while (more && count < capacity) {
    const int c = std::getc(file.get());
    const bool lineEnd = c == '\n' || c == EOF;
    if (!lineEnd) {
      line.Add(static_cast<unsigned char>(AsciiToUpper(static_cast<char>(c))));
      ++offset;
      continue;
    }
    more = c != EOF;
    if (c == EOF && line.length == 0) break;
    long long badOffset = 0;
    int badByte = 0;
    switch (ParseLine(line, c == '\n', records[count], badOffset, badByte)) {
      case LineResult::Record:
        ++count;
        break;
      case LineResult::Skipped:
        break;
      case LineResult::BadFormat:
        ShowMessage(kIcaoErrorTitle, "Bad format for ICAO airlines file (%s). offset %d / %d, byte value 0x%02X, @ Line %d",
                    path.c_str(), static_cast<int>(badOffset), 4, badByte, line.number);
        return 1;  // `records` is freed, the table stays empty
    }
    ++offset;  // the LF
    const int next = line.number + 1;
    line = Line{};
    line.start = offset;
    line.number = next;
  }

  for (int i = 0; i < count; ++i) {
    AsciiUpperInPlace(records[i].code, sizeof records[i].code);
    AsciiUpperInPlace(records[i].name, sizeof records[i].name);
  }
  table.records = std::move(records);
  table.capacity = capacity;
  table.count = count;
  return 1;
}
