#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <vector>

#include "voice/playback_fifo.h"

namespace {
constexpr std::size_t kBlock = 320;

std::vector<std::uint8_t> Block(std::uint8_t value) { return std::vector<std::uint8_t>(kBlock, value); }
}  // namespace

TEST(PlaybackFifo, ShortContentGivesNothingAndStays) {
  PlaybackFifo fifo;
  fifo.Prepare();
  std::optional<std::uint32_t> level;
  const std::vector<std::uint8_t> part(100, 7);
  ASSERT_TRUE(fifo.Write(part, level));
  std::array<std::uint8_t, kBlock> out{};
  EXPECT_FALSE(fifo.Read(out));
  EXPECT_EQ(fifo.Used(), 100u);
  ASSERT_TRUE(fifo.Write(Block(8), level));
  ASSERT_TRUE(fifo.Read(out));
  EXPECT_EQ(out[0], 7);
  EXPECT_EQ(out[99], 7);
  EXPECT_EQ(out[100], 8);
  EXPECT_EQ(fifo.Used(), 100u);
}

TEST(PlaybackFifo, FullFifoDropsWholeBlocksAndWarnsOncePerEpisode) {
  PlaybackFifo fifo;
  fifo.Prepare();
  ASSERT_EQ(fifo.Capacity(), kPlaybackFifoSize - 1);
  std::optional<std::uint32_t> level;
  std::vector<std::uint32_t> reported;
  std::size_t written = 0;
  std::size_t dropped = 0;
  for (int i = 0; i < 1700; ++i) {
    if (fifo.Write(Block(1), level)) {
      ++written;
    } else {
      ++dropped;
    }
    if (level.has_value()) reported.push_back(*level);
  }
  EXPECT_EQ(written, (kPlaybackFifoSize - 1) / kBlock);
  EXPECT_GT(dropped, 0u);
  EXPECT_EQ(fifo.Used(), written * kBlock) << "a dropped block leaves no part behind";
  ASSERT_EQ(reported.size(), 1u) << "one message for the whole episode";
  EXPECT_EQ(reported[0], 91u);  // first write below 10 % free: 9 % free

  // Draining past 10 % free ends the episode; the next fill warns again.
  std::array<std::uint8_t, kBlock> out{};
  while (fifo.Used() > fifo.Capacity() / 2) ASSERT_TRUE(fifo.Read(out));
  ASSERT_TRUE(fifo.Write(Block(2), level));
  EXPECT_FALSE(level.has_value());
  reported.clear();
  while (fifo.Write(Block(3), level)) {
    if (level.has_value()) reported.push_back(*level);
  }
  EXPECT_EQ(reported.size(), 1u);
}

TEST(PlaybackFifo, ReadyOnlyOncePrepared) {
  PlaybackFifo fifo;
  EXPECT_FALSE(fifo.Ready());
  fifo.Prepare();
  EXPECT_TRUE(fifo.Ready());
  fifo.Prepare();
  EXPECT_TRUE(fifo.Ready());
}
