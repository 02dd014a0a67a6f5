// The dispatcher's gates over real loopback sockets: texts need a logged-in
// way, NCSMSG_ANY_PEER a trusted sender, and compressed records are checked
// before they are unpacked.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "base/main_thread.h"
#include "base/trusted_addresses.h"
#include "net/compressed_record.h"
#include "net/frame_codes.h"
#include "net/text_display.h"
#include "net/text_records.h"
#include "test_way.h"
#include "testbed/loopback_peer.h"

namespace {

constexpr int kWaitMs = 5'000;

std::string AsText(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

std::string PlainFrame(std::uint8_t type, std::uint8_t subCode, const std::string& body = {}) {
  FrameHeader header;
  header.type = type;
  header.subCode = subCode;
  return AsText(BuildFrame(FRAME_SYNC_NETWORK, header,
                           {reinterpret_cast<const std::uint8_t*>(body.data()), body.size()}));
}

std::string CompressedFrame(std::uint8_t type, std::span<const std::uint8_t> record) {
  FrameHeader header;
  header.type = type;
  std::vector<std::uint8_t> frame;
  EXPECT_EQ(BuildCompressedFrame(FRAME_SYNC_NETWORK, header, record, frame), 0);
  return AsText(frame);
}

std::string OnAirFrame(const std::string& sender, const std::string& text) {
  TextOnAirRecord record;
  record.sender = sender;
  record.text = text;
  record.frequencyMhz = 123.45;
  return CompressedFrame(NCSMSG_TEXT_ON_AIR, WriteTextOnAirRecord(record));
}

class FrameGatesTest : public WayTest {
 protected:
  void Connect(TestWay& way) {
    ASSERT_TRUE(server_.Ok());
    ASSERT_TRUE(way.Start());
    ASSERT_EQ(way.RunOnThread([&] { return way.ConnectWay("127.0.0.1", server_.Port()); }), 0);
    ASSERT_TRUE(server_.WaitForConnections(1, kWaitMs));
    ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way.IsConnected(); }));
    SetTraceConsole(true);
    testing::internal::CaptureStdout();
    capturing_ = true;
  }
  std::string Traced() {
    if (!capturing_) return traced_;
    capturing_ = false;
    traced_ = testing::internal::GetCapturedStdout();
    SetTraceConsole(false);
    return traced_;
  }
  void TearDown() override {
    Traced();
    WayTest::TearDown();
  }

  LoopbackServer server_;
  bool capturing_ = false;
  std::string traced_;
};

TEST_F(FrameGatesTest, TextBeforeTheLoginClosesTheLink) {
  TestWay way(6);
  Connect(way);
  ASSERT_TRUE(server_.Send(OnAirFrame("PEER7", "too early")));
  ASSERT_TRUE(server_.WaitForPeerClose(kWaitMs));
  const std::string traced = Traced();
  EXPECT_NE(traced.find("Rx?1NL 74 / 0"), std::string::npos) << traced;
  EXPECT_EQ(traced.find("too early"), std::string::npos) << traced;
  ASSERT_FALSE(RecordedPauses().empty());
  EXPECT_EQ(RecordedPauses().front(), kProtocolErrorPauseMs);
  // The way closes its socket before it queues the notice that keeps the reason.
  EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [&] {
    return std::string(way.RunOnThread([&] { return std::string(way.LostReason()); })).find("HRUN_1") !=
           std::string::npos;
  }));
}

// What the chat routing was handed, by the way threads.
struct HandedTexts {
  std::mutex lock;
  std::vector<TextOnAirRecord> onAir;
  std::vector<PrivateTextRecord> privateTexts;
};
HandedTexts& Handed() {
  static HandedTexts handed;
  return handed;
}

