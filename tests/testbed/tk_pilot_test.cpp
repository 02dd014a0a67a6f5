// The tk_pilot program against a scripted pilot peer in the client's place: its
// exit status tells how his flight ended.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/frame_codes.h"
#include "support/child_process.h"
#include "testbed/pilot_peer.h"

namespace {

constexpr int kWaitMs = 20'000;

std::vector<std::string> PilotArguments(std::uint16_t port, const char* seconds, const char* end) {
  return {"--connect", std::to_string(port), "--callsign", "DEMO02", "--seconds", seconds, "--interval", "100",
          "--end", end};
}

TEST(TkPilot, AFlightFlownToItsEndLeavesAsAskedAndExitsZero) {
  const struct {
    const char* end;
    std::uint8_t leave;
  } cases[] = {{"logout", NCSUB_LOGOUT}, {"out-of-range", NCSUB_OUT_OF_RANGE}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.end);
    TempFolder folder;
    PilotPeer client;  // answers his login with the acknowledgement and the admission
    const std::uint16_t port = client.Listen();
    ASSERT_NE(port, 0);
    ChildProcess pilot(TK_PILOT_BINARY, folder.Path(), {}, PilotArguments(port, "1", c.end));
    ASSERT_TRUE(client.WaitForCall(kWaitMs));
    EXPECT_EQ(pilot.WaitForExit(kWaitMs), 0) << pilot.Stderr();
    EXPECT_TRUE(client.WaitForCountOf(c.leave, 1, kWaitMs));
    EXPECT_GT(client.CountOf(NCSUB_FSX_PACKET), 0u) << "positions once added";
  }
}

TEST(TkPilot, ALinkTheClientClosesFirstExitsThreeWithoutALeave) {
  TempFolder folder;
  PilotPeer client;
  const std::uint16_t port = client.Listen();
  ASSERT_NE(port, 0);
  ChildProcess pilot(TK_PILOT_BINARY, folder.Path(), {}, PilotArguments(port, "600", "logout"));
  ASSERT_TRUE(client.WaitForCall(kWaitMs));
  ASSERT_TRUE(client.WaitForCountOf(NCSUB_LOGIN, 1, kWaitMs));
  client.Drop();
  EXPECT_EQ(pilot.WaitForExit(kWaitMs), 3) << pilot.Stderr();
  EXPECT_EQ(client.CountOf(NCSUB_LOGOUT), 0u);
}

TEST(TkPilot, NoLinkOrABadCommandLine) {
  TempFolder folder;
  // A port that nobody listens on: the one a listener just gave up.
  std::uint16_t closed = 0;
  {
    PilotPeer gone;
    closed = gone.Listen();
  }
  ASSERT_NE(closed, 0);
  const struct {
    std::vector<std::string> args;
    int status;
  } cases[] = {
      {PilotArguments(closed, "1", "logout"), 1},
      {PilotArguments(closed, "1", "vanish"), 2},
      {{"--seconds", "1"}, 2},
  };
  for (const auto& c : cases) {
    ChildProcess pilot(TK_PILOT_BINARY, folder.Path(), {}, c.args);
    EXPECT_EQ(pilot.WaitForExit(kWaitMs), c.status) << c.args.back() << pilot.Stderr();
  }
}

}  // namespace
