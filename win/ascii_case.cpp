#include "win/ascii_case.h"

void AsciiUpperInPlace(char* text) {
  if (text == nullptr) return;
  for (; *text != '\0'; ++text) *text = AsciiToUpper(*text);
}

void AsciiUpperInPlace(char* text, std::size_t width) {
  if (text == nullptr) return;
  for (std::size_t i = 0; i < width && text[i] != '\0'; ++i) text[i] = AsciiToUpper(text[i]);
}

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiToUpper(c);
  return out;
}

bool AsciiEqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiToUpper(a[i]) != AsciiToUpper(b[i])) return false;
  }
  return true;
}

int AsciiCompareNoCaseN(const char* a, const char* b, std::size_t n) {
  if (a == nullptr || b == nullptr) return (a == nullptr ? 0 : 1) - (b == nullptr ? 0 : 1);
  for (std::size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(AsciiToUpper(a[i]));
    const auto cb = static_cast<unsigned char>(AsciiToUpper(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == '\0') return 0;
  }
  return 0;
}
