#include "net/compressed_record.h"

#include <limits>

#include "base/byte_order.h"
#include "base/lz77.h"

CompressedRecordPrefix ReadCompressedRecordPrefix(
    std::span<const std::uint8_t, kCompressedRecordPrefixSize> bytes) {
  CompressedRecordPrefix prefix;
  prefix.unpackedSize = GetU32(&bytes[0]);
  prefix.packedLength = GetU32(&bytes[4]);
  return prefix;
}

std::int32_t CheckCompressedRecordPrefix(const CompressedRecordPrefix& prefix,
                                         std::uint32_t frameLength, std::uint32_t recordSize) {
  if (prefix.unpackedSize != recordSize) return kRecordWrongSize;
  if (prefix.packedLength == 0 || prefix.packedLength > LzMaxPackedSize(recordSize))
    return kRecordPackedTooLong;
  if (static_cast<std::uint64_t>(prefix.packedLength) + kCompressedRecordPrefixSize != frameLength)
    return kRecordLengthMismatch;
  return kRecordOk;
}

std::int32_t UnpackCompressedRecord(std::span<const std::uint8_t> body,
                                    std::span<std::uint8_t> record,
                                    std::int32_t* codecResult) {
  if (body.size() < 4) return kRecordShortSize;
  if (body.size() < kCompressedRecordPrefixSize) return kRecordShortPackedLength;
  if (record.empty() || record.size() > std::numeric_limits<std::uint32_t>::max())
    return kRecordWrongSize;
  if (body.size() > std::numeric_limits<std::uint32_t>::max()) return kRecordLengthMismatch;
  const auto prefix = ReadCompressedRecordPrefix(body.first<kCompressedRecordPrefixSize>());
  const auto recordSize = static_cast<std::uint32_t>(record.size());
  // The announced length against the recordSize and the codec's bound first:
  // a body cut short must not pass as a length mismatch.
  if (prefix.unpackedSize != recordSize) return kRecordWrongSize;
  if (prefix.packedLength == 0 || prefix.packedLength > LzMaxPackedSize(recordSize))
    return kRecordPackedTooLong;
  const std::span<const std::uint8_t> packed = body.subspan(kCompressedRecordPrefixSize);
  if (packed.size() < prefix.packedLength) return kRecordShortPacked;
  const std::int32_t check =
      CheckCompressedRecordPrefix(prefix, static_cast<std::uint32_t>(body.size()), recordSize);
  if (check != kRecordOk) return check;
  std::uint32_t produced = 0;
  const std::int32_t decoded =
      LzUncompress(packed.data(), prefix.packedLength, record.data(), recordSize, &produced);
  if (decoded != 0) {
    if (codecResult != nullptr) *codecResult = decoded;
    return kRecordBadStream;
  }
  return kRecordOk;
}

std::int32_t AppendCompressedRecord(std::span<const std::uint8_t> record,
                                    std::vector<std::uint8_t>& out) {
  if (record.size() > std::numeric_limits<std::uint32_t>::max()) return -50;
  const auto size = static_cast<std::uint32_t>(record.size());
  const std::uint8_t* packed = nullptr;
  std::uint32_t packedLength = 0;
  const std::int32_t result = LzCompress(record.data(), size, &packed, &packedLength);
  if (result != 0) return result;
  out.reserve(out.size() + kCompressedRecordPrefixSize + packedLength);
  PutU32(out, size);
  PutU32(out, packedLength);
  out.insert(out.end(), packed, packed + packedLength);
  LzCompressRelease();
  return 0;
}

std::int32_t BuildCompressedFrame(std::uint32_t sync, FrameHeader header,
                                  std::span<const std::uint8_t> record,
                                  std::vector<std::uint8_t>& frame) {
  std::vector<std::uint8_t> body;
  const std::int32_t result = AppendCompressedRecord(record, body);
  if (result != 0) return result;
  header.flags |= kFrameFlagCompressed;
  AppendFrame(sync, header, body, frame);
  return 0;
}
