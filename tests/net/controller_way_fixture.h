// Controller ways of the program's own kind over real loopback sockets,
// against scripted controllers: the own plan is set, the controller hooks
// are the test's and count what they were asked.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "base/klib_settings.h"
#include "core/flight_plan.h"
#include "net/controller_hooks.h"
#include "net/controller_state.h"
#include "net/frame_codes.h"
#include "pilot_way_fixture.h"
#include "testbed/controller_peer.h"

struct ControllerHookCalls {
  std::atomic<int> rebuilds{0};
  std::mutex mutex;
  std::string weather;
};

class ControllerWayTest : public PilotWayTest {
 protected:
  void SetUp() override {
    PilotWayTest::SetUp();
    ResetControllerState();
    ResetCurrentFlightPlan();
    FlightPlanRecord plan = ClearedFlightPlan();
    SetPlanText(plan.flightType, "I");
    SetPlanText(plan.departure, "LFPG");
    SetPlanText(plan.destination, "EGLL");
    SetPlanText(plan.route, "DCT");
    SetCurrentFlightPlan(plan);
    std::weak_ptr<ControllerHookCalls> weak = calls_;
    ControllerHooks hooks;
    hooks.rebuildControllerList = [weak] {
      if (auto calls = weak.lock()) ++calls->rebuilds;
    };
    hooks.controllerWeather = [weak](const std::string& icao, const std::string& metar) {
      if (auto calls = weak.lock()) {
        std::lock_guard lock(calls->mutex);
        calls->weather = icao + " " + metar;
      }
    };
    SetControllerHooks(std::move(hooks));
  }
  void TearDown() override {
    Klib().traceMask.store(0);
    SetControllerHooks({});
    ResetControllerState();
    ResetCurrentFlightPlan();
    PilotWayTest::TearDown();
  }

  // He calls the listening port and logs in; the way answers.
  std::unique_ptr<ControllerPeer> CallAndLogIn(ControllerPeerScript script, int wayId) {
    script.answerLogin = false;
    auto peer = std::make_unique<ControllerPeer>(std::move(script));
    EXPECT_TRUE(peer->Connect(ListeningPort()));
    EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return Way(wayId).IsConnected(); }));
    EXPECT_TRUE(peer->SendLogin());
    EXPECT_TRUE(peer->WaitForCountOf(NCSUB_LOGIN_ACK, 1, kWaitMs));
    EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return (Bits(wayId) & kWayLoggedIn) != 0; }));
    return peer;
  }

  bool WaitForLine(int wayId, const std::string& line) {
    return TestWay::WaitFor(kWaitMs, [&] { return Way(wayId).Printed(line); });
  }

  std::shared_ptr<ControllerHookCalls> calls_ = std::make_shared<ControllerHookCalls>();
};

inline ControllerPeerScript Tower(const std::string& callsign = "LFPG_TWR") {
  ControllerPeerScript script;
  script.callsign = callsign;
  return script;
}

