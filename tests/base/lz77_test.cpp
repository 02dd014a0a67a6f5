#include "base/lz77.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <future>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/klib_locks.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

constexpr std::uint32_t kMaxZipInput = 0xF00000;

Bytes FromString(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Encode(const Bytes& input) {
  Bytes out(LzMaxPackedSize(static_cast<std::uint32_t>(input.size())));
  std::vector<std::uint32_t> work(LzWorkAreaWords(input.size()));
  out.resize(LzEncode(input, out, work));
  return out;
}

// Decodes into a buffer of exactly `capacity` bytes, so that ASan sees any write past it.
Bytes Decode(const Bytes& packed, std::size_t capacity, LzDecodeStatus* status) {
  Bytes out(capacity);
  out.resize(LzDecode(packed, out, status));
  return out;
}

// The encoding as the agreed algorithm states it, written plainly: every
// candidate is tested with its byte at the current best length, and measured
// in full. The input is copied into a buffer padded with `pad`, because that
// test may look at bytes behind the input's end; the padding must not matter.
Bytes ReferenceEncode(const Bytes& data, std::uint8_t pad) {
  const std::uint32_t n = static_cast<std::uint32_t>(data.size());
  if (n == 0) return {};
  constexpr std::uint32_t none = 0xFFFFFFFF;
  Bytes in = data;
  in.resize(data.size() + 100008, pad);
  std::vector<std::uint32_t> head(65536, none), chain(n);
  for (std::uint32_t i = 0; i + 1 < n; ++i) {
    const std::uint32_t key = in[i] * 256u + in[i + 1];
    chain[i] = head[key];
    head[key] = i;
  }
  chain[n - 1] = none;
  std::uint32_t counts[256] = {};
  for (std::uint32_t i = 0; i < n; ++i) ++counts[in[i]];
  std::uint8_t marker = 0;
  for (int v = 1; v < 256; ++v)
    if (counts[v] < counts[marker]) marker = static_cast<std::uint8_t>(v);

  Bytes out{marker};
  auto number = [&](std::uint32_t v) {
    Bytes groups;
    do {
      groups.insert(groups.begin(), static_cast<std::uint8_t>(v & 0x7F));
      v >>= 7;
    } while (v != 0);
    for (std::size_t i = 0; i + 1 < groups.size(); ++i) groups[i] |= 0x80;
    out.insert(out.end(), groups.begin(), groups.end());
  };
  auto literal = [&](std::uint8_t b) {
    out.push_back(b);
    if (b == marker) out.push_back(0);
  };
  std::uint32_t p = 0, r = n;
  do {
    std::uint32_t best = 3, bestOffset = 0;
    for (std::uint32_t c = chain[p]; c != none && p - c < 100000; c = chain[c]) {
      if (in[c + best] != in[p + best]) continue;
      const std::uint32_t limit = std::min(r, p - c);
      std::uint32_t len = 2;
      while (len < limit && in[c + len] == in[p + len]) ++len;
      if (len > best) {
        best = len;
        bestOffset = p - c;
      }
    }
    const bool take = best >= 8 || (best == 4 && bestOffset <= 127) || (best == 5 && bestOffset <= 16383) ||
                      (best == 6 && bestOffset <= 0x1FFFFF) || (best == 7 && bestOffset <= 0x0FFFFFFF);
    if (take) {
      out.push_back(marker);
      number(best);
      number(bestOffset);
      p += best;
      r -= best;
    } else {
      literal(in[p]);
      ++p;
      --r;
    }
  } while (r >= 4);
  for (; r > 0; --r) literal(in[p++]);
  return out;
}

// Checks what the writer promises about a stream: minimal numbers, no length
// 0, offsets not below the length and below 100,000, inside the output.
void ExpectWellFormed(const Bytes& packed, std::size_t unpacked) {
  ASSERT_FALSE(packed.empty());
  const std::uint8_t marker = packed[0];
  std::size_t i = 1, produced = 0;
  auto number = [&]() -> std::uint64_t {
    std::uint64_t v = 0;
    const std::size_t start = i;
    while (true) {
      EXPECT_LT(i, packed.size());
      if (i >= packed.size()) return 0;
      const std::uint8_t b = packed[i++];
      v = (v << 7) | (b & 0x7F);
      if (!(b & 0x80)) break;
    }
    EXPECT_NE(packed[start], 0x80) << "not the fewest groups at " << start;
    EXPECT_LE(i - start, 5u);
    return v;
  };
  while (i < packed.size()) {
    if (packed[i++] != marker) {
      ++produced;
      continue;
    }
    ASSERT_LT(i, packed.size());
    if (packed[i] == 0) {
      ++i;
      ++produced;
      continue;
    }
    const std::uint64_t length = number();
    const std::uint64_t offset = number();
    EXPECT_GE(length, 4u);
    EXPECT_GE(offset, length);
    EXPECT_LT(offset, 100000u);
    EXPECT_LE(offset, produced);
    produced += length;
  }
  EXPECT_EQ(produced, unpacked);
}

void ExpectRoundTrip(const Bytes& input) {
  const Bytes packed = Encode(input);
  if (input.empty()) {
    EXPECT_TRUE(packed.empty());
    return;
  }
  EXPECT_LE(packed.size(), LzMaxPackedSize(static_cast<std::uint32_t>(input.size())));
  ExpectWellFormed(packed, input.size());
  LzDecodeStatus status = LzDecodeStatus::Overflow;
  const Bytes back = Decode(packed, input.size(), &status);
  EXPECT_EQ(status, LzDecodeStatus::Ok);
  EXPECT_TRUE(back == input) << "round trip differs for " << input.size() << " bytes";
}

void ExpectAsReference(const Bytes& input) {
  const Bytes packed = Encode(input);
  EXPECT_TRUE(packed == ReferenceEncode(input, 0x00)) << input.size() << " bytes";
  EXPECT_TRUE(packed == ReferenceEncode(input, 0xFF)) << input.size() << " bytes";
}

Bytes RandomBytes(std::mt19937& rng, std::size_t n, int alphabet) {
  Bytes b(n);
  std::uniform_int_distribution<int> d(0, alphabet - 1);
  for (auto& x : b) x = static_cast<std::uint8_t>('a' + d(rng));
  return b;
}

Bytes TextLike(std::mt19937& rng, std::size_t n) {
  static const char* const words[] = {"N123AB ", "KJFK ", "KBOS ", "FL350 ", "B738/L ", "the ", "flight ",
                                      "plan ", "squawk 7000 ", "\r\n", "pilot ", "controller ", "0.0.0 "};
  std::uniform_int_distribution<std::size_t> d(0, std::size(words) - 1);
  std::string s;
  while (s.size() < n) s += words[d(rng)];
  s.resize(n);
  return FromString(s);
}

// Runs of random lengths, so that repeating stretches start and end often.
Bytes Runs(std::mt19937& rng, std::size_t n, int alphabet, int maxRun) {
  Bytes b;
  std::uniform_int_distribution<int> value(0, alphabet - 1), length(1, maxRun);
  while (b.size() < n) b.insert(b.end(), length(rng), static_cast<std::uint8_t>(value(rng)));
  b.resize(n);
  return b;
}

// A pattern of `period` random bytes repeated, with a few bytes changed.
Bytes Periodic(std::mt19937& rng, std::size_t n, std::size_t period, std::size_t changes) {
  Bytes unit = RandomBytes(rng, period, 4);
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = unit[i % period];
  std::uniform_int_distribution<std::size_t> where(0, n - 1);
  for (std::size_t k = 0; k < changes; ++k) b[where(rng)] ^= 0x20;
  return b;
}

// The stream the algorithm gives for n equal bytes: at position p (p >= 4)
// every offset up to min(p, 99,999) is a candidate, so the match is
// L = min(r, p, 99,999) long at offset L.
Bytes ExpectedRun(std::uint32_t n, std::uint8_t value) {
  const std::uint8_t marker = value == 0 ? 1 : 0;
  Bytes out{marker};
  auto number = [&](std::uint32_t v) {
    if (v >= 16384) out.push_back(static_cast<std::uint8_t>(0x80 | (v >> 14)));
    if (v >= 128) out.push_back(static_cast<std::uint8_t>(0x80 | ((v >> 7) & 0x7F)));
    out.push_back(static_cast<std::uint8_t>(v & 0x7F));
  };
  std::uint32_t p = 0, r = n;
  do {
    const std::uint32_t l = std::min({r, p, 99999u});
    if (l >= 4) {
      out.push_back(marker);
      number(l);
      number(l);
      p += l;
      r -= l;
    } else {
      out.push_back(value);
      ++p;
      --r;
    }
  } while (r >= 4);
  for (; r > 0; --r) out.push_back(value);
  return out;
}

// ---------------------------------------------------------------------------
// The coder

TEST(LzEncode, AbcIsMarkerAndThreeLiterals) {
  const Bytes packed = Encode(FromString("abc"));
  EXPECT_EQ(packed, (Bytes{0x00, 0x61, 0x62, 0x63}));
  LzDecodeStatus status;
  EXPECT_EQ(Decode(packed, 3, &status), FromString("abc"));
  EXPECT_EQ(status, LzDecodeStatus::Ok);
}

TEST(LzEncode, ThousandEqualBytes) {
  const Bytes input(1000, 0x58);
  const Bytes expected = {0x00, 0x58, 0x58, 0x58, 0x58, 0x00, 0x04, 0x04, 0x00, 0x08, 0x08, 0x00,
                          0x10, 0x10, 0x00, 0x20, 0x20, 0x00, 0x40, 0x40, 0x00, 0x81, 0x00, 0x81,
                          0x00, 0x00, 0x82, 0x00, 0x82, 0x00, 0x00, 0x83, 0x68, 0x83, 0x68};
  const Bytes packed = Encode(input);
  EXPECT_EQ(packed, expected);
  EXPECT_EQ(packed, ExpectedRun(1000, 0x58));
  LzDecodeStatus status;
  EXPECT_EQ(Decode(packed, 1000, &status), input);
  EXPECT_EQ(status, LzDecodeStatus::Ok);
}

TEST(LzEncode, EveryByteValueOnce) {
  Bytes input(256);
  for (int i = 0; i < 256; ++i) input[i] = static_cast<std::uint8_t>(i);
  const Bytes packed = Encode(input);
  ASSERT_EQ(packed.size(), 258u);
  EXPECT_EQ(packed.size(), LzMaxPackedSize(256));
  Bytes expected{0x00, 0x00, 0x00};
  for (int i = 1; i < 256; ++i) expected.push_back(static_cast<std::uint8_t>(i));
  EXPECT_EQ(packed, expected);
  ExpectRoundTrip(input);
}

TEST(LzEncode, EveryByteValueEquallyOftenTakesMarkerZero) {
  Bytes input;
  for (int k = 0; k < 3; ++k)
    for (int i = 255; i >= 0; --i) input.push_back(static_cast<std::uint8_t>(i));
  const Bytes packed = Encode(input);
  EXPECT_EQ(packed[0], 0x00);
  ExpectRoundTrip(input);
}

TEST(LzEncode, MarkerIsLeastFrequentLowestOnTies) {
  Bytes input;
  for (int v = 0; v < 256; ++v) input.insert(input.end(), v == 0x41 || v == 0x37 ? 1 : 2, static_cast<std::uint8_t>(v));
  EXPECT_EQ(Encode(input)[0], 0x37);
}

TEST(LzEncode, EmptyInputWritesNothing) {
  Bytes out(8, 0xEE);
  std::vector<std::uint32_t> work(LzWorkAreaWords(0));
  EXPECT_EQ(LzEncode({}, out, work), 0u);
  EXPECT_EQ(out, Bytes(8, 0xEE));
}

TEST(LzEncode, RefusesTooSmallBuffers) {
  const Bytes input = FromString("abcdefgh");
  Bytes out(LzMaxPackedSize(8) - 1);
  std::vector<std::uint32_t> work(LzWorkAreaWords(8));
  EXPECT_EQ(LzEncode(input, out, work), 0u);
  out.resize(LzMaxPackedSize(8));
  work.resize(LzWorkAreaWords(8) - 1);
  EXPECT_EQ(LzEncode(input, out, work), 0u);
  work.resize(LzWorkAreaWords(8));
  EXPECT_EQ(LzEncode(input, out, work), 9u);
}

TEST(LzEncode, TinyInputs) {
  EXPECT_EQ(Encode(Bytes{0x00}), (Bytes{0x01, 0x00}));
  EXPECT_EQ(Encode(Bytes{0x07}), (Bytes{0x00, 0x07}));
  EXPECT_EQ(Encode(Bytes{0x00, 0x00}), (Bytes{0x01, 0x00, 0x00}));
  EXPECT_EQ(Encode(Bytes{0x01, 0x00}), (Bytes{0x02, 0x01, 0x00}));
  EXPECT_EQ(Encode(Bytes{0x05, 0x05, 0x05}), (Bytes{0x00, 0x05, 0x05, 0x05}));
  EXPECT_EQ(Encode(Bytes{0x00, 0x01, 0x02, 0x03}), (Bytes{0x04, 0x00, 0x01, 0x02, 0x03}));
  for (std::size_t n = 1; n <= 12; ++n) {
    for (std::uint8_t v : {0x00, 0x01, 0xFF}) {
      ExpectRoundTrip(Bytes(n, v));
      ExpectAsReference(Bytes(n, v));
    }
  }
}

TEST(LzEncode, OutputIsThatOfTheAlgorithm) {
  std::mt19937 rng(1234);
  ExpectAsReference(RandomBytes(rng, 20000, 256));
  ExpectAsReference(RandomBytes(rng, 20000, 2));
  ExpectAsReference(RandomBytes(rng, 20000, 3));
  ExpectAsReference(TextLike(rng, 30000));
  ExpectAsReference(Runs(rng, 20000, 2, 40));
  ExpectAsReference(Runs(rng, 20000, 1, 40));
  ExpectAsReference(Periodic(rng, 12000, 2, 0));
  ExpectAsReference(Periodic(rng, 12000, 3, 5));
  ExpectAsReference(Periodic(rng, 12000, 7, 20));
  ExpectAsReference(Periodic(rng, 12000, 64, 10));
  ExpectAsReference(Bytes(5000, 'x'));
}

TEST(LzEncode, OutputIsThatOfTheAlgorithmOnManySmallInputs) {
  std::mt19937 rng(99);
  std::uniform_int_distribution<std::size_t> size(0, 400);
  std::uniform_int_distribution<int> alphabet(1, 4), maxRun(1, 30), period(1, 9);
  for (int k = 0; k < 600; ++k) {
    const std::size_t n = size(rng);
    Bytes input;
    switch (k % 3) {
      case 0: input = RandomBytes(rng, n, alphabet(rng)); break;
      case 1: input = Runs(rng, n, alphabet(rng), maxRun(rng)); break;
      default: input = n ? Periodic(rng, n, std::min<std::size_t>(n, period(rng)), n / 50) : Bytes{}; break;
    }
    ExpectAsReference(input);
    ExpectRoundTrip(input);
    if (HasFailure()) {
      ADD_FAILURE() << "case " << k;
      return;
    }
  }
}

// Fields of text and numbers between runs of padding of many lengths, as in
// the fixed records that travel packed; the padding byte and the field
// alphabet vary, so runs of one value meet, end at the input's end or are
// exactly as long as one another.
Bytes RecordLike(std::mt19937& rng, std::size_t n) {
  static const std::uint8_t pads[] = {0x00, 0x00, 0x00, 0x20, 0xFF, 0x30};
  std::uniform_int_distribution<std::size_t> pad(0, std::size(pads) - 1), padLength(1, 300), fieldLength(1, 24);
  std::uniform_int_distribution<int> kind(0, 3);
  Bytes b;
  while (b.size() < n) {
    const std::size_t length = fieldLength(rng);
    Bytes field;
    switch (kind(rng)) {
      case 0: field = RandomBytes(rng, length, 26); break;    // letters
      case 1: field = RandomBytes(rng, length, 3); break;     // few values: many repeats
      case 2: field = FromString("DLH123AB\tEDDF\tLFPG"); break;  // the same field again
      default: field.assign(length, pads[pad(rng)]); break;  // a run of another value
    }
    b.insert(b.end(), field.begin(), field.end());
    b.insert(b.end(), padLength(rng), pads[pad(rng)]);
  }
  b.resize(n);
  return b;
}

// Lines of repeated phrases with small changes: the match found first keeps
// growing along rarer and rarer bytes.
Bytes PhraseText(std::mt19937& rng, std::size_t n) {
  static const char* const phrases[] = {"Airbus\tA320\tA320\tL2J\tM\r\n", "Boeing\t737-800\tB738\tL2J\tM\r\n",
                                        "Cessna\t172 Skyhawk\tC172\tL1P\tL\r\n", "Airbus\tA321neo\tA21N\tL2J\tM\r\n"};
  std::uniform_int_distribution<std::size_t> phrase(0, std::size(phrases) - 1);
  std::uniform_int_distribution<int> change(0, 9), letter('0', 'z');
  std::string s;
  while (s.size() < n) {
    std::string line = phrases[phrase(rng)];
    if (change(rng) < 4) line[static_cast<std::size_t>(change(rng)) % line.size()] = static_cast<char>(letter(rng));
    s += line;
  }
  s.resize(n);
  return FromString(s);
}

TEST(LzEncode, OutputIsThatOfTheAlgorithmOnRecordsRunsAndText) {
  std::mt19937 rng(2024);
  std::uniform_int_distribution<std::size_t> size(1, 6000);
  std::uniform_int_distribution<int> alphabet(1, 256), maxRun(1, 600);
  // Sizes on both sides of the head table's steps, and random ones.
  std::vector<std::size_t> sizes = {4, 5, 127, 128, 129, 255, 256, 257, 511, 512, 513, 4095, 4096, 4097};
  for (int k = 0; k < 300; ++k) sizes.push_back(size(rng));
  for (std::size_t k = 0; k < sizes.size(); ++k) {
    const std::size_t n = sizes[k];
    Bytes input;
    switch (k % 4) {
      case 0: input = RecordLike(rng, n); break;
      case 1: input = PhraseText(rng, n); break;
      case 2: input = Runs(rng, n, alphabet(rng), maxRun(rng)); break;
      default: input = RandomBytes(rng, n, alphabet(rng)); break;
    }
    const Bytes packed = Encode(input);
    const Bytes reference = ReferenceEncode(input, 0x00);
    ASSERT_TRUE(packed == reference) << "case " << k << ", " << n << " bytes, first difference at "
                                     << (std::mismatch(packed.begin(), packed.end(), reference.begin(), reference.end()).first -
                                         packed.begin());
  }
}

TEST(LzEncode, RunsAcrossTheWindowEdgeAreThoseOfTheAlgorithm) {
  std::mt19937 rng(31);
  for (std::size_t gap : {99990u, 99995u, 99998u, 100000u, 100003u}) {
    // A run, then other bytes, then runs whose candidates start just inside,
    // across or outside the window.
    Bytes input(700, 0x00);
    const Bytes middle = RandomBytes(rng, gap - 700, 200);
    input.insert(input.end(), middle.begin(), middle.end());
    input.insert(input.end(), 1500, 0x00);
    input.push_back(0x41);
    input.insert(input.end(), 40, 0x00);
    ExpectAsReference(input);
  }
}

// The shared work area keeps what earlier, larger inputs left in it.
TEST(LzEncode, LeftoversInTheWorkAreaDoNotChangeTheOutput) {
  std::mt19937 rng(8);
  const Bytes inputs[] = {TextLike(rng, 20000), RecordLike(rng, 2352), RecordLike(rng, 560), PhraseText(rng, 300),
                          Bytes(9, 0x00), RecordLike(rng, 5000)};
  std::vector<std::uint32_t> work(LzWorkAreaWords(20000), 0x00000005);
  for (const Bytes& input : inputs) {
    Bytes out(LzMaxPackedSize(static_cast<std::uint32_t>(input.size())));
    out.resize(LzEncode(input, out, work));
    EXPECT_TRUE(out == ReferenceEncode(input, 0x00)) << input.size() << " bytes";
  }
}

TEST(LzEncode, LongRunsUseOffsetsBelowTheWindow) {
  for (std::uint32_t n : {99999u, 100000u, 100004u, 131075u, 250001u, 1000000u}) {
    const Bytes input(n, 0x00);
    const Bytes packed = Encode(input);
    EXPECT_EQ(packed, ExpectedRun(n, 0x00)) << n;
    ExpectRoundTrip(input);
  }
}

TEST(LzEncode, RoundTrips) {
  std::mt19937 rng(7);
  ExpectRoundTrip(FromString("ab"));
  ExpectRoundTrip(FromString("abcd"));
  ExpectRoundTrip(FromString("abababababababababab"));
  ExpectRoundTrip(RandomBytes(rng, 300000, 256));
  ExpectRoundTrip(TextLike(rng, 400000));
  ExpectRoundTrip(Runs(rng, 300000, 3, 5000));
  ExpectRoundTrip(Periodic(rng, 400000, 2, 0));
  ExpectRoundTrip(Periodic(rng, 400000, 5, 30));
  ExpectRoundTrip(Periodic(rng, 300000, 1000, 30));
  // A long run, something else, then the run again further back than the window reaches.
  Bytes mixed(150000, 'q');
  const Bytes middle = RandomBytes(rng, 120000, 256);
  mixed.insert(mixed.end(), middle.begin(), middle.end());
  mixed.insert(mixed.end(), 150000, 'q');
  ExpectRoundTrip(mixed);
}

// ---------------------------------------------------------------------------
// The decoder

TEST(LzDecode, ShortStreamsDecodeToNothing) {
  LzDecodeStatus status = LzDecodeStatus::Overflow;
  EXPECT_TRUE(Decode(Bytes{}, 4, &status).empty());
  EXPECT_EQ(status, LzDecodeStatus::Ok);
  EXPECT_TRUE(Decode(Bytes{0x00}, 4, &status).empty());
  EXPECT_EQ(status, LzDecodeStatus::Ok);
}

TEST(LzDecode, OverlappingCopyRepeatsBytes) {
  LzDecodeStatus status;
  EXPECT_EQ(Decode(Bytes{0x00, 0x41, 0x00, 0x05, 0x01}, 6, &status), FromString("AAAAAA"));
  EXPECT_EQ(status, LzDecodeStatus::Ok);
}

TEST(LzDecode, MalformedStreamsEndTheDecoding) {
  struct Case {
    Bytes stream;
    LzDecodeStatus status;
    Bytes produced;
  };
  const Case cases[] = {
      {{0x00, 0x41, 0x00}, LzDecodeStatus::Truncated, {0x41}},                     // marker at the end
      {{0x00, 0x41, 0x00, 0x81}, LzDecodeStatus::Truncated, {0x41}},               // length runs past the end
      {{0x00, 0x41, 0x00, 0x01}, LzDecodeStatus::Truncated, {0x41}},               // no offset
      {{0x00, 0x41, 0x00, 0x01, 0x80}, LzDecodeStatus::Truncated, {0x41}},         // offset runs past the end
      {{0x00, 0x41, 0x00, 0x81, 0x80, 0x80, 0x80, 0x80, 0x01, 0x01},               // six groups
       LzDecodeStatus::LongNumber, {0x41}},
      {{0x00, 0x41, 0x00, 0x01, 0x80, 0x80, 0x80, 0x80, 0x81}, LzDecodeStatus::LongNumber, {0x41}},
      {{0x00, 0x41, 0x42, 0x00, 0x01, 0x00}, LzDecodeStatus::BadOffset, {0x41, 0x42}},  // offset 0
      {{0x00, 0x41, 0x42, 0x00, 0x01, 0x03}, LzDecodeStatus::BadOffset, {0x41, 0x42}},  // before the start
      {{0x00, 0x00, 0x01, 0x01}, LzDecodeStatus::BadOffset, {}},                         // copy from nothing
      {{0x00, 0x41, 0x42, 0x00, 0x01, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F},                     // huge offset
       LzDecodeStatus::BadOffset, {0x41, 0x42}},
  };
  for (const Case& c : cases) {
    LzDecodeStatus status = LzDecodeStatus::Ok;
    EXPECT_EQ(Decode(c.stream, 16, &status), c.produced);
    EXPECT_EQ(status, c.status);
  }
}

TEST(LzDecode, OutputBeyondCapacityFillsItAndStops) {
  const Bytes input = FromString("hello hello hello hello world");
  const Bytes packed = Encode(input);
  for (std::size_t capacity = 0; capacity < input.size(); ++capacity) {
    LzDecodeStatus status = LzDecodeStatus::Ok;
    const Bytes out = Decode(packed, capacity, &status);
    EXPECT_EQ(status, LzDecodeStatus::Overflow);
    EXPECT_EQ(out, Bytes(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(capacity)));
  }
  LzDecodeStatus status;
  // A huge length with a valid offset.
  EXPECT_EQ(Decode(Bytes{0x00, 0x41, 0x00, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0x01}, 10, &status), Bytes(10, 0x41));
  EXPECT_EQ(status, LzDecodeStatus::Overflow);
}

// ---------------------------------------------------------------------------
// LzUncompress

class LzUncompressTest : public testing::Test {
 protected:
  void SetUp() override { GetKlibLock(KlibLockId::Decompression).Create(); }
};

TEST_F(LzUncompressTest, ArgumentChecks) {
  const Bytes packed = Encode(FromString("abc"));
  Bytes out(3);
  std::uint32_t length = 77;
  EXPECT_EQ(LzUncompress(nullptr, 4, out.data(), 3, &length), -10);
  EXPECT_EQ(LzUncompress(packed.data(), 4, nullptr, 3, &length), -20);
  EXPECT_EQ(LzUncompress(packed.data(), 0, out.data(), 3, &length), -30);
  EXPECT_EQ(LzUncompress(packed.data(), 4, out.data(), 0, &length), -40);
  EXPECT_EQ(LzUncompress(packed.data(), 4, out.data(), 3, nullptr), -50);
  EXPECT_EQ(length, 77u);
  EXPECT_EQ(LzUncompress(packed.data(), 4, out.data(), 3, &length), 0);
  EXPECT_EQ(length, 3u);
  EXPECT_EQ(out, FromString("abc"));
}

TEST_F(LzUncompressTest, WrongExpectedLengthStillFillsTheOutput) {
  const Bytes input = FromString("flight plan flight plan flight plan KJFK KBOS");
  const Bytes packed = Encode(input);
  const auto packedLength = static_cast<std::uint32_t>(packed.size());
  std::uint32_t length = 0;

  Bytes longer(input.size() + 10, 0xEE);
  EXPECT_EQ(LzUncompress(packed.data(), packedLength, longer.data(), static_cast<std::uint32_t>(longer.size()), &length),
            -100);
  EXPECT_EQ(length, input.size());
  EXPECT_TRUE(std::equal(input.begin(), input.end(), longer.begin()));

  Bytes shorter(input.size() - 10, 0xEE);
  EXPECT_EQ(LzUncompress(packed.data(), packedLength, shorter.data(), static_cast<std::uint32_t>(shorter.size()), &length),
            -100);
  EXPECT_EQ(length, shorter.size());
  EXPECT_TRUE(std::equal(shorter.begin(), shorter.end(), input.begin()));
}

TEST_F(LzUncompressTest, MalformedStreamsGiveMinus100) {
  const Bytes streams[] = {
      {0x00},                                                  // nothing to decode
      {0x00, 0x41, 0x00},                                      // marker at the end
      {0x00, 0x41, 0x00, 0x81},                                // truncated number
      {0x00, 0x41, 0x00, 0x81, 0x80, 0x80, 0x80, 0x80, 0x01, 0x01},  // six groups
      {0x00, 0x41, 0x00, 0x01, 0x00},                          // offset 0
      {0x00, 0x41, 0x00, 0x01, 0x02},                          // offset beyond the output
      {0x00, 0x41, 0x42, 0x43},                                // more than the capacity
      {0x00, 0x41, 0x00, 0x04, 0x01},                          // copy beyond the capacity
  };
  for (const Bytes& s : streams) {
    Bytes out(2, 0xEE);
    std::uint32_t length = 99;
    EXPECT_EQ(LzUncompress(s.data(), static_cast<std::uint32_t>(s.size()), out.data(), 2, &length), -100);
    EXPECT_LE(length, 2u);
  }
  // A stream that decodes the expected length and then turns malformed.
  const Bytes trailing = {0x00, 0x41, 0x42, 0x00, 0x81};
  Bytes out(2);
  std::uint32_t length = 0;
  EXPECT_EQ(LzUncompress(trailing.data(), static_cast<std::uint32_t>(trailing.size()), out.data(), 2, &length), -100);
  EXPECT_EQ(length, 2u);
  EXPECT_EQ(out, FromString("AB"));
}

TEST_F(LzUncompressTest, WorksWithoutAUsableLock) {
  GetKlibLock(KlibLockId::Decompression).Delete();
  const Bytes packed = Encode(FromString("abcabcabcabc"));
  Bytes out(12);
  std::uint32_t length = 0;
  EXPECT_EQ(LzUncompress(packed.data(), static_cast<std::uint32_t>(packed.size()), out.data(), 12, &length), 0);
  EXPECT_EQ(out, FromString("abcabcabcabc"));
  GetKlibLock(KlibLockId::Decompression).Create();
}

// ---------------------------------------------------------------------------
// LzCompress and the shared buffers

class LzCompressTest : public testing::Test {
 protected:
  void SetUp() override {
    GetKlibLock(KlibLockId::Compression).Create();
    GetKlibLock(KlibLockId::Decompression).Create();
    ASSERT_EQ(AllocLzBuffers(1 << 20), 1);
  }
  void TearDown() override { FreeLzBuffers(); }

  // Compresses on another thread and releases; the result of LzCompress.
  static std::future<std::int32_t> StartCompressOnOtherThread() {
    return std::async(std::launch::async, [] {
      static const std::uint8_t data[] = {1, 2, 3, 1, 2, 3, 1, 2, 3};
      const std::uint8_t* out = nullptr;
      std::uint32_t length = 0;
      const std::int32_t rc = LzCompress(data, sizeof data, &out, &length);
      if (rc == 0) LzCompressRelease();
      return rc;
    });
  }
  // True when a compression on another thread succeeds (and so was not blocked).
  static bool CompressOnOtherThread() {
    auto done = StartCompressOnOtherThread();
    EXPECT_EQ(done.wait_for(10s), std::future_status::ready);
    return done.get() == 0;
  }
  static bool Blocked(std::future<std::int32_t>& f) { return f.wait_for(100ms) == std::future_status::timeout; }
};

TEST_F(LzCompressTest, CompressesIntoTheSharedBufferUntilReleased) {
  const Bytes input = FromString("KJFK KBOS KJFK KBOS KJFK KBOS KJFK KBOS");
  const std::uint8_t* out = nullptr;
  std::uint32_t length = 0;
  ASSERT_EQ(LzCompress(input.data(), static_cast<std::uint32_t>(input.size()), &out, &length), 0);
  ASSERT_NE(out, nullptr);
  const Bytes packed(out, out + length);
  EXPECT_EQ(packed, Encode(input));

  // Another compression waits until this one is released.
  auto other = StartCompressOnOtherThread();
  EXPECT_TRUE(Blocked(other));
  EXPECT_EQ(Bytes(out, out + length), packed);
  LzCompressRelease();
  EXPECT_EQ(other.get(), 0);

  Bytes back(input.size());
  std::uint32_t backLength = 0;
  EXPECT_EQ(LzUncompress(packed.data(), length, back.data(), static_cast<std::uint32_t>(back.size()), &backLength), 0);
  EXPECT_EQ(back, input);
}

TEST_F(LzCompressTest, ZeroBytesGiveMinus40AndLeaveTheLockFree) {
  const std::uint8_t data[] = {1};
  const std::uint8_t* out = nullptr;
  std::uint32_t length = 0;
  EXPECT_EQ(LzCompress(data, 0, &out, &length), -40);
  EXPECT_TRUE(CompressOnOtherThread());
}

TEST_F(LzCompressTest, EveryFailureLeavesTheLock) {
  const std::uint8_t data[] = {1, 2, 3};
  const std::uint8_t* out = nullptr;
  std::uint32_t length = 0;
  EXPECT_EQ(LzCompress(nullptr, 3, &out, &length), -10);
  EXPECT_EQ(LzCompress(data, 3, nullptr, &length), -20);
  EXPECT_EQ(LzCompress(data, 3, &out, nullptr), -30);
  EXPECT_EQ(LzCompress(data, 0, &out, &length), -40);
  EXPECT_EQ(LzCompress(data, (1 << 20) + 1, &out, &length), -50);
  EXPECT_EQ(out, nullptr);
  EXPECT_TRUE(CompressOnOtherThread());
}

TEST_F(LzCompressTest, LargestInput) {
  ASSERT_EQ(AllocLzBuffers(kMaxZipInput), 1);
  std::mt19937 rng(5);
  const Bytes input = RandomBytes(rng, kMaxZipInput + 1, 256);
  const std::uint8_t* out = nullptr;
  std::uint32_t length = 0;
  EXPECT_EQ(LzCompress(input.data(), kMaxZipInput + 1, &out, &length), -50);
  ASSERT_EQ(LzCompress(input.data(), kMaxZipInput, &out, &length), 0);
  EXPECT_LE(length, LzMaxPackedSize(kMaxZipInput));
  Bytes back(kMaxZipInput);
  std::uint32_t backLength = 0;
  EXPECT_EQ(LzUncompress(out, length, back.data(), kMaxZipInput, &backLength), 0);
  LzCompressRelease();
  EXPECT_TRUE(std::equal(back.begin(), back.end(), input.begin()));
}

TEST_F(LzCompressTest, WithoutBuffersAnswersMinus50) {
  FreeLzBuffers();
  const std::uint8_t data[] = {1, 2, 3};
  const std::uint8_t* out = nullptr;
  std::uint32_t length = 0;
  EXPECT_EQ(LzCompress(data, 3, &out, &length), -50);
  EXPECT_EQ(LzCompress(data, 1, &out, &length), -50);
  EXPECT_EQ(StartCompressOnOtherThread().get(), -50);
  ASSERT_EQ(AllocLzBuffers(0), 1);
  EXPECT_EQ(LzCompress(data, 1, &out, &length), -50);
  ASSERT_EQ(AllocLzBuffers(16), 1);
  EXPECT_EQ(LzCompress(data, 3, &out, &length), 0);
  LzCompressRelease();
}

TEST_F(LzCompressTest, FreeWaitsForTheCompressionInProgress) {
  const Bytes input = FromString("abcabcabcabcabcabc");
  const std::uint8_t* out = nullptr;
  std::uint32_t length = 0;
  ASSERT_EQ(LzCompress(input.data(), static_cast<std::uint32_t>(input.size()), &out, &length), 0);
  auto freed = std::async(std::launch::async, [] { FreeLzBuffers(); });
  EXPECT_EQ(freed.wait_for(100ms), std::future_status::timeout);
  EXPECT_EQ(Bytes(out, out + length), Encode(input));  // still the caller's
  LzCompressRelease();
  freed.get();
  EXPECT_EQ(LzCompress(input.data(), 3, &out, &length), -50);
}

TEST_F(LzCompressTest, ReleaseWithoutAHoldDoesNothing) {
  LzCompressRelease();
  std::thread([] { LzCompressRelease(); }).join();
  const std::uint8_t data[] = {9, 9, 9, 9, 9};
  const std::uint8_t* out = nullptr;
  std::uint32_t length = 0;
  ASSERT_EQ(LzCompress(data, 5, &out, &length), 0);
  std::thread([] { LzCompressRelease(); }).join();  // not that thread's to release
  auto other = StartCompressOnOtherThread();
  EXPECT_TRUE(Blocked(other));
  LzCompressRelease();
  EXPECT_EQ(other.get(), 0);
  LzCompressRelease();
  EXPECT_TRUE(CompressOnOtherThread());
}

TEST_F(LzCompressTest, NestedCompressionOnOneThread) {
  const std::uint8_t data[] = {4, 4, 4, 4};
  const std::uint8_t* out = nullptr;
  std::uint32_t length = 0;
  ASSERT_EQ(LzCompress(data, 4, &out, &length), 0);
  ASSERT_EQ(LzCompress(data, 4, &out, &length), 0);
  LzCompressRelease();
  auto other = StartCompressOnOtherThread();
  EXPECT_TRUE(Blocked(other));
  LzCompressRelease();
  EXPECT_EQ(other.get(), 0);
}

TEST_F(LzCompressTest, WorksWhileTheLibraryLockIsNotUsable) {
  KlibLock& lock = GetKlibLock(KlibLockId::Compression);
  lock.Delete();
  const std::uint8_t data[] = {7, 8, 7, 8, 7, 8, 7, 8};
  const std::uint8_t* out = nullptr;
  std::uint32_t length = 0;
  ASSERT_EQ(LzCompress(data, 8, &out, &length), 0);
  lock.Create();  // the library starts meanwhile: the release must not leave a lock it never entered
  auto other = StartCompressOnOtherThread();
  EXPECT_TRUE(Blocked(other));
  LzCompressRelease();
  EXPECT_EQ(other.get(), 0);

  // Entered while usable, released after the lock was marked unusable.
  ASSERT_EQ(LzCompress(data, 8, &out, &length), 0);
  lock.Delete();
  LzCompressRelease();
  lock.Create();
  EXPECT_TRUE(CompressOnOtherThread());
}

TEST_F(LzCompressTest, ReallocationReplacesTheBuffers) {
  ASSERT_EQ(AllocLzBuffers(8), 1);
  const Bytes input = FromString("abcdefghi");
  const std::uint8_t* out = nullptr;
  std::uint32_t length = 0;
  EXPECT_EQ(LzCompress(input.data(), 9, &out, &length), -50);
  ASSERT_EQ(LzCompress(input.data(), 8, &out, &length), 0);
  EXPECT_EQ(length, 9u);
  LzCompressRelease();
  ASSERT_EQ(AllocLzBuffers(9), 1);
  ASSERT_EQ(LzCompress(input.data(), 9, &out, &length), 0);
  LzCompressRelease();
}

}  // namespace
