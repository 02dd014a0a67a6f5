// The big fixed tables, allocated once on the main dialog's first
// timer tick and kept until the process ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/aircraft_type_db.h"
#include "core/iata_table.h"
#include "core/local_model_record.h"
#include "win/shared_memory.h"

constexpr std::size_t kModelEightByteSlots = 43'001;
constexpr std::size_t kBridgeExchangeBufferSize = 102'400;

// The two buffers of the simulator-side module's bridge channel, shared
// with the module's process, which opens them by their names.
struct BridgeExchangeBuffers {
  win::SharedMemory buffer1;  // text from the module
  win::SharedMemory buffer2;
};
// "TavelkorBridge.<process id>.<1 or 2>": the module learns the process id
// from the main dialog's window.
std::string BridgeBufferName(std::uint32_t processId, int number);

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
