// The main panel's hidden key recorder: PAUSE starts a recording, ENTER ends
// it and says which developer sequence, if any, was typed.
#pragma once

#include <array>
#include <cstdint>

class KeyRecorder {
 public:
  enum class Outcome {
    kPassOn,        // not the recorder's key: the message goes on
    kSwallowed,     // stored (or dropped once full) while recording
    kTracingOn,     // ENTER after the tracing sequence
    kCockpitOn,     // ENTER after the in-cockpit sequence
    kTracingOff,    // ENTER after anything else
  };
  static constexpr std::size_t kTableSize = 128;
  static constexpr std::size_t kMaxKeys = 127;

  Outcome OnKeyDown(std::uint32_t virtualKey);
  bool Recording() const { return recording_; }
  std::size_t Count() const { return count_; }

 private:
  bool Matches(const std::uint32_t* keys, std::size_t n) const;
  void Reset();

  bool recording_ = false;
  std::size_t count_ = 0;
  std::array<std::uint32_t, kTableSize> keys_{};
};
