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

#include "win/focus.h"
#include "win/geometry.h"
#include "win/messages.h"
#include "win/mouse.h"
#include "win/paint.h"
#include "win/timers.h"
#include "win/types.h"
#include "win/window_pos.h"

namespace win::detail {
struct WindowSlot;
struct WindowAccess;
}

class CWnd;
class CDC;
class CRgn;

constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;

// How a window is made: the registry records these with the handle.
struct WindowCreateParams {
  CWnd* parent = nullptr;
  int controlId = 0;
  UINT templateId = 0;
  DWORD style = 0;
  // A dialog whose template binds the controls it adds during WM_CREATE:
  // their PreSubclassWindow waits for the template (win/dialog_template.h).
  bool bindChildrenFromTemplate = false;
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
  // A child's WM_DRAWITEM, WM_MEASUREITEM, WM_CTLCOLOR*, WM_NOTIFY or
  // WM_COMMAND notice is first offered here, to the child that sent it, on
  // the owner thread and before the parent's procedure runs; TRUE keeps it
  // from the parent, with the parent's answer in *result.
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  // Called once when this object is bound to its window: by CreateHandle, or,
  // for a control a dialog added before its template loaded, when the
  // template's control takes it (with the template's style, text and rectangle).
  virtual void PreSubclassWindow();

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

  // The style bits (GetWindowLongA GWL_STYLE); ModifyStyle takes `remove`
  // off and puts `add` on, then applies SetWindowPos `swpFlags` when not 0.
  // TRUE when the style changed.
  DWORD GetStyle() const;
  BOOL ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0);

  // Geometry (win/window_pos.h).
  void GetClientRect(RECT* rect) const;
  void GetWindowRect(RECT* rect) const;
  void ClientToScreen(POINT* point) const;
  void ClientToScreen(RECT* rect) const;
  void ScreenToClient(POINT* point) const;
  void ScreenToClient(RECT* rect) const;
  BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
  void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
  void MoveWindow(const RECT* rect, BOOL repaint = TRUE);

  // Painting (win/paint.h).
  void Invalidate(BOOL erase = TRUE);
  void InvalidateRect(const RECT* rect, BOOL erase = TRUE);
  void ValidateRect(const RECT* rect);
  void UpdateWindow();
  // The region is not used (pass null); the flags default to RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE.
  BOOL RedrawWindow(const RECT* rect = nullptr, CRgn* region = nullptr, UINT flags = 0x0105);
  // A DC on the client surface (owner thread only; null elsewhere), released with ReleaseDC.
  CDC* GetDC();
  CDC* GetWindowDC();
  int ReleaseDC(CDC* dc);

  // Mouse and focus (win/mouse.h, win/focus.h).
  CWnd* SetCapture();
  CWnd* SetFocus();

  // The platform calls of the same names stay callable unqualified inside
  // members of window classes.
  static HWND SetFocus(HWND hwnd) { return ::SetFocus(hwnd); }
  static HWND SetCapture(HWND hwnd) { return ::SetCapture(hwnd); }
  static BOOL GetClientRect(HWND hwnd, RECT* rect) { return ::GetClientRect(hwnd, rect); }
  static BOOL GetWindowRect(HWND hwnd, RECT* rect) { return ::GetWindowRect(hwnd, rect); }
  static BOOL ClientToScreen(HWND hwnd, POINT* point) { return ::ClientToScreen(hwnd, point); }
  static BOOL ScreenToClient(HWND hwnd, POINT* point) { return ::ScreenToClient(hwnd, point); }
  static BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    return ::SetWindowPos(hwnd, insertAfter, x, y, cx, cy, flags);
  }
  static BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    return ::MoveWindow(hwnd, x, y, width, height, repaint);
  }
  static BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) { return ::InvalidateRect(hwnd, rect, erase); }
  static BOOL ValidateRect(HWND hwnd, const RECT* rect) { return ::ValidateRect(hwnd, rect); }
  static BOOL UpdateWindow(HWND hwnd) { return ::UpdateWindow(hwnd); }
  static BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN region, UINT flags) {
    return ::RedrawWindow(hwnd, rect, region, flags);
  }
  static HDC GetDC(HWND hwnd) { return ::GetDC(hwnd); }
  static HDC GetWindowDC(HWND hwnd) { return ::GetWindowDC(hwnd); }
  static int ReleaseDC(HWND hwnd, HDC dc) { return ::ReleaseDC(hwnd, dc); }

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
// only thread messages. Posted messages come first, then the quit flag, then
// WM_PAINT for a visible window with something to paint (win/paint.h), then timers.
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
