// The real program with the FSUIPC server stand-in of tk_standins, both
// finding each other's windows through a TK_WINDOWS folder: the pilots that
// call the client appear in the server's TCAS table, move, and are zeroed
// when they leave. Without a server the start-up says it was not found.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "e2e_client_fixture.h"
#include "testbed/pilot_peer.h"

namespace {

class FsuipcEndToEnd : public ClientEndToEnd {
 protected:
  void SetUp() override {
    ClientEndToEnd::SetUp();
    AppendSettings("[SETUP]\r\nUseFsuipc=1\r\n");
    environment_.push_back("TK_WINDOWS=" + windows_.Path());
  }
  void TearDown() override {
    ClientEndToEnd::TearDown();
    if (server_ && server_->Running()) {
      server_->Signal(SIGTERM);
      server_->WaitForExit(kWaitMs);
    }
  }
  void StartServer() {
    server_ = std::make_unique<ChildProcess>(TK_STANDINS_BINARY, windows_.Path(),
                                             std::vector<std::string>{"TK_WINDOWS=" + windows_.Path()},
                                             std::vector<std::string>{"--fsuipc", "UIPCMAIN", "--fsuipc-slots", "4"});
    ASSERT_TRUE(Logged("fsuipc: window UIPCMAIN published")) << server_->Stderr();
  }
  bool Logged(const std::string& text) {
    return WaitUntil(kWaitMs, [&] { return server_->Stdout().find(text) != std::string::npos; });
  }
  std::string Chat() { return JoinedLines(Ask("text 7057 7005")); }
  // The half-second duty, after the start-up's 25 seconds.
  void Ticks(int halfSeconds) {
    Ask("timer 7055 555 30");
    Ask("timer 7055 556 " + std::to_string(halfSeconds));
  }

  TempFolder windows_;
  std::unique_ptr<ChildProcess> server_;
};

TEST_F(FsuipcEndToEnd, PilotsAppearInTheTcasTableMoveAndAreZeroedWhenTheyLeave) {
  ASSERT_NO_FATAL_FAILURE(StartServer());
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return Chat().find(" FSUIPC v3.930.  is now monitored.") != std::string::npos; }))
      << Chat();
  EXPECT_NE(Chat().find("Max Slots = 4  "), std::string::npos);
  PressConnect();
  ASSERT_TRUE(node_.WaitForFrames(1, kWaitMs)) << client_->Stderr();

  PilotPeer peer(NearbyPilot());
  ASSERT_NO_FATAL_FAILURE(Admit(peer));
  ASSERT_TRUE(peer.SendPositionAt(1, 1));
  const ScriptedFix first = peer.FixAt(1);
  char expected[96];
  std::snprintf(expected, sizeof expected, "tcas 1 DEMO02 at %.6f %.6f", static_cast<float>(first.latitude),
                static_cast<float>(first.longitude));
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] {
    Ticks(1);
    return server_->Stdout().find(expected) != std::string::npos;
  })) << server_->Stdout();

  ASSERT_TRUE(peer.SendPositionAt(20, 2));
  const ScriptedFix later = peer.FixAt(20);
  std::snprintf(expected, sizeof expected, "tcas 1 DEMO02 at %.6f %.6f", static_cast<float>(later.latitude),
                static_cast<float>(later.longitude));
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] {
    Ticks(1);
    return server_->Stdout().find(expected) != std::string::npos;
  })) << server_->Stdout();

  ASSERT_TRUE(peer.SendLogout());
  EXPECT_TRUE(Logged("tcas 1 zeroed")) << server_->Stdout();
  Quit();
}

TEST_F(FsuipcEndToEnd, WithoutServerTheStartUpSaysSo) {
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] {
    return Chat().find(" FSUIPC not found.\\r\\n   Error on FSUIPC at startup. Please reinstall a recent version of FSUIPC.") !=
           std::string::npos;
  })) << Chat();
  Quit();
}

}  // namespace
