#include "dialogs/chat_colours.h"

#include "base/klib_settings.h"
#include "dialogs/chat_dialog.h"

std::atomic<int> g_nightFlag{0};

void SetChatTraceColours(KlibSettings& settings) {
  struct Field {
    int field;
    COLORREF colour;
  };
  constexpr Field kFields[] = {{17, 0x8CA48C}, {19, 0x14A7F5}, {20, 0x3232FF}, {21, 0xC74BE0},
                               {24, 0xFA9D52}, {25, 0x04F05C}, {26, 0x04D9E3}};
  for (const Field& f : kFields) settings.SetColour(f.field, f.colour);
}

ChatControlColours ChatColoursFor(int controlId, bool night, const KlibSettings& settings) {
  const COLORREF text = settings.Colour(kColourNormal);
  switch (controlId) {
    case kChatInputId:
    case kChatRecipientsId:
      return {true, text, night ? kChatNightFieldBackground : kChatDayFieldBackground};
    case kChatAutoCloseId:
    case kChatSiteId:
    case kChatNearestAirportId:
      return {true, text, kChatNightFieldBackground};
    default:
      return {};
  }
}
