// The plug-in's record bodies as the link reads them, and the command bodies
// it writes, field by field: written by the stand-in's writers (another
// implementation of the same layout) and read back by the client's readers.
#include "sim/plugin_link_records.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "testbed/plugin_records.h"

namespace {

template <std::size_t N, typename Bytes>
RecordBytes<N> Fixed(const Bytes& bytes) {
  RecordBytes<N> out{};
  std::copy_n(bytes.begin(), std::min(bytes.size(), N), out.begin());
  return out;
}

TEST(PluginLinkRecords, HandshakeFields) {
  const plugin_link::DllInfos infos{10250, -3, 0xCAFE, 7};
  const DllInfosRecord read = ReadDllInfosRecord(plugin_link::WriteDllInfos(infos));
  EXPECT_EQ(read.simulatorCode, 10250);
  EXPECT_EQ(read.errorCode, -3);
  EXPECT_EQ(read.simMainWindow, 0xCAFEu);
  EXPECT_EQ(read.aiCount, 7);
}

TEST(PluginLinkRecords, FirstDataSetConvertsUnitsAndSigns) {
  plugin_link::FlightSample sample;
  sample.altitudeFeet = 1000.7;
  sample.latitude = 49.5;
  sample.longitude = -2.25;
  sample.trueHeading = 271.6F;
  sample.speedMs = 51.4444F;  // 100 knots
  sample.indicatedKnots = 95.5F;
  sample.mach = 0.15F;
  sample.onGround = 0;
  auto bytes = plugin_link::WriteDataSet1(sample);
  // Velocities, pitch and bank are not in the stand-in's writer: put them here.
  const auto putF32 = [&](std::size_t at, float value) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  };
  putF32(32, 10.0F);
  putF32(40, 2.0F);
  putF32(44, 5.0F);
  putF32(48, -7.5F);
  const OwnFlightData flight = ReadDataSet1(Fixed<kDataSet1Size>(bytes));
  EXPECT_DOUBLE_EQ(flight.altitudeFeet, 1000.7);
  EXPECT_EQ(flight.altitudeWholeFeet, 1001);
  EXPECT_EQ(flight.altitudeFraction, static_cast<std::int16_t>(std::trunc((1000.7 - 1001.0) * 65536.0)));
  EXPECT_DOUBLE_EQ(flight.latitude, 49.5);
  EXPECT_DOUBLE_EQ(flight.longitude, -2.25);
  EXPECT_NEAR(flight.velocityX, 32.808, 1e-9);
  EXPECT_NEAR(flight.velocityZ, -6.5616, 1e-9);
  EXPECT_DOUBLE_EQ(flight.pitch, -5.0);
  EXPECT_DOUBLE_EQ(flight.bank, 7.5);
  EXPECT_NEAR(flight.trueHeading, 271.6, 1e-4);
  EXPECT_EQ(flight.trueHeadingRounded, 272);
  EXPECT_NEAR(flight.speed1Knots, 100.0, 1e-3);
  EXPECT_EQ(flight.speed1Rounded, 100);
  EXPECT_EQ(flight.speed2Rounded, 96);
  EXPECT_EQ(flight.valueMThousandths, 150);
  EXPECT_EQ(flight.onGround, 0u);
}

