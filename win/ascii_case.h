// Upper-casing and case-blind comparison of 8-bit (code page 1252) text: ASCII
// letters a-z only, every other byte kept. The one helper the whole client uses.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

constexpr char AsciiToUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Upper-cases a terminated text in place (nothing for null).
void AsciiUpperInPlace(char* text);
// Upper-cases at most `width` bytes, stopping at a terminator.
void AsciiUpperInPlace(char* text, std::size_t width);
std::string AsciiUpper(std::string_view text);

bool AsciiEqualNoCase(std::string_view a, std::string_view b);
// strnicmp semantics over terminated texts: compares at most n characters and
// stops after a terminator; <0, 0, >0 on the upper-cased bytes. Null sorts first.
int AsciiCompareNoCaseN(const char* a, const char* b, std::size_t n);
