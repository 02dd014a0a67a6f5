// The records the plug-in sends: trace records, the handshake, the
// aircraft-loaded record and the dispatch of the rest.
#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "base/base_thread.h"
#include "base/klib_settings.h"
#include "base/message_box.h"
#include "core/model_scan_state.h"
#include "core/sim_family.h"
#include "core/ui_hooks.h"
#include "core/ui_messages.h"
#include "net/session_senders.h"
#include "sim/own_aircraft_link.h"
#include "sim/plugin_link.h"
#include "sim/ai_traffic.h"
#include "sim/plugin_link_body.h"

namespace {
// Trace record sub-codes.
constexpr std::uint8_t kTraceNewLine = 0;
constexpr std::uint8_t kTraceText = 1;
constexpr std::uint8_t kTraceFormat = 2;
constexpr std::uint8_t kTraceRemoveDelimiters = 3;
constexpr std::uint8_t kTraceRemoveDelimitedText = 4;
constexpr std::uint16_t kTraceTextLimit = 0x5000;
constexpr std::size_t kTraceLengthSize = 2;
constexpr std::size_t kTraceWordsSize = 8;
// An error line holds the log tag, the link's full name and the fixed text.
constexpr std::size_t kErrorLineSize = kThreadNameSize + 128;

const char* LinkLogTag() { return Klib().logTag != nullptr ? Klib().logTag : ""; }

std::uint32_t U32At(const std::vector<std::uint8_t>& body, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(body[at + i]) << (8 * i);
  return value;
}
}  // namespace

namespace {
bool IsOwnAircraftDataSet(const FrameHeader& header) {
  if (header.type != kXtkFrameType) return false;
  switch (header.subCode) {
    case XTK_MSG_PLANE_DATASET1:
    case XTK_MSG_PLANE_DATASET2:
    case XTK_MSG_PLANE_DATASET3:
    case XTK_MSG_PLANE_DATASET4:
      return true;
    default:
      return false;
  }
}

// The messages that only write to the plug-in: they post nothing to a way,
// so the round stays open across them.
bool WritesOnlyToThePlugin(std::uint32_t id) {
  switch (id) {
    case THRDMSG_XPL_WRITE:
    case THRDMSG_XPL_TICK:
    case THRDMSG_XPL_ACF_TABLE_ADD:
    case THRDMSG_XPL_ACF_TABLE_CHANGE:
    case THRDMSG_XPL_SYNC_DATE_TIME:
    case THRDMSG_XPL_SET_SQUAWK:
    case THRDMSG_XPL_STEP:
      return true;
    default:
      return false;
  }
}
}  // namespace

DWORD CXPlaneLink::VTFX(DWORD argument) {
  const BroadcastRound round;
  return COrvSok::VTFX(argument);
}

void CXPlaneLink::OnLateBody() {
  const BroadcastRound round;
  HuntPastLateFrame();
}

DWORD CXPlaneLink::ProcessMessage(const DMessage& message) {
  // What the message posts to a way comes after the records gathered before it.
  if (!WritesOnlyToThePlugin(message.id)) FlushBroadcastRound();
  return COrvSok::ProcessMessage(message);
}

bool CXPlaneLink::HoldsGatheredPosts() const { return BroadcastRoundHolds(); }

void CXPlaneLink::PostGathered() { FlushBroadcastRound(); }

DWORD CXPlaneLink::XPlaneLinkReceive(const Frame& frame) {
  const FrameHeader& header = frame.header;
  // What another record posts to a way comes after the records broadcast
  // before it; data set 1 begins the next pass.
  if (!IsOwnAircraftDataSet(header) || header.subCode == XTK_MSG_PLANE_DATASET1) FlushBroadcastRound();
  const bool traced = Klib().TraceBit(kLinkErrorTraceBit);
  if (traced) TraceFrameName(header);
  if (header.type == kXtkTraceFrameType) return ReceiveTraceRecord(frame);
  if (header.type == kXtkFrameType) return ReceiveXtkRecord(frame);
  if (!traced) {
    TraceLine("\t\t \t%s %s Rx NCSMSG_XPL_YYY = %d / %d", LinkLogTag(), Name(), header.type, header.subCode);
    return 1;
  }
  std::array<char, kErrorLineSize> line{};
  std::snprintf(line.data(), line.size(), "\t%s %s Rx NCSMSG_XPL_XXX = %d / %d", LinkLogTag(), Name(), header.type,
                header.subCode);
  ProtocolError(line.data(), header, "HRFX_1000");
  return 0;
}