TEST(PluginLinkRecords, OutOfRangeValuesDoNotOverflow) {
  plugin_link::FlightSample sample;
  sample.altitudeFeet = std::numeric_limits<double>::quiet_NaN();
  sample.trueHeading = 3.0e38F;
  const OwnFlightData flight = ReadDataSet1(Fixed<kDataSet1Size>(plugin_link::WriteDataSet1(sample)));
  EXPECT_EQ(flight.altitudeWholeFeet, 0);
  EXPECT_EQ(flight.altitudeFraction, 0);
  EXPECT_EQ(flight.trueHeadingRounded, std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(TruncatedI16(-1e9), std::numeric_limits<std::int16_t>::min());
}

TEST(PluginLinkRecords, SecondDataSetRadiosAndTransponderModes) {
  struct Case {
    std::uint16_t mode;
    char before;
    char after;
  };
  for (const Case c : {Case{0, 'N', 'S'}, Case{1, 'N', 'S'}, Case{2, 'S', 'N'}, Case{3, 'S', 'Y'},
                       Case{5, 'N', 'N'}, Case{4, 'Y', 'Y'}}) {
    plugin_link::FlightSample sample;
    sample.transponderCode = 4721;
    sample.transponderMode = c.mode;
    sample.com1Hundredths = 12345;
    sample.com2Hundredths = 12150;
    sample.audioSelection = 7;
    OwnRadioData previous;
    previous.transponderMode = c.before;
    const OwnRadioData radios =
        ApplyDataSet2(ReadDataSet2(Fixed<kDataSet2Size>(plugin_link::WriteDataSet2(sample))), previous);
    EXPECT_EQ(radios.transponderMode, c.after) << "mode " << c.mode;
    EXPECT_EQ(radios.transponderCode, 4721u);
    EXPECT_TRUE(radios.simulatorCodeKnown);
    EXPECT_STREQ(radios.com1.data(), "123.45");
    EXPECT_STREQ(radios.com2.data(), "121.50");
    EXPECT_EQ(radios.com1Selected, 0u) << "audio selection 7 selects COM2";
    EXPECT_EQ(radios.com2Selected, 1u);
    EXPECT_EQ(radios.bothSelected, 0u);
  }
  DataSet2Record com1;
  com1.audioSelection = 6;
  const OwnRadioData radios = ApplyDataSet2(com1, {});
  EXPECT_EQ(radios.com1Selected, 1u);
  EXPECT_EQ(radios.com2Selected, 0u);
  // The largest frequency word still fits its text field, terminated.
  const OwnComText widest = ComText(0xFFFFFFFFu);
  EXPECT_EQ(widest.back(), '\0');
}

// A letter set on the client (the dashboard's Charlie) stands while the
// plug-in keeps reporting the mode it reported before; a turned switch wins.
TEST(PluginLinkRecords, TheModeLetterFollowsOnlyAMovedSwitch) {
  struct Step {
    const char* what;
    char setHere;  // 0: none
    std::uint16_t reported;
    char after;
  };
  const Step steps[] = {
      {"first report", 0, 1, 'S'},
      {"Charlie pressed, switch still at standby", 'N', 1, 'N'},
      {"the same report again", 0, 1, 'N'},
      {"the switch turned to mode C", 0, 2, 'N'},
      {"standby pressed, switch at mode C", 'S', 2, 'S'},
      {"the switch turned to standby", 0, 0, 'S'},
      {"the switch turned to mode C again", 0, 2, 'N'},
      {"an unknown mode leaves the letter", 0, 7, 'N'},
      {"back to a known one", 0, 3, 'Y'},
  };
  OwnRadioData radios;
  for (const Step& step : steps) {
    if (step.setHere != 0) radios.transponderMode = step.setHere;
    DataSet2Record record;
    record.transponderMode = step.reported;
    radios = ApplyDataSet2(record, radios);
    EXPECT_EQ(radios.transponderMode, step.after) << step.what;
  }
}

TEST(PluginLinkRecords, ThirdAndFourthDataSets) {
  RecordBytes<kDataSet3Size> body{};
  const auto putF32 = [&](std::size_t at, float value) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) body[at + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  };
  putF32(4, 12.9F);
  putF32(8, -3.5F);
  putF32(16, 99.0F);
  putF32(32, 7.7F);
  body[36] = 0x34;
  body[37] = 0x12;
  body[44] = 1;
  putF32(68, 2400.6F);
  const OwnControls controls = ReadDataSet3(body);
  EXPECT_EQ(controls.values[0], -12);
  EXPECT_EQ(controls.values[1], 3);
  EXPECT_EQ(controls.values[3], 99);
  EXPECT_EQ(controls.value4Scaled, 39);
  EXPECT_EQ(controls.values[7], 7);
  EXPECT_EQ(controls.controlWord, 0x1234);
  EXPECT_EQ(controls.switches[1], 1u);
  EXPECT_EQ(controls.engines[3], 2400);

  plugin_link::FlightSample flying;
  const OwnShortState moving = ReadDataSet4(Fixed<kDataSet4Size>(plugin_link::WriteDataSet4(flying)));
  EXPECT_EQ(moving.moving, 1);
  EXPECT_EQ(moving.shortValue, 1);
  flying.onGround = 1;
  EXPECT_EQ(ReadDataSet4(Fixed<kDataSet4Size>(plugin_link::WriteDataSet4(flying))).moving, 0);
}

TEST(PluginLinkRecords, AcfTableCountIsHeldToItsSlotsAndTitlesToTheirField) {
  std::vector<std::string> titles(25, "");
  titles[1] = "Aircraft/Heavy/B738.acf";
  titles[18] = std::string(112, 'T');  // no terminator inside its field
  const AcfTableRecord table = ReadAcfTable(plugin_link::WriteAcfTable(7, 40, 1, titles));
  EXPECT_EQ(table.way, 7);
  EXPECT_EQ(table.announcedCount, 40);
  EXPECT_EQ(table.slotCount, kAcfSlotCount);
  EXPECT_EQ(table.mode, 1);
  EXPECT_EQ(table.titles[1], "Aircraft/Heavy/B738.acf");
  EXPECT_EQ(table.titles[18], std::string(112, 'T'));
  EXPECT_EQ(ReadAcfTable(plugin_link::WriteAcfTable(7, 3, 0, titles)).slotCount, 3);
}

