#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "testbed/loopback_peer.h"
#include "testbed/metar_server.h"

namespace {

constexpr const char* kReport = "2026/12/10 09:00\nLFPG 100900Z 24010KT 9999 FEW030 08/03 Q1015\n";

// Sends one request and reads until the server closes.
std::string Exchange(const MetarServer& server, const std::string& request) {
  LoopbackClient client;
  if (!client.Connect(server.Port()) || !client.Send(request)) return "connect failed";
  return client.Receive(1 << 20, 5000);
}

std::string Get(const MetarServer& server, const std::string& target) {
  return Exchange(server, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
}

std::string Response(int status, const char* reason, const std::string& body) {
  return "HTTP/1.1 " + std::to_string(status) + " " + reason +
         "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

class MetarServerTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Ok());
    server_.SetStation("LFPG", kReport);
  }
  MetarServer server_;
};

}  // namespace

TEST_F(MetarServerTest, ServesTheScriptedTableUnderTheBasePath) {
  EXPECT_EQ(server_.BaseUrl(), "http://127.0.0.1:" + std::to_string(server_.Port()) + "/metar");
  EXPECT_EQ(Get(server_, "/metar/LFPG.TXT"), Response(200, "OK", kReport));
  EXPECT_EQ(Get(server_, "/metar/EGLL.TXT"), Response(200, "OK", "NO METAR FOR EGLL\n"));
  server_.SetStation("LFPG", "replaced\n");
  EXPECT_EQ(Get(server_, "/metar/LFPG.TXT"), Response(200, "OK", "replaced\n"));
  server_.RemoveStation("LFPG");
  EXPECT_EQ(Get(server_, "/metar/LFPG.TXT"), Response(200, "OK", "NO METAR FOR LFPG\n"));
}

TEST_F(MetarServerTest, PathsOutsideTheBaseAreNotFound) {
  for (const char* target : {"/", "/metar", "/metar/", "/metar/.TXT", "/metar/LFPG.txt", "/metar/LFPG",
                             "/metarLFPG.TXT", "/other/LFPG.TXT", "/metar/sub/LFPG.TXT", "/metar/../LFPG.TXT",
                             "/metar/LF.PG.TXT", "/metar/LFPG.TXT?x=1", "/metar/ABCDEFGHI.TXT", "/LFPG.TXT"}) {
    EXPECT_EQ(Get(server_, target), Response(404, "Not Found", "Not found\n")) << target;
  }
}

TEST_F(MetarServerTest, MalformedRequestsAndOtherMethodsAreRefused) {
  struct Case {
    std::string request;
    int status;
    const char* reason;
    const char* body;
  };
  for (const Case& c : {Case{"POST /metar/LFPG.TXT HTTP/1.1\r\n\r\n", 405, "Method Not Allowed", "Method not allowed\n"},
                        Case{"GET /metar/LFPG.TXT\r\n\r\n", 400, "Bad Request", "Bad request\n"},
                        Case{"GET /metar/LFPG.TXT FTP/1.0\r\n\r\n", 400, "Bad Request", "Bad request\n"},
                        Case{"GET /metar/LF PG.TXT HTTP/1.1\r\n\r\n", 400, "Bad Request", "Bad request\n"},
                        Case{"garbage\r\n\r\n", 400, "Bad Request", "Bad request\n"},
                        Case{"GET /metar/LFPG.TXT HTTP/1.1\r\nX: " + std::string(10'000, 'x') + "\r\n\r\n", 400,
                             "Bad Request", "Bad request\n"}}) {
    EXPECT_EQ(Exchange(server_, c.request), Response(c.status, c.reason, c.body)) << c.request.substr(0, 40);
  }
  // Bare line feeds end a head too.
  EXPECT_EQ(Exchange(server_, "GET /metar/LFPG.TXT HTTP/1.0\n\n"), Response(200, "OK", kReport));
}

TEST_F(MetarServerTest, LogsEveryRequestLineAndItsHeaders) {
  Get(server_, "/metar/LFPG.TXT");
  Exchange(server_, "GET /x HTTP/1.1\r\nPragma: no-cache\r\nHost: here\r\n\r\n");
  ASSERT_TRUE(server_.WaitForRequests(2, 1000));
  EXPECT_EQ(server_.RequestLines(), (std::vector<std::string>{"GET /metar/LFPG.TXT HTTP/1.1", "GET /x HTTP/1.1"}));
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].headers, (std::vector<std::string>{"Pragma: no-cache", "Host: here"}));
  EXPECT_EQ(server_.RequestCount(), 2u);
}

