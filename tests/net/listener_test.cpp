// The listening socket and the Listener: bind errors, calls handed to free
// ways, calls refused when every way is taken.
#include <gtest/gtest.h>

#include <string>

#include "net/frame_codes.h"
#include "base/main_thread.h"
#include "net/listener.h"
#include "test_way.h"
#include "testbed/loopback_peer.h"
#include "win/msgbox.h"

namespace {

constexpr int kWaitMs = 20'000;

class ListenerTest : public WayTest {
 protected:
  void TearDown() override {
    CloseListeningSocket();
    listener_.reset();
    WayTest::TearDown();
  }
  void StartListening() {
    ASSERT_EQ(CreateListeningSocket(0), 0);
    ASSERT_TRUE(IsListening());
    ASSERT_NE(ListeningPort(), 0);
    listener_ = std::make_unique<Listener>();
    ASSERT_EQ(listener_->StartThread(1, 64 * 1024), 1);
  }
  std::unique_ptr<Listener> listener_;
};

TEST_F(ListenerTest, BindOnAPortInUseShowsTheWinSockName) {
  LoopbackServer server;
  ASSERT_TRUE(server.Ok());
  EXPECT_EQ(CreateListeningSocket(server.Port()), -330);
  EXPECT_FALSE(IsListening());
  const auto boxes = ShownMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "TK");
  EXPECT_EQ(boxes[0].text, "binding TCP port " + std::to_string(server.Port()) + " : Error WSAEADDRINUSE");
}

TEST_F(ListenerTest, IncomingCallGoesToTheFirstFreeWayWhichReadsItsFrames) {
  TestWay way0(0);
  TestWay way1(1);
  ASSERT_TRUE(way0.Start());
  ASSERT_TRUE(way1.Start());
  {
    WayTableGuard guard;
    ASSERT_EQ(AllocatePeerWay("BUSY"), 0);
  }
  StartListening();
  EXPECT_GT(ListeningRecvBufferSize(), 0);
  EXPECT_GT(ListeningSendBufferSize(), 0);

  LoopbackClient client;
  ASSERT_TRUE(client.Connect(ListeningPort()));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way1.IsConnected(); }));
  EXPECT_FALSE(way0.IsConnected());
  EXPECT_TRUE(way1.RunOnThread([&] { return way1.AcceptedCall(); }));
  {
    WayTableGuard guard;
    EXPECT_NE(WayTable()[1].stateFlags & kWayAllocated, 0u);
  }
  FrameHeader header;
  header.type = NCSMSG_PILOT;
  const std::vector<std::uint8_t> frame = BuildFrame(FRAME_SYNC_NETWORK, header, {});
  ASSERT_TRUE(client.Send(std::string(frame.begin(), frame.end())));
  ASSERT_TRUE(way1.WaitForFrames(1, kWaitMs));
  EXPECT_EQ(way1.Frames()[0].handler, 'P');
  EXPECT_TRUE(way1.IsConnected()) << "loopback is a trusted address";
}

TEST_F(ListenerTest, CallIsAcceptedAndClosedWhenEveryWayIsTaken) {
  {
    WayTableGuard guard;
    for (int i = 0; i < kPeerWayCount; ++i) ASSERT_EQ(AllocatePeerWay("X"), i);
  }
  StartListening();
  SetTraceConsole(true);
  testing::internal::CaptureStdout();
  LoopbackClient client;
  const bool connected = client.Connect(ListeningPort());
  client.Receive(1, kWaitMs);
  const bool closed = client.PeerClosed();
  // The listener notes the refusal after it closed the call; once it has
  // refused a second call, it has noted the first.
  LoopbackClient second;
  const bool secondConnected = second.Connect(ListeningPort());
  second.Receive(1, kWaitMs);
  const bool secondClosed = second.PeerClosed();
  const std::string traced = testing::internal::GetCapturedStdout();
  SetTraceConsole(false);
  ASSERT_TRUE(connected);
  EXPECT_TRUE(closed);
  ASSERT_TRUE(secondConnected);
  EXPECT_TRUE(secondClosed);
  const std::size_t warning = traced.find("Warning (-1) : Can't accept more connections. Maximum reached !");
  ASSERT_NE(warning, std::string::npos) << traced;
  EXPECT_NE(traced.find("CAN'T ACCEPT MORE CONNECTIONS !", warning), std::string::npos) << traced;
  WayTableGuard guard;
  EXPECT_EQ(AllocatePeerWay(nullptr), -1);
}

TEST_F(ListenerTest, ClosingStopsListeningAndTheThreadStaysStoppable) {
  StartListening();
  CloseListeningSocket();
  EXPECT_FALSE(IsListening());
  EXPECT_EQ(ListeningSocket(), INVALID_SOCKET);
  EXPECT_EQ(ListeningPort(), 0);
  listener_->RequestStop(0);
  EXPECT_TRUE(listener_->WaitForEnd(kWaitMs));
}

}  // namespace
