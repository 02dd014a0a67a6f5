// Folder enumeration under the Windows names (FindFirstFileA / FindNextFileA /
// FindClose) over readdir. Names come sorted without case (ties by bytes), as
// a Windows file system returns them. Symbolic links are never followed: a
// link is reported with FILE_ATTRIBUTE_REPARSE_POINT (and the directory bit
// when it names a folder), its own size and times.
#pragma once

#include "win/types.h"

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x400;

struct FILETIME {
  DWORD dwLowDateTime = 0;
  DWORD dwHighDateTime = 0;
};

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes = 0;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh = 0;
  DWORD nFileSizeLow = 0;
  char cFileName[MAX_PATH] = {};
  char cAlternateFileName[14] = {};
};

// One open enumeration.
struct FindSearch;
using HFIND = FindSearch*;
inline const HFIND INVALID_FIND_HANDLE = nullptr;

// `pattern` is a folder followed by '/' and a name pattern ('*' and '?', case
// ignored; "*" takes every name, "." and ".." included as on Windows). The
// first entry goes into `data`; INVALID_FIND_HANDLE when the folder cannot be
// read or nothing matches.
HFIND FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data);
// As FindFirstFileA, for walks that need names and kinds only: each entry has
// its name and FILE_ATTRIBUTE_DIRECTORY / FILE_ATTRIBUTE_REPARSE_POINT as
// FindFirstFileA gives them, else FILE_ATTRIBUTE_NORMAL; times, sizes and the
// read-only bit stay 0. The kind comes from the folder listing itself, so an
// entry costs a stat only where the file system does not tell its kind there,
// and for a link (to learn whether it leads to a folder). Continue with FindNextFileA.
HFIND FindFirstFileBasicA(const char* pattern, WIN32_FIND_DATAA* data);
// The next entry: TRUE, or FALSE at the end.
BOOL FindNextFileA(HFIND search, WIN32_FIND_DATAA* data);
BOOL FindClose(HFIND search);
