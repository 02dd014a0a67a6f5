// The table of the 50 peer ways: one record per way, its allocation and its
// clearing. Every scan, look-up, allocation or clearing holds WayTableLock.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "net/way_ids.h"
#include "net/way_table_lock.h"
#include "core/text_fields.h"  // FieldText

class COrvSok;

inline constexpr std::uint32_t kWayAllocated = 0x40;
inline constexpr std::uint32_t kWayInvisible = 0x80;
inline constexpr std::uint32_t kWayRecreateAi = 0x100;
inline constexpr std::uint32_t kWayAiRemovalRequested = 0x200;
inline constexpr std::uint32_t kWayRequest81 = 0x800;
inline constexpr std::uint32_t kWayFlag1000 = 0x1000;  // cleared whenever a new pilot link starts
inline constexpr std::uint32_t kWayAiAddPending = 0x2000;
// Voice flags: the peer listens on frequency A / B when a bit of the mask is set.
inline constexpr std::uint32_t kWayListensOnA = 0x14;
inline constexpr std::uint32_t kWayListensOnB = 0x18;
// A pilot's radio selection as voice flags: COM1 (frequency A), COM2
// (frequency B), both. One bit each, so that COM1 alone never listens on B.
inline constexpr std::uint32_t kWayVoiceCom1 = 0x04;
inline constexpr std::uint32_t kWayVoiceCom2 = 0x08;
inline constexpr std::uint32_t kWayVoiceBothComs = 0x10;
inline constexpr std::uint32_t kWayVoiceRadioBits = kWayVoiceCom1 | kWayVoiceCom2 | kWayVoiceBothComs;
// The flag bits that survive a clear.
inline constexpr std::uint32_t kWayFlagsKeptOnClear = kWayRecreateAi | kWayAiRemovalRequested;

inline constexpr std::size_t kWayNameSize = 16;
inline constexpr std::size_t kWayPersonNameSize = 32;
inline constexpr std::size_t kWayTitleSize = 112;
inline constexpr std::size_t kWayIcaoTypeSize = 8;
inline constexpr std::size_t kWayClassCodeSize = 16;
inline constexpr std::size_t kWayModelRequestSize = 140;
inline constexpr std::size_t kWayFrequencySize = 8;
inline constexpr std::size_t kWayAtisSize = 1024;
inline constexpr std::size_t kWayFlightStripSize = 256;
inline constexpr std::size_t kWayWeatherSize = 256;
inline constexpr std::size_t kWayOutgoingTextSize = 512;
inline constexpr std::size_t kWayHistorySize = 8;
inline constexpr std::size_t kWayChosenModelSize = 8;
inline constexpr std::size_t kWaySimObjectBlockSize = 672;

struct WayPosition {
  double latitude = 0.0;
  double longitude = 0.0;
  double altitude = 0.0;
  float pitch = 0.0F;
  float bank = 0.0F;
  float heading = 0.0F;
  // The rest of the peer's position block: the record's two leading words
  // (sequence number and time stamp), its on-ground word (bit 0 on the
  // ground), its ground speed in whole knots and its vertical speed in feet
  // per minute.
  std::uint32_t word1 = 0;
  std::uint32_t word2 = 0;
  std::uint16_t onGroundWord = 0;
  std::uint16_t groundSpeedKnots = 0;
  std::int16_t verticalSpeed = 0;
};

// What a pilot's login told of him and what his link keeps per peer.
struct WayPilotInfo {
  std::uint8_t loginDirection = 0;  // 0 he logged in to us, 1 he acknowledged our login
  std::array<std::uint8_t, 4> versionBytes{};  // major, minor, build, letter
  std::uint32_t versionWord = 0;
  std::uint32_t machineId = 0;
  std::uint16_t listenPort = 0;
  std::uint8_t tokenByte = 0;
  char transponderMode = 0;
  std::uint16_t transponderCode = 0;
  std::uint32_t uploadBandwidth = 0;
  std::array<char, kWayIcaoTypeSize> shortCode{};
  std::array<std::uint8_t, 60> olderPosition{};  // the 60-byte position record
  std::array<std::uint8_t, 48> position{};       // the 48-byte position record
  std::uint8_t radioSelection = 0;  // bit 0 COM1, bit 1 COM2, bit 2 both
  std::array<char, kWayFrequencySize> com1{};
  std::array<char, kWayFrequencySize> com2{};
  std::uint32_t com1Khz = 0;
  std::uint32_t com2Khz = 0;
  bool onGround = false;
  bool positionValid = false;
  std::uint32_t positionAgeSeconds = 0;
  std::uint32_t latencyMs = 0;
  std::uint32_t packetsReceived = 0;
};

