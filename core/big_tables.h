// The big fixed tables, allocated once on the main dialog's first
// timer tick and kept until the process ends.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/aircraft_type_db.h"
#include "core/iata_table.h"
#include "core/local_model_record.h"

constexpr std::size_t kModelEightByteSlots = 43'001;
constexpr std::size_t kBridgeExchangeBufferSize = 102'400;

// The two buffers of the simulator-side module's bridge channel.
struct BridgeExchangeBuffers {
  std::uint8_t* buffer1 = nullptr;  // text from the module
  std::uint8_t* buffer2 = nullptr;
};

LocalModelTables& g_localModelTables();
// 43,001 eight-byte entries: allocated, never used.
std::uint64_t*& g_modelEightByteTable();
BridgeExchangeBuffers& g_bridgeExchangeBuffers();

// Allocates, in order, the aircraft type table, the IATA table, the four model
// arrays, the 8-byte array and the two bridge buffers (zeroed). 1 on success;
// 0 after the first failure, boxed "MALLOC_ERROR_<code> : <bytes>." with the
// later tables left unallocated. Tables already allocated are kept, so a second
// call only retries what is missing.
int AllocateTables();
