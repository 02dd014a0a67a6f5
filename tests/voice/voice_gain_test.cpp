#include <gtest/gtest.h>

#include <array>

#include "voice/voice_gain.h"

TEST(VoiceGain, ProductsAreTruncatedAndSaturated) {
  struct Case {
    std::int16_t sample;
    float gain;
    std::int16_t expected;
  };
  const std::array cases{
      Case{20000, 2.0F, 32767},   Case{-20000, 2.0F, -32768}, Case{32767, 1.0F, 32767},
      Case{-32768, 1.0F, -32768}, Case{1001, 0.5F, 500},      Case{-1001, 0.5F, -500},
      Case{16383, 2.0F, 32766},   Case{-16384, 2.0F, -32768}, Case{1234, 0.0F, 0},
      Case{100, -1.0F, -100},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScaleSample(c.sample, c.gain), c.expected) << c.sample << " x " << c.gain;
  }
}

TEST(VoiceGain, SpansScaleElementByElement) {
  const std::array<std::int16_t, 3> in{20000, -20000, 3};
  std::array<std::int16_t, 3> out{};
  ScaleSamples(in, out, 2.0F);
  EXPECT_EQ(out, (std::array<std::int16_t, 3>{32767, -32768, 6}));
  EXPECT_EQ(in[0], 20000) << "the input stays as it was";
}

TEST(VoiceGain, DecibelsGiveLinearFactors) {
  EXPECT_FLOAT_EQ(GainFromDb(0.0F), 1.0F);
  EXPECT_FLOAT_EQ(GainFromDb(20.0F), 10.0F);
  EXPECT_NEAR(GainFromDb(-6.0206F), 0.5F, 1e-4);
}
