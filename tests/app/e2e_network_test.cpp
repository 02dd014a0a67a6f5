// The real program in a demo tree, logging in to the stand-in network: web
// page, hub and node, and a plug-in link that opens the session.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e_client_fixture.h"
#include "net/frame_codes.h"
#include "net/node_records.h"
#include "support/free_port.h"
#include "support/recorded_lines.h"
#include "testbed/plugin_records.h"

namespace {

constexpr char kExpectedRequest[] =
    "GET /h.php?TAVELKORVERSION=11.0.4 HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n";
constexpr std::uint8_t kXtkHello = 10;

std::string FieldAt(const std::vector<std::uint8_t>& body, std::size_t offset, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(body.data() + offset), size);
  return text.substr(0, text.find('\0'));
}

class NetworkEndToEnd : public ClientEndToEnd {
 protected:
  // The session opens once the plug-in link is up and the client said hello.
  void WaitForSession() {
    ASSERT_TRUE(plugin_.WaitForRecord(kXtkHello, 1, kStartMs)) << client_->Stderr();
    const PluginServer::Record hello = plugin_.Records().front();
    EXPECT_EQ(hello.code, kXtkHello);
    EXPECT_EQ(hello.body, (std::vector<std::uint8_t>{0x01, 0x04, 0x00, 0x0B})) << "the version word 0x0B000401";
    ASSERT_TRUE(Shows("No METAR available yet."));
  }
};

TEST_F(NetworkEndToEnd, ConnectLogsInReconnectsAfterALossAndQuitsInOrder) {
  StartClient();
  WaitForSession();
  PressConnect();

  ASSERT_TRUE(web_.WaitForRequests(1, kWaitMs)) << client_->Stderr();
  EXPECT_EQ(web_.Requests().front(), kExpectedRequest);
  ASSERT_TRUE(node_.WaitForFrames(1, kWaitMs));
  const Frame login = node_.Frames().front();
  EXPECT_EQ(login.header.type, NCSMSG_LOGIN);
  ASSERT_EQ(login.body.size(), kLoginRecordSize);
  EXPECT_EQ(FieldAt(login.body, 48, 16), "pilot7");
  EXPECT_EQ(FieldAt(login.body, 64, 16), "secret");
  EXPECT_EQ(FieldAt(login.body, 80, 16), "TEST01");

  // Logged in: the Connect button shows the connected bitmap, the callsign field the callsign.
  std::string dump = DumpUntil("control 7055 7212 kind=ownerdraw visible=1 enabled=1 text=OFF\nimage 7096");
  EXPECT_NE(dump.find("control 7055 7212 kind=ownerdraw visible=1 enabled=1 text=OFF\nimage 7096"), std::string::npos)
      << dump;
  EXPECT_NE(dump.find("control 7055 7107 kind=static visible=1 enabled=1 text=TEST01"), std::string::npos) << dump;
  EXPECT_NE(dump.find("Your server is : "), std::string::npos) << dump;
  // The count of pilots and controllers is the user's sign that the login is complete.
  dump = DumpUntil("control 7055 7106 kind=static visible=1 enabled=1 text=0p  0a\n");
  EXPECT_NE(dump.find("control 7055 7106 kind=static visible=1 enabled=1 text=0p  0a\n"), std::string::npos) << dump;

  // Orders of the node are obeyed.
  ASSERT_TRUE(node_.SendInCockpit(65));
  dump = DumpUntil("control 7055 7108 kind=static visible=1 enabled=1 text=01:05");
  EXPECT_NE(dump.find("text=01:05"), std::string::npos) << dump;
  ASSERT_TRUE(node_.SendSetAttrib("A line from the node with 100% of %s"));
  dump = DumpUntil("A line from the node with 100% of %s");
  EXPECT_NE(dump.find("A line from the node with 100% of %s"), std::string::npos) << dump;

  // The node drops the link: the client counts 65 s down, asks the page again and logs in again.
  ASSERT_TRUE(node_.DropLink());
  dump = DumpUntil("Connection to node lost. Reconnecting in 65 seconds...");
  EXPECT_NE(dump.find("Connection to node lost. Reconnecting in 65 seconds..."), std::string::npos) << dump;
  Ask("timer 7055 555 60");
  EXPECT_EQ(web_.RequestCount(), 1u);
  Ask("timer 7055 555 5");
  ASSERT_TRUE(web_.WaitForRequests(2, kWaitMs)) << JoinedLines(automation_.Request("dump"));
  EXPECT_EQ(web_.Requests().back(), kExpectedRequest);
  ASSERT_TRUE(node_.WaitForLink(2, kWaitMs));
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return node_.LoginsAnswered() >= 2; }));

  // Quitting leaves the network: the node link and the plug-in link end.
  Quit();
  EXPECT_TRUE(node_.WaitForLinkEnd(kWaitMs));
  EXPECT_TRUE(plugin_.WaitForLinkEnd(kWaitMs));
}

