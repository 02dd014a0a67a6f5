// The requests other threads post to a pilot way (THRDMSG_SIMPILOT, 81 to
// 126), over a real loopback link: what each sends the peer or changes, which
// wait for the peer to have added us, the packet size limit, and the codes
// the way does not know.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/klib_settings.h"
#include "base/print_dlg.h"
#include "net/compressed_record.h"
#include "net/frame_codes.h"
#include "net/multiplayer_session.h"
#include "net/pilot_link.h"
#include "net/pilot_records.h"
#include "pilot_way_fixture.h"
#include "win/richedit.h"

namespace {

constexpr int kWaitMs = 5'000;

class PilotWaySimPilotTest : public PilotWayTest {
 protected:
  void SetUp() override {
    PilotWayTest::SetUp();
    edit_.Create(0, nullptr, 1);
    print_.AttachRichEdit(&edit_, nullptr);
    Klib().traceOutput = &print_;
    // The model choice as well, noted as the other hooks are.
    PeerTrafficHooks hooks = *CurrentPeerTrafficHooks();
    std::weak_ptr<HookRecord> weak = hooks_;
    hooks.matchPeerModel = [weak](COrvSok& way, const char* tag) {
      if (auto record = weak.lock()) record->Note("model " + std::to_string(way.WayId()) + " " + tag);
    };
    SetPeerTrafficHooks(std::move(hooks));
  }
  void TearDown() override {
    Klib().traceOutput = nullptr;
    PilotWayTest::TearDown();
  }

  void Post(int way, std::uint32_t code, std::uint32_t word3 = 0) {
    CBaseThread::Post(nullptr, &Way(way), THRDMSG_SIMPILOT, code, word3, "TEST");
  }
  void PostPacket(int way, std::uint32_t code, const std::vector<std::uint8_t>& data) {
    ASSERT_NE(CBaseThread::PostData(nullptr, &Way(way), THRDMSG_SIMPILOT, code,
                                    static_cast<std::uint32_t>(data.size()), data.data(), "TEST"),
              0);
  }
  // Everything posted before has been served, and whatever it sent the
  // peer has reached him: the last request makes the way send a test frame.
  void Settle(int way, const PilotPeer& peer) {
    const std::size_t tests = peer.CountOf(NCSUB_TEST);
    Post(way, kSimPilotTest);
    ASSERT_TRUE(peer.WaitForCountOf(NCSUB_TEST, tests + 1, kWaitMs));
  }
  // The frames of a sub-code the peer received, in order.
  static std::vector<Frame> FramesOf(const PilotPeer& peer, std::uint8_t subCode) {
    std::vector<Frame> out;
    for (const Frame& frame : peer.Frames()) {
      if (frame.header.type == NCSMSG_PILOT && frame.header.subCode == subCode) out.push_back(frame);
    }
    return out;
  }
  std::string Traced() const { return edit_.Text(); }

