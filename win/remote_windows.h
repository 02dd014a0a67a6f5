// Windows of other processes. When TK_WINDOWS names a folder, a process
// publishes there the windows others look for by name, one UNIX socket each
// ("<handle in 8 hex digits>-<name>"), and window handles are unique among
// the processes sharing the folder, so a handle passed in a message parameter
// reaches the same window from any of them. Sends and posts to a window of
// another process go over its socket and run its procedure on its owner
// thread there; a registered message crosses by its name. When TK_WINDOWS is
// unset nothing is published and nothing of another process is found.
#pragma once

#include "win/types.h"

// Makes `name` findable by other processes until the window is destroyed or
// the process ends. FALSE when TK_WINDOWS is unset, the name is empty, holds
// a '/' or is longer than 64 characters, or a live process publishes it already.
BOOL PublishWindow(HWND hwnd, const char* name);

// A published window's class and title are both its name, compared without
// case; a null argument matches any. This process's windows come first (its
// published names, then its top-level windows by caption), then the folder's
// live windows. 0 when none matches.
HWND FindWindowA(const char* className, const char* windowName);
