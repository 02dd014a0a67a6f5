#include "base/lz77.h"

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>
#include <new>

#include "base/klib_locks.h"
#include "base/klib_trace.h"
#include "base/lz77_encoder.h"

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFF;
// Trace colour of the allocation failures (the library's colour 20).
constexpr COLORREF kLzErrorColour = 0x1010E6;

// ---------------------------------------------------------------------------
// Decoder

class StreamReader {
 public:
  explicit StreamReader(std::span<const std::uint8_t> in) : in_(in) {}
  bool AtEnd() const { return pos_ >= in_.size(); }
  std::uint8_t Peek() const { return in_[pos_]; }
  std::uint8_t Next() { return in_[pos_++]; }

  LzDecodeStatus Number(std::uint64_t* value) {
    std::uint64_t v = 0;
    for (int group = 0; group < 5; ++group) {
      if (AtEnd()) return LzDecodeStatus::Truncated;
      const std::uint8_t b = Next();
      v = (v << 7) | (b & 0x7F);
      if ((b & 0x80) == 0) {
        *value = v;
        return LzDecodeStatus::Ok;
      }
    }
    return LzDecodeStatus::LongNumber;
  }

 private:
  std::span<const std::uint8_t> in_;
  std::size_t pos_ = 0;
};

LzDecodeStatus DecodeStream(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                            std::size_t* produced) {
  std::size_t& out = *produced;
  out = 0;
  if (input.size() < 2) return LzDecodeStatus::Ok;
  StreamReader reader(input);
  const std::uint8_t marker = reader.Next();
  const std::size_t capacity = output.size();

  while (!reader.AtEnd()) {
    const std::uint8_t b = reader.Next();
    if (b == marker) {
      if (reader.AtEnd()) return LzDecodeStatus::Truncated;
      if (reader.Peek() != 0) {
        std::uint64_t length = 0;
        std::uint64_t offset = 0;
        if (auto s = reader.Number(&length); s != LzDecodeStatus::Ok) return s;
        if (auto s = reader.Number(&offset); s != LzDecodeStatus::Ok) return s;
        if (offset == 0 || offset > out) return LzDecodeStatus::BadOffset;
        const std::uint64_t room = capacity - out;
        const std::size_t copy = static_cast<std::size_t>(std::min(length, room));
        for (std::size_t k = 0; k < copy; ++k, ++out) output[out] = output[out - offset];
        if (length > room) return LzDecodeStatus::Overflow;
        continue;
      }
      reader.Next();  // marker 0: a literal marker byte
    }
    if (out == capacity) return LzDecodeStatus::Overflow;
    output[out++] = b;
  }
  return LzDecodeStatus::Ok;
}

// ---------------------------------------------------------------------------
// Shared buffers and the compression lock

// The shared buffers. Their mutex is held, besides the library's compression
// lock, from LzCompress to LzCompressRelease and while the buffers change:
// the library lock is skipped while it is not usable (before the library
// starts, after it stops), and the buffers must still never change under a
// compression in progress.
struct SharedBuffers {
  std::mutex mutex;
  std::unique_ptr<std::uint32_t[]> work;
  std::size_t workWords = 0;
  std::unique_ptr<std::uint8_t[]> output;
  std::size_t outputSize = 0;
  std::uint32_t largestInput = 0;
};

SharedBuffers& Shared() {
  // Never destroyed: threads that are not joined may still compress at exit.
  static auto* shared = new SharedBuffers;
  return *shared;
}

// How deep the calling thread holds the compression (a thread may compress
// again while it holds its output, as with a recursive lock), and whether its
// outermost hold entered the library lock.
struct CompressionHold {
  std::uint32_t depth = 0;
  bool enteredLibraryLock = false;
};
thread_local CompressionHold tHold;

void EnterCompression() {
  if (tHold.depth == 0) {
    tHold.enteredLibraryLock = GetKlibLock(KlibLockId::Compression).Enter();
    Shared().mutex.lock();
  }
  ++tHold.depth;
}

