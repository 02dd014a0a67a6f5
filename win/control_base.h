// The base of the dialog control models. Every message runs at once, on the
// calling thread, under the control's own lock. What a user does (a click, a
// selection) runs on the control's owner thread: asked from another thread it
// is posted there. Notifications reach the parent as WM_COMMAND
// (MAKELONG(id, code), control): sent at once on the parent's thread, posted
// from any other, so a worker never waits on the UI thread.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win/geometry.h"
#include "win/gdi_handles.h"
#include "win/styles.h"
#include "win/window.h"

// Private messages automation (and tests) send to any control. They come from
// RegisterWindowMessage, so no application message can clash with them.
// lParam: std::vector<std::string>* to fill; TRUE when the control has items.
UINT ControlItemsMessage();
// wParam: index; selects it as the user would (with the notification); TRUE when done.
UINT ControlSelectMessage();
// Clicks as the user would; TRUE when the control takes clicks and is enabled.
UINT ControlClickMessage();
// Answers the control's style bits (0 from windows that are not controls).
UINT ControlStyleMessage();
// wParam: index; selects it as the user would, then double-clicks it, each
// with its notice; TRUE when done.
UINT ControlDoubleClickMessage();
// lParam: const char*; typed over the whole content as a user would, with
// the change notices. kTypedIn, kTypingRefused (the control takes no typing:
// a drop-down list) or kTextRefused (not a text the control can hold).
UINT ControlTypeMessage();
constexpr LRESULT kTypedIn = 1;
constexpr LRESULT kTypingRefused = 0;
constexpr LRESULT kTextRefused = -1;
// wParam: the new style bits (WS_VISIBLE and WS_DISABLED stay the window's
// own); TRUE from a control that took them.
UINT ControlSetStyleMessage();

// The state every control model shares: its style and its text.
class CControlBase : public CWnd {
 public:
  explicit CControlBase(DWORD style = 0, std::string text = {});
  ~CControlBase() override;

  // The class library's shape: a child of `parent` with this id, text and
  // rectangle. WS_CHILD is implied. FALSE when it already exists or the
  // parent has no window.
  BOOL Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id);

  bool IsThreadSafeControl() const override { return true; }
  std::optional<std::string> ContentText() const override { return Text(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  DWORD Style() const { return style_.load(); }
  std::string Text() const;
  // FALSE after WM_SETREDRAW FALSE, until WM_SETREDRAW TRUE.
  bool RedrawEnabled() const { return redraw_.load(); }

 protected:
  // Painting, on the owner thread: the WM_CTLCOLOR* message asked of the
  // parent, and the kind's look over the whole client area (the DC is clipped
  // to what needs painting, its colours and font set as the parent answered;
  // `background` is the brush to fill with).
  virtual UINT CtlColorMessage() const;
  virtual void PaintControl(HDC dc, const RECT& client, HBRUSH background);
  // BeginPaint, the parent's colours, PaintControl, EndPaint.
  void PaintNow();
  // Labels and pictures never take the focus from a click.
  virtual bool TakesFocusOnClick() const { return true; }

  // WM_COMMAND with `code` to the parent, as the header says.
  void NotifyParent(WORD code);
  // What the control shows changed: it is painted again, unless its redraw is
  // off (WM_SETREDRAW TRUE then invalidates it once). Any thread.
  void ContentChanged();
  // Calls ContentChanged on leaving its scope when marked; declared before a
  // lock guard, it runs after the lock is released.
  class RepaintWhenChanged {
   public:
    explicit RepaintWhenChanged(CControlBase& control) : control_(control) {}
    ~RepaintWhenChanged() {
      if (changed_) control_.ContentChanged();
    }
    RepaintWhenChanged(const RepaintWhenChanged&) = delete;
    RepaintWhenChanged& operator=(const RepaintWhenChanged&) = delete;
    void Mark(bool changed = true) { changed_ = changed_ || changed; }

   private:
    CControlBase& control_;
    bool changed_ = false;
  };
  // True on the thread that owns the window.
  bool OnOwnerThread() const;
  // Hands a user action made on another thread to the owner's queue.
  void RepostToOwner(UINT message, WPARAM wParam, LPARAM lParam);
  // The automation's pick of item `index`, made as a user's pick: off the
  // owner's thread an index in range is handed to it. `itemCount` runs under
  // mutex_.
  template <class ItemCount, class Pick>
  LRESULT PickForAutomation(UINT message, WPARAM index, LPARAM lParam, ItemCount itemCount, Pick pick) {
    if (!IsWindowEnabled()) return FALSE;
    if (!OnOwnerThread()) {
      {
        std::lock_guard lock(mutex_);
        if (index >= itemCount()) return FALSE;
      }
      RepostToOwner(message, index, lParam);
      return TRUE;
    }
    return pick(index) ? TRUE : FALSE;
  }

  mutable std::mutex mutex_;
  std::string text_;  // guarded by mutex_
  std::atomic<DWORD> style_;

 private:
  std::atomic<bool> redraw_{true};
};

// A known control kind that has no model of its own yet: it keeps its text.
class CPlaceholderCtrl : public CControlBase {
 public:
  CPlaceholderCtrl(std::string kind, DWORD style, std::string text);
  ~CPlaceholderCtrl() override;
  std::string_view Kind() const override { return kind_; }

 private:
  const std::string kind_;
};
