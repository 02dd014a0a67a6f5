#include "testbed/event_printer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <sstream>
#include <string>

namespace {

using namespace std::chrono_literals;

// A clock that moves only when the test moves it.
struct TestClock {
  std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
  EventPrinter::Clock Function() {
    return [this] { return now; };
  }
};

TEST(EventPrinter, MarksEachLineWithItsSource) {
  std::ostringstream out;
  EventPrinter printer(out, false);
  printer.Print("node", "heartbeat sent");
  printer.Print("", "listening");
  EXPECT_EQ(out.str(), "[stand-ins] node: heartbeat sent\n[stand-ins] listening\n");
}

TEST(EventPrinter, CountsRepeatsPerSource) {
  std::ostringstream out;
  TestClock clock;  // all within the same second
  EventPrinter printer(out, false, clock.Function());
  printer.Print("plug-in", "received XTK_CMD_TICK (2 bytes)");
  printer.Print("plug-in", "received XTK_CMD_TICK (2 bytes)");
  // Another source in between does not end the run.
  printer.Print("node", "heartbeat sent");
  printer.Print("plug-in", "received XTK_CMD_TICK (2 bytes)");
  printer.Print("plug-in", "link ended: dropped");
  printer.Print("node", "heartbeat sent");
  printer.Flush();
  printer.Flush();  // nothing left to say
  EXPECT_EQ(out.str(),
            "[stand-ins] plug-in: received XTK_CMD_TICK (2 bytes)\n"
            "[stand-ins] node: heartbeat sent\n"
            "[stand-ins] plug-in: 2 more times: received XTK_CMD_TICK (2 bytes)\n"
            "[stand-ins] plug-in: link ended: dropped\n"
            "[stand-ins] node: 1 more time: heartbeat sent\n");
}

TEST(EventPrinter, PrintsEachEventWhenItHappensAndFoldsOnlyWithinASecond) {
  const std::string fetch = "GET /h.php HTTP/1.1 -> answered 200 OK";
  const std::string line = "[stand-ins] web: " + fetch + "\n";
  const std::string twoMore = "[stand-ins] web: 2 more times: " + fetch + "\n";
  enum Action { kFetch, kFlushDue };
  const struct {
    std::chrono::milliseconds after;  // since the step before
    Action action;
    std::string printed;  // by this step
    const char* what;
  } steps[] = {
      {0ms, kFetch, line, "the first is printed at once"},
      {400ms, kFetch, "", "a repeat within the second is folded"},
      {599ms, kFetch, "", "still within the second"},
      {0ms, kFlushDue, "", "the second has not passed"},
      {1ms, kFlushDue, twoMore, "once it has, the count comes out by itself"},
      {0ms, kFlushDue, "", "and only once"},
      {60s, kFetch, line, "a fetch a minute later is printed when it happens"},
      {500ms, kFetch, "", "folded again"},
      {400ms, kFetch, "", "folded again"},
      {100ms, kFetch, "[stand-ins] web: 3 more times: " + fetch + "\n",
       "a repeat after the second tells the folded ones with itself"},
      {5s, kFlushDue, "", "nothing is left to tell"},
  };
  std::ostringstream out;
  TestClock clock;
  EventPrinter printer(out, false, clock.Function());
  std::string expected;
  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    clock.now += step.after;
    if (step.action == kFetch) {
      printer.Print("web", fetch);
    } else {
      printer.FlushDue();
    }
    expected += step.printed;
    EXPECT_EQ(out.str(), expected);
  }
  printer.Flush();
  EXPECT_EQ(out.str(), expected);
}

TEST(EventPrinter, TimestampsTheLines) {
  std::ostringstream out;
  EventPrinter printer(out);
  printer.Print("web", "GET / HTTP/1.1 -> answered 404 Not Found");
  EXPECT_TRUE(std::regex_match(out.str(), std::regex(R"(\[stand-ins \d\d:\d\d:\d\d\] web: GET / HTTP/1\.1 -> answered 404 Not Found\n)")))
      << out.str();
}

}  // namespace
