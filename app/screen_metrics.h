// Screen metrics, read once by the main dialog's initialisation.
#pragma once

struct ScreenMetrics {
  int bitsPerPixel = 0;   // of a memory device context compatible with the screen
  int bytesPerPixel = 0;  // bits / 8
  int width = 0;          // SM_CXSCREEN
  int height = 0;         // SM_CYSCREEN
  int frameWidth = 0;     // SM_CXFRAME
};

// Written by ReadScreenMetrics on the UI thread; read by the drawing code there.
extern ScreenMetrics g_screenMetrics;

void ReadScreenMetrics();
