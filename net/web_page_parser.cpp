#include "base/format_text.h"
#include "net/web_page_parser.h"

#include <algorithm>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

namespace {

constexpr std::string_view kStart = "FROMWEBSITE_START";
constexpr std::string_view kEnd = "FROMWEBSITE_END";
constexpr std::string_view kYourIp = "FROMWEBSITE_YOUR_IP";
constexpr std::string_view kStopRunning = "FROMWEBSITE_STOP_RUNNING";
constexpr std::string_view kHubsList = "FROMWEBSITE_HUBS_LIST";
constexpr std::string_view kPrint = "FROMWEBSITE_PRINT";
constexpr std::string_view kColor = "FROMWEBSITE_COLOR";
constexpr std::string_view kBold = "FROMWEBSITE_BOLD";
constexpr std::string_view kNoBold = "FROMWEBSITE_NOBOLD";
constexpr std::string_view kItalic = "FROMWEBSITE_ITALIC";
constexpr std::string_view kNoItalic = "FROMWEBSITE_NOITALIC";
constexpr std::string_view kCheckVersion = "FROMWEBSITE_CHECK_VERSION";
constexpr std::string_view kBeepBox = "FROMWEBSITE_BEEPBOX_MESSAGE";

// The text after the keyword and one separator; empty when the keyword ends the line.
std::optional<std::string_view> Argument(std::string_view line, std::string_view keyword) {
  const auto at = line.find(keyword);
  if (at == std::string_view::npos) return std::nullopt;
  const std::size_t from = at + keyword.size() + 1;
  return line.substr(std::min(from, line.size()));
}

bool Contains(std::string_view line, std::string_view keyword) { return line.find(keyword) != std::string_view::npos; }

bool HasLetterOrDigit(std::string_view line) {
  return std::any_of(line.begin(), line.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  });
}

// "a.b.c", each 1 to 9 digits (so no product overflows); what follows c is ignored.
std::optional<std::array<std::int64_t, 3>> ParseVersion(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  std::array<std::int64_t, 3> parts{};
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) {
      if (text.empty() || text.front() != '.') return std::nullopt;
      text.remove_prefix(1);
    }
    const std::size_t digits = std::min<std::size_t>(
        std::find_if(text.begin(), text.end(), [](char c) { return c < '0' || c > '9'; }) - text.begin(), 10);
    if (digits == 0 || digits > 9) return std::nullopt;
    std::from_chars(text.data(), text.data() + digits, parts[i]);
    text.remove_prefix(digits);
  }
  return parts;
}

std::int64_t VersionValue(std::int64_t a, std::int64_t b, std::int64_t c) {
  return a * 65'536 + (b * 256) % 65'536 + c % 256;
}

}  // namespace

WebPageParser::WebPageParser(WebWayContext context, WebPageSink& sink)
    : context_(std::move(context)), sink_(sink), fields_(std::make_unique<ColonFields>()) {}

void WebPageParser::StartRequest() {
  inBlock_ = false;
  lineLength_ = 0;
}

void WebPageParser::Feed(std::string_view bytes) {
  for (const char c : bytes) {
    if (lineLength_ >= kWebLineChars) lineLength_ = 0;
    if (c == '\r') {
      EndLine();
    } else if (c == '\n' && lineLength_ == 0) {
      continue;
    } else {
      line_[lineLength_++] = c;
    }
  }
}

void WebPageParser::EndLine() {
  const std::size_t length = lineLength_;
  lineLength_ = 0;
  if (length < kWebMinLineChars) return;
  line_[length] = '\0';
  // A NUL from the page ends the line's text, as it would for every reader of it.
  const std::string_view line(line_.data(), ::strnlen(line_.data(), length));
  try {
    ParseLine(line);
  } catch (...) {
    if (!TraceBit(kWebTraceBitExceptions)) return;
    try {
      sink_.Trace(WebTraceStyle::kError, true,
                  FormatText("Exception ATBTTL way %d: Error %d, TextLine was %.*s", context_.wayId,
                         kWebParseExceptionError, static_cast<int>(line.size()), line.data()));
    } catch (...) {
      // A sink that fails on its own trace line too loses that line, nothing more.
    }
  }
}

std::string_view WebPageParser::SenderForTrace() const {
  if (context_.sender == "127.0.0.1" && ownAddress_[0] != '\0') return OwnAddress();
  return context_.sender;
}

