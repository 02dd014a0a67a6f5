#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "app/utilities.h"
#include "win/system_metrics.h"

TEST(ClassifySimVersion, MapsEveryCodeToItsFamily) {
  struct Case {
    std::uint32_t code;
    std::uint32_t family;
  };
  for (const Case c : {Case{2002, 2002}, Case{2004, 2004}, Case{2006, 2006}, Case{2005, 0}, Case{2003, 0},
                       Case{2000, 0}, Case{3000, 3000}, Case{3004, 3000}, Case{3999, 3000}, Case{2999, 0},
                       Case{4000, 0}, Case{8999, 0}, Case{9000, 9000}, Case{9999, 9000}, Case{10000, 10000},
                       Case{10999, 10000}, Case{11000, 0}, Case{0, 0}, Case{0xFFFFFFFF, 0}}) {
    EXPECT_EQ(ClassifySimVersion(c.code), c.family) << c.code;
  }
}

TEST(EscapeProtocolText, ReplacesFieldAndLineBreaksInPlace) {
  struct Case {
    const char* text;
    const char* escaped;
  };
  for (const Case c : {Case{"A:B\r\n", "A;B%&"}, Case{"", ""}, Case{"plain text", "plain text"},
                       Case{"::\r\r\n\n", ";;%%&&"}, Case{"%&;", "%&;"}, Case{"\xE9t\xE9:1", "\xE9t\xE9;1"}}) {
    std::string buffer = c.text;
    EscapeProtocolText(buffer.data());
    EXPECT_EQ(buffer, c.escaped) << c.text;
    std::string owned = c.text;
    EscapeProtocolText(owned);
    EXPECT_EQ(owned, c.escaped) << c.text;
  }
  EscapeProtocolText(static_cast<char*>(nullptr));
}

TEST(EscapeProtocolText, StopsAtTheTerminator) {
  std::array<char, 6> buffer{'a', ':', '\0', ':', '\r', '\n'};
  EscapeProtocolText(buffer.data());
  EXPECT_EQ(buffer, (std::array<char, 6>{'a', ';', '\0', ':', '\r', '\n'}));
}

namespace {
struct Split {
  double value;
  std::uint32_t integerPart;
  std::uint16_t fraction;
};
}  // namespace

