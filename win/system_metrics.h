// Screen metrics of a fixed virtual screen: the client runs without a real
// display here, so what it lays out and draws matches on every machine.
#pragma once

constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CYMENU = 15;
constexpr int SM_CXFRAME = 32;

// 1920 x 1080, sizing frame 4, menu bar 19 (Windows at 96 dpi); 0 for an index without a value, as on Windows.
int GetSystemMetrics(int index);
// What a memory device context compatible with the screen reports: 32.
int ScreenBitsPerPixel();

// Values outside 1..32767 (bits: 1..32, frame: 0..32767) keep the current one.
void SetVirtualScreenForTest(int width, int height, int bitsPerPixel, int frameWidth);
void ResetVirtualScreenForTest();
