#include <gtest/gtest.h>

#include <string>

#include "icao_test_support.h"
#include "core/icao_data.h"

namespace {
class IataTableTest : public IcaoTablesTest {
 protected:
  std::string Path() const { return File("IATA_ICAO.txt"); }
  void Load(const std::string& bytes) {
    WriteBytes(Path(), bytes);
    LoadIataIcao(Path());
  }
  const IataIcaoRecord& Record(int i) const { return g_iataIcaoTable().records[i]; }
};
}  // namespace

TEST_F(IataTableTest, LinesSplitAtColons) {
  Load("CDG:LFPG:Paris Charles de Gaulle\r\n\r\nTLS::LFBO:Toulouse Blagnac\nJFK:KJFK:New York: John F Kennedy\r\n");
  ASSERT_EQ(g_iataIcaoTable().count, 3);
  EXPECT_STREQ(Record(0).iata, "CDG");
  EXPECT_STREQ(Record(0).icao, "LFPG");
  EXPECT_STREQ(Record(0).name, "Paris Charles de Gaulle");
  EXPECT_STREQ(Record(1).icao, "LFBO");  // "::" is one separator
  EXPECT_STREQ(Record(1).name, "Toulouse Blagnac");
  EXPECT_STREQ(Record(2).name, "New York");
}

TEST_F(IataTableTest, FieldsAreCutToTheirWidthsAndLinesTo100Bytes) {
  const std::string name(150, 'n');
  Load("ABCDE:LFPGXYZ:" + name + "\r\nORY:LFPO:Paris Orly\r\n");
  ASSERT_EQ(g_iataIcaoTable().count, 2);
  EXPECT_STREQ(Record(0).iata, "ABC");
  EXPECT_STREQ(Record(0).icao, "LFPGX");
  EXPECT_EQ(std::string(Record(0).name), std::string(100 - 14, 'n'));
  EXPECT_STREQ(Record(1).icao, "LFPO");
}

TEST_F(IataTableTest, AtMost299Records) {
  std::string bytes;
  for (int i = 0; i < 320; ++i) bytes += "AAA:AAAA:Name " + std::to_string(i) + "\r\n";
  Load(bytes);
  EXPECT_EQ(g_iataIcaoTable().count, 299);
  EXPECT_STREQ(Record(298).name, "Name 298");
}

TEST_F(IataTableTest, MissingFileDoesNothing) {
  Load("CDG:LFPG:Paris\r\n");
  ASSERT_EQ(g_iataIcaoTable().count, 1);
  LoadIataIcao(File("none.txt"));
  EXPECT_EQ(g_iataIcaoTable().count, 0);
  EXPECT_TRUE(BoxTexts().empty());
}
