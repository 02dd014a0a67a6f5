// What a line typed into the chat's input means: plain text, a private text,
// one of the dot commands, a kick-out request, or nothing. Reading the line
// decides only the shape; the chat window carries it out (it alone knows the
// recipient list, the radios and the links).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The input line takes at most this many characters.
inline constexpr std::size_t kChatLineMax = 511;
// A weather request's station text lies in a zeroed buffer of this size.
inline constexpr std::size_t kWeatherRequestSize = 1024;
inline constexpr std::uint32_t kHighestSquawk = 7777;

enum class ChatCommandKind {
  kNothing,          // dropped without a word
  kPlain,            // on air, or to the selected recipient: text
  kPrivate,          // callsign, text
  kRemoveSelected,   // a lone dot
  kRemoveRecipient,  // a dot and a callsign: callsign
  kSquawk,           // code
  kWeather,          // weatherKind 1 (WX), 2 (WW) or 3 (WL), text (upper-cased)
  kToggleDebug,
  kKickout,          // callsign, text (the reason)
};

struct ChatCommand {
  ChatCommandKind kind = ChatCommandKind::kNothing;
  std::string callsign;
  std::string text;
  std::uint32_t code = 0;
  int weatherKind = 0;
  bool operator==(const ChatCommand&) const = default;
};

// `line` is what the input line gave (already cut to kChatLineMax).
ChatCommand ParseChatLine(std::string_view line);
