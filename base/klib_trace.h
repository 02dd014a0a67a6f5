// Library trace lines that go through the main thread's trace call
// (used by library code that has no thread object of its own at hand).
#pragma once

#include "win/types.h"

// Prints one line in the given colour through the library's main thread;
// without a main thread the line goes to the standard error. Never a format from outside:
// callers pass their own literal formats.
void KlibMainTraceLine(COLORREF colour, const char* format, ...) __attribute__((format(printf, 2, 3)));
