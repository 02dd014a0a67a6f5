#include "testbed/node_server.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <system_error>
#include <utility>

#include "base/klib_settings.h"
#include "net/compressed_record.h"
#include "net/frame_codes.h"

namespace {

constexpr int kPollMs = 200;  // bounds each wait; stop and drop wake it at once

LoginAckRecord DefaultAck() {
  LoginAckRecord ack;
  ack.identity.peerKind = 'N';
  ack.identity.versionMajor = 11;
  ack.identity.versionMinor = 0;
  ack.identity.versionBuild = 4;
  ack.identity.versionLetter = 'A';
  ack.identity.serverToken = 0x5A;
  ack.identity.firstName = "Test";
  ack.identity.lastName = "Pilot";
  ack.serverName = "Loopback Node";
  ack.serverComments = "Stand-in for tests";
  ack.platformBits = 1;
  return ack;
}

// The plain 560-byte login, or one packed as a compressed record.
bool IsLoginBody(const Frame& frame) {
  if (!frame.header.Compressed()) return frame.body.size() == kLoginRecordSize;
  LoginRecordBytes record{};
  return UnpackCompressedRecord(frame.body, record) == kRecordOk;
}

std::span<const std::uint8_t> AsBytes(const std::vector<std::uint8_t>& v) { return v; }

}  // namespace

NodeServer::NodeServer() : ack_(DefaultAck()) {
  if (!listener_.Ok() || wake_.Fd() < 0) return;
  try {
    thread_ = std::thread(&NodeServer::Run, this);
  } catch (const std::system_error&) {
    // Ok() stays false.
  }
}

NodeServer::~NodeServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.Signal();
  if (thread_.joinable()) thread_.join();
}

void NodeServer::SetLoginAck(const LoginAckRecord& ack) {
  std::lock_guard lock(mutex_);
  ack_ = ack;
}

void NodeServer::SetServerVersion(std::uint8_t major, std::uint8_t minor, std::uint8_t build,
                                  char letter) {
  std::lock_guard lock(mutex_);
  ack_.identity.versionMajor = major;
  ack_.identity.versionMinor = minor;
  ack_.identity.versionBuild = build;
  ack_.identity.versionLetter = letter;
}

void NodeServer::SetRatings(std::uint32_t ratingBits) {
  std::lock_guard lock(mutex_);
  ack_.identity.ratingBits = ratingBits;
}

void NodeServer::SetAnswerLogins(bool answer) {
  std::lock_guard lock(mutex_);
  answerLogins_ = answer;
}

std::vector<Frame> NodeServer::Frames() const {
  std::lock_guard lock(mutex_);
  return frames_;
}

std::size_t NodeServer::FrameCount() const {
  std::lock_guard lock(mutex_);
  return frameCount_;
}

bool NodeServer::WaitForFrames(std::size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                           [&] { return frameCount_ >= count; });
}

std::size_t NodeServer::LoginsAnswered() const {
  std::lock_guard lock(mutex_);
  return loginsAnswered_;
}

std::size_t NodeServer::LinksAccepted() const {
  std::lock_guard lock(mutex_);
  return linksAccepted_;
}

bool NodeServer::WaitForLink(std::size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                           [&] { return linksAccepted_ >= count && linked_; });
}

bool NodeServer::Linked() const {
  std::lock_guard lock(mutex_);
  return linked_;
}

bool NodeServer::WaitForLinkEnd(int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                           [&] { return !linked_; });
}

std::size_t NodeServer::ProtocolErrors() const {
  std::lock_guard lock(mutex_);
  return protocolErrors_;
}

bool NodeServer::SendRaw(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(sendMutex_);
  return link_ != INVALID_SOCKET && SendOn(link_, bytes);
}

bool NodeServer::SendFrame(std::uint8_t type, std::uint8_t subCode,
                           std::span<const std::uint8_t> body) {
  FrameHeader header;
  header.type = type;
  header.subCode = subCode;
  const std::vector<std::uint8_t> frame = BuildFrame(FRAME_SYNC_NETWORK, header, body);
  return !frame.empty() && SendRaw(frame);
}

bool NodeServer::SendCompressed(std::uint8_t type, std::uint8_t subCode,
                                std::span<const std::uint8_t> record) {
  FrameHeader header;
  header.type = type;
  header.subCode = subCode;
  std::vector<std::uint8_t> frame;
  if (BuildCompressedFrame(FRAME_SYNC_NETWORK, header, record, frame) != 0) return false;
  return SendRaw(frame);
}

bool NodeServer::SendHeartbeat() { return SendFrame(kNcsMsgHeaderOnly, 0); }

bool NodeServer::SendTest(std::uint8_t subCode) { return SendFrame(NCSMSG_TEST, subCode); }

bool NodeServer::SendOpenPortTest(std::uint8_t subCode) {
  return SendFrame(NCSMSG_OPEN_PORT_TEST, subCode);
}

bool NodeServer::SendLineBreak() { return SendFrame(kNcsMsgTextAttributes, kTextStyleLineBreak); }

bool NodeServer::SendSetAttrib(std::string_view text) {
  return SendFrame(kNcsMsgTextAttributes, kTextStyleSetAttrib, AsBytes(WriteSetAttribBody(text)));
}

bool NodeServer::SendTextFormat(std::uint32_t effects, std::uint32_t colour) {
  return SendFrame(kNcsMsgTextAttributes, kTextStyleFormat, WriteTextStylePair({effects, colour}));
}

bool NodeServer::SendTextDelimiters(std::uint8_t subCode, std::uint32_t first,
                                    std::uint32_t second) {
  return SendFrame(kNcsMsgTextAttributes, subCode, WriteTextStylePair({first, second}));
}

