// The LZ77 decoder on any stream, the record wrapper around it, and the
// encoder: what it writes decodes to its input. Output is bounded so that a
// run stays fast.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/lz77.h"
#include "fuzz/fuzz_support.h"
#include "net/compressed_record.h"

namespace {
constexpr std::size_t kOutputLimit = 64 * 1024;
constexpr std::size_t kInputLimit = 16 * 1024;  // the encoder's side; -max_len keeps inputs below it
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietLibrary();
  return AllocLzBuffers(static_cast<std::uint32_t>(kInputLimit)) == 1 ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::vector<std::uint8_t> output(kOutputLimit);
  static std::vector<std::uint8_t> packed(LzMaxPackedSize(kInputLimit));
  static std::vector<std::uint32_t> work(LzWorkAreaWords(kInputLimit));
  const auto input = AsSpan(data, size);

  // Any stream: never more than the room given, and a status that says why it stopped.
  LzDecodeStatus status = LzDecodeStatus::Ok;
  const std::size_t produced = LzDecode(input, output, &status);
  FUZZ_CHECK(produced <= output.size());
  if (status == LzDecodeStatus::Overflow) FUZZ_CHECK(produced == output.size());
  // The same stream with less room decodes to the same first bytes.
  {
    std::vector<std::uint8_t> smaller(produced / 2);
    LzDecodeStatus smallerStatus = LzDecodeStatus::Ok;
    const std::size_t part = LzDecode(input, smaller, &smallerStatus);
    FUZZ_CHECK(part <= smaller.size());
    FUZZ_CHECK(std::equal(smaller.begin(), smaller.begin() + static_cast<std::ptrdiff_t>(part), output.begin()));
  }

  // The input as a compressed record body of the size its first bytes announce.
  if (size >= 2) {
    std::vector<std::uint8_t> record(1 + ((data[0] | (data[1] << 8)) % 4096));
    std::int32_t codec = 0;
    const std::int32_t result = UnpackCompressedRecord(input, record, &codec);
    FUZZ_CHECK(result <= 0);
  }
  if (size >= 1) {
    std::uint32_t got = 0;
    const std::int32_t result = LzUncompress(data, static_cast<std::uint32_t>(size), output.data(),
                                             static_cast<std::uint32_t>(std::min(produced + 1, output.size())), &got);
    FUZZ_CHECK(result == 0 || result == -100);
    FUZZ_CHECK(got <= output.size());
  }

  // Encode, then decode: the input comes back whole.
  if (size == 0 || size > kInputLimit) return 0;
  const std::size_t written = LzEncode(input, packed, work);
  FUZZ_CHECK(written > 0 && written <= LzMaxPackedSize(static_cast<std::uint32_t>(size)));
  std::vector<std::uint8_t> back(size);
  LzDecodeStatus backStatus = LzDecodeStatus::Overflow;
  const std::size_t decoded = LzDecode(std::span(packed.data(), written), back, &backStatus);
  FUZZ_CHECK(backStatus == LzDecodeStatus::Ok);
  FUZZ_CHECK(decoded == size);
  FUZZ_CHECK(std::equal(back.begin(), back.end(), data));

  // And through the record wrapper the ways send.
  std::vector<std::uint8_t> body;
  if (AppendCompressedRecord(input, body) == 0) {
    std::vector<std::uint8_t> record(size);
    FUZZ_CHECK(UnpackCompressedRecord(body, record) == kRecordOk);
    FUZZ_CHECK(std::equal(record.begin(), record.end(), data));
  }
  return 0;
}
