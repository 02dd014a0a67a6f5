#include "testbed/pilot_peer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "base/byte_order.h"
#include "base/lz77.h"
#include "net/compressed_record.h"
#include "net/frame_codes.h"
#include "net/frame_format.h"
#include "net/text_records.h"

namespace {
constexpr std::size_t kReadChunk = 64 * 1024;
constexpr double kNmPerDegree = 60.0;

std::uint32_t LoopbackAddress() {
  in_addr address{};
  inet_pton(AF_INET, "127.0.0.1", &address);
  return address.s_addr;
}

std::vector<std::uint8_t> PilotFrame(std::uint8_t subCode, std::span<const std::uint8_t> body) {
  FrameHeader header;
  header.type = NCSMSG_PILOT;
  header.subCode = subCode;
  return BuildFrame(FRAME_SYNC_NETWORK, header, body);
}

// Packed with the codec's own encoder and buffers of its own: the stand-in
// does not share the program's compression buffers.
std::vector<std::uint8_t> PackedFrame(std::uint8_t type, std::uint8_t subCode, std::span<const std::uint8_t> record) {
  std::vector<std::uint8_t> packed(LzMaxPackedSize(static_cast<std::uint32_t>(record.size())));
  std::vector<std::uint32_t> work(LzWorkAreaWords(record.size()));
  const std::size_t n = LzEncode(record, packed, work);
  if (n == 0) return {};
  std::vector<std::uint8_t> body(kCompressedRecordPrefixSize + n);
  PutU32(body.data(), static_cast<std::uint32_t>(record.size()));
  PutU32(body.data() + 4, static_cast<std::uint32_t>(n));
  std::copy_n(packed.begin(), n, body.begin() + kCompressedRecordPrefixSize);
  FrameHeader header;
  header.type = type;
  header.subCode = subCode;
  header.flags = kFrameFlagCompressed;
  return BuildFrame(FRAME_SYNC_NETWORK, header, body);
}

std::vector<std::uint8_t> PackedPilotFrame(std::uint8_t subCode, std::span<const std::uint8_t> record) {
  return PackedFrame(NCSMSG_PILOT, subCode, record);
}
}  // namespace

PilotPeer::PilotPeer(PilotPeerScript script) : script_(std::move(script)) {}

PilotPeer::~PilotPeer() { Close(); }

bool PilotPeer::Connect(std::uint16_t port) {
  Close();
  const SOCKET s = WsSocket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return false;
  // Set before the call, the small buffer holds from the link's first segment on.
  if ((script_.smallReceiveBuffer && !ShrinkReceiveBuffer(s)) ||
      WsConnect(s, MakeSockAddrIPv4(INADDR_LOOPBACK, port)) != 0) {
    closesocket(s);
    return false;
  }
  {
    std::lock_guard lock(sendMutex_);
    socket_ = s;
  }
  StartReader();
  return true;
}

std::uint16_t PilotPeer::Listen(std::uint16_t port) {
  Close();
  stop_.Clear();
  listener_ = std::make_unique<TcpListener>(port);
  return listener_->Ok() ? listener_->Port() : 0;
}

bool PilotPeer::WaitForCall(int timeoutMs) {
  if (!listener_ || !listener_->Ok()) return false;
  bool stopped = false;
  const SOCKET s = listener_->Accept(stop_.Fd(), timeoutMs, &stopped);
  if (s == INVALID_SOCKET) return false;
  {
    std::lock_guard lock(sendMutex_);
    socket_ = s;
  }
  StartReader();
  return true;
}

bool PilotPeer::Linked() const {
  std::lock_guard lock(sendMutex_);
  return socket_ != INVALID_SOCKET && !PeerClosed();
}

void PilotPeer::StartReader() {
  {
    std::lock_guard lock(mutex_);
    closed_ = false;
    readingStopped_ = false;
  }
  stop_.Clear();
  reader_ = std::thread([this] { ReadLoop(); });
}

