// A remote pilot's position and state records, as his pilot way hands them
// over: checked for their type's length, converted, offset for the own
// simulator, range-checked, kept in his way record, and sent on to his AI
// aircraft.
#include <algorithm>
#include <array>
#include <string>

#include "base/klib_settings.h"
#include "core/text_fields.h"
#include "net/orv_sok.h"
#include "net/peer_packets.h"
#include "net/pilot_link.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "sim/ai_traffic.h"
#include "sim/peer_glue.h"
#include "sim/plugin_link.h"

namespace {
constexpr int kPeerTraceBit = 8;  // 0x100

bool PeerTrace() { return Klib().TraceBit(kPeerTraceBit); }

std::string CallsignOf(COrvSok& way) {
  WayTableGuard guard;
  return std::string(FieldText(way.Record()->callsign));
}

void TraceDropped(COrvSok& way, const char* why, std::span<const std::uint8_t> packet) {
  if (!PeerTrace()) return;
  way.TraceLine("%s %s : record %d of %d bytes from %s dropped (%s).", way.Name(), "PEERPKT",
                static_cast<int>(RecordType(packet.data(), packet.size())), static_cast<int>(packet.size()),
                CallsignOf(way).c_str(), why);
}

bool Shown(COrvSok& way) { return (way.LoggedInBits() & kWayLoggedIn) != 0; }

// The packet-silence counter starts again with every record.
void HeardFrom(WayRecord& record) {
  WayTableGuard guard;
  record.pilot.positionAgeSeconds = 0;
}

// The newest position first in the history, the oldest dropped.
void KeepFix(WayRecord& record, const PeerFix& fix) {
  StoreFix(fix, record.position);
  std::copy_backward(record.positionHistory.begin(), record.positionHistory.end() - 1, record.positionHistory.end());
  std::copy_backward(record.historyTimesMs.begin(), record.historyTimesMs.end() - 1, record.historyTimesMs.end());
  record.positionHistory[0] = record.position;
  record.historyTimesMs[0] = fix.timeMs;
  record.historyCount = std::min<std::uint32_t>(record.historyCount + 1, kWayHistorySize);
  record.pilot.positionValid = true;
  record.pilot.onGround = fix.onGround;
}

// The range of the earth and of heights a peer may fly at; what lies outside
// is a corrupt or hostile record and moves nothing.
bool Acceptable(COrvSok& way, const PeerFix& fix, std::span<const std::uint8_t> packet) {
  if (PeerFixInRange(fix)) return true;
  TraceDropped(way, "position out of range", packet);
  return false;
}

void OlderPosition(COrvSok& way, std::span<const std::uint8_t> packet) {
  WayRecord& record = *way.Record();
  OlderPositionRecord raw{};
  std::copy_n(packet.begin(), raw.size(), raw.begin());
  const std::uint32_t sequence = ConvertFsPosition(raw).sequence;
  {
    WayTableGuard guard;
    if (!SequenceAccepted(record.lastSequence, sequence)) return;
  }
  if (way.PairOffsetsDue()) way.UpdateSimPairOffsets();
  ApplyPairOffsets(std::span<std::uint8_t, kOlderPositionRecordSize>(raw), way.PairOffsets());
  const PeerFix fix = ConvertFsPosition(raw);
  if (!Acceptable(way, fix, packet)) return;
  {
    WayTableGuard guard;
    record.lastSequence = sequence;
    record.pilot.olderPosition = raw;
    KeepFix(record, fix);
  }
  if (way.CancelLinkOnPacketError(fix)) return;
  if (Shown(way)) XPlaneRefreshPeerPosition(way, raw);
}

void OlderShortPosition(COrvSok& way, std::span<const std::uint8_t> packet) {
  WayRecord& record = *way.Record();
  std::array<std::uint8_t, kOlderShortPositionSize> raw{};
  std::copy_n(packet.begin(), raw.size(), raw.begin());
  if (way.PairOffsetsDue()) way.UpdateSimPairOffsets();
  ApplyPairOffsets(std::span<std::uint8_t, kOlderShortPositionSize>(raw), way.PairOffsets());
  const PeerFix fix = ConvertFsShortPosition(raw);
  if (!Acceptable(way, fix, packet)) return;
  {
    WayTableGuard guard;
    KeepFix(record, fix);
  }
  if (way.CancelLinkOnPacketError(fix)) return;
  if (Shown(way)) XPlaneRefreshPeerPosition(way, RepackShortPosition(raw));
}

void NewerPosition(COrvSok& way, std::span<const std::uint8_t> packet) {
  WayRecord& record = *way.Record();
  PositionRecord raw{};
  std::copy_n(packet.begin(), raw.size(), raw.begin());
  const std::uint32_t sequence = UnpackAttitudeFields(raw).sequence;
  {
    WayTableGuard guard;
    if (!SequenceAccepted(record.lastSequence, sequence)) return;
  }
  if (way.PairOffsetsDue()) way.UpdateSimPairOffsets();
  ApplyPairOffsets(std::span<std::uint8_t, kPositionRecordSize>(raw), way.PairOffsets());
  const PeerFix fix = UnpackAttitudeFields(raw);
  if (!Acceptable(way, fix, packet)) return;
  {
    WayTableGuard guard;
    record.lastSequence = sequence;
    record.pilot.position = raw;
    KeepFix(record, fix);
  }
  if (way.CancelLinkOnPacketError(fix)) return;
  XPlaneRefreshPeerPositionV2(way, raw);
}

void ChangeModel(COrvSok& way, const char* tag) {
  MatchPeerAircraftModel(way, tag);
  // Only an aircraft that exists can change its model.
  if ((way.LoggedInBits() & kWayAiInSim) == 0) return;
  CXPlaneLink* link = XPlaneLinkObject();
  if (link == nullptr || !XPlaneLinkUp.load()) return;
  CBaseThread::Post(&way, link, THRDMSG_XPL_ACF_TABLE_CHANGE, static_cast<std::uint32_t>(way.WayId()), 0, tag);
}

void Identity(COrvSok& way, std::span<const std::uint8_t> packet) {
  WayRecord& record = *way.Record();
  const auto text = [&](std::size_t at, std::size_t width) {
    const auto begin = packet.begin() + static_cast<std::ptrdiff_t>(at);
    const auto end = std::find(begin, begin + static_cast<std::ptrdiff_t>(width - 1), std::uint8_t{0});
    return std::string(begin, end);
  };
  const std::string title = text(kIdentityTitleAt, kIdentityTitleSize);
  const std::string icaoType = text(kIdentityIcaoTypeAt, kIdentityCodeSize);
  const std::string classCode = text(kIdentityClassCodeAt, kIdentityCodeSize);
  {
    WayTableGuard guard;
    CopyToField(record.announced.title, title);
    CopyToField(record.announced.icaoType, icaoType);
    CopyToField(record.announced.classCode, classCode);
    record.aircraftWord = static_cast<std::uint32_t>(packet[4] | (packet[5] << 8));
  }
  if ((way.LoggedInBits() & kWayLoggedInPeer) == 0) ChangeModel(way, "PFSXID");
}

}  // namespace

