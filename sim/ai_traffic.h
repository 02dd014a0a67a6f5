// The AI aircraft that show remote pilots in the simulator: the add (run by
// the plug-in link after a model-slot table, under the AI lock), the removal,
// and the refresh senders that a pilot way calls with its peer's packets.
// Every sender only posts framed records to the plug-in link. Where the AI
// lock and the way-table lock are both held, the AI lock comes first; posts go
// out after the way-table lock is left.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "sim/ai_traffic_records.h"

class CBaseThread;
class COrvSok;
struct WayRecord;

// The way record's flag that the add takes from the on-ground word and the
// older family's full state from its byte 28.
inline constexpr std::uint32_t kWayAiFlag2 = 0x2;

// Creates the AI aircraft of a way (from the link thread).
void xXPlaneAddPeer(std::int32_t way);
// Asks the plug-in to remove a way's AI aircraft, once: a second request
// before the plug-in answered sends nothing. Where nothing is left in the
// simulator to remove (the link is down, or no aircraft was ever asked for),
// the way is told at once, as the plug-in's answer would. The record keeps
// whose removal it is (its allocation), and the way is told it with the
// answer: an answer for a pilot who has left the record since changes nothing.
void XPlaneRemovePeer(std::int32_t way, bool recreate, const char* callerTag);
void XPlaneRemovePeerLocked(std::int32_t way, bool recreate, const char* callerTag);

// The refresh senders, on the pilot way's thread with the packet as received.
// Nothing goes out while the way's AI aircraft does not exist (object id 0 or
// -1), while the way's hold bit is set, or for a packet too short for its kind.
void XPlaneRefreshPeerPositionV2(COrvSok& way, std::span<const std::uint8_t> packet);
void XPlaneRefreshPeerPosition(COrvSok& way, std::span<const std::uint8_t> packet);
void XPlaneRefreshXPPeer(COrvSok& way, std::span<const std::uint8_t> packet);
void XPlaneRefreshSimPeer(COrvSok& way, std::span<const std::uint8_t> packet);
void XPlaneRefreshPeerFlags(COrvSok& way, std::span<const std::uint8_t> packet);
void XPlaneRefreshPeerAero(COrvSok& way, std::span<const std::uint8_t> packet);
void XPlaneRefreshPeerState(COrvSok& way, std::span<const std::uint8_t> packet);
void XPlaneRefreshPeerEngines(COrvSok& way, std::span<const std::uint8_t> packet);
void XPlaneRefreshPeerGear(COrvSok& way, std::span<const std::uint8_t> packet);
void XPlaneRefreshPeerGear2(COrvSok& way, std::span<const std::uint8_t> packet);

// The same for a pilot way that holds the way-table lock once per record: the
// gate is read within that hold (RefreshGateOpenLocked), the record sent after
// it. Within the way's receive pass the records go out together at its end.
bool RefreshGateOpenLocked(const COrvSok& way, const WayRecord& record);
enum class PeerRefresh { kPositionV2, kPosition, kFullState, kFlags, kAero, kState, kEngines, kGear, kGear2 };
void SendPeerRefresh(COrvSok& way, PeerRefresh kind, std::span<const std::uint8_t> packet, bool gateOpen);
// The older family's full state: its engine value and flag 0x2 are kept in the
// record within the caller's hold of the lock; the body to send after it.
std::optional<AiRecord<kPeerFullStateBodySize>> TakeSimPeerStateLocked(COrvSok& way, WayRecord& record,
                                                                       std::span<const std::uint8_t> packet);
void SendSimPeerState(COrvSok& way, const AiRecord<kPeerFullStateBodySize>& body);

// "Internal Error code : KTRIG 02." when the link-error category is on.
void TraceKtrig02();

// While the offsets dialog is shown, the position records carry its mark.
void SetCrossSimOffsetsDialogShown(bool shown);
bool CrossSimOffsetsDialogShown();

// The link is lost: the plug-in's AI aircraft went with it. Every pilot way's
// object id becomes -1 and its add is no longer pending; a way whose removal
// was asked for is told it is done. Link thread.
void ForgetAiAircraftOfLostLink();
// The plug-in accepted a new link: every admitted pilot way asks for its
// aircraft again (a model-slot table, then the add). Link thread.
void AddAdmittedPilotsAgain(CBaseThread* link);

