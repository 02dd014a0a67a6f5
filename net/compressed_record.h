// Wrapper of the fixed-size records that travel LZ77-packed: u32 unpacked
// size, u32 packed length n, then the n packed bytes; the frame's length is
// n + 8 and its flags carry kFrameFlagCompressed.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "net/frame_format.h"

inline constexpr std::size_t kCompressedRecordPrefixSize = 8;

// Results of the decoding side (the codes of the way's record reader).
inline constexpr std::int32_t kRecordOk = 0;
inline constexpr std::int32_t kRecordShortSize = -1;          // no room for the size word
inline constexpr std::int32_t kRecordShortPackedLength = -2;  // no room for the packed length
inline constexpr std::int32_t kRecordShortPacked = -3;        // fewer packed bytes than announced
inline constexpr std::int32_t kRecordBadStream = -20;         // the codec refused the stream
inline constexpr std::int32_t kRecordPackedTooLong =
    -30;                                               // packed length 0 or past the codec's bound
inline constexpr std::int32_t kRecordWrongSize = -40;  // another record size than expected
inline constexpr std::int32_t kRecordLengthMismatch = -50;  // frame length is not packed length + 8

struct CompressedRecordPrefix {
  std::uint32_t unpackedSize = 0;
  std::uint32_t packedLength = 0;
};

CompressedRecordPrefix ReadCompressedRecordPrefix(
    std::span<const std::uint8_t, kCompressedRecordPrefixSize> bytes);

// Checks the two words against the record expected and the frame's announced
// length, before anything is allocated or read: kRecordWrongSize,
// kRecordPackedTooLong, kRecordLengthMismatch, or kRecordOk. A caller that
// reads from a stream skips frameLength - 8 bytes after a refusal, which the
// frame reader has bounded already, never the peer's packed length.
std::int32_t CheckCompressedRecordPrefix(const CompressedRecordPrefix& prefix,
                                         std::uint32_t frameLength, std::uint32_t recordSize);

// Unpacks a frame body into record (record.size() is the fixed record size).
// Returns one of the codes above; record is only trusted on kRecordOk. On
// kRecordBadStream, *codecResult (when given) holds the decoder's own result.
std::int32_t UnpackCompressedRecord(std::span<const std::uint8_t> body,
                                    std::span<std::uint8_t> record,
                                    std::int32_t* codecResult = nullptr);

// Packs record with the library's compressor and appends the body (size,
// packed length, packed bytes) to out. 0, or the compressor's negative result
// with out untouched. The compression lock is released before returning.
std::int32_t AppendCompressedRecord(std::span<const std::uint8_t> record,
                                    std::vector<std::uint8_t>& out);

// A whole frame of a compressed record: the header's type and sub-code are
// kept, the compressed flag is set for this frame only, the length is n + 8.
std::int32_t BuildCompressedFrame(std::uint32_t sync, FrameHeader header,
                                  std::span<const std::uint8_t> record,
                                  std::vector<std::uint8_t>& frame);
