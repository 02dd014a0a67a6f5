// The windows of the program as widgets: one per window, made, synced and
// deleted on the UI thread from the models' changes. Internal to the display.
#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "win/display/control_widget.h"
#include "win/types.h"

namespace win::display {

class Mirror {
 public:
  // `onScreen`: the windows the models show are shown; otherwise widgets are
  // made only for a snapshot. `wake` asks the UI thread for a Sync.
  Mirror(bool onScreen, std::function<void()> wake);
  ~Mirror();
  Mirror(const Mirror&) = delete;
  Mirror& operator=(const Mirror&) = delete;

  // Any thread, under any of win/'s locks: only records, under a lock of its
  // own, and wakes the UI thread once for a burst.
  void Record(HWND hwnd, unsigned changes);
  // UI thread: brings every window recorded since the last Sync to its model, once.
  void Sync();
  // UI thread: a user's action, run from the loop after the toolkit's
  // handlers have returned (the program may open a modal loop in it).
  void Later(std::function<void()> action);
  void RunLater();
  // UI thread, between the toolkit's events; while false a window that
  // goes has its widgets hidden and deleted at the next chance.
  void SetMayDelete(bool may) { mayDelete_ = may; }

  // UI thread: the top-level window's widget, made (offscreen, not shown)
  // when it has none; null for no such window.
  QWidget* WindowWidgetOf(HWND top);
  // UI thread: every widget deleted, nothing pending (the display stops).
  void Clear();
  // Deletes the widgets of a window made for a snapshot alone.
  void Forget(HWND top);
  // The widget shown for a window, null when it has none (tests).
  QWidget* WidgetOf(HWND hwnd) const;

  // Syncs that had something to do (tests: a burst is coalesced).
  std::uint64_t SyncCount() const { return syncs_; }
  bool OnScreen() const { return onScreen_; }
  // True while a Sync sets the widgets (their own notices are not the user's).
  bool Syncing() const { return syncing_; }

 private:
  struct Entry {
    HWND hwnd = 0;
    HWND parent = 0;  // 0 for a top-level window
    std::string kind;
    QPointer<QWidget> widget;
    std::unique_ptr<ControlWidget> control;
  };

  void Build(HWND top);
  void BuildChildren(HWND parent);
  void MakeChild(HWND hwnd);
  void Apply(Entry& entry, unsigned changes);
  void Remove(HWND hwnd);
  static void Destroy(Entry& entry);

  const bool onScreen_;
  const std::function<void()> wake_;

  std::mutex mutex_;  // a leaf: guards pending_ and scheduled_ alone
  std::unordered_map<HWND, unsigned> pending_;
  bool scheduled_ = false;

  std::map<HWND, Entry> entries_;  // UI thread
  std::vector<std::function<void()>> later_;
  std::vector<Entry> graveyard_;
  bool mayDelete_ = true;
  bool syncing_ = false;
  std::uint64_t syncs_ = 0;
};

// The mirror Start made; null before Start (tests).
Mirror* CurrentMirror();

}  // namespace win::display
