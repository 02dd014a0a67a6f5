// The add-on link on a peer way: a local add-on program calls the listening
// port like a peer, logs in with its own frames, selects the speed and
// heading it wants and asks for the own aircraft and the pilots around.
#include <arpa/inet.h>

#include <cstdarg>
#include <string>

#include "base/format_text.h"
#include "base/klib_settings.h"
#include "base/trusted_addresses.h"
#include "net/addon_link.h"
#include "net/frame_codes.h"
#include "net/orv_sok.h"
#include "net/pilot_link.h"
#include "net/way_table_lock.h"

namespace {
constexpr std::uint32_t kAnyAddress = 0;
constexpr std::uint32_t kBroadcastAddress = 0xFFFFFFFFu;
constexpr std::uint32_t kLoopbackHostOrder = 0x7F000001u;
constexpr DWORD kUnknownCodeExtraPauseMs = 100;

bool AddonTrace() { return Klib().TraceBit(kAddonTraceBit); }
bool LoginTrace() { return Klib().TraceBit(0); }

bool KnownReceivedCode(std::uint8_t code) {
  switch (code) {
    case DS_CMD_LOGIN:
    case DS_CMD_LOGOUT:
    case DS_CMD_COMMON:
    case DS_CMD_FLIGHT_DYNAMICS:
    case DS_CMD_AI:
      return true;
    default:
      return false;
  }
}

// What a selection is called in its line.
const char* SelectionText(std::uint8_t subCode) {
  switch (subCode) {
    case kAddonSelectIndicatedSpeed:
      return "Indicated Speed";
    case kAddonSelectTrueAirspeed:
      return "True AirSpeed";
    case kAddonSelectGroundSpeed:
      return "Ground Speed";
    case kAddonSelectMagneticHeading:
      return "magnetic heading";
    case kAddonSelectTrueHeading:
      return "true heading";
    default:
      return nullptr;
  }
}
}  // namespace

AddonAddressVerdict ClassifyAddonAddress(std::uint32_t addressNetOrder) {
  const int kind = ClassifyPeerAddress(addressNetOrder);
  if (kind == 0 && addressNetOrder != kAnyAddress && addressNetOrder != kBroadcastAddress) return {false, 0};
  return {true, kind == 1 ? htonl(kLoopbackHostOrder) : addressNetOrder};
}

void COrvSok::AddonText(const char* text) { TraceLine("%s", text); }

void COrvSok::AddonTextf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = FormatTextV(format, args);
  va_end(args);
  AddonText(text.c_str());
}

bool COrvSok::MayCarryAddonLink() const {
  const char kind = PeerKind();
  return IsPeerWay(WayId()) && accepted_ && record_ != nullptr && kind != 'P' && kind != 'A';
}

DWORD COrvSok::ProcessAddonFrame(const Frame& frame) {
  const FrameHeader& header = frame.header;
  // Only a call taken on the listening port may speak for an add-on, and
  // only before it has become a pilot's or a controller's link.
  if (!MayCarryAddonLink()) {
    const std::string line = FormatText("%s %s System Error SYSERR_7900 : %d / %d ", LogTag(), Name(), header.type,
                                        header.subCode);
    ProtocolError(line.c_str(), header, "HRFD_300");
    return 0;
  }
  SetFrameSync(AddonFrameMagic);
  ++addon_.framesReceived;
  const bool traced = AddonTrace();
  if (!KnownReceivedCode(header.type)) {
    const char* format = traced ? "\t%s %s DRx DS_CMD_XXX = %d / %d" : "\t\t \t%s %s DRx DS_CMD_YYY = %d / %d";
    const std::string line = FormatText(format, LogTag(), Name(), header.type, header.subCode);
    if (!traced) {
      Pause(kUnknownCodeExtraPauseMs);
      SetStopCountdown(0);
    }
    ProtocolError(line.c_str(), header, traced ? "HRFD_100" : "HRFD_110");
    return 0;
  }
  if (traced) TraceAddonFrame(header);

  if ((LoggedInBits() & kWayLoggedIn) == 0 && header.type != DS_CMD_LOGIN) {
    if (traced) AddonTextf("\t\t %s %s DRxNL %d / %d", LogTag(), Name(), header.type, header.subCode);
    Pause(kProtocolErrorPauseMs);
    SetStopCountdown(0);
    Disconnect("HRFD_0");
    return 0;
  }
  if (ApplyAddonAddressRule(header, PeerAddress().sin_addr.s_addr) == 0) return 0;

  switch (header.type) {
    case DS_CMD_LOGIN:
      return AddonLoginReceived(frame);
    case DS_CMD_COMMON:
      return AddonCommonReceived(header);
    case DS_CMD_FLIGHT_DYNAMICS: {
      if (!AddonBodyHolds(frame, kAddonDynamicsRequestSize)) return 0;
      const std::string callsign =
          ReadAddonDynamicsCallsign(std::span(frame.body).first<kAddonDynamicsRequestSize>());
      SendAddonCommand(DS_CMD_FLIGHT_DYNAMICS, header.subCode, callsign);
      return 1;
    }
    case DS_CMD_AI:
      SendAddonCommand(DS_CMD_AI, header.subCode);
      return 1;
    default:  // DS_CMD_LOGOUT: nothing to do
      return 1;
  }
}

