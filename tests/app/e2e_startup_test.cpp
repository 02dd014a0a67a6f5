// The real program in a demo tree, driven through its automation socket.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "testbed/automation_client.h"
#include "support/child_process.h"
#include "support/free_port.h"

namespace {

// The fixed ports of the program, moved to free ones: tests run in parallel.
std::string PortMap() {
  return "TK_PORTMAP=55009=" + std::to_string(FreeLoopbackPort()) + ",55007=" + std::to_string(FreeLoopbackPort());
}

std::string DumpUntil(AutomationClient& client, const std::string& text, int timeoutMs) {
  std::vector<std::string> lines;
  for (int waited = 0; waited < timeoutMs; waited += 200) {
    lines = client.Request("dump");
    if (AnyLineContains(lines, text)) break;
    usleep(200'000);
  }
  std::string all;
  for (const auto& line : lines) all += line + "\n";
  return all;
}
}  // namespace

TEST(EndToEnd, DemoStartupShowsTheWindowsAndTracesIntoTheChat) {
  TempFolder tree;
  const std::string program = MakeXPlaneTreeWithData(tree.Path());
  const std::string socketPath = tree.Path() + "/automation.sock";
  ChildProcess client(TK_BINARY, program, {"TK_AUTOMATION=" + socketPath, PortMap()});
  AutomationClient automation;
  ASSERT_TRUE(automation.Connect(socketPath, 20'000)) << client.Stderr();

  // The staged start-up runs on the first one-second tick and then cleans its progress lines.
  const std::string dump = DumpUntil(automation, "No METAR available yet.", 20'000);
  EXPECT_NE(dump.find("window 7055 visible=1"), std::string::npos) << dump;
  EXPECT_NE(dump.find("window 7057 visible=1"), std::string::npos) << dump;
  EXPECT_NE(dump.find("control 7057 7005 kind=richedit"), std::string::npos) << dump;
  EXPECT_NE(dump.find("No METAR available yet.     Tavelkor v11.0.4.B"), std::string::npos) << dump;
  EXPECT_EQ(dump.find("Init Step 1 OK."), std::string::npos) << dump;

  const auto boxes = automation.Request("boxes");
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back(), "ok");
  EXPECT_EQ(boxes.size(), 1u);  // no box during a good start-up

  const auto quit = automation.Request("quit");
  ASSERT_FALSE(quit.empty());
  EXPECT_EQ(quit.back(), "ok");
  EXPECT_EQ(client.WaitForExit(20'000), 0) << client.Stderr();
}
