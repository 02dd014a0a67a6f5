// The real program linked to a plug-in stand-in that reports X-Plane 10: the
// network hears this edition's code (9000) in the login and in the identity
// towards a pilot, while what is local follows X-Plane 10: a remote jet with
// no model and no rule gets X-Plane 10's default model, and a pair picked in
// the offsets window and stepped there moves the pilot of the other
// simulator where the plug-in shows him.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "e2e_client_fixture.h"
#include "base/byte_order.h"
#include "net/frame_codes.h"
#include "net/node_records.h"
#include "testbed/pilot_peer.h"
#include "testbed/plugin_records.h"

namespace {

constexpr char kJetDefaultOfXPlane10[] = "Heavy Metal\\B747-400 United\\747-400 United.acf";

class SimFamilyEndToEnd : public ClientEndToEnd {
 protected:
  // The plug-in names X-Plane 10; the client is logged in and streamed to.
  void StartWithXPlane10() {
    plugin_link::DllInfos infos;
    infos.simulatorCode = 10000;
    plugin_.SetGreetingInfos(infos);
    ASSERT_NO_FATAL_FAILURE(StartInSession());
    PressConnect();
    ASSERT_TRUE(node_.WaitForFrames(1, kWaitMs)) << client_->Stderr();
    ASSERT_TRUE(Shows("image 7096")) << client_->Stderr();
    ASSERT_TRUE(plugin_.WaitForSamples(2, kWaitMs));
  }

  // A pilot near the scripted flight who logs in and is shown by the plug-in.
  std::unique_ptr<PilotPeer> AdmittedPilot(PilotPeerScript script) {
    script.centreLatitude = 49.02;
    script.centreLongitude = 2.6;
    script.answerLogin = false;
    auto peer = std::make_unique<PilotPeer>(script);
    EXPECT_TRUE(peer->Connect(listeningPort_));
    EXPECT_TRUE(peer->SendLogin());
    EXPECT_TRUE(peer->WaitForCountOf(NCSUB_PEER_ADDED, 1, kWaitMs)) << client_->Stderr();
    EXPECT_TRUE(WaitUntil(kWaitMs, [&] { return plugin_.Ai().ByCallsign(script.callsign).has_value(); }))
        << client_->Stderr();
    return peer;
  }

  std::string TextOf(const std::string& control) {
    const std::vector<std::string> answer = Ask("text " + control);
    return answer.size() == 2 ? answer.front() : std::string();
  }
};

TEST_F(SimFamilyEndToEnd, TheWireSays9000AndARemoteJetGetsXPlane10sDefault) {
  ASSERT_NO_FATAL_FAILURE(StartWithXPlane10());
  const Frame frame = node_.Frames().front();
  ASSERT_EQ(frame.header.type, NCSMSG_LOGIN);
  LoginRecord login;
  ASSERT_EQ(ReadLoginRecord(frame.body, login), kNodeRecordOk);
  EXPECT_EQ(login.simulatorCode, 9000u);

  // A jet whose model is not installed here and for which no rule exists.
  PilotPeerScript jet;
  jet.callsign = "JET01";
  jet.title = "Boeing 747-400 Lufthansa";
  jet.icaoType = "B744";
  jet.classCode = "L4J";
  const auto peer = AdmittedPilot(jet);
  ASSERT_NE(peer, nullptr);
  const auto aircraft = plugin_.Ai().ByCallsign("JET01");
  ASSERT_TRUE(aircraft.has_value());
  EXPECT_EQ(aircraft->model, kJetDefaultOfXPlane10);

  // The identity he was answered with carries the edition's code.
  const auto ack = peer->LastLoginReceived();
  ASSERT_TRUE(ack.has_value());
  EXPECT_EQ(GetU32(ack->data() + kIdentityBlockSize + 12), 9000u);
  Quit();
}

TEST_F(SimFamilyEndToEnd, APairPickedAndSteppedInTheOffsetsWindowMovesThePilotOfTheOtherSimulator) {
  ASSERT_NO_FATAL_FAILURE(StartWithXPlane10());
  PilotPeerScript older;
  older.callsign = "FS0401";
  older.simulatorCode = 2004;
  older.newerLayout = false;
  const auto peer = AdmittedPilot(older);
  ASSERT_NE(peer, nullptr);
  ASSERT_TRUE(peer->SendPositionAt(1.0, 1));
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return plugin_.Ai().ByCallsign("FS0401")->moves >= 1; })) << client_->Stderr();
  const double before = plugin_.Ai().ByCallsign("FS0401")->latitude;
  EXPECT_NEAR(before, peer->FixAt(1.0).latitude, 1e-6) << "no offsets yet";

  // The window's tabs are the families other than X-Plane 10; the pilot picks FS8/9.
  Ask("command 7055 32856");
  const std::string dump = DumpUntil("window 7052 visible=1");
  ASSERT_NE(dump.find("window 7052 visible=1"), std::string::npos) << dump;
  EXPECT_NE(dump.find("control 7052 7233 kind=tab visible=1 enabled=1 text=\nitem 0 FS8/9\nitem 1 FSX\n"
                      "item 2 P3D\nitem 3 XP9\n"),
            std::string::npos)
      << dump;
  Ask("select 7052 7233 0");
  EXPECT_EQ(TextOf("7052 7235"), "[3] 10000 <-> 2004");

  // A big step north (CTRL held): the FS2004 pilot is shown 0.00002 degrees further north.
  Ask("key CONTROL down");
  Ask("click 7052 7159");
  Ask("key CONTROL up");
  EXPECT_EQ(TextOf("7052 7185"), "-0.000020") << "the pair is stored with the other simulator first";
  bool moved = false;
  for (std::uint32_t sequence = 2; sequence < 100 && !moved; ++sequence) {
    ASSERT_TRUE(peer->SendPositionAt(1.0, sequence));
    ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return plugin_.Ai().ByCallsign("FS0401")->moves >= sequence; }))
        << client_->Stderr();
    moved = plugin_.Ai().ByCallsign("FS0401")->latitude > before + 1e-5;
  }
  ASSERT_TRUE(moved) << client_->Stderr();
  EXPECT_NEAR(plugin_.Ai().ByCallsign("FS0401")->latitude, before + 0.00002, 1e-6);
  EXPECT_NEAR(plugin_.Ai().ByCallsign("FS0401")->longitude, peer->FixAt(1.0).longitude, 1e-6);
  Quit();
}

}  // namespace
