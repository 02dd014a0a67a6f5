// Frames towards a pilot: the login and its acknowledgement (compressed), the
// logout and out-of-range notices, the cancel reason, the radio and changes
// records, the position packets and the header-only frames.
#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "base/format_text.h"
#include "base/klib_settings.h"
#include "core/aircraft_type_db.h"
#include "core/main_dialog_state.h"
#include "core/own_aircraft_state.h"
#include "core/own_callsign.h"
#include "core/settings.h"
#include "core/text_fields.h"
#include "net/frame_codes.h"
#include "net/listener.h"
#include "net/multiplayer_session.h"
#include "net/node_connect.h"
#include "net/node_trace.h"
#include "net/node_way.h"
#include "net/orv_sok.h"
#include "net/pilot_records.h"
#include "net/own_aircraft_report.h"
#include "net/own_broadcasts.h"
#include "net/text_display.h"
#include "win/richedit.h"

namespace {
constexpr int kSyserrUnknownPilotSend = 6800;
constexpr std::int32_t kSendRefused = -1;

std::uint32_t AddressOf(const std::string& text) {
  in_addr address{};
  return inet_pton(AF_INET, text.c_str(), &address) == 1 ? address.s_addr : 0;
}

std::string LanAddressText() {
  if (std::string found = LanIpAddress(); !found.empty()) return found;
  std::lock_guard guard(SettingsTextLock());
  return std::string(FieldText(g_networkSettings.lanIpAddress));
}

void TypeCodes(const std::string& icaoType, std::string& classCode, std::string& shortCode) {
  const int index = FindAircraftTypeIndex(icaoType.c_str());
  const AircraftTypeDb& db = g_aircraftTypeDb();
  if (index < 0 || index >= db.count || !db.Allocated()) return;
  const AircraftTypeRecord& record = db.records[index];
  classCode = std::string(FieldText(record.classCode));
  shortCode = std::string(FieldText(record.fifth));
}

bool HeaderOnly(std::uint8_t subCode) {
  switch (subCode) {
    case NCSUB_PEER_ADDED:
    case NCSUB_HEARTBEAT:
    case NCSUB_REQ_PLANE_PARAMS:
    case NCSUB_IAM_VISIBLE:
    case NCSUB_IAM_INVISIBLE:
    case NCSUB_LATENCY_REQ_ECHO:
    case NCSUB_LATENCY_ECHO:
    case NCSUB_TEST:
      return true;
    default:
      return false;
  }
}

const char* TxLine(std::uint8_t subCode) {
  switch (subCode) {
    case NCSUB_LOGIN_ACK:
      return "\t%s %s Tx NCSUB_LOGIN_ACK";
    case NCSUB_LOGOUT:
      return "\t%s %s Tx NCSUB_LOGOUT";
    case NCSUB_OUT_OF_RANGE:
      return "\t%s %s Tx NCSUB_OUT_OF_RANGE";
    case NCSUB_CANCEL_LINK:
      return "\t%s %s Tx NCSUB_CANCEL_LINK";
    case NCSUB_PEER_ADDED:
      return "\t%s %s Tx NCSUB_PEER_ADDED";
    case NCSUB_REQ_PLANE_PARAMS:
      return "\t%s %s Tx NCSUB_REQ_PLANE_PARAMS";
    case NCSUB_IAM_INVISIBLE:
      return "\t%s %s Tx NCSUB_IAM_INVISIBLE";
    case NCSUB_IAM_VISIBLE:
      return "\t%s %s Tx NCSUB_IAM_VISIBLE";
    case NCSUB_TEST:
      return "\t%s %s Tx NCSUB_TEST";
    case NCSUB_LATENCY_REQ_ECHO:
      return "\t%s %s Tx NCSUB_LATENCY_REQ_ECHO";
    case NCSUB_LATENCY_ECHO:
      return "\t%s %s Tx NCSUB_LATENCY_ECHO";
    case NCSUB_FS_PACKET:
      return "\t%s %s Tx NCSUB_FS_PACKET";
    case NCSUB_FSX_PACKET:
      return "\t%s %s Tx NCSUB_FSX_PACKET";
    case NCSUB_MISC_PACKET:
      return "\t%s %s Tx NCSUB_MISC_PACKET";
    case NCSUB_PILOT_CHANGES2:
      return "\t%s %s Tx NCSUB_PILOT_CHANGES2";
    case NCSUB_PILOT_CHANGES_COMM:
      return "\t%s %s Tx NCSUB_PILOT_CHANGES_COMM";
    default:
      return nullptr;
  }
}
}  // namespace

// ---- Printing ----

