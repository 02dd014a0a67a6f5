// The frame on the TCP ways: a 4-byte sync word, the 8-byte header, the body.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/klib_settings.h"

// Sync word of the add-on link once the add-on has logged in.
inline constexpr std::uint32_t AddonFrameMagic = 0x30B47C22;

inline constexpr std::size_t kFrameSyncSize = 4;
inline constexpr std::size_t kFrameHeaderSize = 8;
// Flags bit 0: the body is a compressed record.
inline constexpr std::uint8_t kFrameFlagCompressed = 0x01;

struct FrameHeader {
  std::uint8_t type = 0;
  std::uint8_t subCode = 0;
  std::uint8_t reserved = 0;
  std::uint8_t flags = 0;
  std::uint32_t length = 0;  // body bytes that follow the header

  bool Compressed() const { return (flags & kFrameFlagCompressed) != 0; }
  friend bool operator==(const FrameHeader&, const FrameHeader&) = default;
};

using FrameHeaderBytes = std::array<std::uint8_t, kFrameHeaderSize>;
using FrameSyncBytes = std::array<std::uint8_t, kFrameSyncSize>;

FrameHeaderBytes WriteFrameHeader(const FrameHeader& header);
FrameHeader ReadFrameHeader(std::span<const std::uint8_t, kFrameHeaderSize> bytes);

// The sync word as it goes on the wire: most significant byte first.
FrameSyncBytes WriteFrameSync(std::uint32_t sync);
// Either of the two words that start a frame.
constexpr bool IsFrameSync(std::uint32_t word) {
  return word == FRAME_SYNC_NETWORK || word == AddonFrameMagic;
}

// Appends sync, header and body to out; the header's length is set from the
// body. false (out untouched) for a body that a 32-bit length cannot announce.
bool AppendFrame(std::uint32_t sync, FrameHeader header, std::span<const std::uint8_t> body,
                 std::vector<std::uint8_t>& out);
// The same into the caller's buffer: the bytes written, 0 (nothing written)
// when the frame does not fit.
std::size_t WriteFrame(std::uint32_t sync, FrameHeader header, std::span<const std::uint8_t> body,
                       std::span<std::uint8_t> out);
// The whole frame as one buffer; empty when AppendFrame refuses the body.
std::vector<std::uint8_t> BuildFrame(std::uint32_t sync, const FrameHeader& header,
                                     std::span<const std::uint8_t> body);