TEST_F(NetworkEndToEnd, ThePluginsFlightReachesTheLoginAndTheRadioStatus) {
  StreamTheFlight();
  // Another aircraft than the client's default one, whose type the type table gives.
  plugin_.SetAircraftTitle("Demo: Saab Viggen");
  RecordedLines events;
  plugin_.SetEventLog(events.Sink());
  StartClient();
  WaitForSession();
  ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_DLL_INFOS_ACK, 1, kWaitMs)) << client_->Stderr();
  EXPECT_EQ(plugin_.RecordCount(plugin_link::XTK_CMD_DLL_INFOS_ACK), 1u);
  // The scan ended in the start-up, before the link: the plug-in hears of it after the handshake.
  ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_MODELS_SCANNED, 1, kWaitMs)) << client_->Stderr();
  // The loaded aircraft went out before the samples the test waits for; the link reads them in order.
  const std::string loaded = "sent XTK_MSG_USER_AIRCRAFT_LOADED (Demo: Saab Viggen)";
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] {
    const std::vector<std::string> lines = events.Lines();
    return std::find(lines.begin(), lines.end(), loaded) != lines.end();
  }));
  ASSERT_TRUE(plugin_.WaitForSamples(plugin_.SamplesSent() + 5, kWaitMs));
  const plugin_link::FlightSample started = plugin_.LastSample();
  PressConnect();

  ASSERT_TRUE(node_.WaitForFrames(1, kWaitMs)) << client_->Stderr();
  const Frame frame = node_.Frames().front();
  ASSERT_EQ(frame.header.type, NCSMSG_LOGIN);
  LoginRecord login;
  ASSERT_EQ(ReadLoginRecord(frame.body, login), kNodeRecordOk);
  const plugin_link::FlightSample now = plugin_.LastSample();
  EXPECT_DOUBLE_EQ(login.latitude, 49.0097);
  EXPECT_GE(login.longitude, started.longitude) << "the position the flight had reached";
  EXPECT_LE(login.longitude, now.longitude);
  EXPECT_EQ(login.altitudeFeet, 5500);
  EXPECT_EQ(login.headingDegrees, 90);
  EXPECT_EQ(login.speedKnots, 120);
  EXPECT_EQ(login.machTimes1000, 180);
  EXPECT_EQ(login.transponderCode, 4721);
  EXPECT_EQ(login.transponderMode, 'N');
  EXPECT_EQ(login.com1, "122.80");
  EXPECT_EQ(login.com2, "121.50");
  EXPECT_EQ(login.optionBits, kLoginCom1Selected) << "in the air, COM1 selected";
  EXPECT_EQ(login.nearestAirport, "LFPG");
  EXPECT_EQ(login.title, "Demo; Saab Viggen") << "the loaded title, as peers are given it";
  EXPECT_EQ(login.icaoType, "SB37");

  // Logged in: the radio status shows the selected radio.
  const std::string dump = DumpUntil("control 7055 7112 kind=static visible=1 enabled=1 text=122.80");
  EXPECT_NE(dump.find("control 7055 7112 kind=static visible=1 enabled=1 text=122.80"), std::string::npos) << dump;
  Quit();
}