void PilotPeer::ReadLoop() {
  SOCKET s = INVALID_SOCKET;
  {
    std::lock_guard lock(sendMutex_);
    s = socket_;
  }
  FrameHunter hunter(kDefaultMaxFrameBody);
  std::vector<char> buffer(kReadChunk);
  for (;;) {
    std::array<pollfd, 2> fds{pollfd{stop_.Fd(), POLLIN, 0}, pollfd{s, POLLIN, 0}};
    if (WsPoll(fds, -1) < 0 || fds[0].revents != 0) break;
    const int n = WsRecv(s, buffer.data(), buffer.size(), 0);
    if (n <= 0) {
      if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) continue;
      break;
    }
    hunter.Feed(std::span(reinterpret_cast<const std::uint8_t*>(buffer.data()), static_cast<std::size_t>(n)));
    for (;;) {
      Frame frame;
      const HuntResult result = hunter.NextFrame(frame);
      if (result == HuntResult::NeedMore) break;
      if (result == HuntResult::Frame) Take(frame);
    }
  }
  std::lock_guard lock(mutex_);
  if (!readingStopped_) closed_ = true;
  changed_.notify_all();
}

void PilotPeer::Take(const Frame& frame) {
  const std::uint8_t sub = frame.header.subCode;
  std::optional<LoginRecordBytes> login;
  if (frame.header.type == NCSMSG_PILOT && (sub == NCSUB_LOGIN || sub == NCSUB_LOGIN_ACK)) {
    LoginRecordBytes bytes{};
    if (UnpackCompressedRecord(frame.body, bytes) == kRecordOk) login = bytes;
  }
  {
    std::lock_guard lock(mutex_);
    if (frames_.size() < kMaxRecordedFrames) frames_.push_back(frame);
    if (frame.header.type == NCSMSG_PILOT) ++counts_[sub];
    if (login) lastLogin_ = login;
    changed_.notify_all();
  }
  if (frame.header.type != NCSMSG_PILOT) return;
  if (sub == NCSUB_LOGIN && script_.answerLogin) {
    SendLoginAck();
    SendPeerAdded();
  } else if (sub == NCSUB_LOGIN_ACK && script_.answerAdded) {
    SendPeerAdded();
  } else if (sub == NCSUB_LATENCY_REQ_ECHO && script_.answerEcho) {
    SendHeaderOnly(NCSUB_LATENCY_ECHO);
  }
}

// ---- Sending ----

bool PilotPeer::SendFrameBytes(const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) return false;
  std::lock_guard lock(sendMutex_);
  if (socket_ == INVALID_SOCKET) return false;
  return tcp_io::SendAll(socket_, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                         kSendTimeoutMs, -1);
}

