// Frames received from the node: the login gate, the acknowledgement, the
// text styles, the standard sub-codes, in-cockpit checks, long-haul texts and
// voice blocks. Bodies arrive whole; each is checked against its record size.
#include <arpa/inet.h>

#include <array>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <string>

#include "core/connection_state.h"
#include "core/main_dialog_state.h"
#include "core/ui_messages.h"
#include "base/klib_settings.h"
#include "net/compressed_record.h"
#include "net/frame_codes.h"
#include "net/node_way.h"
#include "net/web_task_way.h"

namespace {
constexpr int kSyserrStandardSub = 4210;
constexpr int kSyserrTextStyleSub = 4230;
constexpr int kSyserrTestSub = 4290;
constexpr int kSyserrUnknownType = 4900;
constexpr std::uint8_t kSystemTestSub = 1;
// Before the login, types from NCSMSG_LOGOUT on are refused, except the
// standard sub-codes up to this one (0: stop reconnecting).
constexpr std::uint8_t kLastUngatedStandardSub = 50;

char Printable(char letter) { return letter >= 0x20 && letter < 0x7F ? letter : '?'; }

std::string DottedAddress(std::uint32_t networkOrder) {
  in_addr address{};
  address.s_addr = networkOrder;
  std::array<char, INET_ADDRSTRLEN> text{};
  if (inet_ntop(AF_INET, &address, text.data(), static_cast<socklen_t>(text.size())) == nullptr) return {};
  return text.data();
}

std::string Line(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Line(const char* format, ...) {
  std::array<char, 256> text{};
  va_list args;
  va_start(args, format);
  std::vsnprintf(text.data(), text.size(), format, args);
  va_end(args);
  return text.data();
}

bool Handled(std::uint8_t type) {
  switch (type) {
    case NCSMSG_TEST:
    case NCSMSG_LOGIN:
    case NCSMSG_OPEN_PORT_TEST:
    case kNcsMsgTextAttributes:
    case NCSMSG_LOGOUT:
    case kNcsMsgHeaderOnly:
    case NCSMSG_STANDARD:
    case kNcsMsgConnectNeighbour:
    case NCSMSG_REQ_TUNNCONNECTME:
    case NCSMSG_TRUSTED_IP:
    case NCSMSG_CHECK_INCOCKPIT:
    case NCSMSG_TEXT_LONGHAUL:
    case NCSMSG_ATC:
    case NCSMSG_BLOCK:
      return true;
    default:
      return false;
  }
}
}  // namespace

DWORD CNodeWay::HandleNodeFrame(const Frame& frame) {
  // Only the link this way opened to the node is heard: node orders on any
  // other way (a caller on the listening port) are never honoured.
  if (WayId() != WAYID_NODE) return 1;
  const FrameHeader& header = frame.header;
  TraceReceived(header);
  const bool gated =
      header.type >= NCSMSG_LOGOUT && !(header.type == NCSMSG_STANDARD && header.subCode <= kLastUngatedStandardSub);
  if (gated && (LoggedInBits() & kWayLoggedIn) == 0) {
    NodeTracef(kColour28, kNodeNewLine, "\t\t %s %s RxNL %d / %d", kNodeLogTag, Name(), header.type,
               header.subCode);
    Pause(kNodeShortPauseMs);
    SetStopCountdown(0);
    Disconnect("HRFN_0");
    return 0;
  }
  switch (header.type) {
    case NCSMSG_TEST:
      if (header.subCode == kSystemTestSub) {
        NodeTracef(kColour25, kNodeNewLine, "\t %s %s System Test SYSTEST_%04d ", kNodeLogTag, Name(),
                   header.subCode);
      } else {
        NodeTracef(kColourError, kNodeNewLine, "%s %s System Error SYSERR_%d : %d / %d ", kNodeLogTag, Name(),
                   kSyserrTestSub, header.type, header.subCode);
      }
      return 1;
    case NCSMSG_LOGIN:
      // Sub-code 0 is the client's own login: nothing to take.
      return header.subCode == NCSUB_LOGIN ? 1 : TakeLoginAck(frame);
    case NCSMSG_OPEN_PORT_TEST:
      return OpenPortTest(header);
    case kNcsMsgTextAttributes:
      return TextStyle(frame);
    case NCSMSG_LOGOUT:
    case NCSMSG_ATC:
      return 1;
    case kNcsMsgHeaderOnly:
      g_hubRefreshCounter.store(0);
      return 1;
    case NCSMSG_STANDARD:
      return Standard(frame);
    case kNcsMsgConnectNeighbour:
      return ConnectNeighbourOrder(frame);
    case NCSMSG_REQ_TUNNCONNECTME:
      return TunnelOrder(frame);
    case NCSMSG_TRUSTED_IP:
      return TrustedAddressOrder(frame);
    case NCSMSG_CHECK_INCOCKPIT:
      return InCockpit(frame);
    case NCSMSG_TEXT_LONGHAUL:
      return TakeLongHaulText(frame);
    case NCSMSG_BLOCK:
      return header.subCode == 0 ? VoiceBlock(frame) : 1;
    default:
      return FrameError(kSyserrUnknownType, header, "HRFN_200");
  }
}

void CNodeWay::TraceReceived(const FrameHeader& header) {
  const int type = header.type;
  const int sub = header.subCode;
  if (!Verbose()) {
    if (!Handled(header.type)) {
      NodeTracef(kColourNormal, kNodeNewLine, "\t\t \t%s %s Rx NCSMSG_NXXX = %d / %d", kNodeLogTag, Name(), type, sub);
    }
    return;
  }
  const char* named = nullptr;
  switch (header.type) {
    case NCSMSG_TEST:
      named = "\t%s %s Rx NCSMSG_TEST ( %d )";
      break;
    case NCSMSG_LOGIN:
      named = "\t%s %s Rx NCSMSG_LOGIN ( %d )";
      break;
    case NCSMSG_OPEN_PORT_TEST:
      named = "\t%s %s Rx NCSMSG_OPEN_PORT_TEST ( %d )";
      break;
    case NCSMSG_LOGOUT:
      named = "\t%s %s Rx NCSMSG_LOGOUT ( %d )";
      break;
    case NCSMSG_STANDARD:
      named = "\t%s %s Rx NCSMSG_STANDARD ( %d )";
      break;
    case NCSMSG_REQ_TUNNCONNECTME:
      named = "\t%s %s Rx NCSMSG_REQ_TUNNCONNECTME ( %d )";
      break;
    case NCSMSG_TRUSTED_IP:
      named = "\t%s %s Rx NCSMSG_TRUSTED_IP ( %d )";
      break;
    case NCSMSG_ATC:
      named = "\t%s %s Rx NCSMSG_ATC ( %d )";
      break;
    case NCSMSG_CHECK_INCOCKPIT:
      NodeTracef(kColourNormal, kNodeNewLine, "\t%s %s Rx NCSMSG_CHECK_INCOCKPIT", kNodeLogTag, Name());
      return;
    case NCSMSG_TEXT_LONGHAUL:
      NodeTracef(kColourNormal, kNodeNewLine, "\t%s %s Rx NCSMSG_TEXT_LONGHAUL", kNodeLogTag, Name());
      return;
    case NCSMSG_BLOCK:
      NodeTracef(kColourNormal, kNodeNewLine, "\t%s %s Rx NCSMSG_BLOCK", kNodeLogTag, Name());
      return;
    case kNcsMsgTextAttributes:
    case kNcsMsgHeaderOnly:
    case kNcsMsgConnectNeighbour:
      return;
    default:
      NodeTracef(kColourNormal, kNodeNewLine, "\t%s %s Rx NCSMSG_XXX = %d / %d", kNodeLogTag, Name(), type, sub);
      return;
  }
  NodeTrace(kColourNormal, kNodeNewLine, Line(named, kNodeLogTag, Name(), sub).c_str());
}

bool CNodeWay::BodyHolds(const Frame& frame, std::size_t size) {
  if (!frame.bodySkipped && frame.body.size() >= size) return true;
  ShortBody(frame.header);
  return false;
}

void CNodeWay::ShortBody(const FrameHeader& header) {
  const std::string line = Line("%s %s System Error SYSERR_4280 : %d / %d ( length %u )", kNodeLogTag, Name(),
                                header.type, header.subCode, static_cast<unsigned>(header.length));
  NodeProtocolError(line.c_str(), header, "HRFN_LEN");
}

bool CNodeWay::UnpackBody(const Frame& frame, std::span<std::uint8_t> record) {
  if (!BodyHolds(frame, kCompressedRecordPrefixSize)) return false;
  std::span<const std::uint8_t> body(frame.body);
  const CompressedRecordPrefix prefix = ReadCompressedRecordPrefix(body.first<kCompressedRecordPrefixSize>());
  // Bytes after the packed record are skipped.
  if (prefix.packedLength <= body.size() - kCompressedRecordPrefixSize) {
    body = body.first(kCompressedRecordPrefixSize + prefix.packedLength);
  }
  const std::int32_t result = UnpackCompressedRecord(body, record);
  switch (result) {
    case kRecordOk:
      return true;
    case kRecordWrongSize:
      NodeTracef(kColourError, kNodeNewLine, "%s %s System Error SYSERR_11030 : %d / %d ", kNodeLogTag, Name(),
                 static_cast<int>(record.size()), static_cast<int>(prefix.unpackedSize));
      return false;
    case kRecordPackedTooLong:
      NodeTracef(kColourError, kNodeNewLine, "%s %s System Error SYSERR_11020 : %d ", kNodeLogTag, Name(),
                 static_cast<int>(prefix.packedLength));
      return false;
    case kRecordBadStream:
      NodeTracef(kColourError, kNodeNewLine, "%s %s System Error SYSERR_11010 : %d ", kNodeLogTag, Name(),
                 static_cast<int>(result));
      return false;
    default:
      // Fewer packed bytes than announced: the body was cut.
      ShortBody(frame.header);
      return false;
  }
}

DWORD CNodeWay::FrameError(int code, const FrameHeader& header, const char* tag) {
  const std::string line =
      Line("%s %s System Error SYSERR_%d : %d / %d ", kNodeLogTag, Name(), code, header.type, header.subCode);
  NodeProtocolError(line.c_str(), header, tag);
  return 0;
}

// ---- The login acknowledgement ----

DWORD CNodeWay::TakeLoginAck(const Frame& frame) {
  LoginAckRecord ack;
  if (!BodyHolds(frame, kLoginAckRecordSize)) return 0;
  ReadLoginAckRecord(frame.body, ack);
  const IdentityBlock& server = ack.identity;
  if (!IsServerVersionAccepted(server)) {
    NodeTracef(kColourEmphasis, kNodeNewLine,
               "Sorry, this server's version (v %d.%d.%d.%c ) is too old to connect to ! Check with your webmaster.",
               server.versionMajor, server.versionMinor, server.versionBuild, Printable(server.versionLetter));
    Pause(kNodeShortPauseMs);
    ResetRx();
    Disconnect("BDVR_0");
    ResetRx();
    PostUiEvent(UIMSG_LOGOUT);
    return 0;
  }
  SetLoggedInBits(LoggedInBits() | kWayLoggedIn);
  g_hubListCountdown.store(0);
  loginAccepted_.store(true, std::memory_order_release);
  SetStopCountdown(0);
  connectInProgress_.store(false, std::memory_order_release);
  if (OwnPublicAddress().empty()) SetOwnPublicAddress(DottedAddress(server.publicAddress));
  {
    std::lock_guard lock(mutex_);
    currentHub_ = HostText();
    firstName_ = server.firstName;
    lastName_ = server.lastName;
    serverName_ = ack.serverName;
  }
  PostUiEvent(UIMSG_LOGIN_ACCEPTED);
  serverToken_.store(server.serverToken, std::memory_order_release);
  TraceAccepted(ack);
  NotifyTrace("NMWI 01");
  // The flight plan follows every login.
  Post(this, this, THRDMSG_FLIGHT_PLAN, 0, 0, "PZGN1010");
  return 1;
}

void CNodeWay::TraceAccepted(const LoginAckRecord& ack) {
  const IdentityBlock& server = ack.identity;
  NodeTrace(kColourNormal, kNodeNewLine, "Your server is : ");
  NodeTrace(kColour24, kNodeBold, ack.serverName.c_str());
  NodeTracef(kColourNormal, kNodeNewLine, "  %s v%d.%d.%d.%c", ServerPlatformName(ack.platformBits),
             server.versionMajor, server.versionMinor, server.versionBuild, Printable(server.versionLetter));
  NodeTrace(kColourNormal, kNodeNewLine, "Server comments : ");
  NodeTrace(kColour24, 0, ack.serverComments.c_str());
  NodeTrace(kColourNormal, kNodeNewLine | kNodeBold, "Your Licenses & skills :");
  const auto names = PilotRatingNames(server.ratingBits);
  if (names.empty()) {
    NodeTrace(kColourEmphasis, kNodeBold, "None.");
    return;
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i != 0) NodeTrace(kColour25, 0, " - ");
    NodeTrace(kColourEmphasis, kNodeBold, names[i]);
  }
}

