// The end of a peer link frees its record in two steps with pauses between
// them; a caller who is given the freed record in the meantime keeps it.
// The way is held in its pause until the new call has its record, so the
// order is the same on every run.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "controller_way_fixture.h"
#include "net/frame_codes.h"
#include "net/way_record.h"
#include "testbed/controller_peer.h"
#include "testbed/pilot_peer.h"

namespace {

using namespace std::chrono_literals;

constexpr int kLongWaitMs = 20'000;

// Once armed, the first pause taken while record 0 is free holds its thread
// until the test lets it go (never longer than the bound).
struct PauseGate {
  std::mutex mutex;
  std::condition_variable changed;
  bool armed = false;
  bool held = false;
  bool released = false;
};

PauseGate& Gate() {
  static PauseGate gate;
  return gate;
}

void HoldingPause(DWORD) {
  bool recordFree = false;
  {
    WayTableGuard guard;
    recordFree = (PeerWayRecord(0)->stateFlags & kWayAllocated) == 0;
  }
  std::unique_lock lock(Gate().mutex);
  if (!Gate().armed || !recordFree) return;
  Gate().armed = false;
  Gate().held = true;
  Gate().changed.notify_all();
  Gate().changed.wait_for(lock, 20s, [] { return Gate().released; });
}

class LinkEndTest : public ControllerWayTest {
 protected:
  void SetUp() override {
    ControllerWayTest::SetUp();
    {
      std::lock_guard lock(Gate().mutex);
      Gate().armed = false;
      Gate().held = false;
      Gate().released = false;
    }
    COrvSok::SetPauseFunction(&HoldingPause);
  }
  void TearDown() override {
    Release();  // a failed test must not leave a way held
    ControllerWayTest::TearDown();
  }

  static void Arm() {
    std::lock_guard lock(Gate().mutex);
    Gate().armed = true;
  }
  static bool WaitHeld() {
    std::unique_lock lock(Gate().mutex);
    return Gate().changed.wait_for(lock, std::chrono::milliseconds(kLongWaitMs), [] { return Gate().held; });
  }
  static void Release() {
    std::lock_guard lock(Gate().mutex);
    Gate().released = true;
    Gate().changed.notify_all();
  }
  bool WaitAllocated(int wayId) {
    return TestWay::WaitFor(kLongWaitMs, [&] { return (RecordOf(wayId).stateFlags & kWayAllocated) != 0; });
  }

  // The record holds the new caller, as every scan of the table sees him,
  // and the way stays awake for his link.
  void ExpectRecordHolds(int wayId, const std::string& callsign, const std::string& gone) {
    const WayRecord record = RecordOf(wayId);
    EXPECT_NE(record.stateFlags & kWayAllocated, 0u) << callsign;
    EXPECT_EQ(FieldText(record.callsign), callsign);
    EXPECT_EQ(LookupWayByCallsign(callsign), wayId);
    EXPECT_EQ(LookupWayByCallsign(gone), -1) << "the link that ended keeps no record";
    EXPECT_EQ(Way(wayId).RunOnThread([&] { return Way(wayId).SleepCountdown(); }), 0);
  }
};

TEST_F(LinkEndTest, AControllerGivenTheRecordOfOneWhoDroppedIsListed) {
  StartWays(1);
  auto first = CallAndLogIn(Tower("LFPG_TWR"), 0);
  Arm();
  first->Drop();
  ASSERT_TRUE(WaitHeld());

  ControllerPeerScript script = Tower("LFPG_APP");
  script.answerLogin = false;
  ControllerPeer second(script);
  ASSERT_TRUE(second.Connect(ListeningPort()));
  ASSERT_TRUE(WaitAllocated(0));
  Release();
  // His login waits in the socket until the way has taken the call.
  ASSERT_TRUE(second.SendLogin());
  ASSERT_TRUE(second.WaitForCountOf(NCSUB_LOGIN_ACK, 1, kLongWaitMs));
  ASSERT_TRUE(TestWay::WaitFor(kLongWaitMs, [&] { return Way(0).Printed("Controller LFPG_APP is in range."); }));
  EXPECT_TRUE(Way(0).Printed("Controller LFPG_TWR has dropped."));
  ExpectRecordHolds(0, "LFPG_APP", "LFPG_TWR");
}

TEST_F(LinkEndTest, APilotGivenTheRecordOfOneWhoLeftIsListed) {
  StartWays(1);
  // Never admitted in the simulator: his end clears the record before the last step.
  auto first = PilotWayTest::CallAndLogIn(PeerNamed("DEMO01"), 0);
  Arm();
  first->Drop();
  ASSERT_TRUE(WaitHeld());

  PilotPeer second(PeerNamed("DEMO02"));
  ASSERT_TRUE(second.Connect(ListeningPort()));
  ASSERT_TRUE(WaitAllocated(0));
  Release();
  ASSERT_TRUE(second.SendLogin());
  ASSERT_TRUE(TestWay::WaitFor(kLongWaitMs, [&] { return (Bits(0) & kWayLoggedInPeer) != 0; }));
  AiCreated(0);
  ASSERT_TRUE(second.WaitForCountOf(NCSUB_LOGIN_ACK, 1, kLongWaitMs));
  ASSERT_TRUE(TestWay::WaitFor(kLongWaitMs, [&] { return Way(0).Printed("Pilot DEMO02 is in range."); }));
  EXPECT_TRUE(Way(0).Printed("Pilot DEMO01 has left."));
  ExpectRecordHolds(0, "DEMO02", "DEMO01");
}

}  // namespace