TEST(PluginLinkRecords, LoadedTitleIsReadWithinTheBodyAndCut) {
  EXPECT_EQ(ReadLoadedTitle(plugin_link::WriteUserAircraftLoaded("Cessna 172: Skyhawk")), "Cessna 172: Skyhawk");
  const std::string longTitle(300, 'L');
  EXPECT_EQ(ReadLoadedTitle(plugin_link::WriteUserAircraftLoaded(longTitle)), std::string(111, 'L'));
  // A body that ends inside the title: the title stops at the body's end.
  EXPECT_EQ(ReadLoadedTitle(plugin_link::WriteUserAircraftLoaded("Baron 58", 9)), "Baro");
  EXPECT_EQ(ReadLoadedTitle(plugin_link::WriteUserAircraftLoaded("", 3)), "");
}

TEST(PluginLinkRecords, IdentityRecordLayout) {
  OwnIdentityRecord record = BuildOwnIdentityRecord(std::string(200, 'Q'));
  SetIdentityRecordType(record, 0x01020304, "B738");
  EXPECT_EQ(record[0], 0x03);
  EXPECT_EQ(record[1], 0x10);
  EXPECT_EQ(record[4], 134);
  EXPECT_EQ(record[8], 0x04);
  EXPECT_EQ(record[11], 0x01);
  EXPECT_EQ(IdentityRecordTitle(record), std::string(111, 'Q'));
  EXPECT_EQ(record[12 + 111], 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data() + 132)), "B738");
}

TEST(PluginLinkRecords, HeadingListIsReadEntryByEntry) {
  const std::vector<std::pair<std::uint16_t, float>> entries = {{3, 90.5F}, {60, 10.0F}, {49, 359.0F}};
  std::vector<std::uint8_t> body = plugin_link::WriteHeadingList(entries);
  body.resize(body.size() + 5, 0xEE);  // a partial entry at the end
  const std::vector<HeadingEntry> read = ReadHeadingEntries(body);
  ASSERT_EQ(read.size(), 3u);
  EXPECT_EQ(read[1].way, 60);
  EXPECT_FLOAT_EQ(read[2].heading, 359.0F);
  EXPECT_TRUE(ReadHeadingEntries({}).empty());
}

TEST(PluginLinkRecords, CommandBodies) {
  EXPECT_EQ(HelloBody(0x0B000401), (std::array<std::uint8_t, 4>{0x01, 0x04, 0x00, 0x0B}));
  EXPECT_EQ(TickBody(), (std::array<std::uint8_t, 2>{1, 0}));
  EXPECT_EQ(SquawkBody(4721), (std::array<std::uint8_t, 2>{0x71, 0x12}));
  EXPECT_EQ(StepBody(-50), (std::array<std::uint8_t, 4>{0xCE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(GetAcfTableBody(1, 12), (std::array<std::uint8_t, 4>{1, 0, 12, 0}));
  EXPECT_EQ(ChangeAiModelBody(12, 3), (std::array<std::uint8_t, 4>{12, 0, 3, 0}));
  const auto slot = SetAcfSlotBody(2, std::string(150, 'M'));
  EXPECT_EQ(slot[0], 2);
  EXPECT_EQ(slot[2], 'M');
  EXPECT_EQ(slot[2 + 110], 'M');
  EXPECT_EQ(slot[2 + 111], 0) << "the title stays terminated inside its 112 bytes";
}

}  // namespace

// A frame a fuzzer found: the first control value is -3e9, whose truncation
// saturates at -2^31 and whose negation then had no 32-bit value.
TEST(PluginLinkRecords, AControlValueAtTheLowLimitIsNegatedWithoutOverflow) {
  std::ifstream file(std::string(TK_SOURCE_DIR) + "/tests/sim/inputs/dataset3_negation_overflow.bin", std::ios::binary);
  const std::vector<char> frame((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_EQ(frame.size(), 12 + kDataSet3Size);
  RecordBytes<kDataSet3Size> body{};
  for (std::size_t i = 0; i < kDataSet3Size; ++i) body[i] = static_cast<std::uint8_t>(frame[12 + i]);
  const OwnControls controls = ReadDataSet3(body);
  EXPECT_EQ(controls.values[0], std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(controls.values[1], 0);

  const auto putF32 = [&](std::size_t at, float value) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) body[at + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  };
  putF32(4, 3e9F);
  putF32(8, std::numeric_limits<float>::quiet_NaN());
  const OwnControls high = ReadDataSet3(body);
  EXPECT_EQ(high.values[0], std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(high.values[1], 0);
}
