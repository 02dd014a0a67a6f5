// The LZ77 encoder proper: the index of earlier positions, the search for
// the match at each position and the stream writer. LzEncode (lz77.h) checks
// the buffers and calls it.
//
// The agreed algorithm walks a chain of every earlier position with the same
// two first bytes, nearest first, and keeps the longest common length
// L(c) = min(common bytes, bytes remaining, p - c) above 3 (the nearer
// candidate on equal lengths), for p - c < 100,000. This encoder gives the
// same stream with far less work: only candidates with L >= 4 can win, so it
// keys the chains on four bytes, in a head table no larger than the input
// needs (a short record does not pay for clearing 65,536 words); it skips
// whole runs of one byte value at once, follows the chain of a rarer part of
// the match once one is known, and answers candidates inside a repeating
// stretch without comparing them again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace lz77 {

// Encodes input (1 to 0xFFFFFFFE bytes) into output, which holds at least
// LzMaxPackedSize(input.size()) bytes, with work holding at least
// LzWorkAreaWords(input.size()) words; returns the bytes written.
std::size_t EncodeStream(std::span<const std::uint8_t> input, std::uint8_t* output,
                         std::span<std::uint32_t> work);

}  // namespace lz77
