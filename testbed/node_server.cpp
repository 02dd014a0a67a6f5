#include "testbed/node_server.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "base/klib_settings.h"
#include "net/compressed_record.h"
#include "net/frame_codes.h"
#include "testbed/voice_relay.h"

namespace {

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
bool ReadLogin(const Frame& frame, LoginRecord& out) {
  if (frame.header.type != NCSMSG_LOGIN || frame.header.subCode != NCSUB_LOGIN) return false;
  if (!frame.header.Compressed()) {
    return frame.body.size() == kLoginRecordSize && ReadLoginRecord(frame.body, out) == kNodeRecordOk;
  }
  LoginRecordBytes record{};
  return UnpackCompressedRecord(frame.body, record) == kRecordOk && ReadLoginRecord(record, out) == kNodeRecordOk;
}

std::string FrameText(const Frame& frame) {
  const char* type = NcsMsgName(frame.header.type);
  std::string text = "received ";
  text += type != nullptr ? type : "type " + std::to_string(frame.header.type);
  text += " sub-code " + std::to_string(frame.header.subCode);
  text += " (" + std::to_string(frame.header.length) + " bytes" + (frame.header.Compressed() ? ", compressed)" : ")");
  return text;
}

std::string VersionText(const IdentityBlock& id) {
  return std::to_string(id.versionMajor) + "." + std::to_string(id.versionMinor) + "." +
         std::to_string(id.versionBuild) + "." + std::string(1, id.versionLetter);
}

std::span<const std::uint8_t> AsBytes(const std::vector<std::uint8_t>& v) { return v; }

constexpr std::size_t kTunnelBodySize = 48;
constexpr std::size_t kTunnelOwnCallsignAt = 16;
constexpr std::size_t kTunnelPeerCallsignAt = 32;
constexpr std::size_t kTunnelNameSize = 16;

// A callsign field of the tunnel body, cut at its terminator or its end.
std::string TunnelName(const std::vector<std::uint8_t>& body, std::size_t at) {
  std::string name;
  for (std::size_t i = at; i < at + kTunnelNameSize && body[i] != 0; ++i) name += static_cast<char>(body[i]);
  return name;
}

std::uint32_t PeerAddress(SOCKET s) {
  sockaddr_in peer{};
  return WsGetPeerName(s, &peer) == 0 ? peer.sin_addr.s_addr : 0;
}

}  // namespace

NodeServer::NodeServer(std::uint16_t port) : ack_(DefaultAck()), link_(port, kDefaultMaxFrameBody) {
  NodeLinks::Hooks hooks;
  hooks.frame = [this](LinkId id, SOCKET s, const Frame& frame) { OnFrame(id, s, frame); };
  hooks.tick = [this](LinkId id, SOCKET s) { OnTick(id, s); };
  hooks.ended = [this](LinkId id) { OnEnded(id); };
  link_.Start(std::move(hooks));
}

NodeServer::~NodeServer() { link_.Stop(); }

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

void NodeServer::SetHeartbeatInterval(int milliseconds) { link_.SetTickInterval(milliseconds); }

void NodeServer::SetAnswerHeartbeats(bool answer) {
  std::lock_guard lock(mutex_);
  answerHeartbeats_ = answer;
}

void NodeServer::SetIntroductions(Introductions how) {
  std::lock_guard lock(mutex_);
  introductions_ = how;
}

std::vector<NodeServer::Client> NodeServer::Clients() const {
  std::lock_guard lock(mutex_);
  std::vector<Client> clients;
  for (const auto& [id, client] : clients_) clients.push_back(client);
  return clients;
}

std::optional<NodeServer::Client> NodeServer::ClientByCallsign(std::string_view callsign) const {
  std::lock_guard lock(mutex_);
  for (const auto& [id, client] : clients_) {
    if (client.callsign == callsign) return client;
  }
  return std::nullopt;
}

std::optional<NodeServer::Client> NodeServer::ClientOnLink(LinkId id) const {
  std::lock_guard lock(mutex_);
  const auto at = clients_.find(id);
  if (at == clients_.end()) return std::nullopt;
  return at->second;
}

bool NodeServer::WaitForClients(std::size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                           [&] { return clients_.size() >= count; });
}

