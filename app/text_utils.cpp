#include "app/text_utils.h"

#include <cstring>
#include <string_view>

bool IsTextSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int IsAllOfClass(const char* text) {
  if (text == nullptr) return 1;
  for (const char* p = text; *p != '\0'; ++p) {
    if (!IsTextSpace(*p)) return 0;
  }
  return 1;
}

void TrimInPlace(char* text) {
  if (text == nullptr) return;
  std::string_view view(text);
  std::size_t first = 0;
  while (first < view.size() && IsTextSpace(view[first])) ++first;
  std::size_t last = view.size();
  while (last > first && IsTextSpace(view[last - 1])) --last;
  const std::size_t length = last - first;
  // The ranges overlap when both ends are trimmed.
  if (first != 0) std::memmove(text, text + first, length);
  text[length] = '\0';
}
