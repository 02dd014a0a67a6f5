// The bodies that travel on the node way: the identity block, the login and
// its acknowledgement, and the fixed bodies of the node's orders. Each record
// is written and read field by field (little-endian); texts are zero-padded
// and the last byte of every text field stays its terminator. IPv4 addresses
// are kept as inet_addr gives them (network order in memory).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/flight_plan_record.h"


// Results of the readers: a short body is refused, surplus bytes are skipped.
inline constexpr std::int32_t kNodeRecordOk = 0;
inline constexpr std::int32_t kNodeRecordShort = -1;     // fewer bytes than the record
inline constexpr std::int32_t kNodeRecordBadPort = -2;   // port 0 (the record is read all the same)
inline constexpr std::int32_t kNodeRecordTooLong = -3;   // a length past its bound
inline constexpr std::int32_t kNodeRecordNotVoice = -4;  // block without the voice marker

inline constexpr std::size_t kIdentityBlockSize = 168;
inline constexpr std::size_t kLoginPartSize = 392;
inline constexpr std::size_t kLoginRecordSize = 560;
inline constexpr std::size_t kServerInfoBlockSize = 368;
inline constexpr std::size_t kLoginAckRecordSize = 536;
inline constexpr std::size_t kShortInfoRecordSize = 40;
inline constexpr std::size_t kNeighbourLinkRecordSize = 32;
inline constexpr std::size_t kTunnelRequestRecordSize = 48;
inline constexpr std::size_t kTrustedIpRecordSize = 16;
inline constexpr std::size_t kServerTextRecordSize = 1048;
inline constexpr std::size_t kOpenPortTestReplySize = 128;
inline constexpr std::size_t kTextStylePairSize = 8;
inline constexpr std::size_t kInCockpitBodySize = 2;
inline constexpr std::size_t kServerAnswerPrefixSize = 4;
inline constexpr std::size_t kVoiceBlockLeadSize = 21;  // the voice frame starts here
inline constexpr std::size_t kFlightPlanPacketSize = 2352;

static_assert(kIdentityBlockSize + kLoginPartSize == kLoginRecordSize);
static_assert(kIdentityBlockSize + kServerInfoBlockSize == kLoginAckRecordSize);

// A set-attribute text must be shorter than this.
inline constexpr std::size_t kSetAttribTextLimit = 20480;
// The largest voice block body taken: a receive chunk of a way.
inline constexpr std::uint32_t kMaxVoiceBlockBody = 204800;
inline constexpr std::uint8_t kVoiceMarker = 0x11;

// The oldest server the client logs into: 11.0.4.A.
inline constexpr std::uint32_t kMinServerVersion = 0x0B000400;

// NCSMSG_STANDARD sub-codes.
inline constexpr std::uint8_t kStandardStopReconnect = 0;
inline constexpr std::uint8_t kStandardReconnectLater = 52;
inline constexpr std::uint8_t kStandardShutdown = 53;
inline constexpr std::uint8_t kStandardServerNotice = 54;
inline constexpr std::uint8_t kStandardBroadcast = 55;
inline constexpr std::uint8_t kStandardServerMessage = 56;
inline constexpr std::uint8_t kStandardServerAnswer = 57;  // '9', client to node

// Sub-codes of the text-style type (kNcsMsgTextAttributes).
inline constexpr std::uint8_t kTextStyleLineBreak = 0;
inline constexpr std::uint8_t kTextStyleSetAttrib = 1;  // NCSUB_SETATTRIB
inline constexpr std::uint8_t kTextStyleFormat = 2;
inline constexpr std::uint8_t kTextStyleRemoveDelimiters = 3;
inline constexpr std::uint8_t kTextStyleRemoveBetween = 4;

inline constexpr std::uint8_t kOpenPortTestRequest = 1;

// Option bits of the login.
inline constexpr std::uint32_t kLoginOnGround = 1u << 0;
inline constexpr std::uint32_t kLoginCom1Selected = 1u << 1;
inline constexpr std::uint32_t kLoginCom2Selected = 1u << 2;
inline constexpr std::uint32_t kLoginBothComSelected = 1u << 3;

inline constexpr std::uint8_t kNeighbourTunnelled = 0x01;

struct IdentityBlock {
  char peerKind = 'P';
  std::uint8_t versionMajor = 0;
  std::uint8_t versionMinor = 0;
  std::uint8_t versionBuild = 0;
  char versionLetter = 'B';
  std::uint32_t machineId = 0;
  std::uint32_t publicAddress = 0;  // network order
  std::uint32_t lanAddress = 0;     // network order
  std::uint16_t listenPort = 0;
  std::uint8_t serverToken = 0;
  std::string login;
  std::string passwordOrServer;  // the password towards the node
  std::string callsign;
  std::string firstName;  // zero towards the node
  std::string lastName;   // zero towards the node
  std::uint32_t ratingBits = 0;  // PilotRatingBits, carried by the acknowledgement
};

