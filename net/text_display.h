// Received chat texts, shown in the chat window's text area. The radio rules
// of the chat routing (which texts a tuned frequency lets through) come on top
// of these later; until then every received text is printed as it came.
#pragma once

#include "net/text_records.h"

class CBaseThread;

// `way` prints the line on its own thread; texts are data, never a format.
void DisplayTextOnAir(CBaseThread& way, const TextOnAirRecord& record);
void DisplayTextPrivate(CBaseThread& way, const PrivateTextRecord& record);
