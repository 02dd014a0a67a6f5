#include "app/screen_metrics.h"

#include "win/system_metrics.h"

ScreenMetrics g_screenMetrics;

void ReadScreenMetrics() {
  ScreenMetrics m;
  m.bitsPerPixel = ScreenBitsPerPixel();
  m.bytesPerPixel = m.bitsPerPixel / 8;
  m.width = GetSystemMetrics(SM_CXSCREEN);
  m.height = GetSystemMetrics(SM_CYSCREEN);
  m.frameWidth = GetSystemMetrics(SM_CXFRAME);
  g_screenMetrics = m;
}
