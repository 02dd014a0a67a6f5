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

}  // namespace

NodeServer::NodeServer(std::uint16_t port) : ack_(DefaultAck()), link_(port, kDefaultMaxFrameBody) {
  FrameLinkServer::Hooks hooks;
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
  const std::uint32_t from = PeerAddressOf(s);
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
