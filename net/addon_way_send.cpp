// The frames a peer way sends to its add-on: each answer is built whole in
// one buffer and handed to the send ring once, so that no other frame of the
// way can come between its parts.
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "base/klib_settings.h"
#include "core/main_dialog_state.h"
#include "core/own_callsign.h"
#include "core/settings.h"
#include "net/addon_link.h"
#include "net/frame_codes.h"
#include "net/orv_sok.h"
#include "net/pilot_link.h"
#include "net/way_table_lock.h"

namespace {
// Only a refresh for an older simulator would write it.
constexpr double kOwnTrueAirspeed = 0.0;

bool AddonTrace() { return Klib().TraceBit(kAddonTraceBit); }

std::vector<std::uint8_t> AddonFrame(std::uint8_t code, std::uint8_t subCode, std::span<const std::uint8_t> body) {
  return BuildFrame(AddonFrameMagic, FrameHeader{code, subCode, 0, 0, 0}, body);
}
}  // namespace

std::int32_t COrvSok::SendAddonBytes(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return 0;
  if (!IsConnected()) return 0;
  const std::int32_t sent = Send(bytes.data(), static_cast<std::uint32_t>(bytes.size()), true, "WDSC");
  if (sent < 0) return sent;
  return IsConnected() ? 1 : 0;
}

void COrvSok::TraceAddonSend(std::uint8_t code) {
  if (!AddonTrace()) return;
  switch (code) {
    case DS_CMD_LOGIN_ACK:
      AddonTextf("\t%s %s Tx DS_CMD_LOGIN_ACK", LogTag(), Name());
      break;
    case DS_CMD_LOGOUT:
      AddonTextf("\t%s %s Tx DS_CMD_LOGOUT", LogTag(), Name());
      break;
    case DS_CMD_COMMON:
      AddonTextf("\t%s %s Tx DS_CMD_COMMON", LogTag(), Name());
      break;
    case DS_CMD_FLIGHT_DYNAMICS:
      AddonTextf("\t%s %s Tx DS_CMD_FLIGHT_DYNAMICS", LogTag(), Name());
      break;
    case DS_CMD_AI:
      AddonTextf("\t%s %s Tx DS_CMD_AI", LogTag(), Name());
      break;
    case DS_CMD_CANCEL_LINK:
      AddonTextf("\t%s %s Tx DS_CMD_CANCEL_LINK", LogTag(), Name());
      break;
    case DS_CMD_TEST:
      AddonTextf("\t%s %s Tx DS_CMD_TEST", LogTag(), Name());
      break;
    default:
      AddonTextf("\t%s %s Tx DSP_XXX = %d", LogTag(), Name(), code);
      break;
  }
}

std::int32_t COrvSok::SendAddonCommand(std::uint8_t code, std::uint8_t subCode, std::string_view callsign) {
  TraceAddonSend(code);
  switch (code) {
    case DS_CMD_LOGIN_ACK: {
      AddonLoginAck ack;
      ack.versionMajor = kVersionMajor;
      ack.versionMinor = kVersionMinor;
      ack.versionBuild = kVersionBuild;
      ack.login = std::string(FieldText(CurrentNetworkSlot().pilotId));
      ack.callsign = PilotCallsign();
      ack.sessionOpen = SessionOpen();
      ack.simulatorCode = static_cast<std::uint32_t>(kOwnSimulatorCode);
      return SendAddonBytes(AddonFrame(code, subCode, WriteAddonLoginAck(ack)));
    }
    case DS_CMD_CANCEL_LINK: {
      std::array<std::uint8_t, kAddonCancelSize> reason{};
      PutU32(reason.data(), kAddonCancelNoName);
      return SendAddonBytes(AddonFrame(code, subCode, reason));
    }
    case DS_CMD_LOGOUT:
      return 0;
    case DS_CMD_COMMON: {
      std::array<std::uint8_t, 1> kind{};
      if (subCode == kAddonAskSpeedKind) {
        kind[0] = addon_.speedKind;
      } else if (subCode == kAddonAskHeadingKind) {
        kind[0] = addon_.headingKind;
      } else {
        return SendAddonBytes(AddonFrame(code, subCode, {}));
      }
      return SendAddonBytes(AddonFrame(code, subCode, kind));
    }
    case DS_CMD_FLIGHT_DYNAMICS:
      return SendAddonDynamics(subCode, callsign);
    case DS_CMD_AI:
      return SendAddonAiList(subCode);
    default:
      TraceLine("%s %s System Error SYSERR_7800 : %d / %d ", LogTag(), Name(), code, subCode);
      return -1;
  }
}

std::int32_t COrvSok::SendAddonDynamics(std::uint8_t subCode, std::string_view callsign) {
  if (subCode != kAddonAskOwnOrNamed) return 0;
  if (!callsign.empty()) {
    // A named pilot is looked up and not answered.
    WayTableGuard guard;
    LookupWayByCallsign(callsign);
    return 0;
  }
  // The own simulator code of this edition is above 2005: the own values are
  // read as the simulator link keeps them, and the true airspeed stays 0.
  const AddonOwnValues values =
      OwnDynamicsValues(g_ownAircraft().Flight(), kOwnTrueAirspeed, addon_.speedKind, addon_.headingKind);
  std::vector<std::uint8_t> answer;
  AppendAddonAnswerStart(DS_CMD_FLIGHT_DYNAMICS, subCode, 0, answer);
  const AddonOwnDynamicsBytes own = WriteAddonOwnDynamics(values);
  answer.insert(answer.end(), own.begin(), own.end());
  return SendAddonBytes(answer);
}

std::int32_t COrvSok::SendAddonAiList(std::uint8_t subCode) {
  if (subCode != kAddonAskFullList && subCode != kAddonAskShortList) return 0;
  std::vector<std::uint8_t> answer;
  {
    // One hold from the count to the last entry: the count is the number sent.
    WayTableGuard guard;
    const WayTableArray& table = WayTable();
    const auto listed = [](const WayRecord& record) {
      return AddonListedPilot(record, record.way != nullptr ? record.way->LoggedInBits() : 0);
    };
    std::uint32_t count = 0;
    for (const WayRecord& record : table) count += listed(record) ? 1 : 0;
    const std::size_t entrySize = subCode == kAddonAskFullList ? kAddonPilotFullSize : kAddonPilotShortSize;
    answer.reserve(kFrameSyncSize + kFrameHeaderSize + kAddonAnswerHeaderSize + count * entrySize);
    AppendAddonAnswerStart(DS_CMD_AI, subCode, count, answer);
    for (const WayRecord& record : table) {
      if (!listed(record)) continue;
      if (subCode == kAddonAskFullList) {
        AppendAddonPilotFull(record, answer);
      } else {
        AppendAddonPilotShort(record, answer);
      }
    }
  }
  return SendAddonBytes(answer);
}