// ---- Tests of the link ----

DWORD CNodeWay::OpenPortTest(const FrameHeader& header) {
  if (header.subCode != kOpenPortTestRequest) {
    Pause(kOpenPortTestPauseMs);
    Pause(kNodeShortPauseMs);
    SetStopCountdown(0);
    Disconnect("HRFN_OPT0");
    return 0;
  }
  Pause(kOpenPortTestPauseMs);
  // The answer carries the type and sub-code of the last frame this way sent.
  FrameHeader reply = lastSent_;
  reply.flags = 0;
  SendFrame(reply, MakeOpenPortTestReply());
  Pause(kNodeShortPauseMs);
  SetStopCountdown(1);
  return 1;
}

// ---- Text styles ----

DWORD CNodeWay::TextStyle(const Frame& frame) {
  const FrameHeader& header = frame.header;
  switch (header.subCode) {
    case kTextStyleLineBreak:
      NodeTrace(kNodeKeepFormat, kNodeNewLine, "");
      return 1;
    case kTextStyleSetAttrib: {
      if (!BodyHolds(frame, 2)) return 0;
      std::string text;
      const std::int32_t result = ReadSetAttribBody(frame.body, text);
      if (result == kNodeRecordTooLong) {
        const unsigned length = frame.body[0] | (frame.body[1] << 8);
        const std::string line =
            Line("%s %s System Error SYSERR_4220 : NCSUB_SETATTRIB / Len %u ", kNodeLogTag, Name(), length);
        NodeProtocolError(line.c_str(), header, "HRFN_30");
        return 0;
      }
      if (result != kNodeRecordOk) {
        ShortBody(header);
        return 0;
      }
      // The node's text is printed as it stands: a '%' in it is no format.
      NodeTrace(kNodeKeepFormat, 0, text.c_str());
      return 1;
    }
    case kTextStyleFormat:
    case kTextStyleRemoveDelimiters:
    case kTextStyleRemoveBetween: {
      if (!BodyHolds(frame, kTextStylePairSize)) return 0;
      TextStylePair pair;
      ReadTextStylePair(frame.body, pair);
      if (header.subCode == kTextStyleFormat) {
        SetTextFormat(pair.first, pair.second);
      } else if (Klib().traceMask.load() == 0) {
        const auto first = static_cast<char>(pair.first & 0xFF);
        const auto second = static_cast<char>(pair.second & 0xFF);
        if (header.subCode == kTextStyleRemoveDelimiters) {
          RemoveDelimiters(first, second);
        } else {
          RemoveDelimitedText(first, second);
        }
      }
      return 1;
    }
    default:
      return FrameError(kSyserrTextStyleSub, header, "HRFN_40");
  }
}

