// Frames received on a pilot way: the login exchange, the cancel reasons,
// the admission notice, the logout and out-of-range notices, the packets and
// the radio changes. Every frame comes whole (its body read by its header's
// length); a body shorter than its record is a protocol error.
#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "base/byte_order.h"
#include "base/klib_settings.h"
#include "core/text_fields.h"
#include "net/compressed_record.h"
#include "net/frame_codes.h"
#include "net/orv_sok.h"
#include "net/pilot_records.h"
#include "net/peer_traffic_hooks.h"

namespace {
constexpr int kSyserrUnknownPilotSub = 6900;
constexpr int kSyserrPacketTooLong = 6910;
constexpr int kSyserrShortPilotBody = 6920;
// Frames of these sub-codes and above need the logged-in bit.
constexpr std::uint8_t kLastUngatedPilotSub = NCSUB_LOGOUT;

const char* RxLine(std::uint8_t subCode) {
  switch (subCode) {
    case NCSUB_LOGIN:
      return "\t%s %s PRx NCSUB_LOGIN";
    case NCSUB_LOGIN_ACK:
      return "\t%s %s PRx NCSUB_LOGIN_ACK";
    case NCSUB_LOGOUT:
      return "\t%s %s PRx NCSUB_LOGOUT";
    case NCSUB_OUT_OF_RANGE:
      return "\t%s %s PRx NCSUB_OUT_OF_RANGE";
    case NCSUB_HEARTBEAT:
      return "\t%s %s PRx NCSUB_HEARTBEAT";
    case NCSUB_CANCEL_LINK:
      return "\t%s %s PRx NCSUB_CANCEL_LINK";
    case NCSUB_PEER_ADDED:
      return "\t%s %s PRx NCSUB_PEER_ADDED";
    case NCSUB_REQ_PLANE_PARAMS:
      return "\t%s %s PRx NCSUB_REQ_PLANE_PARAMS";
    case NCSUB_FS_PACKET:
      return "\t%s %s PRx NCSUB_FS_PACKET";
    case NCSUB_FSX_PACKET:
      return "\t%s %s PRx NCSUB_FSX_PACKET";
    case NCSUB_MISC_PACKET:
      return "\t%s %s PRx NCSUB_MISC_PACKET";
    case NCSUB_PILOT_CHANGES2:
      return "\t%s %s PRx NCSUB_PILOT_CHANGES2";
    case NCSUB_PILOT_CHANGES_COMM:
      return "\t%s %s PRx NCSUB_PILOT_CHANGES_COMM";
    case NCSUB_IAM_INVISIBLE:
      return "\t%s %s PRx NCSUB_IAM_INVISIBLE";
    case NCSUB_IAM_VISIBLE:
      return "\t%s %s PRx NCSUB_IAM_VISIBLE";
    case NCSUB_TEST:
      return "\t%s %s PRx NCSUB_TEST";
    case NCSUB_LATENCY_REQ_ECHO:
      return "\t%s %s PRx NCSUB_LATENCY_REQ_ECHO";
    case NCSUB_LATENCY_ECHO:
      return "\t%s %s PRx NCSUB_LATENCY_ECHO";
    default:
      return nullptr;
  }
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
}  // namespace

DWORD COrvSok::ProcessPilotFrame(const Frame& frame) {
  const FrameHeader& header = frame.header;
  if (header.type != NCSMSG_PILOT) {
    const std::string line =
        Formatted("\t%s %s Rx NCSMSG_PILOT_XXX = %d / %d", LogTag(), Name(), header.type, header.subCode);
    ProtocolError(line.c_str(), header, "HRFP_100");
    return 0;
  }
  TracePilotFrame(header);
  if (header.subCode > kLastUngatedPilotSub && (LoggedInBits() & kWayLoggedIn) == 0) return RefusePilotFrame(header);
  const auto hooks = CurrentPeerTrafficHooks();
  switch (header.subCode) {
    case NCSUB_LOGIN:
      ResetPeerState();
      SetLoggedInBits(0);
      return PilotLoginReceived(frame);
    case NCSUB_LOGIN_ACK:
      return PilotLoginReceived(frame);
    case NCSUB_CANCEL_LINK:
      return PilotCancelReceived(frame);
    case NCSUB_PEER_ADDED:
      return PilotPeerAddedReceived();
    case NCSUB_LOGOUT:
    case NCSUB_OUT_OF_RANGE:
      if (frame.bodySkipped || frame.body.size() < kPilotCallsignBodySize) break;
      OnPilotOutOfRange(header.subCode, frame.body);
      return IsConnected() ? 1 : 0;
    case NCSUB_HEARTBEAT:
    case NCSUB_LATENCY_ECHO:
    case NCSUB_TEST:
      return 1;
    case NCSUB_REQ_PLANE_PARAMS:
      if ((LoggedInBits() & kWayLoggedIn) != 0 && hooks->sendPositionTick) hooks->sendPositionTick(*this);
      return 1;
    case NCSUB_FS_PACKET:
    case NCSUB_FSX_PACKET:
    case NCSUB_MISC_PACKET:
      return PilotPacketReceived(frame);
    case NCSUB_PILOT_CHANGES2:
      return PilotChanges2Received(frame);
    case NCSUB_IAM_VISIBLE:
      if (hooks->peerVisible) hooks->peerVisible(*this);
      return 1;
    case NCSUB_IAM_INVISIBLE:
      if (hooks->peerInvisible) hooks->peerInvisible(*this);
      return 1;
    case NCSUB_PILOT_CHANGES_COMM:
      return PilotCommReceived(frame);
    case NCSUB_LATENCY_REQ_ECHO:
      ++pilot_.latencyProbes;
      SendToPilot(NCSUB_LATENCY_ECHO);
      return 1;
    default: {
      const std::string line = Formatted("%s %s System Error SYSERR_%d : %d / %d ", LogTag(), Name(),
                                         kSyserrUnknownPilotSub, header.type, header.subCode);
      ProtocolError(line.c_str(), header, "HRFP_200");
      return 0;
    }
  }
  // A body too short for its record.
  const std::string line = Formatted("%s %s System Error SYSERR_%d : %d / %d ( length %u )", LogTag(), Name(),
                                     kSyserrShortPilotBody, header.type, header.subCode,
                                     static_cast<unsigned>(header.length));
  ProtocolError(line.c_str(), header, "HRFP_LEN");
  return 0;
}

void COrvSok::TracePilotFrame(const FrameHeader& header) {
  const char* line = RxLine(header.subCode);
  if (PilotVerbose()) {
    if (line != nullptr) {
      PilotTextf(kColourNormal, kPilotNewLine, line, LogTag(), Name());
    } else {
      PilotTextf(kColourNormal, kPilotNewLine, "\t%s %s Rx NCSMSG_PILOT_??? ( %d )", LogTag(), Name(), header.subCode);
    }
  } else if (line == nullptr) {
    PilotTextf(kColourNormal, kPilotNewLine, "\t\t \t%s %s Rx NCSMSG_PILOT_YYY = %d / %d", LogTag(), Name(),
               header.type, header.subCode);
  }
}

DWORD COrvSok::RefusePilotFrame(const FrameHeader& header) {
  if (PilotVerbose()) {
    PilotTextf(kColourNormal, kPilotNewLine, "\t\t %s %s RxPilNL %d / %d", LogTag(), Name(), header.type,
               header.subCode);
  }
  Pause(kPilotRefusePauseMs);
  SetStopCountdown(0);
  Disconnect("HRFP_0");
  return 0;
}

// ---- The login exchange ----

DWORD COrvSok::PilotLoginReceived(const Frame& frame) {
  const std::uint8_t subCode = frame.header.subCode;
  LoginRecordBytes bytes{};
  const std::int32_t read = ReadCompressedRecord(frame, bytes);
  if (read != kRecordOk) {
    PilotTextf(kColourError, kPilotNewLine, "%s %s Error code : DEZERR_00 / %d.", LogTag(), Name(),
               static_cast<int>(read));
    return 1;
  }
  PilotLoginRecord login;
  ReadPilotLoginRecord(bytes, login);
  pilot_.peerLogin = bytes;
  TakePilotRadios(RadioSelectionFromOptions(login.login.optionBits), login.login.com1, login.login.com2);
  if (record_ != nullptr) {
    WayTableGuard guard;
    CopyToField(record_->serverName, login.login.identity.passwordOrServer);
  }
  const std::int32_t result = OnPeerAdded(subCode);
  if (result < 0) {
    PilotTextf(kColourError, kPilotNewLine,
               subCode == NCSUB_LOGIN ? "%s %s Pilot %s : Could not login (Error code %d)"
                                      : "%s %s Pilot %s : Could not acknowledge login (Error code %d)",
               LogTag(), Name(), login.login.identity.callsign.c_str(), static_cast<int>(result));
  }
  pilot_.timeoutSeconds = kPilotTimeoutLogin;
  return 1;
}

std::int32_t COrvSok::OnPeerAdded(std::uint8_t subCode) {
  if (record_ == nullptr) return -1;
  if ((LoggedInBits() & (kWayLoggedIn | kWayLoggedInPeer)) != 0) return 1;
  PilotLoginRecord login;
  ReadPilotLoginRecord(pilot_.peerLogin, login);
  const std::string& callsign = login.login.identity.callsign;
  if (subCode == NCSUB_LOGIN) {
    WayTableGuard guard;
    const std::int32_t holder = LookupWayByCallsign(callsign);
    if (holder >= 0 && holder != WayId()) return 10;
  }
  if (!SessionOpen()) {
    PilotTextf(kColourNormal, kPilotNewLine,
               "Pilot %s tried to add you to his session but you were not connected to your multiplayer session.",
               callsign.c_str());
    SendToPilot(NCSUB_CANCEL_LINK, kCancelNotInSession);
    RequestDisconnect("OCANCLNK1");
    Pause(kPilotSettleMs);
    return -20;
  }
  SetLoggedInBits(LoggedInBits() | kWayLoggedInPeer);
  FillRecordFromLogin(login, subCode);
  if (subCode == NCSUB_LOGIN) NameAfterCallsign();
  const auto hooks = CurrentPeerTrafficHooks();
  if (hooks->updateSimPairOffsets) hooks->updateSimPairOffsets(*this);
  const std::int32_t added = hooks->addPeerInSim ? hooks->addPeerInSim(*this) : WayId();
  if (added < 0) {
    std::array<char, kWayNameSize + 1> peer{};
    PilotRecordCallsign(peer);
    PilotTextf(kColourNormal, kPilotNewLine, "Error code %d : Could not create a peer for Pilot %s.",
               static_cast<int>(added), peer.data());
    CancelPeerLink();
    return -50;
  }
  return 1000;
}

void COrvSok::FillRecordFromLogin(const PilotLoginRecord& login, std::uint8_t subCode) {
  const LoginRecord& part = login.login;
  const IdentityBlock& identity = part.identity;
  const PilotLoginExtras& extras = login.extras;
  const bool newerFamily = static_cast<std::int32_t>(part.simulatorCode) >= 2006;
  const std::uint32_t attitudeWord =
      newerFamily ? GetU32(extras.position.data() + 20) : GetU32(extras.olderPosition.data() + 36);
  const UnpackedAttitude attitude =
      newerFamily ? UnpackPositionAttitude(attitudeWord) : UnpackOlderAttitude(attitudeWord);
  WayPosition first;
  first.latitude = part.latitude;
  first.longitude = part.longitude;
  first.altitude = part.altitudeFeet;
  first.pitch = attitude.pitch;
  first.bank = attitude.bank;
  first.heading = attitude.heading;
  const std::uint32_t address = PeerAddress().sin_addr.s_addr;

  WayTableGuard guard;
  WayRecord& record = *record_;
  record.peerKind = 'P';
  if (address != 0) record.peerAddress = address;
  // An answer keeps the callsign the node named the way for.
  if (subCode == NCSUB_LOGIN || FieldText(record.callsign).empty()) CopyToField(record.callsign, identity.callsign);
  CopyToField(record.peerLogin, identity.login);
  CopyToField(record.serverName, identity.passwordOrServer);
  CopyToField(record.firstName, identity.firstName);
  CopyToField(record.lastName, identity.lastName);
  record.simulatorCode = static_cast<std::int32_t>(part.simulatorCode);
  for (WayAircraft* aircraft : {&record.current, &record.announced}) {
    aircraft->category = extras.category;
    CopyToField(aircraft->title, part.title);
    CopyToField(aircraft->icaoType, part.icaoType);
    CopyToField(aircraft->classCode, part.classCode);
  }
  WayPilotInfo& pilot = record.pilot;
  pilot.loginDirection = subCode == NCSUB_LOGIN ? 0 : 1;
  pilot.versionBytes = {identity.versionMajor, identity.versionMinor, identity.versionBuild,
                        static_cast<std::uint8_t>(identity.versionLetter)};
  pilot.versionWord = PeerVersionWord(identity);
  pilot.machineId = identity.machineId;
  pilot.listenPort = identity.listenPort;
  pilot.tokenByte = KeptTokenByte(identity.serverToken);
  pilot.transponderMode = part.transponderMode;
  pilot.transponderCode = part.transponderCode;
  pilot.uploadBandwidth = part.uploadBandwidth;
  CopyToField(pilot.shortCode, part.shortCode);
  pilot.olderPosition = extras.olderPosition;
  pilot.position = extras.position;
  pilot.onGround = (part.optionBits & kLoginOnGround) != 0;
  pilot.positionValid = true;
  record.position = first;
  record.positionHistory.fill(first);
  record.historyCount = 1;
  if ((part.optionBits & kLoginSpecialObserver) != 0) {
    record.stateFlags |= kWayInvisible;
  } else {
    record.stateFlags &= ~kWayInvisible;
  }
  // A removal asked for the pilot before him must not make this one's AI
  // aircraft look asked-for when the plug-in drops it.
  record.stateFlags &= ~kWayAiRemovalRequested;
}

void COrvSok::TakePilotRadios(std::uint8_t selection, std::string_view com1, std::string_view com2) {
  pilot_.radioSelection = selection;
  CopyToField(pilot_.com1, com1);
  CopyToField(pilot_.com2, com2);
  if (record_ == nullptr) return;
  WayTableGuard guard;
  WayPilotInfo& pilot = record_->pilot;
  pilot.radioSelection = selection;
  pilot.com1 = pilot_.com1;
  pilot.com2 = pilot_.com2;
  pilot.com1Khz = FrequencyKhz(FieldText(pilot.com1));
  pilot.com2Khz = FrequencyKhz(FieldText(pilot.com2));
  // Voice finds its listeners by these: the frequencies and the selection.
  record_->frequencyA = pilot.com1;
  record_->frequencyB = pilot.com2;
  std::uint32_t listen = 0;
  if ((selection & kPilotRadioCom1) != 0) listen |= kWayVoiceCom1;
  if ((selection & kPilotRadioCom2) != 0) listen |= kWayVoiceCom2;
  if ((selection & kPilotRadioBoth) != 0) listen |= kWayVoiceBothComs;
  record_->voiceFlags = (record_->voiceFlags & ~kWayVoiceRadioBits) | listen;
}

// ---- The other frames ----

DWORD COrvSok::PilotCancelReceived(const Frame& frame) {
  std::uint32_t reason = 0;
  if (ReadCancelLinkBody(frame.body, reason) != kNodeRecordOk || frame.bodySkipped) {
    const std::string line = Formatted("%s %s System Error SYSERR_%d : %d / %d ( length %u )", LogTag(), Name(),
                                       kSyserrShortPilotBody, frame.header.type,
                                       frame.header.subCode, static_cast<unsigned>(frame.header.length));
    ProtocolError(line.c_str(), frame.header, "HRFP_LEN");
    return 0;
  }
  std::array<char, kWayNameSize + 1> peer{};
  PilotRecordCallsign(peer);
  if (PilotVerbose()) {
    PilotTextf(kColourError, kPilotNewLine, "%s %s Link with pilot %s canceled, reason :", LogTag(), Name(),
               peer.data());
  } else {
    PilotTextf(kColourError, kPilotNewLine, "Link with pilot %s canceled, reason :", peer.data());
  }
  PilotText(kColourError, 0, CancelReasonText(reason).c_str());
  Disconnect("CANCLNK");
  return 0;
}

DWORD COrvSok::PilotPeerAddedReceived() {
  // Only a peer this way has admitted can say that he added us (the bit of
  // the admission goes once his AI aircraft is created and he is logged in).
  if ((LoggedInBits() & (kWayLoggedIn | kWayLoggedInPeer)) == 0) return 1;
  if (!pilot_.peerAdded) {
    pilot_.peerAdded = true;
    const auto hooks = CurrentPeerTrafficHooks();
    if (hooks->sendPositionTick) hooks->sendPositionTick(*this);
    if (hooks->refreshOwnFlagBits) hooks->refreshOwnFlagBits();
    if (hooks->sendMyIdentity) hooks->sendMyIdentity(*this, "NCSPA");
  }
  pilot_.timeoutSeconds = kPilotTimeoutAdded;
  return 1;
}

DWORD COrvSok::PilotPacketReceived(const Frame& frame) {
  const FrameHeader& header = frame.header;
  if (header.length > kPilotPacketLimit || frame.bodySkipped) {
    const std::string line = Formatted("%s %s System Error SYSERR_%d : %d / %d ( length %u )", LogTag(), Name(),
                                       kSyserrPacketTooLong, header.type, header.subCode,
                                       static_cast<unsigned>(header.length));
    ProtocolError(line.c_str(), header, "HRFP_210");
    return 0;
  }
  // The packet count is the hooks' to keep, in the one hold of the lock each record takes.
  const auto hooks = CurrentPeerTrafficHooks();
  const std::span<const std::uint8_t> packet(frame.body);
  if (header.subCode == NCSUB_FS_PACKET && hooks->fsPacket) hooks->fsPacket(*this, packet);
  if (header.subCode == NCSUB_FSX_PACKET && hooks->fsxPacket) hooks->fsxPacket(*this, packet);
  return 1;
}

DWORD COrvSok::PilotChanges2Received(const Frame& frame) {
  PilotChanges2Bytes bytes{};
  ReadCompressedRecord(frame, bytes);  // read and discarded; a bad record is traced there
  return 1;
}

DWORD COrvSok::PilotCommReceived(const Frame& frame) {
  PilotChangesCommBytes bytes{};
  if (ReadCompressedRecord(frame, bytes) != kRecordOk) return 1;
  const PilotChangesComm comm = ReadPilotChangesComm(bytes);
  TakePilotRadios(comm.selection, comm.com1, comm.com2);
  return 1;
}
