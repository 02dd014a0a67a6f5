// How the lines of the node protocol are printed: their colours, flags and
// pauses, shared by the node way and by every way whose peer kind is not yet
// known (a caller on the listening port is served by the same frame handler).
#pragma once

#include "win/types.h"

inline constexpr char kNodeLogTag[] = "app_TK";
inline constexpr DWORD kNodeShortPauseMs = 100;
inline constexpr DWORD kOpenPortTestPauseMs = 300;

// A node text's colour: a trace colour field 17..29, or one of these.
inline constexpr int kNodeHiddenColour = 0;  // the text window's background: removable progress text
inline constexpr int kNodeKeepFormat = -1;   // the format the node set last (its own texts)
// Flags of a node text.
inline constexpr unsigned kNodeNewLine = 0x1;
inline constexpr unsigned kNodeBold = 0x2;

// A type the node frame handler does not know.
inline constexpr int kSyserrUnknownNodeType = 4900;
