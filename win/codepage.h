// Code page 1252 and UTF-8, converted at the edges of the program only.
#pragma once

#include <string>
#include <string_view>

// Every byte has a character: the five bytes 1252 leaves unassigned map to the
// control characters of the same value, so the way back is lossless.
std::string Cp1252ToUtf8(std::string_view text);
// Characters 1252 cannot hold, and malformed UTF-8, become '?'.
std::string Utf8ToCp1252(std::string_view text);
