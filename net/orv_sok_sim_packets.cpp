// THRDMSG_SIMPILOT on a pilot way: the requests of the session, the simulator
// link and the windows. The session's records come as the message payload
// (sub-commands 83 and 84) and go out as one NCSMSG_PILOT frame each, written
// on the way's own thread.
#include <algorithm>

#include "base/byte_order.h"
#include "base/klib_settings.h"
#include "core/text_fields.h"
#include "net/frame_codes.h"
#include "net/multiplayer_session.h"
#include "net/orv_sok.h"
#include "net/peer_traffic_hooks.h"
#include "net/pilot_records.h"
#include "net/sim_pilot_hook.h"

namespace {
constexpr int kAiTraceBit = 8;  // trace flag 0x100
constexpr std::int32_t kXPlaneCodeFirst = 9000;
constexpr std::int32_t kXPlaneCodeLast = 10999;
}  // namespace

DWORD COrvSok::HandleSimPilotMessage(const DMessage& message) {
  const auto traceError = [&](const char* format) {
    SetTraceColour(Klib().Colour(kColourError));
    TraceLine(format, LogTag(), Name(), static_cast<int>(message.param), static_cast<int>(WayId()));
    SetTraceColour(Klib().Colour(kColourNormal));
  };
  if (PeerKind() != 'P') {
    traceError("\t%s %s THRDMSG_SIMPILOT_YYY = %d / %d");
    return 1;
  }
  const auto hooks = CurrentPeerTrafficHooks();
  const bool peerAdded = IsConnected() && pilot_.peerAdded;
  switch (message.param) {
    case kSimPilotAiCreated:
      if (Klib().TraceBit(kAiTraceBit) && record_ != nullptr) {
        std::array<char, kWayNameSize + 1> callsign{};
        PilotRecordCallsign(callsign);
        std::string title;
        std::int32_t id = 0;
        {
          WayTableGuard guard;
          title = std::string(FieldText(record_->current.title));
          id = record_->aiObjectId;
        }
        Trace("%s %s : Object ID %d, Pilot %s flying %s created.\r\n", LogTag(), Name(), static_cast<int>(id),
              callsign.data(), title.c_str());
      }
      OnPeerObjectCreated();
      return 1;
    case kSimPilotNothing31:
    case kSimPilotNothing127:
      return 1;
    case kSimPilotAiRemoved:
      // The simulator side decides between re-adding the aircraft and letting the way go.
      if (const SimPilotHandler handler = CurrentSimPilotHandler()) {
        handler(*this, message);
      } else if (hooks->aiRemoved) {
        hooks->aiRemoved(*this);
      }
      return 1;
    case kSimPilotRequest81:
      if (IsConnected() && record_ != nullptr) {
        WayTableGuard guard;
        record_->stateFlags |= kWayRequest81;
      }
      return 1;
    case kSimPilotChanges:
      if (peerAdded) SendToPilot(NCSUB_PILOT_CHANGES2, message.word3);
      return 1;
    case kSimPilotSendFsPacket:
    case kSimPilotSendFsxPacket:
      SendSimPacket(message);
      return 1;
    case kSimPilotOffsets:
      ++pairOffsets_.lookups;
      return 1;
    case kSimPilotRadios:
      if (peerAdded) SendToPilot(NCSUB_PILOT_CHANGES_COMM);
      return 1;
    case kSimPilotVisible:
      SendToPilot(NCSUB_IAM_VISIBLE);
      return 1;
    case kSimPilotInvisible:
      SendToPilot(NCSUB_IAM_INVISIBLE);
      return 1;
    case kSimPilotMatchModel:
      if (hooks->matchPeerModel) hooks->matchPeerModel(*this, "PODOK1");
      if (kOwnSimulatorCode >= kXPlaneCodeFirst && kOwnSimulatorCode <= kXPlaneCodeLast && hooks->removePeer) {
        if (record_ != nullptr) {
          // The new model comes by a removal and a new add: the plug-in's
          // answer adds the aircraft again and keeps the record as it is. A
          // removal already asked for (the pilot leaving) stays one.
          WayTableGuard guard;
          if ((record_->stateFlags & kWayAiRemovalRequested) == 0) record_->stateFlags |= kWayRecreateAi;
        }
        hooks->removePeer(WayId(), "PODOK3", true);
      }
      return 1;
    case kSimPilotSendIdentity:
      if (hooks->sendMyIdentity) hooks->sendMyIdentity(*this, "SSMPD");
      return 1;
    case kSimPilotTest:
      SendToPilot(NCSUB_TEST);
      return 1;
    default:
      traceError("\t%s %s THRDMSG_SIMPILOT_XXX = %d / %d");
      return 1;
  }
}

void COrvSok::SendSimPacket(const DMessage& message) {
  // The third word is only a claim; the queue knows what really follows.
  const std::uint32_t length = std::min(message.word3, PendingPayload());
  if (length > simPacket_.size()) {
    TraceOversizedSimPacket(length);
    return;  // the loop drops the payload
  }
  PopData(simPacket_.data(), length);
  SendSimPacketToPilot(message.param, length);
}

void COrvSok::TraceOversizedSimPacket(std::uint32_t length) {
  SetTraceColour(Klib().Colour(kColourError));
  TraceLine("\t%s %s SIMPP_SEND_PACKET EXCEED = %d / %d", LogTag(), Name(), static_cast<int>(length),
            static_cast<int>(simPacket_.size()));
  SetTraceColour(Klib().Colour(kColourNormal));
}

void COrvSok::SendSimPacketToPilot(std::uint32_t subCode, std::uint32_t length) {
  // Only a peer who has added us to his session hears of us.
  if (!IsConnected() || !pilot_.peerAdded) return;
  SendToPilot(subCode == kSimPilotSendFsPacket ? NCSUB_FS_PACKET : NCSUB_FSX_PACKET, 0,
              std::span<const std::uint8_t>(simPacket_.data(), length));
}

void COrvSok::HandleSimPilotRound(const DMessage&) {
  if (PeerKind() != 'P') return;  // the loop drops the payload
  for (;;) {
    std::array<std::uint8_t, 8> entry{};
    if (PendingPayload() < entry.size() || PopData(entry.data(), entry.size()) == 0) return;
    const std::uint32_t subCode = GetU32(entry.data());
    const std::uint32_t length = GetU32(entry.data() + 4);
    if (length > PendingPayload()) return;  // a cut round: the loop drops the rest
    if (length > simPacket_.size()) {
      // Skipped as its own message would be; the records after it still go.
      TraceOversizedSimPacket(length);
      for (std::uint32_t left = length; left != 0;) {
        const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(left, simPacket_.size()));
        PopData(simPacket_.data(), n);
        left -= n;
      }
      continue;
    }
    PopData(simPacket_.data(), length);
    if (subCode == kSimPilotSendFsPacket || subCode == kSimPilotSendFsxPacket) SendSimPacketToPilot(subCode, length);
  }
}
