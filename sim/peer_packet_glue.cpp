// A remote pilot's position and state records, as his pilot way hands them
// over: checked for their type's length, converted, offset for the own
// simulator, range-checked, kept in his way record, and sent on to his AI
// aircraft.
#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "base/klib_settings.h"
#include "core/plane_path_hook.h"
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

// Within the one hold of the way-table lock each record takes: the packet is
// counted and the packet-silence counter starts again.
void HeardLocked(WayRecord& record) {
  ++record.pilot.packetsReceived;
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

// What one position record did under the lock, for the steps after it.
enum class PositionTaken { kStale, kOutOfRange, kKept, kCancel };

struct TakenPosition {
  PositionTaken taken = PositionTaken::kStale;
  bool gateOpen = false;
};

// A converted position, in one hold of the lock: counted, its sequence checked
// (when it has one), kept with its range from the own aircraft, and the
// refresh gate read. A position outside the earth's ranges (or -2,000 ..
// 100,000 ft) is a corrupt or hostile record and moves nothing.
template <typename Keep>
TakenPosition TakePosition(COrvSok& way, WayRecord& record, const PeerFix& fix, const std::uint32_t* sequence,
                           Keep keep) {
  const bool acceptable = PeerFixInRange(fix);
  const PeerRange range = acceptable ? way.RangeFromOwnAircraft(fix) : PeerRange{};
  TakenPosition result;
  WayTableGuard guard;
  HeardLocked(record);
  if (sequence != nullptr && !SequenceAccepted(record.lastSequence, *sequence)) return result;
  if (!acceptable) {
    result.taken = PositionTaken::kOutOfRange;
    return result;
  }
  if (sequence != nullptr) record.lastSequence = *sequence;
  keep(record);
  KeepFix(record, fix);
  result.taken = way.KeepPositionRangeLocked(range) ? PositionTaken::kCancel : PositionTaken::kKept;
  result.gateOpen = RefreshGateOpenLocked(way, record);
  return result;
}

// After the lock: the trace of a dropped position or the cancel; true when
// the position moves the aircraft.
// A position kept goes to the plane path view too.
void Plot(const TakenPosition& result, const PeerFix& fix, bool onlyWhenShown) {
  if (result.taken == PositionTaken::kKept || result.taken == PositionTaken::kCancel) {
    PlanePathPoint(fix.longitude, fix.latitude, onlyWhenShown);
  }
}

bool Moves(COrvSok& way, const TakenPosition& result, std::span<const std::uint8_t> packet) {
  switch (result.taken) {
    case PositionTaken::kStale: return false;
    case PositionTaken::kOutOfRange: TraceDropped(way, "position out of range", packet); return false;
    case PositionTaken::kCancel: way.CancelForPositionsOutOfRange(); return false;
    case PositionTaken::kKept: return true;
  }
  return false;
}

void OlderPosition(COrvSok& way, WayRecord& record, std::span<const std::uint8_t> packet) {
  OlderPositionRecord raw{};
  std::copy_n(packet.begin(), raw.size(), raw.begin());
  const std::uint32_t sequence = ConvertFsPosition(raw).sequence;
  if (way.PairOffsetsDue()) way.UpdateSimPairOffsets();
  ApplyPairOffsets(std::span<std::uint8_t, kOlderPositionRecordSize>(raw), way.PairOffsets());
  const PeerFix fix = ConvertFsPosition(raw);
  const TakenPosition result =
      TakePosition(way, record, fix, &sequence, [&](WayRecord& r) { r.pilot.olderPosition = raw; });
  Plot(result, fix, false);
  if (Moves(way, result, packet) && Shown(way)) SendPeerRefresh(way, PeerRefresh::kPosition, raw, result.gateOpen);
}

void OlderShortPosition(COrvSok& way, WayRecord& record, std::span<const std::uint8_t> packet) {
  std::array<std::uint8_t, kOlderShortPositionSize> raw{};
  std::copy_n(packet.begin(), raw.size(), raw.begin());
  if (way.PairOffsetsDue()) way.UpdateSimPairOffsets();
  ApplyPairOffsets(std::span<std::uint8_t, kOlderShortPositionSize>(raw), way.PairOffsets());
  const PeerFix fix = ConvertFsShortPosition(raw);
  const TakenPosition result = TakePosition(way, record, fix, nullptr, [](WayRecord&) {});
  Plot(result, fix, true);
  if (Moves(way, result, packet) && Shown(way)) {
    SendPeerRefresh(way, PeerRefresh::kPosition, RepackShortPosition(raw), result.gateOpen);
  }
}

void NewerPosition(COrvSok& way, WayRecord& record, std::span<const std::uint8_t> packet) {
  PositionRecord raw{};
  std::copy_n(packet.begin(), raw.size(), raw.begin());
  const std::uint32_t sequence = UnpackAttitudeFields(raw).sequence;
  if (way.PairOffsetsDue()) way.UpdateSimPairOffsets();
  ApplyPairOffsets(std::span<std::uint8_t, kPositionRecordSize>(raw), way.PairOffsets());
  const PeerFix fix = UnpackAttitudeFields(raw);
  const TakenPosition result =
      TakePosition(way, record, fix, &sequence, [&](WayRecord& r) { r.pilot.position = raw; });
  Plot(result, fix, false);
  if (Moves(way, result, packet)) SendPeerRefresh(way, PeerRefresh::kPositionV2, raw, result.gateOpen);
}

void ChangeModel(COrvSok& way, const char* tag) {
  MatchPeerAircraftModel(way, tag);
  // Only an aircraft that exists can change its model.
  if ((way.LoggedInBits() & kWayAiInSim) == 0) return;
  CXPlaneLink* link = XPlaneLinkObject();
  if (link == nullptr || !XPlaneLinkUp.load()) return;
  PostToXPlaneLink(&way, THRDMSG_XPL_ACF_TABLE_CHANGE, static_cast<std::uint32_t>(way.WayId()), tag);
}

void Identity(COrvSok& way, WayRecord& record, std::span<const std::uint8_t> packet) {
  const auto text = [&](std::size_t at, std::size_t width) {
    const auto begin = packet.begin() + static_cast<std::ptrdiff_t>(at);
    const auto end = std::find(begin, begin + static_cast<std::ptrdiff_t>(width - 1), std::uint8_t{0});
    return std::string_view(reinterpret_cast<const char*>(&*begin), static_cast<std::size_t>(end - begin));
  };
  {
    WayTableGuard guard;
    HeardLocked(record);
    CopyToField(record.announced.title, text(kIdentityTitleAt, kIdentityTitleSize));
    CopyToField(record.announced.icaoType, text(kIdentityIcaoTypeAt, kIdentityCodeSize));
    CopyToField(record.announced.classCode, text(kIdentityClassCodeAt, kIdentityCodeSize));
    record.aircraftWord = static_cast<std::uint32_t>(packet[4] | (packet[5] << 8));
  }
  if ((way.LoggedInBits() & kWayLoggedInPeer) == 0) ChangeModel(way, "PFSXID");
}

// The short state records of the newer family, by their refresh.
std::optional<PeerRefresh> NewerRefreshOf(std::uint16_t type) {
  switch (type) {
    case kStateRecordType: return PeerRefresh::kFullState;
    case kAeroRecordType: return PeerRefresh::kAero;
    case kStateShortRecordType: return PeerRefresh::kState;
    case kFlagsRecordType: return PeerRefresh::kFlags;
    case kGearRecordType: return PeerRefresh::kGear;
    case kGear2RecordType: return PeerRefresh::kGear2;
    case kEnginesRecordType: return PeerRefresh::kEngines;
    default: return std::nullopt;
  }
}

void TraceEmptyPacket(COrvSok& way, const char* tag) {
  if (PeerTrace()) {
    way.TraceLine("%s %s %s %d", Klib().logTag != nullptr ? Klib().logTag : "", way.Name(), tag,
                  static_cast<int>(way.WayId()));
  }
}

}  // namespace

