// A caller on the listening port whose kind is not yet known, over real
// loopback sockets: the node frame handler serves it behind its login gate,
// a body that does not follow its header closes the link, and the trust check
// of the accepted call.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "core/main_dialog_state.h"
#include "base/main_thread.h"
#include "base/trusted_addresses.h"
#include "net/frame_codes.h"
#include "net/listener.h"
#include "net/node_records.h"
#include "support/frame_bytes.h"
#include "test_way.h"
#include "testbed/loopback_peer.h"
#include "win/clock.h"

namespace {

constexpr int kWaitMs = 5'000;

class CallerFramesTest : public WayTest {
 protected:
  void SetUp() override {
    WayTest::SetUp();
    way_ = std::make_unique<TestWay>(0);
    way_->ServeNodeFrames();
    ASSERT_TRUE(way_->Start());
    ASSERT_EQ(CreateListeningSocket(0), 0);
    listener_ = std::make_unique<Listener>();
    ASSERT_EQ(listener_->StartThread(1, 64 * 1024), 1);
  }
  void TearDown() override {
    CloseListeningSocket();
    listener_.reset();
    way_.reset();
    WayTest::TearDown();
  }
  void Call() {
    ASSERT_TRUE(client_.Connect(ListeningPort()));
    ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way_->IsConnected(); }));
  }
  // The reason is kept when the way serves its disconnection notice.
  static bool LostWith(TestWay& way, const std::string& tag) {
    return TestWay::WaitFor(kWaitMs, [&] {
      return way.RunOnThread([&] { return std::string(way.LostReason()); }).find(tag) != std::string::npos;
    });
  }
  bool LostWith(const std::string& tag) { return LostWith(*way_, tag); }
  bool Closed() {
    client_.Receive(1, kWaitMs);
    return client_.PeerClosed();
  }

  std::unique_ptr<TestWay> way_;
  std::unique_ptr<Listener> listener_;
  LoopbackClient client_;
};

TEST_F(CallerFramesTest, TheOpenPortTestIsAnsweredAndTheLinkClosesOnTheNextSecond) {
  Call();
  ASSERT_TRUE(client_.Send(AsString(Header(NCSMSG_OPEN_PORT_TEST, kOpenPortTestRequest, 0, 0))));
  const std::string reply = client_.Receive(12 + kOpenPortTestReplySize, kWaitMs);
  ASSERT_EQ(reply.size(), 12 + kOpenPortTestReplySize);
  EXPECT_EQ(reply.substr(0, 4), std::string("\xA1\xB2\xC3\x17", 4));
  EXPECT_EQ(reply.substr(8, 4), std::string("\x80\0\0\0", 4));
  for (std::size_t i = 0; i < kOpenPortTestReplySize; ++i) {
    ASSERT_EQ(static_cast<std::uint8_t>(reply[12 + i]), i) << i;
  }
  EXPECT_TRUE(way_->IsConnected()) << "the link stays until the next second";
  g_secondsCounter.fetch_add(1);
  EXPECT_TRUE(Closed());
  EXPECT_TRUE(LostWith("o_TTES"));
}

struct RefusedCase {
  const char* label;
  std::uint8_t type;
  std::uint8_t subCode;
  std::uint32_t bodyLength;
  const char* reason;   // tag the link was closed with
  const char* traced;   // a node line or protocol error holding this, when one is printed
  bool gate = false;    // refused in front of the order handler, even one that takes every order
};

class CallerRefusedTest : public CallerFramesTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(CallerRefusedTest, ClosesTheLink) {
  const RefusedCase& c = GetParam();
  if (c.gate) way_->TakeNodeOrders();
  Call();
  const Bytes body(c.bodyLength, 0x41);
  ASSERT_TRUE(client_.Send(AsString(Concat(Header(c.type, c.subCode, 0, c.bodyLength), body))));
  EXPECT_TRUE(Closed());
  EXPECT_EQ(client_.Receive(1, 0), "") << "nothing is answered";
  EXPECT_TRUE(LostWith(c.reason)) << c.reason;
  if (c.traced != nullptr) {
    bool seen = way_->NodeTraced(c.traced);
    for (const std::string& error : way_->NodeErrors()) seen = seen || error.find(c.traced) != std::string::npos;
    EXPECT_TRUE(seen) << c.traced;
  }
  EXPECT_EQ(way_->LoggedInBits(), 0u);
  if (c.gate) {
    EXPECT_TRUE(way_->TakenNodeOrders().empty()) << "the order reached the order handler";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CallerRefusedTest,
    ::testing::Values(
        RefusedCase{"ReconnectLaterBeforeALogin", NCSMSG_STANDARD, 52, 0, "HRFN_0", "RxNL 53 / 52", true},
        RefusedCase{"StopReconnecting", NCSMSG_STANDARD, 0, 0, "HRFN_0", "RxNL 53 / 0", true},
        RefusedCase{"LoginAcknowledgement", NCSMSG_LOGIN, NCSUB_LOGIN_ACK, kLoginAckRecordSize, "HRFN_0",
                    "RxNL 1 / 1", true},
        RefusedCase{"TrustedAddressOrder", NCSMSG_TRUSTED_IP, 0, 16, "HRFN_0", "RxNL 59 / 0", true},
        RefusedCase{"UnknownType", 7, 3, 4, "HRFN_200", "SYSERR_4900 : 7 / 3  | HRFN_200"},
        RefusedCase{"UnknownStandardSubCode", NCSMSG_STANDARD, 9, 0, "HRFN_20", "SYSERR_4210 : 53 / 9 "},
        RefusedCase{"OpenPortTestOfAnotherSubCode", NCSMSG_OPEN_PORT_TEST, 0, 0, "HRFN_OPT0", nullptr}),
    [](const auto& testInfo) { return std::string(testInfo.param.label); });

TEST_F(CallerFramesTest, TestAndTextStyleFramesAreServedAndTheLinkStays) {
  Call();
  std::string text = "hello %s";
  Bytes setAttrib = {static_cast<std::uint8_t>(text.size()), 0};
  setAttrib.insert(setAttrib.end(), text.begin(), text.end());
  ASSERT_TRUE(client_.Send(AsString(Header(NCSMSG_TEST, 1, 0, 0)) +
                           AsString(Concat(Header(kNcsMsgTextAttributes, NCSUB_SETATTRIB, 0,
                                                  static_cast<std::uint32_t>(setAttrib.size())),
                                           setAttrib))));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way_->NodeTraced("hello %s"); }));
  EXPECT_TRUE(way_->NodeTraced("System Test SYSTEST_0001"));
  EXPECT_TRUE(way_->IsConnected());
  EXPECT_TRUE(way_->NodeErrors().empty());
}