struct LoginRecord {
  IdentityBlock identity;
  std::uint32_t optionBits = 0;
  std::uint32_t simulatorCode = 9000;
  std::int32_t altitudeFeet = 0;
  std::uint16_t machTimes1000 = 0;
  std::uint16_t headingDegrees = 0;
  std::uint16_t speedKnots = 0;
  std::uint16_t transponderCode = 0;
  std::uint32_t uploadBandwidth = 65536;
  std::string nearestAirport;  // up to 4 letters
  char transponderMode = 'S';
  std::uint16_t airportDistanceNm = 0;
  double latitude = 0.0;
  double longitude = 0.0;
  std::string com1;
  std::string com2;
  std::string icaoType = "C172";
  std::string title = "Cessna Skyhawk 172SP";
  std::string classCode;
  std::string shortCode;
};

struct LoginAckRecord {
  IdentityBlock identity;
  std::string serverName;
  std::string serverComments;
  std::uint8_t platformBits = 0;  // bit 0 set: "linNCS"
};

// Body of NCSMSG_PILOT / NCSUB_SHORTINFOS.
struct ShortInfoRecord {
  std::int32_t altitudeFeet = 0;
  std::uint16_t speedKnots = 0;
  std::uint16_t headingDegrees = 0;
  double latitude = 0.0;
  double longitude = 0.0;
  std::uint16_t onGround = 0;
};

struct NeighbourLinkRecord {
  std::uint32_t address = 0;  // network order
  std::uint16_t port = 0;
  std::uint8_t flags = 0;
  char peerKind = 'P';
  std::string callsign;
  bool Tunnelled() const { return (flags & kNeighbourTunnelled) != 0; }
};

struct TunnelRequestRecord {
  std::uint32_t address = 0;  // network order
  std::uint16_t port = 0;
  char peerKind = 'P';
  std::string peerCallsign;
  std::string requesterName;
};

// The sender (or title) and the text of NCSMSG_STANDARD 54, 55 and 56.
struct ServerTextRecord {
  std::string sender;
  std::string text;
};

struct TextStylePair {
  std::uint32_t first = 0;  // effects, or the opening delimiter
  std::uint32_t second = 0;  // colour, or the closing delimiter
};

// A voice frame inside a block body (a view into that body).
struct VoiceBlockView {
  std::uint32_t announced = 0;  // the u32 at 16: frame length + 1
  std::span<const std::uint8_t> frame;
};

struct HubEntry {
  std::string host;     // at most 63 characters, cut at the first ':'
  bool portTaken = false;  // the port after ':' was 1..65535
};

using IdentityBlockBytes = std::array<std::uint8_t, kIdentityBlockSize>;
using LoginRecordBytes = std::array<std::uint8_t, kLoginRecordSize>;
using LoginAckRecordBytes = std::array<std::uint8_t, kLoginAckRecordSize>;
using ShortInfoRecordBytes = std::array<std::uint8_t, kShortInfoRecordSize>;
using NeighbourLinkRecordBytes = std::array<std::uint8_t, kNeighbourLinkRecordSize>;
using TunnelRequestRecordBytes = std::array<std::uint8_t, kTunnelRequestRecordSize>;
using TrustedIpRecordBytes = std::array<std::uint8_t, kTrustedIpRecordSize>;
using ServerTextRecordBytes = std::array<std::uint8_t, kServerTextRecordSize>;
using OpenPortTestReply = std::array<std::uint8_t, kOpenPortTestReplySize>;
using FlightPlanPacketBytes = std::array<std::uint8_t, kFlightPlanPacketSize>;

IdentityBlockBytes WriteIdentityBlock(const IdentityBlock& block);
std::int32_t ReadIdentityBlock(std::span<const std::uint8_t> body, IdentityBlock& out);

LoginRecordBytes WriteLoginRecord(const LoginRecord& record);
std::int32_t ReadLoginRecord(std::span<const std::uint8_t> body, LoginRecord& out);

LoginAckRecordBytes WriteLoginAckRecord(const LoginAckRecord& record);
std::int32_t ReadLoginAckRecord(std::span<const std::uint8_t> body, LoginAckRecord& out);