void CXPlaneLink::TraceFrameName(const FrameHeader& header) {
  if (header.type != kXtkFrameType) return;
  if (const char* name = PluginRecordName(header.subCode)) {
    TraceLine("\t%s %s PRx %s", LinkLogTag(), Name(), name);
  } else {
    TraceLine("\t%s %s Rx NCSMSG_XPL_??? ( %d )", LinkLogTag(), Name(), header.subCode);
  }
}

// The plug-in's lines for the trace window. Their text is data: it is cut at
// its own length and the body's end, terminated, and printed through "%s".
DWORD CXPlaneLink::ReceiveTraceRecord(const Frame& frame) {
  const FrameHeader& header = frame.header;
  const std::vector<std::uint8_t>& body = frame.body;
  switch (header.subCode) {
    case kTraceNewLine:
      TraceLine("%s", "");
      return 1;
    case kTraceText: {
      if (body.size() < kTraceLengthSize) return 1;  // "WID50": nothing to read
      const auto length = static_cast<std::uint16_t>(body[0] | (body[1] << 8));
      if (length >= kTraceTextLimit) {
        std::array<char, kErrorLineSize> line{};
        std::snprintf(line.data(), line.size(), "%s %s System Error SYSERR_4220 : NCSUB_SETATTRIB / Len %d ", LinkLogTag(),
                      Name(), static_cast<int>(length));
        ProtocolError(line.data(), header, "HRFN_30");
        return 0;
      }
      if (body.size() < kTraceLengthSize + length) return 1;  // "WID51": short, dropped
      const auto* text = reinterpret_cast<const char*>(body.data() + kTraceLengthSize);
      const std::string line(text, ::strnlen(text, length));
      Trace("%s", line.c_str());
      return 1;
    }
    case kTraceFormat:
    case kTraceRemoveDelimiters:
    case kTraceRemoveDelimitedText: {
      if (body.size() < kTraceWordsSize) return 1;  // "WID52".."WID54": short, dropped
      const std::uint32_t first = U32At(body, 0);
      const std::uint32_t second = U32At(body, 4);
      if (header.subCode == kTraceFormat) {
        SetTraceFormat(first, second);
      } else if (header.subCode == kTraceRemoveDelimiters) {
        TraceRemoveDelimiters(static_cast<char>(first), static_cast<char>(second));
      } else {
        TraceRemoveDelimitedText(static_cast<char>(first), static_cast<char>(second));
      }
      return 1;
    }
    default: {
      std::array<char, kErrorLineSize> line{};
      std::snprintf(line.data(), line.size(), "%s %s System Error SYSERR_4230 : %d / %d ", LinkLogTag(), Name(),
                    header.type, header.subCode);
      ProtocolError(line.data(), header, "HRFN_40");
      return 0;
    }
  }
}

