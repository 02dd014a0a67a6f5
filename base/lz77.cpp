#include "base/lz77.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>

#include "base/klib_locks.h"
#include "base/klib_trace.h"

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFF;
// Trace colour of the allocation failures (the library's colour 20).
constexpr COLORREF kLzErrorColour = 0x1010E6;

// ---------------------------------------------------------------------------
// Encoder

// Index of the first difference of a and b at or after `from`, at most `limit`.
std::uint32_t CommonLength(const std::uint8_t* a, const std::uint8_t* b, std::uint32_t from,
                           std::uint32_t limit) {
  std::uint32_t k = from;
  while (k + 8 <= limit) {
    std::uint64_t x, y;
    std::memcpy(&x, a + k, 8);
    std::memcpy(&y, b + k, 8);
    if (x != y) return k + static_cast<std::uint32_t>(__builtin_ctzll(x ^ y) / 8);
    k += 8;
  }
  while (k < limit && a[k] == b[k]) ++k;
  return k;
}

// What is known, at one position p, about the input repeating itself with a
// period q around p. It lets the search give the length of a candidate whose
// offset is a multiple of q without comparing the bytes again, which keeps
// runs and short repeating patterns linear instead of quadratic.
//
// With `back` bytes before p - q equal to those q later, and the first `fwd`
// bytes from p - q equal to those from p (so [p - q - back, p + fwd) has
// period q), a candidate at offset d = m * q with d <= q + back has a common
// length with p of exactly fwd when fwd ended on a difference, and at least
// fwd otherwise. Both are extended only as far as a question needs.
class Period {
 public:
  Period(const std::uint8_t* in, std::uint32_t p, std::uint32_t q, std::uint32_t knownFwd)
      : in_(in), p_(p), q_(q), fwd_(knownFwd) {}

  bool Applies(std::uint32_t d) {
    if (d % q_ != 0) return false;
    const std::uint32_t need = d - q_;
    while (!backEnded_ && back_ < need) {
      const std::uint32_t j = back_ + 1;
      if (j <= p_ - q_ && in_[p_ - q_ - j] == in_[p_ - j]) {
        back_ = j;
      } else {
        backEnded_ = true;
      }
    }
    return back_ >= need;
  }

  // Common length with p of a candidate for which Applies() holds, capped at
  // limit (limit never reaches past the input's end).
  std::uint32_t Length(std::uint32_t limit) {
    while (!fwdEnded_ && fwd_ < limit) {
      if (in_[p_ - q_ + fwd_] == in_[p_ + fwd_]) {
        ++fwd_;
      } else {
        fwdEnded_ = true;
      }
    }
    return std::min(limit, fwd_);
  }

 private:
  const std::uint8_t* in_;
  std::uint32_t p_;
  std::uint32_t q_;
  std::uint32_t fwd_;
  std::uint32_t back_ = 0;
  bool fwdEnded_ = false;
  bool backEnded_ = false;
};

struct Match {
  std::uint32_t length;
  std::uint32_t offset;
};

