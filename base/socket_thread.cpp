#include "base/socket_thread.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/circ_buf.h"
#include "base/klib_settings.h"
#include "base/winsock_error_codes.h"
#include "win/clock.h"

namespace {
constexpr COLORREF kInitFailureColour = 0x1010FF;
constexpr COLORREF kModeErrorColour = 0x1EF0FB;
constexpr std::size_t kRingSlack = 16;
constexpr DWORD kMulticastLeaveDelayMs = 200;
constexpr std::string_view kDisconnectPrefix = "ONDISCNOW by ";

// Reason texts come from messages and peers: never read past the reason buffer's worth.
std::string_view BoundedText(const char* text, std::size_t limit = kSocketReasonSize - 1) {
  if (text == nullptr) return "";
  return {text, strnlen(text, limit)};
}

template <std::size_t N>
void CopyText(std::array<char, N>& to, const char* from) {
  const std::string_view text = BoundedText(from, N - 1);
  std::memcpy(to.data(), text.data(), text.size());
  to[text.size()] = '\0';
}

bool IsOneOf(int value, std::initializer_list<int> list) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

// (Re)allocates the ring storage when its size changes; the ring starts empty.
bool PrepareRing(ByteRing& ring, std::unique_ptr<std::uint8_t[]>& storage, std::size_t& storageSize, DWORD size) {
  const std::size_t needed = std::size_t{size} + kRingSlack;
  if (storage == nullptr || storageSize != needed) {
    storage.reset(new (std::nothrow) std::uint8_t[needed]);
    storageSize = storage == nullptr ? 0 : needed;
    if (storage == nullptr) return false;
  }
  ring.storage = std::span<std::uint8_t>(storage.get(), storageSize);
  RingInit(ring, size);
  return true;
}

void ReleaseRing(ByteRing& ring, std::unique_ptr<std::uint8_t[]>& storage, std::size_t& storageSize) {
  ring.storage = {};
  RingInit(ring, 0);
  storage.reset();
  storageSize = 0;
}

int ClampToInt(DWORD value) { return static_cast<int>(std::min<DWORD>(value, 0x7FFFFFFF)); }
}  // namespace

CSoketK::CSoketK(void* ownerSlot, const char* name, DWORD kind) : CBaseThread(ownerSlot, name, kind) {}

CSoketK::~CSoketK() {
  // The owner stops the thread first; whatever is still open goes with the object.
  CloseQuietly(secondSocket_);
  CloseQuietly(socket_);
}

DWORD CSoketK::ProcessMessage(const DMessage& message) {
  if (Klib().TraceBit(0)) TraceLine("CSoketK::ProcessMessage() = %d", static_cast<int>(message.id - THRDMSG_BASE));
  return 1;
}

// ---- Set-up and addresses ----

std::int32_t CSoketK::InitBuffers(void* ownerSlot, DWORD mode, DWORD rxSize, DWORD txSize, DWORD rcvBuf,
                                  DWORD sndBuf) {
  socketOwnerSlot_ = ownerSlot;
  mode_ = mode;
  recvBufferSize_ = rcvBuf;
  sendBufferSize_ = sndBuf;
  if (!PrepareRing(rx_, rxStorage_, rxStorageSize_, rxSize)) {
    SetTraceColour(kInitFailureColour);
    TraceLine("%s %s : Error INISTP: could not allocate Rx buffer.", kSocketTraceTag, Name());
    return -1;
  }
  if (!PrepareRing(tx_, txStorage_, txStorageSize_, txSize)) {
    ReleaseRing(rx_, rxStorage_, rxStorageSize_);
    SetTraceColour(kInitFailureColour);
    TraceLine("%s %s : Error INISTP: could not allocate Tx buffer.", kSocketTraceTag, Name());
    return -2;
  }
  return 0;
}

