#include "core/text_fields.h"

void CopyCut(char* dest, std::size_t width, std::string_view text) {
  if (dest == nullptr || width == 0) return;
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  const std::size_t n = text.size() < width - 1 ? text.size() : width - 1;
  if (n > 0) std::memcpy(dest, text.data(), n);
  dest[n] = '\0';
}

void TrimSpaces(char* dest, std::size_t destSize, const char* text) {
  if (dest == nullptr || text == nullptr || destSize == 0 || text[0] == '\0') return;
  std::string_view view(text);
  const std::size_t first = view.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    dest[0] = '\0';
    return;
  }
  const std::size_t last = view.find_last_not_of(' ');
  CopyCut(dest, destSize, view.substr(first, last - first + 1));
}

int SplitColonFields(std::string_view text, ColonFields& fields) {
  for (auto& field : fields) field[0] = '\0';
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  if (text.empty()) return 0;
  std::size_t count = 0;
  std::size_t position = 0;
  while (position < text.size() && count < kColonFieldCount) {
    std::size_t end = text.find(':', position);
    if (end == std::string_view::npos) end = text.size();
    const std::size_t length = end - position;
    if (length >= kColonFieldSize) {
      for (std::size_t i = 0; i < count; ++i) fields[i][0] = '\0';
      return 0;
    }
    if (length > 0) std::memcpy(fields[count].data(), text.data() + position, length);
    fields[count][length] = '\0';
    ++count;
    position = end + 1;  // past the ':' (or past the end: the text is consumed)
  }
  return static_cast<int>(count);
}

int SplitColonFields(const char* text, ColonFields& fields) {
  return SplitColonFields(text != nullptr ? std::string_view(text) : std::string_view(), fields);
}
