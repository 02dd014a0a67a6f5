#include "testbed/node_server.h"

#include <string>

#include "base/klib_settings.h"
#include "net/compressed_record.h"
#include "net/frame_codes.h"

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
  hooks.frame = [this](SOCKET s, const Frame& frame) { OnFrame(s, frame); };
  hooks.tick = [this](SOCKET s) { OnTick(s); };
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

void NodeServer::OnFrame(SOCKET s, const Frame& frame) {
  LoginRecord login;
  const bool isLogin = ReadLogin(frame, login);
  bool answer = false;
  {
    std::lock_guard lock(mutex_);
    answer = isLogin && answerLogins_;
  }
  if (!isLogin) {
    link_.Log(FrameText(frame));
  } else if (!answer) {
    link_.Log("login of " + login.identity.callsign + " left unanswered");
  } else {
    AnswerLogin(s, login);
  }
}

void NodeServer::AnswerLogin(SOCKET s, const LoginRecord& login) {
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
  if (!link_.SendOn(s, frame)) {
    {
      std::lock_guard lock(mutex_);
      --loginsAnswered_;
    }
    link_.Log("login of " + login.identity.callsign + ": the acknowledgement could not be sent");
    return;
  }
  link_.Log("login of " + login.identity.callsign + " (user " + login.identity.login + ", client " +
            VersionText(login.identity) + ") answered as server " + VersionText(ack.identity));
}

void NodeServer::OnTick(SOCKET s) {
  FrameHeader header;
  header.type = kNcsMsgHeaderOnly;
  if (!link_.SendOn(s, BuildFrame(FRAME_SYNC_NETWORK, header, {}))) {
    link_.Log("heartbeat could not be sent");
    return;
  }
  {
    std::lock_guard lock(mutex_);
    ++heartbeatsSent_;
  }
  link_.Log("heartbeat sent");
}
