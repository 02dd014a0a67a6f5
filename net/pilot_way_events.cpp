// The thread messages of a pilot way and the events of its link: the peer
// comes in range, leaves, drops, is cancelled; the per-second task; the reset
// of the link state when a new pilot takes the way.
#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "base/byte_order.h"
#include "base/klib_settings.h"
#include "core/app_paths.h"
#include "core/settings.h"
#include "core/text_fields.h"
#include "net/frame_codes.h"
#include "net/orv_sok.h"
#include "net/pilot_records.h"
#include "net/own_broadcasts.h"
#include "net/peer_traffic_hooks.h"
#include "win/sound.h"

namespace {
constexpr std::uint32_t kWayExcluded = 0x1;
constexpr std::int32_t kXPlaneCodeFirst = 9000;
constexpr std::int32_t kXPlaneCodeLast = 10999;
constexpr std::size_t kPacketHeaderBytes = 4;
constexpr char kInRangeSound[] = "NOTIFY.WAV";

bool XPlaneCode(std::int32_t code) { return code >= kXPlaneCodeFirst && code <= kXPlaneCodeLast; }

struct PeerView {
  std::array<char, kWayNameSize + 1> callsign{};
  std::uint32_t flags = 0;
  std::uint8_t token = 0;
  std::uint8_t loginDirection = 0;
};

PeerView ViewOf(const WayRecord& record) {
  PeerView view;
  const std::string_view cs = FieldText(record.callsign);
  cs.copy(view.callsign.data(), std::min(cs.size(), kWayNameSize));
  view.flags = record.stateFlags;
  view.token = record.pilot.tokenByte;
  view.loginDirection = record.pilot.loginDirection;
  return view;
}

bool Quiet(std::uint32_t flags) { return (flags & (kWayExcluded | kWayInvisible)) != 0; }
}  // namespace

// ---- Thread messages ----

DWORD COrvSok::PilotWayProcessMessage(const DMessage& message) {
  switch (message.id) {
    case THRDMSG_CONNECT:
      ResetPeerState();
      SetLoggedInBits(0);
      SendToPilot(NCSUB_LOGIN);
      return 1;
    case THRDMSG_LOGOUT:
    case THRDMSG_LEAVE:
      PilotLogoutAndClose();
      return 1;
    case THRDMSG_HEARTBEAT:
      if ((LoggedInBits() & kWayLoggedIn) != 0) SendToPilot(NCSUB_HEARTBEAT);
      return 1;
    case THRDMSG_DISCONNECTION:
      // A link that came up is the common handler's (the trust check of a call).
      if (message.param != 0) return 0;
      PilotDisconnection(message);
      return 1;
    case THRDMSG_PILOT_SEND: {
      std::array<std::uint8_t, 4> word{};
      const std::uint32_t length = std::min<std::uint32_t>(PendingPayload(), 4);
      if (length > 0) PopData(word.data(), length);
      SendToPilot(static_cast<std::uint8_t>(message.param), GetU32(word.data()));
      return 1;
    }
    case THRDMSG_WAY_TEST:
      return 1;
    default:
      return 0;
  }
}

void COrvSok::PilotLogoutAndClose() {
  if (IsConnected()) {
    SendToPilot(NCSUB_LOGOUT);
    Flush(1557);
  }
  SetLoggedInBits(LoggedInBits() & ~(kWayLoggedIn | kWayLoggedInPeer));
  Pause(kPilotSettleMs);
  ResetRx();
  Disconnect("o_PMP");
}

void COrvSok::PilotDisconnection(const DMessage& message) {
  const std::string text = PopReasonText(message, "pilot");
  const LinkEnd end(*this);
  OnPilotDropped();
  std::array<char, kSocketReasonSize> reason{};
  std::snprintf(reason.data(), reason.size(), "PWTSC: %s.", text.c_str());
  OnDisconnection(reason.data());
  ResetWay("DISCONNECTION");
  SetSleepCountdown(kDisconnectionSleepSeconds);
}

// ---- Events of the link ----

void COrvSok::CancelPeerLink() {
  SendToPilot(NCSUB_CANCEL_LINK, kCancelCouldNotAdd);
  RequestDisconnect("OCANCLNK2");
  Pause(kPilotSettleMs);
}

void COrvSok::OnPilotOutOfRange(std::uint8_t subCode, std::span<const std::uint8_t> body) {
  std::string named;
  if (record_ == nullptr || ReadPilotCallsignBody(body, named) != kNodeRecordOk) return;
  PeerView peer;
  {
    WayTableGuard guard;
    peer = ViewOf(*record_);
  }
  // A peer speaks for himself only: a notice naming another pilot, or one
  // after he has left already, changes nothing.
  if (pilot_.leaving || named.empty() || named != peer.callsign.data()) return;
  pilot_.leaving = true;
  SetLoggedInBits(LoggedInBits() & ~(kWayLoggedIn | kWayLoggedInPeer));
  Pause(kPilotSettleMs);
  ResetRx();
  DropFramesFed();
  if (!Quiet(peer.flags)) {
    PilotText(kColourNormal, kPilotNewLine, "Pilot ");
    PilotText(kColourNormal, kPilotBold, peer.callsign.data());
    PilotText(kColourNormal, 0, subCode == NCSUB_OUT_OF_RANGE ? " is out of range." : " logged-out.");
  }
  RequestDisconnect("PRLOUT");
}

