// A way of the program's kind for tests that link it to scripted peers: set
// in the way table at its id, in an open session as pilot OWN001, without
// windows or sounds.
#pragma once

#include <cstdint>
#include <string>

#include "net/orv_sok.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"

// A way with the program's rings, started by the test and stopped with it.
class StartableWay : public COrvSok {
 public:
  // `name` is the way's trace name, e.g. "[LIST WAY]".
  StartableWay(std::int32_t wayId, const char* name) : COrvSok(nullptr, wayId, name, 1) {}
  // A subclass whose thread uses its own members calls StopThread in its own
  // destructor, before those members go.
  ~StartableWay() override { StopThread(); }
  void StopThread() {
    if (Started()) {
      RequestStop(ExitCode());
      WaitForEnd(10'000);
    }
  }
  bool Start() {
    return InitBuffers(nullptr, SOCK_MODE_TCP, kWayRxRingSize, kWayTxRingSize, kWaySoRcvBuf, kWaySoSndBuf) == 0 &&
           StartThread(1, 256 * 1024) == 1;
  }
};

class SessionWay : public StartableWay {
 public:
  SessionWay(std::int32_t wayId, const char* name) : StartableWay(wayId, name), wayId_(wayId) {
    WayTableGuard guard;
    WayTable()[static_cast<std::size_t>(wayId)].way = this;
  }
  // Its thread calls the overrides below: it ends before this object does, and
  // no other way finds this one in the table afterwards.
  ~SessionWay() override {
    StopThread();
    WayTableGuard guard;
    COrvSok*& listed = WayTable()[static_cast<std::size_t>(wayId_)].way;
    if (listed == this) listed = nullptr;
  }

 protected:
  void PilotText(int, unsigned, const char*) override {}
  std::string PilotCallsign() const override { return "OWN001"; }
  std::string OwnPublicAddress() const override { return "192.0.2.7"; }
  bool SessionOpen() const override { return true; }
  void PlayInRangeSound() override {}

 private:
  std::int32_t wayId_;
};
