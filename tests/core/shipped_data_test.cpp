// The reference files shipped in res/data, read by the real loaders: a slip in
// the generator or in a hand edit shows here before it reaches a user.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <string_view>

#include "icao_test_support.h"
#include "core/icao_data.h"
#include "win/paths.h"

namespace {
class ShippedDataTest : public IcaoTablesTest {
 protected:
  static std::string DataFolder() { return JoinPath(TK_SOURCE_DIR, "res/data"); }
  static std::string DataFile(std::string_view name) { return JoinPath(DataFolder(), name); }
};

bool IsUpperAlnum(std::string_view text) {
  for (const char c : text) {
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return !text.empty();
}

const AirportRecord* FindAirport(std::string_view icao) {
  for (const AirportRecord& airport : g_airportDb()) {
    if (airport.Icao() == icao) return &airport;
  }
  return nullptr;
}

const AirlineRecord* FindAirline(std::string_view code) {
  for (const AirlineRecord& airline : g_airlineTable()) {
    if (FieldText(airline.code) == code) return &airline;
  }
  return nullptr;
}

int NonEmptyLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  int count = 0;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line != "\r") ++count;
  }
  return count;
}
}  // namespace

TEST_F(ShippedDataTest, StartUpLoadSucceedsWithoutABox) {
  EXPECT_EQ(LoadIcaoData(DataFolder(), DataFile("tk_airlines.txt")), 1);
  EXPECT_GE(g_airportDb().count, 500);
  EXPECT_GE(g_airlineTable().count, 200);
  EXPECT_EQ(LoadAircraftTypes(DataFile("tk_aircrafts.txt")), 2);
  LoadIataIcao(DataFile("IATA_ICAO.txt"));
  EXPECT_GT(g_iataIcaoTable().count, 0);
  EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(ShippedDataTest, AirportsHaveUniqueCodesAndSanePositions) {
  ASSERT_EQ(LoadAirports(DataFolder()), 1);
  EXPECT_GE(g_airportDb().count, 500);
  std::set<std::string, std::less<>> codes;
  for (const AirportRecord& airport : g_airportDb()) {
    const std::string_view code = airport.Icao();
    EXPECT_TRUE(code.size() == 4 && IsUpperAlnum(code)) << code;
    EXPECT_TRUE(codes.emplace(code).second) << code << " appears twice";
    EXPECT_TRUE(airport.latitude >= -90.0f && airport.latitude <= 90.0f) << code;
    EXPECT_TRUE(airport.longitude >= -180.0f && airport.longitude <= 180.0f) << code;
    EXPECT_TRUE(airport.elevation >= -1'500.0f && airport.elevation <= 15'000.0f) << code;
  }
}

TEST_F(ShippedDataTest, KnownAirportsSitWhereTheyAre) {
  // One per hemisphere pair, plus the lowest and a very high field: the
  // elevation is in feet once loaded.
  const struct {
    const char* icao;
    double latitude, longitude, elevationFeet;
  } cases[] = {
      {"LFPG", 49.01, 2.55, 392},     {"KJFK", 40.64, -73.78, 13}, {"YSSY", -33.95, 151.18, 21},
      {"SBGR", -23.44, -46.47, 2459}, {"EHAM", 52.31, 4.76, -11},  {"SLLP", -16.51, -68.19, 13'325},
  };
  ASSERT_EQ(LoadAirports(DataFolder()), 1);
  for (const auto& c : cases) {
    const AirportRecord* airport = FindAirport(c.icao);
    ASSERT_NE(airport, nullptr) << c.icao;
    EXPECT_NEAR(airport->latitude, c.latitude, 0.02) << c.icao;
    EXPECT_NEAR(airport->longitude, c.longitude, 0.02) << c.icao;
    EXPECT_NEAR(airport->elevation, c.elevationFeet, 5.0) << c.icao;
  }
}

TEST_F(ShippedDataTest, AircraftTypesAreCompleteAndFound) {
  ASSERT_EQ(LoadAircraftTypes(DataFile("tk_aircrafts.txt")), 2);
  const AircraftTypeDb& db = g_aircraftTypeDb();
  EXPECT_GE(db.count, 400);
  std::set<std::string, std::less<>> types;
  for (int i = 0; i < db.count; ++i) {
    const AircraftTypeRecord& record = db.records[i];
    const std::string_view type = FieldText(record.icaoType);
    const std::string_view classCode = FieldText(record.classCode);
    const std::string_view wake = FieldText(record.fifth);
    EXPECT_FALSE(FieldText(record.manufacturer).empty()) << "record " << i;
    EXPECT_FALSE(FieldText(record.model).empty()) << "record " << i;
    EXPECT_TRUE(type.size() >= 2 && type.size() <= 4 && IsUpperAlnum(type)) << "record " << i << ": " << type;
    ASSERT_EQ(classCode.size(), 3u) << "record " << i;
    EXPECT_NE(std::strchr("LSAHG", classCode[0]), nullptr) << type << " " << classCode;
    EXPECT_TRUE(classCode[1] >= '1' && classCode[1] <= '8') << type << " " << classCode;
    EXPECT_NE(std::strchr("JTPE", classCode[2]), nullptr) << type << " " << classCode;
    EXPECT_TRUE(wake.size() == 1 && std::strchr("LMHJ", wake[0]) != nullptr) << type << " " << wake;
    types.emplace(type);
  }
  // Several lines share a designator; the chooser lists each one once.
  EXPECT_EQ(g_icaoTypeList().count, static_cast<int>(types.size()));
  EXPECT_LT(g_icaoTypeList().count, db.count);

  const struct {
    const char* type;
    const char* classCode;
    const char* wake;
  } cases[] = {
      {"B738", "L2J", "M"}, {"A320", "L2J", "M"}, {"A388", "L4J", "J"},
      {"C172", "L1P", "L"}, {"EC35", "H2T", "L"}, {"B744", "L4J", "H"},
  };
  for (const auto& c : cases) {
    const int index = FindAircraftTypeIndex(c.type);
    ASSERT_GE(index, 0) << c.type;
    const AircraftTypeRecord& record = db.records[index];
    EXPECT_STREQ(record.icaoType, c.type);
    EXPECT_STREQ(record.classCode, c.classCode) << c.type;
    EXPECT_STREQ(record.fifth, c.wake) << c.type;
  }
}

TEST_F(ShippedDataTest, AirlinesParseWithUniqueCodes) {
  EXPECT_EQ(LoadAirlines(DataFile("tk_airlines.txt")), 1);
  EXPECT_TRUE(BoxTexts().empty());  // a format box would have emptied the table
  EXPECT_GE(g_airlineTable().count, 200);
  std::set<std::string, std::less<>> codes;
  for (const AirlineRecord& airline : g_airlineTable()) {
    const std::string_view code = FieldText(airline.code);
    EXPECT_TRUE(code.size() == 3 && IsUpperAlnum(code)) << code;
    EXPECT_FALSE(FieldText(airline.name).empty()) << code;
    EXPECT_TRUE(codes.emplace(code).second) << code << " appears twice";
  }
  const struct {
    const char* code;
    const char* name;
  } cases[] = {{"AFR", "AIR FRANCE"}, {"BAW", "BRITISH AIRWAYS"}, {"DLH", "LUFTHANSA"}};
  for (const auto& c : cases) {
    const AirlineRecord* airline = FindAirline(c.code);
    ASSERT_NE(airline, nullptr) << c.code;
    EXPECT_STREQ(airline->name, c.name);
  }
}

TEST_F(ShippedDataTest, IataCodesAllLoadAndNameShippedAirports) {
  ASSERT_EQ(LoadAirports(DataFolder()), 1);
  const std::string path = DataFile("IATA_ICAO.txt");
  LoadIataIcao(path);
  const IataIcaoTable& table = g_iataIcaoTable();
  // The loader stops quietly at its limit: no line of the file may be left out.
  EXPECT_EQ(table.count, NonEmptyLines(path));
  EXPECT_LE(table.count, kMaxIataIcao);
  bool sawCdg = false;
  for (int i = 0; i < table.count; ++i) {
    const IataIcaoRecord& record = table.records[i];
    const std::string_view iata = FieldText(record.iata);
    EXPECT_TRUE(iata.size() == 3 && IsUpperAlnum(iata)) << "line " << i;
    EXPECT_NE(FindAirport(FieldText(record.icao)), nullptr) << iata << " names " << record.icao;
    EXPECT_FALSE(FieldText(record.name).empty()) << iata;
    if (iata == "CDG") {
      sawCdg = true;
      EXPECT_STREQ(record.icao, "LFPG");
      EXPECT_STREQ(record.name, "Paris Charles de Gaulle");
    }
  }
  EXPECT_TRUE(sawCdg);
}