std::int32_t CSoketK::FillAddr(bool useHostName) {
  resolved_ = sockaddr_in{};
  resolved_.sin_family = AF_INET;
  if (useHostName) {
    in_addr address{};
    if (ResolveHostIPv4(hostName_.data(), &address) != 0) {
      TraceLine("%s %s : Warning : Host %s not found.", kSocketTraceTag, Name(), hostName_.data());
      return -1;
    }
    resolved_.sin_addr = address;
  } else {
    WsGetHostName(hostName_.data(), hostName_.size());
    resolved_.sin_addr.s_addr = htonl(INADDR_ANY);
  }
  if (serviceName_[0] == '\0') {
    resolved_.sin_port = htons(port_);
    return 0;
  }
  std::uint16_t portNetOrder = 0;
  const int error = LookupTcpServicePort(serviceName_.data(), &portNetOrder);
  if (error != 0) {
    std::array<char, 256> detail{};
    std::snprintf(detail.data(), detail.size(), "%d is the error. Make sure this is a valid TCP service (%s).", error,
                  serviceName_.data());
    TraceLine("%s %s Warning : FillAddr Error on getservbyname() = %s", kSocketTraceTag, Name(), detail.data());
    return -2;
  }
  resolved_.sin_port = portNetOrder;
  return 0;
}

std::int32_t CSoketK::GetHost(char* nameOut, std::size_t nameSize, WORD* portOut) const {
  if (nameOut == nullptr || portOut == nullptr || nameSize == 0) return -1;
  const std::string_view name = BoundedText(hostName_.data(), std::min(nameSize - 1, hostName_.size() - 1));
  std::memcpy(nameOut, name.data(), name.size());
  nameOut[name.size()] = '\0';
  *portOut = port_;
  return 0;
}

std::int32_t CSoketK::GetPeer() {
  if (WsGetPeerName(socket_, &peerAddress_) != 0) return -1;
  peerKnown_ = true;
  return 0;
}

std::int32_t CSoketK::SetRecvBufferMaxSize(DWORD size, const char* callerTag) {
  sockaddr_in name{};
  std::int32_t result = 0;
  if (WsGetSockName(socket_, &name) != 0) {
    result = -10;
  } else if (WsSetSockOptInt(socket_, SOL_SOCKET, SO_RCVBUF, ClampToInt(size)) != 0) {
    result = -20;
  }
  if (result != 0 && !Klib().Exiting()) {
    TraceLine("%s %s : SetRecvBufferMaxSize Error %d : size %d. Caller %s", kSocketTraceTag, Name(), WSAGetLastError(),
              ClampToInt(size), callerTag != nullptr ? callerTag : "");
  }
  return result;
}

std::int32_t CSoketK::SetSendBufferMaxSize(DWORD size, const char* callerTag) {
  sockaddr_in name{};
  std::int32_t result = 0;
  if (WsGetSockName(socket_, &name) != 0) {
    result = -10;
  } else if (WsSetSockOptInt(socket_, SOL_SOCKET, SO_SNDBUF, ClampToInt(size)) != 0) {
    result = -20;
  }
  if (result != 0 && !Klib().Exiting()) {
    TraceLine("%s %s : SetSendBufferMaxSize Error %d : size %d. Caller %s", kSocketTraceTag, Name(), WSAGetLastError(),
              ClampToInt(size), callerTag != nullptr ? callerTag : "");
  }
  return result;
}

std::int32_t CSoketK::CheckSocket(SOCKET s) {
  // Errors that say "try later" rather than "this socket is wrong".
  const auto transient = [](int error) {
    return IsOneOf(error, {WSAEWOULDBLOCK, WSAECONNABORTED, WSAECONNRESET, WSAEINPROGRESS, WSAENOBUFS});
  };
  int value = 0;
  if (WsGetSockOptInt(s, SOL_SOCKET, SO_SNDBUF, &value) != 0) {
    const int error = WSAGetLastError();
    if (!transient(error)) return SocketCheckErrorCode(error);
    TraceLine("%s %s Warning : getsockopt() failed SO_SNDBUF, error code is : %s", kSocketTraceTag, Name(),
              WsaErrorNameOr(error, "?"));
    return -1;
  }
  sendBlockSize_ = static_cast<DWORD>(std::max(value, 0));
  if (WsGetSockOptInt(s, SOL_SOCKET, SO_RCVBUF, &value) != 0) {
    const int error = WSAGetLastError();
    if (!transient(error)) return SocketCheckErrorCode(error);
    TraceLine("%s %s Warning : getsockopt() failed SO_RCVBUF, error code is : %s", kSocketTraceTag, Name(),
              WsaErrorNameOr(error, "?"));
    return -1;
  }
  recvBlockSize_ = static_cast<DWORD>(std::max(value, 0));
  return 0;
}

// ---- Connections ----

void CSoketK::EmptyRings() {
  RingReset(rx_);
  RingReset(tx_);
  pendingReads_ = 0;
}

