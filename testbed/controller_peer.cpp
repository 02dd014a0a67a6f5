#include "testbed/controller_peer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "base/byte_order.h"
#include "base/lz77.h"
#include "net/compressed_record.h"
#include "net/controller_link.h"
#include "net/frame_codes.h"
#include "net/frame_format.h"
#include "net/pilot_records.h"

namespace {
constexpr std::size_t kReadChunk = 64 * 1024;
constexpr std::uint32_t kLargestRecord = 64 * 1024;

std::uint32_t LoopbackAddress() {
  in_addr address{};
  inet_pton(AF_INET, "127.0.0.1", &address);
  return address.s_addr;
}

std::vector<std::uint8_t> AtcFrame(std::uint8_t subCode, std::span<const std::uint8_t> body, bool packed) {
  FrameHeader header;
  header.type = NCSMSG_ATC;
  header.subCode = subCode;
  if (packed) header.flags = kFrameFlagCompressed;
  return BuildFrame(FRAME_SYNC_NETWORK, header, body);
}

// Packed with the codec's own encoder and buffers of its own.
std::vector<std::uint8_t> PackedBody(std::span<const std::uint8_t> record) {
  std::vector<std::uint8_t> packed(LzMaxPackedSize(static_cast<std::uint32_t>(record.size())));
  std::vector<std::uint32_t> work(LzWorkAreaWords(record.size()));
  const std::size_t n = LzEncode(record, packed, work);
  if (n == 0) return {};
  std::vector<std::uint8_t> body(kCompressedRecordPrefixSize + n);
  PutU32(body.data(), static_cast<std::uint32_t>(record.size()));
  PutU32(body.data() + 4, static_cast<std::uint32_t>(n));
  std::copy_n(packed.begin(), n, body.begin() + kCompressedRecordPrefixSize);
  return body;
}
}  // namespace

std::optional<std::vector<std::uint8_t>> UnpackAnySize(std::span<const std::uint8_t> body) {
  if (body.size() < kCompressedRecordPrefixSize) return std::nullopt;
  const std::uint32_t size = GetU32(body.data());
  if (size == 0 || size > kLargestRecord) return std::nullopt;
  std::vector<std::uint8_t> record(size);
  if (UnpackCompressedRecord(body, record) != kRecordOk) return std::nullopt;
  return record;
}

ControllerPeer::ControllerPeer(ControllerPeerScript script) : script_(std::move(script)) {}

ControllerPeer::~ControllerPeer() { Close(); }