DWORD CXPlaneLink::ReceiveXtkRecord(const Frame& frame) {
  switch (frame.header.subCode) {
    case XTK_MSG_DLL_INFOS: OnDllInfos(frame); return 1;
    case XTK_MSG_ADDPEER_CALLBACK: OnAddPeerCallback(frame); return 1;
    case XTK_MSG_REMOVEPEER_CALLBACK: OnRemovePeerCallback(frame); return 1;
    case XTK_MSG_ACF_TABLE: OnAcfTable(frame); return 1;
    case XTK_MSG_USER_AIRCRAFT_LOADED: OnUserAircraftLoaded(frame); return 1;
    case XTK_MSG_SHOWHIDE_EXE_WINDOW: ui_hook::ToggleMainWindow(); return 1;
    case XTK_MSG_XPLANE_CLOSING: ui_hook::PostUiEvent(UIMSG_SIMULATOR_CLOSING); return 1;
    case XTK_MSG_HEADING_TO_HIM: OnHeadingToHim(frame); return 1;
    case XTK_MSG_PLANE_DATASET1: OnDataSet1(frame); return 1;
    case XTK_MSG_PLANE_DATASET2: OnDataSet2(frame); return 1;
    case XTK_MSG_PLANE_DATASET3: OnDataSet3(frame); return 1;
    case XTK_MSG_PLANE_DATASET4: OnDataSet4(frame); return 1;
    default:
      // XTK_MSG_DEBUG_CALLBACK was traced by name and is otherwise unknown.
      if (Klib().TraceBit(kLinkErrorTraceBit)) {
        TraceLine("\t\t \t%s %s received unknown command = %d / %d", LinkLogTag(), Name(), frame.header.type,
                  frame.header.subCode);
      }
      return 1;
  }
}

void CXPlaneLink::OnDllInfos(const Frame& frame) {
  RecordBytes<kDllInfosSize> body{};
  if (!TakeBody(frame, body, "HRFX_10")) return;
  const DllInfosRecord infos = ReadDllInfosRecord(body);
  if (infos.errorCode != 0) {
    SetTraceColour(Klib().Colour(kColourError));
    TraceLine("DLL error code : %d", static_cast<int>(infos.errorCode));
    SetTraceColour(Klib().Colour(kColourNormal));
    ShowMessage("Error in xTavelkor module (xpl)", "%s",
                "The xpl module has encountered errors. Please fix and try again.");
    ui_hook::PostUiEvent(UIMSG_SIMULATOR_CLOSING);
    return;
  }
  SimMainWindow = infos.simMainWindow;
  g_xplaneSimulatorCode = infos.simulatorCode;
  if (const std::uint32_t family = SimulatorFamily(infos.simulatorCode); family != 0) g_xplaneFamilyCode = family;
  TakeInstalledSimulatorCode(infos.simulatorCode);
  ui_hook::PostUiEvent(UIMSG_SIMULATOR_IDENTIFIED);
  g_xplaneMajor = infos.simulatorCode / 1000u;
  g_xplaneMinor = infos.simulatorCode % 1000u;
  Trace(" Found X-Plane v%d.%d.  ", static_cast<int>(g_xplaneMajor.load()), static_cast<int>(g_xplaneMinor.load()));
  if (infos.aiCount < kXPlaneMinimumAiCount) {
    ShowMessage("Information",
                "To allow Multiplayer mode with xTavelkor you must set the number of aircrafts at least to %d "
                "(actually you have only %d)",
                static_cast<int>(kXPlaneMinimumAiCount), static_cast<int>(infos.aiCount));
    ui_hook::PostUiEvent(UIMSG_SIMULATOR_CLOSING);
    return;
  }
  // A repeated handshake on the same link is not acknowledged again.
  if (HandshakeComplete()) return;
  if (!SendCommand(XTK_CMD_DLL_INFOS_ACK, {}, "HRFXD1")) return;
  handshakeComplete_ = true;
  OnPluginHandshakeComplete();
}

void CXPlaneLink::OnPluginHandshakeComplete() {
  SendModelsScanned();
  // A plug-in that greeted a new link shows no aircraft of the last one.
  AddAdmittedPilotsAgain(this);
}

void CXPlaneLink::OnUserAircraftLoaded(const Frame& frame) {
  // The title is matched against the installed models: before their scan ended it is dropped.
  if (!g_modelScanFinished.load()) return;
  // Read within the body as it came: a short body gives the title it holds.
  const std::size_t size = std::min(frame.body.size(), kUserAircraftLoadedSize);
  ApplyUserAircraftLoaded(BuildOwnIdentityRecord(ReadLoadedTitle(std::span(frame.body.data(), size))));
}
