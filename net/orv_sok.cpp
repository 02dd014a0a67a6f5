#include "net/orv_sok.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>
#include <cstring>
#include <string_view>

#include "core/main_dialog_state.h"
#include "core/own_callsign.h"
#include "core/settings.h"
#include "net/multiplayer_session.h"
#include "net/node_connect.h"
#include "net/node_way.h"
#include "net/web_task_way.h"
#include "base/klib_settings.h"
#include "base/klib_trace.h"
#include "base/message_box.h"
#include "base/trusted_addresses.h"
#include "net/compressed_record.h"
#include "net/frame_codes.h"
#include "net/gathered_posts.h"
#include "net/text_display.h"
#include "net/text_records.h"
#include "base/byte_order.h"
#include "win/ascii_case.h"
#include "win/clock.h"

namespace {
constexpr DWORD kConstructionWord = 50;
constexpr DWORD kBuildReadSetFailWaitMs = 500;
constexpr DWORD kSelectErrorPauseMs = 1'000;
constexpr std::size_t kReasonTextSize = kSocketReasonSize;
// Above this fill the idle step drains the ring before it receives again.
constexpr std::uint32_t kDrainFillPercent = 15;
constexpr std::size_t kHeaderDumpExtraBytes = 3;
constexpr DWORD kPilotSelectTimeoutUs = 50;
constexpr DWORD kControllerSelectTimeoutUs = 500;
constexpr std::uint32_t kSimLinkConnectSecond = 2;
// Tunnel and neighbour block offsets.
constexpr std::size_t kBlockCallsignOffset = 16;
constexpr std::size_t kTunnelPeerCallsignOffset = 32;
constexpr std::size_t kBlockAddressOffset = 8;
constexpr std::size_t kBlockPortOffset = 12;
constexpr std::size_t kBlockFlagsOffset = 14;
constexpr std::size_t kBlockKindOffset = 15;
constexpr std::size_t kTunnelOwnCallsignOffset = 16;
constexpr std::size_t kTunnelRequestNameOffset = 32;
constexpr char kLoopbackText[] = "127.0.0.1";

std::uint32_t GetU32At(std::span<const std::uint8_t> block, std::size_t offset) {
  std::uint32_t value = 0;
  std::memcpy(&value, block.data() + offset, sizeof value);  // network order kept as it came
  return value;
}

std::uint16_t GetU16LeAt(std::span<const std::uint8_t> block, std::size_t offset) {
  return static_cast<std::uint16_t>(block[offset] | (block[offset + 1] << 8));
}

void PutU16LeAt(std::span<std::uint8_t> block, std::size_t offset, std::uint16_t value) {
  block[offset] = static_cast<std::uint8_t>(value & 0xFF);
  block[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutTextAt(std::span<std::uint8_t> block, std::size_t offset, std::string_view text) {
  std::fill(block.begin() + static_cast<std::ptrdiff_t>(offset),
            block.begin() + static_cast<std::ptrdiff_t>(offset + kWayNameSize), 0);
  const std::size_t n = std::min(text.size(), kWayNameSize - 1);
  std::memcpy(block.data() + offset, text.data(), n);
}

std::string DottedText(std::uint32_t addressNetOrder) {
  in_addr address{};
  address.s_addr = addressNetOrder;
  std::array<char, INET_ADDRSTRLEN> text{};
  if (inet_ntop(AF_INET, &address, text.data(), static_cast<socklen_t>(text.size())) == nullptr) return {};
  return text.data();
}

void SleepPause(DWORD milliseconds) { Sleep(milliseconds); }

std::atomic<COrvSok::PauseFunction>& PauseSlot() {
  static std::atomic<COrvSok::PauseFunction> slot{&SleepPause};
  return slot;
}

// A 16-byte text field of a block, terminated within the field.
std::array<char, kWayNameSize + 1> BlockText(std::span<const std::uint8_t> block, std::size_t offset) {
  std::array<char, kWayNameSize + 1> text{};
  if (offset + kWayNameSize <= block.size()) std::memcpy(text.data(), block.data() + offset, kWayNameSize);
  return text;
}

bool Printable(std::uint8_t byte) { return byte >= 0x20 && byte < 0x7F; }
}  // namespace

bool SameHostAddress(std::string_view a, std::string_view b) { return !a.empty() && a == b; }

COrvSok::COrvSok(void* ownerSlot, std::int32_t wayId, const char* name, DWORD flags)
    : CBaseSoc(ownerSlot, wayId, name, flags, kConstructionWord, chunk),
      record_(PeerWayRecord(wayId)) {
  ResetWay("INIT");
  secondsSnapshot_ = g_secondsCounter.load();
  WakeEachSecond(true);
  if (Klib().TraceBit(20)) TraceLine("\t\t\t %s started.", Name());
}

COrvSok::~COrvSok() {
  if (Started()) {
    RequestStop(ExitCode());
    WaitForEnd(10'000);
  }
  if (record_ != nullptr && WayTableLock().Initialised()) {
    WayTableGuard guard;
    if (record_->way == this) record_->way = nullptr;
  }
}

void COrvSok::SetPauseFunction(PauseFunction pause) { PauseSlot().store(pause != nullptr ? pause : &SleepPause); }

COrvSok::PauseFunction COrvSok::CurrentPauseFunction() { return PauseSlot().load(); }

void COrvSok::Pause(DWORD milliseconds) const { PauseSlot().load()(milliseconds); }

const char* COrvSok::LogTag() const { return Klib().logTag != nullptr ? Klib().logTag : ""; }

// ---- Connection state ----

void COrvSok::ResetWay(const char*) {
  ResetIdle();
  SetFrameSync(Klib().frameSync);
  addon_ = AddonLinkState{};
  const bool webTask = WayId() == WAYID_WEBTASK;
  textLineMode_ = webTask;
  webTaskCode_ = webTask ? 1 : 0;
  textLineLength_ = 0;
  std::fill(neighbourBlock_.begin() + kBlockCallsignOffset, neighbourBlock_.end(), 0);
  ResetPeerState();
}

COrvSok::LinkEnd::LinkEnd(COrvSok& way) : way_(way) {
  if (way_.linkEndDepth_++ == 0) way_.endingAllocation_ = WayAllocationOf(way_.WayId());
}

COrvSok::LinkEnd::~LinkEnd() { --way_.linkEndDepth_; }

void COrvSok::ClearEndingRecord(const char* callerTag) {
  ClearWayRecordOf(WayId(), endingAllocation_, callerTag);
}

void COrvSok::OnDisconnection(const char* reason) {
  const LinkEnd end(*this);
  const std::string_view text = reason != nullptr ? std::string_view(reason) : std::string_view();
  const std::string_view kept = text.substr(0, std::min(text.size(), kReasonTextSize - 1));
  std::array<char, kReasonTextSize> bounded{};
  kept.copy(bounded.data(), kept.size());

  SetLoggedInBits(LoggedInBits() & ~(kWayLoggedIn | kWayLoggedInPeer));
  Pause(kDisconnectionPauseMs);
  ResetRx();
  hunter_.Reset();
  SetBodyAwaited(false);
  SetConnected(false);
  ClearPendingReads();
  KeepReason(bounded.data());
  SetLost(true);
  accepted_ = false;
  if (IsPeerWay(WayId())) {
    if (Klib().TraceBit(0)) {
      TraceLine("\t[%d] %s %s SCHANK Caller %s", static_cast<int>(WayId()), LogTag(), Name(), bounded.data());
    }
    ClearEndingRecord("ONDI");
  }
  if (Klib().TraceBit(2)) TraceLine("%s %s OnDisconnection ( %s ).", LogTag(), Name(), bounded.data());
}

void COrvSok::ResetLinkState() {
  SetLoggedInBits(LoggedInBits() & ~(kWayLoggedIn | kWayLoggedInPeer));
  hunter_.Reset();
  SetBodyAwaited(false);
  ResetRx();
}

std::int32_t COrvSok::ConnectWay(const char* host, WORD port) {
  // A connect over a link that is still up (a silent node, a fresh hub list)
  // replaces it without the loss sequence: the old socket is closed by the
  // connect, and its login, half-read frame and buffered bytes go with it.
  ResetLinkState();
  const std::string_view text = host != nullptr ? std::string_view(host) : std::string_view();
  {
    std::lock_guard lock(hostMutex_);
    hostText_.fill('\0');
    text.substr(0, std::min(text.size(), hostText_.size() - 1)).copy(hostText_.data(), hostText_.size() - 1);
  }
  connectedPort_.store(port, std::memory_order_release);
  accepted_ = false;
  return Connect(hostText_.data(), port, nullptr);
}

std::string COrvSok::ConnectedHost() const {
  std::lock_guard lock(hostMutex_);
  return hostText_.data();
}

const COrvSok* COrvSok::NodeWay() const { return NodeWayObject(); }

std::string COrvSok::PilotCallsign() const { return OwnCallsign(); }

std::string COrvSok::OwnPublicAddress() const { return ::OwnPublicAddress(); }

std::string COrvSok::LanAddressSetting() const {
  std::lock_guard guard(SettingsTextLock());
  return g_networkSettings.ncssLanIpAddress.data();
}

std::int32_t COrvSok::AcceptCall(SOCKET listening) {
  ResetLinkState();
  accepted_ = true;
  const std::int32_t result = Accept(listening);
  if (result != 0) accepted_ = false;
  return result;
}

std::int32_t COrvSok::HandAcceptedCall(SOCKET call, DWORD timeoutMs) {
  if (call == INVALID_SOCKET) return -1;
  acceptAnswer_.store(0, std::memory_order_release);
  const SOCKET earlier = handedCall_.exchange(call, std::memory_order_acq_rel);
  if (earlier != INVALID_SOCKET) closesocket(earlier);
  // A way that cannot be told leaves the call with us; a way that took it
  // answers, and the wait for that answer is bounded.
  const bool told = Post(nullptr, this, THRDMSG_WAY_ACCEPT, 0, 0, "ACCEPT") == 1;
  const DWORD start = GetTickCount();
  while (told && acceptAnswer_.load(std::memory_order_acquire) == 0 && GetTickCount() - start < timeoutMs) Sleep(1);
  const SOCKET untaken = handedCall_.exchange(INVALID_SOCKET, std::memory_order_acq_rel);
  if (untaken != INVALID_SOCKET) {
    closesocket(untaken);
    return 0;
  }
  const std::int32_t answer = acceptAnswer_.load(std::memory_order_acquire);
  return answer != 0 ? answer : 1;  // taken: the way answers for it from now on
}

void COrvSok::TakeHandedCall() {
  const SOCKET call = handedCall_.exchange(INVALID_SOCKET, std::memory_order_acq_rel);
  if (call == INVALID_SOCKET) return;  // taken back by the Listener already
  const bool taken = AdoptCall(call) == 0;
  if (!taken) {
    ClearWayRecord(WayId(), "ACCF");
    SetSleepCountdown(kDisconnectionSleepSeconds);
  }
  acceptAnswer_.store(taken ? 1 : -1, std::memory_order_release);
}

std::int32_t COrvSok::AdoptCall(SOCKET call) {
  ResetLinkState();
  accepted_ = true;
  const std::int32_t result = AdoptAcceptedSocket(call);
  if (result != 0) accepted_ = false;
  return result;
}

void COrvSok::WakeForAllocation() {
  SetPeerKind(0);
  // The sleep countdown and the offsets belong to the way's thread: it resets
  // them itself, before it serves the message that follows the allocation.
  allocationPending_.store(true, std::memory_order_release);
  Resume(0);
}

void COrvSok::TakeAllocation() {
  if (!allocationPending_.exchange(false, std::memory_order_acq_rel)) return;
  SetSleepCountdownRaw(0);
  pairOffsets_ = SimulatorPairOffsets{};
  Resume(0);
}

// ---- Posts to a full queue ----

FullQueueAnswer COrvSok::WhenQueueFull(std::uint32_t id, std::uint32_t param,
                                       std::span<const std::uint8_t> payload) const {
  if (ConnectionLossAsked() || SupersededRecord(id, param, payload)) return FullQueueAnswer::kDrop;
  return FullQueueAnswer::kWaitBounded;
}

void COrvSok::QueueStayedFull(std::uint32_t id, const char* callerTag) {
  // The posting thread's line: the way's own trace format is its thread's.
  KlibMainTraceLine(Klib().Colour(kColourError), "%s %s Error queue full: message %u from %s not delivered, the link is closed",
                    LogTag(), Name(), static_cast<unsigned>(id - THRDMSG_BASE), callerTag != nullptr ? callerTag : "_?_");
  AskConnectionLoss();
}

bool COrvSok::SupersededRecord(std::uint32_t id, std::uint32_t param, std::span<const std::uint8_t>) const {
  if (id == THRDMSG_SIMPILOT_ROUND) return true;
  return id == THRDMSG_SIMPILOT && (param == kSimPilotSendFsPacket || param == kSimPilotSendFsxPacket);
}

// ---- Thread loop ----

DWORD COrvSok::VTFX(DWORD) {
  while (!StopRequested()) {
    if (Ended() || Klib().Exiting()) {
      exitFlags_.fetch_or(kWayExitEnded);
      break;
    }
    ServeAllMessages();
    if (StopRequested()) break;
    TakeAskedLoss();
    OnIdle();
    const std::uint32_t seconds = g_secondsCounter.load(std::memory_order_acquire);
    if (seconds != secondsSnapshot_) {
      secondsSnapshot_ = seconds;
      ThreadTaskEachSecond();
    }
    passes_.fetch_add(1, std::memory_order_relaxed);
  }
  if (StopRequested()) exitFlags_.fetch_or(kWayExitStopped);
  bool lossReported = false;
  if (Socket() != INVALID_SOCKET) {
    std::array<char, 64> reason{};
    std::snprintf(reason.data(), reason.size(), "Way %d : DISCONNECTED_HARA", static_cast<int>(WayId()));
    ConnectionLost(reason.data());
    lossReported = true;
  }
  if (Klib().TraceBit(20)) {
    TraceLine("%s %s Thread dying with code %d / %d.", LogTag(), Name(), StopRequested() ? 1 : 0,
              static_cast<int>(ExitCode()));
  }
  if (IsLost() && !lossReported) {
    // A copy: the loss keeps its reason in the very field it is given.
    std::array<char, kSocketReasonSize> kept{};
    const std::string_view reason(LostReason(), ::strnlen(LostReason(), kept.size() - 1));
    reason.copy(kept.data(), reason.size());
    ConnectionLost(kept.data());
  }
  return 0;
}

void COrvSok::ServeAllMessages() {
  while (ServeOneMessage()) {
  }
}

bool COrvSok::ServeOneMessage() {
  TakeAllocation();
  TakeAskedLoss();
  DMessage message;
  if (PopMessage(message) == 0) return false;
  TakeAllocation();
  ProcessMessage(message);
  DropPendingPayload();
  return true;
}

int COrvSok::WaitReadable(int timeoutMs) {
  if (BuildReadSet() == 0 || ReadSet().empty()) {
    WaitForMessage(static_cast<int>(kBuildReadSetFailWaitMs));
    return 0;
  }
  std::array<pollfd, kMaxReadSet + 1> fds{};
  std::size_t count = 0;
  for (const SOCKET s : ReadSet()) fds[count++] = pollfd{s, POLLIN, 0};
  const std::size_t sockets = count;
  fds[count++] = pollfd{QueueWakeFd(), POLLIN, 0};
  if (timeoutMs != 0) waitingPasses_.fetch_add(1, std::memory_order_relaxed);
  const int result = WsPoll(std::span<pollfd>(fds.data(), count), timeoutMs);
  if (result < 0) return -1;
  int ready = 0;
  for (std::size_t i = 0; i < sockets; ++i) {
    if ((fds[i].revents & POLLNVAL) != 0) return -1;
    if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) ++ready;
  }
  return ready;
}

int COrvSok::WaitReadableAfterGathering(int timeoutMs) {
  if (timeoutMs != 0 && HoldsGatheredPosts()) {
    // Bytes that came in pieces, one behind the other, are one pass.
    const int ready = WaitReadable(0);
    if (ready != 0) return ready;
    PostGathered();
  }
  return WaitReadable(timeoutMs);
}

int COrvSok::IdleWaitMs() const {
  // Bytes waiting in the send ring go out in this pass (the flush follows the wait).
  // Just after work there is no reason to pass on without waiting: the wait
  // ends with the next byte or post, so passing on would only spin.
  if (TxUsed() != 0) return 0;
  // Read after the wake signal was cleared (PopMessage): a second that comes
  // later signals it again and ends the wait.
  if (g_secondsCounter.load() != secondsSnapshot_) return 0;
  int waitMs = -1;
  const auto bound = [&waitMs](int ms) { waitMs = waitMs < 0 ? ms : std::min(waitMs, ms); };
  if (idleDeadline_ != 0) {
    const auto left = static_cast<std::int32_t>(idleDeadline_ - GetTickCount());
    bound(left > 0 ? left : 0);
  }
  // A frame body that is still coming must arrive in time (BodyOverdue).
  if (const int bodyMs = MsUntilBodyDeadline(); bodyMs != std::numeric_limits<int>::max()) bound(bodyMs);
  return waitMs;
}

bool COrvSok::PausedWaitOver() {
  const bool secondsWork = StopCountdown() != 0 || SleepCountdown() != 0 ||
                           (WayId() == WAYID_XPLANE_LINK && simLinkSeconds_ < kSimLinkConnectSecond);
  SetSecondsWorkWhilePaused(secondsWork);
  return secondsWork && g_secondsCounter.load() != secondsSnapshot_;
}

void COrvSok::OnIdle() {
  // Paused: PopMessage waits on the queue next.
  if (NotStarted()) {
    if (HoldsGatheredPosts()) PostGathered();
    return;
  }
  if (BodyOverdue()) return;
  // What the served messages wrote leaves before the wait instead of after a
  // wait of 0: the bytes go out sooner and the pass makes one call fewer.
  if (TxUsed() != 0 && Socket() != INVALID_SOCKET && IsConnected()) Flush(1557);
  const int waitMs = IdleWaitMs();
  if (Socket() == INVALID_SOCKET || !IsConnected()) {
    if (waitMs != 0) {
      if (HoldsGatheredPosts()) PostGathered();
      waitingPasses_.fetch_add(1, std::memory_order_relaxed);
      WaitForMessage(waitMs);
    }
    return;
  }
  if (RxFree() == 0) DrainFullRing();
  if (RxFree() == 0) {
    // The bytes stay in the socket (TCP holds the peer back) until the ring drains.
    if (!ringFullTraced_) {
      TraceLine("%s %s Error receive buffer is FULL ", LogTag(), Name());
      ringFullTraced_ = true;
    }
    if (HoldsGatheredPosts()) PostGathered();
    waitingPasses_.fetch_add(1, std::memory_order_relaxed);
    WaitForMessage(waitMs < 0 ? kWayIdleWaitMs : std::max(waitMs, 1));
    return;
  }
  const int ready = WaitReadableAfterGathering(waitMs);
  if (ready < 0) {
    if (Klib().TraceBit(20)) TraceLine("\r\n %s : Error on select() : %d.", Name(), WSAGetLastError());
    Disconnect("t_dbgDisconnetN_120");
    Pause(kSelectErrorPauseMs);
    return;
  }
  if (ready > 0 && !StopRequested()) {
    if (!ReceiveIntoRing()) return;
  }
  if (!StopRequested()) {
    Flush(1556);
    ProcessReceivedBytes();
  }
}

bool COrvSok::ReceiveIntoRing() {
  const std::size_t room = Mode() == SOCK_MODE_TCP ? std::min<std::size_t>(chunk.size(), RxFree()) : chunk.size();
  const int received = ReceiveChunk(room);
  if (received == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) return true;
  if (received <= 0) {
    ConnectionLost("ONIDLE");
    return false;
  }
  const auto n = static_cast<std::uint32_t>(received);
  DWORD status = FillRxBuf(chunk.data(), n);
  if (status != RING_OK && Mode() != SOCK_MODE_TCP) {
    // A datagram cannot wait in the socket: make room, then try once more.
    DrainFullRing();
    status = FillRxBuf(chunk.data(), n);
  }
  if (status == RING_OK) {
    ringFullTraced_ = false;
    return true;
  }
  if (status == RING_NO_ROOM) {
    TraceLine("%s %s Error receive buffer is FULL ", LogTag(), Name());
  } else {
    TraceLine("%s %s Error FillRxBuf returned 0x%04X ", LogTag(), Name(), status);
  }
  // A stream that lost bytes is out of step: close rather than go on silently.
  if (Mode() == SOCK_MODE_TCP) {
    ConnectionLost("ONIDLE_RX");
    return false;
  }
  return true;
}

// Serves one queued message per pass too, so that a sender blocked on a full
// queue does not deadlock with a full ring.
void COrvSok::DrainFullRing() {
  while (RxFillPercent() > kDrainFillPercent && IsConnected() && !StopRequested()) {
    const std::uint32_t before = RxUsed();
    ProcessReceivedBytes();
    Flush(1555);
    const bool served = ServeOneMessage();
    if (RxUsed() >= before && !served) break;
  }
}

// ---- Received bytes ----

DWORD COrvSok::FeedTextLines() {
  // The web task's line builder replaces this; until then the bytes are taken as they come.
  bool used = false;
  for (;;) {
    const DWORD byte = RxReadByte();
    if (byte == RX_NO_BYTE) break;
    used = true;
    if (byte == '\n' || textLineLength_ + 1 >= textLine_.size()) {
      textLineLength_ = 0;
      continue;
    }
    textLine_[textLineLength_++] = static_cast<char>(byte);
    textLine_[textLineLength_] = '\0';
  }
  return used ? 1 : 0;
}

COrvSok::ReceivePass::~ReceivePass() {
  if (--way_.receivePassDepth_ == 0) PostGatheredPosts();
}

DWORD COrvSok::ProcessReceivedBytes() {
  const ReceivePass pass(*this);
  // The way's own frame keeps its body's room from frame to frame; a nested
  // pass (a handler that drains the ring) must not overwrite the frame served.
  Frame spare;
  Frame& frame = receivePassDepth_ == 1 ? frame_ : spare;
  if (textLineMode_) {
    while (FeedTextLines() != 0) Flush(6117);
    Flush(6118);
  } else {
    while (RxUsed() > 0 && IsConnected()) {
      const std::uint32_t n = RxReadUpTo(chunk.data(), static_cast<std::uint32_t>(chunk.size()));
      if (n == 0) break;
      hunter_.Feed(std::span<const std::uint8_t>(chunk.data(), n));
      if (!DispatchHuntedFrames(frame)) return 1;
      Flush(6120);
    }
  }
  WatchBodyInProgress();
  return 1;
}

bool COrvSok::DispatchHuntedFrames(Frame& frame) {
  for (;;) {
    const HuntResult result = hunter_.NextFrame(frame);
    if (result == HuntResult::NeedMore) return true;
    if (result == HuntResult::Error) {
      const FrameHeader& header = hunter_.ErrorHeader();
      std::array<char, 160 + kThreadNameSize> line{};  // any thread name fits
      std::snprintf(line.data(), line.size(), "%s %s System Error SYSERR_3102 : %d / %d ( length %u )", LogTag(),
                    Name(), header.type, header.subCode, static_cast<unsigned>(header.length));
      ProtocolError(line.data(), header, "PRBB_2");
      return false;
    }
    dispatching_ = &frame;
    DispatchFrame(frame);
    dispatching_ = nullptr;
    Flush(6119);
    if (!IsConnected()) {
      hunter_.Reset();
      return true;
    }
  }
}

void COrvSok::HuntPastLateFrame() {
  const ReceivePass pass(*this);
  Frame spare;
  Frame& frame = receivePassDepth_ == 1 ? frame_ : spare;
  hunter_.AbandonFrame();
  if (DispatchHuntedFrames(frame)) Flush(6120);
  WatchBodyInProgress();
}

// The body of a frame is read with the time limit of every read: a header
// whose body does not follow within it is handed to OnLateBody.
void COrvSok::WatchBodyInProgress() {
  if (textLineMode_ || !IsConnected() || hunter_.CurrentState() != FrameHunter::State::Body) {
    SetBodyAwaited(false);
    return;
  }
  // Each header the reader takes follows its own sync word: the count names the frame.
  if (BodyAwaited() && bodyFrame_ == hunter_.FramesFound()) return;
  bodyFrame_ = hunter_.FramesFound();
  bodySince_ = GetTickCount();
  SetBodyAwaited(true);
}

void COrvSok::SetBodyAwaited(bool awaited) {
  if (bodyAwaited_.load(std::memory_order_relaxed) != awaited) bodyAwaited_.store(awaited, std::memory_order_release);
}

int COrvSok::MsUntilBodyDeadline() const {
  if (!BodyAwaited()) return std::numeric_limits<int>::max();
  const DWORD elapsed = GetTickCount() - bodySince_;
  return elapsed >= kReadBytesLimitMs ? 0 : static_cast<int>(kReadBytesLimitMs - elapsed);
}

bool COrvSok::BodyOverdue() {
  if (!BodyAwaited() || !IsConnected() || MsUntilBodyDeadline() > 0) return false;
  SetBodyAwaited(false);
  if (Klib().TraceBit(20)) {
    TraceLine("%s %s Error frame body not received in time ( %d / %d, %u missing )", LogTag(), Name(),
              receivedHeader_.type, receivedHeader_.subCode, static_cast<unsigned>(hunter_.BodyBytesAwaited()));
  }
  ResetIdle();
  lateBodies_.fetch_add(1, std::memory_order_relaxed);
  OnLateBody();
  return true;
}

void COrvSok::OnLateBody() { ConnectionLost(kBodyTimeoutReason); }

void COrvSok::ProtocolError(const char* errorLine, const FrameHeader& header, const char* tag) {
  const auto dump = [this](std::uint8_t byte) {
    if (Printable(byte)) {
      Trace("%c", static_cast<char>(byte));
    } else {
      Trace("[%02X]", byte);
    }
  };
  SetTraceColour(Klib().Colour(kColourError));
  TraceLine("%s", errorLine != nullptr ? errorLine : "");
  SetTraceColour(Klib().Colour(kColourNormal));
  Trace("{ ");
  SetTraceColour(Klib().Colour(kColourEmphasis));
  for (const std::uint8_t byte : WriteFrameHeader(header)) dump(byte);
  // The stream behind the header: the body of the frame being served, then
  // what the frame reader holds, then what waits in the receive ring.
  std::array<std::uint8_t, kHeaderDumpExtraBytes> extra{};
  std::size_t got = 0;
  if (dispatching_ != nullptr) {
    got = std::min(extra.size(), dispatching_->body.size());
    std::copy_n(dispatching_->body.begin(), got, extra.begin());
  }
  got += hunter_.PeekUnused(std::span(extra).subspan(got));
  got += RxReadUpTo(extra.data() + got, static_cast<std::uint32_t>(extra.size() - got));
  for (std::size_t i = 0; i < got; ++i) dump(extra[i]);
  SetTraceColour(Klib().Colour(kColourNormal));
  Trace(" }");
  Pause(kProtocolErrorPauseMs);
  ResetRx();
  hunter_.Reset();
  Disconnect(tag != nullptr ? tag : "");
}

DWORD COrvSok::DispatchFrame(const Frame& frame) {
  receivedHeader_ = frame.header;
  lastSender_ = PeerAddress();
  lastSenderText_.fill('\0');
  inet_ntop(AF_INET, &lastSender_.sin_addr, lastSenderText_.data(), static_cast<socklen_t>(lastSenderText_.size()));
  if (frame.sync == AddonFrameMagic) return HandleAddonFrame(frame);
  switch (frame.header.type) {
    case NCSMSG_TEXT_ON_AIR:
    case NCSMSG_TEXT_PRIVATE:
      return DispatchText(frame);
    case NCSMSG_ANY_PEER:
      return DispatchAnyPeer(frame);
    default:
      break;
  }
  if (WayId() == WAYID_XPLANE_LINK) return HandleSimLinkFrame(frame);
  switch (PeerKind()) {
    case 'P':
      return HandlePilotFrame(frame);
    case 'N':
      return HandleNodeFrame(frame);
    case 'A':
      return HandleControllerFrame(frame);
    default:
      break;
  }
  if (frame.header.type == NCSMSG_ATC) {
    SetPeerKind('A');
    SetSelectTimeoutUs(kControllerSelectTimeoutUs);
    return HandleControllerFrame(frame);
  }
  if (frame.header.type == NCSMSG_PILOT) {
    SetPeerKind('P');
    SetSelectTimeoutUs(kPilotSelectTimeoutUs);
    sleepTime_ = 1;
    return HandlePilotFrame(frame);
  }
  return HandleNodeFrame(frame);
}

DWORD COrvSok::DispatchText(const Frame& frame) {
  const FrameHeader& header = frame.header;
  if ((loggedIn_ & kWayLoggedIn) == 0) {
    TraceLine("\t\t %s %s Rx?1NL %d / %d", LogTag(), Name(), header.type, header.subCode);
    Pause(kProtocolErrorPauseMs);
    SetStopCountdown(0);
    Disconnect("HRUN_1");
    return 0;
  }
  if (header.type == NCSMSG_TEXT_ON_AIR) {
    if (Klib().TraceBit(20)) TraceLine("\t%s %s Rx NCSMSG_TEXT_ON_AIR", LogTag(), Name());
    TextOnAirRecordBytes bytes{};
    if (ReadCompressedRecord(frame, bytes) == kRecordOk) DisplayTextOnAir(*this, ReadTextOnAirRecord(bytes));
    return 1;
  }
  if (Klib().TraceBit(20)) TraceLine("\t%s %s Rx NCSMSG_TEXT_PRIVATE", LogTag(), Name());
  PrivateTextRecordBytes bytes{};
  if (ReadCompressedRecord(frame, bytes) == kRecordOk) DisplayTextPrivate(*this, ReadPrivateTextRecord(bytes));
  return 1;
}

DWORD COrvSok::DispatchAnyPeer(const Frame& frame) {
  const FrameHeader& header = frame.header;
  if (Klib().TraceBit(20)) {
    TraceLine("\t%s %s Rx NCSMSG_ANY_PEER ( %d )", LogTag(), Name(), header.subCode);
    if (header.subCode == NCSUB_START_TUNNEL) {
      TraceLine("\t%s %s Rx NCSMSG_ANY_PEER ( NCSUB_START_TUNNEL )", LogTag(), Name());
    } else {
      TraceLine("\t%s %s Rx NCSMSG_ANY_PEER = ( %d )", LogTag(), Name(), header.subCode);
    }
  }
  if (IsTrustedAddress(lastSender_.sin_addr.s_addr, 0) == 0) {
    TraceLine("\t\t %s %s Rx?0NL %d / %d", LogTag(), Name(), header.type, header.subCode);
    SetStopCountdown(0);
    Disconnect("HRUN_0");
    return 0;
  }
  if (header.subCode == NCSUB_START_TUNNEL) Post(this, this, THRDMSG_CONNECT, 0, 0, "PZGN1007");
  return 1;
}

std::int32_t COrvSok::ReadCompressedRecord(const Frame& frame, std::span<std::uint8_t> record) {
  std::int32_t codecResult = 0;
  const std::int32_t result =
      frame.bodySkipped ? kRecordShortSize : UnpackCompressedRecord(frame.body, record, &codecResult);
  const auto asked = static_cast<int>(record.size());
  switch (result) {
    case kRecordOk:
      break;
    case kRecordWrongSize: {
      const auto announced = static_cast<int>(GetU32(frame.body.data()));
      TraceLine("%s %s System Error SYSERR_11030 : %d / %d ", LogTag(), Name(), asked, announced);
      break;
    }
    case kRecordPackedTooLong:
    case kRecordLengthMismatch:
      // The packed length is refused before anything is allocated for it.
      TraceLine("%s %s System Error SYSERR_11020 : %d ", LogTag(), Name(),
                static_cast<int>(GetU32(frame.body.data() + 4)));
      break;
    case kRecordBadStream:
      TraceLine("%s %s System Error SYSERR_11010 : %d ", LogTag(), Name(), static_cast<int>(codecResult));
      break;
    default:
      TraceLine("%s %s System Error SYSERR_11000 : %d / %d ", LogTag(), Name(), asked,
                static_cast<int>(frame.body.size()));
      break;
  }
  return result;
}

// ---- Per-second task ----

void COrvSok::ThreadTaskEachSecond() {
  if (StopCountdown() != 0) {
    const auto left = static_cast<std::uint16_t>(StopCountdown() - 1);
    SetStopCountdown(left);
    if (left == 0) {
      std::array<char, 32> reason{};
      std::snprintf(reason.data(), reason.size(), "o_TTES %d.", static_cast<int>(ExitCode()));
      RequestDisconnect(reason.data());
      return;
    }
  }
  if (SleepCountdown() != 0) {
    const auto left = static_cast<std::uint16_t>(SleepCountdown() - 1);
    SetSleepCountdownRaw(left);
    if (left == 0) GoToSleep();
  }
  if (record_ != nullptr) {
    char kind = 0;
    {
      WayTableGuard guard;
      kind = record_->peerKind;
    }
    if (kind == 'P') PilotTaskEachSecond();
  }
  if (WayId() == WAYID_XPLANE_LINK) {
    ++simLinkSeconds_;
    if (simLinkSeconds_ == kSimLinkConnectSecond) Post(this, this, THRDMSG_CONNECT, 0, 0, "PZGN1001");
  }
}

void COrvSok::GoToSleep() {
  if (Klib().TraceBit(20)) TraceLine("%s %s Gonna sleep", LogTag(), Name());
  if (IsPeerWay(WayId())) {
    std::array<char, 32> name{};
    std::snprintf(name.data(), name.size(), "[* %d]", static_cast<int>(WayId()));
    SetName(name.data());
  }
  SetPeerKind(0);
  {
    std::lock_guard lock(hostMutex_);
    hostText_.fill('\0');
  }
  tunnelBody_.fill(0);
  tunnelRequestBlock_.fill(0);
  neighbourBlock_.fill(0);
  peerName_.fill('\0');
  Suspend(0);
}

// ---- Thread messages ----

DWORD COrvSok::ProcessMessage(const DMessage& message) {
  if (CBaseSoc::ProcessMessage(message) != 0) return 1;
  DWORD handled = 0;
  if (WayId() == WAYID_XPLANE_LINK) {
    handled = HandleSimLinkMessage(message);
  } else if (WayId() == WAYID_NODE) {
    handled = HandleNodeMessage(message);
  } else if (PeerKind() == 'P') {
    handled = HandlePilotMessage(message);
  } else if (PeerKind() == 'A') {
    handled = HandleControllerMessage(message);
  }
  if (handled != 0) return 1;

  switch (message.id) {
    case THRDMSG_STOP:
      TraceLine("%s %s : Thread ending with value %d.", LogTag(), Name(), static_cast<int>(message.param));
      return 1;
    case THRDMSG_DISCONNECTION:
      HandleDisconnectionMessage(message);
      return 1;
    case THRDMSG_SIMPILOT:
      HandleSimPilotMessage(message);
      return 1;
    case THRDMSG_SIMPILOT_ROUND:
      HandleSimPilotRound(message);
      return 1;
    case THRDMSG_WEBTASK:
      RunWebTask(message);
      return 0;
    case THRDMSG_TEXT_ON_AIR:
      SendTextOnAir();
      return 1;
    case THRDMSG_TEXT_PRIVATE:
      SendTextPrivate();
      return 1;
    case THRDMSG_REQ_TUNNCONNECT:
    case THRDMSG_ACK_TUNNCONNECTME: {
      const bool request = message.id == THRDMSG_REQ_TUNNCONNECT;
      FrameHeader header;
      header.type = request ? NCSMSG_REQ_TUNNCONNECT : NCSMSG_ACK_TUNNCONNECTME;
      SendFrame(header, tunnelBody_);
      const auto peer = BlockText(tunnelBody_, kTunnelPeerCallsignOffset);
      TraceLine(request ? "\t%s %s Tx NCSMSG_REQ_TUNNCONNECT -> %s" : "\t%s %s Tx NCSMSG_ACK_TUNNCONNECTME -> %s",
                LogTag(), Name(), peer.data());
      return 1;
    }
    case THRDMSG_CONNECT_NEIGHBOUR:
      ConnectNeighbour(message);
      return 1;
    case THRDMSG_CONNECT_TUNNELLED:
      ConnectTunnelled(message);
      return 1;
    case THRDMSG_WAY_ACCEPT:
      TakeHandedCall();
      return 1;
    case THRDMSG_WAY_TEST:
      TraceTestMessage(message);
      return 1;
    default:
      TraceUnknownMessage(message);
      return 0;
  }
}

std::string COrvSok::PopReasonText(const DMessage& message, const char* boxName) {
  // The third word is only a claim; the queue knows what really follows.
  std::uint32_t remaining = std::min(message.word3, PendingPayload());
  std::array<char, kDisconnectionTextPiece + 1> text{};
  const bool pieces = remaining > kDisconnectionTextPiece;
  while (remaining > kDisconnectionTextPiece) {
    ShowMessage("Warning", "_%s_PULTXTa ( %d )", boxName, static_cast<int>(remaining));
    PopData(text.data(), kDisconnectionTextPiece);
    remaining -= kDisconnectionTextPiece;
  }
  if (pieces) ShowMessage("Warning", "_%s_PULTXTb ( %d )", boxName, static_cast<int>(remaining));
  text.fill('\0');
  if (remaining > 0) PopData(text.data(), remaining);
  return std::string(text.data(), ::strnlen(text.data(), remaining));
}

void COrvSok::HandleDisconnectionMessage(const DMessage& message) {
  if (Klib().TraceBit(2)) {
    TraceLine("\t%s XSocket connection %d (length %d).", Name(), static_cast<int>(message.param),
              static_cast<int>(message.word3));
  }
  const std::string text = PopReasonText(message, "nada");

  if (message.param == 0) {
    const LinkEnd end(*this);
    std::array<char, kReasonTextSize> reason{};
    std::snprintf(reason.data(), reason.size(), "XWTSC: %s.", text.c_str());
    OnDisconnection(reason.data());
    ResetWay("DISCONNECTION");
    SetSleepCountdown(kDisconnectionSleepSeconds);
    return;
  }
  if (!accepted_) return;
  if (!PeerKnown()) {
    RequestDisconnect("PAVALD");
  } else if (IsTrustedAddress(PeerAddress().sin_addr.s_addr, 0) == 0) {
    RequestDisconnect("KONEPA");
  }
}

void COrvSok::TraceTestMessage(const DMessage& message) {
  const std::int32_t id = WayId();
  int field = kColourNormal;
  if (id % 2 == 0) {
    field = kColourEmphasis;
  } else if (id % 3 == 0) {
    field = kColourError;
  } else if (id % 4 == 0) {
    field = kColour21;
  } else if (id % 5 == 0) {
    field = kColour22;
  }
  SetTraceColour(Klib().Colour(field));
  Trace("\r\n\t%s is number %d and it is a sunny day today baby wParam %d, lParam %d !.\r\n", Name(),
        static_cast<int>(id), static_cast<int>(message.param), static_cast<int>(message.word3));
}

void COrvSok::TraceUnknownMessage(const DMessage& message) {
  if (message.id >= THRDMSG_BASE) {
    TraceLine("\t%s %s Error KPM, msg %d, wP %d, lP %d, PT %d, Way %d.", LogTag(), Name(),
              static_cast<int>(message.id - THRDMSG_BASE), static_cast<int>(message.param),
              static_cast<int>(message.word3), static_cast<int>(PeerKind()), static_cast<int>(WayId()));
  } else {
    TraceLine("\t%s %s Error WPM, msg 0x%X, wP %d, lP %d, PT %d, Way %d.", LogTag(), Name(), message.id,
              static_cast<int>(message.param), static_cast<int>(message.word3), static_cast<int>(PeerKind()),
              static_cast<int>(WayId()));
  }
}

// ---- Sending ----

std::int32_t COrvSok::SendFrame(FrameHeader header, std::span<const std::uint8_t> body) {
  if (body.size() > 0xFFFFFFFFu) return -1;
  if (!IsConnected()) return 0;
  header.length = static_cast<std::uint32_t>(body.size());
  std::int32_t worst = 0;
  for (const std::uint8_t byte : WriteFrameSync(FrameSync())) worst = std::min(worst, Send(&byte, 1, true, "WBTP"));
  const FrameHeaderBytes bytes = WriteFrameHeader(header);
  worst = std::min(worst, Send(bytes.data(), static_cast<std::uint32_t>(bytes.size()), true, "WBTP"));
  if (!body.empty()) {
    worst = std::min(worst, Send(body.data(), static_cast<std::uint32_t>(body.size()), true, "WBTP"));
  }
  if (worst < 0) return worst;
  return IsConnected() ? 1 : 0;
}

std::int32_t COrvSok::SendCompressedRecord(FrameHeader header, std::span<const std::uint8_t> record) {
  std::vector<std::uint8_t> frame;
  const std::int32_t packed = BuildCompressedFrame(FrameSync(), header, record, frame);
  if (packed != 0) return packed < 0 ? packed : -1;
  if (!IsConnected()) return 0;
  const std::int32_t sent = Send(frame.data(), static_cast<std::uint32_t>(frame.size()), true, "WBTP");
  if (sent < 0) return sent;
  return IsConnected() ? 1 : 0;
}

std::int32_t COrvSok::SendTextOnAir() {
  // The text the message carried; without one, what the way record holds.
  std::optional<TextOnAirRecord> carried;
  if (PendingPayload() >= kTextOnAirRecordSize) {
    TextOnAirRecordBytes bytes{};
    PopData(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    carried = ReadTextOnAirRecord(bytes);
  }
  DropPendingPayload();
  if (record_ == nullptr) return 0;
  TextOnAirRecord text;
  std::array<char, kWayNameSize + 1> callsign{};
  {
    WayTableGuard guard;
    if (carried) {
      text = *carried;
    } else {
      text.text = std::string(FieldText(record_->outgoingText));
      text.frequencyMhz = record_->onAirFrequencyMhz;
    }
    const std::string_view cs = FieldText(record_->callsign);
    cs.copy(callsign.data(), std::min(cs.size(), kWayNameSize));
  }
  text.sender = PilotCallsign();
  outgoingHeader_ = FrameHeader{};
  outgoingHeader_.type = NCSMSG_TEXT_ON_AIR;
  const TextOnAirRecordBytes bytes = WriteTextOnAirRecord(text);
  const std::int32_t result = SendCompressedRecord(outgoingHeader_, bytes);
  if (result < 0) {
    TraceLine("ZAYAR01 : Error %d", static_cast<int>(result));
    return result;
  }
  if (Klib().TraceBit(20)) TraceLine("\t%s %s Tx NCSMSG_TEXT_ON_AIR -> %s", LogTag(), Name(), callsign.data());
  return result;
}

std::int32_t COrvSok::SendTextPrivate() {
  std::optional<PrivateTextRecord> carried;
  if (PendingPayload() >= kPrivateTextRecordSize) {
    PrivateTextRecordBytes bytes{};
    PopData(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    carried = ReadPrivateTextRecord(bytes);
  }
  DropPendingPayload();
  if (record_ == nullptr) return 0;
  PrivateTextRecord text;
  std::array<char, kWayNameSize + 1> callsign{};
  bool addressed = false;
  {
    WayTableGuard guard;
    if (carried) {
      text = *carried;
    } else {
      text.text = std::string(FieldText(record_->outgoingText));
      text.recipient = std::string(FieldText(record_->privateTextCallsign));
    }
    const std::string_view cs = FieldText(record_->callsign);
    // The way may have been handed to another peer since the text was
    // addressed: it is his only while he still bears the callsign.
    addressed = (record_->stateFlags & kWayAllocated) != 0 && AsciiEqualNoCase(cs, text.recipient);
    cs.copy(callsign.data(), std::min(cs.size(), kWayNameSize));
  }
  if (!addressed) {
    if (Klib().TraceBit(20)) {
      TraceLine("\t%s %s Tx NCSMSG_TEXT_PRIVATE %s not sent to %s", LogTag(), Name(), text.recipient.c_str(),
                callsign.data());
    }
    return 0;
  }
  text.sender = PilotCallsign();
  outgoingHeader_ = FrameHeader{};
  outgoingHeader_.type = NCSMSG_TEXT_PRIVATE;
  const PrivateTextRecordBytes bytes = WritePrivateTextRecord(text);
  const std::int32_t result = SendCompressedRecord(outgoingHeader_, bytes);
  if (result < 0) {
    TraceLine("ZAYAR01 : Error %d", static_cast<int>(result));
    return result;
  }
  if (Klib().TraceBit(20)) {
    TraceLine("\t%s %s Tx NCSMSG_TEXT_PRIVATE %s -> %s", LogTag(), Name(), text.recipient.c_str(), callsign.data());
  }
  return result;
}

// ---- Links to neighbours named by the node ----

void COrvSok::TakePeerKind(char kind) {
  SetPeerKind(kind);
  if (kind == 'P') {
    SetSelectTimeoutUs(kPilotSelectTimeoutUs);
    sleepTime_ = 1;
  } else if (kind == 'A') {
    SetSelectTimeoutUs(kControllerSelectTimeoutUs);
  }
}

void COrvSok::NameAfterCallsign() {
  std::array<char, kWayNameSize + 1> callsign{};
  {
    WayTableGuard guard;
    const std::string_view cs = FieldText(record_->callsign);
    cs.copy(callsign.data(), std::min(cs.size(), kWayNameSize));
  }
  std::array<char, 64> name{};
  std::snprintf(name.data(), name.size(), "[DSOCK %d = %s]", static_cast<int>(WayId()), callsign.data());
  SetName(name.data());
}

void COrvSok::ConnectNeighbour(const DMessage& message) {
  const std::uint32_t length = std::min(message.word3, PendingPayload());
  if (length >= neighbourBlock_.size()) PopData(neighbourBlock_.data(), static_cast<std::uint32_t>(neighbourBlock_.size()));
  if (record_ == nullptr) {
    TraceLine("%s %s Error THRDMSG_CONNECT_NEIGHBOUR on way %d", LogTag(), Name(), static_cast<int>(WayId()));
    return;
  }
  const std::span<const std::uint8_t> block(neighbourBlock_);
  const char kind = static_cast<char>(block[kBlockKindOffset]);
  const std::uint32_t address = GetU32At(block, kBlockAddressOffset);
  const std::uint16_t blockPort = GetU16LeAt(block, kBlockPortOffset);
  const bool tunnelled = (block[kBlockFlagsOffset] & kNeighbourTunnelled) != 0;
  const auto callsign = BlockText(block, kBlockCallsignOffset);
  TakePeerKind(kind);
  NameAfterCallsign();
  {
    WayTableGuard guard;
    record_->peerKind = kind;
    record_->peerAddress = address;
    record_->peerPort = blockPort;
  }
  const std::string publicAddress = OwnPublicAddress();
  std::string host;
  WORD port = 0;
  if (!tunnelled) {
    host = DottedText(address);
    port = blockPort;
  } else {
    const COrvSok* node = NodeWay();
    if (node == nullptr) {
      TraceLine("%s %s System Error SYSERR_4250 : %s ", LogTag(), Name(), callsign.data());
      Disconnect("PCB0");
      ClearWayRecord(WayId(), "PCB0");
      return;
    }
    host = node->ConnectedHost();
    port = node->ConnectedPort();
    const std::string lan = LanAddressSetting();
    if (!lan.empty() && SameHostAddress(publicAddress, host)) host = lan;
  }
  if (SameHostAddress(publicAddress, host)) host = kLoopbackText;
  if (tunnelled) {
    tunnelBody_.fill(0);
    tunnelBody_[kBlockFlagsOffset] = 1;
    tunnelBody_[kBlockKindOffset] = 'P';
    PutTextAt(tunnelBody_, kTunnelPeerCallsignOffset, callsign.data());
    PutTextAt(tunnelBody_, kTunnelOwnCallsignOffset, PilotCallsign());
    std::memcpy(tunnelBody_.data() + kBlockAddressOffset, &address, sizeof address);
    PutU16LeAt(tunnelBody_, kBlockPortOffset, port);
  }
  if (ConnectWay(host.c_str(), port) != 0) {
    TraceLine("%s %s : Failed to connect %s on %s:%d.", LogTag(), Name(), callsign.data(), HostText(),
              static_cast<int>(port));
    RequestDisconnect("CANTCONN");
    return;
  }
  if (tunnelled) {
    Post(this, this, THRDMSG_REQ_TUNNCONNECT, 0, 0, "PZGN1002");
  } else {
    Post(this, this, THRDMSG_CONNECT, 0, 0, "PZGN1003");
  }
}

void COrvSok::ConnectTunnelled(const DMessage& message) {
  const std::uint32_t length = std::min(message.word3, PendingPayload());
  if (length >= tunnelRequestBlock_.size()) {
    PopData(tunnelRequestBlock_.data(), static_cast<std::uint32_t>(tunnelRequestBlock_.size()));
  }
  if (record_ == nullptr) {
    TraceLine("%s %s Error THRDMSG_CONNECT_TUNNELLED on way %d", LogTag(), Name(), static_cast<int>(WayId()));
    return;
  }
  const std::span<const std::uint8_t> block(tunnelRequestBlock_);
  const char kind = static_cast<char>(block[kBlockKindOffset]);
  const auto callsign = BlockText(block, kBlockCallsignOffset);
  const auto requester = BlockText(block, kTunnelRequestNameOffset);
  std::memcpy(peerName_.data(), requester.data(), peerName_.size() - 1);
  peerName_.back() = '\0';
  TakePeerKind(kind);
  const COrvSok* node = NodeWay();
  if (node == nullptr) {
    if (Klib().TraceBit(16)) TraceLine("TunnFailed !");
    Disconnect("PCB4");
    return;
  }
  std::string host = node->ConnectedHost();
  const WORD port = node->ConnectedPort();
  if (SameHostAddress(OwnPublicAddress(), host)) {
    const std::string lan = LanAddressSetting();
    host = lan.empty() ? std::string(kLoopbackText) : lan;
  }
  NameAfterCallsign();
  in_addr chosen{};
  if (inet_pton(AF_INET, host.c_str(), &chosen) != 1) chosen.s_addr = 0;
  {
    WayTableGuard guard;
    record_->peerKind = kind;
    record_->peerAddress = chosen.s_addr;
    record_->peerPort = GetU16LeAt(block, kBlockPortOffset);
  }
  tunnelBody_.fill(0);
  tunnelBody_[kBlockKindOffset] = static_cast<std::uint8_t>(kind);
  tunnelBody_[kBlockFlagsOffset] = 1;
  PutTextAt(tunnelBody_, kTunnelPeerCallsignOffset, callsign.data());
  PutTextAt(tunnelBody_, kTunnelOwnCallsignOffset, PilotCallsign());
  std::memcpy(tunnelBody_.data() + kBlockAddressOffset, block.data() + kBlockAddressOffset, 6);
  if (ConnectWay(host.c_str(), port) != 0) {
    if (Klib().TraceBit(16)) TraceLine("TunnFailed !");
    Disconnect("PCB4");
    return;
  }
  Post(this, this, THRDMSG_ACK_TUNNCONNECTME, 0, 0, "PZGN1004");
}