  CRichEditCtrl edit_;
  CPrintDlg print_;
};

std::vector<std::uint8_t> Packet(std::size_t size, std::uint8_t fill) {
  std::vector<std::uint8_t> bytes(size, fill);
  bytes[0] = 0x00;  // a position record's type, whatever the size
  bytes[1] = 0x20;
  return bytes;
}

TEST_F(PilotWaySimPilotTest, BeforeThePeerAddedUsOnlyTheRequestsThatNeedNoAdmissionGoOut) {
  StartWays(1);
  auto peer = CallAndLogIn(PeerNamed("DEMO02"), 0);
  ASSERT_FALSE(Way(0).RunOnThread([&] { return Way(0).PilotLink().peerAdded; }));
  Post(0, kSimPilotChanges, 0x20000);
  PostPacket(0, kSimPilotSendFsPacket, Packet(60, 0x11));
  PostPacket(0, kSimPilotSendFsxPacket, Packet(48, 0x22));
  Post(0, kSimPilotRadios);
  Post(0, kSimPilotRequest81);
  Post(0, kSimPilotVisible);
  Post(0, kSimPilotInvisible);
  Settle(0, *peer);
  for (const std::uint8_t subCode : {NCSUB_PILOT_CHANGES2, NCSUB_FS_PACKET, NCSUB_FSX_PACKET, NCSUB_PILOT_CHANGES_COMM}) {
    EXPECT_EQ(peer->CountOf(subCode), 0u) << static_cast<int>(subCode);
  }
  EXPECT_EQ(peer->CountOf(NCSUB_IAM_VISIBLE), 1u);
  EXPECT_EQ(peer->CountOf(NCSUB_IAM_INVISIBLE), 1u);
  EXPECT_NE(RecordOf(0).stateFlags & kWayRequest81, 0u) << "81 needs the link only";
}

TEST_F(PilotWaySimPilotTest, EachRequestOfAnAdmittedPeerDoesWhatItsCodeSays) {
  StartWays(1);
  auto peer = Admitted(PeerNamed("DEMO02"), 0);
  EXPECT_EQ(RecordOf(0).stateFlags & kWayRequest81, 0u);
  ASSERT_FALSE(Way(0).RunOnThread([&] { return Way(0).PairOffsetsDue(); }));
  const std::vector<std::uint8_t> older = Packet(60, 0x33);
  const std::vector<std::uint8_t> newer = Packet(48, 0x44);

  // What goes to the peer: one frame each.
  struct Case {
    std::uint32_t code;
    std::uint8_t subCode;
  };
  const Case frames[] = {
      {kSimPilotChanges, NCSUB_PILOT_CHANGES2}, {kSimPilotSendFsPacket, NCSUB_FS_PACKET},
      {kSimPilotSendFsxPacket, NCSUB_FSX_PACKET}, {kSimPilotRadios, NCSUB_PILOT_CHANGES_COMM},
      {kSimPilotVisible, NCSUB_IAM_VISIBLE},      {kSimPilotInvisible, NCSUB_IAM_INVISIBLE},
  };
  for (const Case& c : frames) {
    SCOPED_TRACE(c.code);
    const std::size_t before = peer->CountOf(c.subCode);
    if (c.code == kSimPilotSendFsPacket) {
      PostPacket(0, c.code, older);
    } else if (c.code == kSimPilotSendFsxPacket) {
      PostPacket(0, c.code, newer);
    } else {
      Post(0, c.code, 0x20000);
    }
    Settle(0, *peer);
    EXPECT_EQ(peer->CountOf(c.subCode), before + 1);
  }
  // The packets as posted, and the poster's value in the changes record.
  EXPECT_EQ(FramesOf(*peer, NCSUB_FS_PACKET).back().body, older);
  EXPECT_EQ(FramesOf(*peer, NCSUB_FSX_PACKET).back().body, newer);
  PilotChanges2Bytes changes{};
  ASSERT_EQ(UnpackCompressedRecord(FramesOf(*peer, NCSUB_PILOT_CHANGES2).back().body, changes), kRecordOk);
  EXPECT_EQ(ReadPilotChanges2(changes).posted, 0x20000u);

  // What changes on our side.
  Post(0, kSimPilotRequest81);
  Post(0, kSimPilotOffsets);
  Post(0, kSimPilotMatchModel);
  Post(0, kSimPilotSendIdentity);
  Settle(0, *peer);
  EXPECT_NE(RecordOf(0).stateFlags & kWayRequest81, 0u);
  EXPECT_TRUE(Way(0).RunOnThread([&] { return Way(0).PairOffsetsDue(); })) << "85 asks for the offsets again";
  EXPECT_EQ(hooks_->Count("model 0 PODOK1"), 1);
  EXPECT_EQ(hooks_->Count("remove 0 PODOK3"), 1) << "an X-Plane client shows the new model";
  EXPECT_EQ(hooks_->Count("identity 0 SSMPD"), 1);

  // 31 and 127 do nothing; any other code is traced.
  const std::size_t framesBefore = peer->Frames().size();
  Post(0, kSimPilotNothing31);
  Post(0, kSimPilotNothing127);
  Post(0, 100);
  Post(0, 87);
  Settle(0, *peer);
  EXPECT_EQ(peer->Frames().size(), framesBefore + 1) << "only the settling test frame";
  const std::string traced = Traced();
  EXPECT_NE(traced.find("THRDMSG_SIMPILOT_XXX = 100 / 0"), std::string::npos) << traced;
  EXPECT_NE(traced.find("THRDMSG_SIMPILOT_XXX = 87 / 0"), std::string::npos) << traced;
  EXPECT_EQ(traced.find("THRDMSG_SIMPILOT_XXX = 31 "), std::string::npos) << traced;
  EXPECT_EQ(traced.find("THRDMSG_SIMPILOT_XXX = 127 "), std::string::npos) << traced;
  EXPECT_TRUE(peer->Linked());
}

TEST_F(PilotWaySimPilotTest, APacketOf1024BytesGoesOutAndOneOf1025IsTracedAndDropped) {
  StartWays(1);
  auto peer = Admitted(PeerNamed("DEMO02"), 0);
  for (const std::uint32_t code : {kSimPilotSendFsPacket, kSimPilotSendFsxPacket}) {
    SCOPED_TRACE(code);
    const std::uint8_t subCode = code == kSimPilotSendFsPacket ? NCSUB_FS_PACKET : NCSUB_FSX_PACKET;
    const std::size_t before = peer->CountOf(subCode);
    const std::vector<std::uint8_t> limit = Packet(kPilotPacketLimit, 0x5A);
    PostPacket(0, code, limit);
    PostPacket(0, code, Packet(kPilotPacketLimit + 1, 0x5B));
    // The way goes on: the next packet goes out after the dropped one.
    const std::vector<std::uint8_t> after = Packet(48, 0x5C);
    PostPacket(0, code, after);
    Settle(0, *peer);
    const std::vector<Frame> sent = FramesOf(*peer, subCode);
    ASSERT_EQ(sent.size(), before + 2);
    EXPECT_EQ(sent[before].body, limit);
    EXPECT_EQ(sent[before + 1].body, after);
  }
  const std::string traced = Traced();
  const std::string exceed = "SIMPP_SEND_PACKET EXCEED = 1025 / 1024";
  const std::size_t first = traced.find(exceed);
  ASSERT_NE(first, std::string::npos) << traced;
  EXPECT_NE(traced.find(exceed, first + 1), std::string::npos) << "once per code: " << traced;
  EXPECT_EQ(traced.find("EXCEED = 1024 "), std::string::npos) << traced;
  EXPECT_TRUE(peer->Linked());
}

TEST_F(PilotWaySimPilotTest, ANewModelChoiceRemovesTheAircraftToBeAddedAgain) {
  StartWays(1);
  auto peer = Admitted(PeerNamed("DEMO02"), 0);
  ASSERT_EQ(RecordOf(0).stateFlags & kWayRecreateAi, 0u);
  Post(0, kSimPilotMatchModel);
  Settle(0, *peer);
  ASSERT_EQ(hooks_->Count("remove 0 PODOK3"), 1);
  // The plug-in's answer then adds it again, and the record stays the pilot's.
  EXPECT_NE(RecordOf(0).stateFlags & kWayRecreateAi, 0u);

  // A removal already asked for (the pilot leaving) is not turned into a new add.
  {
    WayTableGuard guard;
    WayTable()[0].stateFlags = (WayTable()[0].stateFlags & ~kWayRecreateAi) | kWayAiRemovalRequested;
  }
  Post(0, kSimPilotMatchModel);
  Settle(0, *peer);
  EXPECT_EQ(RecordOf(0).stateFlags & kWayRecreateAi, 0u);
}

TEST_F(PilotWaySimPilotTest, AWayThatIsNoPilotsTracesTheRequest) {
  StartWays(1);
  ASSERT_NE(Way(0).PeerKind(), 'P');
  PostPacket(0, kSimPilotSendFsxPacket, Packet(48, 0x66));
  Post(0, kSimPilotTest);
  Way(0).Drain();
  const std::string traced = Traced();
  EXPECT_NE(traced.find("THRDMSG_SIMPILOT_YYY = 84 / 0"), std::string::npos) << traced;
  EXPECT_NE(traced.find("THRDMSG_SIMPILOT_YYY = 126 / 0"), std::string::npos) << traced;
}

}  // namespace
