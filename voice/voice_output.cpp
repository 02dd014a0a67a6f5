#include "voice/voice_output.h"

#include <string>

#include "base/klib_settings.h"
#include "base/main_thread.h"
#include "base/message_box.h"

namespace {
void Print(int colour, std::string_view text, bool newLine) {
  if (Klib().Exiting()) return;
  CMainThread* main = Klib().mainThread;
  const std::string copy(text);
  if (main == nullptr) return;
  main->SetTraceColour(Klib().Colour(colour));
  if (newLine) {
    main->TraceLine("%s", copy.c_str());
  } else {
    main->Trace("%s", copy.c_str());
  }
}
}  // namespace

void TraceVoiceOutput::Line(int colour, std::string_view text) { Print(colour, text, true); }

void TraceVoiceOutput::Text(int colour, std::string_view text) { Print(colour, text, false); }

void TraceVoiceOutput::Box(const char* title, const char* text) { ShowMessage(title, "%s", text); }
