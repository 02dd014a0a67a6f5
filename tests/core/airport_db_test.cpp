#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "icao_test_support.h"
#include "core/icao_data.h"
#include "win/msgbox.h"

namespace {
class AirportDbTest : public IcaoTablesTest {
 protected:
  std::string XtkPath() const { return File("data.xtk"); }
};

std::string Records(int count) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(count) * 16);
  for (int i = 0; i < count; ++i) bytes += AirportFileRecord("ZZZZ", 45.0f, 5.0f, 10.0f);
  return bytes;
}
}  // namespace

TEST_F(AirportDbTest, TwentyFiveThousandRecordsLoad) {
  const std::string bytes = Records(25'000);
  ASSERT_EQ(bytes.size(), 400'000u);
  WriteBytes(XtkPath(), bytes);
  EXPECT_EQ(LoadAirports(folder_.Path()), 1);
  EXPECT_EQ(g_airportDb().count, 25'000);
  EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(AirportDbTest, TwentyFiveThousandAndOneAreRefused) {
  WriteBytes(XtkPath(), Records(25'001));
  EXPECT_EQ(LoadAirports(folder_.Path()), 0);
  EXPECT_EQ(g_airportDb().count, 0);
  const auto boxes = ShownMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Tavelkor Error");
  EXPECT_EQ(boxes[0].text, "ICAO data count too big 25001 / " + XtkPath() + ".");
}

TEST_F(AirportDbTest, ElevationBecomesFeetAndLongitudeWraps) {
  WriteBytes(XtkPath(), AirportFileRecord("LFBO", 43.6294f, 190.0f, 100.0f) +
                            AirportFileRecord("NZCH", -43.4894f, 180.0f, 37.0f) +
                            AirportFileRecord("KLAX", 33.9425f, -118.408f, 38.0f));
  ASSERT_EQ(LoadAirports(folder_.Path()), 1);
  const AirportDb& db = g_airportDb();
  ASSERT_EQ(db.count, 3);
  EXPECT_EQ(db.records[0].Icao(), "LFBO");
  EXPECT_STREQ(db.records[0].icao, "LFBO");  // terminated: usable as a text
  EXPECT_FLOAT_EQ(db.records[0].latitude, 43.6294f);
  EXPECT_FLOAT_EQ(db.records[0].longitude, -170.0f);
  EXPECT_NEAR(db.records[0].elevation, 328.08, 1e-3);
  EXPECT_FLOAT_EQ(db.records[1].longitude, 180.0f);  // 180 itself stays
  EXPECT_FLOAT_EQ(db.records[2].longitude, -118.408f);
  EXPECT_EQ(db.records[2].distance, 0.0);
}

TEST_F(AirportDbTest, CodeOfTheFileIsTerminatedEvenWithoutSpace) {
  std::uint8_t bytes[16] = {'E', 'G', 'L', 'L', 0, 0, 0x80, 0x3F, 0, 0, 0, 0xC0, 0, 0, 0x20, 0x41};
  AirportRecord record;
  std::memset(&record, 0x7F, sizeof record);
  DecodeAirportFileRecord(bytes, record);
  EXPECT_STREQ(record.icao, "EGLL");
  EXPECT_EQ(std::strlen(record.icao), 4u);
  EXPECT_FLOAT_EQ(record.latitude, 1.0f);
  EXPECT_FLOAT_EQ(record.longitude, -2.0f);
  EXPECT_FLOAT_EQ(record.elevation, 10.0f);
  EXPECT_EQ(record.distance, 0.0);
}

TEST_F(AirportDbTest, TrailingBytesOfAPartialRecordAreIgnored) {
  WriteBytes(XtkPath(), AirportFileRecord("EDDF", 50.0333f, 8.5706f, 111.0f) + "LFP");
  EXPECT_EQ(LoadAirports(folder_.Path()), 1);
  EXPECT_EQ(g_airportDb().count, 1);
}

TEST_F(AirportDbTest, EmptyFolderStringIsRefused) {
  EXPECT_EQ(LoadAirports(""), 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"ICAO data null string."});
}

TEST_F(AirportDbTest, MissingFileIsReported) {
  EXPECT_EQ(LoadAirports(folder_.Path()), 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"ICAO data file could not be open " + XtkPath() + "."});
}

TEST_F(AirportDbTest, AFolderInPlaceOfTheFileCannotBeOpened) {
  std::filesystem::create_directory(XtkPath());
  EXPECT_EQ(LoadAirports(folder_.Path()), 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"ICAO data file could not be open " + XtkPath() + "."});
}

TEST_F(AirportDbTest, EmptyFileIsReported) {
  WriteBytes(XtkPath(), "");
  EXPECT_EQ(LoadAirports(folder_.Path()), 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"ICAO data could not be get file size " + XtkPath() + "."});
}

TEST_F(AirportDbTest, AllocationFailureIsReportedAndLeavesTheTableEmpty) {
  WriteBytes(XtkPath(), Records(2));
  ASSERT_EQ(LoadAirports(folder_.Path()), 1);
  FailTableAllocationForTest(1);
  EXPECT_EQ(LoadAirports(folder_.Path()), 0);
  EXPECT_EQ(g_airportDb().count, 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"ICAO data could not allocate array 2 / " + XtkPath() + "."});
}

TEST_F(AirportDbTest, ReloadReplacesThePreviousTable) {
  WriteBytes(XtkPath(), Records(3));
  ASSERT_EQ(LoadAirports(folder_.Path()), 1);
  WriteBytes(XtkPath(), AirportFileRecord("KJFK", 40.6398f, -73.7789f, 4.0f));
  ASSERT_EQ(LoadAirports(folder_.Path()), 1);
  ASSERT_EQ(g_airportDb().count, 1);
  EXPECT_EQ(g_airportDb().records[0].Icao(), "KJFK");
}

TEST_F(AirportDbTest, LoadIcaoDataStopsWhenTheAirportsFail) {
  WriteBytes(File("tk_airlines.txt"), "AFR\tAir France\r\n");
  EXPECT_EQ(LoadIcaoData(folder_.Path(), File("tk_airlines.txt")), 0);
  EXPECT_EQ(g_airlineTable().count, 0);
}

TEST_F(AirportDbTest, LoadIcaoDataSucceedsDespiteAirlineProblems) {
  WriteBytes(XtkPath(), Records(1));
  EXPECT_EQ(LoadIcaoData(folder_.Path(), File("tk_airlines.txt")), 1);
  EXPECT_EQ(g_airportDb().count, 1);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"ICAO airlines file could not be open " + File("tk_airlines.txt") + "."});
}
