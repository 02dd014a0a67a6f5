// The soak's own tools: the hostile frames it writes are ones the client's
// frame hunter never takes whole, a hostile call tells whether the far end
// ended it, and the client process starts in its folder with the environment
// given and reports its exit status. Over real loopback sockets and processes.
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "net/frame_hunter.h"
#include "support/child_process.h"
#include "testbed/aircraft_ledger.h"
#include "testbed/client_process.h"
#include "testbed/hostile_caller.h"
#include "testbed/tcp_listener.h"

namespace {

constexpr int kWaitMs = 20'000;

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(SoakTools, NoOversizeFrameIsTakenWholeByTheClientsHunter) {
  const auto frames = OversizeFrames();
  ASSERT_FALSE(frames.empty());
  for (const HostileInput& input : frames) {
    FrameHunter hunter;
    hunter.Feed(input.bytes);
    Frame frame;
    HuntResult result = hunter.NextFrame(frame);
    while (result == HuntResult::Error) result = hunter.NextFrame(frame);
    EXPECT_NE(result, HuntResult::Frame) << input.name;
  }
}

TEST(SoakTools, FilesUnderTheFoldersAreEachOneInputNamedByTheirFolder) {
  TempFolder root;
  std::filesystem::create_directories(root.Path() + "/a");
  std::ofstream(root.Path() + "/a/one", std::ios::binary) << "xyz";
  std::ofstream(root.Path() + "/a/empty", std::ios::binary);
  const auto inputs = HostileInputsFromFolders({root.Path(), root.Path() + "/missing"});
  ASSERT_EQ(inputs.size(), 1u);
  EXPECT_EQ(inputs[0].name, "a/one");
  EXPECT_EQ(std::string(inputs[0].bytes.begin(), inputs[0].bytes.end()), "xyz");
}

TEST(SoakTools, TheLedgerCountsEachAircraftsEventsPerStandIn) {
  AircraftLedger ledger;
  for (const char* line : {"add SK0001 model Laminar Research\\Cessna 172SP\\Cessna_172SP.acf at 49.0 2.5 3000",
                           "add SK0002 model A at 1 2 3", "move SK0001 to 49.1 2.5 3000", "remove SK0001",
                           "refuse SK0003", "received XTK_CMD_REMOVE_PEER (4 bytes)", "remove "}) {
    ledger.Take(line);
  }
  ledger.NextInstance();
  ledger.Take("remove SK0002 (link ended)");
  ledger.Take("add SK0002 model A at 1 2 3");

  struct Case {
    int instance;
    const char* callsign;
    int adds, removes, linkEnds, refusals;
  };
  const Case cases[] = {
      {0, "SK0001", 1, 1, 0, 0}, {0, "SK0002", 1, 0, 0, 0}, {0, "SK0003", 0, 0, 0, 1},
      {1, "SK0002", 1, 0, 1, 0}, {1, "SK0001", 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const AircraftEvents events = ledger.Of(c.instance, c.callsign);
    EXPECT_EQ(events.adds, c.adds) << c.instance << " " << c.callsign;
    EXPECT_EQ(events.removes, c.removes) << c.instance << " " << c.callsign;
    EXPECT_EQ(events.linkEndRemoves, c.linkEnds) << c.instance << " " << c.callsign;
    EXPECT_EQ(events.refusals, c.refusals) << c.instance << " " << c.callsign;
  }
  EXPECT_EQ(ledger.Instances(), 2);
  EXPECT_EQ(ledger.All(0).size(), 3u) << "only lines naming a callsign count";
}

// The far end takes the call, reads `readBytes` and then ends it, or keeps it open.
void Serve(TcpListener& listener, std::size_t readBytes, bool end, SOCKET& kept) {
  bool stopped = false;
  SOCKET s = INVALID_SOCKET;
  for (int tries = 0; s == INVALID_SOCKET && tries < 100; ++tries) s = listener.Accept(-1, 200, &stopped);
  if (s == INVALID_SOCKET) return;
  std::array<char, 256> buffer{};
  std::size_t got = 0;
  while (got < readBytes) {
    const auto n = recv(s, buffer.data(), buffer.size(), 0);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (end) {
    closesocket(s);
  } else {
    kept = s;
  }
}

TEST(SoakTools, AHostileCallTellsWhetherTheFarEndEndedIt) {
  const std::vector<std::uint8_t> bytes(100, 0x55);
  for (const bool end : {true, false}) {
    TcpListener listener;
    ASSERT_TRUE(listener.Ok());
    SOCKET kept = INVALID_SOCKET;
    std::thread server([&] { Serve(listener, bytes.size(), end, kept); });
    const HostileOutcome outcome = CallAndWrite(listener.Port(), bytes, end ? kWaitMs : 300);
    server.join();
    EXPECT_TRUE(outcome.called);
    EXPECT_TRUE(outcome.sentAll);
    EXPECT_EQ(outcome.closedByClient, end);
    if (kept != INVALID_SOCKET) closesocket(kept);
  }
  std::uint16_t unused = 0;
  {
    TcpListener gone;
    unused = gone.Port();
  }
  EXPECT_FALSE(CallAndWrite(unused, bytes, 300).called);
}

TEST(SoakTools, TheClientProcessStartsInItsFolderWithTheEnvironmentGiven) {
  TempFolder work;
  struct Case {
    const char* program;
    std::vector<std::string> environment;
    std::string expected;
    int status;
  };
  const std::vector<Case> cases = {
      {"/bin/pwd", {}, work.Path() + "\n", 0},
      {"/usr/bin/env", {"TK_SOAK_PROBE=laid over", "HOME=/nowhere"}, "TK_SOAK_PROBE=laid over\n", 0},
      {"/usr/bin/env", {"HOME=/nowhere"}, "HOME=/nowhere\n", 0},
      {"/bin/false", {}, "", 1},
      {"/nonexistent/program", {}, "", 127},
  };
  for (const Case& c : cases) {
    ClientProcess process;
    const std::string out = work.Path() + "/out.txt";
    ASSERT_TRUE(process.Start(c.program, work.Path(), c.environment, out, work.Path() + "/err.txt")) << c.program;
    EXPECT_EQ(process.WaitForExit(kWaitMs), c.status) << c.program;
    EXPECT_FALSE(process.Running());
    EXPECT_FALSE(process.Figures().has_value()) << "a process that ended has no figures";
    const std::string text = FileText(out);
    if (!c.expected.empty()) {
      EXPECT_NE(text.find(c.expected), std::string::npos) << c.program << ":\n" << text;
    }
  }
}

}  // namespace