bool NodeServer::SendStandard(std::uint8_t subCode) { return SendFrame(NCSMSG_STANDARD, subCode); }

bool NodeServer::SendServerText(std::uint8_t subCode, const ServerTextRecord& record) {
  return SendCompressed(NCSMSG_STANDARD, subCode, WriteServerTextRecord(record));
}

bool NodeServer::SendNeighbourLink(const NeighbourLinkRecord& record) {
  return SendFrame(kNcsMsgConnectNeighbour, 0, WriteNeighbourLinkRecord(record));
}

bool NodeServer::SendTunnelRequest(const TunnelRequestRecord& record) {
  return SendFrame(NCSMSG_REQ_TUNNCONNECTME, 0, WriteTunnelRequestRecord(record));
}

bool NodeServer::SendTrustedIp(std::uint32_t address, bool remove) {
  return SendFrame(NCSMSG_TRUSTED_IP, remove ? 1 : 0, WriteTrustedIpRecord(address));
}

bool NodeServer::SendInCockpit(std::uint16_t seconds) {
  return SendFrame(NCSMSG_CHECK_INCOCKPIT, 0, WriteInCockpitBody(seconds));
}

bool NodeServer::SendLongHaulText(const PrivateTextRecord& record) {
  return SendCompressed(NCSMSG_TEXT_LONGHAUL, 0, WritePrivateTextRecord(record));
}

bool NodeServer::SendVoiceBlock(std::span<const std::uint8_t> voiceFrame) {
  return SendFrame(NCSMSG_BLOCK, 0, AsBytes(WriteVoiceBlock(voiceFrame)));
}

bool NodeServer::DropLink() {
  {
    std::lock_guard lock(mutex_);
    if (!linked_) return false;
    dropRequested_ = true;
  }
  wake_.Signal();
  return true;
}

bool NodeServer::SendOn(SOCKET s, std::span<const std::uint8_t> bytes) {
  const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return tcp_io::SendAll(s, view, kSendTimeoutMs, -1);
}

void NodeServer::Run() {
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
    }
    bool stopped = false;
    const SOCKET s = listener_.Accept(wake_.Fd(), kPollMs, &stopped);
    if (stopped) {
      // A drop asked for between links wakes the accept too: forget it.
      wake_.Clear();
      bool dropOnly = false;
      {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        dropOnly = dropRequested_;
        dropRequested_ = false;
      }
      // A failing poll must not spin.
      if (!dropOnly) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    if (s != INVALID_SOCKET) Serve(s);
  }
}

void NodeServer::Serve(SOCKET s) {
  WsSetNonBlocking(s, true);
  {
    std::lock_guard lock(sendMutex_);
    link_ = s;
  }
  {
    std::lock_guard lock(mutex_);
    ++linksAccepted_;
    linked_ = true;
    dropRequested_ = false;
  }
  changed_.notify_all();

  FrameHunter hunter;
  std::array<std::uint8_t, 16384> chunk{};
  for (;;) {
    const int ready = WsWaitReadable(s, wake_.Fd(), kPollMs);
    if (ready < 0) break;
    if ((ready & WS_WAIT_WAKE) != 0) {
      wake_.Clear();
      std::lock_guard lock(mutex_);
      if (stopping_ || dropRequested_) break;
    }
    if ((ready & WS_WAIT_SOCKET) == 0) continue;
    const int n = WsRecv(s, chunk.data(), chunk.size(), MSG_DONTWAIT);
    if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) continue;
    if (n <= 0) break;
    hunter.Feed(std::span<const std::uint8_t>(chunk.data(), static_cast<std::size_t>(n)));
    if (!TakeFrames(s, hunter)) break;
  }
  EndLink(s);
}

bool NodeServer::TakeFrames(SOCKET s, FrameHunter& hunter) {
  for (;;) {
    Frame frame;
    const HuntResult result = hunter.NextFrame(frame);
    if (result == HuntResult::NeedMore) return true;
    if (result == HuntResult::Error) {
      {
        std::lock_guard lock(mutex_);
        ++protocolErrors_;
      }
      changed_.notify_all();
      return false;
    }
    const bool isLogin = frame.header.type == NCSMSG_LOGIN && frame.header.subCode == NCSUB_LOGIN &&
                         IsLoginBody(frame);
    bool answer = false;
    {
      std::lock_guard lock(mutex_);
      ++frameCount_;
      if (frames_.size() < kMaxRecordedFrames) frames_.push_back(std::move(frame));
      answer = isLogin && answerLogins_;
    }
    changed_.notify_all();
    if (answer) AnswerLogin(s);
  }
}

void NodeServer::AnswerLogin(SOCKET s) {
  LoginAckRecord ack;
  {
    std::lock_guard lock(mutex_);
    ack = ack_;
  }
  if (ack.identity.publicAddress == 0) {
    sockaddr_in peer{};
    if (WsGetPeerName(s, &peer) == 0) ack.identity.publicAddress = peer.sin_addr.s_addr;
  }
  const std::vector<std::uint8_t> frame = BuildLoginAckFrame(ack);
  // Counted before the send: a client may read the ack before the send returns.
  {
    std::lock_guard lock(mutex_);
    ++loginsAnswered_;
  }
  bool sent = false;
  {
    std::lock_guard lock(sendMutex_);
    sent = SendOn(s, frame);
  }
  if (!sent) {
    std::lock_guard lock(mutex_);
    --loginsAnswered_;
  }
  changed_.notify_all();
}

void NodeServer::EndLink(SOCKET s) {
  {
    std::lock_guard lock(sendMutex_);
    link_ = INVALID_SOCKET;
    tcp_io::ResetAndClose(s);
  }
  {
    std::lock_guard lock(mutex_);
    linked_ = false;
    dropRequested_ = false;
  }
  changed_.notify_all();
}
