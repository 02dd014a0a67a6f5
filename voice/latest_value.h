// The latest value handed from one writer thread to one reader thread without
// a lock or a wait on either side (three slots: the writer's, the reader's
// and the one in between, swapped atomically).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

template <typename T>
class LatestValue {
 public:
  // Writer: fill this slot, then Publish.
  T& Staging() { return slots_[writing_]; }
  void Publish() {
    const std::uint8_t previous = middle_.exchange(static_cast<std::uint8_t>(writing_ | kFresh), std::memory_order_acq_rel);
    writing_ = previous & kIndexMask;
  }
  // Reader: the last value published (a default T before the first).
  const T& Latest() {
    if ((middle_.load(std::memory_order_acquire) & kFresh) != 0) {
      const std::uint8_t previous = middle_.exchange(reading_, std::memory_order_acq_rel);
      reading_ = previous & kIndexMask;
    }
    return slots_[reading_];
  }

 private:
  static constexpr std::uint8_t kFresh = 0x4;
  static constexpr std::uint8_t kIndexMask = 0x3;
  std::array<T, 3> slots_{};
  std::atomic<std::uint8_t> middle_{1};
  std::uint8_t writing_ = 0;
  std::uint8_t reading_ = 2;
};
