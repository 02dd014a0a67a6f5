// The IATA-to-ICAO table from IATA_ICAO.txt: "IATA:ICAO:Name" lines.
// Loaded and kept; nothing else reads it.
#pragma once

#include <cstddef>
#include <string_view>

constexpr int kIataIcaoSlots = 300;
constexpr int kMaxIataIcao = 299;
constexpr std::size_t kIataLineMax = 100;  // bytes kept of a line

struct IataIcaoRecord {
  char iata[4];
  char icao[6];
  char name[128];
};
static_assert(sizeof(IataIcaoRecord) == 138, "IataIcaoRecord is 138 bytes");

struct IataIcaoTable {
  IataIcaoRecord* records = nullptr;  // 300 slots from AllocateTables, never freed
  int count = 0;

  bool Allocated() const { return records != nullptr; }
};

// The one IATA table of the process (never destroyed).
IataIcaoTable& g_iataIcaoTable();

// Silently does nothing when the file is missing (or the table was never allocated).
void LoadIataIcao();  // g_appPaths().iataTable
void LoadIataIcao(std::string_view path);
