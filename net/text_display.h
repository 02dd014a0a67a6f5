// Received chat texts. The way threads hand them here; the chat routing above
// the network library (the radios decide what is shown, and how) registers
// the hooks that take them. Without hooks (tests of the network library
// alone) a received text is dropped.
#pragma once

#include "net/text_records.h"
#include "win/types.h"

class CBaseThread;

struct TextDisplayHooks {
  void (*onAir)(CBaseThread& way, const TextOnAirRecord& record) = nullptr;
  void (*privateText)(CBaseThread& way, const PrivateTextRecord& record) = nullptr;
};

// Any thread; the hooks must stay callable for as long as ways run.
void SetTextDisplayHooks(const TextDisplayHooks& hooks);

// Called on the way's own thread; texts are data, never a format.
void DisplayTextOnAir(CBaseThread& way, const TextOnAirRecord& record);
void DisplayTextPrivate(CBaseThread& way, const PrivateTextRecord& record);
// One piece of a pilot link's notice (a pilot in range, out of range, gone),
// in the given colour and effects, on a new line or after the last piece.
void DisplayPilotText(CBaseThread& way, COLORREF colour, DWORD effects, bool newLine, const char* text);
