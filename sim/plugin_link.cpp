#include "sim/plugin_link.h"

#include "net/owner_slot.h"
#include "sim/ai_traffic.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "base/klib_settings.h"
#include "base/klib_trace.h"
#include "base/main_thread.h"
#include "core/main_dialog_state.h"
#include "core/model_scan_state.h"
#include "core/own_aircraft_state.h"
#include "core/settings.h"
#include "core/ui_hooks.h"
#include "net/frame_format.h"
#include "net/gathered_posts.h"
#include "net/multiplayer_session.h"
#include "sim/ai_callbacks.h"

std::atomic<bool> XPlaneLinkUp{false};
std::atomic<std::uint32_t> SimMainWindow{0};
std::atomic<std::uint32_t> g_xplaneSimulatorCode{0};
std::atomic<std::uint32_t> g_xplaneFamilyCode{0};
std::atomic<std::uint32_t> g_xplaneMajor{0};
std::atomic<std::uint32_t> g_xplaneMinor{0};
CBaseThread* g_porvDll = nullptr;
std::atomic<bool> g_sessionFlagSent{false};

namespace {
constexpr int kLinkStatusId = 7111;
constexpr DWORD kOversizePauseMs = 1'000;
constexpr char kLoopback[] = "127.0.0.1";

const char* LogTag() { return Klib().logTag != nullptr ? Klib().logTag : ""; }

std::mutex& LinkCreationLock() {
  static std::mutex lock;
  return lock;
}
}  // namespace

std::uint32_t SimulatorFamily(std::uint32_t code) {
  if (code == 2002 || code == 2004 || code == 2006) return code;
  if (code >= 3000 && code <= 3999) return 3000;
  if (code >= 9000 && code <= 9999) return 9000;
  if (code >= 10000 && code <= 10999) return 10000;
  return 0;
}

const char* SimulatorShortName(std::uint32_t family) {
  switch (family) {
    case 2002:
    case 2004: return "FS";
    case 2006: return "FSX";
    case 3000: return "P3D";
    case 9000: return "XP9";
    case 10000: return "XP10";
    default: return "";
  }
}

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

bool CXPlaneLink::SupersededRecord(std::uint32_t id, std::uint32_t param,
                                   std::span<const std::uint8_t> payload) const {
  if (id != THRDMSG_XPL_WRITE) return COrvSok::SupersededRecord(id, param, payload);
  if (payload.size() < kFrameSyncSize + kFrameHeaderSize) return false;
  const FrameHeader header = ReadFrameHeader(payload.subspan(kFrameSyncSize).first<kFrameHeaderSize>());
  return header.type == kXtkFrameType && header.subCode >= XTK_CMD_PEER_POSITION &&
         header.subCode <= XTK_CMD_PEER_GEAR2;
}

DWORD CXPlaneLink::XPlaneLinkProcessMessage(const DMessage& message) {
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
    case THRDMSG_XPL_TICK:
      SendCommand(XTK_CMD_TICK, TickBody(), "RDLLP1");
      return 1;
    case THRDMSG_XPL_ACF_TABLE_ADD:
    case THRDMSG_XPL_ACF_TABLE_CHANGE: {
      if (!IsConnected()) return 1;
      const bool add = message.id == THRDMSG_XPL_ACF_TABLE_ADD;
      SendCommand(XTK_CMD_GET_ACF_TABLE, GetAcfTableBody(add ? 0 : 1, static_cast<std::uint16_t>(message.param)),
                  add ? "CTAP1" : "CTCA1");
      return 1;
    }
    case THRDMSG_XPL_SYNC_DATE_TIME:
      SendCommand(XTK_CMD_SYNC_DATE_TIME, {}, "SPX1");
      return 1;
    case THRDMSG_XPL_SET_SQUAWK:
      SendCommand(XTK_CMD_SET_SQUAWK, SquawkBody(static_cast<std::uint16_t>(message.param & 0xFFFF)), "SPX2");
      return 1;
    case THRDMSG_XPL_MODELS_SCANNED:
      SendModelsScanned();
      return 1;
    case THRDMSG_XPL_DISCONNECT:
      if (IsConnected()) Disconnect("Disconnect by X");
      return 1;
    case THRDMSG_XPL_STEP:
      SendCommand(XTK_CMD_STEP, StepBody(static_cast<std::int32_t>(message.param)), "SPX3");
      return 1;
    case THRDMSG_XPL_LEAVE:
      return 1;
    default:
      return 0;
  }
}