void CSoketK::CloseQuietly(SOCKET& s) {
  if (s == INVALID_SOCKET) return;
  closesocket(s);
  s = INVALID_SOCKET;
}

std::int32_t CSoketK::Connect(const char* host, WORD port, const char* service) {
  EmptyRings();
  if (mode_ != SOCK_MODE_TCP) {
    SetTraceColour(kModeErrorColour);
    TraceLine("%s %s System Error SOKERR_1000 ", kSocketTraceTag, Name());
    return -900;
  }
  CopyText(hostName_, host);
  CopyText(serviceName_, service);
  port_ = port;
  // A reconnect must not leak the descriptor of the previous connection.
  CloseQuietly(socket_);
  SetConnected(false);
  return OpenAndConnect();
}

std::int32_t CSoketK::OpenAndConnect() {
  const SOCKET s = WsSocket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return -1;
  try {
    if (FillAddr(true) != 0) return closesocket(s) == 0 ? -2 : -200;
  } catch (...) {
    closesocket(s);
    return -201;
  }
  try {
    if (WsConnect(s, resolved_) != 0) return closesocket(s) == 0 ? -3 : -300;
  } catch (...) {
    closesocket(s);
    return -301;
  }
  socket_ = s;
  SetRecvBufferMaxSize(recvBufferSize_, "Connect");
  SetSendBufferMaxSize(sendBufferSize_, "Connect");
  if (CheckSocket(socket_) != 0) {
    CloseQuietly(socket_);
    return -10;
  }
  OnConnected();
  return 0;
}

std::int32_t CSoketK::Accept(SOCKET listening) {
  if (mode_ != SOCK_MODE_TCP) return AdoptAcceptedSocket(INVALID_SOCKET);
  const SOCKET s = WsAccept(listening, nullptr);
  if (s == INVALID_SOCKET) {
    EmptyRings();
    return -10;
  }
  return AdoptAcceptedSocket(s);
}

std::int32_t CSoketK::AdoptAcceptedSocket(SOCKET s) {
  EmptyRings();
  if (mode_ != SOCK_MODE_TCP) {
    TraceLine("%s %s System Error SOKERR_1010 ", kSocketTraceTag, Name());
    if (s != INVALID_SOCKET) closesocket(s);
    return -35;
  }
  if (s == INVALID_SOCKET) return -10;
  CloseQuietly(socket_);
  socket_ = s;
  SetRecvBufferMaxSize(recvBufferSize_, "Accept");
  SetSendBufferMaxSize(sendBufferSize_, "Accept");
  if (CheckSocket(socket_) != 0) {
    CloseQuietly(socket_);
    return -10;
  }
  OnConnected();
  return 0;
}

void CSoketK::OnConnected() {
  peerKnown_ = false;
  if (mode_ != SOCK_MODE_MULTICAST) GetPeer();
  bytesSent_.store(0, std::memory_order_relaxed);
  bytesReceived_.store(0, std::memory_order_relaxed);
  // A loss asked for the previous link is not this one's.
  lossAsked_.store(false, std::memory_order_release);
  SetLost(false);
  SetConnected(true);
  Post(this, this, THRDMSG_DISCONNECTION, 1, 0, "CONNECT");
  sentAll_ = true;
}

void CSoketK::DropMulticastMembership() {
  ip_mreq request{};
  std::uint32_t group = 0;
  ParseDottedIPv4Strict(hostName_.data(), &group);
  request.imr_multiaddr.s_addr = group;
  request.imr_interface.s_addr = htonl(INADDR_ANY);
  if (setsockopt(secondSocket_, IPPROTO_IP, IP_DROP_MEMBERSHIP, &request, sizeof request) != 0) {
    TraceLine("%s %s System Error SOKERR_1175 ( WSA %d )", kSocketTraceTag, Name(), WsaErrorFromErrno(errno));
  }
}

void CSoketK::PostDisconnection(const char* reason) {
  std::string text(kDisconnectPrefix);
  text.append(BoundedText(reason));
  PostData(this, this, THRDMSG_DISCONNECTION, 0, static_cast<std::uint32_t>(text.size()), text.data(), "KLCAL3");
}

void CSoketK::Disconnect(const char* reason) {
  SetConnected(false);
  pendingReads_ = 0;
  if (socket_ != INVALID_SOCKET) {
    WsShutdown(socket_, SD_BOTH);
    CloseQuietly(socket_);
  }
  if (mode_ == SOCK_MODE_MULTICAST && secondSocket_ != INVALID_SOCKET) {
    DropMulticastMembership();
    Sleep(kMulticastLeaveDelayMs);
    WsShutdown(secondSocket_, SD_BOTH);
    CloseQuietly(secondSocket_);
  }
  PostDisconnection(reason);
  sentAll_ = true;
}

