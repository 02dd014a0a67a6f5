#include "dialogs/chat_command.h"

#include "win/ascii_case.h"

namespace {

constexpr bool IsDelimiter(char c) { return c == ' ' || c == ':' || c == '.'; }

bool StartsNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && AsciiEqualNoCase(text.substr(0, prefix.size()), prefix);
}

// The end of the word that starts at `from`: the index of its delimiter, or npos.
std::size_t WordEnd(std::string_view text, std::size_t from) {
  for (std::size_t i = from; i < text.size(); ++i) {
    if (IsDelimiter(text[i])) return i;
  }
  return std::string_view::npos;
}

ChatCommand Make(ChatCommandKind kind) {
  ChatCommand command;
  command.kind = kind;
  return command;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

ChatCommand Squawk(std::string_view digits) {
  if (digits.size() < 4) return {};
  for (std::size_t i = 0; i < 4; ++i) {
    if (!IsDigit(digits[i])) return {};
  }
  // Read up to the first non-digit; stop counting once past the bound so no
  // run of digits can overflow.
  std::uint32_t code = 0;
  for (const char c : digits) {
    if (!IsDigit(c)) break;
    code = code * 10 + static_cast<std::uint32_t>(c - '0');
    if (code > kHighestSquawk) return {};
  }
  ChatCommand command = Make(ChatCommandKind::kSquawk);
  command.code = code;
  return command;
}

ChatCommand DotCommand(std::string_view line) {
  if (line.size() == 1) return Make(ChatCommandKind::kRemoveSelected);
  std::size_t start = 1;
  std::size_t end = WordEnd(line, start);
  if (end == std::string_view::npos) {
    ChatCommand command = Make(ChatCommandKind::kRemoveRecipient);
    command.callsign = std::string(line.substr(start));
    return command;
  }
  if (StartsNoCase(line.substr(start, end - start), "msg")) {
    start = end + 1;
    end = WordEnd(line, start);
    if (end == std::string_view::npos) return {};
  }
  const std::string_view from = line.substr(start);
  const std::string_view rest = line.substr(end + 1);
  if (StartsNoCase(from, "X ")) return Squawk(rest);
  constexpr std::string_view kWeatherWords[] = {"WX ", "WW ", "WL "};
  for (int kind = 1; kind <= 3; ++kind) {
    if (StartsNoCase(from, kWeatherWords[kind - 1])) {
      ChatCommand command = Make(ChatCommandKind::kWeather);
      command.weatherKind = kind;
      command.text = AsciiUpper(rest.substr(0, kWeatherRequestSize - 1));
      return command;
    }
  }
  if (StartsNoCase(from, ",. ")) return Make(ChatCommandKind::kToggleDebug);
  ChatCommand command = Make(ChatCommandKind::kPrivate);
  command.callsign = std::string(line.substr(start, end - start));
  command.text = std::string(rest);
  return command;
}

}  // namespace

ChatCommand ParseChatLine(std::string_view line) {
  if (line.empty()) return {};
  switch (line.front()) {
    case '.':
      return DotCommand(line);
    case '%':
      return {};
    case '!': {
      for (std::size_t i = 1; i < line.size() && line[i] != ' '; ++i) {
        if (line[i] == '!') {
          ChatCommand command = Make(ChatCommandKind::kKickout);
          command.callsign = std::string(line.substr(1, i - 1));
          command.text = std::string(line.substr(i + 1));
          return command;
        }
      }
      break;
    }
    default:
      break;
  }
  ChatCommand command = Make(ChatCommandKind::kPlain);
  command.text = std::string(line);
  return command;
}