TEST(SplitFixed16, TruncatesTowardZeroAndKeepsTheSignOfTheFraction) {
  constexpr double kLatitudeUnits = 111'130.85863021713;
  for (const Split c : {
           Split{12.5, 12, 32768},
           Split{0.0, 0, 0},
           Split{-0.0, 0, 0},
           Split{1.0, 1, 0},
           Split{0.999999999, 0, 65535},
           Split{1.0 / 65536.0, 0, 1},
           Split{0.9 / 65536.0, 0, 0},  // truncated, not rounded
           Split{-12.5, 0xFFFFFFF4u, 0x8000},
           Split{-1.0, 0xFFFFFFFFu, 0},
           Split{-0.25, 0, 0xC000},
           Split{-0.999999999, 0, 1},
           Split{-1.0 / 65536.0, 0, 0xFFFF},
           // A latitude of -0.5 degrees: whole part -55,565 and a negative fraction.
           Split{-0.5 * kLatitudeUnits, static_cast<std::uint32_t>(-55'565), static_cast<std::uint16_t>(-28'135)},
           Split{2'147'483'647.5, 0x7FFFFFFFu, 32768},
           // 2^31 (180 degrees in 2^32/360 units) wraps to -2^31, the same meridian.
           Split{2'147'483'648.0, 0x80000000u, 0},
           Split{-2'147'483'648.0, 0x80000000u, 0},
           Split{4'294'967'296.0 + 7.25, 7, 16384},
           Split{1e300, 0, 0},
       }) {
    const Fixed16 split = SplitFixed16(c.value);
    EXPECT_EQ(split.integerPart, c.integerPart) << c.value;
    EXPECT_EQ(split.fraction, c.fraction) << c.value;
  }
}

TEST(SplitFixed16, NonFiniteValuesGiveZero) {
  for (const double value : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity()}) {
    const Fixed16 split = SplitFixed16(value);
    EXPECT_EQ(split.integerPart, 0u);
    EXPECT_EQ(split.fraction, 0u);
  }
}

TEST(SplitFixed16, PositiveValuesComeBackThroughTheReceiversReading) {
  // Receivers rebuild whole + fraction / 65536 with the fraction unsigned.
  for (const double value : {0.5, 12.5, 3.14159, 55'565.4293, 1'234'567.000015}) {
    const Fixed16 split = SplitFixed16(value);
    const double rebuilt = static_cast<std::int32_t>(split.integerPart) + split.fraction / 65536.0;
    EXPECT_NEAR(rebuilt, value, 1.0 / 65536.0) << value;
    EXPECT_LE(rebuilt, value) << value;
  }
}

TEST(TextHelpers, IsAllOfClassIsTrueOnlyForBlankTexts) {
  struct Case {
    const char* text;
    int blank;
  };
  for (const Case c : {Case{nullptr, 1}, Case{"", 1}, Case{" ", 1}, Case{" \t\r\n\v\f", 1}, Case{"a", 0},
                       Case{"  x  ", 0}, Case{"\xA0", 0}, Case{"\t.\t", 0}}) {
    EXPECT_EQ(IsAllOfClass(c.text), c.blank) << (c.text != nullptr ? c.text : "(null)");
  }
}

TEST(TextHelpers, TrimInPlaceRemovesWhiteSpaceAtBothEnds) {
  struct Case {
    const char* text;
    const char* trimmed;
  };
  for (const Case c : {Case{"", ""}, Case{"abc", "abc"}, Case{"  abc", "abc"}, Case{"abc \r\n", "abc"},
                       Case{"\t a b \t", "a b"}, Case{" \r\n\t ", ""}, Case{"x", "x"}, Case{" x", "x"},
                       Case{"x ", "x"}, Case{"\xE9 \xE9", "\xE9 \xE9"}}) {
    std::string buffer = std::string(c.text) + '\0' + '#';  // the byte after the terminator stays
    TrimInPlace(buffer.data());
    EXPECT_STREQ(buffer.c_str(), c.trimmed) << '"' << c.text << '"';
    EXPECT_EQ(buffer.back(), '#');
  }
  TrimInPlace(nullptr);
}

// ---- Time-stamp clock ----

namespace {

std::atomic<std::uint64_t> g_counter{0};
std::atomic<int> g_reads{0};

std::uint64_t InjectedCounter() {
  ++g_reads;
  return g_counter.load();
}

class TscClock : public testing::Test {
 protected:
  void SetUp() override {
    g_counter = 0;
    g_reads = 0;
    ResetTscCalibrationForTest();
    SetTscSourceForTest(&InjectedCounter);
  }
  void TearDown() override {
    SetTscSourceForTest(nullptr);
    ResetTscCalibrationForTest();
  }
  // One call per simulated second, the counter having moved by `ticks` since the last.
  static void Tick(std::uint64_t ticks) {
    g_counter += ticks;
    CalibrateTsc();
  }
};

}  // namespace

TEST_F(TscClock, AnswersZeroUntilTheFifthCall) {
  g_counter = 123'456'789'000ull;
  EXPECT_EQ(TscMilliseconds(), 0u);
  for (int call = 1; call <= 4; ++call) {
    Tick(3'000'000'000ull);
    EXPECT_EQ(TscCalibrationCount(), call);
    EXPECT_EQ(TscTicksPerSecond(), 0u) << call;
    EXPECT_EQ(TscMilliseconds(), 0u) << call;
  }
  Tick(3'000'000'000ull);
  EXPECT_EQ(TscCalibrationCount(), 5);
  EXPECT_EQ(TscTicksPerSecond(), 3'000'000'000ull);
}

TEST_F(TscClock, RateIsTheMeanOfFourIntervalsAndLaterCallsChangeNothing) {
  Tick(77);  // the first call only takes a sample
  for (const std::uint64_t interval : {2'000'000'000ull, 2'000'000'100ull, 1'999'999'900ull, 2'000'000'003ull})
    Tick(interval);
  EXPECT_EQ(TscTicksPerSecond(), 2'000'000'000ull);  // 8,000,000,003 / 4, truncated
  const int reads = g_reads.load();
  Tick(5);
  Tick(1'000'000'000'000ull);
  EXPECT_EQ(g_reads.load(), reads);  // no sample taken once calibrated
  EXPECT_EQ(TscCalibrationCount(), 5);
  EXPECT_EQ(TscTicksPerSecond(), 2'000'000'000ull);
}

TEST_F(TscClock, MillisecondsFollowTheCounterOnceCalibrated) {
  for (int call = 0; call < kTscCalibrationCalls; ++call) Tick(2'500'000'000ull);
  ASSERT_EQ(TscTicksPerSecond(), 2'500'000'000ull);
  g_counter = 2'500'000'000ull * 60;
  EXPECT_EQ(TscMilliseconds(), 60'000u);
  g_counter += 2'499'999'999ull;  // 999.9999996 ms more: truncated
  EXPECT_EQ(TscMilliseconds(), 60'999u);
}

TEST_F(TscClock, HugeCountersNeitherOverflowNorTrap) {
  // 116 days of uptime at 2 GHz: counter × 1000 no longer fits 64 bits.
  EXPECT_EQ(TscTicksToMilliseconds(20'000'000'000'000'000ull, 2'000'000'000ull),
            static_cast<std::uint32_t>(10'000'000'000ull));
  EXPECT_EQ(TscTicksToMilliseconds(std::numeric_limits<std::uint64_t>::max(), 1000), 0xFFFFFFFFu);
  EXPECT_EQ(TscTicksToMilliseconds(std::numeric_limits<std::uint64_t>::max(),
                                   std::numeric_limits<std::uint64_t>::max()),
            1000u);
  EXPECT_EQ(TscTicksToMilliseconds(12345, 0), 0u);
}

TEST_F(TscClock, CalibrationSurvivesACounterWrapAndIntervalsBeyond64BitsInSum) {
  constexpr std::uint64_t kInterval = 3ull << 62;  // four of them sum past 2^64
  g_counter = std::numeric_limits<std::uint64_t>::max() - 10;
  CalibrateTsc();
  for (int call = 1; call < kTscCalibrationCalls; ++call) Tick(kInterval);  // the counter wraps on the way
  EXPECT_EQ(TscTicksPerSecond(), kInterval);
}

TEST(ReadTsc, TheRealCounterAdvances) {
  const std::uint64_t first = ReadTsc();
  std::uint64_t later = first;
  for (int i = 0; i < 1'000'000 && later == first; ++i) later = ReadTsc();
  EXPECT_NE(later, first);
}

// ---- Screen metrics ----

TEST(ScreenMetrics, ReadsTheVirtualScreen) {
  ResetVirtualScreenForTest();
  ReadScreenMetrics();
  EXPECT_EQ(g_screenMetrics.bitsPerPixel, 32);
  EXPECT_EQ(g_screenMetrics.bytesPerPixel, 4);
  EXPECT_EQ(g_screenMetrics.width, 1920);
  EXPECT_EQ(g_screenMetrics.height, 1080);
  EXPECT_EQ(g_screenMetrics.frameWidth, 4);

  SetVirtualScreenForTest(1280, 1024, 16, 3);
  ReadScreenMetrics();
  EXPECT_EQ(g_screenMetrics.bitsPerPixel, 16);
  EXPECT_EQ(g_screenMetrics.bytesPerPixel, 2);
  EXPECT_EQ(g_screenMetrics.width, 1280);
  EXPECT_EQ(g_screenMetrics.height, 1024);
  EXPECT_EQ(g_screenMetrics.frameWidth, 3);
  ResetVirtualScreenForTest();
}