void COrvSok::PilotText(int colourField, unsigned flags, const char* text) {
  DWORD effects = 0;
  if ((flags & kPilotBold) != 0) effects |= CFE_BOLD;
  if ((flags & kPilotItalic) != 0) effects |= CFE_ITALIC;
  DisplayPilotText(*this, Klib().Colour(colourField), effects, (flags & kPilotNewLine) != 0, text);
}

void COrvSok::PilotTextf(int colourField, unsigned flags, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = FormatTextV(format, args);
  va_end(args);
  PilotText(colourField, flags, text.c_str());
}

bool COrvSok::PilotVerbose() const { return (Klib().traceMask.load(std::memory_order_relaxed) & 0x300u) != 0; }

bool COrvSok::SessionOpen() const { return g_sessionOpen.load(); }

// ---- The login towards a pilot ----

PilotLoginRecord COrvSok::BuildPilotLogin() const {
  PilotLoginRecord record;
  LoginRecord& login = record.login;
  IdentityBlock& identity = login.identity;
  identity.peerKind = 'P';
  identity.versionMajor = kVersionMajor;
  identity.versionMinor = kVersionMinor;
  identity.versionBuild = kVersionBuild;
  identity.versionLetter = kVersionLetter;
  identity.machineId = g_machineId.load();
  const std::string publicAddress = OwnPublicAddress();
  identity.publicAddress = AddressOf(publicAddress);
  identity.lanAddress = AddressOf(LanAddressText());
  identity.listenPort = g_networkSettings.orvenaPort.load();
  identity.callsign = PilotCallsign();
  {
    const NetworkSlot slot = CurrentNetworkSlot();
    identity.login = std::string(FieldText(slot.pilotId));
  }
  // Towards a pilot: the server this client is logged into and the pilot's
  // names as the network knows them, never the password.
  if (const CNodeWay* node = NodeWayObject()) {
    identity.serverToken = node->ServerToken();
    identity.passwordOrServer = node->ServerName();
    identity.firstName = node->FirstName();
    identity.lastName = node->LastName();
  }

  const OwnAircraftSnapshot own = g_ownAircraft().Snapshot();
  OwnAircraftReport report;
  report.onGround = own.working.onGround != 0;
  report.radioSelection = static_cast<std::uint8_t>((own.working.com1Selected != 0 ? kRadioCom1 : 0) |
                                                    (own.working.com2Selected != 0 ? kRadioCom2 : 0) |
                                                    (own.working.bothSelected != 0 ? kRadioBoth : 0));
  login.optionBits = LoginOptionBits(report);
  login.simulatorCode = static_cast<std::uint32_t>(kOwnSimulatorCode);
  login.altitudeFeet = RoundedI32(own.flight.altitudeFeet);
  login.machTimes1000 = MachWord(own.flight.valueM);
  login.headingDegrees = RoundedU16(own.flight.trueHeading);
  login.speedKnots = RoundedU16(own.flight.speed1Knots);
  login.transponderCode = static_cast<std::uint16_t>(own.radios.transponderCode);
  login.transponderMode = own.radios.transponderMode;
  login.uploadBandwidth = static_cast<std::uint32_t>(g_setupSettings.uploadBandWidth.load());
  login.latitude = own.flight.latitude;
  login.longitude = own.flight.longitude;
  login.com1 = std::string(FieldText(own.working.com1));
  login.com2 = std::string(FieldText(own.working.com2));
  const std::string_view type = FieldText(own.model.icaoType);
  const std::string_view title = FieldText(own.model.title);
  if (!type.empty()) login.icaoType = std::string(type);
  if (!title.empty()) login.title = std::string(title);
  if (const std::string_view matched = FieldText(own.model.classCode); !matched.empty()) {
    login.classCode = std::string(matched);
    login.shortCode = std::string(FieldText(own.model.fifthColumn));
  } else {
    TypeCodes(login.icaoType, login.classCode, login.shortCode);
  }

  const OwnPositionValues position = CurrentOwnPositionValues();
  const RecordStamp stamp{NextRecordSequence(), SessionMilliseconds()};
  record.extras.olderPosition = BuildOlderPositionRecord(position, stamp);
  record.extras.position = BuildPositionRecord(position, stamp);
  record.extras.category = CategoryFromClassCode(login.classCode);
  record.extras.publicAddress = publicAddress;
  return record;
}

// ---- Sending ----

std::int32_t COrvSok::PostToPilot(std::uint8_t subCode, std::uint32_t value) {
  const std::array<std::uint8_t, 4> word = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                            static_cast<std::uint8_t>(value >> 16),
                                            static_cast<std::uint8_t>(value >> 24)};
  return PostData(nullptr, this, THRDMSG_PILOT_SEND, subCode, static_cast<std::uint32_t>(word.size()), word.data(),
                  "PILOTSEND");
}

