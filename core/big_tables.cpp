#include "core/big_tables.h"

#include "base/message_box.h"
#include "core/icao_data.h"
#include "core/table_memory.h"

namespace {
// Allocates `slot` (unless it is already there); 0 with the box on failure.
template <class T>
int Allocate(T*& slot, std::size_t count, const char* code) {
  if (slot != nullptr) return 1;
  const std::size_t bytes = count * sizeof(T);
  slot = AllocateTableRecords<T>(count);
  if (slot != nullptr) return 1;
  ShowMessage(kIcaoErrorTitle, "%s : %d.", code, static_cast<int>(bytes));
  return 0;
}
}  // namespace

LocalModelTables& g_localModelTables() {
  static auto* tables = new LocalModelTables();
  return *tables;
}

std::uint64_t*& g_modelEightByteTable() {
  static auto* table = new std::uint64_t*(nullptr);
  return *table;
}

BridgeExchangeBuffers& g_bridgeExchangeBuffers() {
  static auto* buffers = new BridgeExchangeBuffers();
  return *buffers;
}

int AllocateTables() {
  LocalModelTables& models = g_localModelTables();
  BridgeExchangeBuffers& bridge = g_bridgeExchangeBuffers();
  return Allocate(g_aircraftTypeDb().records, kAircraftTypeSlots, "MALLOC_ERROR_1000") &&
         Allocate(g_iataIcaoTable().records, kIataIcaoSlots, "MALLOC_ERROR_1010") &&
         Allocate(models.working.records, kLocalModelSlots, "MALLOC_ERROR_1100") &&
         Allocate(models.copy.records, kLocalModelSlots, "MALLOC_ERROR_1110") &&
         Allocate(models.scratchA.records, kLocalModelSlots, "MALLOC_ERROR_1120") &&
         Allocate(models.scratchB.records, kLocalModelSlots, "MALLOC_ERROR_1130") &&
         Allocate(g_modelEightByteTable(), kModelEightByteSlots, "MALLOC_ERROR_1200") &&
         Allocate(bridge.buffer1, kBridgeExchangeBufferSize, "MALLOC_ERROR_1300") &&
         Allocate(bridge.buffer2, kBridgeExchangeBufferSize, "MALLOC_ERROR_1300");
}
