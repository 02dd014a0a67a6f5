// What the on-screen display registers with the platform layer. The models of
// win/ stay the truth; the display (win/display/, its own library) follows
// them. Nothing here is Qt: win/ calls these hooks and works as before when
// none is set (headless, every test that does not ask for the display).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "win/types.h"

struct MenuSnapshot;

namespace win::display {

// What changed in a window's model; bits, coalesced by the display.
enum Change : unsigned {
  kCreated = 1u << 0,
  kDestroyed = 1u << 1,
  kShown = 1u << 2,      // visibility (either way)
  kEnabled = 1u << 3,    // enabled state (either way)
  kMoved = 1u << 4,      // position or size
  kText = 1u << 5,       // caption / window text
  kContent = 1u << 6,    // a control's model (items, selection, range, check ...)
  kPainted = 1u << 7,    // the window's GDI surface was painted again
  kStyle = 1u << 8,
};

struct FileDialogAsk {
  bool open = false;
  std::string defaultExtension;
  std::string filter;  // the class library's form ("Text (*.txt)|*.txt||")
  std::string initialFolder;
  std::string fileName;
  DWORD flags = 0;
};

struct Hooks {
  // Any thread, under any of win/'s locks: records the change and wakes the
  // UI thread; never blocks and never calls back into win/.
  std::function<void(HWND hwnd, unsigned changes)> windowChanged;
  // The UI thread's wait when its queue has nothing to give (GetMessageA,
  // WaitMessage): runs the display's events until woken, or timeoutMs has
  // passed (timeoutMs < 0: no limit). Called without any win/ lock held.
  std::function<void(int timeoutMs)> waitForEvents;
  // Any thread, after something was queued for the UI thread.
  std::function<void()> wakeUiThread;
  DWORD uiThread = 0;
  // A message box on screen: the answer, or nullopt to answer as headless.
  // `onUiThread` false: shown without waiting, the default answer returned.
  std::function<std::optional<int>(HWND owner, const std::string& text, const std::string& caption, UINT type,
                                   bool onUiThread)>
      messageBox;
  // The desktop's file dialog: the path chosen, "" when cancelled, nullopt
  // to answer as headless.
  std::function<std::optional<std::string>(const FileDialogAsk& ask)> fileDialog;
  // A tracked pop-up menu on screen (UI thread): the command chosen (0 for
  // none), or nullopt to answer as headless.
  std::function<std::optional<UINT>(const MenuSnapshot& menu, int x, int y, HWND owner)> popupMenu;
  // The whole top-level window as it shows (widgets and painted surfaces
  // together) written as PNG; runs on the UI thread. False on failure.
  std::function<bool(HWND window, const std::string& path)> snapshotWindow;
  // Any thread: how many times the toolkit repainted each window's widgets
  // since the last call (on screen only), by window handle.
  std::function<std::vector<std::pair<HWND, std::uint64_t>>()> takeRepaints;
};

// Set once by the display at start, on the UI thread, before other threads
// run; Clear at its stop. Readers get the hooks set at that time.
void SetHooks(Hooks hooks);
void ClearHooks();
// Null when no display is registered.
const Hooks* CurrentHooks();

// Short forms for win/'s callers: no-ops when no display is registered.
void NotifyChanged(HWND hwnd, unsigned changes);

}  // namespace win::display