TEST_F(CallerFramesTest, TheDumpOfARefusedFrameShowsTheBytesBehindItsHeader) {
  SetTraceConsole(true);
  testing::internal::CaptureStdout();
  Call();
  ASSERT_TRUE(client_.Send(AsString(Concat(Header(7, 3, 0, 4), AsBytes("wxyz")))));
  const bool closed = Closed();
  const std::string traced = testing::internal::GetCapturedStdout();
  SetTraceConsole(false);
  ASSERT_TRUE(closed);
  EXPECT_NE(traced.find("{ [07][03][00][00][04][00][00][00]wxy }"), std::string::npos) << traced;
}

// A type-10 frame whose header announces 100 body bytes and then sends 10.
TEST_F(CallerFramesTest, ABodyThatDoesNotFollowItsHeaderInTimeClosesTheLink) {
  Call();
  ASSERT_TRUE(client_.Send(AsString(Concat(Header(kNcsMsgTextAttributes, NCSUB_SETATTRIB, 0, 100), Bytes(10, 'a')))));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] {
    return way_->RunOnThread([&] { return way_->Hunter().BodyBytesAwaited(); }) == 90u;
  }));
  AdvanceTickCountForTest(kReadBytesLimitMs / 2);
  EXPECT_FALSE(TestWay::WaitFor(200, [&] { return !way_->IsConnected(); }))
      << "within the read limit the body is waited for";
  AdvanceTickCountForTest(kReadBytesLimitMs / 2);
  EXPECT_TRUE(Closed());
  EXPECT_TRUE(LostWith(kBodyTimeoutReason));
  EXPECT_TRUE(way_->Frames().empty());
}

// A raw caller from a chosen loopback address.
class CallerFrom {
 public:
  CallerFrom(const char* source, std::uint16_t port) {
    socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, source, &from.sin_addr);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = bind(socket_, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0 &&
                 connect(socket_, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
  }
  ~CallerFrom() {
    if (socket_ >= 0) close(socket_);
  }
  bool Connected() const { return connected_; }
  // True once the far side closed the link.
  bool WaitForClose(int timeoutMs) {
    pollfd wait{socket_, POLLIN, 0};
    char byte = 0;
    return poll(&wait, 1, timeoutMs) == 1 && recv(socket_, &byte, 1, 0) <= 0;
  }

 private:
  int socket_ = -1;
  bool connected_ = false;
};

TEST_F(CallerFramesTest, OnlyATrustedCallerStaysConnected) {
  AddTrustedAddressText("127.0.0.3");
  auto second = std::make_unique<TestWay>(1);
  ASSERT_TRUE(second->Start());

  CallerFrom trusted("127.0.0.3", ListeningPort());
  ASSERT_TRUE(trusted.Connected());
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way_->IsConnected(); }));
  // The check the connection notice runs, and a disconnect it may ask for, are served.
  way_->RunOnThread([] { return 0; });
  way_->RunOnThread([] { return 0; });
  CallerFrom untrusted("127.0.0.2", ListeningPort());
  ASSERT_TRUE(untrusted.Connected());
  EXPECT_TRUE(untrusted.WaitForClose(kWaitMs));
  EXPECT_TRUE(LostWith(*second, "KONEPA"));
  // The trust check of the first call ran before the second was taken.
  EXPECT_TRUE(way_->IsConnected());
  EXPECT_FALSE(trusted.WaitForClose(0));
  CloseListeningSocket();
  listener_.reset();
}

}  // namespace
