// The splash: the splash bitmap in a borderless, colour-keyed window while the
// program starts.
#pragma once

#include <string>

#include "win/gdi_handles.h"
#include "win/types.h"

inline constexpr char kSplashClassName[] = "SPLASH";
inline constexpr char kSplashTitle[] = "Banner";
inline constexpr COLORREF kSplashColourKey = 0xFFFFFF;

class CSplash {
 public:
  // Loads the bitmap file; a file that cannot be read as a bitmap leaves none.
  explicit CSplash(const std::string& bitmapPath);
  ~CSplash();
  CSplash(const CSplash&) = delete;
  CSplash& operator=(const CSplash&) = delete;

  // Registers the class and shows the window, centred, top-most; false when
  // the class cannot be registered or the window made.
  bool Show();
  void Hide();

  bool HasBitmap() const { return bitmap_ != 0; }
  HWND Window() const { return window_; }
  void Paint(HWND hwnd);

 private:
  HBITMAP bitmap_ = 0;
  int width_ = 0;
  int height_ = 0;
  COLORREF colourKey_ = kSplashColourKey;
  bool layeredAvailable_ = true;
  bool registered_ = false;
  HWND window_ = 0;
};