void COrvSok::OnPilotDropped() {
  if (record_ == nullptr) return;
  const LinkEnd end(*this);
  PeerView peer;
  {
    WayTableGuard guard;
    // A record cleared already (a second notice of the same loss) has nobody to drop.
    if ((record_->stateFlags & kWayAllocated) == 0 || record_->peerKind != 'P') return;
    peer = ViewOf(*record_);
  }
  const DWORD bits = LoggedInBits();
  if (!Quiet(peer.flags)) {
    PilotText(kColourNormal, kPilotNewLine, "Pilot ");
    PilotText(kColourNormal, kPilotBold, peer.callsign.data());
    PilotText(kColourNormal, 0, (bits & kWayLoggedIn) != 0 ? " has dropped." : " has left.");
    if ((Klib().traceMask.load() & 0x4u) != 0) PilotTextf(kColourNormal, 0, " MPsession = %d.", static_cast<int>(bits));
  }
  SetLoggedInBits(bits & ~(kWayLoggedIn | kWayLoggedInPeer));
  Pause(kPilotSettleMs);
  ResetRx();
  if ((bits & kWayAiInSim) == 0) {
    ClearEndingRecord("PLTHSLFT");
  } else {
    MarkPeerLeft();
  }
  const auto hooks = CurrentPeerTrafficHooks();
  if (hooks->pilotListChanged) hooks->pilotListChanged();
}

void COrvSok::MarkPeerLeft() {
  std::array<char, kWayNameSize + 1> callsign{};
  PilotRecordCallsign(callsign);
  const auto hooks = CurrentPeerTrafficHooks();
  if (hooks->releaseTcasSlot) hooks->releaseTcasSlot(callsign.data());
  // The removal is asked for once; the plug-in's answer tells when it is done.
  const DWORD bits = LoggedInBits();
  SetLoggedInBits(bits & ~kWayAiInSim);
  if ((bits & kWayAiInSim) != 0 && XPlaneCode(kOwnSimulatorCode) && hooks->removePeer) {
    hooks->removePeer(WayId(), "HASLFT", true);
  }
}

void COrvSok::OnPilotInRange() {
  if (record_ == nullptr) return;
  PeerView peer;
  {
    WayTableGuard guard;
    peer = ViewOf(*record_);
  }
  if ((peer.flags & kWayInvisible) != 0) {
    PilotText(kColour27, kPilotNewLine | kPilotItalic, "Someone in the Tower Control is watching you");
    PilotText(kColour27, kPilotNewLine, "");
    return;
  }
  if (peer.token == 0) return;
  PilotText(kColourNormal, kPilotNewLine, "Pilot ");
  PilotText(kColour25, kPilotBold, peer.callsign.data());
  PilotText(kColourNormal, 0, " is in range.");
  if (g_setupSettings.enableSoundOnPrivateMsg.load() != 0) PlayInRangeSound();
}

void COrvSok::PlayInRangeSound() {
  const std::string& path = g_appPaths().notifySound;
  PlaySoundA(path.empty() ? kInRangeSound : path.c_str(), nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT);
}

void COrvSok::OnPeerObjectCreated() {
  const DWORD bits = LoggedInBits();
  SetLoggedInBits((bits & ~kWayLoggedInPeer) | kWayAiInSim);
  if ((bits & kWayLoggedIn) != 0) {
    // Shown again after he was invisible: unless he went invisible once more
    // while his aircraft was being added.
    bool invisible = false;
    if (record_ != nullptr) {
      WayTableGuard guard;
      invisible = (record_->stateFlags & kWayInvisible) != 0;
    }
    if (invisible) MarkPeerLeft();
    return;
  }
  SetLoggedInBits(LoggedInBits() | kWayLoggedIn);
  if (!IsConnected() || record_ == nullptr) return;
  OnPilotInRange();
  std::uint8_t direction = 0;
  {
    WayTableGuard guard;
    direction = record_->pilot.loginDirection;
  }
  // He opened the link and logged in to us: he hears our login now.
  if (direction == 0) SendToPilot(NCSUB_LOGIN_ACK);
  SendToPilot(NCSUB_PEER_ADDED);
}

// ---- Per second ----

void COrvSok::PilotTaskEachSecond() {
  if (record_ == nullptr || kOwnSimulatorCode < 2006) return;
  bool special = false;
  {
    WayTableGuard guard;
    special = (record_->stateFlags & kWayInvisible) != 0;
  }
  const DWORD bits = LoggedInBits();
  const bool shown = (bits & kWayAiInSim) != 0 || special;
  if (!shown) return;
  if (++pilot_.rebroadcastSeconds >= kPilotRebroadcastSeconds) {
    pilot_.rebroadcastSeconds = 0;
    // To this way's own peer: each peer's way resends to him, so a resend to
    // the whole session from every way would reach each peer once per way.
    ResendOwnRecordsTo(*this);
  }
  if ((bits & kWayLoggedIn) != 0) {
    WayTableGuard guard;
    ++record_->pilot.positionAgeSeconds;
  }
}

void COrvSok::ResetPeerState() {
  pilot_.peerAdded = false;
  pilot_.timeoutSeconds = kPilotTimeoutReset;
  pilot_.linkCounter = 0;
  pilot_.rebroadcastSeconds = 0;
  pilot_.latencyProbes = 0;
  pilot_.leaving = false;
  std::fill_n(simPacket_.begin(), kPacketHeaderBytes, 0);
  if (record_ == nullptr || !WayTableLock().Initialised()) return;
  WayTableGuard guard;
  WayRecord& record = *record_;
  record.aiObjectId = kWayNoAiObject;
  record.pilot.latencyMs = 0;
  record.pilot.packetsReceived = 0;
  record.pilot.positionAgeSeconds = 0;
  record.positionHistory.fill(WayPosition{});
  record.historyTimesMs.fill(0);
  record.historyCount = 0;
  record.stateFlags &= ~kWayFlag1000;
  // A new link counts its positions afresh.
  record.outOfRangePositions = 0;
  record.lastSequence = 0;
}
