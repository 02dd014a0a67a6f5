// The simulator side of a pilot way: his position and state records turned
// into moves of his AI aircraft, the local model chosen for him, the add of
// his aircraft, his visibility, and the own position tick. Each runs on the
// pilot way's own thread, with the way; app/ registers them as the peer
// traffic hooks.
#pragma once

#include <cstdint>
#include <span>

class COrvSok;

// One record of the older family (NCSUB_FS_PACKET) or of the 2006 and
// X-Plane families (NCSUB_FSX_PACKET). A record is checked for its type's
// length before it is read; a position that is not a number or lies outside
// the earth's ranges (or -2,000 .. 100,000 ft) is dropped and nothing moves.
void ProcessFsPacket(COrvSok& way, std::span<const std::uint8_t> packet);
void ProcessFsxPacket(COrvSok& way, std::span<const std::uint8_t> packet);

// Chooses the local model for the peer into the record's working aircraft:
// remote rules, then the nearest installed model (score above 50), then the
// remote default rules, then the fixed defaults. An invisible peer gets none.
void MatchPeerAircraftModel(COrvSok& way, const char* callerTag);

// On his admission: his model, his last position, the add asked of the
// simulator link. The way id; -1 without a record, -2 when his aircraft is
// in the simulator already.
std::int32_t AddPeerInSim(COrvSok& way);

void OnPeerInvisible(COrvSok& way);
void OnPeerVisible(COrvSok& way);

// The link's tick, and the own state record to the peer.
void SendPositionTick(COrvSok& way);

// The own simulator's send interval in seconds (a state record goes with
// each tick while it is below one second).
inline constexpr double kOwnSendIntervalSeconds = 0.2;
