#include "net/node_records.h"

#include <algorithm>
#include <array>
#include <bit>

#include "base/byte_order.h"
#include "base/klib_settings.h"
#include "net/frame_codes.h"
#include "net/frame_format.h"
#include "net/text_records.h"

namespace {

// Identity block.
constexpr std::size_t kIdKind = 8;
constexpr std::size_t kIdMajor = 16;
constexpr std::size_t kIdMinor = 17;
constexpr std::size_t kIdBuild = 18;
constexpr std::size_t kIdLetter = 19;
constexpr std::size_t kIdMachine = 20;
constexpr std::size_t kIdPublic = 24;
constexpr std::size_t kIdLan = 28;
constexpr std::size_t kIdPort = 36;
constexpr std::size_t kIdToken = 46;
constexpr std::size_t kIdLogin = 48;
constexpr std::size_t kIdPassword = 64;
constexpr std::size_t kIdCallsign = 80;
constexpr std::size_t kIdFirstName = 96;
constexpr std::size_t kIdLastName = 128;
constexpr std::size_t kIdRatings = 160;
constexpr std::size_t kNameSize = 32;

// Login part, from the end of the identity block.
constexpr std::size_t kLpOptions = 8;
constexpr std::size_t kLpSimulator = 12;
constexpr std::size_t kLpAltitude = 16;
constexpr std::size_t kLpMach = 20;
constexpr std::size_t kLpHeading = 22;
constexpr std::size_t kLpSpeed = 24;
constexpr std::size_t kLpTransponder = 26;
constexpr std::size_t kLpBandwidth = 28;
constexpr std::size_t kLpAirport = 32;
constexpr std::size_t kLpAirportSize = 5;
constexpr std::size_t kLpTransponderMode = 37;
constexpr std::size_t kLpDistance = 38;
constexpr std::size_t kLpLatitude = 40;
constexpr std::size_t kLpLongitude = 48;
constexpr std::size_t kLpCom1 = 56;
constexpr std::size_t kLpCom2 = 64;
constexpr std::size_t kLpIcaoType = 72;
constexpr std::size_t kLpShortField = 8;
constexpr std::size_t kLpTitle = 80;
constexpr std::size_t kLpTitleSize = 112;
constexpr std::size_t kLpClassCode = 192;
constexpr std::size_t kLpShortCode = 200;
// The part ends in zero bytes after the last field.
static_assert(kLpShortCode + kLpShortField <= kLoginPartSize);

// Server info block.
constexpr std::size_t kSiName = 8;
constexpr std::size_t kSiNameSize = 80;
constexpr std::size_t kSiComments = 88;
constexpr std::size_t kSiCommentsSize = 128;
constexpr std::size_t kSiPlatform = 216;

// Short infos.
constexpr std::size_t kSiAltitude = 8;
constexpr std::size_t kSiSpeed = 12;
constexpr std::size_t kSiHeading = 14;
constexpr std::size_t kSiLatitude = 16;
constexpr std::size_t kSiLongitude = 24;
constexpr std::size_t kSiOnGround = 32;
static_assert(kSiOnGround + 2 <= kShortInfoRecordSize);

// Neighbour link and tunnel request.
constexpr std::size_t kLinkAddress = 8;
constexpr std::size_t kLinkPort = 12;
constexpr std::size_t kLinkFlags = 14;
constexpr std::size_t kLinkKind = 15;
constexpr std::size_t kLinkCallsign = 16;
constexpr std::size_t kTunnelRequester = 32;
static_assert(kLinkCallsign + kRecordCallsignSize == kNeighbourLinkRecordSize);
static_assert(kTunnelRequester + kRecordCallsignSize == kTunnelRequestRecordSize);

constexpr std::size_t kTrustedAddress = 8;

constexpr std::size_t kServerTextSender = 8;
constexpr std::size_t kServerTextText = 24;

constexpr std::size_t kFlightPlanCallsign = 8;
constexpr std::size_t kFlightPlanRecordAt = 24;
static_assert(kFlightPlanRecordAt + kFlightPlanRecordSize == kFlightPlanPacketSize);

constexpr std::size_t kVoiceAnnounced = 16;
constexpr std::size_t kVoiceMarkerAt = 20;

constexpr std::size_t kHubEntryMax = 63;

using Out = std::span<std::uint8_t>;
using In = std::span<const std::uint8_t>;

// The last byte of the field stays the terminator.
void PutText(Out field, std::string_view text) {
  const std::size_t n = std::min(text.size(), field.size() - 1);
  std::copy_n(text.begin(), n, field.begin());
}

// Stops at the first zero, and before the field's last byte at the latest.
std::string GetText(In field) {
  const In kept = field.first(field.size() - 1);
  const auto end = std::find(kept.begin(), kept.end(), std::uint8_t{0});
  return std::string(kept.begin(), end);
}

void PutU16(Out out, std::size_t at, std::uint16_t value) {
  out[at] = static_cast<std::uint8_t>(value);
  out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

std::uint16_t GetU16(In in, std::size_t at) {
  return static_cast<std::uint16_t>(in[at] | (in[at + 1] << 8));
}

void PutU32At(Out out, std::size_t at, std::uint32_t value) { PutU32(&out[at], value); }
std::uint32_t GetU32At(In in, std::size_t at) { return GetU32(&in[at]); }

void PutF64(Out out, std::size_t at, double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  for (std::size_t i = 0; i < 8; ++i) out[at + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

double GetF64(In in, std::size_t at) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(in[at + i]) << (8 * i);
  return std::bit_cast<double>(bits);
}

void WriteIdentityInto(Out out, const IdentityBlock& block) {
  out[kIdKind] = static_cast<std::uint8_t>(block.peerKind);
  out[kIdMajor] = block.versionMajor;
  out[kIdMinor] = block.versionMinor;
  out[kIdBuild] = block.versionBuild;
  out[kIdLetter] = static_cast<std::uint8_t>(block.versionLetter);
  PutU32At(out, kIdMachine, block.machineId);
  PutU32At(out, kIdPublic, block.publicAddress);
  PutU32At(out, kIdLan, block.lanAddress);
  PutU16(out, kIdPort, block.listenPort);
  out[kIdToken] = block.serverToken;
  PutText(out.subspan(kIdLogin, kRecordCallsignSize), block.login);
  PutText(out.subspan(kIdPassword, kRecordCallsignSize), block.passwordOrServer);
  PutText(out.subspan(kIdCallsign, kRecordCallsignSize), block.callsign);
  PutText(out.subspan(kIdFirstName, kNameSize), block.firstName);
  PutText(out.subspan(kIdLastName, kNameSize), block.lastName);
  PutU32At(out, kIdRatings, block.ratingBits);
}

IdentityBlock ReadIdentityFrom(In in) {
  IdentityBlock block;
  block.peerKind = static_cast<char>(in[kIdKind]);
  block.versionMajor = in[kIdMajor];
  block.versionMinor = in[kIdMinor];
  block.versionBuild = in[kIdBuild];
  block.versionLetter = static_cast<char>(in[kIdLetter]);
  block.machineId = GetU32At(in, kIdMachine);
  block.publicAddress = GetU32At(in, kIdPublic);
  block.lanAddress = GetU32At(in, kIdLan);
  block.listenPort = GetU16(in, kIdPort);
  block.serverToken = in[kIdToken];
  block.login = GetText(in.subspan(kIdLogin, kRecordCallsignSize));
  block.passwordOrServer = GetText(in.subspan(kIdPassword, kRecordCallsignSize));
  block.callsign = GetText(in.subspan(kIdCallsign, kRecordCallsignSize));
  block.firstName = GetText(in.subspan(kIdFirstName, kNameSize));
  block.lastName = GetText(in.subspan(kIdLastName, kNameSize));
  block.ratingBits = GetU32At(in, kIdRatings);
  return block;
}

void WriteNeighbourInto(Out out, std::uint32_t address, std::uint16_t port, char kind,
                        std::string_view callsign) {
  PutU32At(out, kLinkAddress, address);
  PutU16(out, kLinkPort, port);
  out[kLinkKind] = static_cast<std::uint8_t>(kind);
  PutText(out.subspan(kLinkCallsign, kRecordCallsignSize), callsign);
}

std::vector<std::uint8_t> NodeFrame(std::uint8_t type, std::uint8_t subCode, In body) {
  FrameHeader header;
  header.type = type;
  header.subCode = subCode;
  return BuildFrame(FRAME_SYNC_NETWORK, header, body);
}

constexpr std::array<const char*, 23> kRatingNames = {
    "PPL",        "IR/QRI",    "SVFR",   "IFR",      "IMC",      "CPL",       "CFI_IFI",   "CFII",
    "MEI",        "ATPL",      "MultiPiston", "MultiProp", "BiJet", "MultiJet", "Helico", "Seaplane",
    "Sailplane",  "Mountain",  "AIRPORT1", "AIRPORT2", "AIRPORT3", "DogFight", "TopGun"};

}  // namespace

IdentityBlockBytes WriteIdentityBlock(const IdentityBlock& block) {
  IdentityBlockBytes bytes{};
  WriteIdentityInto(bytes, block);
  return bytes;
}

std::int32_t ReadIdentityBlock(std::span<const std::uint8_t> body, IdentityBlock& out) {
  if (body.size() < kIdentityBlockSize) return kNodeRecordShort;
  out = ReadIdentityFrom(body.first(kIdentityBlockSize));
  return kNodeRecordOk;
}

LoginRecordBytes WriteLoginRecord(const LoginRecord& record) {
  LoginRecordBytes bytes{};
  const Out all(bytes);
  WriteIdentityInto(all.first(kIdentityBlockSize), record.identity);
  const Out part = all.subspan(kIdentityBlockSize);
  PutU32At(part, kLpOptions, record.optionBits);
  PutU32At(part, kLpSimulator, record.simulatorCode);
  PutU32At(part, kLpAltitude, static_cast<std::uint32_t>(record.altitudeFeet));
  PutU16(part, kLpMach, record.machTimes1000);
  PutU16(part, kLpHeading, record.headingDegrees);
  PutU16(part, kLpSpeed, record.speedKnots);
  PutU16(part, kLpTransponder, record.transponderCode);
  PutU32At(part, kLpBandwidth, record.uploadBandwidth);
  PutText(part.subspan(kLpAirport, kLpAirportSize), record.nearestAirport);
  part[kLpTransponderMode] = static_cast<std::uint8_t>(record.transponderMode);
  PutU16(part, kLpDistance, record.airportDistanceNm);
  PutF64(part, kLpLatitude, record.latitude);
  PutF64(part, kLpLongitude, record.longitude);
  PutText(part.subspan(kLpCom1, kLpShortField), record.com1);
  PutText(part.subspan(kLpCom2, kLpShortField), record.com2);
  PutText(part.subspan(kLpIcaoType, kLpShortField), record.icaoType);
  PutText(part.subspan(kLpTitle, kLpTitleSize), record.title);
  PutText(part.subspan(kLpClassCode, kLpShortField), record.classCode);
  PutText(part.subspan(kLpShortCode, kLpShortField), record.shortCode);
  return bytes;
}

std::int32_t ReadLoginRecord(std::span<const std::uint8_t> body, LoginRecord& out) {
  if (body.size() < kLoginRecordSize) return kNodeRecordShort;
  LoginRecord record;
  record.identity = ReadIdentityFrom(body.first(kIdentityBlockSize));
  const In part = body.subspan(kIdentityBlockSize, kLoginPartSize);
  record.optionBits = GetU32At(part, kLpOptions);
  record.simulatorCode = GetU32At(part, kLpSimulator);
  record.altitudeFeet = static_cast<std::int32_t>(GetU32At(part, kLpAltitude));
  record.machTimes1000 = GetU16(part, kLpMach);
  record.headingDegrees = GetU16(part, kLpHeading);
  record.speedKnots = GetU16(part, kLpSpeed);
  record.transponderCode = GetU16(part, kLpTransponder);
  record.uploadBandwidth = GetU32At(part, kLpBandwidth);
  record.nearestAirport = GetText(part.subspan(kLpAirport, kLpAirportSize));
  record.transponderMode = static_cast<char>(part[kLpTransponderMode]);
  record.airportDistanceNm = GetU16(part, kLpDistance);
  record.latitude = GetF64(part, kLpLatitude);
  record.longitude = GetF64(part, kLpLongitude);
  record.com1 = GetText(part.subspan(kLpCom1, kLpShortField));
  record.com2 = GetText(part.subspan(kLpCom2, kLpShortField));
  record.icaoType = GetText(part.subspan(kLpIcaoType, kLpShortField));
  record.title = GetText(part.subspan(kLpTitle, kLpTitleSize));
  record.classCode = GetText(part.subspan(kLpClassCode, kLpShortField));
  record.shortCode = GetText(part.subspan(kLpShortCode, kLpShortField));
  out = std::move(record);
  return kNodeRecordOk;
}

LoginAckRecordBytes WriteLoginAckRecord(const LoginAckRecord& record) {
  LoginAckRecordBytes bytes{};
  const Out all(bytes);
  WriteIdentityInto(all.first(kIdentityBlockSize), record.identity);
  const Out info = all.subspan(kIdentityBlockSize);
  PutText(info.subspan(kSiName, kSiNameSize), record.serverName);
  PutText(info.subspan(kSiComments, kSiCommentsSize), record.serverComments);
  info[kSiPlatform] = record.platformBits;
  return bytes;
}

std::int32_t ReadLoginAckRecord(std::span<const std::uint8_t> body, LoginAckRecord& out) {
  if (body.size() < kLoginAckRecordSize) return kNodeRecordShort;
  LoginAckRecord record;
  record.identity = ReadIdentityFrom(body.first(kIdentityBlockSize));
  const In info = body.subspan(kIdentityBlockSize, kServerInfoBlockSize);
  record.serverName = GetText(info.subspan(kSiName, kSiNameSize));
  record.serverComments = GetText(info.subspan(kSiComments, kSiCommentsSize));
  record.platformBits = info[kSiPlatform];
  out = std::move(record);
  return kNodeRecordOk;
}

std::uint32_t ServerVersionWord(const IdentityBlock& server) {
  char letter = server.versionLetter;
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  const auto letterTerm = static_cast<std::uint8_t>(static_cast<std::uint8_t>(letter) - 'A');
  return (std::uint32_t{server.versionMajor} << 24) | (std::uint32_t{server.versionMinor} << 16) |
         (std::uint32_t{server.versionBuild} << 8) | letterTerm;
}

const char* ServerPlatformName(std::uint8_t platformBits) {
  return (platformBits & 0x01) != 0 ? "linNCS" : "winNCS";
}

std::vector<const char*> PilotRatingNames(std::uint32_t ratingBits) {
  std::vector<const char*> names;
  for (std::size_t bit = 0; bit < kRatingNames.size(); ++bit) {
    if ((ratingBits >> bit) & 1u) names.push_back(kRatingNames[bit]);
  }
  return names;
}

ShortInfoRecordBytes WriteShortInfoRecord(const ShortInfoRecord& record) {
  ShortInfoRecordBytes bytes{};
  PutU32At(bytes, kSiAltitude, static_cast<std::uint32_t>(record.altitudeFeet));
  PutU16(bytes, kSiSpeed, record.speedKnots);
  PutU16(bytes, kSiHeading, record.headingDegrees);
  PutF64(bytes, kSiLatitude, record.latitude);
  PutF64(bytes, kSiLongitude, record.longitude);
  PutU16(bytes, kSiOnGround, record.onGround);
  return bytes;
}

std::int32_t ReadShortInfoRecord(std::span<const std::uint8_t> body, ShortInfoRecord& out) {
  if (body.size() < kShortInfoRecordSize) return kNodeRecordShort;
  out.altitudeFeet = static_cast<std::int32_t>(GetU32At(body, kSiAltitude));
  out.speedKnots = GetU16(body, kSiSpeed);
  out.headingDegrees = GetU16(body, kSiHeading);
  out.latitude = GetF64(body, kSiLatitude);
  out.longitude = GetF64(body, kSiLongitude);
  out.onGround = GetU16(body, kSiOnGround);
  return kNodeRecordOk;
}

NeighbourLinkRecordBytes WriteNeighbourLinkRecord(const NeighbourLinkRecord& record) {
  NeighbourLinkRecordBytes bytes{};
  WriteNeighbourInto(bytes, record.address, record.port, record.peerKind, record.callsign);
  bytes[kLinkFlags] = record.flags;
  return bytes;
}

std::int32_t ReadNeighbourLinkRecord(std::span<const std::uint8_t> body, NeighbourLinkRecord& out) {
  if (body.size() < kNeighbourLinkRecordSize) return kNodeRecordShort;
  NeighbourLinkRecord record;
  record.address = GetU32At(body, kLinkAddress);
  record.port = GetU16(body, kLinkPort);
  record.flags = body[kLinkFlags];
  record.peerKind = static_cast<char>(body[kLinkKind]);
  record.callsign = GetText(body.subspan(kLinkCallsign, kRecordCallsignSize));
  const bool noPort = record.port == 0;
  out = std::move(record);
  return noPort ? kNodeRecordBadPort : kNodeRecordOk;
}

TunnelRequestRecordBytes WriteTunnelRequestRecord(const TunnelRequestRecord& record) {
  TunnelRequestRecordBytes bytes{};
  const Out all(bytes);
  WriteNeighbourInto(all, record.address, record.port, record.peerKind, record.peerCallsign);
  PutText(all.subspan(kTunnelRequester, kRecordCallsignSize), record.requesterName);
  return bytes;
}

std::int32_t ReadTunnelRequestRecord(std::span<const std::uint8_t> body, TunnelRequestRecord& out) {
  if (body.size() < kTunnelRequestRecordSize) return kNodeRecordShort;
  TunnelRequestRecord record;
  record.address = GetU32At(body, kLinkAddress);
  record.port = GetU16(body, kLinkPort);
  record.peerKind = static_cast<char>(body[kLinkKind]);
  record.peerCallsign = GetText(body.subspan(kLinkCallsign, kRecordCallsignSize));
  record.requesterName = GetText(body.subspan(kTunnelRequester, kRecordCallsignSize));
  const bool noPort = record.port == 0;
  out = std::move(record);
  return noPort ? kNodeRecordBadPort : kNodeRecordOk;
}

TrustedIpRecordBytes WriteTrustedIpRecord(std::uint32_t address) {
  TrustedIpRecordBytes bytes{};
  PutU32At(bytes, kTrustedAddress, address);
  return bytes;
}

std::int32_t ReadTrustedIpRecord(std::span<const std::uint8_t> body, std::uint32_t& address) {
  if (body.size() < kTrustedIpRecordSize) return kNodeRecordShort;
  address = GetU32At(body, kTrustedAddress);
  return kNodeRecordOk;
}

ServerTextRecordBytes WriteServerTextRecord(const ServerTextRecord& record) {
  ServerTextRecordBytes bytes{};
  const Out all(bytes);
  PutText(all.subspan(kServerTextSender, kRecordCallsignSize), record.sender);
  PutText(all.subspan(kServerTextText), record.text);
  return bytes;
}

ServerTextRecord ReadServerTextRecord(std::span<const std::uint8_t, kServerTextRecordSize> bytes) {
  const In all(bytes);
  ServerTextRecord record;
  record.sender = GetText(all.subspan(kServerTextSender, kRecordCallsignSize));
  record.text = GetText(all.subspan(kServerTextText));
  return record;
}

std::vector<std::uint8_t> WriteServerAnswerBody(std::uint32_t answer, std::string_view callsign) {
  callsign = callsign.substr(0, kRecordCallsignSize - 1);
  std::vector<std::uint8_t> body;
  body.reserve(kServerAnswerPrefixSize + callsign.size());
  PutU32(body, answer);
  body.insert(body.end(), callsign.begin(), callsign.end());
  return body;
}

std::int32_t ReadServerAnswerBody(std::span<const std::uint8_t> body, std::uint32_t& answer,
                                  std::string& callsign) {
  if (body.size() < kServerAnswerPrefixSize) return kNodeRecordShort;
  answer = GetU32At(body, 0);
  const In rest = body.subspan(kServerAnswerPrefixSize);
  const In kept = rest.first(std::min(rest.size(), kRecordCallsignSize - 1));
  callsign.assign(kept.begin(), std::find(kept.begin(), kept.end(), std::uint8_t{0}));
  return kNodeRecordOk;
}

std::int32_t ReadInCockpitBody(std::span<const std::uint8_t> body, std::uint16_t& seconds) {
  if (body.size() < kInCockpitBodySize) return kNodeRecordShort;
  seconds = GetU16(body, 0);
  return kNodeRecordOk;
}

std::array<std::uint8_t, kInCockpitBodySize> WriteInCockpitBody(std::uint16_t seconds) {
  std::array<std::uint8_t, kInCockpitBodySize> bytes{};
  PutU16(bytes, 0, seconds);
  return bytes;
}

FlightPlanPacketBytes WriteFlightPlanPacket(std::string_view callsign, const FlightPlanRecordBytes& plan) {
  FlightPlanPacketBytes bytes{};
  const Out all(bytes);
  PutText(all.subspan(kFlightPlanCallsign, kRecordCallsignSize), callsign);
  std::copy(plan.begin(), plan.end(), all.subspan(kFlightPlanRecordAt).begin());
  return bytes;
}

OpenPortTestReply MakeOpenPortTestReply() {
  OpenPortTestReply bytes{};
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i);
  return bytes;
}

std::int32_t ReadTextStylePair(std::span<const std::uint8_t> body, TextStylePair& out) {
  if (body.size() < kTextStylePairSize) return kNodeRecordShort;
  out.first = GetU32At(body, 0);
  out.second = GetU32At(body, 4);
  return kNodeRecordOk;
}

std::array<std::uint8_t, kTextStylePairSize> WriteTextStylePair(const TextStylePair& pair) {
  std::array<std::uint8_t, kTextStylePairSize> bytes{};
  PutU32At(bytes, 0, pair.first);
  PutU32At(bytes, 4, pair.second);
  return bytes;
}

std::int32_t ReadSetAttribBody(std::span<const std::uint8_t> body, std::string& text) {
  if (body.size() < 2) return kNodeRecordShort;
  const std::size_t length = GetU16(body, 0);
  if (length >= kSetAttribTextLimit) return kNodeRecordTooLong;
  if (body.size() - 2 < length) return kNodeRecordShort;
  const In bytes = body.subspan(2, length);
  text.assign(bytes.begin(), std::find(bytes.begin(), bytes.end(), std::uint8_t{0}));
  return kNodeRecordOk;
}

std::vector<std::uint8_t> WriteSetAttribBody(std::string_view text) {
  text = text.substr(0, kSetAttribTextLimit - 1);
  std::vector<std::uint8_t> body(2 + text.size());
  PutU16(body, 0, static_cast<std::uint16_t>(text.size()));
  std::copy(text.begin(), text.end(), body.begin() + 2);
  return body;
}

std::int32_t ReadVoiceBlock(std::span<const std::uint8_t> body, VoiceBlockView& out) {
  if (body.size() < kVoiceBlockLeadSize) return kNodeRecordShort;
  if (body[kVoiceMarkerAt] != kVoiceMarker) return kNodeRecordNotVoice;
  const std::uint32_t announced = GetU32At(body, kVoiceAnnounced);
  const std::size_t after = body.size() - kVoiceBlockLeadSize;
  // An announced 0 would wrap to 4 GB once the marker byte is taken off.
  const std::size_t frameLength = announced == 0 ? 0 : std::min<std::size_t>(announced - 1, after);
  out.announced = announced;
  out.frame = body.subspan(kVoiceBlockLeadSize, frameLength);
  return kNodeRecordOk;
}

std::vector<std::uint8_t> WriteVoiceBlock(std::span<const std::uint8_t> voiceFrame) {
  // The lead is laid out in a fixed buffer first: the compiler then sees every
  // write inside it.
  std::array<std::uint8_t, kVoiceBlockLeadSize> lead{};
  PutU32(lead.data() + kVoiceAnnounced, static_cast<std::uint32_t>(voiceFrame.size() + 1));
  lead[kVoiceMarkerAt] = kVoiceMarker;
  std::vector<std::uint8_t> body(kVoiceBlockLeadSize + voiceFrame.size());
  std::copy(voiceFrame.begin(), voiceFrame.end(), std::copy(lead.begin(), lead.end(), body.begin()));
  return body;
}

HubEntry ParseHubEntry(std::string_view hubList, std::uint16_t& port) {
  HubEntry entry;
  const std::string_view first = hubList.substr(0, kHubEntryMax);
  const auto colon = first.find(':');
  entry.host = std::string(first.substr(0, colon));
  if (colon == std::string_view::npos) return entry;
  // The port may run past the 63 kept characters of the host.
  const std::string_view digits = hubList.substr(colon + 1);
  std::uint32_t value = 0;
  std::size_t used = 0;
  while (used < digits.size() && digits[used] >= '0' && digits[used] <= '9') {
    value = value * 10 + static_cast<std::uint32_t>(digits[used] - '0');
    if (value > 65535) return entry;
    ++used;
  }
  if (used == 0 || value == 0) return entry;
  port = static_cast<std::uint16_t>(value);
  entry.portTaken = true;
  return entry;
}

std::vector<std::uint8_t> BuildLoginFrame(const LoginRecord& record) {
  return NodeFrame(NCSMSG_LOGIN, NCSUB_LOGIN, WriteLoginRecord(record));
}

std::vector<std::uint8_t> BuildLoginAckFrame(const LoginAckRecord& record) {
  return NodeFrame(NCSMSG_LOGIN, NCSUB_LOGIN_ACK, WriteLoginAckRecord(record));
}

std::vector<std::uint8_t> BuildLogoutFrame(const IdentityBlock& identity) {
  return NodeFrame(NCSMSG_LOGOUT, 0, WriteIdentityBlock(identity));
}
