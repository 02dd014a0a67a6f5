// The real program in a demo tree of its own, with stand-ins for the network
// (web page, hub list, node) and for its plug-in, driven through its
// automation socket. Its fixed ports are mapped to free ones so that tests
// run side by side.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/wait_until.h"
#include "testbed/automation_client.h"
#include "testbed/node_server.h"
#include "testbed/pilot_peer.h"
#include "testbed/plugin_server.h"
#include "testbed/web_page_server.h"

// A pilot peer near the demo's flight, of the client's own family, who does
// not answer the client's login (he calls it).
PilotPeerScript NearbyPilot(const std::string& callsign = "DEMO02", double longitude = 2.6);

class ClientEndToEnd : public ::testing::Test {
 protected:
  // The plug-in stand-in shows his AI aircraft.
  bool Shown(const std::string& callsign) const { return plugin_.Ai().ByCallsign(callsign).has_value(); }
  // He calls and logs in, and the client admits him and adds his aircraft.
  void Admit(PilotPeer& peer);
  static constexpr int kStartMs = 30'000;
  static constexpr int kWaitMs = 20'000;

  // The stand-ins up, the hub list naming the node, the tree laid out and
  // the settings written: pilot7's account, callsign TEST01.
  void SetUp() override;
  // A program a test left running is asked to quit, then killed.
  void TearDown() override;

  // More settings lines; the file ends inside its [FLIGHT PLAN] section.
  void AppendSettings(const std::string& lines);
  // The plug-in stand-in greets the client at its hello, which opens the
  // session, and streams its scripted flight every 50 ms.
  void StreamTheFlight();
  // Starts the program, listening on `listeningPort` (0: a free one), and
  // links to its automation socket.
  void StartClient(std::uint16_t listeningPort = 0);
  // The flight streamed, the program started, its session open.
  void StartInSession();
  // The type chooser that the first aircraft reported shows in the main
  // dialog's place is cancelled, and the main dialog is back.
  void CloseTypeChooser();
  // Picks the first server ("Servers ..." slot 0) and clicks Connect.
  void PressConnect();

  std::string Dump();
  // The last dump, once it holds the text or the time is up.
  std::string DumpUntil(const std::string& text, int timeoutMs = kWaitMs);
  bool Shows(const std::string& text, int timeoutMs = kWaitMs);
  // The answer's lines; that it closed with "ok" is checked.
  std::vector<std::string> Ask(const std::string& line);
  // The ordered quit, which must end the program with status 0.
  void Quit();

  TempFolder tree_;
  WebPageServer web_;
  NodeServer node_;
  PluginServer plugin_;
  std::string program_;
  std::uint16_t listeningPort_ = 0;
  // More environment for the program StartClient starts.
  std::vector<std::string> environment_;
  std::unique_ptr<ChildProcess> client_;
  AutomationClient automation_;
};
