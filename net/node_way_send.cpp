// Frames towards the node: the login and logout, the heartbeat, the answer to
// a server message, the own reports, the flight plan, long-haul texts,
// kick-outs and raw voice blocks.
#include <arpa/inet.h>

#include <string_view>

#include "core/main_dialog_state.h"
#include "core/own_callsign.h"
#include "core/settings.h"
#include "base/klib_settings.h"
#include "net/frame_codes.h"
#include "net/listener.h"
#include "net/long_haul.h"
#include "net/node_way.h"
#include "net/sim_info_items.h"
#include "core/aircraft_type_db.h"

namespace {
constexpr int kSyserrUnknownPilotSub = 4700;
constexpr int kSyserrUnknownStandardSub = 4710;
constexpr int kSyserrUnknownType = 4800;
constexpr std::int32_t kSendRefused = -1;
// The simulator code of this edition.


// inet_addr of a dotted text; 0 for an empty or unreadable one.
std::uint32_t AddressOf(std::string_view text) {
  const std::string copy(text);
  in_addr address{};
  return inet_pton(AF_INET, copy.c_str(), &address) == 1 ? address.s_addr : 0;
}

// The address found when the listening socket was bound overwrites the
// settings' "LanIpAddress" in memory; the settings' value stands until then.
std::string LanAddressText() {
  if (std::string found = LanIpAddress(); !found.empty()) return found;
  std::lock_guard guard(SettingsTextLock());
  return std::string(FieldText(g_networkSettings.lanIpAddress));
}

// Class and short code of the own ICAO type, as the aircraft type table has them.
void TypeCodes(const std::string& icaoType, std::string& classCode, std::string& shortCode) {
  const int index = FindAircraftTypeIndex(icaoType.c_str());
  const AircraftTypeDb& db = g_aircraftTypeDb();
  if (index < 0 || index >= db.count || !db.Allocated()) return;
  const AircraftTypeRecord& record = db.records[index];
  classCode = std::string(FieldText(record.classCode));
  shortCode = std::string(FieldText(record.fifth));
}
}  // namespace

IdentityBlock CNodeWay::BuildIdentity() const {
  IdentityBlock identity;
  identity.peerKind = 'P';
  identity.versionMajor = kVersionMajor;
  identity.versionMinor = kVersionMinor;
  identity.versionBuild = kVersionBuild;
  identity.versionLetter = kVersionLetter;
  identity.machineId = g_machineId.load();
  identity.publicAddress = AddressOf(OwnPublicAddress());
  identity.lanAddress = AddressOf(LanAddressText());
  identity.listenPort = g_networkSettings.orvenaPort.load();
  identity.serverToken = ServerToken();
  const NetworkSlot slot = CurrentNetworkSlot();
  identity.login = std::string(FieldText(slot.pilotId));
  identity.passwordOrServer = std::string(FieldText(slot.pilotPassword));
  identity.callsign = OwnCallsign();
  return identity;
}

LoginRecord CNodeWay::BuildLoginRecord() const {
  LoginRecord login;
  login.identity = BuildIdentity();
  const OwnAircraftReport own = OwnAircraftForNode();
  login.optionBits = LoginOptionBits(own);
  login.simulatorCode = static_cast<std::uint32_t>(kOwnSimulatorCode);
  login.altitudeFeet = RoundedI32(own.altitudeFeet);
  login.machTimes1000 = MachWord(own.mach);
  login.headingDegrees = RoundedU16(own.trueHeadingDegrees);
  login.speedKnots = RoundedU16(own.speedKnots);
  login.transponderCode = own.transponderCode;
  login.uploadBandwidth = static_cast<std::uint32_t>(g_setupSettings.uploadBandWidth.load());
  login.nearestAirport = own.nearestAirport;
  login.transponderMode = own.transponderMode;
  login.airportDistanceNm = own.airportDistanceNm;
  login.latitude = own.latitude;
  login.longitude = own.longitude;
  login.com1 = own.com1;
  login.com2 = own.com2;
  login.icaoType = own.icaoType;
  login.title = own.title;
  if (own.classCode.empty()) {
    TypeCodes(own.icaoType, login.classCode, login.shortCode);
  } else {
    login.classCode = own.classCode;
    login.shortCode = own.shortCode;
  }
  return login;
}

