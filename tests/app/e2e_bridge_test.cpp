// The bridge module's stand-in against the real program: both see each other
// through the TK_WINDOWS folder, the module prints into the program's trace
// output (the chat window's text area) through the shared buffer 1, and the
// program tells it when it quits.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/free_port.h"
#include "support/wait_until.h"
#include "tests/app/e2e_client_fixture.h"
#include "testbed/loopback_peer.h"

namespace {

class BridgeEndToEnd : public ClientEndToEnd {
 protected:
  void SetUp() override {
    ClientEndToEnd::SetUp();
    ASSERT_FALSE(windows_.Path().empty());
    environment_.push_back("TK_WINDOWS=" + windows_.Path());
  }

  // The stand-in started once the program's start-up has allocated its tables.
  void StartModule() {
    ASSERT_NO_FATAL_FAILURE(StartClient());
    ASSERT_TRUE(Shows("No METAR available yet.")) << client_->Stderr();
    module_ = std::make_unique<ChildProcess>(TK_STANDINS_BINARY, tree_.Path(),
                                             std::vector<std::string>{"TK_WINDOWS=" + windows_.Path()},
                                             std::vector<std::string>{"--bridge-module"});
    ASSERT_TRUE(ModuleSays("script done")) << module_->Stdout() << module_->Stderr();
  }

  bool ModuleSays(const std::string& line, int timeoutMs = kWaitMs) {
    return WaitUntil(timeoutMs, [&] { return module_->Stdout().find("bridge: " + line + "\n") != std::string::npos; });
  }
  std::string ModuleLines() const { return module_->Stdout(); }
  // The main dialog's handle as the module found it.
  std::string MainDialogSeen() const {
    std::smatch found;
    const std::string lines = ModuleLines();
    return std::regex_search(lines, found, std::regex("bridge: found Tavelkor ([0-9A-F]+) pid")) ? found[1].str() : "";
  }

  // The "run <colour> <effects> <text>" line whose text holds `text`, or empty.
  std::string RunHolding(const std::string& text) {
    for (const std::string& line : Ask("runs 7057 7005")) {
      if (line.rfind("run ", 0) == 0 && line.find(text) != std::string::npos) return line;
    }
    return {};
  }

  TempFolder windows_;
  std::unique_ptr<ChildProcess> module_;
};

TEST_F(BridgeEndToEnd, TheModuleGetsBothBuffersPrintsInItsColoursAndHearsTheQuit) {
  ASSERT_NO_FATAL_FAILURE(StartModule());
  const std::string lines = ModuleLines();

  std::smatch found;
  ASSERT_TRUE(std::regex_search(lines, found, std::regex("bridge: found Tavelkor ([0-9A-F]+) pid (\\d+)\n"))) << lines;
  const std::string mainDialog = found[1];
  EXPECT_NE(lines.find("bridge: opened TavelkorBridge." + std::string(found[2]) + ".1\n"), std::string::npos) << lines;
  EXPECT_TRUE(std::regex_search(lines, std::regex("bridge: post 1000 [0-9A-F]+\n"))) << lines;
  EXPECT_TRUE(std::regex_search(lines, std::regex("bridge: post 1001 [0-9A-F]+\n"))) << lines;
  EXPECT_NE(lines.find("bridge: sent 1320 0 answered 1\n"), std::string::npos) << lines;
  EXPECT_NE(lines.find("bridge: sent 1319 0 answered 0\n"), std::string::npos) << lines;
  EXPECT_NE(lines.find("bridge: sent 0 "), std::string::npos) << lines;
  EXPECT_EQ(lines.find(" failed\n"), std::string::npos) << lines;

  const std::string hello = RunHolding("Bridge module says hello");
  const std::string green = RunHolding("printed in green");
  const std::string direct = RunHolding("in colour 123456");
  const std::string bold = RunHolding("shown in bold");
  ASSERT_NE(hello, "") << JoinedLines(Ask("runs 7057 7005"));
  ASSERT_NE(green, "");
  EXPECT_EQ(direct.rfind("run 123456 0 ", 0), 0u) << direct;
  // 0x20C040 names a trace colour of the program, not itself.
  EXPECT_EQ(green.rfind("run 20C040 ", 0), std::string::npos) << green;
  EXPECT_NE(green.substr(0, 11), hello.substr(0, 11)) << green << " / " << hello;
  // The effects go through the main thread, with its own colour.
  EXPECT_TRUE(std::regex_search(bold, std::regex("^run [0-9A-F]{6} 1 (\\\\r\\\\n)?shown in bold$"))) << bold;
  EXPECT_NE(RunHolding("TAIL!"), "");
  EXPECT_NE(RunHolding("Bridge : Error creating xchange buffer D2E."), "");
  EXPECT_NE(RunHolding("Bridge : Error on printing buffer."), "");

  Quit();
  EXPECT_TRUE(ModuleSays("post 1300 " + mainDialog)) << ModuleLines();
  EXPECT_TRUE(ModuleSays("client gone " + mainDialog)) << ModuleLines();
  EXPECT_EQ(module_->WaitForExit(kWaitMs), 0) << ModuleLines();
}

TEST_F(BridgeEndToEnd, MovingTheListeningPortDoesNotTellTheModuleTheProgramIsGone) {
  ASSERT_NO_FATAL_FAILURE(StartModule());
  const std::uint16_t newPort = FreeLoopbackPort();
  ASSERT_NE(newPort, 0);
  Ask("command 7055 32838");
  Ask("settext 134 1022 " + std::to_string(newPort));
  Ask("click 134 1");
  // The listening socket was closed and opened on the new port.
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] {
    LoopbackClient caller;
    return caller.Connect(newPort);
  })) << client_->Stderr();
  EXPECT_EQ(ModuleLines().find("post 1300"), std::string::npos) << ModuleLines();
  // The module is still known: the quit tells it, once.
  Quit();
  ASSERT_TRUE(ModuleSays("client gone " + MainDialogSeen())) << ModuleLines();
  const std::string lines = ModuleLines();
  EXPECT_EQ(lines.find("post 1300"), lines.rfind("post 1300")) << lines;
}

}  // namespace
