// Two scripted pilot peers against each other: the login exchange either way
// round, the scripted circuit in both layouts, and texts.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <thread>

#include "net/compressed_record.h"
#include "net/frame_codes.h"
#include "net/position_records.h"
#include "net/text_records.h"
#include "testbed/pilot_peer.h"

namespace {

constexpr int kWaitMs = 5'000;

bool WaitUntil(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::int32_t I32At(const std::vector<std::uint8_t>& body, std::size_t at) {
  return static_cast<std::int32_t>(body[at] | body[at + 1] << 8 | body[at + 2] << 16 |
                                   static_cast<std::uint32_t>(body[at + 3]) << 24);
}

TEST(PilotPeer, LogsInAndIsAnsweredWithTheAcknowledgementAndTheAdmission) {
  PilotPeerScript answering;
  answering.callsign = "DEMO03";
  PilotPeer called(answering);
  const std::uint16_t port = called.Listen();
  ASSERT_NE(port, 0);
  PilotPeerScript calling;
  calling.callsign = "DEMO02";
  PilotPeer caller(calling);
  ASSERT_TRUE(caller.Connect(port));
  ASSERT_TRUE(called.WaitForCall(kWaitMs));
  ASSERT_TRUE(caller.SendLogin());
  ASSERT_TRUE(caller.WaitForCountOf(NCSUB_PEER_ADDED, 1, kWaitMs));
  EXPECT_EQ(caller.CountOf(NCSUB_LOGIN_ACK), 1u);
  ASSERT_TRUE(called.WaitForCountOf(NCSUB_PEER_ADDED, 1, kWaitMs)) << "the caller answers the acknowledgement";
  const auto login = called.LastLoginReceived();
  ASSERT_TRUE(login.has_value());
  PilotLoginRecord record;
  ASSERT_EQ(ReadPilotLoginRecord(*login, record), kNodeRecordOk);
  EXPECT_EQ(record.login.identity.callsign, "DEMO02");
  EXPECT_EQ(record.login.identity.passwordOrServer, "NODE-1");
}

TEST(PilotPeer, FliesItsCircuitInEitherLayout) {
  for (const bool newer : {true, false}) {
    SCOPED_TRACE(newer);
    PilotPeer receiver;
    const std::uint16_t port = receiver.Listen();
    PilotPeerScript script;
    script.newerLayout = newer;
    script.centreLatitude = -0.5;
    script.radiusDegrees = 0.01;
    PilotPeer flyer(script);
    ASSERT_TRUE(flyer.Connect(port));
    ASSERT_TRUE(receiver.WaitForCall(kWaitMs));
    ASSERT_TRUE(flyer.SendPositionAt(0.0, 1));
    const std::uint8_t sub = newer ? NCSUB_FSX_PACKET : NCSUB_FS_PACKET;
    ASSERT_TRUE(receiver.WaitForCountOf(sub, 1, kWaitMs));
    const Frame frame = receiver.Frames().back();
    const ScriptedFix fix = flyer.FixAt(0.0);
    if (newer) {
      ASSERT_EQ(frame.body.size(), kPositionRecordSize);
      double latitude = 0.0;
      std::memcpy(&latitude, frame.body.data() + 32, sizeof latitude);
      EXPECT_DOUBLE_EQ(latitude, fix.latitude);
    } else {
      ASSERT_EQ(frame.body.size(), kOlderPositionRecordSize);
      const auto fraction = static_cast<std::int16_t>(frame.body[52] | frame.body[53] << 8);
      const double latitude = (I32At(frame.body, 40) + fraction / 65536.0) / kOlderLatitudeUnitsPerDegree;
      EXPECT_NEAR(latitude, fix.latitude, 1e-6);
      EXPECT_LT(latitude, 0.0);
    }
  }
}

}  // namespace

namespace {

TEST(PilotPeer, SaysTextsOnAirAndInPrivateAsPackedRecords) {
  PilotPeer receiver;
  const std::uint16_t port = receiver.Listen();
  ASSERT_NE(port, 0);
  PilotPeerScript script;
  script.callsign = "DEMO02";
  PilotPeer talker(script);
  ASSERT_TRUE(talker.Connect(port));
  ASSERT_TRUE(receiver.WaitForCall(kWaitMs));
  ASSERT_TRUE(talker.SendTextOnAir("on the field", 122.8));
  ASSERT_TRUE(talker.SendPrivateText("TEST01", "psst", 1));
  ASSERT_TRUE(WaitUntil([&] { return receiver.Frames().size() >= 2; }));
  const std::vector<Frame> frames = receiver.Frames();
  ASSERT_EQ(frames[0].header.type, NCSMSG_TEXT_ON_AIR);
  ASSERT_TRUE(frames[0].header.Compressed());
  TextOnAirRecordBytes onAir{};
  ASSERT_EQ(UnpackCompressedRecord(frames[0].body, onAir), kRecordOk);
  const TextOnAirRecord said = ReadTextOnAirRecord(onAir);
  EXPECT_EQ(said.sender, "DEMO02");
  EXPECT_EQ(said.text, "on the field");
  EXPECT_DOUBLE_EQ(said.frequencyMhz, 122.8);
  EXPECT_NE(DescribePilotFrame(frames[0]).find(" on 122.800 from DEMO02: on the field"), std::string::npos)
      << DescribePilotFrame(frames[0]);

  ASSERT_EQ(frames[1].header.type, NCSMSG_TEXT_PRIVATE);
  PrivateTextRecordBytes privately{};
  ASSERT_EQ(UnpackCompressedRecord(frames[1].body, privately), kRecordOk);
  const PrivateTextRecord told = ReadPrivateTextRecord(privately);
  EXPECT_EQ(told.sender, "DEMO02");
  EXPECT_EQ(told.recipient, "TEST01");
  EXPECT_EQ(told.text, "psst");
  EXPECT_EQ(told.marker, 1);
  EXPECT_NE(DescribePilotFrame(frames[1]).find(" private from DEMO02 to TEST01: psst"), std::string::npos);
}

}  // namespace
