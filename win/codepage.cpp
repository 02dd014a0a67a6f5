#include "win/codepage.h"

#include <array>
#include <cstdint>
#include <string>

namespace {

// Bytes 0x80..0x9F; the rest of the upper half is Latin-1.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

char FromCodePoint(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == c) return static_cast<char>(0x80 + i);
  }
  return '?';
}

// The code point at `at`, advancing past it; 0xFFFFFFFF when malformed (one byte is skipped).
char32_t DecodeAt(std::string_view text, std::size_t& at) {
  constexpr char32_t kBad = 0xFFFFFFFF;
  const auto lead = static_cast<std::uint8_t>(text[at]);
  std::size_t length = 0;
  char32_t c = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    ++at;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, c = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, c = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, c = lead & 0x07, minimum = 0x10000;
  } else {
    ++at;
    return kBad;
  }
  if (at + length > text.size()) {
    ++at;
    return kBad;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<std::uint8_t>(text[at + i]);
    if ((next & 0xC0) != 0x80) {
      ++at;
      return kBad;
    }
    c = (c << 6) | (next & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++at;
    return kBad;
  }
  at += length;
  return c;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char byte : text) {
    const auto b = static_cast<std::uint8_t>(byte);
    if (b < 0x80) {
      out.push_back(byte);
    } else if (b < 0xA0) {
      AppendUtf8(out, kHighControls[b - 0x80]);
    } else {
      AppendUtf8(out, b);
    }
  }
  return out;
}

std::string Utf8ToCp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    const char32_t c = DecodeAt(text, at);
    out.push_back(c == 0xFFFFFFFF ? '?' : FromCodePoint(c));
  }
  return out;
}

namespace {

bool IsAnsi(unsigned codePage) { return codePage == CP_ACP || codePage == CP_THREAD_ACP || codePage == CP_1252; }

char16_t WideOf(char byte) {
  const auto b = static_cast<std::uint8_t>(byte);
  return b >= 0x80 && b < 0xA0 ? static_cast<char16_t>(kHighControls[b - 0x80]) : static_cast<char16_t>(b);
}

}  // namespace

int GetCPInfo(unsigned codePage, CPINFO* info) {
  if (info == nullptr || !IsAnsi(codePage)) return 0;
  *info = CPINFO{};
  info->MaxCharSize = 1;
  info->DefaultChar[0] = '?';
  return 1;
}

int MultiByteToWideChar(unsigned codePage, unsigned, const char* text, int length, char16_t* wide, int wideSize) {
  if (!IsAnsi(codePage) || text == nullptr || length < -1 || wideSize < 0 || (wideSize > 0 && wide == nullptr)) {
    return 0;
  }
  const std::size_t count = length == -1 ? std::char_traits<char>::length(text) + 1 : static_cast<std::size_t>(length);
  if (count == 0 || count > 0x7FFFFFFF) return 0;
  if (wideSize == 0) return static_cast<int>(count);
  if (count > static_cast<std::size_t>(wideSize)) return 0;
  for (std::size_t i = 0; i < count; ++i) wide[i] = WideOf(text[i]);
  return static_cast<int>(count);
}

int WideCharToMultiByte(unsigned codePage, unsigned, const char16_t* wide, int length, char* text, int size,
                        const char* defaultChar, int* usedDefault) {
  if (usedDefault != nullptr) *usedDefault = 0;
  if (!IsAnsi(codePage) || wide == nullptr || length < -1 || size < 0 || (size > 0 && text == nullptr)) return 0;
  const std::size_t count =
      length == -1 ? std::char_traits<char16_t>::length(wide) + 1 : static_cast<std::size_t>(length);
  if (count == 0 || count > 0x7FFFFFFF) return 0;
  if (size == 0) return static_cast<int>(count);
  if (count > static_cast<std::size_t>(size)) return 0;
  const char fallback = defaultChar != nullptr ? *defaultChar : '?';
  for (std::size_t i = 0; i < count; ++i) {
    const char16_t c = wide[i];
    // Surrogates and the code points 1252 lacks take the default.
    const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
    const char byte = surrogate ? '?' : FromCodePoint(c);
    const bool lost = byte == '?' && c != u'?';
    if (lost && usedDefault != nullptr) *usedDefault = 1;
    text[i] = lost ? fallback : byte;
  }
  return static_cast<int>(count);
}
