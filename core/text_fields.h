// Fixed-width text fields: bounded copies, blank trimming and the ':' splitter
// of the website command parser. Every field is terminated inside
// its width and never read past it.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

// The text held in a fixed-width field: up to its terminator, never past its width.
template <std::size_t N>
std::string_view FieldText(const char (&field)[N]) {
  return std::string_view(field, ::strnlen(field, N));
}
template <std::size_t N>
std::string_view FieldText(const std::array<char, N>& field) {
  return std::string_view(field.data(), ::strnlen(field.data(), N));
}

// Copies at most width - 1 bytes of `text` (stopping at a NUL inside it) and terminates.
void CopyCut(char* dest, std::size_t width, std::string_view text);
template <std::size_t N>
void CopyCut(char (&dest)[N], std::string_view text) {
  CopyCut(dest, N, text);
}

// Copies `text` without its leading and trailing space characters (only ' ')
// into dest, cut to destSize - 1 bytes and terminated. Nothing happens when
// dest or text is missing, destSize is 0 or the text is empty.
void TrimSpaces(char* dest, std::size_t destSize, const char* text);
template <std::size_t N>
void TrimSpaces(char (&dest)[N], const char* text) {
  TrimSpaces(dest, N, text);
}

constexpr std::size_t kColonFieldCount = 256;
constexpr std::size_t kColonFieldSize = 1'024;
using ColonFields = std::array<std::array<char, kColonFieldSize>, kColonFieldCount>;

// Splits at each ':' into `fields` (all emptied first): two ':' in a row give an
// empty field, a trailing ':' adds none; stops when the text is consumed or 256
// fields are filled. An empty text, or a field of 1,024 characters or more,
// gives 0 (and the fields are left empty). The text ends at its first NUL.
// The array is 256 KiB: keep it off small stacks.
int SplitColonFields(std::string_view text, ColonFields& fields);
int SplitColonFields(const char* text, ColonFields& fields);