void COrvSok::TraceAddonFrame(const FrameHeader& header) {
  const auto count = static_cast<int>(addon_.framesReceived);
  switch (header.type) {
    case DS_CMD_LOGIN:
      AddonTextf("\t%s %s DRx DS_CMD_LOGIN ( %d ) [ %d ]", LogTag(), Name(), header.subCode, count);
      break;
    case DS_CMD_LOGOUT:
      AddonTextf("\t%s %s DRx DS_CMD_LOGOUT [ %d ]", LogTag(), Name(), count);
      break;
    case DS_CMD_COMMON:
      AddonTextf("\t%s %s DRx DS_CMD_COMMON ( %d ) [ %d ]", LogTag(), Name(), header.subCode, count);
      break;
    case DS_CMD_FLIGHT_DYNAMICS:
      AddonTextf("\t%s %s DRx DS_CMD_FLIGHT_DYNAMICS ( %d ) [ %d ]", LogTag(), Name(), header.subCode, count);
      break;
    default:
      AddonTextf("\t%s %s DRx DS_CMD_AI ( %d ) [ %d ]", LogTag(), Name(), header.subCode, count);
      break;
  }
}

DWORD COrvSok::ApplyAddonAddressRule(const FrameHeader& header, std::uint32_t addressNetOrder) {
  const AddonAddressVerdict verdict = ClassifyAddonAddress(addressNetOrder);
  if (!verdict.served) {
    if (AddonTrace()) AddonTextf("\t\t %s %s DRxNA %d / %d", LogTag(), Name(), header.type, header.subCode);
    Disconnect("HRFD_1");
    return 0;
  }
  addon_.local = true;
  if (record_ != nullptr) {
    WayTableGuard guard;
    record_->stateFlags |= kWayLocalPeer;
    record_->peerAddress = verdict.keptAddress;
  }
  return 1;
}

bool COrvSok::AddonBodyHolds(const Frame& frame, std::size_t size) {
  if (!frame.bodySkipped && frame.body.size() >= size) return true;
  const std::string line =
      FormatText("%s %s System Error SYSERR_7910 : %d / %d ( length %u )", LogTag(), Name(), frame.header.type,
                 frame.header.subCode, static_cast<unsigned>(frame.header.length));
  ProtocolError(line.c_str(), frame.header, "HERD_LEN");
  return false;
}

DWORD COrvSok::AddonLoginReceived(const Frame& frame) {
  if (!AddonBodyHolds(frame, kAddonLoginRecordSize)) return 0;
  const AddonLogin login = ReadAddonLogin(std::span(frame.body).first<kAddonLoginRecordSize>());
  if (LoginTrace()) {
    AddonTextf("\t %s %s  %s/%s/%s C%d S%d", LogTag(), Name(), login.textA.c_str(), login.textB.c_str(),
               login.name.c_str(), frame.header.type, frame.header.subCode);
  }
  if (login.name.empty()) {
    if (LoginTrace()) AddonTextf("%s %s Error code : DSYNC_00.", LogTag(), Name());
    SendAddonCommand(DS_CMD_CANCEL_LINK, 0);
    RequestDisconnect("OCANCLNK3");
    Pause(kPilotSettleMs);
    Flush(0);
    return 1;
  }
  addon_.name.fill('\0');
  login.name.copy(addon_.name.data(), addon_.name.size() - 1);
  // The way goes by the add-on's name until it sleeps again.
  SetName(addon_.name.data());
  SendAddonCommand(DS_CMD_LOGIN_ACK, 0);
  SetLoggedInBits(LoggedInBits() | kWayLoggedIn);
  AddonTextf("Addon %s v%d.%d.%d.%c connected.", addon_.name.data(), login.version[0], login.version[1],
             login.version[2], static_cast<char>(login.version[3]));
  return 1;
}

DWORD COrvSok::AddonCommonReceived(const FrameHeader& header) {
  switch (header.subCode) {
    case kAddonSelectIndicatedSpeed:
      addon_.speedKind = kAddonSpeedIndicated;
      break;
    case kAddonSelectTrueAirspeed:
      addon_.speedKind = kAddonSpeedTrue;
      break;
    case kAddonSelectGroundSpeed:
      addon_.speedKind = kAddonSpeedGround;
      break;
    case kAddonSelectMagneticHeading:
      addon_.headingKind = kAddonHeadingMagnetic;
      break;
    case kAddonSelectTrueHeading:
      addon_.headingKind = kAddonHeadingTrue;
      break;
    case kAddonAskSpeedKind:
    case kAddonAskHeadingKind:
      SendAddonCommand(DS_CMD_COMMON, header.subCode);
      return 1;
    default:
      return 1;
  }
  AddonTextf("%s has selected %s", addon_.name.data(), SelectionText(header.subCode));
  return 1;
}
