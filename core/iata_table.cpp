#include "core/iata_table.h"

#include <cstdio>
#include <string>

#include "core/app_paths.h"
#include "core/table_memory.h"
#include "core/text_fields.h"

namespace {
// Splits at ':' (a run of ':' is one separator) into code, code and name.
void StoreIataLine(char* line, IataIcaoRecord& record) {
  record = IataIcaoRecord{};
  const struct {
    char* dest;
    std::size_t width;
  } fields[] = {
      {record.iata, sizeof record.iata},
      {record.icao, sizeof record.icao},
      {record.name, sizeof record.name},
  };
  char* p = line;
  for (const auto& field : fields) {
    while (*p == ':') ++p;
    if (*p == '\0') break;
    char* start = p;
    while (*p != '\0' && *p != ':') ++p;
    CopyCut(field.dest, field.width, std::string_view(start, static_cast<std::size_t>(p - start)));
  }
}
}  // namespace

IataIcaoTable& g_iataIcaoTable() {
  static auto* table = new IataIcaoTable();
  return *table;
}

void LoadIataIcao() { LoadIataIcao(g_appPaths().iataTable); }

void LoadIataIcao(std::string_view pathView) {
  IataIcaoTable& table = g_iataIcaoTable();
  table.count = 0;
  if (!table.Allocated()) return;
  FilePtr file = OpenDataFile(std::string(pathView));
  if (!file) return;
  char line[kIataLineMax + 1];
  std::size_t length = 0;
  bool more = true;
  while (more && table.count < kMaxIataIcao) {
    const int c = std::getc(file.get());
    more = c != EOF;
    if (more && c != '\r' && c != '\n') {
      if (length < kIataLineMax) line[length++] = static_cast<char>(c);
      continue;
    }
    if (length == 0) continue;
    line[length] = '\0';
    length = 0;
    StoreIataLine(line, table.records[table.count]);
    ++table.count;
  }
}