// What a controller's login told of him and what his link keeps: the
// controller list reads the frequency, rating, range and the 16-byte field.
inline constexpr std::size_t kWayControllerTextSize = 128;
inline constexpr std::size_t kWayWaypointSize = 64;
inline constexpr std::size_t kWayWeatherIcaoSize = 5;
struct WayControllerInfo {
  std::uint8_t loginDirection = 0;  // 0 he logged in to us, 1 he acknowledged our login
  std::array<std::uint8_t, 4> versionBytes{};
  std::uint32_t machineId = 0;
  std::uint16_t listenPort = 0;
  // His rating (the token byte of his identity, 0..11; above 11 kept as 0).
  std::uint8_t rating = 0;
  // The frequency: whole MHz and thousandths, and its text "%d.%03d".
  std::uint16_t frequencyMhz = 0;
  std::uint16_t frequencyKhz = 0;
  std::array<char, kWayFrequencySize> frequency{};
  // The four words at 8 of his controller part, kept as bytes (little-endian).
  std::array<std::uint8_t, 16> field16{};
  std::uint16_t rangeNm = 0;  // the u16 at 28 of his controller part
  std::uint32_t value32 = 0;  // the u32 at 32
  std::uint32_t transitionAltitudeFeet = 0;  // as he gave it
  std::array<char, kWayControllerTextSize> secondText{};
  std::array<char, kWayWeatherIcaoSize> weatherIcao{};  // the airport whose weather he controls
  std::uint16_t heartbeatCounter = 0;
  std::uint16_t bitrateDivider = 0;
  // The last flight strip he sent.
  std::uint16_t stripKind = 0;
  std::array<char, kWayNameSize> stripController{};
  std::array<char, kWayWaypointSize> stripWaypoint{};
  std::uint16_t stripHeading = 0;
  std::uint16_t stripAltitudeFeet = 0;
  std::uint16_t stripMinimumSpeed = 0;
  std::uint16_t stripMaximumSpeed = 0;
  std::uint16_t stripTransponder = 0;
};

struct WayAircraft {
  std::uint8_t category = 0;
  std::array<char, kWayTitleSize> title{};
  std::array<char, kWayIcaoTypeSize> icaoType{};
  std::array<char, kWayClassCodeSize> classCode{};
};

// The AI aircraft that shows the way's pilot in the simulator, as the plug-in
// link and the AI traffic keep it.
struct WayAiState {
  std::uint16_t acfSlot = 0;       // the plug-in's model slot chosen for the way
  double simulatorHeading = 0.0;   // degrees, from the plug-in's heading list
  std::uint8_t addRequestCounter = 0;
  std::int32_t engineValue = 0;    // the rotor or engine state the AI add and full refresh carry
  std::uint16_t refreshCounter = 0;
  std::array<std::uint8_t, 3> refreshState{};
  std::array<std::uint8_t, 4> simulatorState{};
  // A removal asked of the plug-in and not answered yet: the allocation of
  // the record (WayAllocationOf) whose pilot it was asked for. The answer
  // names only the way, and every pilot of a way has the same object id; kept
  // through a clear, so that an answer coming after its pilot left is known
  // for his and never reaches the record's next pilot.
  std::optional<std::uint32_t> removalAskedFor;
};