int WebPageParser::ParseLine(std::string_view line) {
  if (context_.wayId >= 0) return kWebLineOk;
  const std::string sender(SenderForTrace());
  const int lineChars = static_cast<int>(std::min<std::size_t>(line.size(), 1u << 30));
  if (SplitColonFields(line, *fields_) == 0) {
    sink_.Trace(WebTraceStyle::kNormal, true,
                FormatText("Way %d : ABNORMAL PACKET RECEIVED FROM %s : %.*s", context_.wayId, sender.c_str(), lineChars,
                       line.data()));
    return kWebLineAbnormal;
  }
  if (TraceBit(kWebTraceBitLines)) {
    sink_.Trace(WebTraceStyle::kNormal, true,
                FormatText("Way %d received %d bytes command line from %s\n%.*s", context_.wayId, lineChars,
                       sender.c_str(), lineChars, line.data()));
  }
  if (!HasLetterOrDigit(line) || context_.webTask == kWebTaskNone) return kWebLineOk;

  if (Contains(line, kStart)) {
    inBlock_ = true;
    return kWebLineOk;
  }
  if (Contains(line, kEnd)) {
    inBlock_ = false;
    WebBlockEnd action = WebBlockEnd::kNothing;
    if (context_.wayId == kWebTaskWayId) action = stopRunning_ ? WebBlockEnd::kShowOffline : WebBlockEnd::kConnectToNode;
    sink_.BlockEnded(action);
    return kWebLineOk;
  }
  // Outside the block: the HTTP status and header lines, and anything else the page prints.
  if (!inBlock_) return kWebLineOk;
  return ParseInBlock(line, sender);
}

int WebPageParser::ParseInBlock(std::string_view line, std::string_view sender) {
  const bool webTaskWay = context_.wayId == kWebTaskWayId;
  if (const auto argument = Argument(line, kYourIp)) {
    if (webTaskWay) {
      CopyCut(ownAddress_.data(), ownAddress_.size(), *argument);
      sink_.OwnAddressChanged(OwnAddress());
    }
  } else if (const auto stopText = Argument(line, kStopRunning)) {
    sink_.ShowBox("NCSS", "Message from the website :\r\n" + std::string(*stopText));
    stopRunning_ = true;
  } else if (const auto hub = Argument(line, kHubsList)) {
    if (webTaskWay) {
      CopyCut(hubText_.data(), hubText_.size(), *hub);
      sink_.HubTextChanged(HubText());
    }
  } else if (const auto text = Argument(line, kPrint)) {
    sink_.Trace(WebTraceStyle::kNormal, true, *text);
  } else if (const auto colour = Argument(line, kColor)) {
    if (Contains(*colour, "BLACK")) {
      sink_.SetTraceColour(WebTraceColour::kBlack);
    } else if (Contains(*colour, "RED")) {
      sink_.SetTraceColour(WebTraceColour::kRed);
    } else if (Contains(*colour, "GREEN")) {
      sink_.SetTraceColour(WebTraceColour::kGreen);
    } else if (Contains(*colour, "BLUE")) {
      sink_.SetTraceColour(WebTraceColour::kBlue);
    }
  } else if (Contains(line, kBold)) {
    sink_.ChangeTraceEffects(kWebEffectBold, true);
  } else if (Contains(line, kNoBold)) {
    sink_.ChangeTraceEffects(kWebEffectBold, false);
  } else if (Contains(line, kItalic)) {
    sink_.ChangeTraceEffects(kWebEffectItalic, true);
  } else if (Contains(line, kNoItalic)) {
    sink_.ChangeTraceEffects(kWebEffectItalic, false);
  } else if (const auto version = Argument(line, kCheckVersion)) {
    CheckVersion(*version);
  } else if (const auto message = Argument(line, kBeepBox)) {
    sink_.ShowBox("Message", *message);
  } else {
    const std::string who(sender);
    sink_.Trace(WebTraceStyle::kNormal, false,
                FormatText("Way %d : FLOOD PACKET RECEIVED FROM %s : %.*s\r\n", context_.wayId, who.c_str(),
                       static_cast<int>(line.size()), line.data()));
    return kWebLineFlood;
  }
  return kWebLineOk;
}

void WebPageParser::CheckVersion(std::string_view argument) {
  const auto offered = ParseVersion(argument);
  if (!offered) return;
  const auto [a, b, c] = *offered;
  const WebClientVersion& own = context_.version;
  if (VersionValue(a, b, c) <= VersionValue(own.major, own.minor, own.build)) return;
  sink_.Trace(WebTraceStyle::kHighlighted, true,
              FormatText("A new release version %d.%d.%d of this software is available, feel free to update here",
                     static_cast<int>(a), static_cast<int>(b), static_cast<int>(c)));
  const std::string where = context_.host.empty() ? std::string("the network's web site") : "http://" + context_.host + "/";
  sink_.Trace(WebTraceStyle::kHighlighted, true, "Download it from " + where);
}