void LeaveCompression() {
  if (tHold.depth == 0) return;
  if (--tHold.depth == 0) {
    Shared().mutex.unlock();
    if (tHold.enteredLibraryLock) {
      tHold.enteredLibraryLock = false;
      GetKlibLock(KlibLockId::Compression).Leave();
    }
  }
}

// Holds the compression for a scope.
class CompressionScope {
 public:
  CompressionScope() { EnterCompression(); }
  ~CompressionScope() { LeaveCompression(); }
  CompressionScope(const CompressionScope&) = delete;
  CompressionScope& operator=(const CompressionScope&) = delete;
};

void ReleaseBuffers(SharedBuffers& s) {
  s.work.reset();
  s.workWords = 0;
  s.output.reset();
  s.outputSize = 0;
  s.largestInput = 0;
}

}  // namespace

std::size_t LzEncode(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                     std::span<std::uint32_t> workArea) {
  const std::size_t size = input.size();
  if (size == 0 || size >= kNone) return 0;
  const auto n = static_cast<std::uint32_t>(size);
  if (output.size() < LzMaxPackedSize(n) || workArea.size() < LzWorkAreaWords(n)) return 0;
  return lz77::EncodeStream(input.first(n), output.data(), workArea);
}

std::size_t LzDecode(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                     LzDecodeStatus* status) {
  std::size_t produced = 0;
  const LzDecodeStatus s = DecodeStream(input, output, &produced);
  if (status) *status = s;
  return produced;
}

int AllocLzBuffers(std::uint32_t n) {
  const char* failure = nullptr;
  {
    CompressionScope scope;
    SharedBuffers& s = Shared();
    ReleaseBuffers(s);
    const std::size_t workWords = LzWorkAreaWords(n);
    const std::size_t outputSize = (static_cast<std::size_t>(n) * 104 + 50) / 100 + 384;
    s.work.reset(new (std::nothrow) std::uint32_t[workWords]);
    if (!s.work) {
      failure = "ZLALOC1 : Error.";
    } else {
      s.output.reset(new (std::nothrow) std::uint8_t[outputSize]);
      if (!s.output) {
        failure = "ZLALOC2 : Error.";
        ReleaseBuffers(s);
      } else {
        s.workWords = workWords;
        s.outputSize = outputSize;
        s.largestInput = n;
      }
    }
  }
  if (failure) {
    KlibMainTraceLine(kLzErrorColour, "%s", failure);
    return 0;
  }
  return 1;
}

void FreeLzBuffers() {
  CompressionScope scope;
  ReleaseBuffers(Shared());
}

std::int32_t LzCompress(const std::uint8_t* input, std::uint32_t n, const std::uint8_t** outPointer,
                        std::uint32_t* outLength) {
  EnterCompression();
  auto fail = [](std::int32_t code) {
    LeaveCompression();
    return code;
  };
  if (!input) return fail(-10);
  if (!outPointer) return fail(-20);
  if (!outLength) return fail(-30);
  if (n == 0) return fail(-40);
  SharedBuffers& s = Shared();
  if (n > s.largestInput) return fail(-50);

  const std::size_t written = LzEncode(std::span(input, n), std::span(s.output.get(), s.outputSize),
                                       std::span(s.work.get(), s.workWords));
  *outPointer = s.output.get();
  *outLength = static_cast<std::uint32_t>(written);
  return 0;
}

void LzCompressRelease() { LeaveCompression(); }

std::int32_t LzUncompress(const std::uint8_t* input, std::uint32_t packedLength, std::uint8_t* output,
                          std::uint32_t expectedLength, std::uint32_t* outLength) {
  KlibLockGuard guard(KlibLockId::Decompression);
  if (!input) return -10;
  if (!output) return -20;
  if (packedLength == 0) return -30;
  if (expectedLength == 0) return -40;
  if (!outLength) return -50;

  LzDecodeStatus status = LzDecodeStatus::Ok;
  const std::size_t produced =
      LzDecode(std::span(input, packedLength), std::span(output, expectedLength), &status);
  *outLength = static_cast<std::uint32_t>(produced);
  return (status == LzDecodeStatus::Ok && produced == expectedLength) ? 0 : -100;
}
