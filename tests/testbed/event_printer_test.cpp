#include "testbed/event_printer.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>

namespace {

TEST(EventPrinter, MarksEachLineWithItsSource) {
  std::ostringstream out;
  EventPrinter printer(out, false);
  printer.Print("node", "heartbeat sent");
  printer.Print("", "listening");
  EXPECT_EQ(out.str(), "[stand-ins] node: heartbeat sent\n[stand-ins] listening\n");
}

TEST(EventPrinter, CountsRepeatsPerSource) {
  std::ostringstream out;
  EventPrinter printer(out, false);
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

TEST(EventPrinter, TimestampsTheLines) {
  std::ostringstream out;
  EventPrinter printer(out);
  printer.Print("web", "GET / HTTP/1.1 -> answered 404 Not Found");
  EXPECT_TRUE(std::regex_match(out.str(), std::regex(R"(\[stand-ins \d\d:\d\d:\d\d\] web: GET / HTTP/1\.1 -> answered 404 Not Found\n)")))
      << out.str();
}

}  // namespace