TEST_F(FrameGatesTest, ALoggedInWayHandsTextsToTheDisplayAndSkipsRecordsItCannotTrust) {
  {
    std::lock_guard guard(Handed().lock);
    Handed().onAir.clear();
    Handed().privateTexts.clear();
  }
  SetTextDisplayHooks({[](CBaseThread&, const TextOnAirRecord& r) {
                         std::lock_guard guard(Handed().lock);
                         Handed().onAir.push_back(r);
                       },
                       [](CBaseThread&, const PrivateTextRecord& r) {
                         std::lock_guard guard(Handed().lock);
                         Handed().privateTexts.push_back(r);
                       }});
  TestWay way(6);
  Connect(way);
  way.RunOnThread([&] {
    way.SetLoggedInBits(kWayLoggedIn);
    return 0;
  });

  // On-air text whose size word names the private record: skipped whole.
  TextOnAirRecord wrong;
  wrong.sender = "WRONG";
  wrong.text = "never shown";
  const TextOnAirRecordBytes onAir = WriteTextOnAirRecord(wrong);
  std::string wrongSize = CompressedFrame(NCSMSG_TEXT_ON_AIR, onAir);
  PutU32(reinterpret_cast<std::uint8_t*>(wrongSize.data()) + 12, kPrivateTextRecordSize);
  // A packed length past what the codec can produce for the record.
  std::string overlong = CompressedFrame(NCSMSG_TEXT_ON_AIR, onAir);
  PutU32(reinterpret_cast<std::uint8_t*>(overlong.data()) + 16, 0x7FFFFFFF);
  // A stream the codec refuses: its result is printed, not the reader's code.
  std::string undecodable = CompressedFrame(NCSMSG_TEXT_ON_AIR, onAir);
  std::fill(undecodable.begin() + 20, undecodable.end(), '\xFF');

  PrivateTextRecord privateText;
  privateText.sender = "PEER7";
  privateText.recipient = "OWN001";
  privateText.text = "private %s %n";
  ASSERT_TRUE(server_.Send(wrongSize + overlong + undecodable + OnAirFrame("PEER7", "hello on air %s") +
                           CompressedFrame(NCSMSG_TEXT_PRIVATE, WritePrivateTextRecord(privateText))));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way.RunOnThread([&] { return way.Hunter().FramesFound(); }) >= 5; }));
  EXPECT_TRUE(way.IsConnected());
  const std::string traced = Traced();
  EXPECT_NE(traced.find("SYSERR_11030 : 544 / 552"), std::string::npos) << traced;
  EXPECT_NE(traced.find("SYSERR_11020 : 2147483647"), std::string::npos) << traced;
  EXPECT_NE(traced.find("SYSERR_11010 : -100 "), std::string::npos) << traced;
  SetTextDisplayHooks({});
  std::lock_guard guard(Handed().lock);
  ASSERT_EQ(Handed().onAir.size(), 1u) << "only the sound on-air record";
  EXPECT_EQ(Handed().onAir[0].sender, "PEER7");
  EXPECT_EQ(Handed().onAir[0].text, "hello on air %s");
  ASSERT_EQ(Handed().privateTexts.size(), 1u);
  EXPECT_EQ(Handed().privateTexts[0].recipient, "OWN001");
  EXPECT_EQ(Handed().privateTexts[0].text, "private %s %n");
}

// 127.0.0.2 is a loopback address but not the trusted 127.0.0.1.
class UntrustedListener {
 public:
  UntrustedListener() {
    listening_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(0x7F000002);
    socklen_t size = sizeof address;
    if (bind(listening_, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(listening_, 1) != 0 ||
        getsockname(listening_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
  }
  ~UntrustedListener() {
    if (link_ >= 0) close(link_);
    if (listening_ >= 0) close(listening_);
  }
  std::uint16_t Port() const { return port_; }
  bool Accept() {
    pollfd wait{listening_, POLLIN, 0};
    if (poll(&wait, 1, kWaitMs) != 1) return false;
    link_ = accept(listening_, nullptr, nullptr);
    return link_ >= 0;
  }
  bool Send(const std::string& bytes) {
    return ::send(link_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  }
  // True once the far side closed the link.
  bool WaitForClose() {
    pollfd wait{link_, POLLIN, 0};
    char byte = 0;
    return poll(&wait, 1, kWaitMs) == 1 && recv(link_, &byte, 1, 0) <= 0;
  }

 private:
  int listening_ = -1;
  int link_ = -1;
  std::uint16_t port_ = 0;
};

TEST_F(FrameGatesTest, AnyPeerFramesFromAnUntrustedSenderCloseTheLink) {
  UntrustedListener peer;
  ASSERT_NE(peer.Port(), 0);
  TestWay way(6);
  ASSERT_TRUE(way.Start());
  way.SetPeerKind('P');
  ASSERT_EQ(way.RunOnThread([&] { return way.ConnectWay("127.0.0.2", peer.Port()); }), 0);
  ASSERT_TRUE(peer.Accept());
  SetTraceConsole(true);
  testing::internal::CaptureStdout();
  capturing_ = true;
  ASSERT_TRUE(peer.Send(PlainFrame(NCSMSG_ANY_PEER, NCSUB_START_TUNNEL)));
  EXPECT_TRUE(peer.WaitForClose());
  const std::string traced = Traced();
  EXPECT_NE(traced.find("Rx?0NL 106 / 53"), std::string::npos) << traced;
  EXPECT_TRUE(way.KindMessages().empty());
}

TEST_F(FrameGatesTest, ATrustedTunnelStartMakesTheWayLogIn) {
  AddTrustedAddressText("127.0.0.1");
  TestWay way(6);
  Connect(way);
  way.SetPeerKind('P');
  ASSERT_TRUE(server_.Send(PlainFrame(NCSMSG_ANY_PEER, 7) + PlainFrame(NCSMSG_ANY_PEER, NCSUB_START_TUNNEL)));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return !way.KindMessages().empty(); }));
  EXPECT_EQ(way.KindMessages(), std::vector<std::uint32_t>{THRDMSG_CONNECT});
  EXPECT_TRUE(way.IsConnected());
}

}  // namespace