// major << 24 | minor << 16 | build << 8 | (upper-case letter - 'A') to 8 bits.
std::uint32_t ServerVersionWord(const IdentityBlock& server);
inline bool IsServerVersionAccepted(const IdentityBlock& server) {
  return ServerVersionWord(server) >= kMinServerVersion;
}
const char* ServerPlatformName(std::uint8_t platformBits);
// The names of the set rating bits in print order; empty for a zero word
// (printed "None."). Bits 23 and above have no name.
std::vector<const char*> PilotRatingNames(std::uint32_t ratingBits);

ShortInfoRecordBytes WriteShortInfoRecord(const ShortInfoRecord& record);
std::int32_t ReadShortInfoRecord(std::span<const std::uint8_t> body, ShortInfoRecord& out);

NeighbourLinkRecordBytes WriteNeighbourLinkRecord(const NeighbourLinkRecord& record);
std::int32_t ReadNeighbourLinkRecord(std::span<const std::uint8_t> body, NeighbourLinkRecord& out);

TunnelRequestRecordBytes WriteTunnelRequestRecord(const TunnelRequestRecord& record);
std::int32_t ReadTunnelRequestRecord(std::span<const std::uint8_t> body, TunnelRequestRecord& out);

TrustedIpRecordBytes WriteTrustedIpRecord(std::uint32_t address);
std::int32_t ReadTrustedIpRecord(std::span<const std::uint8_t> body, std::uint32_t& address);

// The unpacked 1,048-byte record (it travels compressed).
ServerTextRecordBytes WriteServerTextRecord(const ServerTextRecord& record);
ServerTextRecord ReadServerTextRecord(std::span<const std::uint8_t, kServerTextRecordSize> bytes);

// NCSMSG_STANDARD 57: u32 answer, then the callsign without terminator.
std::vector<std::uint8_t> WriteServerAnswerBody(std::uint32_t answer, std::string_view callsign);
std::int32_t ReadServerAnswerBody(std::span<const std::uint8_t> body, std::uint32_t& answer,
                                  std::string& callsign);

std::int32_t ReadInCockpitBody(std::span<const std::uint8_t> body, std::uint16_t& seconds);
std::array<std::uint8_t, kInCockpitBodySize> WriteInCockpitBody(std::uint16_t seconds);

// NCSMSG_PILOT / NCSUB_FLIGHT_PLAN before packing: the own callsign at 8 and
// the flight-plan record, as it stands, at 24.
FlightPlanPacketBytes WriteFlightPlanPacket(std::string_view callsign, const FlightPlanRecordBytes& plan);
// True when the record's flight rules are set (a plan without them is not sent).
inline bool FlightPlanHasType(const FlightPlanRecordBytes& plan) { return plan[kFlightPlanTypeOffset] != 0; }

// The answer to an open-port test: the bytes 0, 1, ... 127.
OpenPortTestReply MakeOpenPortTestReply();

// Sub-codes 2, 3 and 4 of the text-style type.
std::int32_t ReadTextStylePair(std::span<const std::uint8_t> body, TextStylePair& out);
std::array<std::uint8_t, kTextStylePairSize> WriteTextStylePair(const TextStylePair& pair);

// NCSUB_SETATTRIB: u16 length, then the text. A length of kSetAttribTextLimit
// or more is kNodeRecordTooLong (checked before the text is touched); the
// text is cut at a zero byte.
std::int32_t ReadSetAttribBody(std::span<const std::uint8_t> body, std::string& text);
// Texts of kSetAttribTextLimit or more are cut to the largest length taken.
std::vector<std::uint8_t> WriteSetAttribBody(std::string_view text);

// A voice block's announced length, checked before a buffer is had.
inline bool VoiceBlockLengthAccepted(std::uint32_t length) {
  return length >= kVoiceBlockLeadSize && length <= kMaxVoiceBlockBody;
}
// Refuses a body under 21 bytes (kNodeRecordShort) or without the voice
// marker at 20 (kNodeRecordNotVoice); the frame never runs past the body.
std::int32_t ReadVoiceBlock(std::span<const std::uint8_t> body, VoiceBlockView& out);
std::vector<std::uint8_t> WriteVoiceBlock(std::span<const std::uint8_t> voiceFrame);

// The hub list text's first entry: "host[:port]". The port is taken only when
// it is a number 1..65535; otherwise the caller keeps its previous port.
HubEntry ParseHubEntry(std::string_view hubList, std::uint16_t& port);

// Whole frames of the node way with the network sync word.
std::vector<std::uint8_t> BuildLoginFrame(const LoginRecord& record);
std::vector<std::uint8_t> BuildLoginAckFrame(const LoginAckRecord& record);
std::vector<std::uint8_t> BuildLogoutFrame(const IdentityBlock& identity);
