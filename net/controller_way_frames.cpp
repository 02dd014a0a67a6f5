// Frames received on a controller way: the login exchange, the flight
// strips, the amended plans, the hand-offs, the ATIS, the local weather, the
// message rate and the controller's leaving. A controller speaks for himself:
// a record naming another controller changes nothing (a hand-off names the
// next one, who must have a way of his own).
#include <algorithm>
#include <cstdlib>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "base/byte_order.h"
#include "base/klib_settings.h"
#include "core/flight_plan.h"
#include "core/settings.h"
#include "core/text_fields.h"
#include "net/compressed_record.h"
#include "net/controller_hooks.h"
#include "net/controller_records.h"
#include "net/controller_state.h"
#include "net/frame_codes.h"
#include "net/orv_sok.h"
#include "net/pilot_records.h"

namespace {
constexpr int kSyserrUnknownAtcSub = 5900;
constexpr int kSyserrShortAtcBody = 5920;
constexpr std::uint32_t kWayExcluded = 0x1;
constexpr DWORD kAtcRefusePauseMs = 100;

const char* RxLine(std::uint8_t subCode) {
  switch (subCode) {
    case NCSUB_LOGIN:
      return "\t%s %s ARx NCSUB_LOGIN";
    case NCSUB_LOGIN_ACK:
      return "\t%s %s ARx NCSUB_LOGIN_ACK";
    case NCSUB_LOGOUT:
      return "\t%s %s ARx NCSUB_LOGOUT";
    case NCSUB_START_TUNNEL:
      return "\t%s %s ARx NCSUB_START_TUNNEL";
    case NCSUB_A2P_MSG_RATE:
      return "\t%s %s ARx NCSUB_A2P_MSG_RATE";
    case NCSUB_OUT_OF_RANGE:
      return "\t%s %s ARx NCSUB_OUT_OF_RANGE";
    case NCSUB_ATIS:
      return "\t%s %s ARx NCSUB_ATIS";
    case NCSUB_WEATHER:
      return "\t%s %s ARx NCSUB_WEATHER";
    case NCSUB_FLIGHT_STRIP:
      return "\t%s %s ARx NCSUB_FLIGHT_STRIP";
    case NCSUB_FLIGHT_PLAN:
      return "\t%s %s ARx NCSUB_FLIGHT_PLAN";
    default:
      return nullptr;
  }
}

bool UngatedAtcSub(std::uint8_t subCode) {
  return subCode == NCSUB_LOGIN || subCode == NCSUB_LOGIN_ACK || subCode == NCSUB_HEARTBEAT ||
         subCode == NCSUB_START_TUNNEL;
}

bool KnownAtcSub(std::uint8_t subCode) {
  return RxLine(subCode) != nullptr || subCode == NCSUB_HEARTBEAT || subCode == NCSUB_HAND_OFF;
}

std::string Formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Formatted(const char* format, ...) {
  std::array<char, 256> line{};
  va_list args;
  va_start(args, format);
  std::vsnprintf(line.data(), line.size(), format, args);
  va_end(args);
  return line.data();
}

std::string FrequencyOf(const WayControllerInfo& controller) {
  return AtcFrequencyText(controller.frequencyMhz, controller.frequencyKhz);
}

std::string CallsignOf(const WayRecord& record) {
  return std::string(FieldText(record.callsign));
}
}  // namespace

bool COrvSok::AtcVerbose() const {
  return (Klib().traceMask.load(std::memory_order_relaxed) & kControllerVerboseFlag) != 0;
}

bool COrvSok::OwnController(std::string_view named) const {
  if (record_ == nullptr || named.empty()) return false;
  WayTableGuard guard;
  return (record_->stateFlags & kWayAllocated) != 0 && FieldText(record_->callsign) == named;
}

