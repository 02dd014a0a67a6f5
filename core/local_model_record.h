// Storage of the installed-model table. The record's fields belong
// to the model scan; until it defines them this is an opaque 488-byte block of
// the exact size, so the tables can be allocated and copied as a whole.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

constexpr std::size_t kLocalModelRecordSize = 488;
constexpr int kLocalModelSlots = 43'001;

struct LocalModelRecord {
  std::array<std::uint8_t, kLocalModelRecordSize> bytes;
};
static_assert(sizeof(LocalModelRecord) == kLocalModelRecordSize, "LocalModelRecord is 488 bytes");

struct LocalModelTable {
  LocalModelRecord* records = nullptr;  // 43,001 slots from AllocateTables, never freed
  int count = 0;

  bool Allocated() const { return records != nullptr; }
};

// The four model arrays: the working table, the copy of the last scan, and two
// scratch tables for filtering and ordering.
struct LocalModelTables {
  LocalModelTable working;
  LocalModelTable copy;
  LocalModelTable scratchA;
  LocalModelTable scratchB;
};
