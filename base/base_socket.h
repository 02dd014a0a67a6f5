// The socket thread of every network way: the message handling common to all
// ways, the receive pump, the blocking read with a time limit and the loss of
// a connection. The connection class derives from it and runs the thread loop:
// pop every message into ProcessMessage, then OnIdle (the receive step), and
// a per-second task.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "base/socket_thread.h"

constexpr std::size_t kMaxReadSet = 128;
constexpr std::uint32_t kSendPieceSize = 20'480;
constexpr std::uint32_t kDisconnectPieceSize = 0x20000;
constexpr DWORD kReadBytesLimitMs = 3'000;

// ReadBytes errors.
constexpr WORD READ_ERR_TIMEOUT = 1005;
constexpr WORD READ_ERR_LOST = 1006;
constexpr WORD READ_ERR_SHORT = 1007;
constexpr WORD READ_ERR_COPY = 1008;

class CBaseSoc : public CSoketK {
 public:
  // chunkBuffer: the buffer every receive fills; the caller owns it and keeps it alive.
  CBaseSoc(void* ownerSlot, std::int32_t wayId, const char* name, DWORD sleepMs, DWORD word,
           std::span<std::uint8_t> chunkBuffer);

  DWORD ProcessMessage(const DMessage& message) override;
  void OnIdle() override;
  // Slot 4: parses what the receive ring holds; 1 when done.
  virtual DWORD ProcessReceivedBytes();
  // Slot 5: countdowns and keep-alives.
  virtual void ThreadTaskEachSecond();

  void ConnectionLost(const char* reason) override;
  // Restores the name, the sleep time and the select timeout after a connection ends.
  void ResetIdle();

  // 0 when not connected, else 1 with the read set rebuilt.
  DWORD BuildReadSet();
  // Waits for bytes or a posted message for up to the sleep time and stores what came:
  // 1 data stored, 0 nothing, negative on failure.
  std::int32_t PumpReceive(std::uint32_t wanted);
  // One receive into the chunk buffer, at most maxBytes: bytes, 0 peer closed (or not
  // connected), SOCKET_ERROR with the WinSock error left as the last error, below -1 for a mode
  // that cannot receive.
  int ReceiveChunk(std::size_t maxBytes);
  // 1 when n bytes were copied (dst null: dropped), else 0 and errorOut (when given) tells why.
  DWORD ReadBytes(std::uint8_t* destination, std::uint32_t n, const char* callerTag, std::uint8_t xorKey,
                  WORD* errorOut);

  std::int32_t WayId() const { return wayId_; }
  std::uint32_t FrameSync() const { return frameSync_; }
  void SetFrameSync(std::uint32_t sync) { frameSync_ = sync; }
  DWORD ConstructionWord() const { return word_; }
  DWORD SelectTimeoutUs() const { return selectTimeoutUs_; }
  void SetSelectTimeoutUs(DWORD microseconds) { selectTimeoutUs_ = microseconds; }
  DWORD SleepTime() const { return sleepTime_; }
  DWORD ConfiguredSleepTime() const { return configuredSleepTime_; }
  DWORD IdleCounter() const { return idleCounter_; }
  std::uint64_t TimeCounterUs() const { return timeCounterUs_; }
  std::span<const SOCKET> ReadSet() const { return {readSet_.data(), readSetCount_}; }
  SOCKET HighestDescriptor() const { return highestDescriptor_; }
  std::span<std::uint8_t> ChunkBuffer() const { return chunk_; }

 private:
  std::int32_t Pump(std::uint32_t wanted, bool wakeOnPost, int waitMs);
  // The wait of one pump pass: the thread's sleep time, or the select timeout when that is longer.
  int PassWaitMs() const;
  // Waits for the queue only (or plainly sleeps when posts must not wake the caller).
  void WaitIdle(bool wakeOnPost, int waitMs);
  std::int32_t ReceivePending(std::uint32_t wanted);
  void HandleDisconnectMessage(const DMessage& message);
  void HandleSendMessage(const DMessage& message);

  std::int32_t wayId_;
  std::uint32_t frameSync_;
  DWORD word_;
  DWORD selectTimeoutUs_ = 1;
  std::span<std::uint8_t> chunk_;
  std::array<SOCKET, kMaxReadSet> readSet_{};
  std::size_t readSetCount_ = 0;
  SOCKET highestDescriptor_ = INVALID_SOCKET;
  std::uint64_t timeCounterUs_ = 0;
  std::array<std::uint8_t, kSendPieceSize> sendPiece_{};
};