DWORD COrvSok::ProcessAtcFrame(const Frame& frame) {
  const FrameHeader& header = frame.header;
  if (header.type != NCSMSG_ATC) {
    const std::string line =
        Formatted("\t%s %s Rx NCSMSG_ATC_XXX = %d / %d", LogTag(), Name(), header.type, header.subCode);
    ProtocolError(line.c_str(), header, "HRFA_100");
    return 0;
  }
  TraceAtcFrame(header);
  if (!UngatedAtcSub(header.subCode) && (LoggedInBits() & kWayLoggedIn) == 0) return RefuseAtcFrame(header);
  switch (header.subCode) {
    case NCSUB_LOGIN:
    case NCSUB_LOGIN_ACK:
      return AtcLoginReceived(frame);
    case NCSUB_LOGOUT:
    case NCSUB_OUT_OF_RANGE:
      if (frame.bodySkipped || frame.body.size() < kPilotCallsignBodySize) return AtcReadFailed(header);
      OnAtcOutOfRange(header.subCode, frame.body);
      return IsConnected() ? 1 : 0;
    case NCSUB_HEARTBEAT:
      if ((LoggedInBits() & kWayLoggedIn) != 0 && record_ != nullptr) {
        WayTableGuard guard;
        record_->controller.heartbeatCounter = 0;
      }
      return 1;
    case NCSUB_START_TUNNEL:
      SendToAtc(NCSUB_LOGIN);
      return 1;
    case NCSUB_FLIGHT_PLAN: {
      FlightPlanPacketBytes bytes{};
      if (ReadCompressedRecord(frame, bytes) != kRecordOk) return AtcReadFailed(header);
      OnFlightPlanAmended(ReadAmendedFlightPlan(bytes));
      return 1;
    }
    case NCSUB_FLIGHT_STRIP: {
      FlightStripBytes bytes{};
      if (ReadCompressedRecord(frame, bytes) != kRecordOk) return AtcReadFailed(header);
      OnFlightStrip(ReadFlightStrip(bytes));
      return 1;
    }
    case NCSUB_HAND_OFF:
      return AtcHandOffReceived(frame);
    case NCSUB_A2P_MSG_RATE:
      return AtcRateReceived(frame);
    case NCSUB_ATIS: {
      AtisRecordBytes bytes{};
      if (ReadCompressedRecord(frame, bytes) != kRecordOk) return AtcReadFailed(header);
      OnAtcNewAtis(ReadAtisRecord(bytes));
      return 1;
    }
    case NCSUB_WEATHER: {
      WeatherRecordBytes bytes{};
      if (ReadCompressedRecord(frame, bytes) != kRecordOk) return AtcReadFailed(header);
      OnAtcLocalWeather(ReadWeatherRecord(bytes));
      return 1;
    }
    default: {
      const std::string line = Formatted("%s %s System Error SYSERR_%d : %d / %d ", LogTag(), Name(),
                                         kSyserrUnknownAtcSub, header.type, header.subCode);
      ProtocolError(line.c_str(), header, "HRFA_200");
      return 0;
    }
  }
}

void COrvSok::TraceAtcFrame(const FrameHeader& header) {
  const char* line = RxLine(header.subCode);
  if (AtcVerbose()) {
    if (line != nullptr) {
      PilotTextf(kColourNormal, kPilotNewLine, line, LogTag(), Name());
    } else {
      PilotTextf(kColourNormal, kPilotNewLine, "\t%s %s Rx NCSMSG_ATC = ( %d )", LogTag(), Name(), header.subCode);
    }
  } else if (!KnownAtcSub(header.subCode)) {
    // The heartbeat and the hand-off are served unnamed; only a sub-code the
    // link does not know is worth a line without the verbose trace.
    PilotTextf(kColourNormal, kPilotNewLine, "\t\t \t%s %s Rx NCSMSG_ATC_XXX = %d / %d", LogTag(), Name(),
               header.type, header.subCode);
  }
}

