#include "net/compressed_record.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <vector>

#include "base/byte_order.h"
#include "base/lz77.h"
#include "net/frame_codes.h"
#include "net/frame_hunter.h"
#include "net/text_records.h"
#include "support/klib_fixture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class CompressedRecordTest : public KlibFixture {};

Bytes Prefix(std::uint32_t size, std::uint32_t packedLength) {
  Bytes out;
  PutU32(out, size);
  PutU32(out, packedLength);
  return out;
}

TEST_F(CompressedRecordTest, TextOnAirFrameRoundTripsThroughTheCodec) {
  const TextOnAirRecord in{"PH-ABC", "Schiphol tower, PH-ABC ready for departure", 118.1};
  const TextOnAirRecordBytes record = WriteTextOnAirRecord(in);

  FrameHeader outgoing{NCSMSG_TEXT_ON_AIR, 0, 0, 0, 0};
  Bytes frame{0x55};  // what the send buffer held before
  ASSERT_EQ(BuildCompressedFrame(FRAME_SYNC_NETWORK, outgoing, record, frame), 0);
  EXPECT_EQ(outgoing.flags, 0) << "the caller's header keeps its flags";

  ASSERT_GT(frame.size(), 1 + 12 + 8u);
  EXPECT_EQ(frame[0], 0x55);
  const std::span<const std::uint8_t> wire(frame.begin() + 1, frame.end());
  EXPECT_EQ(WriteFrameSync(FRAME_SYNC_NETWORK)[0], wire[0]);
  const FrameHeader header = ReadFrameHeader(wire.subspan<4, 8>());
  EXPECT_EQ(header.type, NCSMSG_TEXT_ON_AIR);
  EXPECT_TRUE(header.Compressed());
  EXPECT_EQ(header.flags, kFrameFlagCompressed);
  const std::span<const std::uint8_t> body = wire.subspan(12);
  ASSERT_EQ(header.length, body.size());
  EXPECT_EQ(GetU32(&body[0]), kTextOnAirRecordSize);
  EXPECT_EQ(GetU32(&body[4]) + 8, header.length);
  EXPECT_LT(header.length, kTextOnAirRecordSize) << "a mostly empty record packs small";

  TextOnAirRecordBytes decoded{};
  ASSERT_EQ(UnpackCompressedRecord(body, decoded), kRecordOk);
  EXPECT_EQ(decoded, record);
  const TextOnAirRecord out = ReadTextOnAirRecord(decoded);
  EXPECT_EQ(out.sender, in.sender);
  EXPECT_EQ(out.text, in.text);
  EXPECT_EQ(out.frequencyMhz, in.frequencyMhz);
}

