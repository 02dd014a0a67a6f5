// How typed lines are read: the shapes of the dot commands, the kick-out and
// plain text, as a table.
#include "dialogs/chat_command.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using K = ChatCommandKind;

ChatCommand Command(K kind, std::string callsign = {}, std::string text = {}, std::uint32_t code = 0,
                    int weather = 0) {
  ChatCommand c;
  c.kind = kind;
  c.callsign = std::move(callsign);
  c.text = std::move(text);
  c.code = code;
  c.weatherKind = weather;
  return c;
}

struct Case {
  const char* line;
  ChatCommand expected;
};

TEST(ChatCommand, LinesReadAsTheirCommands) {
  const Case cases[] = {
      // Private text, three ways of writing it.
      {".msg KLM123 hello", Command(K::kPrivate, "KLM123", "hello")},
      {".KLM123 hello", Command(K::kPrivate, "KLM123", "hello")},
      {".KLM123:hello", Command(K::kPrivate, "KLM123", "hello")},
      {".MSG klm123 two words", Command(K::kPrivate, "klm123", "two words")},
      {".msg KLM123", Command(K::kNothing)},  // the second word has no delimiter
      // Transponder: four digits, at most 7777; 8 and 9 pass.
      {".X 7000", Command(K::kSquawk, {}, {}, 7000)},
      {".x 1289", Command(K::kSquawk, {}, {}, 1289)},
      {".X 7777", Command(K::kSquawk, {}, {}, 7777)},
      {".X 0000", Command(K::kSquawk, {}, {}, 0)},
      {".X 7778", Command(K::kNothing)},
      {".X 123", Command(K::kNothing)},
      {".X 12a4", Command(K::kNothing)},
      {".X 70001", Command(K::kNothing)},
      {".X 99999999999999999999", Command(K::kNothing)},
      {".X 1200 extra", Command(K::kSquawk, {}, {}, 1200)},
      {".msg X 7000", Command(K::kSquawk, {}, {}, 7000)},
      // Weather requests, the station upper-cased.
      {".wx lfpg", Command(K::kWeather, {}, "LFPG", 0, 1)},
      {".WW egll", Command(K::kWeather, {}, "EGLL", 0, 2)},
      {".wl kjfk", Command(K::kWeather, {}, "KJFK", 0, 3)},
      {".,. ", Command(K::kToggleDebug)},
      // Recipient list upkeep.
      {".", Command(K::kRemoveSelected)},
      {".KLM123", Command(K::kRemoveRecipient, "KLM123")},
      // Percent: dropped.
      {"%anything at all", Command(K::kNothing)},
      {"%", Command(K::kNothing)},
      // Kick-out: a second '!' before any blank.
      {"!ABC!spamming", Command(K::kKickout, "ABC", "spamming")},
      {"!ABC!spamming a lot", Command(K::kKickout, "ABC", "spamming a lot")},
      {"!ABC spamming", Command(K::kPlain, {}, "!ABC spamming")},
      {"!ABC", Command(K::kPlain, {}, "!ABC")},
      // Plain text, '%' and all.
      {"hello %s %n", Command(K::kPlain, {}, "hello %s %n")},
      {"go around !", Command(K::kPlain, {}, "go around !")},
      {"", Command(K::kNothing)},
  };
  for (const Case& c : cases) {
    const ChatCommand got = ParseChatLine(c.line);
    EXPECT_EQ(got.kind, c.expected.kind) << c.line;
    EXPECT_EQ(got, c.expected) << c.line << " callsign=" << got.callsign << " text=" << got.text
                               << " code=" << got.code;
  }
}

}  // namespace
