// Paths on disk: the native '/' separator, joined by one helper.
#pragma once

#include <string>
#include <string_view>

#include "win/types.h"

// Windows semantics over '/' paths: the name is taken relative to the current
// folder and "." and ".." parts are resolved as text (nothing need exist).
// Success: the length without the terminator, and *filePart (when given) at
// the last part, or null when the result ends with '/'. A buffer too small:
// the length it needs, terminator included, and the buffer is untouched.
// Failure (null or empty name, no current folder): 0.
DWORD GetFullPathNameA(const char* name, DWORD bufferLength, char* buffer, char** filePart);

// folder + '/' + name with exactly one '/' at the join; an empty side gives the other.
std::string JoinPath(std::string_view folder, std::string_view name);

// The current folder, without a trailing '/' (except "/" itself); empty when unknown.
std::string CurrentFolder();
