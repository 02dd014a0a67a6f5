#include "net/node_way.h"

#include <arpa/inet.h>

#include <array>
#include <cstdarg>
#include <cstdio>

#include "app/main_dialog.h"
#include "app/main_dialog_state.h"
#include "app/ui_messages.h"
#include "base/klib_settings.h"
#include "net/frame_codes.h"
#include "net/web_task_way.h"

namespace {
constexpr char kLogTag[] = "app_TK";

std::string DottedAddress(std::uint32_t networkOrder) {
  in_addr address{};
  address.s_addr = networkOrder;
  std::array<char, INET_ADDRSTRLEN> text{};
  if (inet_ntop(AF_INET, &address, text.data(), static_cast<socklen_t>(text.size())) == nullptr) return {};
  return text.data();
}

char Printable(char letter) { return letter >= 0x20 && letter < 0x7F ? letter : '?'; }
}  // namespace

CNodeWay::CNodeWay(void* ownerSlot, const char* name) : COrvSok(ownerSlot, WAYID_NODE, name, 1) {}

CNodeWay::~CNodeWay() {
  if (Started()) {
    RequestStop(ExitCode());
    WaitForEnd(10'000);
  }
}

bool CNodeWay::StartWay(DWORD queueSize) {
  if (InitBuffers(OwnerSlot(), SOCK_MODE_TCP, kWayRxRingSize, kWayTxRingSize, kWaySoRcvBuf, kWaySoSndBuf) != 0) {
    return false;
  }
  return StartThread(1, queueSize) == 1;
}

void CNodeWay::SetLoginRecord(const LoginRecord& record) {
  std::lock_guard lock(mutex_);
  login_ = record;
}

std::string CNodeWay::CurrentHubAddress() const {
  std::lock_guard lock(mutex_);
  return currentHub_;
}

std::string CNodeWay::ServerName() const {
  std::lock_guard lock(mutex_);
  return serverName_;
}

std::string CNodeWay::FirstName() const {
  std::lock_guard lock(mutex_);
  return firstName_;
}

std::string CNodeWay::LastName() const {
  std::lock_guard lock(mutex_);
  return lastName_;
}

ServerTextRecord CNodeWay::ServerMessage() const {
  std::lock_guard lock(mutex_);
  return serverMessage_;
}

std::string CNodeWay::OwnPublicAddress() const { return ::OwnPublicAddress(); }

void CNodeWay::NodeTrace(int colourField, bool newLine, const char* text) {
  SetTraceColour(Klib().Colour(colourField));
  if (newLine) {
    TraceLine("%s", text);
  } else {
    Trace("%s", text);
  }
}

void CNodeWay::PostUiEvent(std::uint32_t code) { PostDelayedEvent(code); }

void CNodeWay::NodeTracef(int colourField, bool newLine, const char* format, ...) {
  std::array<char, 1024> text{};
  va_list args;
  va_start(args, format);
  std::vsnprintf(text.data(), text.size(), format, args);
  va_end(args);
  NodeTrace(colourField, newLine, text.data());
}

DWORD CNodeWay::HandleNodeMessage(const DMessage& message) {
  switch (message.id) {
    case THRDMSG_CONNECT:
      ConnectAndLogin();
      return 1;
    case THRDMSG_HEARTBEAT:
      SendHeartbeat();
      return 1;
    default:
      return 0;
  }
}

void CNodeWay::ConnectAndLogin() {
  loginAccepted_.store(false, std::memory_order_release);
  {
    std::lock_guard lock(mutex_);
    currentHub_.clear();
  }
  std::uint16_t port = hubPort_.load(std::memory_order_acquire);
  const HubEntry entry = ParseHubEntry(HubListText(), port);
  hubPort_.store(port, std::memory_order_release);
  // The hub entry is taken as the host as it stands; the choice between
  // the LAN host and a looping hub is made by the connect flow.
  const std::string host = entry.host.empty() ? std::string("127.0.0.1") : entry.host;
  NodeTracef(kColourNormal, true, " Connecting to Hub %s...", host.c_str());
  connectInProgress_.store(true, std::memory_order_release);
  SetPeerKind('N');
  if (ConnectWay(host.c_str(), port) != 0) {
    // Nothing is in progress any more: a later connect must not be taken for this one.
    connectInProgress_.store(false, std::memory_order_release);
    NodeTrace(kColourError, false, " Failed.");
    g_hubListCountdown.store(kHubListRetrySeconds);
    NodeTracef(kColourNormal, false, "  Retrying in %d seconds...", kHubListRetrySeconds);
    return;
  }
  {
    std::lock_guard lock(mutex_);
    currentHub_ = host;
  }
  SetStopCountdown(kLoginAckWaitSeconds);
  NodeTrace(kColourNormal, false, " Getting nodes list from hub ...");
  SendLogin();
}

void CNodeWay::SendLogin() {
  LoginRecord record;
  {
    std::lock_guard lock(mutex_);
    record = login_;
  }
  record.identity.serverToken = serverToken_.load(std::memory_order_acquire);
  const LoginRecordBytes bytes = WriteLoginRecord(record);
  FrameHeader header;
  header.type = NCSMSG_LOGIN;
  SendFrame(header, bytes);
  if ((Klib().traceMask & 0x10000) != 0) {
    NodeTracef(kColourNormal, true, "\t%s %s Tx NCSMSG_LOGIN ( %d )", kLogTag, Name(), static_cast<int>(bytes.size()));
  }
}

void CNodeWay::SendHeartbeat() {
  if (!IsConnected()) return;
  FrameHeader header;
  header.type = kNcsMsgHeaderOnly;
  SendFrame(header, {});
}

DWORD CNodeWay::HandleNodeFrame(const Frame& frame) {
  if (WayId() != WAYID_NODE) return 1;
  const FrameHeader& header = frame.header;
  const bool gated = header.type >= NCSMSG_LOGOUT && !(header.type == NCSMSG_STANDARD && header.subCode <= 50);
  if (gated && (LoggedInBits() & kWayLoggedIn) == 0) {
    NodeTracef(kColour28, true, "\t\t %s %s RxNL %d / %d", kLogTag, Name(), header.type, header.subCode);
    Pause(kNodeShortPauseMs);
    SetStopCountdown(0);
    Disconnect("HRFN_0");
    return 0;
  }
  switch (header.type) {
    case NCSMSG_LOGIN:
      return header.subCode == 0 ? 1 : TakeLoginAck(frame);
    case kNcsMsgHeaderOnly:
      g_hubRefreshCounter.store(0);
      return 1;
    default:
      return 1;
  }
}

DWORD CNodeWay::TakeLoginAck(const Frame& frame) {
  LoginAckRecord ack;
  if (frame.bodySkipped || ReadLoginAckRecord(frame.body, ack) != kNodeRecordOk) {
    // A short acknowledgement is a failed body read: the link goes.
    Disconnect("WID40");
    return 0;
  }
  const IdentityBlock& server = ack.identity;
  if (!IsServerVersionAccepted(server)) {
    NodeTracef(kColourEmphasis, true,
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
  serverToken_.store(server.serverToken, std::memory_order_release);
  PostUiEvent(UIMSG_LOGIN_ACCEPTED);
  TraceAccepted(ack);
  return 1;
}

void CNodeWay::TraceAccepted(const LoginAckRecord& ack) {
  const IdentityBlock& server = ack.identity;
  NodeTrace(kColourNormal, true, "Your server is : ");
  NodeTrace(kColour24, false, ack.serverName.c_str());
  NodeTracef(kColourNormal, true, "  %s v%d.%d.%d.%c", ServerPlatformName(ack.platformBits), server.versionMajor,
             server.versionMinor, server.versionBuild, Printable(server.versionLetter));
  NodeTrace(kColourNormal, true, "Server comments : ");
  NodeTrace(kColour24, false, ack.serverComments.c_str());
  NodeTrace(kColourNormal, true, "Your Licenses & skills :");
  const auto names = PilotRatingNames(server.ratingBits);
  if (names.empty()) {
    NodeTrace(kColourEmphasis, false, "None.");
    return;
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i != 0) NodeTrace(kColour25, false, " - ");
    NodeTrace(kColourEmphasis, false, names[i]);
  }
}
