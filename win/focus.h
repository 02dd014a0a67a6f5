// The keyboard focus: one window of the program at a time (there is one UI
// thread), and the dialog navigation that moves it. The tab order of a
// dialog is the order its controls were made in, which for a template is the
// order of its lines; a group runs from a control marked WS_GROUP up to the
// next one so marked.
#pragma once

#include "win/types.h"

// Gives `hwnd` the focus (0 takes it from every window); the window that had
// it, or 0. An unknown window changes nothing and answers 0.
HWND SetFocus(HWND hwnd);
// The window with the focus; 0 when none has it or it has been destroyed.
HWND GetFocus();

// The next control of `dialog` after `control` (before it when `previous`)
// that is visible, enabled and marked WS_TABSTOP, wrapping round; with no
// control given, the first (or last). 0 when none qualifies.
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
// The next visible and enabled control of `control`'s group (labels and
// pictures passed over), wrapping round inside the group; `control` itself
// when it is alone. 0 for a control that is not a child of `dialog`.
HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous);
