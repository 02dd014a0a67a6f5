// The tk_standins program as the demo runs it: ports file, web page, node and
// plug-in over loopback, and a clean end on a signal.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "net/frame_codes.h"
#include "net/node_records.h"
#include "net/web_page_parser.h"
#include "support/collecting_web_sink.h"
#include "support/child_process.h"
#include "testbed/loopback_peer.h"
#include "testbed/plugin_codes.h"
#include "testbed/plugin_records.h"

namespace {

constexpr int kWaitMs = 20'000;

struct Ports {
  int web = 0;
  int node = 0;
  int plugin = 0;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The file appears whole (it is renamed into place), so one read suffices.
bool WaitForPortsFile(const std::string& path, ChildProcess& child, Ports& ports, std::string& text) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
  while (std::chrono::steady_clock::now() < deadline && child.Running()) {
    if (std::filesystem::exists(path)) {
      text = ReadFile(path);
      return std::sscanf(text.c_str(), "web=%d node=%d plugin=%d", &ports.web, &ports.node, &ports.plugin) == 3;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

LoginRecord DemoLogin() {
  LoginRecord login;
  login.identity.versionMajor = 11;
  login.identity.versionBuild = 4;
  login.identity.listenPort = 55009;
  login.identity.login = "demo";
  login.identity.passwordOrServer = "demo";
  login.identity.callsign = "DEMO01";
  return login;
}

TEST(StandinsProgram, ServesTheWebPageNodeAndPluginThenEndsOnSigterm) {
  TempFolder folder;
  const std::string portsPath = folder.Path() + "/standins.ports";
  ChildProcess standins(TK_STANDINS_BINARY, folder.Path(), {},
                        {"--ports-file", portsPath, "--own-ip", "198.51.100.4", "--heartbeat-seconds", "1"});
  ASSERT_TRUE(standins.Started());
  Ports ports;
  std::string portsText;
  ASSERT_TRUE(WaitForPortsFile(portsPath, standins, ports, portsText)) << portsText << standins.Stderr();
  EXPECT_EQ(portsText, "web=" + std::to_string(ports.web) + " node=" + std::to_string(ports.node) +
                           " plugin=" + std::to_string(ports.plugin) + "\n");

  // The web page names the node, inside the block, with a welcome line.
  {
    LoopbackClient client;
    ASSERT_TRUE(client.Connect(static_cast<std::uint16_t>(ports.web)));
    ASSERT_TRUE(client.Send("GET /h.php?TAVELKORVERSION=11.0.4 HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n"));
    const std::string reply = client.Receive(1 << 16, 5000);
    EXPECT_TRUE(client.PeerClosed());
    EXPECT_EQ(reply.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << reply;
    CollectingSink sink;
    WebWayContext context;
    context.sender = "127.0.0.1";
    WebPageParser parser(context, sink);
    parser.Feed(reply);
    EXPECT_EQ(parser.HubText(), "127.0.0.1:" + std::to_string(ports.node));
    EXPECT_EQ(parser.OwnAddress(), "198.51.100.4");
    EXPECT_EQ(sink.ends, std::vector<WebBlockEnd>{WebBlockEnd::kConnectToNode});
    ASSERT_EQ(sink.traces.size(), 1u);
    EXPECT_NE(sink.traces[0].find("Welcome"), std::string::npos) << sink.traces[0];
  }

  // The node answers a login as a server the client accepts, then beats.
  {
    LoopbackClient client;
    ASSERT_TRUE(client.Connect(static_cast<std::uint16_t>(ports.node)));
    const std::vector<std::uint8_t> login = BuildLoginFrame(DemoLogin());
    ASSERT_TRUE(client.Send(std::string(login.begin(), login.end())));
    const std::string reply = client.Receive(12 + kLoginAckRecordSize, 5000);
    ASSERT_EQ(reply.size(), 12 + kLoginAckRecordSize);
    EXPECT_EQ(static_cast<std::uint8_t>(reply[4]), NCSMSG_LOGIN);
    EXPECT_EQ(static_cast<std::uint8_t>(reply[5]), NCSUB_LOGIN_ACK);
    const std::vector<std::uint8_t> body(reply.begin() + 12, reply.end());
    LoginAckRecord ack;
    ASSERT_EQ(ReadLoginAckRecord(body, ack), kNodeRecordOk);
    EXPECT_TRUE(IsServerVersionAccepted(ack.identity));
    const std::string heartbeat = client.Receive(12, 5000);
    EXPECT_EQ(heartbeat, std::string("\xA1\xB2\xC3\x17\x34\0\0\0\0\0\0\0", 12));
  }

  // The plug-in answers the client's hello with its handshake record.
  {
    LoopbackClient client;
    ASSERT_TRUE(client.Connect(static_cast<std::uint16_t>(ports.plugin)));
    ASSERT_TRUE(client.Send(std::string("\xA1\xB2\xC3\x17k\x0A\0\0\x04\0\0\0\x01\x04\0\x0B", 16)));
    const std::string frame = client.Receive(12 + plugin_link::kDllInfosSize, 5000);
    ASSERT_EQ(frame.size(), 12 + plugin_link::kDllInfosSize);
    EXPECT_EQ(frame.substr(0, 12), std::string("\xA1\xB2\xC3\x17k\x0A\0\0\x38\x01\0\0", 12));
    const std::vector<std::uint8_t> body(frame.begin() + 12, frame.end());
    plugin_link::DllInfos infos;
    ASSERT_TRUE(plugin_link::ReadDllInfos(body, infos));
    EXPECT_EQ(infos, (plugin_link::DllInfos{10000, 0, 0, 20}));
  }

  standins.Signal(SIGTERM);
  EXPECT_EQ(standins.WaitForExit(kWaitMs), 0) << standins.Stderr();
  EXPECT_FALSE(std::filesystem::exists(portsPath));
  const std::string out = standins.Stdout();
  for (const char* expected :
       {"web: GET /h.php?TAVELKORVERSION=11.0.4 HTTP/1.1 -> answered 200 OK",
        "node: login of DEMO01 (user demo, client 11.0.4.B) answered as server 11.0.4.A", "node: heartbeat sent",
        "plug-in: sent XTK_MSG_DLL_INFOS (X-Plane 10000, error 0, 20 AI aircraft)", "stopping on SIGTERM"}) {
    EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
  }
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

std::string Fetch(int port) {
  LoopbackClient client;
  if (!client.Connect(static_cast<std::uint16_t>(port))) return {};
  if (!client.Send("GET /h.php HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n")) return {};
  return client.Receive(1 << 16, 5000);
}

TEST(StandinsProgram, TellsEveryFetchWhileItRuns) {
  TempFolder folder;
  const std::string portsPath = folder.Path() + "/p";
  ChildProcess standins(TK_STANDINS_BINARY, folder.Path(), {}, {"--ports-file", portsPath, "--heartbeat-seconds", "0"});
  Ports ports;
  std::string portsText;
  ASSERT_TRUE(WaitForPortsFile(portsPath, standins, ports, portsText)) << standins.Stderr();
  const std::string line = "web: GET /h.php HTTP/1.1 -> answered 200 OK";
  ASSERT_FALSE(Fetch(ports.web).empty());
  ASSERT_FALSE(Fetch(ports.web).empty());
  // Folded when they come within a second, told a second later at the latest;
  // each on a line of its own when they do not. Either way before the program stops.
  const auto told = [&] {
    const std::string out = standins.Stdout();
    return out.find("web: 1 more time: GET /h.php HTTP/1.1 -> answered 200 OK") != std::string::npos ||
           Count(out, line) == 2;
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
  while (!told() && std::chrono::steady_clock::now() < deadline && standins.Running())
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_TRUE(told()) << standins.Stdout();
  standins.Signal(SIGTERM);
  EXPECT_EQ(standins.WaitForExit(kWaitMs), 0) << standins.Stderr();
}

TEST(StandinsProgram, EndsCleanlyOnSigintWithItsDefaults) {
  TempFolder folder;
  const std::string portsPath = folder.Path() + "/p";
  ChildProcess standins(TK_STANDINS_BINARY, folder.Path(), {}, {"--ports-file", portsPath});
  Ports ports;
  std::string portsText;
  ASSERT_TRUE(WaitForPortsFile(portsPath, standins, ports, portsText)) << standins.Stderr();
  standins.Signal(SIGINT);
  EXPECT_EQ(standins.WaitForExit(kWaitMs), 0) << standins.Stderr();
  const std::string out = standins.Stdout();
  EXPECT_NE(out.find("own address 203.0.113.7, heartbeat every 30 s"), std::string::npos) << out;
  EXPECT_NE(out.find("stopping on SIGINT"), std::string::npos) << out;
}

// Two clients log in to the program's node; what the second is told about the first.
TEST(StandinsProgram, TheNodeIntroducesTwoClientsAsItsOptionSays) {
  struct Case {
    std::vector<std::string> option;
    int flags;  // of the neighbour order; -1 for none
    bool onNodePort;
  };
  const Case cases[] = {{{}, 0, false}, {{"--introduce", "tunnel"}, 1, true}, {{"--introduce", "off"}, -1, false}};
  for (const Case& c : cases) {
    const std::string name = c.option.empty() ? "default" : c.option[1];
    TempFolder folder;
    const std::string portsPath = folder.Path() + "/p";
    std::vector<std::string> args = {"--ports-file", portsPath, "--heartbeat-seconds", "0"};
    args.insert(args.end(), c.option.begin(), c.option.end());
    ChildProcess standins(TK_STANDINS_BINARY, folder.Path(), {}, args);
    Ports ports;
    std::string portsText;
    ASSERT_TRUE(WaitForPortsFile(portsPath, standins, ports, portsText)) << name << standins.Stderr();
    LoopbackClient first;
    LoopbackClient second;
    for (auto [client, callsign, port] : {std::tuple{&first, "DEMO01", 40001}, std::tuple{&second, "DEMO02", 40002}}) {
      LoginRecord login = DemoLogin();
      login.identity.callsign = callsign;
      login.identity.listenPort = static_cast<std::uint16_t>(port);
      ASSERT_TRUE(client->Connect(static_cast<std::uint16_t>(ports.node))) << name;
      const std::vector<std::uint8_t> frame = BuildLoginFrame(login);
      ASSERT_TRUE(client->Send(std::string(frame.begin(), frame.end()))) << name;
      ASSERT_EQ(client->Receive(12 + kLoginAckRecordSize, kWaitMs).size(), 12 + kLoginAckRecordSize) << name;
    }
    if (c.flags < 0) {
      EXPECT_TRUE(second.Receive(1, 200).empty()) << name;
    } else {
      const std::string trust = second.Receive(12 + 16, kWaitMs);
      EXPECT_EQ(trust.substr(0, 6), std::string("\xA1\xB2\xC3\x17\x3B\0", 6)) << name;
      const std::string order = second.Receive(12 + 32, kWaitMs);
      ASSERT_EQ(order.size(), 44u) << name;
      EXPECT_EQ(static_cast<std::uint8_t>(order[4]), 55) << name;
      const int port = static_cast<std::uint8_t>(order[24]) | static_cast<std::uint8_t>(order[25]) << 8;
      EXPECT_EQ(port, c.onNodePort ? ports.node : 40001) << name;
      EXPECT_EQ(order[26], c.flags) << name;
      EXPECT_EQ(order.substr(28, 7), std::string("DEMO01\0", 7)) << name;
    }
    standins.Signal(SIGTERM);
    EXPECT_EQ(standins.WaitForExit(kWaitMs), 0) << standins.Stderr();
  }
}

TEST(StandinsProgram, RefusesABadCommandLine) {
  const std::vector<std::vector<std::string>> cases = {
      {"--heartbeat-seconds", "-1"}, {"--heartbeat-seconds", "7x"}, {"--heartbeat-seconds", "86401"},
      {"--ports-file"},              {"--bogus", "1"},              {"--own-ip", ""},
      {"--introduce", "sideways"},   {"--introduce", ""},
  };
  TempFolder folder;
  for (const auto& args : cases) {
    ChildProcess standins(TK_STANDINS_BINARY, folder.Path(), {}, args);
    EXPECT_EQ(standins.WaitForExit(kWaitMs), 2) << args[0];
    EXPECT_NE(standins.Stderr().find("usage: tk_standins"), std::string::npos) << args[0];
  }
}

}  // namespace
