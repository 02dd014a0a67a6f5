// A stand-in for the network's hub and node, for tests and the demo: TCP on
// 127.0.0.1 (ephemeral port by default), many clients at once. Every frame a
// client sends is recorded; a login (type 1, sub-code 0, 560 bytes, plain or
// as a compressed record) is answered with the scripted acknowledgement
// (server 11.0.4.A unless set). Once two clients are logged in, the node
// introduces them: it trusts each one's address for the other and orders the
// newcomer to link to the other, directly on his listening port or through a
// tunnel of the node. Voice packets (type 108) are checked and relayed to
// their recipients (type 109). The node's orders, heartbeats and drops are
// sent on demand from the test's thread (to the newest link, or to a client by
// callsign), heartbeats also periodically or as answers when asked. Every
// wait is bounded; the server stops at the latest in its destructor.
#pragma once

#include <cstddef>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
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
  using LinkId = FrameLinkServer::LinkId;

  // How two logged-in clients are introduced.
  enum class Introductions {
    Off,
    Direct,     // the newcomer calls the other's listening port
    Tunnelled,  // the newcomer reaches the other through the node
  };
  // A logged-in client, as his login and his link tell him.
  struct Client {
    LinkId link = 0;
    std::string callsign;
    std::uint32_t address = 0;  // network order: where his link comes from
    std::uint16_t listenPort = 0;
  };

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
  // A heartbeat every interval to each logged-in client, the first one
  // interval after the link (or the change); 0, the default, sends none.
  void SetHeartbeatInterval(int milliseconds);
  // On: every heartbeat a logged-in client sends is answered with one (off by
  // default), so a client whose seconds a test drives stays linked.
  void SetAnswerHeartbeats(bool answer);
  // Direct by default.
  void SetIntroductions(Introductions how);
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
  std::size_t LinksUp() const { return link_.LinksUp(); }
  // Frames with the link each came on.
  std::vector<FrameLinkServer::LinkFrame> LinkFrames() const { return link_.LinkFrames(); }

  std::vector<Client> Clients() const;
  std::optional<Client> ClientByCallsign(std::string_view callsign) const;
  bool WaitForClients(std::size_t count, int timeoutMs) const;
  // Pairs of clients introduced to each other so far.
  std::size_t Introduced() const;
  // Tunnels spliced so far, and the bytes they carried.
  std::size_t TunnelsOpened() const;
  std::uint64_t TunnelBytes() const { return link_.BytesSpliced(); }
  // Voice packets relayed (one per recipient reached) and refused (a fault
  // of their layout; each is logged).
  std::size_t VoiceRelayed() const;
  std::size_t VoiceRefused() const;
  bool WaitForVoiceRelayed(std::size_t count, int timeoutMs) const;
  bool WaitForVoiceRefused(std::size_t count, int timeoutMs) const;

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

  // To a logged-in client by his callsign; false without him.
  bool SendFrameTo(std::string_view callsign, std::uint8_t type, std::uint8_t subCode,
                   std::span<const std::uint8_t> body = {});
  // A voice frame of the node's own, as if `sender` had spoken it.
  bool SendVoiceTo(std::string_view callsign, std::string_view sender, std::span<const std::uint8_t> frame);

  // Resets the newest link (linger 0), or a client's.
  bool DropLink() { return link_.DropLink(); }
  bool DropClient(std::string_view callsign);

 private:
  struct PendingTunnel {
    LinkId requesterLink = 0;
    std::string requester;
    std::string target;
  };

  void OnFrame(LinkId id, SOCKET s, const Frame& frame);
  void OnEnded(LinkId id);
  void AnswerLogin(LinkId id, SOCKET s, const LoginRecord& login);
  void Introduce(const Client& newcomer);
  void OnTunnelRequest(LinkId id, SOCKET s, const Frame& frame);
  void OnTunnelAccepted(LinkId id, const Frame& frame);
  void RelayVoice(LinkId id, const Frame& frame);
  void OnTick(LinkId id, SOCKET s);
  bool SendHeartbeatOn(LinkId id);
  std::optional<Client> ClientOnLink(LinkId id) const;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  LoginAckRecord ack_;
  bool answerLogins_ = true;
  bool answerHeartbeats_ = false;
  Introductions introductions_ = Introductions::Direct;
  std::size_t loginsAnswered_ = 0;
  std::size_t heartbeatsSent_ = 0;
  std::map<LinkId, Client> clients_;
  std::vector<PendingTunnel> pendingTunnels_;
  std::size_t introduced_ = 0;
  std::size_t tunnelsOpened_ = 0;
  std::size_t voiceRelayed_ = 0;
  std::size_t voiceRefused_ = 0;

  FrameLinkServer link_;  // last: its thread stops before the members above go
};
