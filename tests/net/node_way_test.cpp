#include "net/node_way.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/main_dialog_state.h"
#include "app/ui_messages.h"
#include "net/frame_codes.h"
#include "net/web_task_way.h"
#include "test_way.h"
#include "testbed/node_server.h"

namespace {

constexpr int kWaitMs = 5000;

class RecordingNodeWay : public CNodeWay {
 public:
  RecordingNodeWay() : CNodeWay(nullptr) {}

  std::vector<std::string> Lines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  bool Traced(const std::string& part) {
    const auto lines = Lines();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.find(part) != std::string::npos; });
  }
  std::vector<std::uint32_t> Events() {
    std::lock_guard lock(mutex_);
    return events_;
  }
  bool Posted(std::uint32_t code) {
    const auto events = Events();
    return std::find(events.begin(), events.end(), code) != events.end();
  }

 protected:
  void NodeTrace(int, bool, const char* text) override {
    std::lock_guard lock(mutex_);
    lines_.emplace_back(text);
  }
  void PostUiEvent(std::uint32_t code) override {
    std::lock_guard lock(mutex_);
    events_.push_back(code);
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> lines_;
  std::vector<std::uint32_t> events_;
};

class NodeWayTest : public WayTest {
 protected:
  void SetUp() override {
    WayTest::SetUp();
    // Made after the library's state is reset: the way takes its locks when built.
    server_ = std::make_unique<NodeServer>();
    way_ = std::make_unique<RecordingNodeWay>();
    SetOwnPublicAddress("");
    g_hubListCountdown.store(0);
    ASSERT_TRUE(server_->Ok());
    SetHubListText("127.0.0.1:" + std::to_string(server_->Port()));
    LoginRecord login;
    login.identity.callsign = "OWN001";
    login.identity.login = "pilot7";
    way_->SetLoginRecord(login);
    ASSERT_TRUE(way_->StartWay());
  }
  void TearDown() override {
    way_->RequestStop(way_->ExitCode());
    way_->WaitForEnd(10'000);
    way_.reset();
    server_.reset();
    SetOwnPublicAddress("");
    SetHubListText("");
    g_hubListCountdown.store(0);
    WayTest::TearDown();
  }

  void Connect() { ASSERT_EQ(way_->Post(nullptr, way_.get(), THRDMSG_CONNECT, 0, 0, "TEST"), 1u); }

  std::unique_ptr<NodeServer> server_;
  std::unique_ptr<RecordingNodeWay> way_;
};

TEST_F(NodeWayTest, SendsTheLoginAndTakesAnAcceptedAcknowledgement) {
  LoginAckRecord ack;
  ack.identity.versionMajor = 11;
  ack.identity.versionMinor = 0;
  ack.identity.versionBuild = 4;
  ack.identity.versionLetter = 'a';  // compared in upper case
  ack.identity.serverToken = 0x5C;
  ack.identity.firstName = "Ada";
  ack.identity.lastName = "Quill";
  ack.serverName = "Hub North";
  ack.serverComments = "welcome";
  ack.platformBits = 1;
  server_->SetLoginAck(ack);
  Connect();

  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return server_->FrameCount() >= 1; }));
  const Frame login = server_->Frames().front();
  EXPECT_EQ(login.header.type, NCSMSG_LOGIN);
  EXPECT_EQ(login.header.subCode, 0);
  ASSERT_EQ(login.body.size(), kLoginRecordSize);
  LoginRecord sent;
  ASSERT_EQ(ReadLoginRecord(login.body, sent), kNodeRecordOk);
  EXPECT_EQ(sent.identity.callsign, "OWN001");
  EXPECT_EQ(sent.identity.login, "pilot7");
  EXPECT_EQ(sent.identity.serverToken, 0);

  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way_->Posted(UIMSG_LOGIN_ACCEPTED); }));
  EXPECT_TRUE(way_->LoginAccepted());
  EXPECT_FALSE(way_->ConnectInProgress());
  EXPECT_EQ(way_->LoggedInBits() & kWayLoggedIn, kWayLoggedIn);
  EXPECT_EQ(way_->ServerName(), "Hub North");
  EXPECT_EQ(way_->FirstName(), "Ada");
  EXPECT_EQ(way_->LastName(), "Quill");
  EXPECT_EQ(way_->ServerToken(), 0x5C);
  EXPECT_EQ(way_->CurrentHubAddress(), "127.0.0.1");
  EXPECT_EQ(way_->HubPort(), server_->Port());
  // The server fills a zero address with the one it sees.
  EXPECT_EQ(OwnPublicAddress(), "127.0.0.1");
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way_->Traced("None."); }));
  EXPECT_TRUE(way_->Traced("  linNCS v11.0.4.a"));
  EXPECT_TRUE(way_->Traced("Hub North"));
}

