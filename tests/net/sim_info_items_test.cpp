// The pilot-changes items, byte for byte: one whole frame per set bit.
#include "net/sim_info_items.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "base/klib_settings.h"
#include "net/frame_codes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Frame(std::uint8_t length, std::initializer_list<std::uint8_t> body) {
  const Bytes header = {0xA1, 0xB2, 0xC3, 0x17, NCSMSG_PILOT, NCSUB_PILOT_CHANGES, 0, 0, length, 0, 0, 0};
  Bytes frame(header.size() + body.size());
  std::copy(body.begin(), body.end(), std::copy(header.begin(), header.end(), frame.begin()));
  return frame;
}

Bytes Text(const std::string& text, std::size_t field) {
  Bytes bytes(field, 0);
  std::copy(text.begin(), text.end(), bytes.begin());
  return bytes;
}

OwnAircraftReport Sample() {
  OwnAircraftReport own;
  own.onGround = true;
  own.radioSelection = kRadioCom1 | kRadioBoth;
  own.com1 = "118.750";
  own.com2 = "121.500";
  own.transponderCode = 0x1E14;
  own.transponderMode = 'N';
  own.nearestAirport = "LFPG";
  own.airportDistanceNm = 0x0102;
  own.icaoType = "A320";
  own.title = "Airbus A320 Toliss";
  return own;
}

FrameHeader PilotChanges() {
  FrameHeader header;
  header.type = NCSMSG_PILOT;
  header.subCode = NCSUB_PILOT_CHANGES;
  header.flags = kFrameFlagCompressed;  // never carried over to an item
  header.length = 999;
  return header;
}

TEST(SimInfoItems, EachItemIsOneFrameOfItsOwnLength) {
  const OwnAircraftReport own = Sample();
  struct Case {
    std::uint32_t bit;
    Bytes frame;
  };
  Bytes radios = {2, kRadioCom1 | kRadioBoth};
  for (const auto& text : {own.com1, own.com2}) {
    const Bytes field = Text(text, 8);
    radios.insert(radios.end(), field.begin(), field.end());
  }
  Bytes radiosFrame = Frame(18, {});
  radiosFrame.insert(radiosFrame.end(), radios.begin(), radios.end());
  Bytes titleFrame = Frame(113, {7});
  const Bytes title = Text(own.title, 112);
  titleFrame.insert(titleFrame.end(), title.begin(), title.end());
  Bytes typeFrame = Frame(9, {8});
  const Bytes type = Text(own.icaoType, 8);
  typeFrame.insert(typeFrame.end(), type.begin(), type.end());
  const Case cases[] = {
      {kSimInfoOnGround, Frame(2, {1, 1})},
      {kSimInfoRadios, radiosFrame},
      {kSimInfoTransponder, Frame(3, {3, 0x14, 0x1E})},
      {kSimInfoMarker, Frame(1, {4})},
      {kSimInfoTransponderMode, Frame(2, {5, 'N'})},
      {kSimInfoNearestAirport, Frame(8, {6, 0x02, 0x01, 'L', 'F', 'P', 'G', 0})},
      {kSimInfoTitle, titleFrame},
      {kSimInfoIcaoType, typeFrame},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bit);
    EXPECT_EQ(WriteSimInfoItems(FRAME_SYNC_NETWORK, PilotChanges(), c.bit, own), c.frame);
  }
}

TEST(SimInfoItems, SetBitsFollowInBitOrderAndOthersAreIgnored) {
  const OwnAircraftReport own = Sample();
  const Bytes all = WriteSimInfoItems(FRAME_SYNC_NETWORK, PilotChanges(), 0xFFFFFFFFu, own);
  EXPECT_EQ(all.size(), 8 * 12 + 2 + 18 + 3 + 1 + 2 + 8 + 113 + 9u);
  Bytes expected = Frame(2, {1, 1});
  const Bytes mode = Frame(2, {5, 'N'});
  expected.insert(expected.end(), mode.begin(), mode.end());
  EXPECT_EQ(WriteSimInfoItems(FRAME_SYNC_NETWORK, PilotChanges(), kSimInfoTransponderMode | kSimInfoOnGround | 0x100,
                              own),
            expected);
  EXPECT_TRUE(WriteSimInfoItems(FRAME_SYNC_NETWORK, PilotChanges(), 0xFFFFFF00u, own).empty());
}

TEST(SimInfoItems, TextsAreCutToTheirFields) {
  OwnAircraftReport own = Sample();
  own.nearestAirport = "LFPGXYZ";
  own.com1 = "118.7500000";
  const Bytes airport = WriteSimInfoItems(FRAME_SYNC_NETWORK, PilotChanges(), kSimInfoNearestAirport, own);
  EXPECT_EQ(Bytes(airport.begin() + 15, airport.end()), (Bytes{'L', 'F', 'P', 'G', 0}));
  const Bytes radios = WriteSimInfoItems(FRAME_SYNC_NETWORK, PilotChanges(), kSimInfoRadios, own);
  EXPECT_EQ(Bytes(radios.begin() + 14, radios.begin() + 22), Text("118.750", 8)) << "7 characters and a terminator";
}

TEST(OwnAircraftReport, RoundingStaysInsideTheFields) {
  EXPECT_EQ(RoundedI32(35000.5), 35001);
  EXPECT_EQ(RoundedI32(-12.4), -12);
  EXPECT_EQ(RoundedI32(1e12), 2147483647);
  EXPECT_EQ(RoundedI32(std::nan("")), 0);
  EXPECT_EQ(RoundedU16(359.5), 360);
  EXPECT_EQ(RoundedU16(-3.0), 0);
  EXPECT_EQ(RoundedU16(70000.0), 65535);
  EXPECT_EQ(MachWord(0.7846), 785);
  EXPECT_EQ(MachWord(70.0), 70000 & 0xFFFF) << "truncated to 16 bits";
  EXPECT_EQ(MachWord(std::nan("")), 0);
}

}  // namespace
