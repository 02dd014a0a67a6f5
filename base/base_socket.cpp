#include "base/base_socket.h"

#include <algorithm>

#include "base/klib_settings.h"
#include "base/klib_trace.h"
#include "win/clock.h"

namespace {
constexpr DWORD kEndedSleepMs = 20;
constexpr int kNoReadSetWaitMs = 1'003;
constexpr DWORD kSelectErrorCode = 1103;
constexpr DWORD kInitialIdleCounter = 100;
constexpr short kReadableEvents = POLLIN | POLLHUP | POLLERR;
}  // namespace

CBaseSoc::CBaseSoc(void* ownerSlot, std::int32_t wayId, const char* name, DWORD sleepMs, DWORD word,
                   std::span<std::uint8_t> chunkBuffer)
    : CSoketK(ownerSlot, name, kSocketThreadKind),
      wayId_(wayId),
      frameSync_(Klib().frameSync),
      word_(word),
      chunk_(chunkBuffer) {
  sleepTime_ = std::max<DWORD>(sleepMs, 1);
  configuredSleepTime_ = sleepTime_;
  idleCounter_ = kInitialIdleCounter;
}

// ---- Messages ----

DWORD CBaseSoc::ProcessMessage(const DMessage& message) {
  switch (message.id) {
    case THRDMSG_NOP:
    case THRDMSG_QUIT:
      return 1;
    case THRDMSG_CONNECTION_LOST:
      ConnectionLost("WTCJL");
      return 1;
    case THRDMSG_DISCONNECT:
      HandleDisconnectMessage(message);
      return 1;
    case THRDMSG_SHUTDOWN:
      ShutdownAndStop(message.param);
      return 1;
    case THRDMSG_SUSPEND:
      Suspend(0);
      return 1;
    case THRDMSG_SEND:
      HandleSendMessage(message);
      return 1;
    case THRDMSG_EACH_SECOND:
      ThreadTaskEachSecond();
      return 1;
    default:
      return 0;
  }
}

void CBaseSoc::HandleDisconnectMessage(const DMessage& message) {
  // The third word is only a claim; the queue knows what really follows.
  std::uint32_t length = std::min(message.word3, PendingPayload());
  // A huge reason arrives in pieces; only the last one is kept.
  while (length > kDisconnectPieceSize) {
    PopData(nullptr, kDisconnectPieceSize);
    length -= kDisconnectPieceSize;
  }
  std::array<char, kSocketReasonSize> reason{};
  const std::uint32_t kept = std::min<std::uint32_t>(length, kSocketReasonSize - 1);
  PopData(reason.data(), kept);
  PopData(nullptr, length - kept);
  Disconnect(reason.data());
}

void CBaseSoc::HandleSendMessage(const DMessage& message) {
  std::uint32_t remaining = std::min(message.word3, PendingPayload());
  while (remaining > 0) {
    const std::uint32_t piece = std::min(remaining, kSendPieceSize);
    if (PopData(sendPiece_.data(), piece) == 0) return;
    remaining -= piece;
    Send(sendPiece_.data(), piece, true, piece == kSendPieceSize ? "WTSWH0" : "WTSWH1");
  }
}

void CBaseSoc::OnIdle() { KlibMainTraceLine(Klib().Colour(kColourNormal), "CBaseSoc::OnIdle()"); }

DWORD CBaseSoc::ProcessReceivedBytes() {
  TraceLine("CBaseSoc::ProcessReceivedBytes()");
  return 1;
}

void CBaseSoc::ThreadTaskEachSecond() { TraceLine("CBaseSoc::ThreadTaskEachSecond()"); }

// ---- Loss of a connection ----

void CBaseSoc::ConnectionLost(const char* reason) {
  CSoketK::ConnectionLost(reason);
  ResetIdle();
}

void CBaseSoc::ResetIdle() {
  RestoreName();
  sleepTime_ = configuredSleepTime_;
  selectTimeoutUs_ = 1;
}

// ---- Receiving ----

DWORD CBaseSoc::BuildReadSet() {
  readSetCount_ = 0;
  highestDescriptor_ = INVALID_SOCKET;
  if (!IsConnected()) return 0;
  for (const SOCKET s : {Socket(), SecondSocket()}) {
    if (s == INVALID_SOCKET || readSetCount_ == readSet_.size()) continue;
    const auto present = std::span<const SOCKET>(readSet_.data(), readSetCount_);
    if (std::find(present.begin(), present.end(), s) != present.end()) continue;
    readSet_[readSetCount_++] = s;
    highestDescriptor_ = std::max(highestDescriptor_, s);
  }
  return 1;
}

int CBaseSoc::PassWaitMs() const {
  const DWORD selectMs = (selectTimeoutUs_ + 999) / 1000;
  return static_cast<int>(std::clamp<DWORD>(std::max(sleepTime_, selectMs), 1, 0x7FFFFFFF));
}

void CBaseSoc::WaitIdle(bool wakeOnPost, int waitMs) {
  if (wakeOnPost) {
    WaitForMessage(waitMs);
  } else {
    Sleep(static_cast<DWORD>(waitMs));
  }
  timeCounterUs_ += static_cast<std::uint64_t>(waitMs) * 1000;
}

std::int32_t CBaseSoc::PumpReceive(std::uint32_t wanted) { return Pump(wanted, true, PassWaitMs()); }

