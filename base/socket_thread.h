// A thread that owns one socket, a receive ring and a send ring: the
// address handling, connect, accept, disconnect and the send paths.
// Only the socket's own thread touches the socket and the rings; other
// threads post THRDMSG_SEND with the bytes, or their own message ids.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "base/base_thread.h"
#include "base/byte_ring.h"
#include "win/winsock.h"

constexpr DWORD SOCK_MODE_TCP = 1;
constexpr DWORD SOCK_MODE_UDP = 2;
constexpr DWORD SOCK_MODE_MULTICAST = 3;

// A single-byte read of an empty receive ring; outside the byte range.
constexpr DWORD RX_NO_BYTE = 0xF7B2;

constexpr DWORD kSocketThreadKind = 10;
constexpr DWORD kDefaultRecvBufferSize = 0x18000;
constexpr DWORD kDefaultSendBufferSize = 8192;
constexpr DWORD kInitialBlockSize = 960;
constexpr std::size_t kSocketHostNameSize = 128;
constexpr std::size_t kSocketServiceNameSize = 128;
constexpr std::size_t kSocketReasonSize = 1024;
constexpr std::uint32_t kFlushBlockSize = 51'200;
// A send that moves no byte for this long ends the link: the peer has stopped reading.
constexpr DWORD kSendStallLimitMs = 5'000;
// How long one wait for room in the socket's send buffer lasts before the
// clock and an asked loss are looked at again.
constexpr DWORD kSendWaitSliceMs = 100;
// The loss reasons of a send that made no progress in time, and of a link
// whose thread's queue stayed full for a post that must not be dropped.
constexpr char kSendStallReason[] = "SNDSTALL";
constexpr char kQueueFullReason[] = "QUEUEFULL";

// First word of every socket trace line.
constexpr const char* kSocketTraceTag = "app_KLIB";

class CSoketK : public CBaseThread {
 public:
  CSoketK(void* ownerSlot, const char* name, DWORD kind = kSocketThreadKind);
  ~CSoketK() override;

  DWORD ProcessMessage(const DMessage& message) override;

  // ---- Set-up and addresses ----
  std::int32_t InitBuffers(void* ownerSlot, DWORD mode, DWORD rxSize, DWORD txSize, DWORD rcvBuf, DWORD sndBuf);
  std::int32_t FillAddr(bool useHostName);
  std::int32_t GetHost(char* nameOut, std::size_t nameSize, WORD* portOut) const;
  std::int32_t GetPeer();
  std::int32_t SetRecvBufferMaxSize(DWORD size, const char* callerTag);
  std::int32_t SetSendBufferMaxSize(DWORD size, const char* callerTag);
  std::int32_t CheckSocket(SOCKET s);

  // ---- Connections ----
  std::int32_t Connect(const char* host, WORD port, const char* service);
  std::int32_t Accept(SOCKET listening);
  // The rest of Accept, for a call another thread accepted and handed over:
  // the socket is this object's from the call on (closed on failure).
  std::int32_t AdoptAcceptedSocket(SOCKET s);
  void OnConnected();
  void Disconnect(const char* reason);
  // The only operation meant for other threads: it posts, the disconnect runs on the socket's thread.
  void RequestDisconnect(const char* reason);
  std::int32_t CloseSocket();
  // Virtual so that the way classes can add their own resets to every loss.
  virtual void ConnectionLost(const char* reason);
  void ShutdownAndStop(DWORD exitCode);
  void AbortOnSelectError(DWORD code);

  // ---- Receive ring ----
  DWORD FillRxBuf(const std::uint8_t* data, std::uint32_t n);
  std::uint32_t RxRead(std::uint8_t* destination, std::uint32_t n);
  DWORD RxReadByte();
  std::uint32_t RxReadUpTo(std::uint8_t* destination, std::uint32_t n);
  std::uint32_t RxSkip(std::uint32_t n);
  std::uint32_t RxUsed() const { return RingUsed(rx_); }
  std::uint32_t RxFree() const { return RingFree(rx_); }
  std::uint32_t RxCapacity() const { return rx_.capacity; }
  std::uint32_t RxFillPercent() const;
  void ResetRx();

  // ---- Sending ----
  // Send and SendDirect are virtual so that a subclass can watch or divert what goes out.
  virtual std::int32_t Send(const void* data, std::uint32_t length, bool buffered, const char* callerTag);
  virtual std::int32_t SendDirect(const void* data, std::uint32_t length, const char* callerTag);
  std::int32_t SendBuffered(const void* data, std::uint32_t length, const char* callerTag, std::uint8_t xorKey);
  std::int32_t FlushTx(int callPoint);
  std::int32_t Flush(int callPoint) { return FlushTx(callPoint); }
  std::int32_t SendStream(const void* data, std::uint32_t length, const char* callerTag);
  std::int32_t SendDatagram(const void* data, std::uint32_t length, const char* callerTag);
  std::uint32_t TxUsed() const { return RingUsed(tx_); }
  std::uint32_t TxFree() const { return RingFree(tx_); }
  // Any thread: how many waits for room in the socket, since the last byte a
  // send moved, ended with no room (0 while no send waits for the peer).
  std::uint32_t SendStalledWaits() const { return stalledWaits_.load(std::memory_order_acquire); }
  // The clock (GetTickCount) at the first send, since the last byte moved, that could not move one.
  DWORD SendStalledSince() const { return stalledSince_.load(std::memory_order_acquire); }

