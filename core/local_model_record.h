// The installed-model table: one record per .acf model found below X-Plane's
// Aircraft folder, in fixed arrays that the scan, the exclusions, the
// ordering and the rules rewrite, and that the model choice reads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

constexpr std::size_t kLocalModelRecordSize = 488;
constexpr int kLocalModelSlots = 43'001;
constexpr int kMaxLocalModels = 42'999;

constexpr std::size_t kModelTitleSize = 112;  // at most 111 characters
constexpr std::size_t kModelTypeSize = 8;
constexpr std::size_t kModelClassSize = 8;
constexpr std::size_t kModelFifthSize = 8;
constexpr std::size_t kModelAirlineSize = 4;
constexpr std::size_t kModelSpareSize = 308;  // nothing fills it; it only pads the record to its size

// A memory record, moved whole between the arrays; never written to a file or a wire.
struct LocalModelRecord {
  char title[kModelTitleSize];  // "<parent folder>\<model folder>\<file name>"
  char icaoType[kModelTypeSize];
  char classCode[kModelClassSize];  // from the aircraft type table, at most 7 characters
  char fifth[kModelFifthSize];      // the type table's short fifth column, at most 7 characters
  char airline[kModelAirlineSize];  // set by a LOCAL_AIRCRAFTS rule
  char spare[kModelSpareSize];
  double offsets[3];        // cross-simulator placement offsets
  std::int32_t typeScore;   // 10000 decision list, 9999 AI package, else scorer points or the list's result
  std::int32_t military;    // 1 when the decision list marks the type military or special
  std::uint16_t ruleNumber; // the LOCAL_AIRCRAFTS rule that set the type
  char ruleMark;            // '*' when a rule set the type
  char reserved[5];
};
static_assert(sizeof(LocalModelRecord) == kLocalModelRecordSize, "LocalModelRecord is 488 bytes");
static_assert(offsetof(LocalModelRecord, offsets) == 448 && offsetof(LocalModelRecord, typeScore) == 472,
              "LocalModelRecord field offsets");

struct LocalModelTable {
  LocalModelRecord* records = nullptr;  // 43,001 slots from AllocateTables, never freed
  int count = 0;

  bool Allocated() const { return records != nullptr; }
  const LocalModelRecord* begin() const { return records; }
  const LocalModelRecord* end() const { return records + (records != nullptr ? count : 0); }
};

// The four model arrays: the working table, the copy of the last scan, and two
// scratch tables in which every rewrite of the working table is built before it
// is swapped in under AiLock.
struct LocalModelTables {
  LocalModelTable working;
  LocalModelTable copy;
  LocalModelTable scratchA;
  LocalModelTable scratchB;

  bool Allocated() const {
    return working.Allocated() && copy.Allocated() && scratchA.Allocated() && scratchB.Allocated();
  }
};