std::int32_t CNodeWay::SendToNode(std::uint8_t type, std::uint8_t subCode, std::span<const std::uint8_t> data,
                                  std::uint32_t word) {
  switch (type) {
    case NCSMSG_LOGIN: {
      const std::int32_t sent = SendPlain(type, 0, WriteLoginRecord(BuildLoginRecord()));
      if (sent > 0 && Verbose()) {
        NodeTracef(kColourNormal, kNodeNewLine, "\t%s %s Tx NCSMSG_LOGIN ( %d )", kNodeLogTag, Name(),
                   static_cast<int>(kLoginRecordSize));
      }
      return sent;
    }
    case NCSMSG_LOGOUT: {
      const std::int32_t sent = SendPlain(type, 0, WriteIdentityBlock(BuildIdentity()));
      if (sent > 0 && Verbose()) {
        NodeTracef(kColourNormal, kNodeNewLine, "\t%s %s Tx NCSMSG_LOGOUT ( %d )", kNodeLogTag, Name(),
                   static_cast<int>(kIdentityBlockSize));
      }
      return sent;
    }
    case kNcsMsgHeaderOnly:
      return SendPlain(type, 0, {});
    case NCSMSG_STANDARD:
      if (subCode != kStandardServerAnswer) return RefuseSend(kSyserrUnknownStandardSub, type, subCode);
      return SendPlain(type, subCode, WriteServerAnswerBody(word, OwnCallsign()));
    case NCSMSG_KICKOUT:
      return SendKickout(data);
    case NCSMSG_TEXT_LONGHAUL:
      return SendLongHaul(data);
    case NCSMSG_PILOT:
      return SendPilot(subCode, word);
    case kNcsMsgVoiceBlock:
      return SendPlain(type, 0, data);
    default:
      return RefuseSend(kSyserrUnknownType, type, subCode);
  }
}

std::int32_t CNodeWay::RefuseSend(int code, std::uint8_t type, std::uint8_t subCode) {
  NodeTracef(kColourError, kNodeNewLine, "%s %s System Error SYSERR_%d : %d / %d ", kNodeLogTag, Name(), code, type,
             subCode);
  return kSendRefused;
}

std::int32_t CNodeWay::SendPlain(std::uint8_t type, std::uint8_t subCode, std::span<const std::uint8_t> body) {
  if (!IsConnected()) return 0;
  FrameHeader header;
  header.type = type;
  header.subCode = subCode;
  SetOutgoingHeader(header);
  return SendFrame(header, body);
}

std::int32_t CNodeWay::SendPacked(std::uint8_t type, std::uint8_t subCode, std::span<const std::uint8_t> record) {
  if (!IsConnected()) return 0;
  FrameHeader header;
  header.type = type;
  header.subCode = subCode;
  const std::int32_t sent = SendCompressedRecord(header, record);
  if (sent < 0) {
    NodeTracef(kColour25, kNodeNewLine, "ZAYAR01 : Error %d", static_cast<int>(sent));
    return sent;
  }
  SetOutgoingHeader(header);
  return sent;
}