TEST_F(NetworkEndToEnd, AnOldServerIsRefusedWithoutReconnecting) {
  node_.SetServerVersion(11, 0, 3, 'Z');
  StartClient();
  WaitForSession();
  PressConnect();

  const std::string refusal =
      "Sorry, this server's version (v 11.0.3.Z ) is too old to connect to ! Check with your webmaster.";
  std::string dump = DumpUntil(refusal);
  EXPECT_NE(dump.find(refusal), std::string::npos) << dump;
  EXPECT_TRUE(node_.WaitForLinkEnd(kWaitMs));
  dump = DumpUntil("image 7095");
  EXPECT_NE(dump.find("control 7055 7212 kind=ownerdraw visible=1 enabled=1 text=OFF\nimage 7095"), std::string::npos)
      << dump;

  Ask("timer 7055 555 200");
  usleep(500'000);
  EXPECT_EQ(node_.LinksAccepted(), 1u);
  EXPECT_EQ(web_.RequestCount(), 1u);
  Quit();
}

TEST_F(NetworkEndToEnd, EmptyServerCommentsLeaveThePagesLinesInTheChat) {
  web_.SetLines({"FROMWEBSITE_START", "FROMWEBSITE_PRINT:Welcome to the loopback network",
                 "FROMWEBSITE_YOUR_IP:203.0.113.7", "FROMWEBSITE_HUBS_LIST:127.0.0.1:" + std::to_string(node_.Port()),
                 "A LINE THE PAGE SHOULD NOT SEND", "FROMWEBSITE_PRINT Fly safe", "FROMWEBSITE_END"});
  LoginAckRecord ack;
  ack.identity.peerKind = 'N';
  ack.identity.versionMajor = 11;
  ack.identity.versionMinor = 0;
  ack.identity.versionBuild = 4;
  ack.identity.versionLetter = 'A';
  ack.identity.serverToken = 0x5A;
  ack.serverName = "Quiet Node";
  ack.serverComments = "";
  node_.SetLoginAck(ack);
  StartClient();
  WaitForSession();
  PressConnect();

  const std::string done = "Your Licenses & skills :";
  ASSERT_NE(DumpUntil(done).find(done), std::string::npos) << client_->Stderr();
  const std::string chat = JoinedLines(Ask("text 7057 7005"));
  const std::size_t comments = chat.find("Server comments : ");
  ASSERT_NE(comments, std::string::npos) << chat;
  for (const char* line : {"Welcome to the loopback network", "FLOOD PACKET RECEIVED FROM", "Fly safe",
                           "Your server is : Quiet Node"}) {
    SCOPED_TRACE(line);
    EXPECT_NE(chat.find(line), std::string::npos) << chat;
  }
  EXPECT_LT(chat.find("Welcome to the loopback network"), comments) << "the page's lines come first";
  Quit();
}

TEST_F(NetworkEndToEnd, AHeldListeningPortIsReportedWithItsSettingNumber) {
  const int held = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(held, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  socklen_t size = sizeof address;
  ASSERT_EQ(bind(held, reinterpret_cast<sockaddr*>(&address), size), 0);
  ASSERT_EQ(listen(held, 1), 0);
  ASSERT_EQ(getsockname(held, reinterpret_cast<sockaddr*>(&address), &size), 0);

  StartClient(ntohs(address.sin_port));
  std::string boxes;
  WaitUntil(kStartMs, [&] {
    boxes = JoinedLines(automation_.Request("boxes"));
    return boxes.find("Error code = -330") != std::string::npos;
  });
  EXPECT_NE(boxes.find("box TK\tbinding TCP port 55009 : Error WSAEADDRINUSE"), std::string::npos) << boxes;
  EXPECT_NE(boxes.find("box TK Error\tFailed initializing TCP sockets.\\r\\nError code = -330"), std::string::npos)
      << boxes;
  Quit();
  close(held);
}

// A caller from a chosen loopback address (127.0.0.1 is always trusted, the
// rest of 127/8 only when the settings list it).
class CallerFrom {
 public:
  CallerFrom(const char* source, std::uint16_t port) {
    socket_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, source, &from.sin_addr);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = socket_ >= 0 && bind(socket_, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0 &&
                 connect(socket_, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
  }
  ~CallerFrom() {
    if (socket_ >= 0) close(socket_);
  }
  bool Connected() const { return connected_; }
  bool ClosedWithin(int timeoutMs) {
    pollfd wait{socket_, POLLIN, 0};
    char byte = 0;
    return poll(&wait, 1, timeoutMs) == 1 && recv(socket_, &byte, 1, MSG_DONTWAIT) <= 0;
  }

 private:
  int socket_ = -1;
  bool connected_ = false;
};

TEST_F(NetworkEndToEnd, ACallerStaysOnlyFromAnAddressTheSettingsTrust) {
  AppendSettings("[TRUSTED]\r\nIP0=127.0.0.3\r\n");
  const std::uint16_t port = FreeLoopbackPort();
  StartClient(port);
  WaitForSession();

  CallerFrom trusted("127.0.0.3", port);
  ASSERT_TRUE(trusted.Connected());
  // Each untrusted caller is closed ("KONEPA") as soon as its way checks it;
  // the trusted one, which came first, is still there after both.
  for (const char* source : {"127.0.0.2", "127.0.0.2"}) {
    CallerFrom untrusted(source, port);
    ASSERT_TRUE(untrusted.Connected());
    EXPECT_TRUE(untrusted.ClosedWithin(kWaitMs)) << source;
  }
  EXPECT_FALSE(trusted.ClosedWithin(0)) << client_->Stderr();
  Quit();
}

TEST_F(NetworkEndToEnd, TheSessionGreetsWhenThePluginLinkOpensAndTheMenuClosesIt) {
  StartClient();
  WaitForSession();
  std::string dump = DumpUntil("You have joined your session.");
  EXPECT_NE(dump.find("You have joined your session."), std::string::npos) << dump;
  EXPECT_EQ(dump.find("Initializing Multiplayer Session"), std::string::npos) << "the progress text is removed";

  // Multiplayer "&Connect" with the session open closes it and tells the plug-in link.
  Ask("command 7055 32795");
  dump = DumpUntil("Disconnected from multiplayer session !");
  EXPECT_NE(dump.find("Disconnected from multiplayer session !"), std::string::npos) << dump;
  EXPECT_TRUE(plugin_.WaitForLinkEnd(kWaitMs));
  Quit();
}

}  // namespace