void ProcessFsPacket(COrvSok& way, std::span<const std::uint8_t> packet) {
  if (packet.empty()) {
    if (PeerTrace()) way.TraceLine("%s %s PFSPNULL %d", Klib().logTag != nullptr ? Klib().logTag : "", way.Name(),
                                   static_cast<int>(way.WayId()));
    return;
  }
  if (way.Record() == nullptr) return;
  HeardFrom(*way.Record());
  const std::uint16_t type = RecordType(packet.data(), packet.size());
  switch (CheckOlderFamilyRecord(packet)) {
    case PeerRecordCheck::kOk:
      break;
    case PeerRecordCheck::kUnknownType:
      if (PeerTrace()) {
        way.TraceLine("SW9 Received unknown packet from %s : Id = %d   size %d / %d", CallsignOf(way).c_str(),
                      static_cast<int>(type), static_cast<int>(packet.size()), static_cast<int>(packet.size()));
      }
      return;
    case PeerRecordCheck::kWrongLength:
      TraceDropped(way, "wrong length", packet);
      return;
  }
  switch (type) {
    case kOlderShortPositionType:
    case kOlderShortPositionTypeB:
      OlderShortPosition(way, packet);
      return;
    case kOlderPositionRecordType:
    case kOlderPositionRecordTypeB:
      OlderPosition(way, packet);
      return;
    default:
      break;
  }
  if (!Shown(way)) return;
  switch (type) {
    case kOlderStateRecordType:
      XPlaneRefreshSimPeer(way, packet);
      return;
    case kOlderIdentityRecordType:
    case kOlderIdentityRecordTypeB:
      ChangeModel(way, "PFSPID");
      return;
    default:
      return;  // 4107 and 4119 carry nothing the simulator shows
  }
}

void ProcessFsxPacket(COrvSok& way, std::span<const std::uint8_t> packet) {
  if (packet.empty()) {
    if (PeerTrace()) way.TraceLine("%s %s PFSXPNULL %d", Klib().logTag != nullptr ? Klib().logTag : "", way.Name(),
                                   static_cast<int>(way.WayId()));
    return;
  }
  if (way.Record() == nullptr) return;
  HeardFrom(*way.Record());
  switch (CheckNewerFamilyRecord(packet)) {
    case PeerRecordCheck::kOk:
      break;
    case PeerRecordCheck::kUnknownType:
      return;  // other types are not for the simulator
    case PeerRecordCheck::kWrongLength:
      TraceDropped(way, "wrong length", packet);
      return;
  }
  switch (RecordType(packet.data(), packet.size())) {
    case kPositionRecordType: NewerPosition(way, packet); return;
    case kIdentityRecordType: Identity(way, packet); return;
    case kStateRecordType: XPlaneRefreshXPPeer(way, packet); return;
    case kAeroRecordType: XPlaneRefreshPeerAero(way, packet); return;
    case kStateShortRecordType: XPlaneRefreshPeerState(way, packet); return;
    case kFlagsRecordType: XPlaneRefreshPeerFlags(way, packet); return;
    case kGearRecordType: XPlaneRefreshPeerGear(way, packet); return;
    case kGear2RecordType: XPlaneRefreshPeerGear2(way, packet); return;
    case kEnginesRecordType: XPlaneRefreshPeerEngines(way, packet); return;
    default: return;
  }
}
