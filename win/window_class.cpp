#include "win/window_class.h"

#include <map>
#include <mutex>
#include <string>

#include "win/messages.h"
#include "win/window_pos.h"

namespace {

struct ClassEntry {
  WNDCLASSA windowClass;
  std::string name;
  ATOM atom = 0;
};

struct WindowExtra {
  std::string className;
  DWORD exStyle = 0;
  std::optional<LayeredAttributes> layered;
};

std::mutex& Lock() {
  static std::mutex lock;
  return lock;
}
std::map<std::string, ClassEntry>& Classes() {
  static std::map<std::string, ClassEntry> classes;
  return classes;
}
std::map<HWND, WindowExtra>& Extras() {
  static std::map<HWND, WindowExtra> extras;
  return extras;
}
ATOM g_nextAtom = 0xC000;

// A window whose messages go to its class's procedure.
class ClassWindow : public CWnd {
 public:
  ClassWindow(WNDPROC procedure, const CREATESTRUCTA& create) : procedure_(procedure), create_(create) {}
  ~ClassWindow() override { DestroyWindow(); }

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_CREATE && lParam == 0) lParam = reinterpret_cast<LPARAM>(&create_);
    return procedure_(m_hWnd, message, wParam, lParam);
  }
  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) { return CWnd::WindowProc(message, wParam, lParam); }

 protected:
  void PostNcDestroy() override {
    {
      std::lock_guard guard(Lock());
      Extras().erase(handle_);
    }
    // A window refused while being made is deleted by its maker.
    if (!creating_) delete this;
  }

 public:
  HWND handle_ = 0;
  bool creating_ = true;

 private:
  WNDPROC procedure_;
  CREATESTRUCTA create_;
};

}  // namespace

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
  if (windowClass == nullptr || windowClass->lpszClassName == nullptr || windowClass->lpszClassName[0] == '\0' ||
      windowClass->lpfnWndProc == nullptr) {
    return 0;
  }
  std::lock_guard guard(Lock());
  const std::string name = windowClass->lpszClassName;
  if (Classes().contains(name)) return 0;
  ClassEntry entry{*windowClass, name, ++g_nextAtom};
  entry.windowClass.lpszClassName = nullptr;  // the caller's text may not outlive the call
  const ATOM atom = entry.atom;
  Classes().emplace(name, std::move(entry));
  return atom;
}

BOOL UnregisterClassA(const char* className, HINSTANCE) {
  if (className == nullptr) return FALSE;
  std::lock_guard guard(Lock());
  return Classes().erase(className) != 0 ? TRUE : FALSE;
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param) {
  if (className == nullptr) return 0;
  WNDPROC procedure = nullptr;
  {
    std::lock_guard guard(Lock());
    const auto found = Classes().find(className);
    if (found == Classes().end()) return 0;
    procedure = found->second.windowClass.lpfnWndProc;
  }
  CREATESTRUCTA create;
  create.lpCreateParams = param;
  create.hInstance = instance;
  create.hMenu = menu;
  create.hwndParent = parent;
  create.x = x;
  create.y = y;
  create.cx = width;
  create.cy = height;
  create.style = static_cast<LONG>(style);
  create.lpszName = windowName;
  create.lpszClass = className;
  create.dwExStyle = exStyle;
  auto* window = new ClassWindow(procedure, create);
  WindowCreateParams params;
  params.style = style;
  params.parent = parent != 0 ? CWnd::FromHandle(parent) : nullptr;
  // The window is known before WM_CREATE reaches its procedure.
  const BOOL created = window->CreateHandle(params);
  window->creating_ = false;
  if (created == FALSE) {
    delete window;
    return 0;
  }
  const HWND hwnd = window->m_hWnd;
  window->handle_ = hwnd;
  {
    std::lock_guard guard(Lock());
    Extras()[hwnd] = WindowExtra{className, exStyle, std::nullopt};
  }
  if (windowName != nullptr) ::SetWindowTextA(hwnd, windowName);
  const HWND order = (exStyle & WS_EX_TOPMOST) != 0 ? HWND_TOPMOST : 0;
  ::SetWindowPos(hwnd, order, x, y, width, height,
                 SWP_NOACTIVATE | ((exStyle & WS_EX_TOPMOST) != 0 ? 0u : static_cast<UINT>(SWP_NOZORDER)));
  return hwnd;
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* window = dynamic_cast<ClassWindow*>(CWnd::FromHandle(hwnd));
  if (window == nullptr) return 0;
  return window->Default(message, wParam, lParam);
}

DWORD WindowExStyle(HWND hwnd) {
  std::lock_guard guard(Lock());
  const auto found = Extras().find(hwnd);
  return found != Extras().end() ? found->second.exStyle : 0;
}

BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF key, BYTE alpha, DWORD flags) {
  std::lock_guard guard(Lock());
  const auto found = Extras().find(hwnd);
  if (found == Extras().end() || (found->second.exStyle & WS_EX_LAYERED) == 0) return FALSE;
  found->second.layered = LayeredAttributes{key, alpha, flags};
  return TRUE;
}

std::optional<LayeredAttributes> GetLayeredAttributes(HWND hwnd) {
  std::lock_guard guard(Lock());
  const auto found = Extras().find(hwnd);
  if (found == Extras().end()) return std::nullopt;
  return found->second.layered;
}

int WindowsOfClass(const char* className) {
  std::lock_guard guard(Lock());
  int n = 0;
  for (const auto& [hwnd, extra] : Extras()) n += extra.className == className ? 1 : 0;
  return n;
}

std::string WindowClassName(HWND hwnd) {
  std::lock_guard guard(Lock());
  const auto found = Extras().find(hwnd);
  return found != Extras().end() ? found->second.className : std::string();
}
