#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "icao_test_support.h"
#include "core/big_tables.h"
#include "core/icao_data.h"
#include "win/msgbox.h"

namespace {
class BigTablesTest : public IcaoTablesTest {};

// Every table slot of AllocateTables on the heap, in its order; the bridge's two shared blocks follow.
std::vector<void**> Slots() {
  LocalModelTables& models = g_localModelTables();
  return {
      reinterpret_cast<void**>(&g_aircraftTypeDb().records),
      reinterpret_cast<void**>(&g_iataIcaoTable().records),
      reinterpret_cast<void**>(&models.working.records),
      reinterpret_cast<void**>(&models.copy.records),
      reinterpret_cast<void**>(&models.scratchA.records),
      reinterpret_cast<void**>(&models.scratchB.records),
      reinterpret_cast<void**>(&g_modelEightByteTable()),
  };
}

std::vector<win::SharedMemory*> SharedSlots() {
  return {&g_bridgeExchangeBuffers().buffer1, &g_bridgeExchangeBuffers().buffer2};
}
}  // namespace

TEST_F(BigTablesTest, EveryTableIsAllocatedOnceAndKept) {
  const auto slots = Slots();
  std::vector<void*> before;
  for (void** slot : slots) {
    EXPECT_NE(*slot, nullptr);
    before.push_back(*slot);
  }
  std::vector<std::uint8_t*> sharedBefore;
  for (win::SharedMemory* block : SharedSlots()) {
    EXPECT_TRUE(block->IsOpen());
    EXPECT_EQ(block->Size(), kBridgeExchangeBufferSize);
    sharedBefore.push_back(block->Bytes().data());
  }
  EXPECT_EQ(AllocateTables(), 1);  // a second call keeps what is there
  for (std::size_t i = 0; i < slots.size(); ++i) EXPECT_EQ(*slots[i], before[i]);
  for (std::size_t i = 0; i < SharedSlots().size(); ++i) EXPECT_EQ(SharedSlots()[i]->Bytes().data(), sharedBefore[i]);
  EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(BigTablesTest, TheBridgeBuffersAreSharedUnderTheProcessIdsNames) {
  ASSERT_EQ(AllocateTables(), 1);
  const std::uint32_t pid = static_cast<std::uint32_t>(getpid());
  EXPECT_EQ(BridgeBufferName(pid, 1), "TavelkorBridge." + std::to_string(pid) + ".1");
  for (int number : {1, 2}) {
    win::SharedMemory& own = number == 1 ? g_bridgeExchangeBuffers().buffer1 : g_bridgeExchangeBuffers().buffer2;
    win::SharedMemory other;
    ASSERT_TRUE(other.Open(BridgeBufferName(pid, number), kBridgeExchangeBufferSize)) << number;
    other.Bytes()[kBridgeExchangeBufferSize - 1] = static_cast<std::uint8_t>(number);
    EXPECT_EQ(own.Bytes()[kBridgeExchangeBufferSize - 1], number);
    own.Bytes()[kBridgeExchangeBufferSize - 1] = 0;
  }
}

TEST_F(BigTablesTest, RecordSizesMatchTheDescription) {
  EXPECT_EQ(sizeof(AircraftTypeRecord) * kAircraftTypeSlots, 3'264'000u);
  EXPECT_EQ(sizeof(IataIcaoRecord) * kIataIcaoSlots, 41'400u);
  EXPECT_EQ(sizeof(LocalModelRecord) * kLocalModelSlots, 20'984'488u);
  EXPECT_EQ(sizeof(std::uint64_t) * kModelEightByteSlots, 344'008u);
  EXPECT_EQ(sizeof(AirportRecord), 32u);
  EXPECT_EQ(sizeof(AirlineRecord), 36u);
  EXPECT_EQ(sizeof(IcaoTypeEntry), 1'030u);
}

TEST_F(BigTablesTest, FirstFailureIsReportedAndStopsTheAllocation) {
  const struct {
    const char* text;
  } expected[] = {
      {"MALLOC_ERROR_1000 : 3264000."},  {"MALLOC_ERROR_1010 : 41400."},    {"MALLOC_ERROR_1100 : 20984488."},
      {"MALLOC_ERROR_1110 : 20984488."}, {"MALLOC_ERROR_1120 : 20984488."}, {"MALLOC_ERROR_1130 : 20984488."},
      {"MALLOC_ERROR_1200 : 344008."},   {"MALLOC_ERROR_1300 : 102400."},   {"MALLOC_ERROR_1300 : 102400."},
  };
  const auto slots = Slots();
  const auto shared = SharedSlots();
  std::vector<void*> kept;
  for (void** slot : slots) kept.push_back(*slot);
  for (std::size_t failing = 0; failing < slots.size() + shared.size(); ++failing) {
    for (void** slot : slots) *slot = nullptr;
    for (win::SharedMemory* block : shared) block->Close();
    ClearShownMessageBoxes();
    FailTableAllocationForTest(static_cast<int>(failing) + 1);
    EXPECT_EQ(AllocateTables(), 0);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{expected[failing].text});
    for (std::size_t i = 0; i < slots.size() + shared.size(); ++i) {
      const bool there = i < slots.size() ? *slots[i] != nullptr : shared[i - slots.size()]->IsOpen();
      EXPECT_EQ(there, i < failing) << "failing " << failing << " slot " << i;
      if (i < slots.size()) {
        std::free(*slots[i]);
        *slots[i] = nullptr;
      }
    }
  }
  for (std::size_t i = 0; i < slots.size(); ++i) *slots[i] = kept[i];
  FailTableAllocationForTest(0);
  EXPECT_EQ(AllocateTables(), 1);  // the shared blocks again
}

TEST_F(BigTablesTest, LoadersWithoutTheirTablesDoNothing) {
  AircraftTypeDb& types = g_aircraftTypeDb();
  IataIcaoTable& iata = g_iataIcaoTable();
  AircraftTypeRecord* typeRecords = types.records;
  IataIcaoRecord* iataRecords = iata.records;
  types.records = nullptr;
  iata.records = nullptr;
  WriteBytes(File("t.txt"), "Boeing\t737-800\tB738\tL2J\tM\r\n");
  WriteBytes(File("i.txt"), "CDG:LFPG:Paris\r\n");
  EXPECT_EQ(LoadAircraftTypes(File("t.txt")), -1);
  LoadIataIcao(File("i.txt"));
  EXPECT_EQ(iata.count, 0);
  EXPECT_EQ(FindAircraftTypeIndex("B738"), -1);
  types.records = typeRecords;
  iata.records = iataRecords;
}
