#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "icao_test_support.h"
#include "core/icao_data.h"
#include "win/msgbox.h"

namespace {
class AircraftTypeDbTest : public IcaoTablesTest {
 protected:
  std::string Path() const { return File("tk_aircrafts.txt"); }
  int Load(const std::string& bytes) {
    WriteBytes(Path(), bytes);
    return LoadAircraftTypes(Path());
  }
  const AircraftTypeRecord& Record(int i) const { return g_aircraftTypeDb().records[i]; }
};

const char kSample[] =
    "Airbus\tA320\tA320\tL2J\tM\r\n"
    "Boeing\t737-700\tB737\tL2J\tM\r\n"
    "Boeing\t737-800\tB738\tL2J\tM\r\n"
    "Cessna\t172 Skyhawk\tC172\tL1P\tL\r\n"
    "Cessna\t172 Cutlass\tC172\tL1P\tL\r\n";
}  // namespace

TEST_F(AircraftTypeDbTest, FiveFieldLine) {
  EXPECT_EQ(Load("Boeing\t737-800\tB738\tL2J\tM\r\n"), 2);
  const AircraftTypeDb& db = g_aircraftTypeDb();
  EXPECT_TRUE(db.loaded);
  ASSERT_EQ(db.count, 1);
  EXPECT_STREQ(Record(0).manufacturer, "BOEING");
  EXPECT_STREQ(Record(0).model, "737-800");
  EXPECT_STREQ(Record(0).icaoType, "B738");
  EXPECT_STREQ(Record(0).classCode, "L2J");
  EXPECT_STREQ(Record(0).fifth, "M");
  EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(AircraftTypeDbTest, ConsecutiveTabsShiftTheColumns) {
  EXPECT_EQ(Load("Boeing\t\tB738\tL2J\n"), 2);
  ASSERT_EQ(g_aircraftTypeDb().count, 1);
  EXPECT_STREQ(Record(0).manufacturer, "BOEING");
  EXPECT_STREQ(Record(0).model, "B738");
  EXPECT_STREQ(Record(0).icaoType, "L2J");
  EXPECT_STREQ(Record(0).classCode, "");
  EXPECT_STREQ(Record(0).fifth, "");
}

TEST_F(AircraftTypeDbTest, FieldsAreTrimmedAndCutToTheirWidths) {
  EXPECT_EQ(Load("\t  de Havilland Canada  \t Dash 8 \tDH8DXYZ\tL2TT\tHEAVY\tsixth\r\n"), 2);
  EXPECT_STREQ(Record(0).manufacturer, "DE HAVILLAND CANADA");
  EXPECT_STREQ(Record(0).model, "DASH 8");
  EXPECT_STREQ(Record(0).icaoType, "DH8DX");
  EXPECT_STREQ(Record(0).classCode, "L2TT");
  EXPECT_STREQ(Record(0).fifth, "HEA");
}

TEST_F(AircraftTypeDbTest, LineIsCutAt148Bytes) {
  const std::string maker(145, 'a');
  EXPECT_EQ(Load(maker + "\tXYZW\tB738\tL2J\tM\r\nAirbus\tA320\tA320\tL2J\tM\r\n"), 2);
  ASSERT_EQ(g_aircraftTypeDb().count, 2);
  EXPECT_EQ(std::string(Record(0).manufacturer), std::string(127, 'A'));
  EXPECT_STREQ(Record(0).model, "XY");  // 145 + TAB + 2 = 148 bytes kept
  EXPECT_STREQ(Record(0).icaoType, "");
  EXPECT_STREQ(Record(1).icaoType, "A320");  // the dropped rest does not leak into the next line
}

TEST_F(AircraftTypeDbTest, EmptyLinesAreSkippedAndEveryOtherLineCounts) {
  EXPECT_EQ(Load("\r\n\r\nAirbus\tA320\tA320\tL2J\tM\n\n   \nCessna\r\r\n"), 2);
  ASSERT_EQ(g_aircraftTypeDb().count, 3);
  EXPECT_STREQ(Record(0).icaoType, "A320");
  EXPECT_STREQ(Record(1).manufacturer, "");  // a line of blanks is a record of empty fields
  EXPECT_STREQ(Record(2).manufacturer, "CESSNA");
  EXPECT_STREQ(Record(2).model, "");
}

TEST_F(AircraftTypeDbTest, The12000thLineIsNotLoaded) {
  std::string bytes;
  for (int i = 1; i <= 12'000; ++i) bytes += "Maker\tModel " + std::to_string(i) + "\tT" + std::to_string(i % 1000) + "\tL2J\tM\r\n";
  EXPECT_EQ(Load(bytes), 2);
  const AircraftTypeDb& db = g_aircraftTypeDb();
  EXPECT_EQ(db.count, 11'999);
  EXPECT_STREQ(Record(11'998).model, "MODEL 11999");
  EXPECT_STREQ(Record(11'999).model, "");
  EXPECT_EQ(g_icaoTypeList().count, 1'000);
}

TEST_F(AircraftTypeDbTest, MissingFileGivesMinusOne) {
  EXPECT_EQ(LoadAircraftTypes(Path()), -1);
  EXPECT_FALSE(g_aircraftTypeDb().loaded);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"File " + Path() + " not found."});
}

TEST_F(AircraftTypeDbTest, LoadedOnceOnly) {
  EXPECT_EQ(Load(kSample), 2);
  EXPECT_EQ(Load("Other\tOther\tZZZZ\tL1P\tL\r\n"), 1);
  EXPECT_EQ(g_aircraftTypeDb().count, 5);
}

TEST_F(AircraftTypeDbTest, TypeListFailureLeavesTheTableUnloaded) {
  FailTableAllocationForTest(1);
  EXPECT_EQ(Load(kSample), -10);
  EXPECT_FALSE(g_aircraftTypeDb().loaded);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Can't allocate ICAO aircraft type array."});
  EXPECT_EQ(FindAircraftTypeIndex("B738"), -1);
  EXPECT_EQ(LoadAircraftTypes(Path()), 2);  // a later attempt may still succeed
}

TEST_F(AircraftTypeDbTest, FindAircraftTypeIndex) {
  EXPECT_EQ(FindAircraftTypeIndex("B738"), -1);  // not loaded yet
  ASSERT_EQ(Load(kSample), 2);
  EXPECT_EQ(FindAircraftTypeIndex("b738"), 2);
  EXPECT_EQ(FindAircraftTypeIndex("B738"), 2);
  EXPECT_EQ(FindAircraftTypeIndex("B73Z"), 1);  // first type that begins with B73
  EXPECT_EQ(FindAircraftTypeIndex("c17"), 3);
  EXPECT_EQ(FindAircraftTypeIndex("ZZZZ"), -4);
  EXPECT_EQ(FindAircraftTypeIndex("B7"), -4);  // a short text matches only an equal type
  EXPECT_EQ(FindAircraftTypeIndex(""), -1);
  EXPECT_EQ(FindAircraftTypeIndex(nullptr), -1);
}

TEST_F(AircraftTypeDbTest, EmptyLoadedTableFindsNothing) {
  ASSERT_EQ(Load("\r\n\r\n"), 2);
  EXPECT_EQ(g_aircraftTypeDb().count, 0);
  EXPECT_EQ(g_icaoTypeList().count, 0);
  EXPECT_EQ(FindAircraftTypeIndex("B738"), -4);
}

TEST_F(AircraftTypeDbTest, TypeListHoldsOneEntryPerTypeLabelledFromTheFirst) {
  ASSERT_EQ(Load(kSample), 2);
  const IcaoTypeList& list = g_icaoTypeList();
  ASSERT_EQ(list.count, 4);
  EXPECT_STREQ(list.entries[0].type, "A320");
  EXPECT_STREQ(list.entries[0].label, "AIRBUS A320 ( L2J )");
  EXPECT_STREQ(list.entries[2].type, "B738");
  EXPECT_STREQ(list.entries[3].type, "C172");
  EXPECT_STREQ(list.entries[3].label, "CESSNA 172 SKYHAWK ( L1P )");
}

TEST_F(AircraftTypeDbTest, TypeListIgnoresCaseAndIsRebuilt) {
  ASSERT_EQ(Load(kSample), 2);
  AircraftTypeDb& db = g_aircraftTypeDb();
  std::strcpy(db.records[4].icaoType, "c172");
  std::strcpy(db.records[0].icaoType, "b738");
  EXPECT_EQ(BuildIcaoTypeList(), 1000);
  const IcaoTypeList& list = g_icaoTypeList();
  ASSERT_EQ(list.count, 3);
  EXPECT_STREQ(list.entries[0].type, "b738");
  EXPECT_STREQ(list.entries[0].label, "AIRBUS A320 ( L2J )");
  EXPECT_STREQ(list.entries[1].type, "B737");
  EXPECT_STREQ(list.entries[2].type, "C172");
}
