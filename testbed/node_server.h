// A stand-in for the network's hub and node, for tests: TCP on 127.0.0.1
// (ephemeral port), one client link at a time. Every frame the client sends
// is recorded; a login (type 1, sub-code 0, 560 bytes, plain or as a
// compressed record) is answered with the scripted acknowledgement. The node's orders, heartbeats and drops are sent
// on demand from the test's thread. Every wait is bounded; the server stops
// at the latest in its destructor.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string_view>
#include <thread>
#include <vector>

#include "net/frame_hunter.h"
#include "net/node_records.h"
#include "net/text_records.h"
#include "testbed/tcp_listener.h"
#include "win/os_thread.h"
#include "win/winsock.h"

class NodeServer {
 public:
  static constexpr std::size_t kMaxRecordedFrames = 10000;
  static constexpr int kSendTimeoutMs = 5000;

  NodeServer();
  ~NodeServer();
  NodeServer(const NodeServer&) = delete;
  NodeServer& operator=(const NodeServer&) = delete;

  bool Ok() const { return listener_.Ok() && thread_.joinable(); }
  std::uint16_t Port() const { return listener_.Port(); }

  // The acknowledgement's template. A public address of 0 is filled with
  // the address the client's link comes from.
  void SetLoginAck(const LoginAckRecord& ack);
  void SetServerVersion(std::uint8_t major, std::uint8_t minor, std::uint8_t build, char letter);
  void SetRatings(std::uint32_t ratingBits);
  // Off: logins are recorded and left unanswered.
  void SetAnswerLogins(bool answer);

  // Frames received, in order (across links).
  std::vector<Frame> Frames() const;
  std::size_t FrameCount() const;
  bool WaitForFrames(std::size_t count, int timeoutMs) const;
  std::size_t LoginsAnswered() const;
  std::size_t LinksAccepted() const;
  bool WaitForLink(std::size_t count, int timeoutMs) const;
  bool Linked() const;
  // True once the current link ended (the client closed, or a drop).
  bool WaitForLinkEnd(int timeoutMs) const;
  // The frame hunter refused a header (a body past its bound).
  std::size_t ProtocolErrors() const;

  // Each send goes to the current link; false without one or on failure.
  bool SendRaw(std::span<const std::uint8_t> bytes);
  bool SendFrame(std::uint8_t type, std::uint8_t subCode, std::span<const std::uint8_t> body = {});
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
  bool DropLink();

 private:
  void Run();
  void Serve(SOCKET s);
  // Handles the frames found so far; false once the link is to end.
  bool TakeFrames(SOCKET s, FrameHunter& hunter);
  void AnswerLogin(SOCKET s);
  bool SendOn(SOCKET s, std::span<const std::uint8_t> bytes);
  void EndLink(SOCKET s);

  TcpListener listener_;
  WakeEvent wake_;  // stop or drop; cleared by the serving thread

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  LoginAckRecord ack_;
  bool answerLogins_ = true;
  std::vector<Frame> frames_;
  std::size_t frameCount_ = 0;
  std::size_t loginsAnswered_ = 0;
  std::size_t linksAccepted_ = 0;
  std::size_t protocolErrors_ = 0;
  SOCKET link_ = INVALID_SOCKET;  // guarded by sendMutex_ for writes and the close
  bool linked_ = false;
  bool dropRequested_ = false;
  bool stopping_ = false;

  std::mutex sendMutex_;
  std::thread thread_;
};
