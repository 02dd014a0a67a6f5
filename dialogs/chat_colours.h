// The chat window's colours: the trace colours its night switch sets and the
// colours its controls draw in by day and by night.
#pragma once

#include <atomic>

#include "win/types.h"

struct KlibSettings;

// 0 day, 1 night; the other dialogs' colour handlers read it too.
extern std::atomic<int> g_nightFlag;

inline constexpr COLORREF kChatOutputBackground = 0x3E2E21;
inline constexpr COLORREF kChatDayFieldBackground = 0xEBEEEF;
inline constexpr COLORREF kChatNightFieldBackground = 0x34261E;

// The seven trace colours the switch sets, the same whichever way it goes.
void SetChatTraceColours(KlibSettings& settings);

struct ChatControlColours {
  bool own = false;  // false: the program's shared dialog brushes
  COLORREF text = 0;
  COLORREF background = 0;
};
// For a control of the chat window; the text colour is trace colour field 17.
// No window handler asks for control colours yet.
ChatControlColours ChatColoursFor(int controlId, bool night, const KlibSettings& settings);
