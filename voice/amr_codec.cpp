#include "voice/amr_codec.h"

#include <algorithm>

extern "C" {
#include <opencore-amrnb/interf_dec.h>
#include <opencore-amrnb/interf_enc.h>
}

void AmrEncoder::Free::operator()(void* state) const { Encoder_Interface_exit(state); }

void AmrDecoder::Free::operator()(void* state) const { Decoder_Interface_exit(state); }

AmrEncoder::AmrEncoder() : state_(Encoder_Interface_init(0)) {}

std::size_t AmrEncoder::Encode(const VoiceSamples& samples, AmrFrame& frame) {
  if (state_ == nullptr) return 0;
  // The codec writes at most 32 bytes (its largest mode) into the frame.
  frame.fill(0);
  // The codec preprocesses its input in place, whatever its declaration says:
  // it works on a copy, so the caller's samples (the audio library's buffer) stay untouched.
  VoiceSamples scratch = samples;
  const int length = Encoder_Interface_Encode(state_.get(), MR795, scratch.data(), frame.data(), 0);
  if (length <= 0 || static_cast<std::size_t>(length) > frame.size()) return 0;
  return static_cast<std::size_t>(length);
}

AmrDecoder::AmrDecoder() : state_(Decoder_Interface_init()) {}

bool AmrDecoder::Decode(std::span<const std::uint8_t> frame, VoiceSamples& samples) {
  if (state_ == nullptr || frame.empty() || frame.size() > kMaxAmrFrameBytes) return false;
  AmrFrame copy{};
  std::copy(frame.begin(), frame.end(), copy.begin());
  Decoder_Interface_Decode(state_.get(), copy.data(), samples.data(), 0);
  return true;
}
