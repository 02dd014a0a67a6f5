#include "icao_test_support.h"

#include <bit>
#include <fstream>

#include "core/icao_data.h"
#include "win/msgbox.h"
#include "win/paths.h"

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string AirportFileRecord(const char (&icao)[5], float latitude, float longitude, float elevationMetres) {
  std::string bytes(icao, 4);
  for (const float value : {latitude, longitude, elevationMetres}) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((bits >> shift) & 0xFF);
  }
  return bytes;
}

std::vector<std::string> BoxTexts() {
  std::vector<std::string> texts;
  for (const auto& box : ShownMessageBoxes()) texts.push_back(box.text);
  return texts;
}

void IcaoTablesTest::SetUpTestSuite() {
  SetMessageBoxEcho(false);
  ASSERT_EQ(AllocateTables(), 1);
}

void IcaoTablesTest::SetUp() {
  ASSERT_FALSE(folder_.Path().empty());
  SetMessageBoxEcho(false);
  ClearShownMessageBoxes();
  FailTableAllocationForTest(0);
  g_airportDb().Clear();
  g_airlineTable().Clear();
  g_aircraftTypeDb().loaded = false;
  g_aircraftTypeDb().count = 0;
  g_icaoTypeList().entries.reset();
  g_icaoTypeList().count = 0;
  g_iataIcaoTable().count = 0;
}

void IcaoTablesTest::TearDown() {
  FailTableAllocationForTest(0);
  for (const auto& box : ShownMessageBoxes()) EXPECT_EQ(box.title, "Tavelkor Error") << box.text;
  ClearShownMessageBoxes();
  SetMessageBoxEcho(true);
}

std::string IcaoTablesTest::File(const std::string& name) const { return JoinPath(folder_.Path(), name); }