bool PilotPeer::SendRaw(std::span<const std::uint8_t> bytes) {
  return SendFrameBytes(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

bool PilotPeer::SendPacket(std::uint8_t subCode, std::span<const std::uint8_t> body) {
  return SendFrameBytes(PilotFrame(subCode, body));
}

bool PilotPeer::SendHeaderOnly(std::uint8_t subCode) { return SendFrameBytes(PilotFrame(subCode, {})); }

PilotLoginRecord PilotPeer::LoginRecordToSend() const {
  PilotLoginRecord record;
  LoginRecord& login = record.login;
  IdentityBlock& identity = login.identity;
  identity.peerKind = 'P';
  identity.versionMajor = 11;
  identity.versionMinor = 0;
  identity.versionBuild = 4;
  identity.versionLetter = 'B';
  identity.machineId = 0x5EED1234;
  identity.publicAddress = LoopbackAddress();
  identity.lanAddress = LoopbackAddress();
  identity.listenPort = listener_ ? listener_->Port() : 0;
  identity.serverToken = script_.tokenByte;
  identity.login = script_.login;
  identity.passwordOrServer = script_.serverName;
  identity.callsign = script_.callsign;
  identity.firstName = script_.firstName;
  identity.lastName = script_.lastName;
  const ScriptedFix fix = FixAt(0.0);
  login.optionBits = (script_.specialObserver ? kLoginSpecialObserver : 0) |
                     ((script_.radioSelection & kPilotRadioCom1) != 0 ? kLoginCom1Selected : 0) |
                     ((script_.radioSelection & kPilotRadioCom2) != 0 ? kLoginCom2Selected : 0) |
                     ((script_.radioSelection & kPilotRadioBoth) != 0 ? kLoginBothComSelected : 0);
  login.simulatorCode = static_cast<std::uint32_t>(script_.simulatorCode);
  login.altitudeFeet = static_cast<std::int32_t>(std::lround(fix.altitudeFeet));
  login.headingDegrees = static_cast<std::uint16_t>(std::lround(fix.heading) % 360);
  login.speedKnots = static_cast<std::uint16_t>(std::lround(fix.groundSpeedKnots));
  login.transponderCode = 0x1200;
  login.transponderMode = 'N';
  login.latitude = fix.latitude;
  login.longitude = fix.longitude;
  login.com1 = script_.com1;
  login.com2 = script_.com2;
  login.icaoType = script_.icaoType;
  login.title = script_.title;
  login.classCode = script_.classCode;
  OwnPositionValues own;
  own.latitude = fix.latitude;
  own.longitude = fix.longitude;
  own.altitudeFeet = fix.altitudeFeet;
  own.trueHeading = fix.heading;
  own.magneticHeading = fix.heading;
  own.groundSpeedKnots = fix.groundSpeedKnots;
  own.groundSpeedWhole = static_cast<std::uint16_t>(std::lround(fix.groundSpeedKnots));
  own.onGround = false;
  record.extras.olderPosition = BuildOlderPositionRecord(own, RecordStamp{0, 0});
  record.extras.position = BuildPositionRecord(own, RecordStamp{0, 0});
  record.extras.category = CategoryFromClassCode(script_.classCode);
  record.extras.publicAddress = "127.0.0.1";
  return record;
}

bool PilotPeer::SendLogin() { return SendFrameBytes(PackedPilotFrame(NCSUB_LOGIN, WritePilotLoginRecord(LoginRecordToSend()))); }

bool PilotPeer::SendLoginAck() {
  return SendFrameBytes(PackedPilotFrame(NCSUB_LOGIN_ACK, WritePilotLoginRecord(LoginRecordToSend())));
}

bool PilotPeer::SendPeerAdded() { return SendHeaderOnly(NCSUB_PEER_ADDED); }
bool PilotPeer::SendHeartbeat() { return SendHeaderOnly(NCSUB_HEARTBEAT); }
bool PilotPeer::SendVisible(bool visible) { return SendHeaderOnly(visible ? NCSUB_IAM_VISIBLE : NCSUB_IAM_INVISIBLE); }
bool PilotPeer::SendLatencyRequest() { return SendHeaderOnly(NCSUB_LATENCY_REQ_ECHO); }
bool PilotPeer::SendRequestPlaneParams() { return SendHeaderOnly(NCSUB_REQ_PLANE_PARAMS); }

bool PilotPeer::SendRadios(const std::string& com1, const std::string& com2, std::uint8_t selection) {
  return SendFrameBytes(PackedPilotFrame(NCSUB_PILOT_CHANGES_COMM, WritePilotChangesComm({com1, com2, selection})));
}

bool PilotPeer::SendTextOnAir(const std::string& text, double frequencyMhz) {
  TextOnAirRecord record;
  record.sender = script_.callsign;
  record.text = text;
  record.frequencyMhz = frequencyMhz;
  const TextOnAirRecordBytes bytes = WriteTextOnAirRecord(record);
  const std::vector<std::uint8_t> frame = PackedFrame(NCSMSG_TEXT_ON_AIR, 0, bytes);
  return !frame.empty() && SendFrameBytes(frame);
}

bool PilotPeer::SendPrivateText(const std::string& recipient, const std::string& text, std::uint8_t marker) {
  PrivateTextRecord record;
  record.sender = script_.callsign;
  record.recipient = recipient;
  record.text = text;
  record.marker = marker;
  const PrivateTextRecordBytes bytes = WritePrivateTextRecord(record);
  const std::vector<std::uint8_t> frame = PackedFrame(NCSMSG_TEXT_PRIVATE, 0, bytes);
  return !frame.empty() && SendFrameBytes(frame);
}

bool PilotPeer::SendCancel(std::uint32_t reason) { return SendPacket(NCSUB_CANCEL_LINK, WriteCancelLinkBody(reason)); }

bool PilotPeer::SendLogout(const std::string& callsign) {
  return SendPacket(NCSUB_LOGOUT, WritePilotCallsignBody(callsign.empty() ? script_.callsign : callsign));
}

bool PilotPeer::SendOutOfRange(const std::string& callsign) {
  return SendPacket(NCSUB_OUT_OF_RANGE, WritePilotCallsignBody(callsign.empty() ? script_.callsign : callsign));
}

ScriptedFix PilotPeer::FixAt(double seconds) const {
  const double period = script_.secondsPerCircuit > 0.0 ? script_.secondsPerCircuit : 120.0;
  const double angle = 2.0 * std::numbers::pi * seconds / period;
  ScriptedFix fix;
  fix.latitude = script_.centreLatitude + script_.radiusDegrees * std::cos(angle);
  fix.longitude = script_.centreLongitude + script_.radiusDegrees * std::sin(angle);
  fix.altitudeFeet = script_.altitudeFeet;
  // Flying the circle clockwise seen from above: north, then east, south, west.
  const double heading = std::fmod(90.0 + angle * 180.0 / std::numbers::pi, 360.0);
  fix.heading = heading < 0.0 ? heading + 360.0 : heading;
  fix.groundSpeedKnots = 2.0 * std::numbers::pi * script_.radiusDegrees * kNmPerDegree / (period / 3600.0);
  return fix;
}

bool PilotPeer::SendPositionAt(double seconds, std::uint32_t sequence) {
  const ScriptedFix fix = FixAt(seconds);
  OwnPositionValues own;
  own.latitude = fix.latitude;
  own.longitude = fix.longitude;
  own.altitudeFeet = fix.altitudeFeet;
  own.trueHeading = fix.heading;
  own.magneticHeading = fix.heading;
  own.groundSpeedKnots = fix.groundSpeedKnots;
  own.groundSpeedWhole = static_cast<std::uint16_t>(std::lround(fix.groundSpeedKnots));
  own.onGround = false;
  const RecordStamp stamp{sequence, static_cast<std::uint32_t>(seconds * 1000.0)};
  if (script_.newerLayout) return SendPacket(NCSUB_FSX_PACKET, BuildPositionRecord(own, stamp));
  return SendPacket(NCSUB_FS_PACKET, BuildOlderPositionRecord(own, stamp));
}

// ---- The link ----

void PilotPeer::StopReader() {
  stop_.Signal();
  if (reader_.joinable()) reader_.join();
}

void PilotPeer::StopReading() {
  {
    std::lock_guard lock(mutex_);
    readingStopped_ = true;
  }
  StopReader();
}

NonReadingPeer::End PilotPeer::WaitForUnreadEnd(int timeoutMs) const {
  SOCKET s = INVALID_SOCKET;
  {
    std::lock_guard lock(sendMutex_);
    s = socket_;
  }
  return WaitForUnreadLinkEnd(s, timeoutMs);
}

void PilotPeer::Drop() {
  StopReader();
  std::lock_guard lock(sendMutex_);
  if (socket_ != INVALID_SOCKET) tcp_io::ResetAndClose(socket_);
  socket_ = INVALID_SOCKET;
}

void PilotPeer::Close() {
  StopReader();
  std::lock_guard lock(sendMutex_);
  if (socket_ != INVALID_SOCKET) {
    WsShutdown(socket_, SD_BOTH);
    closesocket(socket_);
  }
  socket_ = INVALID_SOCKET;
}

// ---- Received ----

std::vector<Frame> PilotPeer::Frames() const {
  std::lock_guard lock(mutex_);
  return frames_;
}

std::size_t PilotPeer::CountOf(std::uint8_t subCode) const {
  std::lock_guard lock(mutex_);
  return counts_[subCode];
}

bool PilotPeer::WaitForCountOf(std::uint8_t subCode, std::size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return counts_[subCode] >= count; });
}