bool ControllerPeer::Connect(std::uint16_t port) {
  Close();
  const SOCKET s = WsSocket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return false;
  if (WsConnect(s, MakeSockAddrIPv4(INADDR_LOOPBACK, port)) != 0) {
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

std::uint16_t ControllerPeer::Listen(std::uint16_t port) {
  Close();
  stop_.Clear();
  listener_ = std::make_unique<TcpListener>(port);
  return listener_->Ok() ? listener_->Port() : 0;
}

bool ControllerPeer::WaitForCall(int timeoutMs) {
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

void ControllerPeer::StartReader() {
  {
    std::lock_guard lock(mutex_);
    closed_ = false;
  }
  stop_.Clear();
  reader_ = std::thread([this] { ReadLoop(); });
}

void ControllerPeer::ReadLoop() {
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
  closed_ = true;
  changed_.notify_all();
}

void ControllerPeer::Take(const Frame& frame) {
  const std::uint8_t sub = frame.header.subCode;
  const bool atc = frame.header.type == NCSMSG_ATC;
  std::optional<std::vector<std::uint8_t>> record;
  if (atc) {
    if ((frame.header.flags & kFrameFlagCompressed) != 0) {
      record = UnpackAnySize(frame.body);
    } else {
      record = frame.body;
    }
  }
  {
    std::lock_guard lock(mutex_);
    if (frames_.size() < kMaxRecordedFrames) frames_.push_back(frame);
    if (atc) {
      ++counts_[sub];
      last_[sub] = std::move(record);
    }
    changed_.notify_all();
  }
  if (atc && sub == NCSUB_LOGIN && script_.answerLogin) SendLoginAck();
}

bool ControllerPeer::SendFrameBytes(const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) return false;
  std::lock_guard lock(sendMutex_);
  if (socket_ == INVALID_SOCKET) return false;
  return tcp_io::SendAll(socket_, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                         kSendTimeoutMs, -1);
}

bool ControllerPeer::SendPacked(std::uint8_t subCode, std::span<const std::uint8_t> record) {
  const std::vector<std::uint8_t> body = PackedBody(record);
  if (body.empty()) return false;
  return SendFrameBytes(AtcFrame(subCode, body, true));
}

bool ControllerPeer::SendPlain(std::uint8_t subCode, std::span<const std::uint8_t> body) {
  return SendFrameBytes(AtcFrame(subCode, body, false));
}

AtcLoginRecord ControllerPeer::LoginRecordToSend() const {
  AtcLoginRecord record;
  IdentityBlock& identity = record.identity;
  identity.peerKind = 'A';
  identity.versionMajor = 3;
  identity.versionMinor = 1;
  identity.versionBuild = 7;
  identity.versionLetter = 'B';
  identity.machineId = 0xA7C0FFEE;
  identity.publicAddress = LoopbackAddress();
  identity.lanAddress = LoopbackAddress();
  identity.listenPort = listener_ ? listener_->Port() : 0;
  identity.serverToken = script_.rating;
  identity.login = script_.login;
  identity.passwordOrServer = script_.serverName;
  identity.callsign = script_.callsign;
  identity.firstName = script_.firstName;
  identity.lastName = script_.lastName;
  AtcControllerPart& c = record.controller;
  c.values = {0x11111111, 0x22222222, 0x33333333, 0x44444444};
  c.frequencyMhz = script_.frequencyMhz;
  c.frequencyKhz = script_.frequencyKhz;
  c.value28 = script_.rangeNm;
  c.value32 = 0x55;
  c.transitionAltitudeFeet = script_.transitionAltitudeFeet;
  c.atis = script_.atis;
  c.secondText = script_.secondText;
  return record;
}

bool ControllerPeer::SendLoginRecord(std::uint8_t subCode, const AtcLoginRecord& record) {
  return SendPacked(subCode, WriteAtcLoginRecord(record));
}

bool ControllerPeer::SendLogin() { return SendLoginRecord(NCSUB_LOGIN, LoginRecordToSend()); }
bool ControllerPeer::SendLoginAck() { return SendLoginRecord(NCSUB_LOGIN_ACK, LoginRecordToSend()); }
bool ControllerPeer::SendHeartbeat() { return SendPlain(NCSUB_HEARTBEAT, {}); }
bool ControllerPeer::SendStartTunnel() { return SendPlain(NCSUB_START_TUNNEL, {}); }

bool ControllerPeer::SendStrip(const FlightStrip& strip) { return SendPacked(NCSUB_FLIGHT_STRIP, WriteFlightStrip(strip)); }

bool ControllerPeer::SendAmendedPlan(const AmendedFlightPlan& packet) {
  return SendPacked(NCSUB_FLIGHT_PLAN, WriteAmendedFlightPlan(packet));
}

bool ControllerPeer::SendAtis(const std::string& text, const std::string& controller) {
  return SendPacked(NCSUB_ATIS, WriteAtisRecord({controller.empty() ? script_.callsign : controller, text}));
}

bool ControllerPeer::SendWeather(const std::string& icao, const std::string& metar, const std::string& controller) {
  return SendPacked(NCSUB_WEATHER, WriteWeatherRecord({controller.empty() ? script_.callsign : controller, icao, metar}));
}

bool ControllerPeer::SendRate(std::uint16_t divider, const std::string& controller) {
  return SendPlain(NCSUB_A2P_MSG_RATE, WriteMessageRateRecord({controller.empty() ? script_.callsign : controller, divider}));
}

bool ControllerPeer::SendHandOff(const std::string& next, std::size_t announcedSize, const std::string& from) {
  const HandOffRecordBytes full = WriteHandOffRecord({from.empty() ? script_.callsign : from, next});
  std::vector<std::uint8_t> record(announcedSize, 0);
  std::copy_n(full.begin(), std::min(announcedSize, full.size()), record.begin());
  return SendPacked(NCSUB_HAND_OFF, record);
}

bool ControllerPeer::SendLogout(const std::string& callsign) {
  return SendPlain(NCSUB_LOGOUT, WritePilotCallsignBody(callsign.empty() ? script_.callsign : callsign));
}

bool ControllerPeer::SendOutOfRange(const std::string& callsign) {
  return SendPlain(NCSUB_OUT_OF_RANGE, WritePilotCallsignBody(callsign.empty() ? script_.callsign : callsign));
}

void ControllerPeer::StopReader() {
  stop_.Signal();
  if (reader_.joinable()) reader_.join();
}

void ControllerPeer::Drop() {
  StopReader();
  std::lock_guard lock(sendMutex_);
  if (socket_ != INVALID_SOCKET) tcp_io::ResetAndClose(socket_);
  socket_ = INVALID_SOCKET;
}

void ControllerPeer::Close() {
  StopReader();
  std::lock_guard lock(sendMutex_);
  if (socket_ != INVALID_SOCKET) {
    WsShutdown(socket_, SD_BOTH);
    closesocket(socket_);
  }
  socket_ = INVALID_SOCKET;
}

std::vector<Frame> ControllerPeer::Frames() const {
  std::lock_guard lock(mutex_);
  return frames_;
}

std::size_t ControllerPeer::CountOf(std::uint8_t subCode) const {
  std::lock_guard lock(mutex_);
  return counts_[subCode];
}

bool ControllerPeer::WaitForCountOf(std::uint8_t subCode, std::size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return counts_[subCode] >= count; });
}

std::optional<std::vector<std::uint8_t>> ControllerPeer::LastRecord(std::uint8_t subCode) const {
  std::lock_guard lock(mutex_);
  return last_[subCode];
}

bool ControllerPeer::WaitForClose(int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return closed_; });
}

std::string DescribeControllerFrame(const Frame& frame) {
  const char* name = NcsSubName(frame.header.type, frame.header.subCode);
  std::array<char, 160> line{};
  std::snprintf(line.data(), line.size(), "rx type %d sub %d (%s) length %u", frame.header.type, frame.header.subCode,
                name != nullptr ? name : "?", static_cast<unsigned>(frame.header.length));
  return line.data();
}
