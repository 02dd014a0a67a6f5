#include "net/text_display.h"

#include "base/base_thread.h"
#include "base/klib_settings.h"

void DisplayTextOnAir(CBaseThread& way, const TextOnAirRecord& record) {
  way.SetTraceColour(Klib().Colour(kColourEmphasis));
  way.TraceLine("%s", record.sender.c_str());
  way.SetTraceColour(Klib().Colour(kColourNormal));
  way.Trace(" (%.3f) : %s", record.frequencyMhz, record.text.c_str());
}

void DisplayTextPrivate(CBaseThread& way, const PrivateTextRecord& record) {
  way.SetTraceColour(Klib().Colour(kColour25));
  way.TraceLine("%s", record.sender.c_str());
  way.SetTraceColour(Klib().Colour(kColourNormal));
  way.Trace(" -> %s : %s", record.recipient.c_str(), record.text.c_str());
}

void DisplayPilotText(CBaseThread& way, COLORREF colour, DWORD effects, bool newLine, const char* text) {
  way.SetTraceFormat(effects, colour);
  if (newLine) {
    way.TraceLine("%s", text != nullptr ? text : "");
  } else {
    way.Trace("%s", text != nullptr ? text : "");
  }
  way.SetTraceFormat(0, Klib().Colour(kColourNormal));
}