DWORD COrvSok::RefuseAtcFrame(const FrameHeader& header) {
  PilotTextf(kColourNormal, kPilotNewLine, "\t\t %s %s RxAtcNL %d / %d", LogTag(), Name(), header.type,
             header.subCode);
  Pause(kAtcRefusePauseMs);
  SetStopCountdown(0);
  Disconnect("HRFA_0");
  return 0;
}

DWORD COrvSok::AtcReadFailed(const FrameHeader& header) {
  const std::string line = Formatted("%s %s System Error SYSERR_%d : %d / %d ( length %u )", LogTag(), Name(),
                                     kSyserrShortAtcBody, header.type, header.subCode,
                                     static_cast<unsigned>(header.length));
  ProtocolError(line.c_str(), header, "HRFA_LEN");
  return 0;
}

// ---- The login exchange ----

DWORD COrvSok::AtcLoginReceived(const Frame& frame) {
  const std::uint8_t subCode = frame.header.subCode;
  AtcLoginRecordBytes bytes{};
  if (ReadCompressedRecord(frame, bytes) != kRecordOk) return AtcReadFailed(frame.header);
  atc_.login = bytes;
  atc_.radioSelection = kPilotRadioCom1;
  atc_.leaving = false;
  const std::int32_t result = OnAtcLogin(subCode);
  if (result == 1) {
    Post(this, this, THRDMSG_FLIGHT_PLAN, 0, 0, "PZGN1008");
    if (HeldFlightStrip().has_value()) Post(this, this, THRDMSG_FLIGHT_STRIP, 0, 0, "PZGN1009");
  } else if (AtcVerbose()) {
    const AtcLoginRecord login = ReadAtcLoginRecord(bytes);
    PilotTextf(kColourNormal, kPilotNewLine, "\t%s %s ATCLGI %s RetLog = %d, Cmd %d", LogTag(), Name(),
               login.identity.callsign.c_str(), static_cast<int>(result), static_cast<int>(subCode));
  }
  return 1;
}

std::int32_t COrvSok::OnAtcLogin(std::uint8_t subCode) {
  if (record_ == nullptr) return 0;
  const AtcLoginRecord login = ReadAtcLoginRecord(atc_.login);
  const IdentityBlock& identity = login.identity;
  const AtcControllerPart& part = login.controller;
  if (subCode == NCSUB_LOGIN) {
    WayTableGuard guard;
    const std::int32_t holder = LookupWayByCallsign(identity.callsign);
    if (holder >= 0 && holder != WayId()) return 0;
  }
  WayRecord copy;
  {
    WayTableGuard guard;
    copy = *record_;
  }
  copy.peerKind = 'A';
  if (const std::uint32_t address = PeerAddress().sin_addr.s_addr; address != 0) copy.peerAddress = address;
  // An answer keeps the callsign the way was opened for.
  if (subCode == NCSUB_LOGIN || FieldText(copy.callsign).empty()) CopyToField(copy.callsign, identity.callsign);
  CopyToField(copy.peerLogin, identity.login);
  CopyToField(copy.serverName, identity.passwordOrServer);
  CopyToField(copy.firstName, identity.firstName);
  CopyToField(copy.lastName, identity.lastName);
  WayControllerInfo& c = copy.controller;
  c.loginDirection = subCode == NCSUB_LOGIN ? 0 : 1;
  c.versionBytes = {identity.versionMajor, identity.versionMinor, identity.versionBuild,
                    static_cast<std::uint8_t>(identity.versionLetter)};
  c.machineId = identity.machineId;
  c.listenPort = identity.listenPort;
  c.rating = KeptTokenByte(identity.serverToken);
  c.frequencyMhz = part.frequencyMhz;
  c.frequencyKhz = part.frequencyKhz;
  CopyToField(c.frequency, AtcFrequencyText(part.frequencyMhz, part.frequencyKhz));
  for (std::size_t i = 0; i < part.values.size(); ++i) {
    for (std::size_t b = 0; b < 4; ++b) c.field16[4 * i + b] = static_cast<std::uint8_t>(part.values[i] >> (8 * b));
  }
  c.rangeNm = part.value28;
  c.value32 = part.value32;
  c.transitionAltitudeFeet = part.transitionAltitudeFeet;
  CopyToField(c.secondText, part.secondText);
  SetTransitionAltitudeFromController(part.transitionAltitudeFeet);
  CopyToField(copy.atisText, std::string_view(part.atis).substr(0, kAtcAtisTextSize - 1));
  // He is heard on COM1: his frequency is the first one.
  copy.frequencyA = c.frequency;
  copy.voiceFlags = (copy.voiceFlags & ~kWayListensOnB) | kWayListensOnA;
  OnAtcInRange(copy);
  SetLoggedInBits(LoggedInBits() | kWayLoggedIn);
  if (subCode == NCSUB_LOGIN) {
    NameAfterCallsign();
    SendToAtc(NCSUB_LOGIN_ACK);
  }
  return 1;
}

