// The playback FIFO: decoded voice waiting for the audio output. One writer
// (the thread that receives voice) and one reader (the audio callback), no
// lock between them: the ring publishes its positions atomically.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "base/byte_ring.h"
#include "base/circ_buf.h"

inline constexpr std::uint32_t kPlaybackFifoSize = 512'000;  // capacity 511,999 bytes, about 32 s
// Below this free share the level warning is printed, once per episode.
inline constexpr std::uint32_t kPlaybackLowFreePercent = 10;

class PlaybackFifo {
 public:
  PlaybackFifo();
  PlaybackFifo(const PlaybackFifo&) = delete;
  PlaybackFifo& operator=(const PlaybackFifo&) = delete;
  ~PlaybackFifo();

  // Creates the lock object the first time; the FIFO is ready from then on.
  void Prepare();
  bool Ready() const { return ready_.load(std::memory_order_acquire); }
  // Empties the ring. Only while neither side runs.
  void Reset();

  // Writer: the bytes whole or nothing (a full FIFO drops them). When the
  // free share falls below 10 %, the level to report (100 - free percent)
  // the first time in that episode; the episode ends once 10 % are free.
  bool Write(std::span<const std::uint8_t> bytes, std::optional<std::uint32_t>& levelToReport);
  // Reader: exactly out.size() bytes, or false and nothing taken.
  bool Read(std::span<std::uint8_t> out);
  std::uint32_t Used() const { return RingUsed(ring_); }
  std::uint32_t Capacity() const { return ring_.capacity; }

 private:
  std::unique_ptr<std::uint8_t[]> storage_;
  ByteRing ring_;
  CCircBuf lock_;
  std::atomic<bool> ready_{false};
  std::uint32_t levelEpisodes_ = 0;  // writer only
};
