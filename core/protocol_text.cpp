#include "core/protocol_text.h"

namespace {

void EscapeChar(char& c) {
  if (c == ':') {
    c = ';';
  } else if (c == '\r') {
    c = '%';
  } else if (c == '\n') {
    c = '&';
  }
}

void UnescapeChar(char& c) {
  if (c == ':') {
    c = ';';
  } else if (c == '%') {
    c = '\r';
  } else if (c == '&') {
    c = '\n';
  }
}

}  // namespace

void EscapeProtocolText(char* text) {
  if (text == nullptr) return;
  for (char* p = text; *p != '\0'; ++p) EscapeChar(*p);
}

void EscapeProtocolText(std::string& text) {
  for (char& c : text) EscapeChar(c);
}

void EscapeProtocolText(std::span<char> field) {
  for (char& c : field) {
    if (c == '\0') break;
    EscapeChar(c);
  }
}

void UnescapeLineBreaks(std::span<char> field) {
  for (char& c : field) {
    if (c == '\0') break;
    UnescapeChar(c);
  }
}
