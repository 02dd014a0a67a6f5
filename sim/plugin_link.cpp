#include "sim/plugin_link.h"

#include <array>
#include <cstdio>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "base/klib_settings.h"
#include "base/klib_trace.h"
#include "base/main_thread.h"
#include "core/main_dialog_state.h"
#include "core/settings.h"
#include "core/ui_hooks.h"
#include "net/frame_format.h"
#include "win/window.h"

std::atomic<bool> XPlaneLinkUp{false};
CBaseThread* g_porvDll = nullptr;
std::atomic<bool> g_sessionFlagSent{false};

namespace {
constexpr int kLinkStatusId = 7111;
constexpr DWORD kOversizePauseMs = 1'000;
constexpr char kLoopback[] = "127.0.0.1";
// The trace category of link errors.
constexpr int kLinkErrorTraceBit = 21;

const char* LogTag() { return Klib().logTag != nullptr ? Klib().logTag : ""; }

std::mutex& LinkCreationLock() {
  static std::mutex lock;
  return lock;
}
}  // namespace

CXPlaneLink::CXPlaneLink(void* ownerSlot, const char* name) : COrvSok(ownerSlot, WAYID_XPLANE_LINK, name, 1) {}

CXPlaneLink::~CXPlaneLink() {
  if (Started()) {
    RequestStop(ExitCode());
    WaitForEnd(10'000);
  }
}

bool CXPlaneLink::StartLink() {
  if (InitBuffers(OwnerSlot(), SOCK_MODE_TCP, kXPlaneRxRingSize, kXPlaneTxRingSize, kWaySoRcvBuf, kWaySoSndBuf) < 0) {
    return false;
  }
  return StartThread(0, 0) == 1;
}

DWORD CXPlaneLink::HandleSimLinkMessage(const DMessage& message) {
  switch (message.id) {
    case THRDMSG_DISCONNECTION:
      TakeConnectionNotice(message);
      return 1;
    case THRDMSG_CONNECT:
      ConnectToPlugin();
      return 1;
    case THRDMSG_XPL_WRITE:
      WriteRecord(message);
      return 1;
    case THRDMSG_XPL_SYNC_DATE_TIME:
      SendCommand(XTK_CMD_SYNC_DATE_TIME, {}, "SPX1");
      return 1;
    case THRDMSG_XPL_SET_SQUAWK: {
      const auto code = static_cast<std::uint16_t>(message.param & 0xFFFF);
      const std::array<std::uint8_t, 2> body{static_cast<std::uint8_t>(code & 0xFF), static_cast<std::uint8_t>(code >> 8)};
      SendCommand(XTK_CMD_SET_SQUAWK, body, "SPX2");
      return 1;
    }
    case THRDMSG_XPL_DISCONNECT:
      if (IsConnected()) Disconnect("Disconnect by X");
      return 1;
    case THRDMSG_XPL_LEAVE:
      return 1;
    default:
      return 0;
  }
}

void CXPlaneLink::ConnectToPlugin() {
  SetTraceColour(Klib().Colour(kColourNormal));
  TraceLine("Connecting to XPlane ...");
  const WORD port = g_networkSettings.xplaneDllPort.load();
  const std::int32_t result = ConnectWay(kLoopback, port);
  if (result == 0) {
    SetTraceColour(Klib().Colour(kColour25));
    Trace("Ok");
    SetTraceColour(Klib().Colour(kColourNormal));
    return;
  }
  if (Klib().TraceBit(kLinkErrorTraceBit)) Trace("Failed to connect XPlane. Error code %d.\r\n", static_cast<int>(result));
  SetTraceColour(Klib().Colour(kColourError));
  Trace("Failed ( %s:%d ).", kLoopback, static_cast<int>(port));
  SetTraceColour(Klib().Colour(kColour26));
  TraceLine("Please, be sure that X-Plane is already running with ");
  SetTraceEffects(1);
  Trace("xTavelkor.xpl");
  SetTraceEffects(0);
  Trace(" or ");
  SetTraceEffects(1);
  Trace("xTavelkor64.xpl");
  SetTraceEffects(0);
  Trace(" installed before launching xTavelkor.exe.");
  TraceLine("When X-Plane is ready clic on the small ");
  SetTraceEffects(1);
  Trace("X");
  SetTraceEffects(0);
  Trace(" to link it.");
  SetTraceColour(Klib().Colour(kColourNormal));
}

void CXPlaneLink::WriteRecord(const DMessage& message) {
  const std::uint32_t length = std::min(message.word3, PendingPayload());
  if (length == 0 || length > kXtkMaxFrameCount + kFrameSyncSize) return;  // the rest is dropped by the loop
  std::vector<std::uint8_t> frame(length);
  PopData(frame.data(), length);
  if (IsConnected()) Send(frame.data(), length, true, "WBTP");
}

void CXPlaneLink::TakeConnectionNotice(const DMessage& message) {
  const std::string reason = PopReasonText(message, "xpil");
  if (message.param != 0) {
    XPlaneLinkUp = true;
    SyncSessionFlagToPlugin();
    return;
  }
  XPlaneLinkUp = false;
  std::array<char, 1100> text{};
  std::snprintf(text.data(), text.size(), "XDLL: %s.", reason.c_str());
  OnDisconnection(text.data());
  ResetWay("DISCONNECTION");
  SetSleepCountdown(kXPlaneLostSleepSeconds);
  SyncSessionFlagToPlugin();
}

void CXPlaneLink::SendCommand(std::uint8_t command, std::span<const std::uint8_t> body, const char* tag) {
  if (!IsConnected()) return;
  FrameHeader header;
  header.type = kXtkFrameType;
  header.subCode = command;
  if (SendFrame(header, body) != 1 && Klib().TraceBit(kLinkErrorTraceBit)) {
    SetTraceColour(Klib().Colour(kColourError));
    TraceLine("Error %s", tag);
    SetTraceColour(Klib().Colour(kColourNormal));
  }
}

CXPlaneLink* XPlaneLinkObject() { return dynamic_cast<CXPlaneLink*>(g_porvDll); }

void CreateXPlaneLink() {
  std::lock_guard guard(LinkCreationLock());
  CXPlaneLink* link = XPlaneLinkObject();
  if (link != nullptr && link->IsConnected()) return;
  ui_hook::SetMainDialogText(kLinkStatusId, "X");
  if (link == nullptr) {
    link = new (std::nothrow) CXPlaneLink(&g_porvDll);
    if (link == nullptr) {
      KlibMainTraceLine(Klib().Colour(kColourError), "%s", "Error code SCTH : Could not create g_porvDll.");
      return;
    }
    if (!link->StartLink()) {
      // Never started: nothing else refers to it, and the next call tries again.
      delete link;
      return;
    }
    g_porvDll = link;
  }
  link->ClearSleepCountdown();
  link->Resume(0);
}

int SendToXPlane(CBaseThread* sender, std::uint8_t command, std::span<const std::uint8_t> body,
                 const char* callerTag) {
  const std::size_t count = body.size() + kFrameHeaderSize;
  if (count > kXtkMaxFrameCount) {
    const char* name = sender != nullptr ? sender->Name() : "";
    KlibMainTraceLine(Klib().Colour(kColourError), "%s %s System Error SYSERR_3900 : %d / %d ", LogTag(), name,
                      static_cast<int>(count), static_cast<int>(kXtkMaxFrameCount));
    COrvSok::CurrentPauseFunction()(kOversizePauseMs);
    return 0;
  }
  CXPlaneLink* link = XPlaneLinkObject();
  if (link == nullptr) return 0;
  FrameHeader header;
  header.type = kXtkFrameType;
  header.subCode = command;
  const std::vector<std::uint8_t> frame = BuildFrame(Klib().frameSync, header, body);
  return CBaseThread::PostData(sender, link, THRDMSG_XPL_WRITE, 0, static_cast<std::uint32_t>(frame.size()),
                               frame.data(), callerTag) == 1
             ? 1
             : 0;
}

void SyncSessionFlagToPlugin() {
  const bool open = XPlaneLinkUp.load();
  g_sessionOpen = open;
  if (open == g_sessionFlagSent.load()) return;
  if (open) {
    std::array<std::uint8_t, 4> version{};
    PutU32(version.data(), kVersionWord);
    if (SendToXPlane(Klib().mainThread, XTK_CMD_HELLO, version, "TTCX3") == 0) {
      if (Klib().TraceBit(21)) KlibMainTraceLine(Klib().Colour(kColourError), "Error %s", "TTCX3");
      return;  // not remembered: the next call tries again
    }
    ui_hook::SetMainDialogText(kLinkStatusId, "X");
    CXPlaneLink* link = XPlaneLinkObject();
    if (g_setupSettings.enableAutomaticSyncDateTime.load() != 0 && link != nullptr) {
      CBaseThread::Post(Klib().mainThread, link, THRDMSG_XPL_SYNC_DATE_TIME, 0, 0, "TTCX4");
    }
    if (link != nullptr && link->IsConnected()) {
      CBaseThread::Post(Klib().mainThread, link, THRDMSG_XPL_SET_SQUAWK,
                        static_cast<std::uint32_t>(g_setupSettings.defaultVfrSquawk.load()), 0, "TTCX5");
    }
  } else {
    ui_hook::SetMainDialogText(kLinkStatusId, "X");
  }
  g_sessionFlagSent = open;
}
