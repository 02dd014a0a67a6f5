#include "net/frame_format.h"

#include <algorithm>
#include <limits>

#include "base/byte_order.h"

FrameHeaderBytes WriteFrameHeader(const FrameHeader& header) {
  FrameHeaderBytes bytes{};
  bytes[0] = header.type;
  bytes[1] = header.subCode;
  bytes[2] = header.reserved;
  bytes[3] = header.flags;
  PutU32(&bytes[4], header.length);
  return bytes;
}

FrameHeader ReadFrameHeader(std::span<const std::uint8_t, kFrameHeaderSize> bytes) {
  FrameHeader header;
  header.type = bytes[0];
  header.subCode = bytes[1];
  header.reserved = bytes[2];
  header.flags = bytes[3];
  header.length = GetU32(&bytes[4]);
  return header;
}

FrameSyncBytes WriteFrameSync(std::uint32_t sync) {
  return {static_cast<std::uint8_t>(sync >> 24), static_cast<std::uint8_t>(sync >> 16),
          static_cast<std::uint8_t>(sync >> 8), static_cast<std::uint8_t>(sync)};
}

bool AppendFrame(std::uint32_t sync, FrameHeader header, std::span<const std::uint8_t> body,
                 std::vector<std::uint8_t>& out) {
  if (body.size() > std::numeric_limits<std::uint32_t>::max()) return false;
  header.length = static_cast<std::uint32_t>(body.size());
  const FrameSyncBytes syncBytes = WriteFrameSync(sync);
  const FrameHeaderBytes headerBytes = WriteFrameHeader(header);
  out.reserve(out.size() + kFrameSyncSize + kFrameHeaderSize + body.size());
  out.insert(out.end(), syncBytes.begin(), syncBytes.end());
  out.insert(out.end(), headerBytes.begin(), headerBytes.end());
  out.insert(out.end(), body.begin(), body.end());
  return true;
}

std::size_t WriteFrame(std::uint32_t sync, FrameHeader header, std::span<const std::uint8_t> body,
                       std::span<std::uint8_t> out) {
  const std::size_t size = kFrameSyncSize + kFrameHeaderSize + body.size();
  if (body.size() > std::numeric_limits<std::uint32_t>::max() || out.size() < size) return 0;
  header.length = static_cast<std::uint32_t>(body.size());
  const FrameSyncBytes syncBytes = WriteFrameSync(sync);
  const FrameHeaderBytes headerBytes = WriteFrameHeader(header);
  auto at = std::copy(syncBytes.begin(), syncBytes.end(), out.begin());
  at = std::copy(headerBytes.begin(), headerBytes.end(), at);
  std::copy(body.begin(), body.end(), at);
  return size;
}

std::vector<std::uint8_t> BuildFrame(std::uint32_t sync, const FrameHeader& header,
                                     std::span<const std::uint8_t> body) {
  std::vector<std::uint8_t> out;
  AppendFrame(sync, header, body, out);
  return out;
}
