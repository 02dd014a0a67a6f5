#include <gtest/gtest.h>

#include <vector>

#include "tone.h"
#include "voice/amr_codec.h"

namespace {
// The storage-form header of a good MR795 speech frame: mode 5 in bits 3..6, quality bit 2.
constexpr std::uint8_t kMr795Header = (5 << 3) | 0x04;
}  // namespace

TEST(AmrCodec, ToneSurvivesEncodingAndDecoding) {
  AmrEncoder encoder;
  AmrDecoder decoder;
  ASSERT_TRUE(encoder.Valid());
  ASSERT_TRUE(decoder.Valid());
  double inputEnergy = 0.0;
  double outputEnergy = 0.0;
  for (std::size_t frameIndex = 0; frameIndex < 50; ++frameIndex) {
    const VoiceSamples tone = ToneFrame(frameIndex);
    AmrFrame frame{};
    const std::size_t length = encoder.Encode(tone, frame);
    EXPECT_EQ(tone, ToneFrame(frameIndex)) << "the codec works on its own copy";
    ASSERT_EQ(length, kMr795FrameBytes) << "frame " << frameIndex;
    EXPECT_EQ(frame[0], kMr795Header);
    VoiceSamples decoded{};
    ASSERT_TRUE(decoder.Decode(std::span<const std::uint8_t>(frame.data(), length), decoded));
    // The codec needs a few frames to settle; measure the steady part.
    if (frameIndex >= 10) {
      inputEnergy += MeanSquare(tone);
      outputEnergy += MeanSquare(decoded);
    }
  }
  ASSERT_GT(inputEnergy, 0.0);
  const double ratio = outputEnergy / inputEnergy;
  EXPECT_GT(ratio, 0.5) << "the tone was lost";
  EXPECT_LT(ratio, 2.0) << "the decoder made noise of its own";
}

TEST(AmrCodec, SilenceDecodesToNearSilence) {
  AmrEncoder encoder;
  AmrDecoder decoder;
  double energy = 0.0;
  for (int i = 0; i < 20; ++i) {
    AmrFrame frame{};
    const std::size_t length = encoder.Encode(VoiceSamples{}, frame);
    ASSERT_EQ(length, kMr795FrameBytes);
    VoiceSamples decoded{};
    ASSERT_TRUE(decoder.Decode(std::span<const std::uint8_t>(frame.data(), length), decoded));
    energy += MeanSquare(decoded);
  }
  EXPECT_LT(energy / 20.0, 100.0);
}

TEST(AmrCodec, ShortFrameIsDecodedFromAZeroedCopy) {
  // A header that promises 21 bytes with only two behind it. The decoder
  // reads the whole 21: what lies past the two bytes must not count, as if
  // the frame had been padded with zeros.
  std::vector<std::uint8_t> buffer(kMaxAmrFrameBytes, 0xA5);
  buffer[0] = kMr795Header;
  buffer[1] = 0x55;
  std::vector<std::uint8_t> padded(kMaxAmrFrameBytes, 0);
  padded[0] = kMr795Header;
  padded[1] = 0x55;
  AmrDecoder shortDecoder;
  AmrDecoder paddedDecoder;
  for (int i = 0; i < 5; ++i) {
    VoiceSamples fromShort{};
    VoiceSamples fromPadded{};
    ASSERT_TRUE(shortDecoder.Decode(std::span<const std::uint8_t>(buffer.data(), 2), fromShort));
    ASSERT_TRUE(paddedDecoder.Decode(padded, fromPadded));
    EXPECT_EQ(fromShort, fromPadded) << "frame " << i;
  }
}

TEST(AmrCodec, DecoderRefusesEmptyAndOversizedFrames) {
  AmrDecoder decoder;
  VoiceSamples decoded{};
  EXPECT_FALSE(decoder.Decode({}, decoded));
  const std::vector<std::uint8_t> tooLong(kMaxAmrFrameBytes + 1, kMr795Header);
  EXPECT_FALSE(decoder.Decode(tooLong, decoded));
}
