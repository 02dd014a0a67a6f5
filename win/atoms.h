// The global atom table: a 16-bit id per string, compared without case,
// counted per add. With TK_WINDOWS set the table is the folder's and is
// shared by the processes using it; otherwise it is this process's own.
#pragma once

#include "win/types.h"

using ATOM = WORD;

// The string's atom, made (from 0xC000) or counted once more; 0 for a null,
// empty or over-long (255) string, or when the table is full.
ATOM GlobalAddAtomA(const char* name);
ATOM GlobalFindAtomA(const char* name);
// Copies the name (cut to size - 1, terminated); its length, 0 for an unknown atom.
UINT GlobalGetAtomNameA(ATOM atom, char* buffer, int size);
// Counts the atom down, removing it at 0; returns 0, or the atom when it is unknown.
ATOM GlobalDeleteAtom(ATOM atom);
