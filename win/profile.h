// Private-profile (INI file) access with the Windows call names and behaviour.
//
// Sections and keys match without case (ASCII). Values are trimmed of blanks,
// and a value wholly inside double or single quotes loses them. A key that is
// present with an empty value reads as "", only a missing one gives the default.
// The file is read afresh on every call; a missing or unreadable file reads as empty.
#pragma once

#include "win/types.h"

// Copies the value (or the default, trailing blanks removed but never its first
// character; null is "") cut to size - 1 characters and always terminated; the
// result is the number of characters copied.
// A null key lists the section's key names, a null section the section names:
// each name terminated, the list ended by a second NUL; when the list does not
// fit, the last name is cut, two NULs close it and the result is size - 2.
// A null buffer or a size of 0 copies nothing and gives 0.
DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buffer, DWORD size,
                               const char* path);

// The value read as a decimal integer: blanks and one sign may lead, reading stops at
// the first other character ("abc" is 0, "12x" is 12); wraps modulo 2^32 as Windows
// does, so negative values come back as their two's complement. A missing key, or one
// with an empty value, gives the default.
UINT GetPrivateProfileIntA(const char* section, const char* key, INT defaultValue, const char* path);

// Sets the key to the value, creating the file and the section when missing and
// replacing the value in place; every other line is kept byte for byte and new lines
// end with CR LF. A null value deletes the key, a null key the whole section.
// A value is written only up to its first line end, so it can never add a line.
// Section or key names that would not read back (line ends, brackets, '=' or a
// leading ';') are refused. The new file replaces the old one in one rename, and one
// process-wide lock keeps two writers from losing each other's keys.
BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* path);