// The search at position p with r bytes remaining. Candidates are the earlier
// positions with the same two bytes, nearest first, while p - c < 100,000. A
// candidate counts equal bytes from index 2 up to min(r, p - c); only a longer
// length replaces the best, which starts at length 3, offset 0.
//
// The agreed algorithm measures a candidate only when its byte at the current
// best length equals the input's. That test is only a shortcut: a candidate
// that fails it, or whose limit min(r, p - c) is not above the best, can never
// be longer than the best. Such candidates are skipped here without reading
// any byte (the test itself would read past the input's end), and candidates
// inside a repeating stretch are answered by Period; the result is the same.
Match FindMatch(const std::uint8_t* in, const std::uint32_t* chain, std::uint32_t p, std::uint32_t r) {
  Match best{3, 0};
  // No candidate can be longer than this; reaching it ends the search.
  const std::uint32_t ceiling = std::min(r, kLzWindow - 1);
  std::optional<Period> period;
  bool periodSought = false;

  for (std::uint32_t c = chain[p]; c != kNone && p - c < kLzWindow; c = chain[c]) {
    const std::uint32_t d = p - c;
    const std::uint32_t limit = std::min(r, d);
    if (limit <= best.length) continue;

    std::uint32_t length;
    if (period && period->Applies(d)) {
      length = period->Length(limit);
    } else {
      if (in[c + best.length] != in[p + best.length]) continue;
      length = CommonLength(in + c, in + p, 2, limit);
      if (length == d && !periodSought) {
        // The input repeats with period d from p - d on. Look for the
        // shortest such period among the nearer candidates.
        periodSought = true;
        std::uint32_t q = d;
        for (std::uint32_t e = chain[p]; e != c; e = chain[e]) {
          const std::uint32_t offset = p - e;
          if (CommonLength(in + e, in + p, std::min<std::uint32_t>(2, offset), offset) == offset) {
            q = offset;
            break;
          }
        }
        period.emplace(in, p, q, q);
      }
    }
    if (length > best.length) {
      best = {length, d};
      if (length == ceiling) break;
    }
  }
  return best;
}

bool Taken(const Match& m) {
  if (m.length >= 8) return true;
  switch (m.length) {
    case 4: return m.offset <= 127;
    case 5: return m.offset <= 16383;
    case 6: return m.offset <= 0x1FFFFF;
    case 7: return m.offset <= 0x0FFFFFFF;
    default: return false;
  }
}

class StreamWriter {
 public:
  explicit StreamWriter(std::uint8_t* out) : out_(out) {}
  void Byte(std::uint8_t b) { out_[pos_++] = b; }
  void Number(std::uint32_t v) {
    int groups = 1;
    while (groups < 5 && (v >> (7 * groups)) != 0) ++groups;
    for (int g = groups - 1; g >= 0; --g) {
      Byte(static_cast<std::uint8_t>(((v >> (7 * g)) & 0x7F) | (g != 0 ? 0x80 : 0)));
    }
  }
  std::size_t Written() const { return pos_; }

 private:
  std::uint8_t* out_;
  std::size_t pos_ = 0;
};

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
  const std::uint8_t* in = input.data();

  // 1. Hash chains of the two-byte keys: chain[i] is the previous position at
  //    which the same two bytes start.
  std::uint32_t* head = workArea.data();
  std::uint32_t* chain = head + kLzHeadEntries;
  std::fill(head, head + kLzHeadEntries, kNone);
  for (std::uint32_t i = 0; i + 1 < n; ++i) {
    const std::uint32_t key = (static_cast<std::uint32_t>(in[i]) << 8) | in[i + 1];
    chain[i] = head[key];
    head[key] = i;
  }
  chain[n - 1] = kNone;

  // 2. The marker: the least frequent byte value, the lowest on ties.
  std::array<std::uint32_t, 256> counts{};
  for (std::uint32_t i = 0; i < n; ++i) ++counts[in[i]];
  const auto marker =
      static_cast<std::uint8_t>(std::min_element(counts.begin(), counts.end()) - counts.begin());

  StreamWriter writer(output.data());
  writer.Byte(marker);
  auto literal = [&](std::uint8_t b) {
    writer.Byte(b);
    if (b == marker) writer.Byte(0);
  };

  // 3. Matches and literals while at least 4 bytes remain (the first pass
  //    always runs), 4. then the remaining bytes as literals.
  std::uint32_t p = 0;
  std::uint32_t r = n;
  do {
    const Match m = FindMatch(in, chain, p, r);
    if (Taken(m)) {
      writer.Byte(marker);
      writer.Number(m.length);
      writer.Number(m.offset);
      p += m.length;
      r -= m.length;
    } else {
      literal(in[p]);
      ++p;
      --r;
    }
  } while (r >= 4);
  for (; r > 0; --r) literal(in[p++]);
  return writer.Written();
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