// ---- NCSMSG_STANDARD ----

DWORD CNodeWay::Standard(const Frame& frame) {
  const FrameHeader& header = frame.header;
  switch (header.subCode) {
    case kStandardStopReconnect:
      g_connecting.store(false);
      g_hubListCountdown.store(0);
      NotifyTrace("NMWI 02");
      LeaveQuietly();
      return 1;
    case kStandardReconnectLater:
      LeaveQuietly();
      g_hubListCountdown.store(kHubListRetrySeconds);
      return 1;
    case kStandardShutdown:
      if (Verbose()) NodeTrace(kColourError, kNodeNewLine, "Received Shutdown Command. Leaving...");
      CloseMainWindow();
      return 1;
    case kStandardServerNotice:
    case kStandardBroadcast:
    case kStandardServerMessage:
      break;
    default:
      return FrameError(kSyserrStandardSub, header, "HRFN_20");
  }
  ServerTextRecordBytes bytes{};
  if (!UnpackBody(frame, bytes)) return IsConnected() ? 1 : 0;
  const ServerTextRecord record = ReadServerTextRecord(bytes);
  if (header.subCode == kStandardServerMessage) {
    {
      std::lock_guard lock(mutex_);
      serverMessage_ = record;
    }
    PostUiEvent(UIMSG_SERVER_MESSAGE);
    return 1;
  }
  ShowChat();
  if (header.subCode == kStandardServerNotice) {
    NodeTrace(kColourEmphasis, kNodeNewLine | kNodeBold, record.text.c_str());
  } else {
    NodeTrace(kColourEmphasis, kNodeNewLine | kNodeBold, "[BROADCAST] ");
    NodeTracef(kColourEmphasis, 0, "%s : %s", record.sender.c_str(), record.text.c_str());
  }
  Beep();
  return 1;
}

