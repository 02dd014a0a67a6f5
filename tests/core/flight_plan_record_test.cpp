// The flight-plan record's byte layout, its settings section and the amendment merge.
#include "core/flight_plan_record.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "core/flight_plan.h"
#include "core/flight_plan_airports.h"
#include "core/flight_plan_settings.h"
#include "core/protocol_text.h"
#include "support/child_process.h"

namespace {

std::uint32_t U32At(const FlightPlanRecordBytes& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::string TextAt(const FlightPlanRecordBytes& bytes, std::size_t at, std::size_t size) {
  std::string text;
  for (std::size_t i = at; i < at + size && bytes[i] != 0; ++i) text.push_back(static_cast<char>(bytes[i]));
  return text;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every field holds a value of its own, so a field written at a wrong offset shows.
FlightPlanRecord FullRecord() {
  FlightPlanRecord r;
  SetPlanText(r.aircraftType, "B738");
  r.aircraftIndex = 0x01020304;
  SetPlanText(r.flightType, "I");
  SetPlanText(r.altitude, "FL350");
  r.cruiseSpeed = 450;
  SetPlanText(r.departure, "LFPG");
  SetPlanText(r.destination, "EGLL");
  SetPlanText(r.alternate, "EGKK");
  r.proposedHour = 11;
  r.proposedMinutes = 12;
  r.actualHour = 13;
  r.actualMinutes = 14;
  r.enrouteHours = 15;
  r.enrouteMinutes = 16;
  r.fuelHours = 17;
  r.fuelMinutes = 18;
  SetPlanText(r.remarks, "RMK/TCAS");
  SetPlanText(r.route, "ABB UL612 BIG");
  r.numberAboard = 189;
  return r;
}

TEST(FlightPlanRecordLayout, EveryFieldLiesAtItsOffset) {
  const FlightPlanRecordBytes bytes = WriteFlightPlanRecord(FullRecord());
  static_assert(sizeof(bytes) == 2328);
  struct Number {
    std::size_t at;
    std::uint32_t value;
  };
  for (const Number& n : {Number{16, 0x01020304}, Number{88, 450}, Number{112, 11}, Number{116, 12}, Number{120, 13},
                          Number{124, 14}, Number{128, 15}, Number{132, 16}, Number{136, 17}, Number{140, 18},
                          Number{2192, 189}}) {
    SCOPED_TRACE(n.at);
    EXPECT_EQ(U32At(bytes, n.at), n.value);
  }
  EXPECT_EQ(bytes[16], 0x04) << "little-endian";
  struct Text {
    std::size_t at;
    std::size_t size;
    const char* value;
  };
  for (const Text& t : {Text{8, 8, "B738"}, Text{20, 2, "I"}, Text{24, 64, "FL350"}, Text{96, 5, "LFPG"},
                        Text{101, 5, "EGLL"}, Text{106, 5, "EGKK"}, Text{144, 1024, "RMK/TCAS"},
                        Text{1168, 1024, "ABB UL612 BIG"}}) {
    SCOPED_TRACE(t.at);
    EXPECT_EQ(TextAt(bytes, t.at, t.size), t.value);
  }
  // Reserved and padding bytes stay zero.
  for (std::size_t at : {0u, 7u, 22u, 23u, 92u, 95u, 111u, 2196u, 2327u}) EXPECT_EQ(bytes[at], 0) << at;
  EXPECT_EQ(ReadFlightPlanRecord(bytes), FullRecord());
}

TEST(FlightPlanRecordLayout, ReadingTerminatesTextsAndZeroFillsAShortInput) {
  FlightPlanRecordBytes hostile{};
  hostile.fill(0x41);
  const FlightPlanRecord read = ReadFlightPlanRecord(hostile);
  EXPECT_EQ(PlanText(read.aircraftType), "AAAAAAA");
  EXPECT_EQ(PlanText(read.flightType), "A");
  EXPECT_EQ(PlanText(read.altitude).size(), 63u);
  EXPECT_EQ(PlanText(read.departure), "AAAA");
  EXPECT_EQ(PlanText(read.destination), "AAAA");
  EXPECT_EQ(PlanText(read.alternate), "AAAA");
  EXPECT_EQ(PlanText(read.remarks).size(), 1023u);
  EXPECT_EQ(PlanText(read.route).size(), 1023u);
  EXPECT_EQ(read.reservedTail[131], 0x41) << "only texts are terminated";

  const FlightPlanRecordBytes full = WriteFlightPlanRecord(FullRecord());
  const FlightPlanRecord shortRead = ReadFlightPlanRecord(std::span(full.data(), 101));
  EXPECT_EQ(PlanText(shortRead.departure), "LFPG");
  EXPECT_EQ(PlanText(shortRead.destination), "");
  EXPECT_EQ(shortRead.cruiseSpeed, 450u);
  EXPECT_EQ(shortRead.numberAboard, 0u);
  EXPECT_EQ(PlanText(shortRead.altitude), "FL350");
}

TEST(FlightPlanRecordLayout, SetPlanTextKeepsItsLimitAndTheTerminator) {
  std::array<char, kPlanAirportSize> code{};
  SetPlanText(code, "ABCDEFG");
  EXPECT_EQ(PlanText(code), "ABCD");
  std::array<char, kPlanAltitudeSize> altitude{};
  SetPlanText(altitude, "1234567", kPlanAltitudeChars);
  EXPECT_EQ(PlanText(altitude), "12345");
  EXPECT_EQ(altitude[5], '\0');
  EXPECT_EQ(altitude[6], '\0');
}

class FlightPlanSettingsTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  std::string ini_ = folder_.Path() + "/Tavelkor.ini";
};

TEST_F(FlightPlanSettingsTest, WrittenKeysReadBackIntoTheSameRecord) {
  FlightPlanRecord plan = FullRecord();
  plan.proposedHour = 5;
  WriteFlightPlanSettings(plan, ini_.c_str());
  const std::string text = FileText(ini_);
  for (const char* line : {"[FLIGHT PLAN]\r\n", "Flight_Type=I\r\n", "Aircraft_Type=B738\r\n", "Cruise_Speed=450\r\n",
                           "Depature_Hours_Proposed=05\r\n", "Depature_Minutes_Actual=14\r\n", "Enroute_Hours=15\r\n",
                           "Flight_Level_Altitude=FL350\r\n", "Route=ABB UL612 BIG\r\n", "NumberAboard=189\r\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
  EXPECT_LT(text.find("Flight_Type"), text.find("Aircraft_Type"));
  EXPECT_LT(text.find("Alternate_Airport"), text.find("Route="));
  EXPECT_LT(text.find("Route="), text.find("Remarks="));
  EXPECT_EQ(ReadFlightPlanSettings(FlightPlanRecord{}, ini_.c_str()), plan);
}

TEST_F(FlightPlanSettingsTest, MissingKeysGiveDefaultsAndTextsAreCut) {
  const FlightPlanRecord defaults = ReadFlightPlanSettings(FlightPlanRecord{}, ini_.c_str());
  EXPECT_EQ(PlanText(defaults.flightType), "V");
  EXPECT_EQ(PlanText(defaults.aircraftType), "BE58");
  EXPECT_EQ(defaults.cruiseSpeed, 110u);
  EXPECT_EQ(defaults.numberAboard, 1u);
  EXPECT_EQ(PlanText(defaults.alternate), "");

  std::ofstream(ini_, std::ios::binary) << "[FLIGHT PLAN]\r\nAircraft_Type=ABCDEFGHIJKLMNOP\r\n"
                                        << "Flight_Level_Altitude=FL3500000\r\nDeparture_Airport=LFPGX\r\n"
                                        << "Remarks=" << std::string(1500, 'R') << "\r\n"
                                        << "Route=A:B%C&D\r\n";
  const FlightPlanRecord cut = ReadFlightPlanSettings(FlightPlanRecord{}, ini_.c_str());
  EXPECT_EQ(PlanText(cut.aircraftType), "ABCDEFG") << "never more than 7 characters";
  EXPECT_EQ(PlanText(cut.altitude), "FL350");
  EXPECT_EQ(PlanText(cut.departure), "LFPG");
  EXPECT_EQ(PlanText(cut.remarks).size(), 999u);
  EXPECT_EQ(PlanText(cut.route), "A;B\rC\nD") << "line breaks come back from the file";
}

TEST(ProtocolText, EscapesAndUnescapesWithinTheField) {
  std::array<char, 12> field{};
  SetPlanText(field, "a:b\r\nc");
  EscapeProtocolText(std::span<char>(field));
  EXPECT_EQ(PlanText(field), "a;b%&c");
  UnescapeLineBreaks(field);
  EXPECT_EQ(PlanText(field), "a;b\r\nc");
  std::array<char, 3> unterminated = {':', '%', '&'};
  UnescapeLineBreaks(unterminated);
  EXPECT_EQ(unterminated, (std::array<char, 3>{';', '\r', '\n'}));
}

TEST(CurrentFlightPlan, ResetAmendmentAndTheWeatherAirports) {
  ResetCurrentFlightPlan();
  EXPECT_EQ(PlanText(CurrentFlightPlan().aircraftType), "BE58");
  EXPECT_FALSE(FlightPlanHasRules(CurrentFlightPlan()));
  EXPECT_FALSE(FlightPlanSent());
  EXPECT_EQ(OwnAircraftListIndex(), kNoAircraftListIndex);

  FlightPlanRecord own = FullRecord();
  SetCurrentFlightPlan(own);
  EXPECT_TRUE(IsFlightPlanAirport(GetFlightPlanAirports(), "EGLL"));

  FlightPlanRecord amended;
  SetPlanText(amended.aircraftType, "C172");
  SetPlanText(amended.flightType, "V");
  SetPlanText(amended.altitude, "A045");
  amended.cruiseSpeed = 120;
  SetPlanText(amended.departure, "LFPO");
  SetPlanText(amended.destination, "LFLL");
  SetPlanText(amended.alternate, "NONE");
  amended.proposedHour = 1;
  amended.fuelMinutes = 8;
  SetPlanText(amended.route, "DCT");
  amended.numberAboard = 3;
  const FlightPlanRecord merged = MergeFlightPlanAmendment(own, amended);
  EXPECT_EQ(PlanText(merged.aircraftType), "B738") << "the aircraft stays the pilot's";
  EXPECT_EQ(merged.aircraftIndex, own.aircraftIndex);
  EXPECT_EQ(merged.numberAboard, own.numberAboard);
  EXPECT_EQ(PlanText(merged.flightType), "V");
  EXPECT_EQ(PlanText(merged.altitude), "A045");
  EXPECT_EQ(merged.cruiseSpeed, 120u);
  EXPECT_EQ(PlanText(merged.departure), "LFPO");
  EXPECT_EQ(merged.proposedHour, 1u);
  EXPECT_EQ(merged.actualHour, 0u);
  EXPECT_EQ(merged.fuelMinutes, 8u);
  EXPECT_EQ(PlanText(merged.remarks), "");
  EXPECT_EQ(PlanText(merged.route), "DCT");

  int notified = 0;
  static int* counter = nullptr;
  counter = &notified;
  SetFlightPlanAmendmentNotifier([] { ++*counter; });
  PostFlightPlanAmendment({own, "LFPG_TWR", 1200});
  PostFlightPlanAmendment({amended, "LFPG_APP", 4721});
  EXPECT_EQ(notified, 2);
  EXPECT_EQ(TakeFlightPlanAmendment(), (FlightPlanAmendment{amended, "LFPG_APP", 4721}))
      << "a later amendment replaces one not taken";
  EXPECT_FALSE(TakeFlightPlanAmendment().has_value());
  SetFlightPlanAmendmentNotifier(nullptr);
  ResetCurrentFlightPlan();
}

}  // namespace
