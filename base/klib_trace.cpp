#include "base/klib_trace.h"

#include <cstdarg>
#include <cstdio>

#include "base/klib_settings.h"
#include "base/main_thread.h"

void KlibMainTraceLine(COLORREF colour, const char* format, ...) {
  if (Klib().Exiting()) return;
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  CMainThread* main = Klib().mainThread;
  if (main == nullptr) {
    if (TraceConsole()) std::printf("\r\n%s", text);
    return;
  }
  main->SetTraceColour(colour);
  main->TraceLine("%s", text);
}
