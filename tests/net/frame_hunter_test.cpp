#include "net/frame_hunter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "base/byte_order.h"
#include "net/frame_codes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Frame(std::uint32_t sync, std::uint8_t type, std::uint8_t sub, const Bytes& body) {
  return BuildFrame(sync, {type, sub, 0, 0, 0}, body);
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Feeds in pieces of `step` bytes (each piece in its own exact buffer) and
// collects every frame and error.
struct Collected {
  std::vector<::Frame> frames;
  int errors = 0;
};

Collected FeedInSteps(FrameHunter& hunter, const Bytes& stream, std::size_t step) {
  Collected got;
  for (std::size_t at = 0; at < stream.size(); at += step) {
    const Bytes piece(stream.begin() + at, stream.begin() + std::min(stream.size(), at + step));
    hunter.Feed(piece);
    for (;;) {
      ::Frame frame;
      const HuntResult r = hunter.NextFrame(frame);
      if (r == HuntResult::NeedMore) break;
      if (r == HuntResult::Frame) got.frames.push_back(std::move(frame));
      if (r == HuntResult::Error) ++got.errors;
    }
  }
  return got;
}

TEST(FrameHunter, FindsFramesWhateverTheReceivesLookLike) {
  const Bytes garbage{0x00, 0xA1, 0xB2, 0xC3, 0x18, 0xA1, 0xA1, 0xB2, 0x30, 0xB4};
  const Bytes stream = Join({garbage,
                             Frame(FRAME_SYNC_NETWORK, NCSMSG_PILOT, NCSUB_HEARTBEAT, {1, 2, 3}),
                             Frame(AddonFrameMagic, DS_CMD_COMMON, 0, Bytes(300, 0x5A)),
                             {0xEE, 0xEE},
                             Frame(FRAME_SYNC_NETWORK, NCSMSG_TEST, 0, {})});
  for (std::size_t step : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{5},
                           std::size_t{11}, std::size_t{12}, std::size_t{13}, stream.size()}) {
    SCOPED_TRACE(step);
    FrameHunter hunter;
    const Collected got = FeedInSteps(hunter, stream, step);
    EXPECT_EQ(got.errors, 0);
    ASSERT_EQ(got.frames.size(), 3u);
    EXPECT_EQ(got.frames[0].sync, FRAME_SYNC_NETWORK);
    EXPECT_EQ(got.frames[0].header.type, NCSMSG_PILOT);
    EXPECT_EQ(got.frames[0].header.subCode, NCSUB_HEARTBEAT);
    EXPECT_EQ(got.frames[0].body, (Bytes{1, 2, 3}));
    EXPECT_EQ(got.frames[0].skippedBefore, garbage.size());
    EXPECT_EQ(got.frames[1].sync, AddonFrameMagic);
    EXPECT_EQ(got.frames[1].body, Bytes(300, 0x5A));
    EXPECT_EQ(got.frames[1].skippedBefore, 0u);
    EXPECT_EQ(got.frames[2].header.type, NCSMSG_TEST);
    EXPECT_TRUE(got.frames[2].body.empty());
    EXPECT_EQ(got.frames[2].skippedBefore, 2u);
    EXPECT_EQ(hunter.FramesFound(), 3u);
    EXPECT_EQ(hunter.BytesSkipped(), garbage.size() + 2);
    EXPECT_EQ(hunter.CurrentState(), FrameHunter::State::Hunting);
  }
}

TEST(FrameHunter, WaitsForAHeaderThatArrivesInTwoParts) {
  const Bytes frame = Frame(FRAME_SYNC_NETWORK, NCSMSG_STANDARD, NCSUB_LOGOUT, {9});
  FrameHunter hunter;
  ::Frame out;
  hunter.Feed(std::span(frame).first(4 + 5));
  EXPECT_EQ(hunter.NextFrame(out), HuntResult::NeedMore);
  EXPECT_EQ(hunter.CurrentState(), FrameHunter::State::Header);
  hunter.Feed(std::span(frame).subspan(9, 3));
  EXPECT_EQ(hunter.NextFrame(out), HuntResult::NeedMore);
  EXPECT_EQ(hunter.CurrentState(), FrameHunter::State::Body);
  EXPECT_EQ(hunter.BodyBytesAwaited(), 1u);
  hunter.Feed(std::span(frame).subspan(12));
  ASSERT_EQ(hunter.NextFrame(out), HuntResult::Frame);
  EXPECT_EQ(out.header.type, NCSMSG_STANDARD);
  EXPECT_EQ(out.body, (Bytes{9}));
}

