#include "base/lz77_encoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>

#include "base/lz77.h"

namespace lz77 {
namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFF;
// The smallest length that can win: the best starts at 3.
constexpr std::uint32_t kKeyBytes = 4;
constexpr int kMinTableBits = 8;
constexpr int kMaxTableBits = 16;  // the head table of a work area holds 65,536 words
static_assert(std::size_t{1} << kMaxTableBits <= kLzHeadEntries);

std::uint32_t Load32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

std::uint64_t Load64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Index of the first difference of a and b at or after `from`, at most `limit`.
std::uint32_t CommonLength(const std::uint8_t* a, const std::uint8_t* b, std::uint32_t from,
                           std::uint32_t limit) {
  std::uint32_t k = from;
  while (k + 8 <= limit) {
    const std::uint64_t x = Load64(a + k) ^ Load64(b + k);
    if (x != 0) return k + static_cast<std::uint32_t>(std::countr_zero(x) / 8);
    k += 8;
  }
  while (k < limit && a[k] == b[k]) ++k;
  return k;
}

// First index at or after i (at most end) whose byte is not b.
std::uint32_t RunEnd(const std::uint8_t* in, std::uint32_t i, std::uint32_t end, std::uint8_t b) {
  const std::uint64_t all = 0x0101010101010101ull * b;
  while (i + 8 <= end) {
    const std::uint64_t x = Load64(in + i) ^ all;
    if (x != 0) return i + static_cast<std::uint32_t>(std::countr_zero(x) / 8);
    i += 8;
  }
  while (i < end && in[i] == b) ++i;
  return i;
}

// Lowest s <= i with every byte of [s, i) equal to b.
std::uint32_t RunStart(const std::uint8_t* in, std::uint32_t i, std::uint8_t b) {
  const std::uint64_t all = 0x0101010101010101ull * b;
  while (i >= 8) {
    const std::uint64_t x = Load64(in + i - 8) ^ all;
    if (x != 0) return i - static_cast<std::uint32_t>(std::countl_zero(x) / 8);
    i -= 8;
  }
  while (i > 0 && in[i - 1] == b) --i;
  return i;
}

static_assert(std::endian::native == std::endian::little, "the word comparisons count bytes from the low end");

// What is known, at one position p, about the input repeating itself with a
// period q around p. It lets the search give the length of a candidate whose
// offset is a multiple of q without comparing the bytes again, which keeps
// repeating patterns linear instead of quadratic.
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
  std::uint32_t length;  // 3 with offset 0: nothing better than 3 bytes
  std::uint32_t offset;
};

// The chains of earlier positions and the search at one position.
class MatchIndex {
 public:
  // Indexes input in work: a hash head table (at the start of work) and one
  // chain word per position (from kLzHeadEntries on).
  MatchIndex(std::span<const std::uint8_t> input, std::span<std::uint32_t> work);

  // The match of the agreed algorithm at position p (p < input size).
  Match Find(std::uint32_t p) const;

 private:
  std::uint32_t Word(std::uint32_t i) const { return Load32(in_ + i); }
  Match FindInRuns(std::uint32_t p, std::uint32_t r) const;
  Match FindGeneral(std::uint32_t p, std::uint32_t r) const;

  const std::uint8_t* in_;
  std::uint32_t n_;
  std::uint32_t* chain_;
};

MatchIndex::MatchIndex(std::span<const std::uint8_t> input, std::span<std::uint32_t> work)
    : in_(input.data()), n_(static_cast<std::uint32_t>(input.size())), chain_(work.data() + kLzHeadEntries) {
  const int bits = std::clamp(static_cast<int>(std::bit_width(n_)) + 1, kMinTableBits, kMaxTableBits);
  const std::span<std::uint32_t> head = work.first(std::size_t{1} << bits);
  std::fill(head.begin(), head.end(), kNone);
  if (n_ < kKeyBytes) return;
  // chain[i]: the previous position whose four bytes hash as those at i.
  // Positions of the last three bytes start no four bytes and are never asked.
  for (std::uint32_t i = 0; i + kKeyBytes <= n_; ++i) {
    const std::uint32_t h = (Word(i) * 2654435761u) >> (32 - bits);
    chain_[i] = head[h];
    head[h] = i;
  }
}

