// The controller link's records byte for byte: each field at its offset,
// texts cut and terminated within their fields, and back again.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/byte_order.h"
#include "net/controller_records.h"

namespace {

template <std::size_t N>
std::string TextAt(const std::array<std::uint8_t, N>& bytes, std::size_t at, std::size_t size) {
  const auto* begin = reinterpret_cast<const char*>(bytes.data() + at);
  return std::string(begin, ::strnlen(begin, size));
}

std::uint16_t U16At(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

TEST(ControllerRecords, TheLoginRecordPutsEachFieldAtItsOffset) {
  AtcLoginRecord record;
  record.identity.peerKind = 'A';
  record.identity.callsign = "LFPG_TWR";
  record.identity.passwordOrServer = "NODE-1";
  record.identity.serverToken = 7;
  record.controller.values = {1, 2, 3, 4};
  record.controller.frequencyMhz = 118;
  record.controller.frequencyKhz = 250;
  record.controller.value28 = 40;
  record.controller.value32 = 0xABCDEF01;
  record.controller.transitionAltitudeFeet = 5'000;
  record.controller.atis = "Information A";
  record.controller.secondText = "second";
  const AtcLoginRecordBytes bytes = WriteAtcLoginRecord(record);
  constexpr std::size_t part = kIdentityBlockSize;
  EXPECT_EQ(TextAt(bytes, 80, 16), "LFPG_TWR");
  EXPECT_EQ(TextAt(bytes, 64, 16), "NODE-1");
  EXPECT_EQ(bytes[46], 7);
  EXPECT_EQ(GetU32(bytes.data() + part + 8), 1u);
  EXPECT_EQ(GetU32(bytes.data() + part + 20), 4u);
  EXPECT_EQ(U16At(bytes, part + 24), 118);
  EXPECT_EQ(U16At(bytes, part + 26), 250);
  EXPECT_EQ(U16At(bytes, part + 28), 40);
  EXPECT_EQ(GetU32(bytes.data() + part + 32), 0xABCDEF01u);
  EXPECT_EQ(GetU32(bytes.data() + part + 36), 5'000u);
  EXPECT_EQ(TextAt(bytes, part + 40, 512), "Information A");
  EXPECT_EQ(TextAt(bytes, part + 552, 128), "second");

  const AtcLoginRecord back = ReadAtcLoginRecord(bytes);
  EXPECT_EQ(back.identity.callsign, "LFPG_TWR");
  EXPECT_EQ(back.controller.values, record.controller.values);
  EXPECT_EQ(back.controller.transitionAltitudeFeet, 5'000u);
  EXPECT_EQ(back.controller.atis, "Information A");
  EXPECT_EQ(back.controller.secondText, "second");
}

TEST(ControllerRecords, TextsFilledToTheirLastByteComeBackTerminatedInTheirFields) {
  AtcLoginRecordBytes login{};
  login.fill('Z');
  const AtcLoginRecord record = ReadAtcLoginRecord(login);
  EXPECT_EQ(record.controller.atis.size(), 511u);
  EXPECT_EQ(record.controller.secondText.size(), 127u);
  EXPECT_EQ(record.identity.callsign.size(), 15u);

  AtisRecordBytes atis{};
  atis.fill('Y');
  const AtisRecord a = ReadAtisRecord(atis);
  EXPECT_EQ(a.controller.size(), 15u);
  EXPECT_EQ(a.text.size(), 511u);

  WeatherRecordBytes weather{};
  weather.fill('W');
  const WeatherRecord w = ReadWeatherRecord(weather);
  EXPECT_EQ(w.icao.size(), 4u);
  EXPECT_EQ(w.metar.size(), kWeatherMetarSize - 1);

  FlightStripBytes strip{};
  strip.fill('S');
  const FlightStrip s = ReadFlightStrip(strip);
  EXPECT_EQ(s.callsign.size(), 15u);
  EXPECT_EQ(s.controller.size(), 15u);
  EXPECT_EQ(s.waypoint.size(), 63u);

  HandOffRecordBytes handOff{};
  handOff.fill('H');
  const HandOffRecord h = ReadHandOffRecord(handOff);
  EXPECT_EQ(h.from.size(), 15u);
  EXPECT_EQ(h.to.size(), 15u);
}

TEST(ControllerRecords, TheStripAndTheSmallRecordsKeepTheirLayouts) {
  FlightStrip strip{"OWN001", "LFPG_TWR", "RESMI", 1, 270, 9'000, 180, 220, 4721};
  const FlightStripBytes s = WriteFlightStrip(strip);
  EXPECT_EQ(TextAt(s, 8, 16), "OWN001");
  EXPECT_EQ(TextAt(s, 24, 16), "LFPG_TWR");
  EXPECT_EQ(TextAt(s, 40, 64), "RESMI");
  const std::pair<std::size_t, std::uint16_t> words[] = {{104, 1}, {106, 270}, {108, 9'000}, {110, 180}, {112, 220}, {114, 4721}};
  for (const auto& [at, value] : words) EXPECT_EQ(U16At(s, at), value) << at;

  const MessageRateRecordBytes rate = WriteMessageRateRecord({"LFPG_TWR", 6});
  EXPECT_EQ(TextAt(rate, 8, 16), "LFPG_TWR");
  EXPECT_EQ(U16At(rate, 24), 6);

  const WeatherRecordBytes weather = WriteWeatherRecord({"LFPG_TWR", "LFPGX", "METAR"});
  EXPECT_EQ(TextAt(weather, 24, 8), "LFPG");  // four letters at most
  EXPECT_EQ(TextAt(weather, 32, 1024), "METAR");

  const HandOffRecordBytes handOff = WriteHandOffRecord({"LFPG_TWR", "LFPG_APP"});
  EXPECT_EQ(TextAt(handOff, 8, 16), "LFPG_TWR");
  EXPECT_EQ(TextAt(handOff, 24, 16), "LFPG_APP");
  for (std::size_t i = kHandOffMinSize; i < kHandOffRecordSize; ++i) EXPECT_EQ(handOff[i], 0) << i;

  AtcPositionReport report{5'500, 1, 140, 93, 48.5, 2.25, 1};
  const AtcPositionReportBytes r = WriteAtcPositionReport(report);
  EXPECT_EQ(GetU32(r.data() + 8), 5'500u);
  EXPECT_EQ(U16At(r, 14), 140);
  EXPECT_EQ(U16At(r, 16), 93);
  EXPECT_EQ(r[40], 1);
  const AtcPositionReport back = ReadAtcPositionReport(r);
  EXPECT_DOUBLE_EQ(back.latitude, 48.5);
  EXPECT_DOUBLE_EQ(back.longitude, 2.25);
}

TEST(ControllerRecords, TheFrequencyTextHasThreeDecimals) {
  const struct {
    std::uint16_t mhz;
    std::uint16_t khz;
    const char* text;
  } cases[] = {{118, 250, "118.250"}, {121, 5, "121.005"}, {122, 800, "122.800"}, {130, 65535, "130.999"}};
  for (const auto& c : cases) EXPECT_EQ(AtcFrequencyText(c.mhz, c.khz), c.text);
}

}  // namespace