TEST(FrameHunter, ASyncWordInsideABodyIsBodyNotAFrame) {
  const Bytes inner = Frame(FRAME_SYNC_NETWORK, NCSMSG_KICKOUT, 0, {7, 7});
  const Bytes stream = Join({Frame(FRAME_SYNC_NETWORK, NCSMSG_BLOCK, 0, inner),
                             Frame(FRAME_SYNC_NETWORK, NCSMSG_LOGOUT, 0, {})});
  FrameHunter hunter;
  const Collected got = FeedInSteps(hunter, stream, stream.size());
  ASSERT_EQ(got.frames.size(), 2u);
  EXPECT_EQ(got.frames[0].body, inner);
  EXPECT_EQ(got.frames[1].header.type, NCSMSG_LOGOUT);
}

TEST(FrameHunter, SkipsUnwantedBodiesByTheirLength) {
  const Bytes stream = Join({Frame(FRAME_SYNC_NETWORK, NCSMSG_BLOCK, 0, Bytes(5000, 0xA1)),
                             Frame(FRAME_SYNC_NETWORK, NCSMSG_PILOT, 0, {4, 5})});
  FrameHunter hunter;
  std::vector<std::uint8_t> asked;
  hunter.SetBodyFilter([&](std::uint32_t sync, const FrameHeader& header) {
    EXPECT_EQ(sync, FRAME_SYNC_NETWORK);
    asked.push_back(header.type);
    return header.type != NCSMSG_BLOCK;
  });
  const Collected got = FeedInSteps(hunter, stream, 777);
  ASSERT_EQ(got.frames.size(), 2u);
  EXPECT_TRUE(got.frames[0].bodySkipped);
  EXPECT_TRUE(got.frames[0].body.empty());
  EXPECT_EQ(got.frames[0].header.length, 5000u);
  EXPECT_FALSE(got.frames[1].bodySkipped);
  EXPECT_EQ(got.frames[1].body, (Bytes{4, 5}));
  EXPECT_EQ(asked, (Bytes{NCSMSG_BLOCK, NCSMSG_PILOT}));
}