std::size_t NodeServer::Introduced() const {
  std::lock_guard lock(mutex_);
  return introduced_;
}

std::size_t NodeServer::TunnelsOpened() const {
  std::lock_guard lock(mutex_);
  return tunnelsOpened_;
}

std::size_t NodeServer::VoiceRelayed() const {
  std::lock_guard lock(mutex_);
  return voiceRelayed_;
}

std::size_t NodeServer::VoiceRefused() const {
  std::lock_guard lock(mutex_);
  return voiceRefused_;
}

bool NodeServer::WaitForVoiceRelayed(std::size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                           [&] { return voiceRelayed_ >= count; });
}

bool NodeServer::WaitForVoiceRefused(std::size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                           [&] { return voiceRefused_ >= count; });
}

bool NodeServer::SendFrameTo(std::string_view callsign, std::uint8_t type, std::uint8_t subCode,
                             std::span<const std::uint8_t> body) {
  const std::optional<Client> client = ClientByCallsign(callsign);
  return client && link_.SendFrameTo(client->link, type, subCode, body);
}

bool NodeServer::SendVoiceTo(std::string_view callsign, std::string_view sender,
                             std::span<const std::uint8_t> frame) {
  return SendFrameTo(callsign, NCSMSG_BLOCK, 0, AsBytes(WriteRelayedVoice(sender, frame)));
}

bool NodeServer::DropClient(std::string_view callsign) {
  const std::optional<Client> client = ClientByCallsign(callsign);
  return client && link_.DropLink(client->link);
}

std::size_t NodeServer::LoginsAnswered() const {
  std::lock_guard lock(mutex_);
  return loginsAnswered_;
}

std::size_t NodeServer::HeartbeatsSent() const {
  std::lock_guard lock(mutex_);
  return heartbeatsSent_;
}

