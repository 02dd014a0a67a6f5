// Text whose characters each carry a format, stored as runs, with an index of
// line breaks. Appending at the end costs only what is appended; edits inside
// cost the length of the text. Not locked: the rich-edit control guards it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "win/types.h"

struct CharFormatBits {
  COLORREF colour = 0;
  DWORD effects = 0;
  bool operator==(const CharFormatBits&) const = default;
};

class RichText {
 public:
  struct Span {
    std::size_t length = 0;
    CharFormatBits format;
  };

  const std::string& Text() const { return text_; }
  std::size_t Size() const { return text_.size(); }
  // Adjacent spans always differ in format and none is empty.
  const std::vector<Span>& Spans() const { return spans_; }

  // The format of the character at pos; pos < Size().
  CharFormatBits FormatAt(std::size_t pos) const;
  void Insert(std::size_t pos, std::string_view text, CharFormatBits format);
  void Erase(std::size_t pos, std::size_t count);
  // Sets the effect bits in effectMask and, with setColour, the colour of [start, end).
  void ApplyFormat(std::size_t start, std::size_t end, DWORD effectMask, bool setColour, CharFormatBits format);
  // The effect bits that are equal over all of [start, end), and whether the colour is; start < end.
  void ConsistentBits(std::size_t start, std::size_t end, DWORD* equalEffects, bool* equalColour) const;
  void Clear();

  // Lines are separated by '\n'; an empty text has one line, and a text that
  // ends with '\n' has an empty last line.
  std::size_t LineCount() const { return breaks_.size() + 1; }
  std::size_t LineStart(std::size_t line) const;
  // The line's length without its break ("\n" or "\r\n").
  std::size_t LineLength(std::size_t line) const;
  std::size_t LineOfChar(std::size_t pos) const;

 private:
  // Splits so that a span starts at pos; returns its index (Spans().size() at the end).
  std::size_t SplitAt(std::size_t pos);
  void MergeSpans();

  std::string text_;
  std::vector<Span> spans_;
  std::vector<std::size_t> breaks_;  // positions of '\n', ascending
};
