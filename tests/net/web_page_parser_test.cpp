#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "net/web_page_parser.h"

namespace {

// Every call the parser makes, as one text each, in order.
class RecordingSink : public WebPageSink {
 public:
  void Trace(WebTraceStyle style, bool lineBreak, std::string_view text) override {
    if (throwOnTrace && style == WebTraceStyle::kNormal) throw std::runtime_error("sink failed");
    const char* styleName = style == WebTraceStyle::kNormal ? "normal" : style == WebTraceStyle::kError ? "error" : "high";
    events.push_back(std::string("trace ") + styleName + (lineBreak ? " line " : " text ") + std::string(text));
  }
  void SetTraceColour(WebTraceColour colour) override {
    static const char* const names[] = {"black", "red", "green", "blue"};
    events.push_back(std::string("colour ") + names[static_cast<int>(colour)]);
  }
  void ChangeTraceEffects(std::uint32_t bits, bool on) override {
    events.push_back("effects " + std::to_string(bits) + (on ? " on" : " off"));
  }
  void ShowBox(std::string_view title, std::string_view text) override {
    events.push_back("box " + std::string(title) + "|" + std::string(text));
  }
  void OwnAddressChanged(std::string_view address) override { events.push_back("address " + std::string(address)); }
  void HubTextChanged(std::string_view hub) override { events.push_back("hub " + std::string(hub)); }
  void BlockEnded(WebBlockEnd action) override {
    static const char* const names[] = {"connect", "offline", "nothing"};
    events.push_back(std::string("end ") + names[static_cast<int>(action)]);
  }

