// Byte-oriented LZ77 coder for the records that travel compressed on the
// network, and the shared buffers that the library's compressor works in.
//
// Stream format (no header besides the marker, no end mark: the packed length
// travels beside the stream):
//   byte 0        the marker: the least frequent byte value of the input
//                 (ties: the lowest value)
//   then, repeated
//     a literal byte (any value but the marker), or
//     marker 0                 a literal marker byte, or
//     marker length offset     copy `length` bytes from `offset` bytes back
//   Numbers are 1 to 5 groups of 7 bits, most significant group first, every
//   byte but the last with its high bit set; the writer uses as few groups as
//   hold the value. The writer never emits a length of 0, an offset smaller
//   than the length, nor an offset of 100,000 or more.
//
// Peers decode what this encoder writes, so the encoder is byte for byte the
// agreed algorithm (see lz77.cpp); its speed-ups never change its output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Entries of the head table at the start of a work area.
inline constexpr std::size_t kLzHeadEntries = 65536;
// Offsets of matches stay below this.
inline constexpr std::uint32_t kLzWindow = 100000;

// 32-bit words of work area that LzEncode needs for n input bytes: the head
// table followed by one chain entry per input position (n * 4 + 0x40000 bytes).
constexpr std::size_t LzWorkAreaWords(std::uint64_t n) { return kLzHeadEntries + n; }

// Most bytes the encoder ever writes for n input bytes. Also the bound for a
// packed length announced by a peer for n unpacked bytes.
constexpr std::uint64_t LzMaxPackedSize(std::uint32_t n) {
  return 1 + static_cast<std::uint64_t>(n) + n / 256;
}

// Encodes input into output and returns the bytes written: 0 for an empty
// input, and also 0 (nothing written) when output holds fewer than
// LzMaxPackedSize(input.size()) bytes, when workArea holds fewer than
// LzWorkAreaWords(input.size()) words, or when the input has 0xFFFFFFFF bytes
// or more.
std::size_t LzEncode(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                     std::span<std::uint32_t> workArea);

enum class LzDecodeStatus {
  Ok,           // the whole stream was decoded
  Truncated,    // the stream ends inside a marker sequence or a number
  LongNumber,   // a number of more than five 7-bit groups
  BadOffset,    // an offset of 0 or larger than the bytes produced so far
  Overflow,     // the stream holds more output than the output's capacity
};

// Decodes input into output and returns the bytes produced. Decoding ends at
// the first fault of the stream; what was decoded before it stays in output.
// A stream that needs more room than output has fills output to its end and
// reports Overflow. A stream of 0 or 1 byte decodes to nothing.
std::size_t LzDecode(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                     LzDecodeStatus* status = nullptr);

// Shared buffers of LzCompress, for inputs of up to n bytes: frees those of an
// earlier call, then allocates the work area and the output buffer. 1 on
// success; 0 (with a trace line, and no buffers left) when an allocation fails.
// Waits for a compression in progress to be released.
int AllocLzBuffers(std::uint32_t n);
// Frees the shared buffers; afterwards LzCompress answers -50. Waits for a
// compression in progress to be released.
void FreeLzBuffers();

// Encodes n bytes into the shared output buffer under the compression lock.
// 0: *outPointer and *outLength describe the output, and the calling thread
// keeps the lock until it calls LzCompressRelease(). Failures leave the lock:
// -10 no input, -20 no outPointer, -30 no outLength, -40 n = 0, -50 n larger
// than the largest input of AllocLzBuffers (or no buffers allocated).
std::int32_t LzCompress(const std::uint8_t* input, std::uint32_t n, const std::uint8_t** outPointer,
                        std::uint32_t* outLength);
// Ends the compression that the calling thread holds; does nothing on a
// thread that holds none.
void LzCompressRelease();

// Decodes packedLength bytes into output (expectedLength bytes of room) under
// the decompression lock, and stores the bytes produced in *outLength.
// 0 when the stream decoded whole to exactly expectedLength bytes; -100
// otherwise (a malformed stream, or a different length; output is filled as
// far as it decoded). -10 no input, -20 no output, -30 packedLength 0,
// -40 expectedLength 0, -50 no outLength.
std::int32_t LzUncompress(const std::uint8_t* input, std::uint32_t packedLength, std::uint8_t* output,
                          std::uint32_t expectedLength, std::uint32_t* outLength);