bool NodeServer::SendCompressed(std::uint8_t type, std::uint8_t subCode,
                                std::span<const std::uint8_t> record) {
  FrameHeader header;
  header.type = type;
  header.subCode = subCode;
  std::vector<std::uint8_t> frame;
  if (BuildCompressedFrame(FRAME_SYNC_NETWORK, header, record, frame) != 0) return false;
  return link_.SendRaw(frame);
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

void NodeServer::OnFrame(LinkId id, SOCKET s, const Frame& frame) {
  switch (frame.header.type) {
    case NCSMSG_REQ_TUNNCONNECT:
      OnTunnelRequest(id, s, frame);
      return;
    case NCSMSG_ACK_TUNNCONNECTME:
      OnTunnelAccepted(id, frame);
      return;
    case kNcsMsgVoiceBlock:
      RelayVoice(id, frame);
      return;
    default:
      break;
  }
  LoginRecord login;
  const bool isLogin = ReadLogin(frame, login);
  bool answer = false;
  bool answerHeartbeat = false;
  {
    std::lock_guard lock(mutex_);
    answer = isLogin && answerLogins_;
    answerHeartbeat = frame.header.type == kNcsMsgHeaderOnly && answerHeartbeats_ && clients_.count(id) != 0;
  }
  if (!isLogin) {
    link_.Log(FrameText(frame));
  } else if (!answer) {
    link_.Log("login of " + login.identity.callsign + " left unanswered");
  } else {
    AnswerLogin(id, s, login);
  }
  if (answerHeartbeat) SendHeartbeatOn(id);
}

void NodeServer::AnswerLogin(LinkId id, SOCKET s, const LoginRecord& login) {
  LoginAckRecord ack;
  {
    std::lock_guard lock(mutex_);
    ack = ack_;
  }
  const std::uint32_t from = PeerAddress(s);
  if (ack.identity.publicAddress == 0) ack.identity.publicAddress = from;
  const std::vector<std::uint8_t> frame = BuildLoginAckFrame(ack);
  // Counted before the send: a client may read the ack before the send returns.
  {
    std::lock_guard lock(mutex_);
    ++loginsAnswered_;
  }
  if (!link_.SendTo(id, frame)) {
    {
      std::lock_guard lock(mutex_);
      --loginsAnswered_;
    }
    link_.Log("login of " + login.identity.callsign + ": the acknowledgement could not be sent");
    return;
  }
  link_.Log("login of " + login.identity.callsign + " (user " + login.identity.login + ", client " +
            VersionText(login.identity) + ") answered as server " + VersionText(ack.identity));
  Client client;
  client.link = id;
  client.callsign = login.identity.callsign;
  client.address = from;
  client.listenPort = login.identity.listenPort;
  {
    std::lock_guard lock(mutex_);
    clients_[id] = client;
  }
  changed_.notify_all();
  Introduce(client);
}

void NodeServer::Introduce(const Client& newcomer) {
  Introductions how = Introductions::Off;
  std::vector<Client> others;
  {
    std::lock_guard lock(mutex_);
    how = introductions_;
    for (const auto& [id, client] : clients_) {
      // A callsign logged in twice is one pilot: never introduced to himself.
      if (id != newcomer.link && client.callsign != newcomer.callsign) others.push_back(client);
    }
  }
  if (how == Introductions::Off) return;
  for (const Client& other : others) {
    // Each one's address is trusted by the other before anybody calls: the
    // one called checks the caller's address against that list.
    bool sent = link_.SendFrameTo(other.link, NCSMSG_TRUSTED_IP, 0, WriteTrustedIpRecord(newcomer.address)) &&
                link_.SendFrameTo(newcomer.link, NCSMSG_TRUSTED_IP, 0, WriteTrustedIpRecord(other.address));
    NeighbourLinkRecord order;
    order.address = other.address;
    order.port = how == Introductions::Direct ? other.listenPort : Port();
    order.flags = how == Introductions::Tunnelled ? kNeighbourTunnelled : 0;
    order.peerKind = 'P';
    order.callsign = other.callsign;
    // Counted before the order goes: a client may read it before the send returns.
    {
      std::lock_guard lock(mutex_);
      ++introduced_;
    }
    sent = sent && link_.SendFrameTo(newcomer.link, kNcsMsgConnectNeighbour, 0, WriteNeighbourLinkRecord(order));
    if (!sent) {
      {
        std::lock_guard lock(mutex_);
        --introduced_;
      }
      link_.Log("introduction of " + newcomer.callsign + " to " + other.callsign + " could not be sent");
      continue;
    }
    changed_.notify_all();
    link_.Log("introduced " + newcomer.callsign + " to " + other.callsign +
              (how == Introductions::Direct ? " (his port " + std::to_string(other.listenPort) + ")"
                                            : std::string(" (through a tunnel)")));
  }
}

void NodeServer::OnTunnelRequest(LinkId id, SOCKET s, const Frame& frame) {
  if (frame.body.size() != kTunnelBodySize) {
    link_.Log("tunnel request of " + std::to_string(frame.body.size()) + " bytes refused");
    return;
  }
  PendingTunnel tunnel;
  tunnel.requesterLink = id;
  tunnel.requester = TunnelName(frame.body, kTunnelOwnCallsignAt);
  tunnel.target = TunnelName(frame.body, kTunnelPeerCallsignAt);
  const std::optional<Client> target = ClientByCallsign(tunnel.target);
  if (!target) {
    link_.Log("tunnel request of " + tunnel.requester + " for " + tunnel.target + ", who is not logged in");
    return;
  }
  TunnelRequestRecord order;
  order.address = PeerAddress(s);
  order.port = Port();
  order.peerKind = 'P';
  order.peerCallsign = tunnel.requester;
  order.requesterName = tunnel.requester;
  {
    std::lock_guard lock(mutex_);
    pendingTunnels_.push_back(tunnel);
  }
  if (!link_.SendFrameTo(target->link, NCSMSG_REQ_TUNNCONNECTME, 0, WriteTunnelRequestRecord(order))) {
    link_.Log("tunnel order to " + tunnel.target + " could not be sent");
    return;
  }
  link_.Log("tunnel requested by " + tunnel.requester + " for " + tunnel.target);
}

void NodeServer::OnTunnelAccepted(LinkId id, const Frame& frame) {
  if (frame.body.size() != kTunnelBodySize) {
    link_.Log("tunnel acceptance of " + std::to_string(frame.body.size()) + " bytes refused");
    return;
  }
  const std::string own = TunnelName(frame.body, kTunnelOwnCallsignAt);
  const std::string peer = TunnelName(frame.body, kTunnelPeerCallsignAt);
  std::optional<PendingTunnel> match;
  {
    std::lock_guard lock(mutex_);
    for (auto at = pendingTunnels_.begin(); at != pendingTunnels_.end(); ++at) {
      if (at->target == own && at->requester == peer) {
        match = *at;
        pendingTunnels_.erase(at);
        break;
      }
    }
  }
  if (!match) {
    link_.Log("tunnel acceptance of " + own + " for " + peer + ", who asked for none");
    return;
  }
  // Spliced before the start is told: the requester's login then already
  // finds the tunnel (this runs on the serving thread, which reads it next).
  if (!link_.Splice(match->requesterLink, id)) {
    link_.Log("tunnel of " + peer + " to " + own + ": the requester's link is gone");
    return;
  }
  // Counted before the start goes, as the requester may act on it at once.
  {
    std::lock_guard lock(mutex_);
    ++tunnelsOpened_;
  }
  if (!link_.SendFrameTo(match->requesterLink, NCSMSG_ANY_PEER, NCSUB_START_TUNNEL)) {
    {
      std::lock_guard lock(mutex_);
      --tunnelsOpened_;
    }
    link_.Log("tunnel start could not be sent to " + peer);
    return;
  }
  changed_.notify_all();
  link_.Log("tunnel opened between " + peer + " and " + own);
}

void NodeServer::RelayVoice(LinkId id, const Frame& frame) {
  const std::optional<Client> sender = ClientOnLink(id);
  VoicePacketRead packet;
  std::string fault = frame.header.subCode != 0 ? "sub-code " + std::to_string(frame.header.subCode)
                                                : ReadClientVoicePacket(frame.body, packet);
  if (fault.empty() && !sender) fault = "a link that is not logged in";
  if (fault.empty() && packet.sender != sender->callsign) fault = "sender " + packet.sender + " on the link of " + sender->callsign;
  if (!fault.empty()) {
    {
      std::lock_guard lock(mutex_);
      ++voiceRefused_;
    }
    changed_.notify_all();
    link_.Log("voice packet refused: " + fault);
    return;
  }
  const std::vector<std::uint8_t> body = WriteRelayedVoice(packet.sender, packet.frame);
  std::size_t reached = 0;
  for (const VoiceRelayRecipient& recipient : packet.recipients) {
    const std::optional<Client> to = ClientByCallsign(recipient.callsign);
    if (!to || to->link == id) continue;
    // Counted before the send: the recipient may read the frame before it returns.
    {
      std::lock_guard lock(mutex_);
      ++voiceRelayed_;
    }
    if (link_.SendFrameTo(to->link, NCSMSG_BLOCK, 0, body)) {
      ++reached;
    } else {
      std::lock_guard lock(mutex_);
      --voiceRelayed_;
    }
    changed_.notify_all();
  }
  link_.Log("voice of " + packet.sender + " (" + std::to_string(packet.frame.size()) + " bytes) relayed to " +
            std::to_string(reached) + " of " + std::to_string(packet.recipients.size()));
}

void NodeServer::OnEnded(LinkId id) {
  std::string callsign;
  {
    std::lock_guard lock(mutex_);
    const auto at = clients_.find(id);
    if (at != clients_.end()) {
      callsign = at->second.callsign;
      clients_.erase(at);
    }
    std::erase_if(pendingTunnels_, [id](const PendingTunnel& t) { return t.requesterLink == id; });
  }
  changed_.notify_all();
  if (!callsign.empty()) link_.Log(callsign + " left");
}

bool NodeServer::SendHeartbeatOn(LinkId id) {
  if (!link_.SendFrameTo(id, kNcsMsgHeaderOnly, 0)) {
    link_.Log("heartbeat could not be sent");
    return false;
  }
  {
    std::lock_guard lock(mutex_);
    ++heartbeatsSent_;
  }
  link_.Log("heartbeat sent");
  return true;
}

void NodeServer::OnTick(LinkId id, SOCKET /*s*/) {
  {
    std::lock_guard lock(mutex_);
    // Only a client's node way hears heartbeats: a tunnel's link speaks the
    // pilots' protocol, where a node heartbeat is garbage.
    if (clients_.count(id) == 0) return;
  }
  SendHeartbeatOn(id);
}