TEST_F(MetarServerTest, ForcedStatusAndDroppedConnections) {
  server_.SetForcedStatus(500);
  EXPECT_EQ(Get(server_, "/metar/LFPG.TXT"), Response(500, "Internal Server Error", "Forced status\n"));
  server_.SetForcedStatus(0);
  server_.SetDropConnections(true);
  LoopbackClient client;
  ASSERT_TRUE(client.Connect(server_.Port()));
  ASSERT_TRUE(client.Send("GET /metar/LFPG.TXT HTTP/1.1\r\n\r\n"));
  EXPECT_EQ(client.Receive(1, 5000), "");
  EXPECT_TRUE(client.PeerClosed());
  EXPECT_EQ(server_.RequestCount(), 2u);
  server_.SetDropConnections(false);
  EXPECT_EQ(Get(server_, "/metar/LFPG.TXT"), Response(200, "OK", kReport));
}

TEST_F(MetarServerTest, ADelayedReplyStillArrives) {
  server_.SetReplyDelayMs(100);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Get(server_, "/metar/LFPG.TXT"), Response(200, "OK", kReport));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(90));
}

TEST_F(MetarServerTest, AHeldReplyWaitsUntilItIsLetGo) {
  server_.HoldReplies();
  LoopbackClient client;
  ASSERT_TRUE(client.Connect(server_.Port()));
  ASSERT_TRUE(client.Send("GET /metar/LFPG.TXT HTTP/1.1\r\n\r\n"));
  ASSERT_TRUE(server_.WaitForRequests(1, 20'000));
  EXPECT_EQ(client.Receive(1, 50), "");  // held: nothing yet, and the link stays open
  EXPECT_FALSE(client.PeerClosed());
  server_.ReleaseReplies();
  EXPECT_EQ(client.Receive(1 << 20, 20'000), Response(200, "OK", kReport));
  EXPECT_EQ(Get(server_, "/metar/LFPG.TXT"), Response(200, "OK", kReport));  // not held any more
}

TEST(MetarServer, AnEmptyBasePathServesFromTheRoot) {
  MetarServer server("");
  ASSERT_TRUE(server.Ok());
  server.SetStation("KSFO", "KSFO\n");
  EXPECT_EQ(server.BaseUrl(), "http://127.0.0.1:" + std::to_string(server.Port()));
  EXPECT_EQ(Get(server, "/KSFO.TXT"), Response(200, "OK", "KSFO\n"));
}

TEST(MetarServer, StopsAtOnceWhateverItIsWaitingFor) {
  constexpr int kLongIoMs = 120'000;  // far beyond what a loaded machine adds to a stop
  for (const int delayMs : {0, 60'000}) {
    auto server = std::make_unique<MetarServer>();
    ASSERT_TRUE(server->Ok());
    server->SetIoTimeoutMs(kLongIoMs);
    server->SetReplyDelayMs(delayMs);
    LoopbackClient client;
    ASSERT_TRUE(client.Connect(server->Port()));
    // Without delay: a request that never ends. With it: a reply held back for a minute.
    ASSERT_TRUE(client.Send(delayMs == 0 ? "GET /metar/LFPG.TXT HTTP/1.1\r\n" : "GET / HTTP/1.1\r\n\r\n"));
    // Waiting in the head read, or in the delay once the request is read.
    ASSERT_TRUE(server->WaitForConnections(1, 20'000));
    if (delayMs != 0) {
      ASSERT_TRUE(server->WaitForRequests(1, 20'000));
    }
    const auto start = std::chrono::steady_clock::now();
    server.reset();
    // Well before the lengthened read limit or the minute's delay would have ended it.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kLongIoMs / 4)) << delayMs;
  }
}
