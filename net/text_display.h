// Received chat texts, shown in the chat window's text area. The radio rules
// of the chat routing (which texts a tuned frequency lets through) come on top
// of these later; until then every received text is printed as it came.
#pragma once

#include "net/text_records.h"
#include "win/types.h"

class CBaseThread;

// `way` prints the line on its own thread; texts are data, never a format.
void DisplayTextOnAir(CBaseThread& way, const TextOnAirRecord& record);
void DisplayTextPrivate(CBaseThread& way, const PrivateTextRecord& record);
// One piece of a pilot link's notice (a pilot in range, out of range, gone),
// in the given colour and effects, on a new line or after the last piece.
void DisplayPilotText(CBaseThread& way, COLORREF colour, DWORD effects, bool newLine, const char* text);