inline Match MatchIndex::Find(std::uint32_t p) const {
  const std::uint32_t r = n_ - p;
  if (r < kKeyBytes) return {3, 0};
  const std::uint32_t w = Word(p);
  return w == 0x01010101u * in_[p] ? FindInRuns(p, r) : FindGeneral(p, r);
}

// Candidates are walked nearest first; a candidate replaces the best only when
// longer. The agreed algorithm's test of the byte at the best length, before
// measuring, is a shortcut that never changes the result: a candidate that
// fails it, or whose limit min(r, p - c) is not above the best, cannot be
// longer. Here the test looks at the four bytes that end there.
//
// Once the best is B bytes long, a longer candidate c also repeats the four
// bytes at p + B - 3 at c + B - 3, so the walk may follow the chain of that
// anchor instead (c is the chain's entry minus B - 3): in text the later
// bytes of a match are far rarer than its first four. Every candidate that
// could still win lies on either chain, so the walk moves to the anchor's
// chain when the entries nearer than the current candidate are few to skip.
Match MatchIndex::FindGeneral(std::uint32_t p, std::uint32_t r) const {
  // Entries of a new anchor's chain skipped at most before the walk stays on its chain.
  constexpr int kMaxAnchorSkip = 32;
  Match best{3, 0};
  // No candidate can be longer than this; reaching it ends the search.
  const std::uint32_t ceiling = std::min(r, kLzWindow - 1);
  const std::uint32_t w = Word(p);
  std::optional<Period> period;
  bool periodSought = false;
  std::uint32_t anchor = 0;  // the walk follows the chain of p + anchor
  std::uint32_t anchorWord = w;

  std::uint32_t x = chain_[p];
  while (x != kNone && x >= anchor && p - (x - anchor) < kLzWindow) {
    const std::uint32_t c = x - anchor;
    const std::uint32_t entry = x;
    x = chain_[x];
    if (Word(entry) != anchorWord) continue;  // another key of the same hash
    if (anchor != 0 && Word(c) != w) continue;
    const std::uint32_t d = p - c;
    const std::uint32_t limit = std::min(r, d);
    if (limit <= best.length) continue;

    std::uint32_t length;
    if (period && period->Applies(d)) {
      length = period->Length(limit);
    } else {
      const std::uint32_t last = best.length - (kKeyBytes - 1);
      if (last != anchor && Load32(in_ + c + last) != Load32(in_ + p + last)) continue;
      length = CommonLength(in_ + c, in_ + p, kKeyBytes, limit);
      if (length == d && !periodSought) {
        // The input repeats with period d from p - d on. Look for the
        // shortest such period among the nearer candidates (c lies on the
        // chain of p, as every position with p's four bytes does).
        periodSought = true;
        std::uint32_t q = d;
        for (std::uint32_t e = chain_[p]; e != c; e = chain_[e]) {
          if (Word(e) != w) continue;
          const std::uint32_t offset = p - e;
          if (CommonLength(in_ + e, in_ + p, std::min(kKeyBytes, offset), offset) == offset) {
            q = offset;
            break;
          }
        }
        period.emplace(in_, p, q, q);
      }
    }
    if (length <= best.length) continue;
    best = {length, d};
    if (length == ceiling) break;
    if (period) continue;  // its candidates come at every multiple of the period: stay
    // best < r, so p + best - 3 still starts four bytes of the input.
    const std::uint32_t next = best.length - (kKeyBytes - 1);
    std::uint32_t y = chain_[p + next];
    int skipped = 0;
    while (y != kNone && y >= c + next && skipped < kMaxAnchorSkip) {
      y = chain_[y];
      ++skipped;
    }
    if (y == kNone || y < c + next) {
      anchor = next;
      anchorWord = Word(p + next);
      x = y;
    }
  }
  return best;
}

