#include "net/frame_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "net/frame_codes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(FrameHeader, WritesFieldsInOrderWithLittleEndianLength) {
  const FrameHeader header{NCSMSG_PILOT, NCSUB_HEARTBEAT, 0, kFrameFlagCompressed, 0x12345678};
  const FrameHeaderBytes bytes = WriteFrameHeader(header);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), (Bytes{105, 52, 0, 1, 0x78, 0x56, 0x34, 0x12}));
  EXPECT_TRUE(header.Compressed());
}

TEST(FrameHeader, ReadsBackWhatWasWritten) {
  const FrameHeader cases[] = {
      {0, 0, 0, 0, 0},
      {NCSMSG_TEXT_ON_AIR, 0, 0, kFrameFlagCompressed, 552},
      {0xFF, 0xFE, 0xFD, 0xFC, 0xFFFFFFFF},
      {NCSMSG_ANY_PEER, NCSUB_START_TUNNEL, 0, 0, 0x01000000},
  };
  for (const FrameHeader& header : cases) {
    const FrameHeaderBytes bytes = WriteFrameHeader(header);
    EXPECT_EQ(ReadFrameHeader(bytes), header) << int(header.type);
  }
  EXPECT_FALSE((FrameHeader{0, 0, 0, 0xFE, 0}).Compressed());
}

TEST(FrameSync, MostSignificantByteGoesFirst) {
  const FrameSyncBytes network = WriteFrameSync(FRAME_SYNC_NETWORK);
  const FrameSyncBytes addon = WriteFrameSync(AddonFrameMagic);
  EXPECT_EQ(Bytes(network.begin(), network.end()), (Bytes{0xA1, 0xB2, 0xC3, 0x17}));
  EXPECT_EQ(Bytes(addon.begin(), addon.end()), (Bytes{0x30, 0xB4, 0x7C, 0x22}));
  EXPECT_TRUE(IsFrameSync(0xA1B2C317));
  EXPECT_TRUE(IsFrameSync(0x30B47C22));
  EXPECT_FALSE(IsFrameSync(0x17C3B2A1));
  EXPECT_FALSE(IsFrameSync(0));
}

TEST(FrameBuild, SetsTheLengthFromTheBody) {
  const Bytes body{'a', 'b', 'c'};
  const Bytes frame =
      BuildFrame(FRAME_SYNC_NETWORK, {NCSMSG_STANDARD, NCSUB_LOGOUT, 0, 0, 999}, body);
  EXPECT_EQ(frame, (Bytes{0xA1, 0xB2, 0xC3, 0x17, 53, 51, 0, 0, 3, 0, 0, 0, 'a', 'b', 'c'}));

  Bytes appended{0xEE};
  ASSERT_TRUE(AppendFrame(AddonFrameMagic, {DS_CMD_LOGIN_ACK, 0, 0, 0, 0}, {}, appended));
  EXPECT_EQ(appended, (Bytes{0xEE, 0x30, 0xB4, 0x7C, 0x22, 2, 0, 0, 0, 0, 0, 0, 0}));
}

struct CodeCase {
  std::uint8_t value;
  const char* name;
};

TEST(FrameCodes, MessageTypesHaveTheirWireValuesAndNames) {
  const CodeCase cases[] = {
      {NCSMSG_TEST, "NCSMSG_TEST"},
      {NCSMSG_LOGOUT, "NCSMSG_LOGOUT"},
      {NCSMSG_REQ_TUNNCONNECT, "NCSMSG_REQ_TUNNCONNECT"},
      {NCSMSG_KICKOUT, "NCSMSG_KICKOUT"},
      {NCSMSG_BLOCK, "NCSMSG_BLOCK"},
  };
  const std::uint8_t values[] = {0, 51, 56, 71, 109};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cases[i].value, values[i]) << cases[i].name;
    ASSERT_NE(NcsMsgName(cases[i].value), nullptr);
    EXPECT_STREQ(NcsMsgName(cases[i].value), cases[i].name);
  }
  // The text and peer types are known by their letters in traces of peers.
  EXPECT_EQ(NCSMSG_TEXT_ON_AIR, 'J');
  EXPECT_EQ(NCSMSG_TEXT_PRIVATE, 'K');
  EXPECT_EQ(NCSMSG_ATC, 'h');
  EXPECT_EQ(NCSMSG_PILOT, 'i');
  EXPECT_EQ(NCSMSG_ANY_PEER, 'j');
  for (std::uint8_t unnamed : {kNcsMsgTextAttributes, kNcsMsgHeaderOnly, kNcsMsgConnectNeighbour,
                               kNcsMsgVoiceBlock, std::uint8_t{3}, std::uint8_t{255}})
    EXPECT_EQ(NcsMsgName(unnamed), nullptr) << int(unnamed);
}

TEST(FrameCodes, SubCodesHaveTheirWireValuesAndNames) {
  const CodeCase cases[] = {
      {NCSUB_LOGIN, "NCSUB_LOGIN"},
      {NCSUB_LOGIN_ACK, "NCSUB_LOGIN_ACK"},
      {NCSUB_START_TUNNEL, "NCSUB_START_TUNNEL"},
      {NCSUB_SHORTINFOS, "NCSUB_SHORTINFOS"},
      {NCSUB_PILOT_CHANGES_COMM, "NCSUB_PILOT_CHANGES_COMM"},
      {NCSUB_LATENCY_ECHO, "NCSUB_LATENCY_ECHO"},
      {NCSUB_TEST, "NCSUB_TEST"},
  };
  const std::uint8_t values[] = {0, 1, 53, 82, 89, 95, 126};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cases[i].value, values[i]) << cases[i].name;
    ASSERT_NE(NcsSubName(NCSMSG_PILOT, cases[i].value), nullptr);
    EXPECT_STREQ(NcsSubName(NCSMSG_PILOT, cases[i].value), cases[i].name);
  }
  EXPECT_STREQ(NcsSubName(kNcsMsgTextAttributes, NCSUB_SETATTRIB), "NCSUB_SETATTRIB");
  EXPECT_EQ(NcsSubName(NCSMSG_ATC, kNcsSubControllerToPilot), nullptr);
  EXPECT_EQ(NcsSubName(NCSMSG_ATC, 127), nullptr);
}

TEST(FrameCodes, AddOnCommandsHaveTheirWireValuesAndNames) {
  const CodeCase cases[] = {
      {DS_CMD_LOGIN, "DS_CMD_LOGIN"},
      {DS_CMD_LOGOUT, "DS_CMD_LOGOUT"},
      {DS_CMD_FLIGHT_DYNAMICS, "DS_CMD_FLIGHT_DYNAMICS"},
      {DS_CMD_AI, "DS_CMD_AI"},
  };
  const std::uint8_t values[] = {1, 21, 32, 56};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cases[i].value, values[i]) << cases[i].name;
    ASSERT_NE(DsCmdName(cases[i].value), nullptr);
    EXPECT_STREQ(DsCmdName(cases[i].value), cases[i].name);
  }
  EXPECT_EQ(DsCmdName(4), nullptr);
}

}  // namespace
