// What a pilot way does with the positions of its peer and sends of its own:
// the offsets of the simulator pair, the range check of every converted
// position, the own state and identity records.
#include <cmath>
#include <numbers>
#include <string>

#include "base/klib_settings.h"
#include "core/aircraft_type_db.h"
#include "core/cross_sim_offsets.h"
#include "core/great_circle.h"
#include "core/own_aircraft_state.h"
#include "core/sim_family.h"
#include "core/text_fields.h"
#include "net/frame_codes.h"
#include "net/multiplayer_session.h"
#include "net/orv_sok.h"
#include "net/own_broadcasts.h"
#include "net/peer_packets.h"
#include "net/pilot_records.h"

namespace {
constexpr int kPeerTraceBit = 8;  // 0x100
constexpr double kPeerRangeMetres = 166'680.0;  // 90 NM
constexpr std::uint32_t kOutOfRangeLimit = 20;
constexpr std::int32_t kNewerFamilyFirstCode = 2006;

double BearingDegrees(double fromLat, double fromLon, double toLat, double toLon) {
  const double phi1 = fromLat * kDegreesToRadians;
  const double phi2 = toLat * kDegreesToRadians;
  const double dLon = (toLon - fromLon) * kDegreesToRadians;
  const double y = std::sin(dLon) * std::cos(phi2);
  const double x = std::cos(phi1) * std::sin(phi2) - std::sin(phi1) * std::cos(phi2) * std::cos(dLon);
  double bearing = std::atan2(y, x) * 180.0 / std::numbers::pi;
  if (bearing < 0.0) bearing += 360.0;
  return bearing;
}

std::string OwnClassCode(const std::string& icaoType) {
  const int index = FindAircraftTypeIndex(icaoType.c_str());
  const AircraftTypeDb& db = g_aircraftTypeDb();
  if (index < 0 || index >= db.count || !db.Allocated()) return {};
  return std::string(FieldText(db.records[index].classCode));
}
}  // namespace

void COrvSok::UpdateSimPairOffsets() {
  std::int32_t peerCode = 0;
  if (record_ != nullptr) {
    WayTableGuard guard;
    peerCode = record_->simulatorCode;
  }
  LookUpPairOffsets(LocalSimulatorFamily(), peerCode, CrossSimOffsets(), pairOffsets_);
  pairOffsets_.lookups = 0;
}

bool COrvSok::CancelLinkOnPacketError(const PeerFix& fix) {
  if (record_ == nullptr) return false;
  const PeerRange range = RangeFromOwnAircraft(fix);
  bool cancel = false;
  {
    WayTableGuard guard;
    cancel = KeepPositionRangeLocked(range);
  }
  if (!cancel) return false;
  CancelForPositionsOutOfRange();
  return true;
}

PeerRange COrvSok::RangeFromOwnAircraft(const PeerFix& fix) const {
  const OwnFlightData own = g_ownAircraft().Flight();
  return PeerRange{GreatCircleMetres(own.latitude, own.longitude, fix.latitude, fix.longitude),
                   BearingDegrees(own.latitude, own.longitude, fix.latitude, fix.longitude)};
}

bool COrvSok::KeepPositionRangeLocked(const PeerRange& range) {
  if (record_ == nullptr) return false;
  const double metres = range.metres;
  record_->distanceMetres = metres;
  record_->bearingDegrees = range.bearingDegrees;
  // Only a run of positions beyond the range counts: one within it starts the count again.
  record_->outOfRangePositions = metres > kPeerRangeMetres ? record_->outOfRangePositions + 1 : 0;
  const std::uint32_t outside = record_->outOfRangePositions;
  return outside > kOutOfRangeLimit;
}

void COrvSok::CancelForPositionsOutOfRange() {
  SendToPilot(NCSUB_CANCEL_LINK, kCancelOutOfRange);
  RequestDisconnect("OCANCLNK4");
  Pause(kDisconnectionPauseMs);
}

void COrvSok::SendPlanePosition() {
  if ((LoggedInBits() & kWayLoggedIn) == 0 || record_ == nullptr) {
    if (Klib().TraceBit(kPeerTraceBit)) TraceLine("[Way %d] TOO EARLY SPP.", static_cast<int>(WayId()));
    return;
  }
  if (kOwnSimulatorCode < kNewerFamilyFirstCode) return;
  std::int32_t peerCode = 0;
  {
    WayTableGuard guard;
    peerCode = record_->simulatorCode;
  }
  const OwnStateValues own = CurrentOwnStateValues();
  if (peerCode >= kNewerFamilyFirstCode) {
    SendToPilot(NCSUB_FSX_PACKET, 0, BuildStateRecord(own, NextRecordSequence()));
  } else {
    SendToPilot(NCSUB_FS_PACKET, 0,
                BuildOlderStateRecord(own, RecordStamp{NextRecordSequence(), SessionMilliseconds()}));
  }
}

void COrvSok::SendMyIdentity(const char* callerTag) {
  const char* caller = callerTag != nullptr ? callerTag : "";
  const bool trace = Klib().TraceBit(kPeerTraceBit);
  if (trace) TraceLine("%s %s SMIDa Caller %s", LogTag(), Name(), caller);
  const OwnModel model = g_ownAircraft().Snapshot().model;
  if (!model.identityLoaded || record_ == nullptr) return;
  if (trace) TraceLine("%s %s SMIDb Caller %s", LogTag(), Name(), caller);
  std::int32_t peerCode = 0;
  {
    WayTableGuard guard;
    peerCode = record_->simulatorCode;
  }
  if (peerCode >= kNewerFamilyFirstCode) {
    const std::string type(FieldText(model.icaoType));
    // The class code of the type the own aircraft was matched to; before any match, that of its type.
    const std::string classCode =
        FieldText(model.classCode).empty() ? OwnClassCode(type) : std::string(FieldText(model.classCode));
    const auto record = BuildIdentityRecord(static_cast<std::uint16_t>(model.parameterWord),
                                            FieldText(model.titleForPeers), type, classCode);
    CBaseThread::PostData(this, this, THRDMSG_SIMPILOT, kSimPilotSendFsxPacket,
                          static_cast<std::uint32_t>(record.size()), record.data(), "SMNPDX");
  } else {
    CBaseThread::PostData(this, this, THRDMSG_SIMPILOT, kSimPilotSendFsPacket,
                          static_cast<std::uint32_t>(model.identityRecord.size()), model.identityRecord.data(),
                          "SMNPD9");
  }
}