// ---- In-cockpit check, long-haul text, voice ----

DWORD CNodeWay::InCockpit(const Frame& frame) {
  if (!BodyHolds(frame, kInCockpitBodySize)) return 0;
  std::uint16_t seconds = 0;
  ReadInCockpitBody(frame.body, seconds);
  inCockpitSeconds_.store(seconds, std::memory_order_release);
  ShowNodeCountdown(seconds);
  if (seconds != 0 && !g_inCockpitOverride.load()) ShowMainWindow();
  return 1;
}

DWORD CNodeWay::TakeLongHaulText(const Frame& frame) {
  PrivateTextRecordBytes bytes{};
  if (!UnpackBody(frame, bytes)) return IsConnected() ? 1 : 0;
  DisplayLongHaulText(ReadPrivateTextRecord(bytes));
  return 1;
}

DWORD CNodeWay::VoiceBlock(const Frame& frame) {
  const std::uint32_t length = frame.header.length;
  if (length > kMaxVoiceBlockBody) {
    // No buffer is had for a block past the bound.
    std::array<char, 32> stamp{};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp.data(), stamp.size(), "%d%m%Y %H%M%S", &local);
    NodeTrace(kColour23, kNodeNewLine, stamp.data());
    NodeTracef(kColour29, 0, "%s ", HostText());
    NodeTracef(kColourError, 0, "%s %s ERR_BKF RAM = %d", kNodeLogTag, Name(), static_cast<int>(length));
    NodeTracef(kColourError, 0, "%s %s System Error SYSERR_4295 : %d ", kNodeLogTag, Name(), static_cast<int>(length));
    Pause(kVoiceBlockFailurePauseMs);
    ResetRx();
    SetStopCountdown(0);
    Disconnect("HRFN_8");
    return 0;
  }
  // A block too short to hold a voice frame, or without the voice marker, is dropped.
  VoiceBlockView view;
  if (!VoiceBlockLengthAccepted(length) || ReadVoiceBlock(frame.body, view) != kNodeRecordOk) return 1;
  PlayReceivedVoice(view.frame);
  return 1;
}
