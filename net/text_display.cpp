#include "net/text_display.h"

#include <atomic>

#include "base/base_thread.h"
#include "base/klib_settings.h"

namespace {
std::atomic<void (*)(CBaseThread&, const TextOnAirRecord&)> g_onAir{nullptr};
std::atomic<void (*)(CBaseThread&, const PrivateTextRecord&)> g_private{nullptr};
}  // namespace

void SetTextDisplayHooks(const TextDisplayHooks& hooks) {
  g_onAir.store(hooks.onAir);
  g_private.store(hooks.privateText);
}

void DisplayTextOnAir(CBaseThread& way, const TextOnAirRecord& record) {
  if (auto* hook = g_onAir.load()) hook(way, record);
}

void DisplayTextPrivate(CBaseThread& way, const PrivateTextRecord& record) {
  if (auto* hook = g_private.load()) hook(way, record);
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
