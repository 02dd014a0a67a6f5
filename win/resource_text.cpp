#include "win/resource_text.h"

#include <charconv>

#include "win/menu.h"
#include "win/styles.h"
#include "win/trackbar_layout.h"

namespace win::detail {
namespace {

struct NamedBits {
  std::string_view name;
  DWORD bits;
};

constexpr NamedBits kStyleNames[] = {
    {"WS_OVERLAPPED", WS_OVERLAPPED},
    {"WS_POPUP", WS_POPUP},
    {"WS_CHILD", WS_CHILD},
    {"WS_MINIMIZE", WS_MINIMIZE},
    {"WS_VISIBLE", WS_VISIBLE},
    {"WS_DISABLED", WS_DISABLED},
    {"WS_CLIPSIBLINGS", WS_CLIPSIBLINGS},
    {"WS_CLIPCHILDREN", WS_CLIPCHILDREN},
    {"WS_MAXIMIZE", WS_MAXIMIZE},
    {"WS_CAPTION", WS_CAPTION},
    {"WS_BORDER", WS_BORDER},
    {"WS_DLGFRAME", WS_DLGFRAME},
    {"WS_VSCROLL", WS_VSCROLL},
    {"WS_HSCROLL", WS_HSCROLL},
    {"WS_SYSMENU", WS_SYSMENU},
    {"WS_THICKFRAME", WS_THICKFRAME},
    {"WS_GROUP", WS_GROUP},
    {"WS_TABSTOP", WS_TABSTOP},
    {"WS_MINIMIZEBOX", WS_MINIMIZEBOX},
    {"WS_MAXIMIZEBOX", WS_MAXIMIZEBOX},
    {"DS_3DLOOK", DS_3DLOOK},
    {"DS_FIXEDSYS", DS_FIXEDSYS},
    {"DS_SETFONT", DS_SETFONT},
    {"DS_MODALFRAME", DS_MODALFRAME},
    {"DS_SETFOREGROUND", DS_SETFOREGROUND},
    {"DS_CONTROL", DS_CONTROL},
    {"DS_CENTER", DS_CENTER},
    {"SS_LEFT", SS_LEFT},
    {"SS_CENTER", SS_CENTER},
    {"SS_RIGHT", SS_RIGHT},
    {"SS_ICON", SS_ICON},
    {"SS_BLACKRECT", SS_BLACKRECT},
    {"SS_GRAYRECT", SS_GRAYRECT},
    {"SS_WHITERECT", SS_WHITERECT},
    {"SS_BLACKFRAME", SS_BLACKFRAME},
    {"SS_SIMPLE", SS_SIMPLE},
    {"SS_LEFTNOWORDWRAP", SS_LEFTNOWORDWRAP},
    {"SS_OWNERDRAW", SS_OWNERDRAW},
    {"SS_BITMAP", SS_BITMAP},
    {"SS_ETCHEDFRAME", SS_ETCHEDFRAME},
    {"SS_NOPREFIX", SS_NOPREFIX},
    {"SS_NOTIFY", SS_NOTIFY},
    {"SS_CENTERIMAGE", SS_CENTERIMAGE},
    {"SS_REALSIZEIMAGE", SS_REALSIZEIMAGE},
    {"SS_SUNKEN", SS_SUNKEN},
    {"ES_LEFT", ES_LEFT},
    {"ES_CENTER", ES_CENTER},
    {"ES_RIGHT", ES_RIGHT},
    {"ES_MULTILINE", ES_MULTILINE},
    {"ES_UPPERCASE", ES_UPPERCASE},
    {"ES_LOWERCASE", ES_LOWERCASE},
    {"ES_PASSWORD", ES_PASSWORD},
    {"ES_AUTOVSCROLL", ES_AUTOVSCROLL},
    {"ES_AUTOHSCROLL", ES_AUTOHSCROLL},
    {"ES_NOHIDESEL", ES_NOHIDESEL},
    {"ES_OEMCONVERT", ES_OEMCONVERT},
    {"ES_READONLY", ES_READONLY},
    {"ES_WANTRETURN", ES_WANTRETURN},
    {"ES_NUMBER", ES_NUMBER},
    {"BS_PUSHBUTTON", BS_PUSHBUTTON},
    {"BS_DEFPUSHBUTTON", BS_DEFPUSHBUTTON},
    {"BS_CHECKBOX", BS_CHECKBOX},
    {"BS_AUTOCHECKBOX", BS_AUTOCHECKBOX},
    {"BS_RADIOBUTTON", BS_RADIOBUTTON},
    {"BS_3STATE", BS_3STATE},
    {"BS_AUTO3STATE", BS_AUTO3STATE},
    {"BS_GROUPBOX", BS_GROUPBOX},
    {"BS_AUTORADIOBUTTON", BS_AUTORADIOBUTTON},
    {"BS_OWNERDRAW", BS_OWNERDRAW},
    {"BS_LEFTTEXT", BS_LEFTTEXT},
    {"BS_TEXT", BS_TEXT},
    {"BS_ICON", BS_ICON},
    {"BS_BITMAP", BS_BITMAP},
    {"BS_LEFT", BS_LEFT},
    {"BS_RIGHT", BS_RIGHT},
    {"BS_CENTER", BS_CENTER},
    {"BS_TOP", BS_TOP},
    {"BS_BOTTOM", BS_BOTTOM},
    {"BS_VCENTER", BS_VCENTER},
    {"BS_PUSHLIKE", BS_PUSHLIKE},
    {"BS_MULTILINE", BS_MULTILINE},
    {"BS_NOTIFY", BS_NOTIFY},
    {"BS_FLAT", BS_FLAT},
    {"CBS_SIMPLE", CBS_SIMPLE},
    {"CBS_DROPDOWN", CBS_DROPDOWN},
    {"CBS_DROPDOWNLIST", CBS_DROPDOWNLIST},
    {"CBS_AUTOHSCROLL", CBS_AUTOHSCROLL},
    {"CBS_OEMCONVERT", CBS_OEMCONVERT},
    {"CBS_SORT", CBS_SORT},
    {"CBS_HASSTRINGS", CBS_HASSTRINGS},
    {"CBS_NOINTEGRALHEIGHT", CBS_NOINTEGRALHEIGHT},
    {"CBS_DISABLENOSCROLL", CBS_DISABLENOSCROLL},
    {"CBS_UPPERCASE", CBS_UPPERCASE},
    {"CBS_LOWERCASE", CBS_LOWERCASE},
    {"LBS_NOTIFY", LBS_NOTIFY},
    {"LBS_SORT", LBS_SORT},
    {"LBS_NOREDRAW", LBS_NOREDRAW},
    {"LBS_MULTIPLESEL", LBS_MULTIPLESEL},
    {"LBS_HASSTRINGS", LBS_HASSTRINGS},
    {"LBS_USETABSTOPS", LBS_USETABSTOPS},
    {"LBS_NOINTEGRALHEIGHT", LBS_NOINTEGRALHEIGHT},
    {"LBS_DISABLENOSCROLL", LBS_DISABLENOSCROLL},
    {"LBS_STANDARD", LBS_STANDARD},
    {"LVS_ICON", LVS_ICON},
    {"LVS_REPORT", LVS_REPORT},
    {"LVS_SMALLICON", LVS_SMALLICON},
    {"LVS_LIST", LVS_LIST},
    {"LVS_SINGLESEL", LVS_SINGLESEL},
    {"LVS_SHOWSELALWAYS", LVS_SHOWSELALWAYS},
    {"LVS_NOCOLUMNHEADER", LVS_NOCOLUMNHEADER},
    {"LVS_NOSORTHEADER", LVS_NOSORTHEADER},
    {"TBS_HORZ", TBS_HORZ},
    {"TBS_AUTOTICKS", TBS_AUTOTICKS},
    {"TBS_VERT", TBS_VERT},
    {"TBS_TOP", TBS_TOP},
    {"TBS_LEFT", TBS_LEFT},
    {"TBS_BOTTOM", TBS_BOTTOM},
    {"TBS_RIGHT", TBS_RIGHT},
    {"TBS_BOTH", TBS_BOTH},
    {"TBS_NOTICKS", TBS_NOTICKS},
};

constexpr NamedBits kMenuFlagNames[] = {
    {"GRAYED", MF_GRAYED},
    {"DISABLED", MF_DISABLED},
    {"CHECKED", MF_CHECKED},
    {"MENUBREAK", MF_MENUBREAK},
    {"MENUBARBREAK", MF_MENUBARBREAK},
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted text starting at line[at] == '"'; `at` ends past the closing quote.
bool ReadQuoted(std::string_view line, std::size_t& at, std::string& out, std::string& error) {
  ++at;
  while (at < line.size()) {
    const char c = line[at++];
    if (c == '"') return true;
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (at >= line.size()) break;
    const char e = line[at++];
    switch (e) {
      case '\\': out.push_back('\\'); break;
      case '"': out.push_back('"'); break;
      case 't': out.push_back('\t'); break;
      case 'r': out.push_back('\r'); break;
      case 'n': out.push_back('\n'); break;
      case 'x': {
        const int high = at < line.size() ? HexDigit(line[at]) : -1;
        const int low = at + 1 < line.size() ? HexDigit(line[at + 1]) : -1;
        if (high < 0 || low < 0) {
          error = "\\x needs two hex digits";
          return false;
        }
        if (high == 0 && low == 0) {
          error = "\\x00 cannot be in a text";
          return false;
        }
        out.push_back(static_cast<char>(high * 16 + low));
        at += 2;
        break;
      }
      default:
        error = std::string("unknown escape \\") + e;
        return false;
    }
  }
  error = "text without its closing quote";
  return false;
}

bool SplitLine(std::string_view line, std::vector<ResourceField>& fields, std::string& error) {
  std::size_t at = 0;
  while (at < line.size()) {
    if (IsBlank(line[at])) {
      ++at;
      continue;
    }
    ResourceField field;
    if (line[at] == '"') {
      field.quoted = true;
      if (!ReadQuoted(line, at, field.text, error)) return false;
      if (at < line.size() && !IsBlank(line[at])) {
        error = "a blank must follow a quoted text";
        return false;
      }
    } else {
      const std::size_t start = at;
      while (at < line.size() && !IsBlank(line[at])) {
        if (line[at] == '"') {
          error = "a quote inside a word";
          return false;
        }
        ++at;
      }
      field.text = std::string(line.substr(start, at - start));
    }
    fields.push_back(std::move(field));
  }
  return true;
}

std::optional<DWORD> BitsOf(std::string_view part, std::string& error) {
  if (!part.empty() && part[0] >= '0' && part[0] <= '9') {
    if (std::optional<long long> n = ParseResourceNumber(part, 0, 0xFFFFFFFFLL)) return static_cast<DWORD>(*n);
    error = "bad style number \"" + std::string(part) + "\"";
    return std::nullopt;
  }
  for (const NamedBits& entry : kStyleNames) {
    if (entry.name == part) return entry.bits;
  }
  error = "unknown style \"" + std::string(part) + "\"";
  return std::nullopt;
}

}  // namespace

bool SplitResourceText(std::string_view text, std::vector<ResourceLine>& lines, std::string& error) {
  lines.clear();
  int number = 0;
  while (!text.empty()) {
    ++number;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > kResourceLineLimit) {
      error = "line " + std::to_string(number) + ": longer than " + std::to_string(kResourceLineLimit);
      return false;
    }
    if (line.find('\0') != std::string_view::npos || line.find('\r') != std::string_view::npos) {
      error = "line " + std::to_string(number) + ": a NUL or lone CR in the line";
      return false;
    }
    std::size_t first = 0;
    while (first < line.size() && IsBlank(line[first])) ++first;
    if (first == line.size() || line[first] == '#') continue;
    ResourceLine parsed;
    parsed.number = number;
    std::string reason;
    if (!SplitLine(line, parsed.fields, reason)) {
      error = "line " + std::to_string(number) + ": " + reason;
      return false;
    }
    lines.push_back(std::move(parsed));
  }
  return true;
}

std::optional<long long> ParseResourceNumber(std::string_view text, long long low, long long high) {
  bool negative = false;
  if (!text.empty() && text[0] == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (negative) value = -value;
  if (value < low || value > high) return std::nullopt;
  return value;
}

std::optional<StyleBits> ParseStyle(std::string_view text, std::string& error) {
  StyleBits bits;
  if (text.empty()) {
    error = "empty style";
    return std::nullopt;
  }
  while (true) {
    const std::size_t bar = text.find('|');
    std::string_view part = text.substr(0, bar);
    const bool clear = !part.empty() && part[0] == '~';
    if (clear) part.remove_prefix(1);
    if (part.empty()) {
      error = "empty part in a style";
      return std::nullopt;
    }
    std::optional<DWORD> value = BitsOf(part, error);
    if (!value) return std::nullopt;
    if (clear) {
      bits.clear |= *value;
      bits.set &= ~*value;
    } else {
      bits.set |= *value;
      bits.clear &= ~*value;
    }
    if (bar == std::string_view::npos) break;
    text.remove_prefix(bar + 1);
  }
  return bits;
}

std::optional<UINT> ParseMenuFlags(std::string_view text, std::string& error) {
  UINT flags = 0;
  while (true) {
    const std::size_t bar = text.find('|');
    const std::string_view part = text.substr(0, bar);
    bool found = false;
    for (const NamedBits& entry : kMenuFlagNames) {
      if (entry.name == part) {
        flags |= entry.bits;
        found = true;
      }
    }
    if (!found) {
      error = "unknown menu flag \"" + std::string(part) + "\"";
      return std::nullopt;
    }
    if (bar == std::string_view::npos) break;
    text.remove_prefix(bar + 1);
  }
  return flags;
}

}  // namespace win::detail