void ProcessFsPacket(COrvSok& way, std::span<const std::uint8_t> packet) {
  if (packet.empty()) {
    TraceEmptyPacket(way, "PFSPNULL");
    return;
  }
  WayRecord* record = way.Record();
  if (record == nullptr) return;
  const std::uint16_t type = RecordType(packet.data(), packet.size());
  const PeerRecordCheck check = CheckOlderFamilyRecord(packet);
  if (check == PeerRecordCheck::kOk) {
    switch (type) {
      case kOlderShortPositionType:
      case kOlderShortPositionTypeB:
        OlderShortPosition(way, *record, packet);
        return;
      case kOlderPositionRecordType:
      case kOlderPositionRecordTypeB:
        OlderPosition(way, *record, packet);
        return;
      default:
        break;
    }
  }
  const bool shown = Shown(way);
  const bool state = check == PeerRecordCheck::kOk && shown && type == kOlderStateRecordType;
  std::optional<AiRecord<kPeerFullStateBodySize>> body;
  {
    WayTableGuard guard;
    HeardLocked(*record);
    if (state && RefreshGateOpenLocked(way, *record)) body = TakeSimPeerStateLocked(way, *record, packet);
  }
  switch (check) {
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
  if (!shown) return;
  switch (type) {
    case kOlderStateRecordType:
      if (body) SendSimPeerState(way, *body);
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
    TraceEmptyPacket(way, "PFSXPNULL");
    return;
  }
  WayRecord* record = way.Record();
  if (record == nullptr) return;
  const PeerRecordCheck check = CheckNewerFamilyRecord(packet);
  const std::uint16_t type = RecordType(packet.data(), packet.size());
  if (check == PeerRecordCheck::kOk && type == kPositionRecordType) {
    NewerPosition(way, *record, packet);
    return;
  }
  if (check == PeerRecordCheck::kOk && type == kIdentityRecordType) {
    Identity(way, *record, packet);
    return;
  }
  const std::optional<PeerRefresh> refresh =
      check == PeerRecordCheck::kOk ? NewerRefreshOf(type) : std::optional<PeerRefresh>();
  bool gateOpen = false;
  {
    WayTableGuard guard;
    HeardLocked(*record);
    if (refresh) gateOpen = RefreshGateOpenLocked(way, *record);
  }
  // Other types are not for the simulator.
  if (check == PeerRecordCheck::kWrongLength) TraceDropped(way, "wrong length", packet);
  if (refresh) SendPeerRefresh(way, *refresh, packet, gateOpen);
}