std::int32_t CNodeWay::SendPilot(std::uint8_t subCode, std::uint32_t mask) {
  switch (subCode) {
    case NCSUB_FLIGHT_PLAN:
      return SendFlightPlan();
    case NCSUB_SHORTINFOS: {
      const std::int32_t sent =
          SendPlain(NCSMSG_PILOT, subCode, WriteShortInfoRecord(MakeShortInfo(OwnAircraftForNode())));
      if (sent > 0 && Verbose()) {
        NodeTracef(kColourNormal, kNodeNewLine, "\t%s %s Tx NCSMSG_PILOT ( NCSUB_SHORTINFOS )", kNodeLogTag, Name());
      }
      return sent;
    }
    case NCSUB_PILOT_INCOCKPIT: {
      const std::int32_t sent = SendPlain(NCSMSG_PILOT, subCode, {});
      if (sent > 0 && Verbose()) {
        NodeTracef(kColourNormal, kNodeNewLine, "\t%s %s Tx NCSMSG_PILOT ( NCSUB_PILOT_INCOCKPIT )", kNodeLogTag,
                   Name());
      }
      return sent;
    }
    case NCSUB_PILOT_CHANGES: {
      if (!IsConnected()) return 0;
      FrameHeader header;
      header.type = NCSMSG_PILOT;
      header.subCode = subCode;
      const std::vector<std::uint8_t> frames = WriteSimInfoItems(FrameSync(), header, mask, OwnAircraftForNode());
      if (frames.empty()) return 0;
      SetOutgoingHeader(header);
      const std::int32_t sent = Send(frames.data(), static_cast<std::uint32_t>(frames.size()), true, "WBTP");
      if (sent < 0) return sent;
      if (Verbose()) {
        NodeTracef(kColourNormal, kNodeNewLine, "\t%s %s Tx NCSMSG_PILOT ( NCSUB_PILOT_CHANGES )", kNodeLogTag,
                   Name());
      }
      return IsConnected() ? 1 : 0;
    }
    default:
      return RefuseSend(kSyserrUnknownPilotSub, NCSMSG_PILOT, subCode);
  }
}

std::int32_t CNodeWay::SendFlightPlan() {
  const std::optional<FlightPlanRecordBytes> plan = FlightPlanForNode();
  // A plan without flight rules is not valid yet: nothing goes out.
  if (!plan || !FlightPlanHasType(*plan)) return 0;
  const std::int32_t sent =
      SendPacked(NCSMSG_PILOT, NCSUB_FLIGHT_PLAN, WriteFlightPlanPacket(OwnCallsign(), *plan));
  if (sent > 0 && Verbose()) {
    NodeTracef(kColourNormal, kNodeNewLine, "\t%s %s Tx NCSMSG_PILOT ( NCSUB_FLIGHT_PLAN )", kNodeLogTag, Name());
  }
  return sent;
}

std::int32_t CNodeWay::SendLongHaul(std::span<const std::uint8_t> data) {
  PrivateTextRecord record;
  if (data.size() == kPrivateTextRecordSize) {
    record = ReadPrivateTextRecord(data.first<kPrivateTextRecordSize>());
  } else {
    const LongHaulText longHaul = CurrentLongHaulText();
    record.recipient = longHaul.recipient;
    record.text = longHaul.text;
  }
  record.sender = OwnCallsign();
  const std::int32_t sent = SendPacked(NCSMSG_TEXT_LONGHAUL, 0, WritePrivateTextRecord(record));
  if (sent > 0 && Verbose()) {
    NodeTracef(kColourNormal, kNodeNewLine, "\t%s %s Tx NCSMSG_TEXT_LONGHAUL %s -> %s", kNodeLogTag, Name(),
               record.sender.c_str(), record.recipient.c_str());
  }
  return sent;
}

std::int32_t CNodeWay::SendKickout(std::span<const std::uint8_t> data) {
  const std::optional<PrivateTextRecord> record =
      data.size() == kPrivateTextRecordSize
          ? std::optional<PrivateTextRecord>(ReadPrivateTextRecord(data.first<kPrivateTextRecordSize>()))
          : CurrentKickoutRecord();
  if (!record) return 0;
  const std::int32_t sent = SendPacked(NCSMSG_KICKOUT, 0, WritePrivateTextRecord(*record));
  if (sent > 0 && Verbose()) {
    NodeTracef(kColourNormal, kNodeNewLine, "\t%s %s Tx NCSMSG_KICKOUT ( %d )", kNodeLogTag, Name(),
               static_cast<int>(kPrivateTextRecordSize));
  }
  return sent;
}
