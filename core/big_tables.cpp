#include "core/big_tables.h"

#include <unistd.h>

#include <cstdlib>

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

// Their names go with the process.
void CloseBridgeBuffers() {
  g_bridgeExchangeBuffers().buffer1.Close();
  g_bridgeExchangeBuffers().buffer2.Close();
}

int AllocateShared(win::SharedMemory& block, int number, const char* code) {
  if (block.IsOpen()) return 1;
  static const bool closedAtExit = std::atexit(CloseBridgeBuffers) == 0;
  (void)closedAtExit;
  if (!TableAllocationFails() &&
      block.Create(BridgeBufferName(static_cast<std::uint32_t>(::getpid()), number), kBridgeExchangeBufferSize)) {
    return 1;
  }
  ShowMessage(kIcaoErrorTitle, "%s : %d.", code, static_cast<int>(kBridgeExchangeBufferSize));
  return 0;
}
}  // namespace

std::string BridgeBufferName(std::uint32_t processId, int number) {
  return "TavelkorBridge." + std::to_string(processId) + "." + std::to_string(number);
}

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
         AllocateShared(bridge.buffer1, 1, "MALLOC_ERROR_1300") && AllocateShared(bridge.buffer2, 2, "MALLOC_ERROR_1300");
}
