#include "app/key_recorder.h"

#include "win/keys.h"

namespace {
// Compared key by key, so that the sequences never appear as text in the program.
constexpr std::uint32_t kTracingKeys[] = {'T', 'R', 'A', 'C', 'E', 'S'};
constexpr std::uint32_t kCockpitKeys[] = {'C', 'K', 'P', 'T'};
}  // namespace

void KeyRecorder::Reset() {
  count_ = 0;
  keys_.fill(0);
}

bool KeyRecorder::Matches(const std::uint32_t* keys, std::size_t n) const {
  if (count_ != n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (keys_[i] != keys[i]) return false;
  return true;
}

KeyRecorder::Outcome KeyRecorder::OnKeyDown(std::uint32_t virtualKey) {
  if (virtualKey == VK_PAUSE) {
    Reset();
    recording_ = true;
    return Outcome::kPassOn;
  }
  if (!recording_) return Outcome::kPassOn;
  if (virtualKey == VK_RETURN) {
    Outcome outcome = Outcome::kTracingOff;
    if (Matches(kTracingKeys, std::size(kTracingKeys))) outcome = Outcome::kTracingOn;
    else if (Matches(kCockpitKeys, std::size(kCockpitKeys))) outcome = Outcome::kCockpitOn;
    recording_ = false;
    Reset();
    return outcome;
  }
  if (count_ < kMaxKeys) keys_[count_++] = virtualKey;
  return Outcome::kSwallowed;
}
