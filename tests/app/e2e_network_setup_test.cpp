// The network setup dialog on the real program: Save with a new own port
// moves the listening socket there and writes the port; a port already taken
// gives the "Ports Error" box and the pilots still reach the old port; a
// direct site in the settings shows as a direct connection.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "e2e_client_fixture.h"
#include "net/frame_codes.h"
#include "support/free_port.h"
#include "testbed/loopback_peer.h"

namespace {

class NetworkSetupEndToEnd : public ClientEndToEnd {
 protected:
  std::string Ini() const {
    std::ifstream file(program_ + "/Tavelkor.ini", std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
  }
  // A pilot peer calls the port, logs in and hears the client's answer.
  bool PilotIsAnsweredOn(std::uint16_t port, const std::string& callsign) {
    PilotPeer peer(NearbyPilot(callsign));
    return peer.Connect(port) && peer.SendLogin() && peer.WaitForCountOf(NCSUB_LOGIN_ACK, 1, kWaitMs);
  }
  static bool Refuses(std::uint16_t port) {
    LoopbackClient client;
    return !client.Connect(port);
  }
  // The dialog opened from the main menu; its window line in the dump.
  std::string OpenNetworkSetup() {
    Ask("command 7055 32838");
    return WindowLine(Dump());
  }
  static std::string WindowLine(const std::string& dump) {
    const std::size_t at = dump.find("window 134 ");
    if (at == std::string::npos) return {};
    return dump.substr(at, dump.find('\n', at) - at);
  }
  void SaveWithOwnPort(std::uint16_t port) {
    Ask("settext 134 1022 " + std::to_string(port));
    Ask("click 134 1");
  }
};

TEST_F(NetworkSetupEndToEnd, SaveWithANewPortMovesTheCallsThereAndWritesIt) {
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  ASSERT_TRUE(PilotIsAnsweredOn(listeningPort_, "DEMO02")) << client_->Stderr();
  const std::uint16_t newPort = FreeLoopbackPort();
  ASSERT_NE(newPort, 0);
  EXPECT_NE(OpenNetworkSetup(), "");
  SaveWithOwnPort(newPort);

  EXPECT_NE(WindowLine(Dump()).find("visible=0"), std::string::npos) << "Save hides the dialog";
  EXPECT_TRUE(PilotIsAnsweredOn(newPort, "DEMO03")) << client_->Stderr();
  EXPECT_TRUE(Refuses(listeningPort_));
  EXPECT_NE(Ini().find("OrvenaPortNumber=" + std::to_string(newPort) + "\r\n"), std::string::npos) << Ini();
  Quit();
}

TEST_F(NetworkSetupEndToEnd, APortInUseGivesThePortsErrorBoxAndTheOldPortStillAnswers) {
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  LoopbackServer taken;
  ASSERT_TRUE(taken.Ok());
  const std::string opened = OpenNetworkSetup();
  ASSERT_NE(opened, "");
  SaveWithOwnPort(taken.Port());

  const std::string boxes = JoinedLines(Ask("boxes"));
  EXPECT_NE(boxes.find("box Ports Error\tFailed initializing TCP sockets with port " + std::to_string(taken.Port()) +
                       ".\n"),
            std::string::npos)
      << boxes;
  EXPECT_EQ(WindowLine(Dump()), opened) << "the dialog stays as it was";
  EXPECT_TRUE(PilotIsAnsweredOn(listeningPort_, "DEMO02")) << client_->Stderr();
  EXPECT_EQ(Ini().find("OrvenaPortNumber="), std::string::npos) << "no port is written";
  Quit();
}

TEST_F(NetworkSetupEndToEnd, ADirectSiteShowsTheDirectConnectionWithoutAPagePath) {
  {
    std::ofstream ini(program_ + "/Tavelkor.ini", std::ios::binary | std::ios::trunc);
    ini << "[NETWORK.0]\r\nWebsite=192.168.0.2:55000\r\nPagePath=/h.php\r\nPilotID=pilot7\r\nPilotPW=secret\r\n"
           "[FLIGHT PLAN]\r\nCallSign=TEST01\r\n";
  }
  ASSERT_NO_FATAL_FAILURE(StartClient());
  // The dialog is made while the program starts: its result line is the last of these to be filled.
  const std::string dump =
      DumpUntil("control 134 1040 kind=static visible=1 enabled=1 text=Direct connection (Not via Website)\n");
  EXPECT_NE(dump.find("control 134 1040 kind=static visible=1 enabled=1 text=Direct connection (Not via Website)\n"),
            std::string::npos)
      << dump;
  EXPECT_NE(dump.find("control 134 1039 kind=edit visible=0"), std::string::npos) << dump;
  EXPECT_NE(dump.find("control 134 7130 kind=static visible=0"), std::string::npos) << dump;
  EXPECT_NE(dump.find("control 134 1038 kind=edit visible=1 enabled=1 text=192.168.0.2:55000\n"), std::string::npos)
      << dump;
  Quit();
}

}  // namespace
