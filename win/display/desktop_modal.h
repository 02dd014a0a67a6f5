// A modal wait on the UI thread that keeps the thread's own queue served:
// posted messages are dispatched, sends from other threads answered and
// timers fire while a box, a file dialog or a pop-up menu waits for the
// pilot, as the loop of a modal dialog does. Internal to the display.
#pragma once

#include <functional>

#include "win/display_hooks.h"

class QWidget;

namespace win::display {

// Whether Qt Widgets can be shown on this thread: a QApplication exists and
// this is its thread.
bool WidgetsUsable();

// Runs win/'s messages and the toolkit's events until `finished` holds. False
// when WM_QUIT came first: it is posted again for the outer loop. It sleeps in
// the display's waitForEvents (until the next timer is due), which therefore
// nests: a box raised from an event run inside that wait waits in it again,
// and wakeUiThread must end every wait in progress. Without a registered
// wait (nothing would wake the toolkit when win/ queues something), it looks
// at the queue every few milliseconds.
bool RunModalLoop(const Hooks& hooks, const std::function<bool()>& finished);
// Makes a waiting RunModalLoop look at `finished` again; for a slot that
// has just made it true.
void WakeModalLoop(const Hooks& hooks);

// Centres `widget` (sized already) over the top-level window of `owner` (a
// control's dialog); left where the toolkit puts it when there is none.
void CentreOverOwner(QWidget& widget, HWND owner);

}  // namespace win::display
