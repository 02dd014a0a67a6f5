#include "win/system_metrics.h"

#include <atomic>

namespace {

constexpr int kDefaultWidth = 1920;
constexpr int kDefaultHeight = 1080;
constexpr int kDefaultBits = 32;
constexpr int kDefaultFrame = 4;
constexpr int kMenuHeight = 19;
constexpr int kLargestExtent = 32767;

// Read from any thread; written only by tests.
std::atomic<int> g_width{kDefaultWidth};
std::atomic<int> g_height{kDefaultHeight};
std::atomic<int> g_bits{kDefaultBits};
std::atomic<int> g_frame{kDefaultFrame};

void StoreIfWithin(std::atomic<int>& target, int value, int low, int high) {
  if (value >= low && value <= high) target.store(value);
}

}  // namespace

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN:
      return g_width.load();
    case SM_CYSCREEN:
      return g_height.load();
    case SM_CXFRAME:
      return g_frame.load();
    case SM_CYMENU:
      return kMenuHeight;
    default:
      return 0;
  }
}

int ScreenBitsPerPixel() { return g_bits.load(); }

void SetVirtualScreenForTest(int width, int height, int bitsPerPixel, int frameWidth) {
  StoreIfWithin(g_width, width, 1, kLargestExtent);
  StoreIfWithin(g_height, height, 1, kLargestExtent);
  StoreIfWithin(g_bits, bitsPerPixel, 1, 32);
  StoreIfWithin(g_frame, frameWidth, 0, kLargestExtent);
}

void ResetVirtualScreenForTest() {
  g_width.store(kDefaultWidth);
  g_height.store(kDefaultHeight);
  g_bits.store(kDefaultBits);
  g_frame.store(kDefaultFrame);
}
