// A remote pilot's AI aircraft around its position records: his model, the
// add asked of the simulator link, his visibility, the own position tick.
#include <optional>
#include <string>

#include "base/klib_settings.h"
#include "core/settings.h"
#include "core/sim_family.h"
#include "core/text_fields.h"
#include "net/orv_sok.h"
#include "net/peer_packets.h"
#include "net/pilot_link.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "sim/ai_lock.h"
#include "sim/peer_glue.h"
#include "sim/peer_model_choice.h"
#include "sim/plugin_link.h"

namespace {
constexpr int kPeerTraceBit = 8;  // 0x100
constexpr std::uint32_t kWayVoiceExcluded = 0x1;
constexpr std::uint8_t kAddCountdown = 5;
constexpr std::int32_t kNewerFamilyFirst = 2006;
constexpr std::int32_t kNewerFamilyLast = 4000;
constexpr std::int32_t kXPlaneFamilyFirst = 9000;
constexpr std::int32_t kOlderFamilyLast = 2004;

bool PeerTrace() { return Klib().TraceBit(kPeerTraceBit); }

void PostToLink(COrvSok& way, std::uint32_t message, const char* tag) {
  CXPlaneLink* link = XPlaneLinkObject();
  if (link == nullptr || !XPlaneLinkUp.load() || !link->IsConnected()) return;
  PostToXPlaneLink(&way, message, static_cast<std::uint32_t>(way.WayId()), tag);
}

// The last position his login or records gave, offset for the own simulator.
void DecodeLastPosition(COrvSok& way, WayRecord& record) {
  const std::int32_t code = record.simulatorCode;
  std::optional<PeerFix> fix;
  if ((code >= kNewerFamilyFirst && code <= kNewerFamilyLast) || code >= kXPlaneFamilyFirst) {
    PositionRecord raw = record.pilot.position;
    if (RecordType(raw.data(), raw.size()) != kPositionRecordType) return;
    ApplyPairOffsets(std::span<std::uint8_t, kPositionRecordSize>(raw), way.PairOffsets());
    fix = UnpackAttitudeFields(raw);
  } else if (code <= kOlderFamilyLast) {
    OlderPositionRecord raw = record.pilot.olderPosition;
    const std::uint16_t type = RecordType(raw.data(), raw.size());
    if (type != kOlderPositionRecordType && type != kOlderPositionRecordTypeB) return;
    ApplyPairOffsets(std::span<std::uint8_t, kOlderPositionRecordSize>(raw), way.PairOffsets());
    fix = ConvertFsPosition(raw);
  }
  // A position outside the earth keeps what the login's own fields gave.
  if (fix && PeerFixInRange(*fix)) StoreFix(*fix, record.position);
}
}  // namespace

void MatchPeerAircraftModel(COrvSok& way, const char* callerTag) {
  WayRecord* record = way.Record();
  if (record == nullptr) return;
  const char* caller = callerTag != nullptr ? callerTag : "";
  const bool trace = PeerTrace();
  if (trace) {
    way.TraceLine("DEBUTTI de %s with setup_bTextureFollowCallsign = %d.", caller,
                  static_cast<int>(g_setupSettings.textureFollowCallsign.load()));
  }
  // AiLock before the way-table lock, wherever both are held.
  AiGuard ai;
  PeerModelRequest request;
  {
    WayTableGuard guard;
    if ((record->stateFlags & kWayInvisible) != 0) return;
    request.callsign = std::string(FieldText(record->callsign));
    request.title = std::string(FieldText(record->announced.title));
    request.icaoType = std::string(FieldText(record->announced.icaoType));
    request.classCode = std::string(FieldText(record->announced.classCode));
    request.category = record->announced.category;
  }
  const PeerModelResult result = ChoosePeerModel(request, ProgramPeerModelSteps(), LocalSimulatorFamily());
  if (trace) {
    for (const std::string& line : result.traces) way.TraceLine("%s", line.c_str());
  }
  std::array<double, 3> offsets{0.0, 0.0, 0.0};
  GetLocalModelOffsets(result.title.c_str(), &offsets[0], &offsets[1], &offsets[2]);
  {
    WayTableGuard guard;
    CopyToField(record->current.title, result.title);
    CopyToField(record->current.icaoType, result.icaoType);
    CopyToField(record->current.classCode, result.classCode);
    record->current.category = result.category;
    record->modelOffsets = offsets;
  }
  if (trace) way.TraceLine("pp_NTP called by : %s", caller);
}

std::int32_t AddPeerInSim(COrvSok& way) {
  WayRecord* record = way.Record();
  if (record == nullptr) return -1;
  if ((way.LoggedInBits() & kWayAiInSim) != 0) return -2;
  MatchPeerAircraftModel(way, "SADDPI");
  {
    WayTableGuard guard;
    DecodeLastPosition(way, *record);
    record->ai.addRequestCounter = kAddCountdown;
  }
  PostToLink(way, THRDMSG_XPL_ACF_TABLE_ADD, "SADDPI");
  return way.WayId();
}

void OnPeerInvisible(COrvSok& way) {
  WayRecord* record = way.Record();
  if (record == nullptr) return;
  {
    WayTableGuard guard;
    record->stateFlags |= kWayInvisible | kWayVoiceExcluded;
  }
  if ((way.LoggedInBits() & kWayAiInSim) != 0) way.MarkPeerLeft();
}

void OnPeerVisible(COrvSok& way) {
  WayRecord* record = way.Record();
  if (record == nullptr) return;
  bool allocated = false;
  {
    WayTableGuard guard;
    record->stateFlags &= ~(kWayInvisible | kWayVoiceExcluded);
    allocated = (record->stateFlags & kWayAllocated) != 0 && (record->stateFlags & kWayAiAddPending) == 0;
  }
  MatchPeerAircraftModel(way, "ppSMV");
  // Shown again: an admitted peer whose aircraft is not in the simulator is added.
  const DWORD bits = way.LoggedInBits();
  if (allocated && (bits & kWayAiInSim) == 0 && (bits & (kWayLoggedIn | kWayLoggedInPeer)) != 0) {
    PostToLink(way, THRDMSG_XPL_ACF_TABLE_ADD, "ppSMV");
  }
}

void SendPositionTick(COrvSok& way) {
  PostToLink(way, THRDMSG_XPL_TICK, "SPTK");
  if (kOwnSimulatorCode >= kNewerFamilyFirst && kOwnSendIntervalSeconds < 1.0) {
    way.SendPlanePosition();
  }
}
