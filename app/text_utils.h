// Small helpers on NUL-terminated 8-bit texts, changed in place.
#pragma once

#include <string>

// EscapeProtocolText lives with the program-wide texts, where the flight-plan forms reach it.
#include "core/protocol_text.h"

// White space here: space, tab, LF, VT, FF and CR (never locale-dependent,
// the texts are code page 1252).
bool IsTextSpace(char c);

// 1 when the text is null, empty or only white space, else 0.
int IsAllOfClass(const char* text);

// Removes white space at both ends; the result is moved to the start of the text.
void TrimInPlace(char* text);
