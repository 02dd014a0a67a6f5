#include "win/rich_text.h"

#include <algorithm>

CharFormatBits RichText::FormatAt(std::size_t pos) const {
  if (spans_.empty()) return {};
  // The end is where traces write: answer it without walking the runs.
  if (pos >= text_.size() - spans_.back().length) return spans_.back().format;
  std::size_t begin = 0;
  for (const Span& span : spans_) {
    if (pos < begin + span.length) return span.format;
    begin += span.length;
  }
  return spans_.back().format;
}

std::size_t RichText::SplitAt(std::size_t pos) {
  if (pos >= text_.size()) return spans_.size();
  std::size_t begin = 0;
  for (std::size_t i = 0; i < spans_.size(); ++i) {
    if (pos == begin) return i;
    const std::size_t end = begin + spans_[i].length;
    if (pos < end) {
      const Span tail{end - pos, spans_[i].format};
      spans_[i].length = pos - begin;
      spans_.insert(spans_.begin() + static_cast<std::ptrdiff_t>(i) + 1, tail);
      return i + 1;
    }
    begin = end;
  }
  return spans_.size();
}

void RichText::MergeSpans() {
  std::vector<Span> merged;
  merged.reserve(spans_.size());
  for (const Span& span : spans_) {
    if (span.length == 0) continue;
    if (!merged.empty() && merged.back().format == span.format) {
      merged.back().length += span.length;
    } else {
      merged.push_back(span);
    }
  }
  spans_ = std::move(merged);
}

void RichText::Insert(std::size_t pos, std::string_view text, CharFormatBits format) {
  if (text.empty()) return;
  pos = std::min(pos, text_.size());
  if (pos == text_.size()) {
    if (!spans_.empty() && spans_.back().format == format) {
      spans_.back().length += text.size();
    } else {
      spans_.push_back(Span{text.size(), format});
    }
  } else {
    const std::size_t at = SplitAt(pos);
    spans_.insert(spans_.begin() + static_cast<std::ptrdiff_t>(at), Span{text.size(), format});
    MergeSpans();
  }

  const auto first = std::lower_bound(breaks_.begin(), breaks_.end(), pos);
  for (auto it = first; it != breaks_.end(); ++it) *it += text.size();
  std::vector<std::size_t> added;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') added.push_back(pos + i);
  }
  breaks_.insert(first, added.begin(), added.end());
  text_.insert(pos, text);
}

void RichText::Erase(std::size_t pos, std::size_t count) {
  if (pos >= text_.size()) return;
  count = std::min(count, text_.size() - pos);
  if (count == 0) return;
  if (pos == 0 && count == text_.size()) {
    Clear();
    return;
  }
  const std::size_t from = SplitAt(pos);
  const std::size_t to = SplitAt(pos + count);
  spans_.erase(spans_.begin() + static_cast<std::ptrdiff_t>(from), spans_.begin() + static_cast<std::ptrdiff_t>(to));
  MergeSpans();

  const auto first = std::lower_bound(breaks_.begin(), breaks_.end(), pos);
  const auto last = std::lower_bound(first, breaks_.end(), pos + count);
  for (auto it = last; it != breaks_.end(); ++it) *it -= count;
  breaks_.erase(first, last);
  text_.erase(pos, count);
}

void RichText::ApplyFormat(std::size_t start, std::size_t end, DWORD effectMask, bool setColour,
                           CharFormatBits format) {
  end = std::min(end, text_.size());
  if (start >= end) return;
  const std::size_t from = SplitAt(start);
  const std::size_t to = SplitAt(end);
  for (std::size_t i = from; i < to; ++i) {
    CharFormatBits& bits = spans_[i].format;
    bits.effects = (bits.effects & ~effectMask) | (format.effects & effectMask);
    if (setColour) bits.colour = format.colour;
  }
  MergeSpans();
}

void RichText::ConsistentBits(std::size_t start, std::size_t end, DWORD* equalEffects, bool* equalColour) const {
  DWORD effects = 0xFFFFFFFF;
  bool colour = true;
  std::size_t begin = 0;
  bool seen = false;
  CharFormatBits first;
  for (const Span& span : spans_) {
    const std::size_t spanEnd = begin + span.length;
    if (spanEnd > start && begin < end) {
      if (!seen) {
        first = span.format;
        seen = true;
      } else {
        effects &= ~(first.effects ^ span.format.effects);
        colour = colour && first.colour == span.format.colour;
      }
    }
    if (spanEnd >= end) break;
    begin = spanEnd;
  }
  *equalEffects = effects;
  *equalColour = colour;
}

void RichText::Clear() {
  text_.clear();
  spans_.clear();
  breaks_.clear();
}

std::size_t RichText::LineStart(std::size_t line) const {
  if (line == 0) return 0;
  return line <= breaks_.size() ? breaks_[line - 1] + 1 : text_.size();
}

std::size_t RichText::LineLength(std::size_t line) const {
  if (line > breaks_.size()) return 0;
  const std::size_t start = LineStart(line);
  std::size_t end = line < breaks_.size() ? breaks_[line] : text_.size();
  if (line < breaks_.size() && end > start && text_[end - 1] == '\r') --end;
  return end - start;
}

std::size_t RichText::LineOfChar(std::size_t pos) const {
  return static_cast<std::size_t>(std::lower_bound(breaks_.begin(), breaks_.end(), pos) - breaks_.begin());
}
