#include "dialogs/splash_window.h"

#include <map>
#include <mutex>

#include "win/bitmap_resource.h"
#include "win/blit.h"
#include "win/cursors.h"
#include "win/device_context.h"
#include "win/gdi_objects.h"
#include "win/gdi_types.h"
#include "win/messages.h"
#include "win/paint.h"
#include "win/styles.h"
#include "win/system_metrics.h"
#include "win/window.h"
#include "win/window_class.h"

namespace {
// The object each splash window was made for.
std::mutex& SplashLock() {
  static std::mutex lock;
  return lock;
}
std::map<HWND, CSplash*>& Splashes() {
  static std::map<HWND, CSplash*> splashes;
  return splashes;
}

LRESULT SplashProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE && lParam != 0) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    std::lock_guard guard(SplashLock());
    Splashes()[hwnd] = static_cast<CSplash*>(create->lpCreateParams);
    return 0;
  }
  if (message == WM_PAINT) {
    CSplash* splash = nullptr;
    {
      std::lock_guard guard(SplashLock());
      const auto found = Splashes().find(hwnd);
      if (found != Splashes().end()) splash = found->second;
    }
    if (splash != nullptr) {
      splash->Paint(hwnd);
      return 0;
    }
  }
  if (message == WM_DESTROY) {
    std::lock_guard guard(SplashLock());
    Splashes().erase(hwnd);
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}
}  // namespace

CSplash::CSplash(const std::string& bitmapPath) {
  bitmap_ = static_cast<HBITMAP>(LoadImageA(nullptr, bitmapPath.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
  if (bitmap_ == 0) return;
  BITMAP info{};
  if (GetObjectA(bitmap_, sizeof info, &info) == 0 || info.bmWidth <= 0 || info.bmHeight <= 0) {
    DeleteObject(bitmap_);
    bitmap_ = 0;
    return;
  }
  width_ = info.bmWidth;
  height_ = info.bmHeight;
}

CSplash::~CSplash() {
  Hide();
  if (bitmap_ != 0) DeleteObject(bitmap_);
}

bool CSplash::Show() {
  if (window_ != 0) return true;
  WNDCLASSA windowClass;
  windowClass.lpfnWndProc = &SplashProcedure;
  windowClass.hCursor = LoadCursor(nullptr, IDC_WAIT);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  windowClass.lpszClassName = kSplashClassName;
  if (RegisterClassA(&windowClass) == 0) return false;
  registered_ = true;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width_) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height_) / 2;
  const DWORD exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | (layeredAvailable_ ? WS_EX_LAYERED : 0);
  window_ = CreateWindowExA(exStyle, kSplashClassName, kSplashTitle, WS_POPUP, x, y, width_, height_, 0, 0, nullptr,
                            this);
  if (window_ == 0) {
    UnregisterClassA(kSplashClassName, nullptr);
    registered_ = false;
    return false;
  }
  if (layeredAvailable_) SetLayeredWindowAttributes(window_, colourKey_, 0, LWA_COLORKEY);
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
  return true;
}

void CSplash::Hide() {
  if (window_ != 0) {
    DestroyWindow(window_);
    window_ = 0;
  }
  if (registered_) {
    UnregisterClassA(kSplashClassName, nullptr);
    registered_ = false;
  }
}

void CSplash::Paint(HWND hwnd) {
  PAINTSTRUCT paint{};
  const HDC dc = BeginPaint(hwnd, &paint);
  if (dc != 0 && bitmap_ != 0) {
    const HDC memory = CreateCompatibleDC(dc);
    const HGDIOBJ before = SelectObject(memory, bitmap_);
    BitBlt(dc, 0, 0, width_, height_, memory, 0, 0, SRCCOPY);
    SelectObject(memory, before);
    DeleteDC(memory);
  }
  EndPaint(hwnd, &paint);
}
