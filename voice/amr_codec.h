// AMR-NB frames of 20 ms (160 samples at 8 kHz) in storage form, header byte
// first. The codec states are owned here and freed on every path.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

inline constexpr std::size_t kVoiceFrameSamples = 160;
inline constexpr std::size_t kVoiceFrameBytes = kVoiceFrameSamples * 2;
// The largest storage-form frame (mode MR122 takes 32 bytes with its header).
inline constexpr std::size_t kMaxAmrFrameBytes = 32;
// Mode MR795 gives 21 bytes a frame.
inline constexpr std::size_t kMr795FrameBytes = 21;

using VoiceSamples = std::array<std::int16_t, kVoiceFrameSamples>;
using AmrFrame = std::array<std::uint8_t, kMaxAmrFrameBytes>;

class AmrEncoder {
 public:
  // No discontinuous transmission; Valid() is false when the codec gave no state.
  AmrEncoder();
  bool Valid() const { return state_ != nullptr; }
  // Encodes one frame in mode MR795; the frame length, or 0 when it failed.
  // The samples are left as they are.
  std::size_t Encode(const VoiceSamples& samples, AmrFrame& frame);

 private:
  struct Free {
    void operator()(void* state) const;
  };
  std::unique_ptr<void, Free> state_;
};

class AmrDecoder {
 public:
  AmrDecoder();
  bool Valid() const { return state_ != nullptr; }
  // Decodes one frame of at most 32 bytes. The decoder reads as many bytes as
  // the header's mode names, so it works on a zeroed 32-byte copy: a short
  // frame never lets it read past what was received.
  bool Decode(std::span<const std::uint8_t> frame, VoiceSamples& samples);

 private:
  struct Free {
    void operator()(void* state) const;
  };
  std::unique_ptr<void, Free> state_;
};
