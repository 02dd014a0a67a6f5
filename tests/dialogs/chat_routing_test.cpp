// Which received on-air texts the radios let through, and how frequency texts
// compare.
#include "dialogs/chat_routing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct RouteCase {
  double mhz;
  ChatRadios radios;
  OnAirVerdict verdict;
  const char* why;
};

TEST(ChatRouting, OnAirTextsByTheRadios) {
  using V = OnAirVerdict;
  const ChatRadios none{"", "", false, false, false};
  const ChatRadios com1On{"122.80", "119.10", true, false, false};
  const ChatRadios com2On{"119.10", "122.80", false, true, false};
  const ChatRadios com1TunedNotSelected{"122.80", "119.10", false, true, false};
  const ChatRadios both{"119.10", "122.80", false, false, true};
  const RouteCase cases[] = {
      {121.5, none, V::kGuard, "guard whatever the radios"},
      {121.5, com1On, V::kGuard, "guard on any radio"},
      {121.5009, none, V::kGuard, "kHz truncated"},
      {121.4999, none, V::kDropped, "just below guard"},
      {122.8, com1On, V::kShown, "COM1 on it and selected"},
      {122.8, com2On, V::kShown, "COM2 on it and selected"},
      {122.8, com1TunedNotSelected, V::kDropped, "COM1 tuned but COM2 selected"},
      {122.8, both, V::kShown, "both selected: COM2 counts"},
      {119.1, both, V::kShown, "both selected: COM1 counts"},
      {123.45, com1On, V::kDropped, "no radio on it"},
      {0.0, none, V::kDropped, "no frequency"},
      {0.0, ChatRadios{"", "", true, true, true}, V::kDropped, "0 never matches an empty COM text"},
      {-122.8, com1On, V::kDropped, "negative"},
      {1.0e300, com1On, V::kDropped, "far out of range, not converted"},
      {std::numeric_limits<double>::quiet_NaN(), com1On, V::kDropped, "NaN"},
      {std::numeric_limits<double>::infinity(), com1On, V::kDropped, "infinity"},
  };
  for (const RouteCase& c : cases) EXPECT_EQ(RouteOnAir(c.mhz, c.radios), c.verdict) << c.why;
}

TEST(ChatRouting, FrequenciesAreRangeCheckedBeforeConversion) {
  EXPECT_EQ(FrequencyKhz(122.8), 122'800);
  EXPECT_EQ(FrequencyKhz(999.999), 999'999);
  for (const double bad : {0.0, -1.0, 1000.0, 3.0e9, std::numeric_limits<double>::quiet_NaN(),
                           -std::numeric_limits<double>::infinity()}) {
    EXPECT_FALSE(FrequencyKhz(bad).has_value()) << bad;
  }
  EXPECT_EQ(ComTextMhz("122.80"), 122.8);
  EXPECT_EQ(ComTextMhz("123.000"), 123.0);
  for (const char* bad : {"", "   ", "abc", "122.8x", "1e999"}) EXPECT_FALSE(ComTextMhz(bad).has_value()) << bad;
}

TEST(ChatRouting, TheUnicomTextMatchesATwoDecimalComText) {
  struct Case {
    ChatRadios radios;
    bool on;
  };
  const Case cases[] = {
      {{"123.00", "119.10", true, false, false}, true},
      {{"119.10", "123.00", false, true, false}, true},
      {{"123.00", "119.10", false, true, false}, false},
      {{"119.10", "123.00", false, false, true}, true},
      {{"119.10", "121.50", true, false, false}, false},
      {{"", "", true, true, true}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SelectedRadioOn("123.000", c.radios), c.on) << c.radios.com1 << " " << c.radios.com2;
  }
}

}  // namespace
