// The state a pilot way keeps of the pilot at the other end of its link, and
// the codes of its thread messages.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "net/node_records.h"
#include "win/types.h"
#include "net/way_record.h"

// The own simulator code of this edition.
inline constexpr std::int32_t kOwnSimulatorCode = 9000;

// Thread messages of a pilot way (THRDMSG_CONNECT, THRDMSG_LOGOUT and
// THRDMSG_HEARTBEAT are in way_ids.h).
inline constexpr std::uint32_t THRDMSG_LEAVE = 0x80A0;  // the session ended: as THRDMSG_LOGOUT
// Any thread: the way writes one pilot frame (param: sub-code; the optional
// u32 payload: the value), so that only the way's own thread writes its socket.
inline constexpr std::uint32_t THRDMSG_PILOT_SEND = 0xAEE4;

// THRDMSG_SIMPILOT sub-commands.
inline constexpr std::uint32_t kSimPilotAiCreated = 30;
inline constexpr std::uint32_t kSimPilotNothing31 = 31;
inline constexpr std::uint32_t kSimPilotAiRemoved = 32;
inline constexpr std::uint32_t kSimPilotRequest81 = 81;     // 'Q'
inline constexpr std::uint32_t kSimPilotChanges = 82;       // 'R'
inline constexpr std::uint32_t kSimPilotOffsets = 85;       // 'U'
inline constexpr std::uint32_t kSimPilotRadios = 86;        // 'V'
inline constexpr std::uint32_t kSimPilotVisible = 90;       // 'Z'
inline constexpr std::uint32_t kSimPilotInvisible = 91;     // '['
inline constexpr std::uint32_t kSimPilotMatchModel = 92;    // '\'
inline constexpr std::uint32_t kSimPilotTest = 126;         // '~'
inline constexpr std::uint32_t kSimPilotNothing127 = 127;

// Link bit 2 (beside kWayLoggedIn and kWayLoggedInPeer of orv_sok.h): the
// peer's AI aircraft exists in the simulator.
inline constexpr std::uint32_t kWayAiInSim = 0x4;

// The time-out word's values, in seconds.
inline constexpr std::uint16_t kPilotTimeoutReset = 50;
inline constexpr std::uint16_t kPilotTimeoutLogin = 30;
inline constexpr std::uint16_t kPilotTimeoutAdded = 5;
// The own position and state are sent again to the way's own peer every this many seconds.
inline constexpr std::uint32_t kPilotRebroadcastSeconds = 30;
inline constexpr DWORD kPilotSettleMs = 500;
inline constexpr DWORD kPilotRefusePauseMs = 100;

// Flags of a pilot way's text line.
inline constexpr unsigned kPilotNewLine = 0x1;
inline constexpr unsigned kPilotBold = 0x2;
inline constexpr unsigned kPilotItalic = 0x4;

struct PilotLinkState {
  LoginRecordBytes peerLogin{};  // his identity block and 392-byte part, as last received
  std::uint8_t radioSelection = 0;
  std::array<char, kWayFrequencySize> com1{};
  std::array<char, kWayFrequencySize> com2{};
  bool peerAdded = false;
  // Read by the pilot list on the UI thread.
  std::atomic<std::uint16_t> timeoutSeconds{kPilotTimeoutReset};
  std::uint32_t linkCounter = 0;
  std::uint32_t rebroadcastSeconds = 0;
  std::uint32_t latencyProbes = 0;
  bool leaving = false;  // he logged out or went out of range: the link is ending
};
