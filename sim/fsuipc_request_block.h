// The FSUIPC request block: reads and writes queued one after another in the
// shared memory the server is handed, ended by a zero word. A read's header
// carries its place in the queue, never an address: the target stays on this
// side, and after the server's answer only the bytes queued for each read are
// copied back, once the block is seen to still hold the read as queued.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

inline constexpr std::size_t kFsuipcBlockSize = 32'768;
// A request that would take the block past this is refused.
inline constexpr std::size_t kFsuipcRequestLimit = 32'512;
inline constexpr std::uint32_t kFsuipcReadTag = 1;
inline constexpr std::uint32_t kFsuipcWriteTag = 2;
inline constexpr std::size_t kFsuipcReadHeaderSize = 16;
inline constexpr std::size_t kFsuipcWriteHeaderSize = 12;

class FsuipcRequestBlock {
 public:
  // The block to queue into (emptied); an empty span detaches it.
  void Attach(std::span<std::uint8_t> block);

  // False when the block would pass the limit (nothing queued).
  bool QueueRead(std::uint32_t offset, std::span<std::uint8_t> target);
  bool QueueWrite(std::uint32_t offset, std::span<const std::uint8_t> data);

  bool Empty() const { return end_ == 0; }
  std::size_t Used() const { return end_; }
  // Writes the zero word after the last request.
  void MarkEnd();
  // After the server's answer: every read's bytes to its target. False, and
  // nothing copied, when a read's header in the block is no longer the one
  // queued (its tag, offset, size or place).
  bool CopyReadsBack() const;
  // Forgets the queued requests.
  void Reset();

 private:
  struct PendingRead {
    std::size_t at = 0;
    std::uint32_t offset = 0;
    std::span<std::uint8_t> target;
  };
  bool Fits(std::size_t requestSize) const;

  std::span<std::uint8_t> block_;
  std::size_t end_ = 0;
  std::vector<PendingRead> reads_;
};