TEST_F(CompressedRecordTest, PrivateTextBodyRoundTripsAndReleasesTheCompressionLock) {
  const PrivateTextRecordBytes record =
      WritePrivateTextRecord({"SENDER1", "RECIPNT", std::string(511, '\xF0')});
  Bytes body;
  ASSERT_EQ(AppendCompressedRecord(record, body), 0);
  PrivateTextRecordBytes decoded{};
  ASSERT_EQ(UnpackCompressedRecord(body, decoded), kRecordOk);
  EXPECT_EQ(decoded, record);

  // Another thread can compress at once: the lock was left after the copy.
  auto other = std::async(std::launch::async, [&] {
    Bytes again;
    return AppendCompressedRecord(record, again) == 0 && again == body;
  });
  ASSERT_EQ(other.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(other.get());
}

TEST_F(CompressedRecordTest, CompressorFailuresSendNothing) {
  Bytes body{1, 2};
  EXPECT_EQ(AppendCompressedRecord({}, body), -10);
  const Bytes oversized((1u << 20) + 1, 7);
  EXPECT_EQ(AppendCompressedRecord(oversized, body), -50);
  Bytes frame;
  EXPECT_EQ(BuildCompressedFrame(FRAME_SYNC_NETWORK, {}, oversized, frame), -50);
  EXPECT_EQ(body, (Bytes{1, 2}));
  EXPECT_TRUE(frame.empty());
}

// A record of the wrong size is refused whole, and the stream stays in step:
// the next frame, fed byte by byte behind it, is read normally.
TEST_F(CompressedRecordTest, WrongSizedRecordIsSkippedAndTheNextFrameIsRead) {
  Bytes stream;
  const FrameHeader onAir{NCSMSG_TEXT_ON_AIR, 0, 0, 0, 0};
  ASSERT_EQ(BuildCompressedFrame(FRAME_SYNC_NETWORK, onAir,
                                 WritePrivateTextRecord({"X", "Y", "wrong size"}), stream),
            0);
  const TextOnAirRecordBytes good = WriteTextOnAirRecord({"GOOD", "right size", 121.5});
  ASSERT_EQ(BuildCompressedFrame(FRAME_SYNC_NETWORK, onAir, good, stream), 0);

  FrameHunter hunter;
  std::vector<std::int32_t> results;
  for (std::uint8_t byte : stream) {
    hunter.Feed(std::span(&byte, 1));
    ::Frame frame;
    while (hunter.NextFrame(frame) == HuntResult::Frame) {
      TextOnAirRecordBytes record{};
      results.push_back(UnpackCompressedRecord(frame.body, record));
      if (results.back() == kRecordOk) {
        EXPECT_EQ(record, good);
      }
    }
  }
  EXPECT_EQ(results, (std::vector<std::int32_t>{kRecordWrongSize, kRecordOk}));
}

struct HostileCase {
  const char* what;
  Bytes body;
  std::int32_t expected;
};

// Each body sits in a buffer of exactly its size, so that ASan reports any
// read past what the peer sent.
TEST_F(CompressedRecordTest, HostileBodiesAreRefusedWithoutOverRead) {
  const std::uint32_t size = kTextOnAirRecordSize;
  const auto bound = static_cast<std::uint32_t>(LzMaxPackedSize(size));
  Bytes valid;
  ASSERT_EQ(AppendCompressedRecord(WriteTextOnAirRecord({"A", "b", 1.0}), valid), 0);
  const std::uint32_t n = GetU32(&valid[4]);

  auto withTail = [](Bytes head, std::size_t count, std::uint8_t fill) {
    head.resize(head.size() + count, fill);
    return head;
  };
  Bytes extraByte = valid;
  extraByte.push_back(0);
  Bytes shortPacked(valid.begin(), valid.end() - 1);
  // Marker 1, then a copy of 3 bytes from 5 back with nothing produced yet.
  const Bytes badStream = [&] {
    Bytes b = Prefix(size, 4);
    b.insert(b.end(), {0x01, 0x01, 0x03, 0x05});
    return b;
  }();
  const Bytes tooFewBytes = [&] {
    Bytes b = Prefix(size, 3);
    b.insert(b.end(), {0x00, 'a', 'b'});  // decodes to 2 bytes, not 544
    return b;
  }();

  const HostileCase table[] = {
      {"empty", {}, kRecordShortSize},
      {"three bytes", {0x20, 0x02, 0x00}, kRecordShortSize},
      {"size and half a length", {0x20, 0x02, 0x00, 0x00, 0x10, 0x00}, kRecordShortPackedLength},
      {"wrong record size", withTail(Prefix(552, n), n, 0), kRecordWrongSize},
      {"zero packed length", Prefix(size, 0), kRecordPackedTooLong},
      {"packed length past the bound", withTail(Prefix(size, bound + 1), bound + 1, 0x41),
       kRecordPackedTooLong},
      {"packed length near 4 GiB", withTail(Prefix(size, 0xFFFFFFF8), 16, 0x41),
       kRecordPackedTooLong},
      {"body shorter than packed length", shortPacked, kRecordShortPacked},
      {"body longer than packed length", extraByte, kRecordLengthMismatch},
      {"offset before the start", badStream, kRecordBadStream},
      {"stream shorter than the record", tooFewBytes, kRecordBadStream},
  };
  for (const HostileCase& c : table) {
    Bytes exact = c.body;
    exact.shrink_to_fit();
    TextOnAirRecordBytes record{};
    EXPECT_EQ(UnpackCompressedRecord(exact, record), c.expected) << c.what;
  }
}

TEST(CompressedRecordPrefix, ChecksAgainstFrameLengthAndBound) {
  const std::uint32_t size = kPrivateTextRecordSize;
  const auto bound = static_cast<std::uint32_t>(LzMaxPackedSize(size));
  const struct {
    CompressedRecordPrefix prefix;
    std::uint32_t frameLength;
    std::int32_t expected;
  } cases[] = {
      {{size, 100}, 108, kRecordOk},
      {{size, bound}, bound + 8, kRecordOk},
      {{size, bound + 1}, bound + 9, kRecordPackedTooLong},
      {{size, 100}, 100, kRecordLengthMismatch},
      {{size, 0xFFFFFFFF}, 7, kRecordPackedTooLong},
      {{size + 1, 100}, 108, kRecordWrongSize},
      {{size, 0}, 8, kRecordPackedTooLong},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CheckCompressedRecordPrefix(c.prefix, c.frameLength, size), c.expected)
        << c.prefix.unpackedSize << " " << c.prefix.packedLength << " " << c.frameLength;

  const std::array<std::uint8_t, 8> bytes{0x28, 0x02, 0, 0, 0x78, 0x56, 0x34, 0x12};
  const CompressedRecordPrefix read = ReadCompressedRecordPrefix(bytes);
  EXPECT_EQ(read.unpackedSize, 552u);
  EXPECT_EQ(read.packedLength, 0x12345678u);
}

}  // namespace
