#include <gtest/gtest.h>

#include <string>

#include "icao_test_support.h"
#include "core/icao_data.h"
#include "win/msgbox.h"

namespace {
class AirlineTableTest : public IcaoTablesTest {
 protected:
  std::string Path() const { return File("tk_airlines.txt"); }
  int Load(const std::string& bytes) {
    WriteBytes(Path(), bytes);
    return LoadAirlines(Path());
  }
  std::string BadFormat(int offset, int byte, int line) const {
    char text[512];
    std::snprintf(text, sizeof text, "Bad format for ICAO airlines file (%s). offset %d / 4, byte value 0x%02X, @ Line %d",
                  Path().c_str(), offset, byte, line);
    return text;
  }
};
}  // namespace

TEST_F(AirlineTableTest, CodeAndNameAreUpperCased) {
  EXPECT_EQ(Load("abc\tNorth Air\r\n"), 1);
  const AirlineTable& table = g_airlineTable();
  ASSERT_EQ(table.count, 1);  // the final CR LF adds no empty record
  EXPECT_STREQ(table.records[0].code, "ABC");
  EXPECT_STREQ(table.records[0].name, "NORTH AIR");
  EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(AirlineTableTest, FourLetterCodeIsRefusedAndEmptiesTheTable) {
  ASSERT_EQ(Load("AFR\tAir France\r\n"), 1);
  ASSERT_EQ(g_airlineTable().count, 1);
  EXPECT_EQ(Load("ABCD North\r\nAFR\tAir France\r\n"), 1);
  EXPECT_EQ(g_airlineTable().count, 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{BadFormat(3, 0x44, 0)});
}

TEST_F(AirlineTableTest, BadLineReportsItsFileOffsetAndLineNumber) {
  EXPECT_EQ(Load("AFR\tAir France\r\n\r\nBAW British Airways\r\n"), 1);
  EXPECT_EQ(g_airlineTable().count, 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{BadFormat(21, 0x20, 2)});
}

TEST_F(AirlineTableTest, ShortLineIsRefusedAtItsLineEnd) {
  EXPECT_EQ(Load("AB\r\n"), 1);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{BadFormat(2, 0x0D, 0)});
  ClearShownMessageBoxes();
  EXPECT_EQ(Load("AFR\tAir France\nABC\n"), 1);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{BadFormat(18, 0x0A, 1)});
  EXPECT_EQ(g_airlineTable().count, 0);
}

TEST_F(AirlineTableTest, NameKeepsItsFirst31Characters) {
  const std::string name = "Abcdefghijklmnopqrstuvwxyz Airways Ltd";  // 38
  const std::string forty = name + "xx";
  ASSERT_EQ(forty.size(), 40u);
  EXPECT_EQ(Load("xyz\t" + forty + "\r\n"), 1);
  ASSERT_EQ(g_airlineTable().count, 1);
  EXPECT_STREQ(g_airlineTable().records[0].name, "ABCDEFGHIJKLMNOPQRSTUVWXYZ AIRW");
  EXPECT_EQ(std::string(g_airlineTable().records[0].name).size(), 31u);
}

TEST_F(AirlineTableTest, LfOnlyLinesAreRecords) {
  EXPECT_EQ(Load("AFR\tAir France\nBAW\tBritish Airways\nDLH\tLufthansa\n"), 1);
  const AirlineTable& table = g_airlineTable();
  ASSERT_EQ(table.count, 3);
  EXPECT_STREQ(table.records[1].code, "BAW");
  EXPECT_STREQ(table.records[1].name, "BRITISH AIRWAYS");
  EXPECT_STREQ(table.records[2].name, "LUFTHANSA");
}

TEST_F(AirlineTableTest, BlankLinesAreSkippedAndCountIsTheParsedRecords) {
  EXPECT_EQ(Load("\r\nAFR\tAir France\r\n\r\n\n  \t \r\nBAW\tBritish Airways\r\n\r\n"), 1);
  const AirlineTable& table = g_airlineTable();
  ASSERT_EQ(table.count, 2);
  EXPECT_STREQ(table.records[0].code, "AFR");
  EXPECT_STREQ(table.records[1].code, "BAW");
  EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(AirlineTableTest, LastLineWithoutLineEndIsARecord) {
  EXPECT_EQ(Load("AFR\tAir France\r\nKLM\tKLM Royal Dutch"), 1);
  ASSERT_EQ(g_airlineTable().count, 2);
  EXPECT_STREQ(g_airlineTable().records[1].name, "KLM ROYAL DUTCH");
}

TEST_F(AirlineTableTest, EmptyNameIsAllowed) {
  EXPECT_EQ(Load("ZZZ\t\r\n"), 1);
  ASSERT_EQ(g_airlineTable().count, 1);
  EXPECT_STREQ(g_airlineTable().records[0].code, "ZZZ");
  EXPECT_STREQ(g_airlineTable().records[0].name, "");
}

TEST_F(AirlineTableTest, AtMostFiveThousandRecords) {
  std::string bytes;
  for (int i = 0; i < 5'100; ++i) bytes += "ABC\tSome Airline\r\n";
  EXPECT_EQ(Load(bytes), 1);
  EXPECT_EQ(g_airlineTable().count, 5'000);
}

TEST_F(AirlineTableTest, MissingFileIsReportedWithResultOne) {
  EXPECT_EQ(LoadAirlines(Path()), 1);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"ICAO airlines file could not be open " + Path() + "."});
  EXPECT_EQ(g_airlineTable().count, 0);
}

TEST_F(AirlineTableTest, EmptyFileIsReportedWithResultOne) {
  EXPECT_EQ(Load(""), 1);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"ICAO airlines file is empty " + Path() + "."});
}

TEST_F(AirlineTableTest, AllocationFailureIsReported) {
  EXPECT_EQ(Load("AFR\tAir France\r\n"), 1);
  FailTableAllocationForTest(1);
  EXPECT_EQ(Load("AFR\tAir France\r\nBAW\tBritish Airways\r\n"), 1);
  EXPECT_EQ(g_airlineTable().count, 0);
  EXPECT_EQ(BoxTexts(),
            std::vector<std::string>{"ICAO airlines memory space could not be allocated (3 / " + Path() + ")."});
}
