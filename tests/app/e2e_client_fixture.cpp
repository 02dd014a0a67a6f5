#include "e2e_client_fixture.h"

#include <signal.h>

#include <fstream>

#include "net/frame_codes.h"
#include "support/free_port.h"

void ClientEndToEnd::SetUp() {
  ASSERT_TRUE(web_.Ok() && node_.Ok() && plugin_.Ok());
  web_.SetLines(WebPageServer::HubListLines("203.0.113.7", "127.0.0.1:" + std::to_string(node_.Port())));
  program_ = MakeXPlaneTreeWithData(tree_.Path());
  std::ofstream ini(program_ + "/Tavelkor.ini", std::ios::binary);
  ini << "[NETWORK.0]\r\nWebsite=localhost\r\nPagePath=/h.php\r\nPilotID=pilot7\r\nPilotPW=secret\r\n"
         "[FLIGHT PLAN]\r\nCallSign=TEST01\r\n";
}

void ClientEndToEnd::TearDown() {
  if (client_ && client_->Running()) {
    automation_.Request("quit");
    if (client_->WaitForExit(kWaitMs) < 0) client_->Signal(SIGKILL);
  }
}

void ClientEndToEnd::AppendSettings(const std::string& lines) {
  std::ofstream ini(program_ + "/Tavelkor.ini", std::ios::binary | std::ios::app);
  ini << lines;
}

void ClientEndToEnd::StreamTheFlight() {
  plugin_.SetGreeting(PluginServer::Greeting::OnHello);
  plugin_.SetStreamInterval(50);
}

void ClientEndToEnd::StartClient(std::uint16_t listeningPort) {
  listeningPort_ = listeningPort != 0 ? listeningPort : FreeLoopbackPort();
  const std::string socketPath = tree_.Path() + "/automation.sock";
  const std::string portMap = "TK_PORTMAP=55009=" + std::to_string(listeningPort_) +
                              ",55007=" + std::to_string(plugin_.Port()) + ",80=" + std::to_string(web_.Port());
  std::vector<std::string> environment{"TK_AUTOMATION=" + socketPath, portMap};
  environment.insert(environment.end(), environment_.begin(), environment_.end());
  client_ = std::make_unique<ChildProcess>(TK_BINARY, program_, environment);
  ASSERT_TRUE(automation_.Connect(socketPath, kStartMs)) << client_->Stderr();
}

void ClientEndToEnd::StartInSession() {
  StreamTheFlight();
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_TRUE(Shows("You have joined your session.")) << client_->Stderr();
}

void ClientEndToEnd::CloseTypeChooser() {
  ASSERT_TRUE(Shows("window 7033 visible=1")) << client_->Stderr();
  Ask("command 7033 2");
  ASSERT_TRUE(Shows("window 7055 visible=1")) << client_->Stderr();
}

void ClientEndToEnd::PressConnect() {
  Ask("command 7055 33000");
  Ask("click 7055 7212");
}

std::string ClientEndToEnd::Dump() { return JoinedLines(automation_.Request("dump")); }

std::string ClientEndToEnd::DumpUntil(const std::string& text, int timeoutMs) {
  std::string dump;
  WaitUntil(timeoutMs, [&] {
    dump = Dump();
    return dump.find(text) != std::string::npos;
  });
  return dump;
}

bool ClientEndToEnd::Shows(const std::string& text, int timeoutMs) {
  return DumpUntil(text, timeoutMs).find(text) != std::string::npos;
}

std::vector<std::string> ClientEndToEnd::Ask(const std::string& line) {
  std::vector<std::string> answer = automation_.Request(line);
  EXPECT_FALSE(answer.empty()) << line;
  if (!answer.empty()) {
    EXPECT_EQ(answer.back(), "ok") << line;
  }
  return answer;
}

void ClientEndToEnd::Quit() {
  Ask("quit");
  EXPECT_EQ(client_->WaitForExit(kWaitMs), 0) << client_->Stderr();
}

PilotPeerScript NearbyPilot(const std::string& callsign, double longitude) {
  PilotPeerScript script;
  script.callsign = callsign;
  script.simulatorCode = 9000;
  script.centreLatitude = 49.02;
  script.centreLongitude = longitude;
  script.answerLogin = false;
  return script;
}

void ClientEndToEnd::Admit(PilotPeer& peer) {
  ASSERT_TRUE(peer.Connect(listeningPort_));
  ASSERT_TRUE(peer.SendLogin());
  ASSERT_TRUE(peer.WaitForCountOf(NCSUB_PEER_ADDED, 1, kWaitMs)) << client_->Stderr();
  const std::string callsign = peer.Script().callsign;
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return Shown(callsign); })) << client_->Stderr();
}
