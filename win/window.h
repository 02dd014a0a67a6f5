// Windows as thread-safe models: handles, the CWnd base and the message calls.
//
// Each window belongs to the thread that created it. PostMessage works from
// any thread. SendMessage calls the procedure directly on the owner thread; a
// thread-safe control is called at once from any thread under its own lock;
// any other window's procedure is run by its owner's message loop while the
// sender waits, and the wait ends (answering 0) when that loop has ended, the
// owner thread has gone or the window is destroyed.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win/messages.h"
#include "win/timers.h"
#include "win/types.h"

namespace win::detail {
struct WindowSlot;
struct WindowAccess;
}

class CWnd;

constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;

// How a window is made: the registry records these with the handle.
struct WindowCreateParams {
  CWnd* parent = nullptr;
  int controlId = 0;
  UINT templateId = 0;
  DWORD style = 0;
};

class CWnd {
 public:
  CWnd() = default;
  // Destroys the window. A subclass that overrides WindowProc or ContentText
  // calls DestroyWindow in its own destructor, so no call from another thread
  // reaches a half-destroyed object.
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND m_hWnd = 0;

  // Registers a window on the calling thread and sends it WM_CREATE (-1 from
  // the procedure undoes it). FALSE when this object already has a window,
  // the parent has none, or WM_CREATE refused.
  BOOL CreateHandle(const WindowCreateParams& params);
  // Destroys the children first, sends WM_DESTROY, forgets the handle (senders
  // waiting on it get 0, its timers stop), then calls PostNcDestroy.
  BOOL DestroyWindow();

  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // WM_COMMAND arrives here; TRUE when handled.
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  // WM_NOTIFY arrives here; TRUE when handled, with the answer in *result.
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
  // Called by the application's loop for messages aimed at this window or a child.
  virtual BOOL PreTranslateMessage(MSG* msg);

  // True for controls whose procedure may run on any thread under their own
  // lock. This and Kind are read once, when the window is made.
  virtual bool IsThreadSafeControl() const { return false; }
  virtual std::string_view Kind() const { return "window"; }
  // A control whose text lives in its model (not in the caption) gives it here.
  // Called with the window's state lock held: it may take only the control's own lock.
  virtual std::optional<std::string> ContentText() const { return std::nullopt; }
  // What automation shows as the window's text; never waits on the owner thread.
  std::string TextSnapshot() const;

  HWND GetSafeHwnd() const { return m_hWnd; }
  CWnd* GetParent() const;
  int GetDlgCtrlID() const;
  CWnd* GetDlgItem(int id) const;

  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

  BOOL ShowWindow(int command);
  BOOL IsWindowVisible() const;
  BOOL EnableWindow(BOOL enable = TRUE);
  BOOL IsWindowEnabled() const;

  void SetWindowText(const char* text);
  int GetWindowText(char* buffer, int maxCount) const;
  void GetWindowText(std::string& text) const;
  int GetWindowTextLength() const;

  UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs, TIMERPROC proc = nullptr);
  BOOL KillTimer(UINT_PTR id);

  // The object behind a live handle, or null.
  static CWnd* FromHandle(HWND hwnd);

 protected:
  // Last call of DestroyWindow, after the handle is gone; a window made with
  // new may delete itself here.
  virtual void PostNcDestroy() {}

 private:
  friend struct win::detail::WindowAccess;
  std::shared_ptr<win::detail::WindowSlot> slot_;
};

inline CWnd* FromHandle(HWND hwnd) { return CWnd::FromHandle(hwnd); }

BOOL IsWindow(HWND hwnd);
BOOL DestroyWindow(HWND hwnd);
// The owner thread's id; 0 for an unknown window.
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId);
HWND GetParent(HWND hwnd);
int GetDlgCtrlID(HWND hwnd);
HWND GetDlgItem(HWND dialog, int id);

// From a thread other than the owner the new state is set at once and the
// WM_SHOWWINDOW notice is posted, so a worker never waits on the UI thread
// to show a window. Returns whether the window was visible before.
BOOL ShowWindow(HWND hwnd, int command);
// Visible when the window and all its parents are; a dialog does not inherit its owner's state.
BOOL IsWindowVisible(HWND hwnd);
// Returns whether the window was disabled before.
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);
BOOL SetWindowTextA(HWND hwnd, const char* text);
int GetWindowTextA(HWND hwnd, char* buffer, int maxCount);
int GetWindowTextLengthA(HWND hwnd);

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Like SendMessageA, but gives up after timeoutMs if the owner has not yet
// started the call. Returns non-zero on success, with the answer in *result.
LRESULT SendMessageTimeoutA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeoutMs,
                            UINT_PTR* result);
BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

// Blocks until a message passes the filter; 0 for WM_QUIT, -1 for a null msg.
// Serves sends from other threads to this thread's windows while it waits,
// before any posted message. Taking WM_QUIT refuses (answers 0 to) further
// sends until the thread calls GetMessageA again. A filter of (HWND)-1 takes
// only thread messages. Posted messages come first, then the quit flag, then timers.
BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
LRESULT DispatchMessageA(const MSG* msg);
BOOL TranslateMessage(const MSG* msg);

// One id per distinct string, compared without case, from 0xC000; 0 for an
// empty string. Safe during static initialisation and from any thread.
UINT RegisterWindowMessageA(const char* name);

// A listing for tests and automation, in creation order. `visible` is the
// window's own flag (a control in a hidden dialog may still say visible).
struct WindowInfo {
  HWND hwnd = 0;
  HWND parent = 0;
  UINT templateId = 0;
  int controlId = 0;
  DWORD ownerThread = 0;
  std::string kind;
  bool visible = false;
  bool enabled = true;
  std::string text;
};
std::vector<WindowInfo> EnumerateWindows();
