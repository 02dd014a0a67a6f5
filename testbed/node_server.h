// A stand-in for the network's hub and node, for tests and the demo: TCP on
// 127.0.0.1 (ephemeral port by default), one client link at a time. Every
// frame the client sends is recorded; a login (type 1, sub-code 0, 560 bytes,
// plain or as a compressed record) is answered with the scripted
// acknowledgement (server 11.0.4.A unless set). The node's orders, heartbeats
// and drops are sent on demand from the test's thread, and heartbeats also
// periodically when asked. Every wait is bounded; the server stops at the
// latest in its destructor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "net/frame_hunter.h"
#include "net/node_records.h"
#include "net/text_records.h"
#include "testbed/frame_link_server.h"
#include "win/winsock.h"

class NodeServer {
 public:
  static constexpr std::size_t kMaxRecordedFrames = FrameLinkServer::kMaxRecordedFrames;
  static constexpr int kSendTimeoutMs = FrameLinkServer::kSendTimeoutMs;
  using EventLog = FrameLinkServer::EventLog;

  // port 0: an ephemeral one.
  explicit NodeServer(std::uint16_t port = 0);
  ~NodeServer();
  NodeServer(const NodeServer&) = delete;
  NodeServer& operator=(const NodeServer&) = delete;

  bool Ok() const { return link_.Ok(); }
  std::uint16_t Port() const { return link_.Port(); }

  // The acknowledgement's template. A public address of 0 is filled with
  // the address the client's link comes from.
  void SetLoginAck(const LoginAckRecord& ack);
  void SetServerVersion(std::uint8_t major, std::uint8_t minor, std::uint8_t build, char letter);
  void SetRatings(std::uint32_t ratingBits);
  // Off: logins are recorded and left unanswered.
  void SetAnswerLogins(bool answer);
  // A heartbeat every interval while a client is linked, the first one
  // interval after the link (or the change); 0, the default, sends none.
  void SetHeartbeatInterval(int milliseconds);
  // One line per event: link, frame received, login answered, heartbeat, end.
  void SetEventLog(EventLog log) { link_.SetEventLog(std::move(log)); }

  // Frames received, in order (across links).
  std::vector<Frame> Frames() const { return link_.Frames(); }
  std::size_t FrameCount() const { return link_.FrameCount(); }
  bool WaitForFrames(std::size_t count, int timeoutMs) const { return link_.WaitForFrames(count, timeoutMs); }
  std::size_t LoginsAnswered() const;
  std::size_t HeartbeatsSent() const;
  std::size_t LinksAccepted() const { return link_.LinksAccepted(); }
  bool WaitForLink(std::size_t count, int timeoutMs) const { return link_.WaitForLink(count, timeoutMs); }
  bool Linked() const { return link_.Linked(); }
  // True once the current link ended (the client closed, or a drop).
  bool WaitForLinkEnd(int timeoutMs) const { return link_.WaitForLinkEnd(timeoutMs); }
  // The frame hunter refused a header (a body past its bound).
  std::size_t ProtocolErrors() const { return link_.ProtocolErrors(); }

  // Each send goes to the current link; false without one or on failure.
  bool SendRaw(std::span<const std::uint8_t> bytes) { return link_.SendRaw(bytes); }
  bool SendFrame(std::uint8_t type, std::uint8_t subCode, std::span<const std::uint8_t> body = {}) {
    return link_.SendFrame(type, subCode, body);
  }
  // Compressed sends need the started library (the codec's shared buffers).
  bool SendCompressed(std::uint8_t type, std::uint8_t subCode, std::span<const std::uint8_t> record);

  bool SendHeartbeat();
  bool SendTest(std::uint8_t subCode);
  bool SendOpenPortTest(std::uint8_t subCode = kOpenPortTestRequest);
  bool SendLineBreak();
  bool SendSetAttrib(std::string_view text);
  bool SendTextFormat(std::uint32_t effects, std::uint32_t colour);
  // subCode kTextStyleRemoveDelimiters or kTextStyleRemoveBetween.
  bool SendTextDelimiters(std::uint8_t subCode, std::uint32_t first, std::uint32_t second);
  // Header-only sub-codes 0, 52 and 53.
  bool SendStandard(std::uint8_t subCode);
  // Sub-codes 54, 55 and 56, compressed.
  bool SendServerText(std::uint8_t subCode, const ServerTextRecord& record);
  bool SendNeighbourLink(const NeighbourLinkRecord& record);
  bool SendTunnelRequest(const TunnelRequestRecord& record);
  bool SendTrustedIp(std::uint32_t address, bool remove);
  bool SendInCockpit(std::uint16_t seconds);
  bool SendLongHaulText(const PrivateTextRecord& record);
  bool SendVoiceBlock(std::span<const std::uint8_t> voiceFrame);

  // Resets the current link (linger 0); the server then waits for the next.
  bool DropLink() { return link_.DropLink(); }

 private:
  void OnFrame(SOCKET s, const Frame& frame);
  void AnswerLogin(SOCKET s, const LoginRecord& login);
  void OnTick(SOCKET s);

  mutable std::mutex mutex_;
  LoginAckRecord ack_;
  bool answerLogins_ = true;
  std::size_t loginsAnswered_ = 0;
  std::size_t heartbeatsSent_ = 0;

  FrameLinkServer link_;  // last: its thread stops before the members above go
};