void CSoketK::RequestDisconnect(const char* reason) {
  const char* text = reason != nullptr ? reason : "";
  PostData(this, this, THRDMSG_DISCONNECT, 0, static_cast<std::uint32_t>(std::strlen(text)), text, "KLCAL2");
}

std::int32_t CSoketK::CloseSocket() {
  if (closesocket(socket_) != 0) {
    const int error = WSAGetLastError();
    if (Klib().TraceBit(0)) {
      TraceLine("%s %s closesocket : %s / %d", kSocketTraceTag, Name(), CloseErrorName(error), error);
    }
    return -1;
  }
  socket_ = INVALID_SOCKET;
  SetConnected(false);
  Post(this, this, THRDMSG_DISCONNECTION, 0, 0, "XCLOSE");
  return 0;
}

void CSoketK::KeepReason(const char* reason) { CopyText(reason_, reason); }

void CSoketK::ConnectionLost(const char* reason) {
  const std::string_view text = BoundedText(reason);
  if (Klib().TraceBit(0)) {
    SetTraceColour(Klib().Colour(kColourEmphasis));
    TraceLine("%s %s Connection lost ( %.*s ) ( %d, %d ).", kSocketTraceTag, Name(), static_cast<int>(text.size()),
              text.data(), 0, 0);
  }
  KeepReason(reason);
  SetLost(true);
  Disconnect(reason_.data());
}

void CSoketK::ShutdownAndStop(DWORD exitCode) {
  if (socket_ != INVALID_SOCKET) WsShutdown(socket_, SD_RECEIVE);
  ResetRx();
  SetStopCountdown(1);
  SetExitCode(exitCode);
}

void CSoketK::AbortOnSelectError(DWORD code) {
  if (socket_ != INVALID_SOCKET) WsShutdown(socket_, SD_RECEIVE);
  ResetRx();
  Post(this, this, THRDMSG_STOP, code, 0, "KLCAL1");
}

// ---- Receive ring ----

DWORD CSoketK::FillRxBuf(const std::uint8_t* data, std::uint32_t n) {
  if (data == nullptr) return RING_NULL_BUFFER;
  if (n == 0) return RING_ZERO_LENGTH;
  // Only this thread drains the ring: waiting for room here could never end well.
  return RingWriteNoWait(rx_, data, n);
}

void CSoketK::CountReceived(std::uint32_t n) {
  bytesReceived_.fetch_add(n, std::memory_order_relaxed);
  Klib().rxByteCount.fetch_add(n, std::memory_order_relaxed);
}

void CSoketK::CountSent(std::uint32_t n) {
  bytesSent_.fetch_add(n, std::memory_order_relaxed);
  Klib().txByteCount.fetch_add(n, std::memory_order_relaxed);
}

std::uint32_t CSoketK::RxRead(std::uint8_t* destination, std::uint32_t n) {
  if (RingRead(rx_, destination, n) != RING_OK) return 0;
  CountReceived(n);
  return n;
}

DWORD CSoketK::RxReadByte() {
  std::uint8_t byte = 0;
  return RxRead(&byte, 1) == 1 ? byte : RX_NO_BYTE;
}

std::uint32_t CSoketK::RxReadUpTo(std::uint8_t* destination, std::uint32_t n) {
  return RxRead(destination, std::min(n, RingUsed(rx_)));
}

std::uint32_t CSoketK::RxSkip(std::uint32_t n) { return RxRead(nullptr, n); }

std::uint32_t CSoketK::RxFillPercent() const {
  if (rx_.capacity == 0) return 0;
  return static_cast<std::uint32_t>(std::uint64_t{RingUsed(rx_)} * 100 / rx_.capacity);
}

void CSoketK::ResetRx() {
  RingReset(rx_);
  pendingReads_ = 0;
}

// ---- Sending ----

std::int32_t CSoketK::Send(const void* data, std::uint32_t length, bool buffered, const char* callerTag) {
  if (!IsConnected()) return 0;
  if (buffered) return SendBuffered(data, length, callerTag, 0);
  try {
    return SendDirect(data, length, "WRITA");
  } catch (...) {
    return -389;
  }
}

