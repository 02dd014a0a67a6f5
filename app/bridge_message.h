// The bridge channel: a module inside the simulator sends "TAVELKOR_MSG" to
// the main dialog with a code in wParam and a value in lParam; the client
// answers with posts of the same message to the module's window. The module
// prints into the trace output through buffer 1, which it opens by name
// (BridgeBufferName with the main dialog's process id). UI thread only.
#pragma once

#include <cstdint>

#include "win/types.h"

enum BridgeCode : std::uint32_t {
  kBridgeHello = 0,
  kBridgeLost = 1,
  kBridgeBufferOne = 1000,  // posted: lParam is buffer 1's address
  kBridgeBufferTwo = 1001,  // posted: lParam is buffer 2's address
  kBridgeBeginBlock = 100,
  kBridgeEndBlock = 101,
  kBridgeEffects = 102,
  kBridgePrint = 103,
  kBridgePrintLine = 104,
  kBridgeColour = 105,
  kBridgeExchangeBufferError = 106,
  kBridgePrintBufferError = 107,
  kBridgeGone = 1300,  // from the module, and posted to it when the client quits
  kBridgeLiveness = 1320,
};

// The main dialog's handler of the message; 1 for the liveness query, else 0.
LRESULT OnTavelkorMsg(HWND mainDialog, WPARAM code, LPARAM value);
// At quit: tells the known module the client is gone (1300 with the main
// dialog's handle) and forgets it.
void TellBridgeClientGone(HWND mainDialog);
// The module's window, 0 when none is known.
HWND BridgeWindow();