  // ---- Loss asked by another thread ----
  // Any thread: the link is to end by the loss path, on the socket's own
  // thread, at its next pass or while a send waits.
  void AskConnectionLoss() { lossAsked_.store(true, std::memory_order_release); }
  bool ConnectionLossAsked() const { return lossAsked_.load(std::memory_order_acquire); }
  // The socket's thread: runs an asked loss on a link that is up; true when it did.
  bool TakeAskedLoss();

  // ---- State ----
  // IsConnected, IsLost and the byte counters may be read from any thread; the rest belongs to the socket's thread.
  DWORD Mode() const { return mode_; }
  SOCKET Socket() const { return socket_; }
  SOCKET SecondSocket() const { return secondSocket_; }
  bool IsConnected() const { return connected_.load(std::memory_order_acquire) != 0; }
  bool IsLost() const { return lost_.load(std::memory_order_acquire) != 0; }
  bool PeerKnown() const { return peerKnown_; }
  const sockaddr_in& PeerAddress() const { return peerAddress_; }
  const sockaddr_in& ResolvedAddress() const { return resolved_; }
  const sockaddr_in& DatagramSender() const { return datagramFrom_; }
  const char* HostName() const { return hostName_.data(); }
  const char* ServiceName() const { return serviceName_.data(); }
  WORD Port() const { return port_; }
  DWORD SendBlockSize() const { return sendBlockSize_; }
  DWORD RecvBlockSize() const { return recvBlockSize_; }
  // The byte counters may be read, and taken, from any thread.
  DWORD BytesSent() const { return bytesSent_.load(std::memory_order_relaxed); }
  DWORD BytesReceived() const { return bytesReceived_.load(std::memory_order_relaxed); }
  // The count so far, the counter starting again from 0 (no byte counted in between is lost).
  DWORD TakeBytesSent() { return bytesSent_.exchange(0, std::memory_order_relaxed); }
  DWORD TakeBytesReceived() { return bytesReceived_.exchange(0, std::memory_order_relaxed); }
  DWORD PendingReads() const { return pendingReads_; }
  const char* LostReason() const { return reason_.data(); }
  bool SentAll() const { return sentAll_; }
  void* SocketOwnerSlot() const { return socketOwnerSlot_; }

 protected:
  // The multicast receive socket of mode 3, opened by the class that joins the group.
  void SetSecondSocket(SOCKET s) { secondSocket_ = s; }
  void KeepReason(const char* reason);
  void SetLost(bool lost) { lost_.store(lost ? 1 : 0, std::memory_order_release); }
  void SetConnected(bool connected) { connected_.store(connected ? 1 : 0, std::memory_order_release); }
  void ClearPendingReads() { pendingReads_ = 0; }
  void AddPendingRead() { ++pendingReads_; }
  void TakePendingRead() {
    if (pendingReads_ != 0) --pendingReads_;
  }
  sockaddr_in* DatagramSenderSlot() { return &datagramFrom_; }

 private:
  using SendCall = int (*)(CSoketK& self, const std::uint8_t* data, std::size_t length);
  std::int32_t SendLoop(const void* data, std::uint32_t length, SendCall send);
  // One failed send of a loop: 0 to retry, else the loop's result.
  std::int32_t SendFailure(bool blockLoop, int wsaError, int& failuresInRow);
  // A send that moved nothing waits for room in the socket: 0 to try again;
  // else the link was lost (stalled too long, or a loss was asked) and the
  // send's result is given.
  std::int32_t WaitForSendRoom(DWORD stalledSince);
  // A stalled link ends with a reset: its unsent bytes would never go.
  void ResetOnClose();
  void CountReceived(std::uint32_t n);
  void CountSent(std::uint32_t n);
  void EmptyRings();
  void CloseQuietly(SOCKET& s);
  void DropMulticastMembership();
  void PostDisconnection(const char* reason);
  std::int32_t OpenAndConnect();

  DWORD mode_ = SOCK_MODE_TCP;
  void* socketOwnerSlot_ = nullptr;
  SOCKET socket_ = INVALID_SOCKET;
  SOCKET secondSocket_ = INVALID_SOCKET;
  std::atomic<DWORD> connected_{0};
  std::atomic<DWORD> lost_{0};
  sockaddr_in peerAddress_{};
  bool peerKnown_ = false;
  std::array<char, kSocketHostNameSize> hostName_{};
  std::array<char, kSocketServiceNameSize> serviceName_{};
  WORD port_ = 0;
  sockaddr_in resolved_{};
  sockaddr_in datagramFrom_{};
  ByteRing rx_;
  ByteRing tx_;
  std::unique_ptr<std::uint8_t[]> rxStorage_;
  std::size_t rxStorageSize_ = 0;
  std::unique_ptr<std::uint8_t[]> txStorage_;
  std::size_t txStorageSize_ = 0;
  DWORD recvBufferSize_ = kDefaultRecvBufferSize;
  DWORD sendBufferSize_ = kDefaultSendBufferSize;
  DWORD sendBlockSize_ = kInitialBlockSize;
  DWORD recvBlockSize_ = kInitialBlockSize;
  std::atomic<DWORD> bytesSent_{0};
  std::atomic<DWORD> bytesReceived_{0};
  DWORD pendingReads_ = 0;
  std::array<char, kSocketReasonSize> reason_{};
  bool sentAll_ = false;
  std::atomic<std::uint32_t> stalledWaits_{0};
  std::atomic<DWORD> stalledSince_{0};
  std::atomic<bool> lossAsked_{false};
  // Blocks taken from the send ring by a flush; a member so that a flush costs no allocation.
  std::unique_ptr<std::array<std::uint8_t, kFlushBlockSize>> flushBlock_;
};