void COrvSok::OnAtcInRange(const WayRecord& record) {
  if (record_ == nullptr) return;
  {
    WayTableGuard guard;
    COrvSok* way = record_->way;
    *record_ = record;
    record_->way = way;
  }
  if (record.controller.rating == 0) return;
  {
    // The three pieces make one line: no other way's line between them.
    WayTableTraceGate gate;
    PilotText(kColourNormal, kPilotNewLine, "Controller ");
    PilotText(kColour25, kPilotBold, CallsignOf(record).c_str());
    PilotText(kColourNormal, 0, " is in range.");
  }
  CountControllerInRange();
  const auto hooks = CurrentControllerHooks();
  if (hooks->rebuildControllerList) hooks->rebuildControllerList();
  if (g_setupSettings.enableSoundOnPrivateMsg.load() != 0) PlayInRangeSound();
}

// ---- Hand-off and message rate ----

DWORD COrvSok::AtcHandOffReceived(const Frame& frame) {
  // The record is announced as 40 or as 120 bytes: any size between is
  // decoded into a zeroed 120-byte record.
  HandOffRecordBytes bytes{};
  if (frame.bodySkipped || frame.body.size() < kCompressedRecordPrefixSize) return AtcReadFailed(frame.header);
  const std::uint32_t announced = GetU32(frame.body.data());
  if (announced < kHandOffMinSize || announced > kHandOffRecordSize) {
    PilotTextf(kColourNormal, kPilotNewLine, "%s %s System Error SYSERR_11030 : %d / %d ", LogTag(), Name(),
               static_cast<int>(kHandOffRecordSize), static_cast<int>(announced));
    return AtcReadFailed(frame.header);
  }
  if (ReadCompressedRecord(frame, std::span(bytes).first(announced)) != kRecordOk) return AtcReadFailed(frame.header);
  const HandOffRecord handOff = ReadHandOffRecord(bytes);
  if (!OwnController(handOff.from)) return 1;
  std::string frequency;
  {
    WayTableGuard guard;
    const std::int32_t next = LookupWayByCallsign(handOff.to);
    const WayRecord* record = PeerWayRecord(next);
    if (record == nullptr || next == WayId() || record->peerKind != 'A') return 1;
    frequency = FrequencyOf(record->controller);
  }
  std::array<char, 32> tuned{};
  std::snprintf(tuned.data(), tuned.size(), "%3.3f", std::strtod(frequency.c_str(), nullptr));
  PilotTextf(kColourNormal, kPilotNewLine | kPilotBold, "[%s]", handOff.from.c_str());
  PilotText(kColourNormal, 0, " : Hand-off to ");
  PilotText(kColourNormal, 0, handOff.to.c_str());
  PilotTextf(kColourNormal, 0, "  on %s Mhz", frequency.c_str());
  PilotText(kColourNormal, kPilotNewLine, "Please tune ");
  PilotTextf(kColourEmphasis, kPilotBold, "%s Mhz", tuned.data());
  return 1;
}

