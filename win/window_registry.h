// The window registry: one slot per live handle. Internal to win/.
//
// Lock order: registry lock, then a slot's state lock, then a control's own
// data lock. A slot's call lock is taken before its state lock and never while
// the registry lock is held. Call locks go from a window to its descendants:
// of one window tree a thread holds call locks only along one line of
// ancestors, so one that holds a control's (a control telling its dialog or
// asking it for colours, a click moving the focus from a sibling) lets go of
// it while it holds the other's. A window of another tree (the automation's
// own) keeps its lock.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "win/messages.h"

class CWnd;

namespace win::detail {

struct ThreadQueue;

struct WindowSlot {
  HWND hwnd = 0;
  HWND parent = 0;
  int controlId = 0;
  UINT templateId = 0;
  DWORD ownerThread = 0;
  bool threadSafe = false;
  std::string kind;
  std::shared_ptr<ThreadQueue> owner;

  // Held while the window procedure runs: a control's own lock, and what
  // destruction waits for so no call runs into a freed object.
  std::recursive_mutex callMutex;
  bool destroying = false;  // guarded by callMutex

  // Guards `window` for readers that must not wait on a running procedure.
  mutable std::mutex stateMutex;
  CWnd* window = nullptr;  // null once destroyed; written under both locks
  std::string caption;

  std::atomic<bool> visible{false};
  std::atomic<bool> enabled{true};
  // PreSubclassWindow has run; the children of a dialog still loading its
  // template wait for it. Both on the owner thread.
  bool bound = false;
  bool bindChildrenLater = false;
};

using SlotPtr = std::shared_ptr<WindowSlot>;

// A new handle: never 0, never reused during the run; 0 when the range is spent.
// With TK_WINDOWS set, no other process sharing the folder hands out the same one.
HWND AllocateHandle();
// A handle from this process's range, live or not: never one of another process.
bool IsOwnHandle(HWND hwnd);
// Lists a slot whose handle is set; from here other threads can reach it.
void RegisterSlot(const SlotPtr& slot);
void UnregisterSlot(HWND hwnd);
SlotPtr FindSlot(HWND hwnd);
std::vector<HWND> ChildrenOf(HWND parent);
HWND FindChild(HWND parent, int controlId);
std::vector<SlotPtr> AllSlots();

// Holds the slot's call lock for its scope, as the order above says: the call
// locks this thread holds on windows of the slot's tree other than its
// ancestors are let go for the scope and taken again at its end.
class CallLock {
 public:
  explicit CallLock(const SlotPtr& slot);
  ~CallLock();
  CallLock(const CallLock&) = delete;
  CallLock& operator=(const CallLock&) = delete;

 private:
  SlotPtr slot_;
  // Each with the times it was held; their own CallLocks, further out, keep them.
  std::vector<std::pair<WindowSlot*, int>> released_;
};

// The windows whose call locks this thread holds, in the order it took them.
std::vector<HWND> CallLocksHeldHere();

// Runs the window procedure under the slot's call lock; 0 when the window is gone.
LRESULT CallWindowProcedure(const SlotPtr& slot, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the window's PreSubclassWindow unless it ran already.
void BindWindowObject(HWND hwnd);
// The dialog's template has been read: its children not yet bound are bound now.
void EndTemplateBinding(HWND dialog);

}  // namespace win::detail