// p starts with four bytes b, and so does every candidate: each lies in a run
// [s, e) of b. With z the length of p's own run, a candidate c of such a run
// has the common length e - c when e - c < z, exactly z when e - c > z, and
// at least z when e - c = z; its length is that capped at min(r, p - c). So
// the longest (nearest on ties) of a whole run is one of at most three
// positions, which are measured in full, nearest first; the rest of the run
// is skipped.
Match MatchIndex::FindInRuns(std::uint32_t p, std::uint32_t r) const {
  Match best{3, 0};
  const std::uint32_t ceiling = std::min(r, kLzWindow - 1);
  const std::uint8_t b = in_[p];
  const std::uint32_t w = Word(p);
  const std::uint32_t z = RunEnd(in_, p + kKeyBytes, n_, b) - p;
  const std::uint32_t lowest = p >= kLzWindow - 1 ? p - (kLzWindow - 1) : 0;

  std::uint32_t c = chain_[p];
  while (c != kNone && c >= lowest) {
    if (Word(c) != w) {
      c = chain_[c];
      continue;
    }
    // c is the nearest candidate of its run.
    std::uint32_t e;
    if (c + kKeyBytes >= p) {
      e = p + z;
    } else {
      e = RunEnd(in_, c + kKeyBytes, p, b);
      if (e == p) e = p + z;
    }
    const std::uint32_t s = RunStart(in_, c, b);
    const std::int64_t lo = std::max(s, lowest);
    const std::int64_t hi = c;
    const std::int64_t exact = static_cast<std::int64_t>(e) - z;  // e - c = z
    std::array<std::int64_t, 3> picks{};
    std::size_t count = 0;
    auto pick = [&](std::int64_t x, std::int64_t from, std::int64_t to) {
      if (from <= to) picks[count++] = std::clamp(x, from, to);
    };
    // Above `exact` the length is min(e, p) - c (below z, so below r): the
    // lowest is the longest.
    const std::int64_t aboveLow = std::max(lo, exact + 1);
    pick(aboveLow, aboveLow, hi);
    pick(exact, std::max(lo, exact), std::min(hi, exact));
    // Below it the length is min(z, r, p - c): the nearest that reaches min(z, r).
    pick(static_cast<std::int64_t>(p) - std::min(z, r), lo, std::min(hi, exact - 1));
    // The picks came nearest first: above `exact`, `exact`, below it.
    for (std::size_t k = 0; k < count; ++k) {
      const auto candidate = static_cast<std::uint32_t>(picks[k]);
      const std::uint32_t d = p - candidate;
      const std::uint32_t limit = std::min(r, d);
      if (limit <= best.length) continue;
      const std::uint32_t length = CommonLength(in_ + candidate, in_ + p, kKeyBytes, limit);
      if (length > best.length) {
        best = {length, d};
        if (length == ceiling) return best;
      }
    }
    if (s < lowest) break;  // the rest lies outside the window
    c = chain_[s];
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

}  // namespace

std::size_t EncodeStream(std::span<const std::uint8_t> input, std::uint8_t* output,
                         std::span<std::uint32_t> work) {
  const auto n = static_cast<std::uint32_t>(input.size());
  const std::uint8_t* in = input.data();

  // 1. The chains of earlier positions that the search walks.
  const MatchIndex index(input, work);

  // 2. The marker: the least frequent byte value, the lowest on ties. Four
  //    tables let the counting of neighbouring bytes run side by side.
  std::array<std::array<std::uint32_t, 256>, 4> partial{};
  std::uint32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    ++partial[0][in[i]];
    ++partial[1][in[i + 1]];
    ++partial[2][in[i + 2]];
    ++partial[3][in[i + 3]];
  }
  for (; i < n; ++i) ++partial[0][in[i]];
  std::array<std::uint32_t, 256> counts{};
  for (std::size_t v = 0; v < counts.size(); ++v) counts[v] = partial[0][v] + partial[1][v] + partial[2][v] + partial[3][v];
  const auto marker =
      static_cast<std::uint8_t>(std::min_element(counts.begin(), counts.end()) - counts.begin());

  StreamWriter writer(output);
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
    const Match m = index.Find(p);
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

}  // namespace lz77
