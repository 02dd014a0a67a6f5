// The thread messages of a controller way and the frames it sends: the
// login and its acknowledgement, the own flight plan, the held flight strip,
// the position report, the changed items, the heartbeat and the logout.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/klib_settings.h"
#include "core/flight_plan.h"
#include "core/nearest_airport.h"
#include "core/own_aircraft_state.h"
#include "core/text_fields.h"
#include "net/controller_records.h"
#include "net/controller_state.h"
#include "net/frame_codes.h"
#include "net/orv_sok.h"
#include "net/own_aircraft_report.h"
#include "net/pilot_records.h"
#include "net/sim_info_items.h"

namespace {
constexpr int kSyserrUnknownAtcSend = 5800;
constexpr std::int32_t kSendRefused = -1;
constexpr std::uint32_t kPostedDataLimit = 4'096;

const char* TxLine(std::uint8_t subCode) {
  switch (subCode) {
    case NCSUB_LOGIN_ACK:
      return "\t%s %s Tx NCSUB_LOGIN_ACK";
    case NCSUB_LOGOUT:
      return "\t%s %s Tx NCSUB_LOGOUT";
    case NCSUB_FLIGHT_PLAN:
      return "\t%s %s Tx NCSUB_FLIGHT_PLAN";
    case NCSUB_FLIGHT_STRIP:
      return "\t%s %s Tx NCSUB_FLIGHT_STRIP";
    case NCSUB_PILOT_CHANGES:
      return "\t%s %s Tx NCSUB_PILOT_CHANGES";
    default:
      return nullptr;
  }
}

std::uint16_t Rounded16(double value) {
  if (!std::isfinite(value) || value <= 0.0) return 0;
  return value >= 65535.0 ? 65535 : static_cast<std::uint16_t>(std::lround(value));
}

AtcPositionReport OwnPositionReport() {
  const OwnAircraftSnapshot own = g_ownAircraft().Snapshot();
  AtcPositionReport report;
  const double altitude = own.flight.altitudeFeet;
  report.altitudeFeet = std::isfinite(altitude) && altitude > 0.0 && altitude < 4.0e9
                            ? static_cast<std::uint32_t>(std::lround(altitude))
                            : 0;
  report.valueM = Rounded16(own.flight.valueM);
  report.speedKnots = Rounded16(own.flight.speed1Knots);
  report.trueHeading = Rounded16(own.flight.trueHeading);
  report.latitude = own.flight.latitude;
  report.longitude = own.flight.longitude;
  report.onGround = own.working.onGround != 0 ? 1 : 0;
  return report;
}

FlightStrip EchoedStrip(const std::string& ownCallsign) {
  FlightStrip strip;
  strip.callsign = ownCallsign;
  if (const std::optional<WayRecord> held = HeldFlightStrip()) {
    const WayControllerInfo& c = held->controller;
    // The echo tells what the pilot was told: instructions, or to resume his
    // own navigation (never instructions he was not given).
    strip.kind = c.stripKind == kStripInstructions ? kStripInstructions : 0;
    strip.controller = std::string(FieldText(c.stripController));
    strip.waypoint = std::string(FieldText(c.stripWaypoint));
    strip.heading = c.stripHeading;
    strip.altitudeFeet = c.stripAltitudeFeet;
    strip.minimumSpeed = c.stripMinimumSpeed;
    strip.maximumSpeed = c.stripMaximumSpeed;
    strip.transponder = c.stripTransponder;
  }
  return strip;
}
}  // namespace

// ---- Thread messages ----

DWORD COrvSok::AtcWayProcessMessage(const DMessage& message) {
  switch (message.id) {
    case THRDMSG_CONNECT:
      atc_.leaving = false;
      SendToAtc(NCSUB_LOGIN);
      Post(this, this, THRDMSG_FLIGHT_PLAN, 0, 0, "PZGN1005");
      if (HoldsInstructionStrip()) Post(this, this, THRDMSG_FLIGHT_STRIP, 0, 0, "PZGN1006");
      return 1;
    case THRDMSG_FLIGHT_PLAN:
      SendToAtc(NCSUB_FLIGHT_PLAN);
      return 1;
    case THRDMSG_FLIGHT_STRIP:
      SendToAtc(NCSUB_FLIGHT_STRIP);
      return 1;
    case THRDMSG_NODE_PILOT: {
      const auto subCode = static_cast<std::uint8_t>(message.param);
      // The changed items come as a mask in the third word, never as data.
      if (subCode == NCSUB_PILOT_CHANGES) {
        DropPendingPayload();
        if ((LoggedInBits() & kWayLoggedIn) != 0) SendToAtc(subCode, message.word3);
        return 1;
      }
      // The data is what the poster gave, bounded by the queue and the limit.
      const std::uint32_t length = std::min({message.word3, PendingPayload(), kPostedDataLimit});
      std::vector<std::uint8_t> data(length);
      if (length > 0) PopData(data.data(), length);
      DropPendingPayload();
      if ((LoggedInBits() & kWayLoggedIn) != 0) SendToAtc(subCode, 0, data);
      return 1;
    }
    case THRDMSG_HEARTBEAT:
      if ((LoggedInBits() & kWayLoggedIn) != 0) SendToAtc(NCSUB_HEARTBEAT);
      return 1;
    case THRDMSG_LOGOUT:
    case THRDMSG_LEAVE:
      AtcLogoutAndClose();
      return 1;
    case THRDMSG_DISCONNECTION:
      if (message.param != 0) return 0;
      AtcDisconnection(message);
      return 1;
    case THRDMSG_WAY_TEST:
      AtcTestMessage(message);
      return 1;
    default:
      return 0;
  }
}

