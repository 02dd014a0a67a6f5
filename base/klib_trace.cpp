#include "base/klib_trace.h"

#include <cstdarg>
#include <cstdio>

void KlibMainTraceLine(COLORREF, const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  std::fprintf(stderr, "%s\n", text);
}