std::int32_t COrvSok::SendToPilot(std::uint8_t subCode, std::uint32_t value, std::span<const std::uint8_t> data) {
  if (!IsOwnThread() && Started()) {
    // Another thread never writes this way's socket: the way sends it itself.
    return PostToPilot(subCode, value) == 1 ? 1 : kSendRefused;
  }
  FrameHeader header;
  header.type = NCSMSG_PILOT;
  header.subCode = subCode;
  std::int32_t sent = 0;
  switch (subCode) {
    case NCSUB_LOGIN:
    case NCSUB_LOGIN_ACK:
      sent = SendPilotPacked(subCode, WritePilotLoginRecord(BuildPilotLogin()));
      break;
    case NCSUB_CANCEL_LINK:
      sent = SendFrame(header, WriteCancelLinkBody(value));
      break;
    case NCSUB_LOGOUT:
    case NCSUB_OUT_OF_RANGE:
      sent = SendFrame(header, WritePilotCallsignBody(PilotCallsign()));
      break;
    case NCSUB_PILOT_CHANGES2: {
      const OwnAircraftSnapshot own = g_ownAircraft().Snapshot();
      PilotChanges2 changes;
      changes.posted = value;
      changes.ownValue = own.radios.transponderCode;
      changes.byte = own.working.onGround != 0 ? 1 : 0;
      sent = SendPilotPacked(subCode, WritePilotChanges2(changes));
      break;
    }
    case NCSUB_PILOT_CHANGES_COMM: {
      const OwnAircraftSnapshot own = g_ownAircraft().Snapshot();
      PilotChangesComm comm;
      comm.com1 = std::string(FieldText(own.working.com1));
      comm.com2 = std::string(FieldText(own.working.com2));
      comm.selection = static_cast<std::uint8_t>((own.working.com1Selected != 0 ? kPilotRadioCom1 : 0) |
                                                 (own.working.com2Selected != 0 ? kPilotRadioCom2 : 0) |
                                                 (own.working.bothSelected != 0 ? kPilotRadioBoth : 0));
      sent = SendPilotPacked(subCode, WritePilotChangesComm(comm));
      break;
    }
    case NCSUB_FS_PACKET:
    case NCSUB_FSX_PACKET:
    case NCSUB_MISC_PACKET:
      if (data.size() > kPilotPacketLimit) return kSendRefused;
      sent = SendFrame(header, data);
      break;
    default:
      if (!HeaderOnly(subCode)) {
        PilotTextf(kColourError, kPilotNewLine, "%s %s System Error SYSERR_%d : %d / %d ", LogTag(), Name(),
                   kSyserrUnknownPilotSend, NCSMSG_PILOT, subCode);
        return kSendRefused;
      }
      sent = SendFrame(header, {});
      break;
  }
  if (sent > 0) {
    SetOutgoingHeader(header);
    TracePilotSend(subCode);
  }
  return sent;
}

std::int32_t COrvSok::SendPilotPacked(std::uint8_t subCode, std::span<const std::uint8_t> record) {
  if (!IsConnected()) return 0;
  FrameHeader header;
  header.type = NCSMSG_PILOT;
  header.subCode = subCode;
  const std::int32_t sent = SendCompressedRecord(header, record);
  if (sent < 0) PilotTextf(kColourError, kPilotNewLine, "ZAYAR01 : Error %d", static_cast<int>(sent));
  return sent;
}

void COrvSok::TracePilotSend(std::uint8_t subCode) {
  if (!PilotVerbose()) return;
  if (subCode == NCSUB_LOGIN) {
    std::array<char, kWayNameSize + 1> peer{};
    PilotRecordCallsign(peer);
    PilotTextf(kColourNormal, kPilotNewLine, "\t%s %s Tx NCSUB_LOGIN ( %s )", LogTag(), Name(), peer.data());
    return;
  }
  if (const char* line = TxLine(subCode)) {
    PilotTextf(kColourNormal, kPilotNewLine, line, LogTag(), Name());
  } else {
    PilotTextf(kColourNormal, kPilotNewLine, "\t%s %s Tx NCSUB_P2P_XXX = %d", LogTag(), Name(), subCode);
  }
}

bool COrvSok::PilotRecordCallsign(std::array<char, kWayNameSize + 1>& callsign) const {
  callsign.fill('\0');
  if (record_ == nullptr) return false;
  WayTableGuard guard;
  const std::string_view cs = FieldText(record_->callsign);
  cs.copy(callsign.data(), std::min(cs.size(), kWayNameSize));
  return true;
}