  std::vector<std::string> events;
  bool throwOnTrace = false;
};

WebWayContext Context(int wayId = kWebTaskWayId, std::uint32_t traceMask = 0) {
  WebWayContext context;
  context.wayId = wayId;
  context.sender = "192.0.2.7";
  context.traceMask = traceMask;
  context.host = "www.example.net";
  return context;
}

// Lines as the page sends them: CR LF after each.
std::string Page(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text.append(line).append("\r\n");
  return text;
}

using Events = std::vector<std::string>;

class WebPageParserTest : public testing::Test {
 protected:
  Events Run(std::initializer_list<const char*> lines) {
    parser_.Feed(Page(lines));
    return sink_.events;
  }
  RecordingSink sink_;
  WebPageParser parser_{Context(), sink_};
};

TEST_F(WebPageParserTest, KeywordsCountOnlyInsideTheBlock) {
  const Events events = Run({"HTTP/1.1 200 OK", "Content-Type: text/plain", "FROMWEBSITE_HUBS_LIST:early.example:1",
                             "FROMWEBSITE_PRINT:before the block", "FROMWEBSITE_START",
                             "FROMWEBSITE_YOUR_IP:203.0.113.9", "FROMWEBSITE_HUBS_LIST:hub.example.net:6809",
                             "FROMWEBSITE_PRINT:Welcome", "FROMWEBSITE_END", "FROMWEBSITE_PRINT:after the block"});
  EXPECT_EQ(events, (Events{"address 203.0.113.9", "hub hub.example.net:6809", "trace normal line Welcome",
                            "end connect"}));
  EXPECT_EQ(parser_.OwnAddress(), "203.0.113.9");
  EXPECT_EQ(parser_.HubText(), "hub.example.net:6809");
  EXPECT_FALSE(parser_.InBlock());
  EXPECT_FALSE(parser_.StopRunning());
}

TEST_F(WebPageParserTest, EveryKeywordInsideTheBlock) {
  const Events events =
      Run({"FROMWEBSITE_START", "FROMWEBSITE_COLOR:DARKRED", "FROMWEBSITE_COLOR:GREEN", "FROMWEBSITE_COLOR:BLUE",
           "FROMWEBSITE_COLOR:BLACK", "FROMWEBSITE_COLOR:PURPLE", "FROMWEBSITE_BOLD", "FROMWEBSITE_ITALIC",
           "FROMWEBSITE_NOBOLD", "FROMWEBSITE_NOITALIC", "FROMWEBSITE_BEEPBOX_MESSAGE:Server maintenance at 22z",
           "FROMWEBSITE_STOP_RUNNING:Closed tonight", "FROMWEBSITE_END"});
  EXPECT_EQ(events, (Events{"colour red", "colour green", "colour blue", "colour black", "effects 1 on",
                            "effects 2 on", "effects 1 off", "effects 2 off", "box Message|Server maintenance at 22z",
                            "box NCSS|Message from the website :\r\nClosed tonight", "end offline"}));
  EXPECT_TRUE(parser_.StopRunning());
}

TEST_F(WebPageParserTest, UnknownKeywordInsideTheBlockIsFlood) {
  parser_.Feed(Page({"FROMWEBSITE_START"}));
  EXPECT_EQ(parser_.ParseLine("FROMWEBSITE_UNHEARD_OF:1"), kWebLineFlood);
  EXPECT_EQ(sink_.events,
            (Events{"trace normal text Way -3 : FLOOD PACKET RECEIVED FROM 192.0.2.7 : FROMWEBSITE_UNHEARD_OF:1\r\n"}));
  // Outside the block the same line is only a header-like line.
  sink_.events.clear();
  EXPECT_EQ(parser_.ParseLine("FROMWEBSITE_END"), kWebLineOk);
  EXPECT_EQ(parser_.ParseLine("FROMWEBSITE_UNHEARD_OF:1"), kWebLineOk);
  EXPECT_EQ(sink_.events, (Events{"end connect"}));
}

TEST_F(WebPageParserTest, ArgumentStartsOneSeparatorAfterTheKeyword) {
  parser_.ParseLine("FROMWEBSITE_START");
  struct Case {
    const char* line;
    const char* event;
  };
  const Case cases[] = {
      {"FROMWEBSITE_PRINT:word", "trace normal line word"},
      {"FROMWEBSITE_PRINT word", "trace normal line word"},
      {"<p>FROMWEBSITE_PRINT=two words</p>", "trace normal line two words</p>"},
      {"FROMWEBSITE_PRINT", "trace normal line "},
      {"FROMWEBSITE_PRINT:", "trace normal line "},
      {"FROMWEBSITE_BEEPBOX_MESSAGE", "box Message|"},
      {"FROMWEBSITE_YOUR_IP", "address "},
  };
  for (const Case& c : cases) {
    sink_.events.clear();
    EXPECT_EQ(parser_.ParseLine(c.line), kWebLineOk) << c.line;
    EXPECT_EQ(sink_.events, Events{c.event}) << c.line;
  }
}

TEST_F(WebPageParserTest, PercentSignsInTextsArePrintedAsTheyCome) {
  const Events events = Run({"FROMWEBSITE_START", "FROMWEBSITE_PRINT:100%s %n %d%%", "FROMWEBSITE_BEEPBOX_MESSAGE:%s%s%s",
                             "FROMWEBSITE_STOP_RUNNING:%n", "FROMWEBSITE_BOGUS:%s%n"});
  EXPECT_EQ(events, (Events{"trace normal line 100%s %n %d%%", "box Message|%s%s%s",
                            "box NCSS|Message from the website :\r\n%n",
                            "trace normal text Way -3 : FLOOD PACKET RECEIVED FROM 192.0.2.7 : FROMWEBSITE_BOGUS:%s%n\r\n"}));
}

TEST_F(WebPageParserTest, NulByteEndsTheLineText) {
  parser_.Feed(Page({"FROMWEBSITE_START"}));
  parser_.Feed(std::string_view("FROMWEBSITE_PRINT:ab\0FROMWEBSITE_END\r\n", 38));
  EXPECT_EQ(sink_.events, (Events{"trace normal line ab"}));
  EXPECT_TRUE(parser_.InBlock());
}

TEST_F(WebPageParserTest, LinesShorterThanEightAreDropped) {
  parser_.Feed(Page({"FROMWEBSITE_START"}));
  // "ABCDEFG" (7) is dropped; "ABCDEFGH" (8) reaches the parser and is flood.
  parser_.Feed(std::string_view("ABCDEFG\rABCDEFGH\r"));
  EXPECT_EQ(sink_.events, (Events{"trace normal text Way -3 : FLOOD PACKET RECEIVED FROM 192.0.2.7 : ABCDEFGH\r\n"}));
}

TEST_F(WebPageParserTest, LinesJoinAcrossChunksAndLoneLineFeedsAreDropped) {
  const std::string page = Page({"FROMWEBSITE_START", "FROMWEBSITE_PRINT:split here", "FROMWEBSITE_END"});
  for (const char c : page) parser_.Feed(std::string_view(&c, 1));
  // A LF in the middle of a line is kept as text.
  parser_.ParseLine("FROMWEBSITE_START");
  parser_.Feed(std::string_view("\n\n\nFROMWEBSITE_PRINT:a\nb\r\n"));
  EXPECT_EQ(sink_.events, (Events{"trace normal line split here", "end connect", "trace normal line a\nb"}));
}

TEST_F(WebPageParserTest, OverlongLineRestartsAndIsCutSafely) {
  parser_.Feed(Page({"FROMWEBSITE_START"}));
  // 4,096 bytes fill the line; the next byte starts it again, so only the tail is parsed.
  std::string longLine(kWebLineChars, 'x');
  longLine += "FROMWEBSITE_PRINT:tail\r\n";
  parser_.Feed(longLine);
  EXPECT_EQ(sink_.events, (Events{"trace normal line tail"}));

  // 4,095 characters then CR: the longest line parsed whole (its one field is
  // over 1,023 characters, so it is abnormal). At 4,096 the CR meets a restarted line.
  sink_.events.clear();
  parser_.Feed(std::string(kWebLineChars - 1, 'y') + "\r");
  const std::string abnormal = "trace normal line Way -3 : ABNORMAL PACKET RECEIVED FROM 192.0.2.7 : ";
  EXPECT_EQ(sink_.events, Events{abnormal + std::string(kWebLineChars - 1, 'y')});
  sink_.events.clear();
  parser_.Feed(std::string(kWebLineChars, 'y') + "\r");
  EXPECT_TRUE(sink_.events.empty());
  EXPECT_EQ(parser_.PendingLineChars(), 0u);
}

TEST_F(WebPageParserTest, LongArgumentsAreBoundedToTheirFields) {
  parser_.ParseLine("FROMWEBSITE_START");
  const std::string address(500, '9');
  parser_.ParseLine("FROMWEBSITE_YOUR_IP:" + address);
  EXPECT_EQ(parser_.OwnAddress(), address.substr(0, kWebOwnAddressSize - 1));
  // Colons keep every field short while the whole argument is longer than the hub text.
  std::string hubs;
  while (hubs.size() < 3000) hubs += "hub.example.net:6809:";
  parser_.ParseLine("FROMWEBSITE_HUBS_LIST:" + hubs);
  EXPECT_EQ(parser_.HubText(), hubs.substr(0, kWebHubTextSize - 1));
}

TEST_F(WebPageParserTest, AbnormalAndEmptyLines) {
  EXPECT_EQ(parser_.ParseLine(""), kWebLineAbnormal);
  EXPECT_EQ(parser_.ParseLine(std::string(1024, 'z')), kWebLineAbnormal);
  EXPECT_EQ(parser_.ParseLine(std::string(1023, 'z')), kWebLineOk);
  EXPECT_EQ(sink_.events, (Events{"trace normal line Way -3 : ABNORMAL PACKET RECEIVED FROM 192.0.2.7 : ",
                                  "trace normal line Way -3 : ABNORMAL PACKET RECEIVED FROM 192.0.2.7 : " +
                                      std::string(1024, 'z')}));
  // Inside the block a line without letters or digits is not flood.
  sink_.events.clear();
  parser_.ParseLine("FROMWEBSITE_START");
  EXPECT_EQ(parser_.ParseLine("--------:::::"), kWebLineOk);
  EXPECT_TRUE(sink_.events.empty());
}

TEST_F(WebPageParserTest, CheckVersionAnnouncesOnlyANewerRelease) {
  parser_.ParseLine("FROMWEBSITE_START");
  struct Case {
    const char* argument;
    bool announced;
  };
  const Case cases[] = {
      {"11.0.4", false}, {"11.0.3", false}, {"10.9.9", false}, {"11.0.5", true},  {"11.1.0", true},
      {"12.0.0", true},  {"11.0.x", false}, {"11.0", false},   {"", false},       {"99999999999.0.0", false},
      {"-1.0.0", false},
  };
  for (const Case& c : cases) {
    sink_.events.clear();
    parser_.ParseLine(std::string("FROMWEBSITE_CHECK_VERSION:") + c.argument);
    if (!c.announced) {
      EXPECT_TRUE(sink_.events.empty()) << c.argument;
      continue;
    }
    EXPECT_EQ(sink_.events,
              (Events{std::string("trace high line A new release version ") + c.argument +
                          " of this software is available, feel free to update here",
                      "trace high line Download it from http://www.example.net/"}))
        << c.argument;
  }
}

TEST_F(WebPageParserTest, KeywordsAreTestedInTableOrder) {
  parser_.ParseLine("FROMWEBSITE_START");
  // The first keyword of the table that the line holds wins, wherever it stands.
  parser_.ParseLine("FROMWEBSITE_PRINT:FROMWEBSITE_HUBS_LIST:x.example:1");
  EXPECT_EQ(sink_.events, (Events{"hub x.example:1"}));
}

TEST(WebPageParserWays, OnlyTheWebTaskWayTakesAddressAndHubs) {
  struct Case {
    int wayId;
    int webTask;
    Events events;
  };
  const Case cases[] = {
      {kWebTaskWayId, kWebTaskHubList, {"address 198.51.100.1", "hub h.example:1", "trace normal line hi", "end connect"}},
      {-2, kWebTaskHubList, {"trace normal line hi", "end nothing"}},
      {-2, kWebTaskNone, {}},
      {0, kWebTaskHubList, {}},
  };
  for (const Case& c : cases) {
    RecordingSink sink;
    WebWayContext context = Context(c.wayId);
    context.webTask = c.webTask;
    WebPageParser parser(context, sink);
    parser.Feed(Page({"FROMWEBSITE_START", "FROMWEBSITE_YOUR_IP:198.51.100.1", "FROMWEBSITE_HUBS_LIST:h.example:1",
                      "FROMWEBSITE_PRINT:hi", "FROMWEBSITE_END"}));
    EXPECT_EQ(sink.events, c.events) << c.wayId << "/" << c.webTask;
  }
}

TEST(WebPageParserTraces, LineTraceAndOwnAddressForALocalSender) {
  RecordingSink sink;
  WebWayContext context = Context(kWebTaskWayId, 1u << kWebTraceBitLines);
  context.sender = "127.0.0.1";
  WebPageParser parser(context, sink);
  parser.Feed(Page({"FROMWEBSITE_START", "FROMWEBSITE_YOUR_IP:203.0.113.9", "FROMWEBSITE_BAD_KEY"}));
  EXPECT_EQ(sink.events,
            (Events{"trace normal line Way -3 received 17 bytes command line from 127.0.0.1\nFROMWEBSITE_START",
                    "trace normal line Way -3 received 31 bytes command line from 127.0.0.1\nFROMWEBSITE_YOUR_IP:203.0.113.9",
                    "address 203.0.113.9",
                    "trace normal line Way -3 received 19 bytes command line from 203.0.113.9\nFROMWEBSITE_BAD_KEY",
                    "trace normal text Way -3 : FLOOD PACKET RECEIVED FROM 203.0.113.9 : FROMWEBSITE_BAD_KEY\r\n"}));
}

TEST(WebPageParserTraces, ExceptionsBecomeATraceLineAndFeedingGoesOn) {
  for (const bool traced : {false, true}) {
    RecordingSink sink;
    WebPageParser parser(Context(kWebTaskWayId, traced ? 1u << kWebTraceBitExceptions : 0), sink);
    parser.Feed(Page({"FROMWEBSITE_START"}));
    sink.throwOnTrace = true;
    parser.Feed(Page({"FROMWEBSITE_PRINT:boom %s", "FROMWEBSITE_HUBS_LIST:h.example:2"}));
    Events expected;
    if (traced) expected.push_back("trace error line Exception ATBTTL way -3: Error -5151, TextLine was FROMWEBSITE_PRINT:boom %s");
    expected.push_back("hub h.example:2");
    EXPECT_EQ(sink.events, expected) << traced;
  }
}

TEST(WebPageParserTraces, StartRequestLeavesTheBlockAndDropsAPartialLine) {
  RecordingSink sink;
  WebPageParser parser(Context(), sink);
  parser.Feed(Page({"FROMWEBSITE_START"}));
  parser.Feed(std::string_view("FROMWEBSITE_PRI"));
  EXPECT_TRUE(parser.InBlock());
  parser.StartRequest();
  EXPECT_FALSE(parser.InBlock());
  EXPECT_EQ(parser.PendingLineChars(), 0u);
  parser.Feed(std::string_view("FROMWEBSITE_PRINT:x\r\n"));
  EXPECT_TRUE(sink.events.empty());
}

}  // namespace
