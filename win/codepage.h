// Code page 1252 and UTF-8, converted at the edges of the program only.
#pragma once

#include <string>
#include <string_view>

// Every byte has a character: the five bytes 1252 leaves unassigned map to the
// control characters of the same value, so the way back is lossless.
std::string Cp1252ToUtf8(std::string_view text);
// Characters 1252 cannot hold, and malformed UTF-8, become '?'.
std::string Utf8ToCp1252(std::string_view text);

// The code pages of the Windows text functions: the ANSI code pages (system
// and thread) are both 1252 here. UTF-16 is char16_t, as Windows' WCHAR.
constexpr unsigned CP_ACP = 0;
constexpr unsigned CP_OEMCP = 1;
constexpr unsigned CP_THREAD_ACP = 3;
constexpr unsigned CP_1252 = 1252;

constexpr unsigned MAX_DEFAULTCHAR = 2;
constexpr unsigned MAX_LEADBYTES = 12;

struct CPINFO {
  unsigned MaxCharSize = 0;
  unsigned char DefaultChar[MAX_DEFAULTCHAR] = {};
  unsigned char LeadByte[MAX_LEADBYTES] = {};
};

// FALSE for a code page other than the ANSI ones and 1252.
int GetCPInfo(unsigned codePage, CPINFO* info);
// Windows' counting: a length of -1 takes the text with its terminator; a
// destination size of 0 asks for the size needed; a destination too small
// gives 0 (nothing is cut). 0 too for an unknown code page.
int MultiByteToWideChar(unsigned codePage, unsigned flags, const char* text, int length, char16_t* wide,
                        int wideSize);
// Characters 1252 cannot hold become the default character ('?' unless given);
// *usedDefault tells whether one did.
int WideCharToMultiByte(unsigned codePage, unsigned flags, const char16_t* wide, int length, char* text, int size,
                        const char* defaultChar, int* usedDefault);
