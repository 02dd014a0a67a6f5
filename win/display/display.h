// The on-screen display: every window of the program as a Qt Widgets window
// on an X11 or Wayland desktop. No Qt in this header: the program's start
// calls it, nothing above win/ sees the toolkit.
#pragma once

namespace win::display {

// Shown with "--display" among the arguments or a desktop in the environment
// (DISPLAY or WAYLAND_DISPLAY), unless TK_HEADLESS is "1".
bool ShouldShow(int argc, char** argv);

// Starts the toolkit on the calling thread, which becomes the UI thread: on
// the desktop when `show`, offscreen otherwise, and registers the hooks of
// win/display_hooks.h. Once, before any window exists. False when the
// desktop cannot be reached (the program then runs headless).
bool Start(bool show);
// The desktop gone under a shown program (its X server ended): the windows
// are dropped, the program's ordered quit runs on the UI thread, then
// `finish` gets its exit status. `finish` ends the process and never returns.
void WhenDesktopGone(void (*finish)(int exitCode));
// True between a Start(true) that succeeded and Stop.
bool Showing();
void Stop();

}  // namespace win::display
