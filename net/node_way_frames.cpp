// Frames that only the node way obeys: the acknowledgement, the standard
// sub-codes, the node's orders, in-cockpit checks, long-haul texts and voice
// blocks (the login gate and the test and text-style types are the connection
// object's, orv_sok_node_frames.cpp). Bodies arrive whole; each is checked against its record size.
#include <arpa/inet.h>

#include <array>
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

char Printable(char letter) { return letter >= 0x20 && letter < 0x7F ? letter : '?'; }

std::string DottedAddress(std::uint32_t networkOrder) {
  in_addr address{};
  address.s_addr = networkOrder;
  std::array<char, INET_ADDRSTRLEN> text{};
  if (inet_ntop(AF_INET, &address, text.data(), static_cast<socklen_t>(text.size())) == nullptr) return {};
  return text.data();
}

}  // namespace

DWORD CNodeWay::HandleNodeOrder(const Frame& frame) {
  const FrameHeader& header = frame.header;
  switch (header.type) {
    case NCSMSG_LOGIN:
      // Sub-code 0 is the client's own login: nothing to take.
      return header.subCode == NCSUB_LOGIN ? 1 : TakeLoginAck(frame);
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
      return FrameError(kSyserrUnknownNodeType, header, "HRFN_200");
  }
}

bool CNodeWay::UnpackBody(const Frame& frame, std::span<std::uint8_t> record) {
  if (!BodyHolds(frame, kCompressedRecordPrefixSize)) return false;
  std::span<const std::uint8_t> body(frame.body);
  const CompressedRecordPrefix prefix = ReadCompressedRecordPrefix(body.first<kCompressedRecordPrefixSize>());
  // Bytes after the packed record are skipped.
  if (prefix.packedLength <= body.size() - kCompressedRecordPrefixSize) {
    body = body.first(kCompressedRecordPrefixSize + prefix.packedLength);
  }
  std::int32_t codecResult = 0;
  const std::int32_t result = UnpackCompressedRecord(body, record, &codecResult);
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
                 static_cast<int>(codecResult));
      return false;
    default:
      // Fewer packed bytes than announced: the body was cut.
      ShortBody(frame.header);
      return false;
  }
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