// A hostile length must neither be allocated nor swallow the stream: the
// error comes at the header, and the hunt goes on behind it.
TEST(FrameHunter, ReportsABodyLongerThanTheMaximum) {
  const struct {
    std::uint32_t max;
    std::uint32_t length;
  } cases[] = {{16, 17},
               {0, 1},
               {kDefaultMaxFrameBody, 0xFFFFFFFF},
               {kDefaultMaxFrameBody, kDefaultMaxFrameBody + 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    const Bytes bad = BuildFrame(FRAME_SYNC_NETWORK, {NCSMSG_PILOT, 0, 0, 0, 0}, {});
    Bytes stream = bad;
    PutU32(&stream[8], c.length);
    const Bytes good = Frame(FRAME_SYNC_NETWORK, NCSMSG_ATC, 0, {});
    stream.insert(stream.end(), good.begin(), good.end());

    FrameHunter hunter(c.max);
    hunter.Feed(stream);
    ::Frame out;
    ASSERT_EQ(hunter.NextFrame(out), HuntResult::Error);
    EXPECT_EQ(hunter.LastError(), HuntError::BodyTooLong);
    EXPECT_EQ(hunter.ErrorHeader().length, c.length);
    EXPECT_EQ(hunter.ErrorHeader().type, NCSMSG_PILOT);
    ASSERT_EQ(hunter.NextFrame(out), HuntResult::Frame);
    EXPECT_EQ(out.header.type, NCSMSG_ATC);
    EXPECT_EQ(hunter.LastError(), HuntError::None);
  }
  FrameHunter exact(3);
  exact.Feed(Frame(FRAME_SYNC_NETWORK, NCSMSG_ATC, 0, {1, 2, 3}));
  ::Frame out;
  EXPECT_EQ(exact.NextFrame(out), HuntResult::Frame);
}

TEST(FrameHunter, ATruncatedBodyWaitsAndResetForgetsIt) {
  const Bytes frame = Frame(FRAME_SYNC_NETWORK, NCSMSG_TEXT_ON_AIR, 0, Bytes(100, 1));
  FrameHunter hunter;
  hunter.Feed(std::span(frame).first(frame.size() - 10));
  ::Frame out;
  EXPECT_EQ(hunter.NextFrame(out), HuntResult::NeedMore);
  EXPECT_EQ(hunter.BodyBytesAwaited(), 10u);
  hunter.Reset();
  EXPECT_EQ(hunter.CurrentState(), FrameHunter::State::Hunting);
  EXPECT_EQ(hunter.BodyBytesAwaited(), 0u);
  // The rest of the old body is garbage to the new hunt.
  hunter.Feed(std::span(frame).last(10));
  hunter.Feed(Frame(FRAME_SYNC_NETWORK, NCSMSG_TEST, 0, {}));
  ASSERT_EQ(hunter.NextFrame(out), HuntResult::Frame);
  EXPECT_EQ(out.header.type, NCSMSG_TEST);
  EXPECT_EQ(out.skippedBefore, 10u);
}

// A frame given up while its body was awaited: the bytes taken for that body
// are hunted again, before the bytes fed after.
TEST(FrameHunter, AnAbandonedFrameIsHuntedAgainFromItsBody) {
  const Bytes inner = Frame(FRAME_SYNC_NETWORK, NCSMSG_TEST, 0, {7, 8});
  Bytes stream = Frame(FRAME_SYNC_NETWORK, NCSMSG_TEXT_ON_AIR, 0, Bytes(100, 1));
  stream.resize(kFrameSyncSize + kFrameHeaderSize);
  stream.insert(stream.end(), {'x', 'y'});
  stream.insert(stream.end(), inner.begin(), inner.end());
  FrameHunter hunter;
  hunter.Feed(stream);
  ::Frame out;
  ASSERT_EQ(hunter.NextFrame(out), HuntResult::NeedMore);
  EXPECT_EQ(hunter.BodyBytesAwaited(), 100u - 2 - inner.size());
  hunter.AbandonFrame();
  EXPECT_EQ(hunter.CurrentState(), FrameHunter::State::Hunting);
  hunter.Feed(Frame(FRAME_SYNC_NETWORK, NCSMSG_ATC, 0, {}));
  ASSERT_EQ(hunter.NextFrame(out), HuntResult::Frame);
  EXPECT_EQ(out.header.type, NCSMSG_TEST);
  EXPECT_EQ(out.body, (Bytes{7, 8}));
  EXPECT_EQ(out.skippedBefore, 2u);
  ASSERT_EQ(hunter.NextFrame(out), HuntResult::Frame);
  EXPECT_EQ(out.header.type, NCSMSG_ATC);
  EXPECT_EQ(hunter.NextFrame(out), HuntResult::NeedMore);
  hunter.AbandonFrame();  // no frame begun: nothing changes
  EXPECT_EQ(hunter.CurrentState(), FrameHunter::State::Hunting);
}

TEST(FrameHunter, GarbageAloneIsCountedAndKeptOutOfMemory) {
  FrameHunter hunter;
  const Bytes noise(100000, 0xA1);
  ::Frame out;
  for (int i = 0; i < 10; ++i) {
    hunter.Feed(noise);
    EXPECT_EQ(hunter.NextFrame(out), HuntResult::NeedMore);
  }
  hunter.Feed(Frame(FRAME_SYNC_NETWORK, NCSMSG_TEST, 0, {}));
  ASSERT_EQ(hunter.NextFrame(out), HuntResult::Frame);
  EXPECT_EQ(out.skippedBefore, 1000000u);
  EXPECT_EQ(hunter.BytesSkipped(), 1000000u);
}

}  // namespace