void COrvSok::AtcLogoutAndClose() {
  // A way whose link is down has nobody to leave; a close would only end
  // whatever the way takes up next.
  if (!IsConnected()) return;
  SendToAtc(NCSUB_LOGOUT);
  Flush(1557);
  SetLoggedInBits(LoggedInBits() & ~(kWayLoggedIn | kWayLoggedInPeer));
  Pause(kPilotSettleMs);
  ResetRx();
  Disconnect("o_PMA");
}

void COrvSok::AtcDisconnection(const DMessage& message) {
  const std::string text = PopReasonText(message, "controller");
  const LinkEnd end(*this);
  OnAtcDropped();
  std::array<char, kSocketReasonSize> reason{};
  std::snprintf(reason.data(), reason.size(), "AWTSC: %s.", text.c_str());
  OnDisconnection(reason.data());
  ResetWay("DISCONNECTION");
  SetSleepCountdown(kDisconnectionSleepSeconds);
}

void COrvSok::AtcTestMessage(const DMessage& message) {
  // Never more than the message holds, nor more than the line's 128 bytes.
  const std::uint32_t length = std::min({message.word3, PendingPayload(), kTestMessageTextLimit});
  std::array<char, kTestMessageTextLimit + 1> text{};
  if (length > 0) PopData(text.data(), length);
  DropPendingPayload();
  text[length] = '\0';
  PilotTextf(kColour24, kPilotNewLine | kPilotBold, "\t%s %s AMSG_TESTING %s.", LogTag(), Name(), text.data());
}

// ---- Sending ----

std::int32_t COrvSok::SendToAtc(std::uint8_t subCode, std::uint32_t value, std::span<const std::uint8_t> data) {
  FrameHeader header;
  header.type = NCSMSG_ATC;
  header.subCode = subCode;
  std::int32_t sent = 0;
  switch (subCode) {
    case NCSUB_LOGIN:
    case NCSUB_LOGIN_ACK:
      sent = SendAtcPacked(subCode, WritePilotLoginRecord(BuildPilotLogin()));
      break;
    case NCSUB_LOGOUT:
    case NCSUB_HEARTBEAT:
      if (!IsConnected()) return 0;
      sent = SendFrame(header, {});
      break;
    case NCSUB_POSITION_REPORT: {
      AtcPositionReportBytes report{};
      if (data.size() == kAtcPositionReportSize) {
        std::copy(data.begin(), data.end(), report.begin());
      } else {
        report = WriteAtcPositionReport(OwnPositionReport());
      }
      sent = SendAtcPacked(subCode, report);
      break;
    }
    case NCSUB_FLIGHT_PLAN: {
      const FlightPlanRecord plan = CurrentFlightPlan();
      // A plan without flight rules is not a plan yet: nothing goes out.
      if (!FlightPlanHasRules(plan)) return 0;
      sent = SendAtcPacked(subCode, WriteFlightPlanPacket(PilotCallsign(), WriteFlightPlanRecord(plan)));
      break;
    }
    case NCSUB_FLIGHT_STRIP:
      sent = SendAtcPacked(subCode, WriteFlightStrip(EchoedStrip(PilotCallsign())));
      break;
    case NCSUB_PILOT_CHANGES: {
      if (!IsConnected()) return 0;
      // One whole frame per changed item, as the node is told.
      const std::vector<std::uint8_t> frames = WriteSimInfoItems(
          FrameSync(), header, value, ReportOwnAircraft(g_ownAircraft().Snapshot(), CurrentNearestAirport()));
      if (frames.empty()) return 0;
      sent = Send(frames.data(), static_cast<std::uint32_t>(frames.size()), true, "ATCI");
      if (sent < 0) return sent;
      sent = IsConnected() ? 1 : 0;
      break;
    }
    default:
      PilotTextf(kColourError, kPilotNewLine, "%s %s System Error SYSERR_%d : %d / %d ", LogTag(), Name(),
                 kSyserrUnknownAtcSend, NCSMSG_ATC, subCode);
      return kSendRefused;
  }
  if (sent > 0) {
    SetOutgoingHeader(header);
    TraceAtcSend(subCode);
  }
  return sent;
}

std::int32_t COrvSok::SendAtcPacked(std::uint8_t subCode, std::span<const std::uint8_t> record) {
  if (!IsConnected()) return 0;
  FrameHeader header;
  header.type = NCSMSG_ATC;
  header.subCode = subCode;
  const std::int32_t sent = SendCompressedRecord(header, record);
  if (sent < 0) PilotTextf(kColourError, kPilotNewLine, "ZAYAR01 : Error %d", static_cast<int>(sent));
  return sent;
}

void COrvSok::TraceAtcSend(std::uint8_t subCode) {
  if (!AtcVerbose()) return;
  if (subCode == NCSUB_LOGIN) {
    std::array<char, kWayNameSize + 1> peer{};
    PilotRecordCallsign(peer);
    PilotTextf(kColourNormal, kPilotNewLine, "\t%s %s Tx NCSUB_LOGIN ( %s )", LogTag(), Name(), peer.data());
  } else if (const char* line = TxLine(subCode)) {
    PilotTextf(kColourNormal, kPilotNewLine, line, LogTag(), Name());
  } else {
    PilotTextf(kColourNormal, kPilotNewLine, "\t%s %s Tx NCSUB_P2A_XXX = %d", LogTag(), Name(), subCode);
  }
}