std::int32_t CSoketK::SendDirect(const void* data, std::uint32_t length, const char* callerTag) {
  switch (mode_) {
    case SOCK_MODE_TCP:
      return SendStream(data, length, callerTag);
    case SOCK_MODE_UDP:
      return SendDatagram(data, length, callerTag);
    default:
      return -1000;
  }
}

std::int32_t CSoketK::SendBuffered(const void* data, std::uint32_t length, const char* callerTag,
                                   std::uint8_t xorKey) {
  const char* tag = callerTag != nullptr ? callerTag : "";
  if (data == nullptr || length == 0) {
    const DWORD status = data == nullptr ? RING_NULL_BUFFER : RING_ZERO_LENGTH;
    Trace("\r\n%s %s System Error WERR_0010 ( %d, %4.4X, %s )", kSocketTraceTag, Name(), static_cast<int>(length),
          status, tag);
    return -489;
  }
  if (length >= RingFree(tx_)) {
    std::int32_t flushed = FlushTx(3);
    if (flushed >= 0) {
      Sleep(1);
      flushed = FlushTx(4);
    }
    // The failed flush has already ended the connection.
    if (flushed < 0) return flushed;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::vector<std::uint8_t> mixed;
  if (xorKey != 0) {
    // The caller's bytes stay as they are; the ring gets the mixed copy.
    mixed.assign(bytes, bytes + length);
    for (std::uint8_t& byte : mixed) byte ^= xorKey;
    bytes = mixed.data();
  }
  if (CCircBuf::Write(tx_, bytes, length) == RING_OK) return 0;
  if (SendDirect(bytes, length, "SDTT1") == 0) return 0;
  Trace("\r\n%s %s System Error WERR_0001 ( %d, %d, %4.4X, %s )", kSocketTraceTag, Name(), static_cast<int>(length), 1,
        RING_NO_ROOM, tag);
  return -100;
}

std::int32_t CSoketK::FlushTx(int callPoint) {
  // Nowhere to send to; the next connection starts with an empty ring.
  if (!IsConnected()) return 0;
  if (flushBlock_ == nullptr) flushBlock_ = std::make_unique<std::array<std::uint8_t, kFlushBlockSize>>();
  std::uint8_t* block = flushBlock_->data();
  std::int32_t total = 0;
  while (RingUsed(tx_) >= kFlushBlockSize) {
    const DWORD status = RingRead(tx_, block, kFlushBlockSize);
    if (status != RING_OK) {
      TraceLine("%s %s System Error SBDERR_0002 %d / %X / %d", kSocketTraceTag, Name(), callPoint, status, total);
      return -20;
    }
    // The block has left the ring: a failed send would leave a gap in the stream.
    if (SendDirect(block, kFlushBlockSize, "SBDATA A") != 0) {
      // A send that stalled has ended the link already, with its own reason.
      if (IsConnected()) ConnectionLost("SBDATA A");
      return -30;
    }
    total += static_cast<std::int32_t>(kFlushBlockSize);
  }
  const std::uint32_t rest = RingUsed(tx_);
  if (rest == 0) return total;
  const DWORD status = RingRead(tx_, block, rest);
  if (status != RING_OK) {
    TraceLine("%s %s System Error SBDERR_0003 %d / %X / %d", kSocketTraceTag, Name(), callPoint, status, total);
    return -2;
  }
  if (SendDirect(block, rest, "SBDATA B") != 0) {
    if (IsConnected()) ConnectionLost("SBDATA B");
    return -3;
  }
  return total + static_cast<std::int32_t>(rest);
}

std::int32_t CSoketK::SendFailure(bool blockLoop, int wsaError, int& failuresInRow) {
  const bool traced = Klib().TraceBit(0);
  if (traced) {
    const char* prefix = blockLoop ? "Send_0 : Error " : "Send(1) : Error ";
    const char* name = SendErrorName(wsaError);
    if (name != nullptr) {
      TraceLine("%s %s", prefix, name);
    } else {
      TraceLine("%s WHATS : %d", prefix, wsaError);
    }
  }
  const bool retried = IsOneOf(wsaError, {WSAEWOULDBLOCK, WSAECONNABORTED, WSAECONNRESET}) ||
                       (traced && IsOneOf(wsaError, {WSAEINPROGRESS, WSAENOBUFS}));
  if (retried) return ++failuresInRow >= 2 ? (blockLoop ? -3 : -4) : 0;
  if (wsaError == WSAEINPROGRESS) return 42;
  if (wsaError == WSAENOBUFS) return 72;
  return SendErrorCode(wsaError);
}

std::int32_t CSoketK::SendLoop(const void* data, std::uint32_t length, SendCall send) {
  if (!IsConnected()) return -10;
  if (data == nullptr) return 1;
  if (length == 0) return 2;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  const std::uint32_t block = sendBlockSize_;
  std::uint32_t offset = 0;
  int failuresInRow = 0;
  // Since the first attempt that moved nothing; any byte taken starts the count again.
  std::optional<DWORD> stalledSince;
  // One step of either loop: 0 to go on, else the result of the whole send.
  const auto step = [&](std::uint32_t n, bool blockLoop) -> std::int32_t {
    const int sent = send(*this, bytes + offset, n);
    if (sent <= 0) {
      // A send that moves nothing without an error counts as "try again".
      const int error = sent == 0 ? WSAEWOULDBLOCK : WSAGetLastError();
      if (error != WSAEWOULDBLOCK) return SendFailure(blockLoop, error, failuresInRow);
      if (!stalledSince) {
        stalledSince = GetTickCount();
        stalledSince_.store(*stalledSince, std::memory_order_release);
      }
      return WaitForSendRoom(*stalledSince);
    }
    failuresInRow = 0;
    stalledSince.reset();
    stalledWaits_.store(0, std::memory_order_release);
    offset += static_cast<std::uint32_t>(sent);
    CountSent(static_cast<std::uint32_t>(sent));
    return 0;
  };
  std::int32_t result = 0;
  while (result == 0 && block != 0 && length - offset >= block) result = step(block, true);
  while (result == 0 && offset < length) result = step(length - offset, false);
  stalledWaits_.store(0, std::memory_order_release);
  if (result != 0) return result;
  sentAll_ = true;
  return 0;
}

std::int32_t CSoketK::WaitForSendRoom(DWORD stalledSince) {
  constexpr std::int32_t kLostWhileWaiting = -5;
  constexpr std::int32_t kWaitFailed = -6;
  if (TakeAskedLoss()) return kLostWhileWaiting;
  const DWORD stalled = GetTickCount() - stalledSince;
  // A thread that is to end does not wait out the limit for a peer that takes nothing.
  if (stalled >= kSendStallLimitMs || StopRequested() || Klib().Exiting()) {
    TraceLine("%s %s Error send made no progress for %u ms", kSocketTraceTag, Name(), static_cast<unsigned>(stalled));
    ResetOnClose();
    ConnectionLost(kSendStallReason);
    return kLostWhileWaiting;
  }
  // Short waits: the limit is read from the clock, and an asked loss is seen soon.
  std::array<pollfd, 1> writable{pollfd{socket_, POLLOUT, 0}};
  const DWORD waitMs = std::min(kSendWaitSliceMs, kSendStallLimitMs - stalled);
  const int ready = WsPoll(writable, static_cast<int>(waitMs));
  if (ready < 0) return kWaitFailed;
  if (ready == 0) stalledWaits_.fetch_add(1, std::memory_order_acq_rel);
  return 0;
}

void CSoketK::ResetOnClose() {
  if (socket_ == INVALID_SOCKET) return;
  const linger hard{1, 0};
  setsockopt(socket_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
}

bool CSoketK::TakeAskedLoss() {
  if (!lossAsked_.exchange(false, std::memory_order_acq_rel) || !IsConnected()) return false;
  TraceLine("%s %s Error a post found the queue full too long", kSocketTraceTag, Name());
  ResetOnClose();
  ConnectionLost(kQueueFullReason);
  return true;
}

std::int32_t CSoketK::SendStream(const void* data, std::uint32_t length, const char*) {
  // Never blocks: a peer that stops reading is waited for with a limit (WaitForSendRoom).
  return SendLoop(data, length, [](CSoketK& self, const std::uint8_t* bytes, std::size_t n) {
    return WsSend(self.socket_, bytes, n, MSG_DONTWAIT);
  });
}

std::int32_t CSoketK::SendDatagram(const void* data, std::uint32_t length, const char*) {
  return SendLoop(data, length, [](CSoketK& self, const std::uint8_t* bytes, std::size_t n) {
    return WsSendTo(self.socket_, bytes, n, MSG_DONTWAIT, self.resolved_);
  });
}
