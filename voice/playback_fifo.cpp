#include "voice/playback_fifo.h"

PlaybackFifo::PlaybackFifo() : storage_(std::make_unique<std::uint8_t[]>(kPlaybackFifoSize)) {
  ring_.storage = std::span<std::uint8_t>(storage_.get(), kPlaybackFifoSize);
  RingInit(ring_, kPlaybackFifoSize);
}

PlaybackFifo::~PlaybackFifo() {
  if (Ready()) lock_.Delete();
}

void PlaybackFifo::Prepare() {
  if (Ready()) return;
  lock_.Init();
  ready_.store(true, std::memory_order_release);
}

void PlaybackFifo::Reset() {
  RingInit(ring_, kPlaybackFifoSize);
  RingReset(ring_);
  levelEpisodes_ = 0;
}

bool PlaybackFifo::Write(std::span<const std::uint8_t> bytes, std::optional<std::uint32_t>& levelToReport) {
  levelToReport.reset();
  const bool written =
      CCircBuf::Write(ring_, bytes.data(), static_cast<std::uint32_t>(bytes.size())) == RING_OK;
  const std::uint32_t freePercent = CCircBuf::FreePercent(ring_);
  if (freePercent < kPlaybackLowFreePercent) {
    if (levelEpisodes_++ == 0) levelToReport = 100 - freePercent;
  } else {
    levelEpisodes_ = 0;
  }
  return written;
}

bool PlaybackFifo::Read(std::span<std::uint8_t> out) {
  return RingRead(ring_, out.data(), static_cast<std::uint32_t>(out.size())) == RING_OK;
}