std::optional<LoginRecordBytes> PilotPeer::LastLoginReceived() const {
  std::lock_guard lock(mutex_);
  return lastLogin_;
}

bool PilotPeer::PeerClosed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

bool PilotPeer::WaitForClose(int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return closed_; });
}

std::string DescribePilotFrame(const Frame& frame) {
  const char* name = NcsSubName(frame.header.type, frame.header.subCode);
  std::array<char, 160> line{};
  std::snprintf(line.data(), line.size(), "rx type %d sub %d (%s) length %u", frame.header.type, frame.header.subCode,
                name != nullptr ? name : "?", static_cast<unsigned>(frame.header.length));
  std::string described = line.data();
  if (frame.header.type == NCSMSG_TEXT_ON_AIR) {
    TextOnAirRecordBytes bytes{};
    if (UnpackCompressedRecord(frame.body, bytes) == kRecordOk) {
      const TextOnAirRecord text = ReadTextOnAirRecord(bytes);
      std::snprintf(line.data(), line.size(), " on %.3f from %s: ", text.frequencyMhz, text.sender.c_str());
      described += line.data() + text.text;
    }
  } else if (frame.header.type == NCSMSG_TEXT_PRIVATE) {
    PrivateTextRecordBytes bytes{};
    if (UnpackCompressedRecord(frame.body, bytes) == kRecordOk) {
      const PrivateTextRecord text = ReadPrivateTextRecord(bytes);
      described += " private from " + text.sender + " to " + text.recipient + ": " + text.text;
    }
  }
  return described;
}
