#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/web_page_parser.h"
#include "net/web_request.h"
#include "support/recorded_lines.h"
#include "support/collecting_web_sink.h"
#include "testbed/loopback_peer.h"
#include "testbed/web_page_server.h"

namespace {

constexpr int kWaitMs = 5000;

// Port 80 of this process goes to the stand-in while the object lives.
class PortMap80 {
 public:
  explicit PortMap80(const WebPageServer& server) {
    setenv("TK_PORTMAP", server.PortMapEntry().c_str(), 1);
    ReloadPortMapForTest();
  }
  ~PortMap80() {
    unsetenv("TK_PORTMAP");
    ReloadPortMapForTest();
  }
};

std::string Exchange(const std::string& request, std::uint16_t port = kWebPagePort) {
  LoopbackClient client;
  if (!client.Connect(port) || !client.Send(request)) return "connect failed";
  return client.Receive(1 << 20, kWaitMs);
}

std::string Body(const std::string& reply) {
  const auto at = reply.find("\r\n\r\n");
  return at == std::string::npos ? std::string() : reply.substr(at + 4);
}

class WebPageServerTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Ok()); }
  WebPageServer server_;
  PortMap80 map_{server_};
};

TEST_F(WebPageServerTest, LogsTheExactRequestAndAnswersTheScriptedLines) {
  server_.SetLines({"FROMWEBSITE_START", "FROMWEBSITE_PRINT:Hello 100%s", "FROMWEBSITE_END"});
  const auto request = BuildWebRequest("localhost", "/h.php");
  ASSERT_TRUE(request.has_value());
  const std::string reply = Exchange(*request);

  ASSERT_TRUE(server_.WaitForRequests(1, kWaitMs));
  EXPECT_EQ(server_.Requests(),
            std::vector<std::string>{
                "GET /h.php?TAVELKORVERSION=11.0.4 HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n"});
  EXPECT_EQ(reply.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << reply;
  EXPECT_EQ(Body(reply), "FROMWEBSITE_START\r\nFROMWEBSITE_PRINT:Hello 100%s\r\nFROMWEBSITE_END\r\n");
  EXPECT_EQ(server_.LastReply(), reply);
}

TEST_F(WebPageServerTest, SplitReplyStillGivesTheHubToTheParser) {
  server_.SetLines(WebPageServer::HubListLines("203.0.113.9", "hub.example.net:6809"));
  server_.SetChunkBytes(7, 1);
  LoopbackClient client;
  ASSERT_TRUE(client.Connect(kWebPagePort));
  ASSERT_TRUE(client.Send(*BuildWebRequest("localhost", "/h.php")));

  CollectingSink sink;
  WebWayContext context;
  context.sender = "127.0.0.1";
  WebPageParser parser(context, sink);
  // Fed chunk by chunk as they arrive; the status and header lines come
  // before the block and are skipped.
  std::string reply;
  for (int i = 0; i < 10'000 && !client.PeerClosed(); ++i) {
    const std::string chunk = client.Receive(7, kWaitMs);
    if (chunk.empty()) break;
    reply += chunk;
    parser.Feed(chunk);
  }
  EXPECT_TRUE(client.PeerClosed());
  EXPECT_EQ(reply, server_.LastReply());
  EXPECT_EQ(parser.OwnAddress(), "203.0.113.9");
  EXPECT_EQ(parser.HubText(), "hub.example.net:6809");
  EXPECT_EQ(sink.ends, std::vector<WebBlockEnd>{WebBlockEnd::kConnectToNode});
  EXPECT_TRUE(sink.traces.empty());
}

TEST_F(WebPageServerTest, OtherPathsMethodsAndBrokenHeadsAreRefused) {
  struct Case {
    const char* request;
    const char* statusLine;
  };
  const Case cases[] = {
      {"GET /other.php?TAVELKORVERSION=11.0.4 HTTP/1.1\r\nHost: localhost\r\n\r\n", "HTTP/1.1 404 Not Found\r\n"},
      {"POST /h.php HTTP/1.1\r\nHost: localhost\r\n\r\n", "HTTP/1.1 405 Method Not Allowed\r\n"},
      {"nonsense\r\n\r\n", "HTTP/1.1 400 Bad Request\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Exchange(c.request).rfind(c.statusLine, 0), 0u) << c.request;
  EXPECT_EQ(server_.RequestCount(), std::size(cases));
}

TEST_F(WebPageServerTest, FaultsRawReplyAndDrop) {
  server_.SetRawReply("garbage without line ends");
  EXPECT_EQ(Exchange("GET /h.php HTTP/1.1\r\n\r\n"), "garbage without line ends");
  server_.ClearRawReply();
  server_.SetDropConnections(true);
  EXPECT_EQ(Exchange("GET /h.php HTTP/1.1\r\n\r\n"), "");
  server_.SetDropConnections(false);
  // An abrupt end after the whole reply: the lines arrive, then a reset.
  server_.SetLines({"FROMWEBSITE_START"});
  server_.SetAbruptEnd(true);
  EXPECT_EQ(Body(Exchange("GET /h.php HTTP/1.1\r\n\r\n")), "FROMWEBSITE_START\r\n");
  EXPECT_TRUE(server_.WaitForRequests(3, kWaitMs));
}

TEST_F(WebPageServerTest, LogsOneLinePerRequest) {
  RecordedLines log;
  server_.SetEventLog(log.Sink());
  server_.SetLines(WebPageServer::HubListLines("203.0.113.9", "127.0.0.1:6809"));
  struct Case {
    std::function<void()> script;
    const char* request;
    const char* line;
  };
  const Case cases[] = {
      {[] {}, "GET /h.php?TAVELKORVERSION=11.0.4 HTTP/1.1\r\nHost: localhost\r\n\r\n",
       "GET /h.php?TAVELKORVERSION=11.0.4 HTTP/1.1 -> answered 200 OK"},
      {[] {}, "GET /other HTTP/1.1\r\n\r\n", "GET /other HTTP/1.1 -> answered 404 Not Found"},
      {[&] { server_.SetRawReply("junk"); }, "GET /h.php HTTP/1.1\r\n\r\n",
       "GET /h.php HTTP/1.1 -> answered with 4 raw bytes"},
      {[&] { server_.SetDropConnections(true); }, "GET /h.php HTTP/1.1\r\n\r\n",
       "GET /h.php HTTP/1.1 -> dropped without an answer"},
  };
  std::vector<std::string> expected;
  for (const Case& c : cases) {
    c.script();
    Exchange(c.request);
    expected.emplace_back(c.line);
  }
  EXPECT_EQ(log.Lines(), expected);
}

TEST(WebPageServerLifetime, StopsPromptlyWithAClientThatNeverSends) {
  LoopbackClient idle;
  auto server = std::make_unique<WebPageServer>();
  ASSERT_TRUE(server->Ok());
  constexpr int kLongIoMs = 120'000;  // far beyond what a loaded machine adds to a stop
  server->SetIoTimeoutMs(kLongIoMs);
  ASSERT_TRUE(idle.Connect(server->Port()));
  ASSERT_TRUE(idle.Send("GET /h.php HTTP/1.1\r\n"));  // a head that never ends
  ASSERT_TRUE(server->WaitForConnections(1, kWaitMs));
  // The server now waits in its head read; the destructor must not wait out its timeout.
  const auto start = std::chrono::steady_clock::now();
  server.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kLongIoMs / 2));
  EXPECT_EQ(idle.Receive(1, kWaitMs), "");
  EXPECT_TRUE(idle.PeerClosed());
}

}  // namespace