DWORD COrvSok::AtcRateReceived(const Frame& frame) {
  if (frame.bodySkipped || frame.body.size() < kMessageRateRecordSize) return AtcReadFailed(frame.header);
  const MessageRateRecord rate = ReadMessageRateRecord(std::span(frame.body).first<kMessageRateRecordSize>());
  if (!OwnController(rate.controller)) return 1;
  {
    WayTableGuard guard;
    record_->controller.bitrateDivider = rate.divider;
    record_->controllerRate = rate.divider;
    record_->controllerReportInterval = rate.divider != 0 ? rate.divider : kWayInitialReportInterval;
  }
  if (AtcVerbose()) {
    PilotTextf(kColourNormal, kPilotNewLine, "Way %d : (from %s) BitrateDivider = %d", static_cast<int>(WayId()),
               rate.controller.c_str(), static_cast<int>(rate.divider));
  }
  return 1;
}

// ---- Events ----

void COrvSok::OnAtcOutOfRange(std::uint8_t subCode, std::span<const std::uint8_t> body) {
  std::string named;
  if (ReadPilotCallsignBody(body, named) != kNodeRecordOk || atc_.leaving || !OwnController(named)) return;
  std::uint32_t flags = 0;
  {
    WayTableGuard guard;
    flags = record_->stateFlags;
  }
  atc_.leaving = true;
  SetLoggedInBits(LoggedInBits() & ~(kWayLoggedIn | kWayLoggedInPeer));
  Pause(kPilotSettleMs);
  ResetRx();
  DropFramesFed();
  if ((flags & kWayExcluded) == 0) {
    PilotText(kColourNormal, kPilotNewLine, "Controller ");
    PilotText(kColourNormal, kPilotBold, named.c_str());
    PilotText(kColourNormal, 0, subCode == NCSUB_OUT_OF_RANGE ? " is out of range." : " has closed his position.");
  }
  RequestDisconnect("ARLOUT");
}

void COrvSok::OnAtcNewAtis(const AtisRecord& atis) {
  if (!OwnController(atis.controller)) return;
  {
    WayTableGuard guard;
    if ((record_->stateFlags & kWayExcluded) != 0) return;
    CopyToField(record_->atisText, std::string_view(atis.text).substr(0, kAtcAtisTextSize - 1));
  }
  PilotText(kColourNormal, kPilotNewLine, "Controller ");
  PilotText(kColourNormal, kPilotBold, atis.controller.c_str());
  PilotText(kColourNormal, 0, " has set a new ATIS");
}

void COrvSok::OnAtcLocalWeather(const WeatherRecord& weather) {
  if (!OwnController(weather.controller)) return;
  if (weather.icao.empty()) {
    {
      WayTableGuard guard;
      record_->controller.weatherIcao.fill('\0');
    }
    PilotText(kColourNormal, kPilotNewLine | kPilotBold, weather.controller.c_str());
    PilotText(kColourNormal, 0, " does no longer control local weather.");
    return;
  }
  {
    WayTableGuard guard;
    CopyToField(record_->controller.weatherIcao, weather.icao);
    CopyToField(record_->localWeather, weather.metar);
  }
  const auto hooks = CurrentControllerHooks();
  if (hooks->controllerWeather) hooks->controllerWeather(weather.icao, weather.metar);
  PilotText(kColourNormal, kPilotNewLine | kPilotBold, weather.controller.c_str());
  PilotText(kColourNormal, 0, " has set a new local weather for ");
  PilotText(kColourNormal, kPilotBold, weather.icao.c_str());
}