// A memory record only: nothing copies it onto a wire or into a file.
struct WayRecord {
  COrvSok* way = nullptr;  // set at start-up, survives every clear
  std::uint32_t peerAddress = 0;  // network order
  std::uint16_t peerPort = 0;
  char peerKind = 0;  // 'P' pilot, 'A' controller
  std::array<char, kWayNameSize> peerLogin{};
  std::array<char, kWayNameSize> callsign{};
  // The name of the peer that asked the node for a tunnel to this way. The
  // node way writes it under the lock when it allocates the way (the way
  // itself learns the same name from the block, on its own thread).
  std::array<char, kWayNameSize> tunnelPeerName{};
  std::array<char, kWayNameSize> serverName{};
  std::array<char, kWayPersonNameSize> firstName{};
  std::array<char, kWayPersonNameSize> lastName{};
  std::uint32_t voiceFlags = 0;
  std::uint32_t lastPositionSentMs = 0;
  std::int32_t simulatorCode = 0;
  WayAircraft current;    // what the model choice works with
  WayAircraft announced;  // as the peer's identity record gave it
  std::uint32_t aircraftWord = 0;  // the aircraft-parameter word of the peer's identity record
  std::array<std::uint8_t, kWayModelRequestSize> storedModelRequest{};
  std::array<char, kWayFrequencySize> frequencyA{};
  std::array<char, kWayFrequencySize> frequencyB{};
  std::array<char, kWayAtisSize> atisText{};
  std::array<char, kWayFlightStripSize> flightStrip{};
  std::array<char, kWayClassCodeSize> controllerClassCode{};
  std::uint32_t controllerRate = 0;
  // Half-seconds between the reports a controller way is sent, and those
  // counted since his last one.
  std::uint16_t controllerReportInterval = 0;
  std::uint16_t controllerReportCounter = 0;
  std::array<char, kWayWeatherSize> localWeather{};
  std::array<char, kWayNameSize> privateTextCallsign{};
  std::array<char, kWayOutgoingTextSize> outgoingText{};
  double onAirFrequencyMhz = 0.0;
  WayPosition position;
  std::uint32_t stateFlags = 0;
  std::array<WayPosition, kWayHistorySize> positionHistory{};
  std::array<std::uint32_t, kWayHistorySize> historyTimesMs{};
  std::uint32_t historyCount = 0;
  double distanceMetres = 0.0;
  double bearingDegrees = 0.0;   // from the own aircraft to the peer
  std::uint32_t outOfRangePositions = 0;  // positions received beyond the range in a row
  std::uint32_t lastSequence = 0;  // of the last accepted position record
  std::array<char, kWayChosenModelSize> chosenModel{};
  std::array<double, 3> modelOffsets{};  // the placement offsets of the chosen local model
  std::int32_t aiObjectId = 0;
  WayAiState ai;
  WayPilotInfo pilot;
  // Kind 'A': his callsign is `callsign`, his ATIS `atisText` (511
  // characters), the rest here.
  WayControllerInfo controller;
  std::array<std::uint8_t, kWaySimObjectBlockSize> simObjectBlock{};  // survives every clear
};

using WayTableArray = std::array<WayRecord, kPeerWayCount>;

// What every record holds before any peer uses it.
inline constexpr std::int32_t kWayInitialSimulatorCode = 2004;
inline constexpr std::uint16_t kWayInitialReportInterval = 2;
inline constexpr std::int32_t kWayNoAiObject = -1;

// The table; zeroed once before the way objects exist.
WayTableArray& WayTable();
// The record of a peer way, null for any other way id.
WayRecord* PeerWayRecord(std::int32_t wayId);

// The caller holds WayTableLock. The first free record, marked allocated
// (callsign copied when given, cut to its field), its way woken; -1 when all
// 50 are allocated.
std::int32_t AllocatePeerWay(const char* callsign);
// Zeroes a record but for its way object, the 0x100/0x200 flags, the
// removal asked of the plug-in and the simulator-object block. A way
// outside 0..49 only takes and leaves the lock.
void ClearWayRecord(std::int32_t wayId, const char* callerTag);
// Under the lock: which allocation the record is in. Allocations are counted
// beside the table and a clear keeps the count, so that whoever frees a
// record can tell the allocation he cleared from one a new caller was given
// since (0 for a way outside 0..49).
std::uint32_t WayAllocationOf(std::int32_t wayId);
// ClearWayRecord, but only while the record is still in that allocation: a
// record handed to a new caller in the meantime is left as it is. True when
// the record was cleared.
bool ClearWayRecordOf(std::int32_t wayId, std::uint32_t allocation, const char* callerTag);
// Under the lock: the allocated way whose callsign is exactly this one, or -1.
std::int32_t LookupWayByCallsign(std::string_view callsign);
// Under the lock: the allocated way that a tunnel was opened for on this
// peer's request (its tunnel peer name is exactly this one); -1 for an
// empty name, -2 when no way carries it.
std::int32_t LookupWayByPeerName(std::string_view peerName);

// Copies text into a fixed field, cut to the field and terminated.
template <std::size_t N>
void CopyToField(std::array<char, N>& field, std::string_view text) {
  const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
  field.fill('\0');
  text.copy(field.data(), n);
}