TEST_F(NodeWayTest, AKnownPublicAddressIsKept) {
  SetOwnPublicAddress("203.0.113.9");
  server_->SetServerVersion(11, 0, 4, 'A');
  Connect();
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way_->LoginAccepted(); }));
  EXPECT_EQ(OwnPublicAddress(), "203.0.113.9");
}

TEST_F(NodeWayTest, RatingNamesArePrintedInOrder) {
  server_->SetServerVersion(12, 1, 0, 'C');
  server_->SetRatings((1u << 0) | (1u << 3) | (1u << 23));
  Connect();
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way_->Traced("IFR"); }));
  const auto lines = way_->Lines();
  const auto at = std::find(lines.begin(), lines.end(), std::string("Your Licenses & skills :"));
  ASSERT_NE(at, lines.end());
  const std::vector<std::string> tail(at + 1, lines.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"PPL", " - ", "IFR"}));
}

TEST_F(NodeWayTest, AnOldServerIsRefusedAndTheLinkIsNotRetried) {
  struct Case {
    std::uint8_t major, minor, build;
    char letter;
    const char* line;
  };
  const Case cases[] = {
      {11, 0, 3, 'Z',
       "Sorry, this server's version (v 11.0.3.Z ) is too old to connect to ! Check with your webmaster."},
      {10, 9, 9, 'A',
       "Sorry, this server's version (v 10.9.9.A ) is too old to connect to ! Check with your webmaster."},
  };
  std::size_t links = 0;
  for (const Case& oldServer : cases) {
    SCOPED_TRACE(oldServer.line);
    server_->SetServerVersion(oldServer.major, oldServer.minor, oldServer.build, oldServer.letter);
    Connect();
    ++links;
    ASSERT_TRUE(server_->WaitForLink(links, kWaitMs));
    ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way_->Traced(oldServer.line); }));
    EXPECT_TRUE(server_->WaitForLinkEnd(kWaitMs));
    ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way_->Posted(UIMSG_LOGOUT); }));
    EXPECT_FALSE(way_->Posted(UIMSG_LOGIN_ACCEPTED));
    EXPECT_FALSE(way_->LoginAccepted());
    EXPECT_EQ(way_->LoggedInBits() & kWayLoggedIn, 0u);
    EXPECT_EQ(g_hubListCountdown.load(), 0);
  }
  // Let the way run on: nothing connects again by itself.
  TestWay::WaitFor(300, [] { return false; });
  EXPECT_EQ(server_->LinksAccepted(), links);
}

TEST_F(NodeWayTest, HeartbeatsGoBothWaysOnceLoggedIn) {
  server_->SetServerVersion(11, 0, 4, 'B');
  Connect();
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way_->LoginAccepted(); }));
  const std::size_t before = server_->FrameCount();
  ASSERT_EQ(way_->Post(nullptr, way_.get(), THRDMSG_HEARTBEAT, 0, 0, "TEST"), 1u);
  ASSERT_TRUE(server_->WaitForFrames(before + 1, kWaitMs));
  const Frame beat = server_->Frames().back();
  EXPECT_EQ(beat.header.type, kNcsMsgHeaderOnly);
  EXPECT_EQ(beat.header.length, 0u);
  EXPECT_TRUE(beat.body.empty());

  g_hubRefreshCounter.store(77);
  ASSERT_TRUE(server_->SendHeartbeat());
  EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [] { return g_hubRefreshCounter.load() == 0; }));
  EXPECT_TRUE(server_->Linked());
}

TEST_F(NodeWayTest, AHeartbeatBeforeTheLoginClosesTheLink) {
  server_->SetAnswerLogins(false);
  g_hubRefreshCounter.store(77);
  Connect();
  ASSERT_TRUE(server_->WaitForFrames(1, kWaitMs));
  ASSERT_TRUE(server_->SendHeartbeat());
  EXPECT_TRUE(server_->WaitForLinkEnd(kWaitMs));
  EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way_->Traced("RxNL 52 / 0"); }));
  EXPECT_EQ(g_hubRefreshCounter.load(), 77u);
  EXPECT_FALSE(way_->LoginAccepted());
}

TEST_F(NodeWayTest, AHeartbeatIsNotSentWithoutALink) {
  ASSERT_EQ(way_->Post(nullptr, way_.get(), THRDMSG_HEARTBEAT, 0, 0, "TEST"), 1u);
  TestWay::WaitFor(200, [] { return false; });
  EXPECT_EQ(server_->LinksAccepted(), 0u);
  EXPECT_EQ(server_->FrameCount(), 0u);
}

}  // namespace