void CXPlaneLink::ConnectToPlugin() {
  // A link that is up is kept: a second connect (the link's own in its second
  // second, a status click just before) must not replace it.
  if (IsConnected()) return;
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

// The payload is a whole frame of at most 12 + 20,472 bytes, or whole frames
// one behind the other within that size (the refresh records of a pilot way's
// receive); anything larger is left to the loop, which drops a payload its
// handler did not take.
void CXPlaneLink::WriteRecord(const DMessage& message) {
  const std::uint32_t length = std::min(message.word3, PendingPayload());
  if (length == 0 || length > kXtkMaxFrameCount + kFrameSyncSize) return;
  writeBuffer_.resize(length);
  PopData(writeBuffer_.data(), length);
  if (IsConnected()) Send(writeBuffer_.data(), length, true, "WBTP");
}

void CXPlaneLink::TakeConnectionNotice(const DMessage& message) {
  const std::string reason = PopReasonText(message, "xpil");
  handshakeComplete_ = false;
  modelsScannedSent_ = false;
  if (message.param != 0) {
    SetLoggedInBits(LoggedInBits() | kWayLoggedIn);
    XPlaneLinkUp = true;
    SyncSessionFlagToPlugin();
    return;
  }
  XPlaneLinkUp = false;
  SimMainWindow = 0;
  ForgetAiAircraftOfLostLink();
  std::array<char, 1100> text{};
  std::snprintf(text.data(), text.size(), "XDLL: %s.", reason.c_str());
  OnDisconnection(text.data());
  ResetWay("DISCONNECTION");
  SetSleepCountdown(kXPlaneLostSleepSeconds);
  SyncSessionFlagToPlugin();
}

bool CXPlaneLink::SendCommand(std::uint8_t command, std::span<const std::uint8_t> body, const char* tag) {
  if (!IsConnected()) return false;
  FrameHeader header;
  header.type = kXtkFrameType;
  header.subCode = command;
  if (SendFrame(header, body) == 1) return true;
  TraceError("Error %s", tag);
  return false;
}

// The one path of the notice: the scan's end (38098) and the handshake's both
// come here, on the link's thread, so it goes out once per link.
void CXPlaneLink::SendModelsScanned() {
  if (!IsConnected() || modelsScannedSent_ || !HandshakeComplete() || !g_modelScanFinished.load()) return;
  modelsScannedSent_ = SendCommand(XTK_CMD_MODELS_SCANNED, {}, "WTSPD1");
}

void CXPlaneLink::TraceError(const char* format, const char* text) {
  if (!Klib().TraceBit(kLinkErrorTraceBit)) return;
  SetTraceColour(Klib().Colour(kColourError));
  TraceLine(format, text);
  SetTraceColour(Klib().Colour(kColourNormal));
}

CXPlaneLink* XPlaneLinkObject() { return dynamic_cast<CXPlaneLink*>(LoadOwnerSlot(g_porvDll)); }

void CreateXPlaneLink() {
  std::lock_guard guard(LinkCreationLock());
  CXPlaneLink* link = XPlaneLinkObject();
  if (link != nullptr && link->IsConnected()) return;
  ui_hook::SetMainDialogText(kLinkStatusId, "X");
  InstallXPlaneAiCallbacks();
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
    StoreOwnerSlot(g_porvDll, link);
    link->ClearSleepCountdown();
    link->Resume(0);
    return;
  }
  // A link that was lost (or never came up) connects again at once: its own
  // connect comes only in its second second, and a lost link has gone to sleep.
  link->ClearSleepCountdown();
  link->Resume(0);
  CBaseThread::Post(Klib().mainThread, link, THRDMSG_CONNECT, 0, 0, "PZGN1002");
}

int SendToXPlane(CBaseThread* sender, std::uint8_t command, std::span<const std::uint8_t> body,
                 const char* callerTag) {
  PostGatheredPosts();
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
  if (frame.empty()) return 0;
  return CBaseThread::PostData(sender, link, THRDMSG_XPL_WRITE, 0, static_cast<std::uint32_t>(frame.size()),
                               frame.data(), callerTag) == 1
             ? 1
             : 0;
}

namespace {
// The largest refresh body is the full state's 76 bytes.
constexpr std::size_t kLargestRefreshBody = 128;

CBaseThread* LinkThread() { return XPlaneLinkObject(); }
}  // namespace

int SendRefreshToXPlane(COrvSok& way, std::uint8_t command, std::span<const std::uint8_t> body,
                        const char* callerTag) {
  if (!way.IsOwnThread() || !way.InReceivePass() || XPlaneLinkObject() == nullptr) {
    return SendToXPlane(&way, command, body, callerTag);
  }
  FrameHeader header;
  header.type = kXtkFrameType;
  header.subCode = command;
  // Framed on the stack: a refresh record is a few dozen bytes (a longer body
  // takes the common path, with its size check).
  std::array<std::uint8_t, kFrameSyncSize + kFrameHeaderSize + kLargestRefreshBody> frame{};
  const std::size_t size = WriteFrame(Klib().frameSync, header, body, frame);
  if (size == 0) return SendToXPlane(&way, command, body, callerTag);
  return GatherPost(&way, &LinkThread, THRDMSG_XPL_WRITE, std::span(frame.data(), size),
                    kXtkMaxFrameCount + kFrameSyncSize, callerTag)
             ? 1
             : 0;
}

std::int32_t PostToXPlaneLink(CBaseThread* sender, std::uint32_t id, std::uint32_t param, const char* callerTag) {
  PostGatheredPosts();
  CXPlaneLink* link = XPlaneLinkObject();
  if (link == nullptr) return 0;
  return CBaseThread::Post(sender, link, id, param, 0, callerTag);
}

void SyncSessionFlagToPlugin() {
  const bool open = XPlaneLinkUp.load();
  // A lost link closes the session (the link itself is gone: nothing to tell it).
  if (!open && g_sessionOpen.load()) CloseMultiplayerSession("XDLL", nullptr);
  g_sessionOpen = open;
  if (open == g_sessionFlagSent.load()) return;
  if (open) {
    if (SendToXPlane(Klib().mainThread, XTK_CMD_HELLO, HelloBody(kVersionWord), "TTCX3") == 0) {
      if (Klib().TraceBit(kLinkErrorTraceBit)) KlibMainTraceLine(Klib().Colour(kColourError), "Error %s", "TTCX3");
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
    AnnounceSessionJoin(true);
  } else {
    ui_hook::SetMainDialogText(kLinkStatusId, "X");
  }
  g_sessionFlagSent = open;
}