// Every pass is a real wait, never a spin: an idle way must cost next to no CPU.
// Connected, the pass waits on its sockets and on the queue's wake descriptor
// together, for up to the sleep time, so an incoming byte or a post ends it at
// once. Not connected, or with a full receive ring (whose bytes only this thread
// can drain), it waits on the queue alone. ReadBytes pumps without the wake
// descriptor: it serves no messages, so a waiting post would end every pass at once.
std::int32_t CBaseSoc::Pump(std::uint32_t wanted, bool wakeOnPost, int waitMs) {
  if (Ended()) {
    Sleep(kEndedSleepMs);
    return -1;
  }
  if (IsConnected()) {
    if (BuildReadSet() == 0 || readSetCount_ == 0) {
      WaitIdle(wakeOnPost, kNoReadSetWaitMs);
      return -20;
    }
    if (RxFree() == 0) {
      // The bytes stay in the socket; the peer is held back by TCP until the ring drains.
      WaitIdle(wakeOnPost, waitMs);
      return 0;
    }
    std::array<pollfd, kMaxReadSet + 1> fds{};
    std::size_t count = 0;
    for (const SOCKET s : ReadSet()) fds[count++] = pollfd{s, POLLIN, 0};
    if (wakeOnPost) fds[count++] = pollfd{QueueWakeFd(), POLLIN, 0};
    const int ready = WsPoll(std::span<pollfd>(fds.data(), count), waitMs);
    timeCounterUs_ += static_cast<std::uint64_t>(waitMs) * 1000;
    if (ready < 0) {
      AbortOnSelectError(kSelectErrorCode);
      return -10;
    }
    ClearPendingReads();
    for (std::size_t i = 0; i < readSetCount_; ++i) {
      if ((fds[i].revents & POLLNVAL) != 0) {
        AbortOnSelectError(kSelectErrorCode);
        return -10;
      }
      if ((fds[i].revents & kReadableEvents) != 0) AddPendingRead();
    }
  } else {
    WaitIdle(wakeOnPost, waitMs);
  }
  if (StopRequested()) return 0;
  return ReceivePending(wanted);
}

std::int32_t CBaseSoc::ReceivePending(std::uint32_t wanted) {
  while (PendingReads() > 0) {
    TakePendingRead();
    // A stream is read only as far as the ring has room, so no byte is ever dropped;
    // a datagram comes whole or not at all.
    const std::size_t room = Mode() == SOCK_MODE_TCP ? std::min<std::size_t>(chunk_.size(), RxFree()) : chunk_.size();
    if (room == 0 && Mode() == SOCK_MODE_TCP) return 0;
    const int received = ReceiveChunk(room);
    if (received == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) continue;
    if (received < -1) {
      TraceLine("%s %s SYSERR_100 ( Code %d, Type %d )", kSocketTraceTag, Name(), received, static_cast<int>(Mode()));
      ConnectionLost("PURB0");
      return -30;
    }
    if (received <= 0) {
      ConnectionLost("PURB2");
      return -40;
    }
    const DWORD status = FillRxBuf(chunk_.data(), static_cast<std::uint32_t>(received));
    if (status == RING_OK) return 1;
    if (status == RING_NO_ROOM) {
      TraceLine("%s %s Error PURB receive buffer is FULL ( %d, %d / %d)", kSocketTraceTag, Name(),
                static_cast<int>(PendingReads()), static_cast<int>(RxUsed()), static_cast<int>(wanted));
    } else {
      TraceLine("%s %s Error PURB FillRxBuf returned 0x%04X ", kSocketTraceTag, Name(), status);
    }
    ConnectionLost("PURB1");
  }
  return 0;
}

int CBaseSoc::ReceiveChunk(std::size_t maxBytes) {
  if (!IsConnected()) return 0;
  const std::size_t n = std::min(maxBytes, chunk_.size());
  if (n == 0) return -2;
  // Readiness may belong to the other socket of the set: never block on this one.
  switch (Mode()) {
    case SOCK_MODE_TCP:
      return WsRecv(Socket(), chunk_.data(), n, MSG_DONTWAIT);
    case SOCK_MODE_UDP:
      return WsRecvFrom(Socket(), chunk_.data(), n, MSG_DONTWAIT, DatagramSenderSlot());
    case SOCK_MODE_MULTICAST:
      return WsRecvFrom(SecondSocket(), chunk_.data(), n, MSG_DONTWAIT, DatagramSenderSlot());
    default:
      return -2;
  }
}

DWORD CBaseSoc::ReadBytes(std::uint8_t* destination, std::uint32_t n, const char*, std::uint8_t xorKey,
                          WORD* errorOut) {
  const auto fail = [errorOut](WORD code) -> DWORD {
    if (errorOut != nullptr) *errorOut = code;
    return 0;
  };
  // More than the ring can ever hold would only wait out the limit.
  if (n > RxCapacity()) return fail(READ_ERR_SHORT);
  const DWORD start = GetTickCount();
  while (RxUsed() < n && IsConnected() && !StopRequested()) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= kReadBytesLimitMs) {
      ResetIdle();
      return fail(READ_ERR_TIMEOUT);
    }
    if (Pump(n, false, static_cast<int>(kReadBytesLimitMs - elapsed)) < 0) break;
  }
  if (RxUsed() < n) return fail(IsConnected() && !IsLost() ? READ_ERR_SHORT : READ_ERR_LOST);
  if (RxRead(destination, n) != n) return fail(READ_ERR_COPY);
  if (destination != nullptr && xorKey != 0) {
    for (std::uint8_t& byte : std::span<std::uint8_t>(destination, n)) byte ^= xorKey;
  }
  return 1;
}