void COrvSok::OnFlightStrip(const FlightStrip& strip) {
  if (!OwnController(strip.controller)) return;
  WayRecord held;
  {
    WayTableGuard guard;
    WayControllerInfo& c = record_->controller;
    c.stripKind = strip.kind;
    CopyToField(c.stripController, strip.controller);
    if (strip.kind == kStripInstructions) {
      CopyToField(c.stripWaypoint, strip.waypoint);
      c.stripHeading = strip.heading;
      c.stripAltitudeFeet = strip.altitudeFeet;
      c.stripMinimumSpeed = strip.minimumSpeed;
      c.stripMaximumSpeed = strip.maximumSpeed;
      c.stripTransponder = strip.transponder;
    }
    held = *record_;
  }
  if (strip.kind != kStripInstructions) {
    PilotTextf(kColourNormal, kPilotNewLine | kPilotBold, "[%s]", strip.controller.c_str());
    PilotText(kColour25, 0, " : Resume your own navigation.");
  } else {
    PilotText(kColourNormal, kPilotNewLine, "Flight strip from ");
    PilotText(kColourNormal, kPilotBold, strip.controller.c_str());
    if (!strip.waypoint.empty()) {
      PilotText(kColourNormal, 0, " : Waypoint ");
      PilotText(kColour25, 0, strip.waypoint.c_str());
    }
    PilotText(kColourNormal, 0, "   Heading ");
    PilotTextf(kColourNormal, 0, "%d \xB0", static_cast<int>(strip.heading));
    PilotText(kColourNormal, 0, "   Altitude ");
    if (strip.altitudeFeet >= TransitionAltitudeFeet()) {
      PilotTextf(kColourNormal, 0, "FL%d", static_cast<int>(strip.altitudeFeet / 100));
    } else {
      PilotTextf(kColourNormal, 0, "%d", static_cast<int>(strip.altitudeFeet));
    }
    PilotText(kColourNormal, 0, "   Speed restricted to ");
    PilotTextf(kColourNormal, 0, "%d..%d Kts", static_cast<int>(strip.minimumSpeed),
               static_cast<int>(strip.maximumSpeed));
    PilotText(kColourNormal, 0, "   Transponder ");
    PilotTextf(kColourNormal, 0, "%d", static_cast<int>(strip.transponder));
  }
  HoldFlightStrip(held);
}

void COrvSok::OnFlightPlanAmended(const AmendedFlightPlan& packet) {
  if (!OwnController(packet.controller)) return;
  atc_.amendedTransponder = packet.transponder;
  atc_.amendedPlan = ReadFlightPlanRecord(packet.plan);
  // The form in use checks it on its own thread before anything is said,
  // stored or sent: a refused amendment must leave the own plan as it was.
  PostFlightPlanAmendment({atc_.amendedPlan, packet.controller, packet.transponder});
}

void COrvSok::OnAtcDropped() {
  if (record_ == nullptr) return;
  const LinkEnd end(*this);
  std::string callsign;
  std::uint32_t flags = 0;
  {
    WayTableGuard guard;
    // A record cleared already has nobody to drop.
    if ((record_->stateFlags & kWayAllocated) == 0 || record_->peerKind != 'A') return;
    callsign = CallsignOf(*record_);
    flags = record_->stateFlags;
  }
  const DWORD bits = LoggedInBits();
  // After his own goodbye (closed position, out of range) the bits are clear
  // already: the link's end follows as " has left.".
  if ((flags & kWayExcluded) == 0) {
    WayTableTraceGate gate;
    PilotText(kColourNormal, kPilotNewLine, "Controller ");
    PilotText(kColourNormal, kPilotBold, callsign.c_str());
    PilotText(kColourNormal, 0, (bits & kWayLoggedIn) != 0 ? " has dropped." : " has left.");
  }
  SetLoggedInBits(bits & ~(kWayLoggedIn | kWayLoggedInPeer));
  Pause(kPilotSettleMs);
  ResetRx();
  ClearEndingRecord("ATCHSLFT");
  const auto hooks = CurrentControllerHooks();
  if (hooks->rebuildControllerList) hooks->rebuildControllerList();
}
