// Peer ways of the program's own kind over real loopback sockets, with an
// add-on stand-in calling their listening port: the ways' lines are
// recorded and nothing pauses for real.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/listener.h"
#include "net/orv_sok.h"
#include "support/thread_calls.h"
#include "test_way.h"
#include "testbed/addon_standin.h"

class AddonTestWay : public COrvSok {
 public:
  static constexpr std::uint32_t kRunCall = 0xAEF2;

  explicit AddonTestWay(std::int32_t wayId);
  ~AddonTestWay() override;
  bool Start();

  template <typename Call>
  auto RunOnThread(Call call) -> decltype(call()) {
    auto result = calls_.Add(std::move(call));
    Post(nullptr, this, kRunCall, 0, 0, "TESTCALL");
    return result.get();
  }

  std::vector<std::string> Lines();
  bool Printed(const std::string& line);
  // The sizes of the pieces handed to the send ring, in order.
  std::vector<std::uint32_t> SendSizes();
  std::int32_t Send(const void* data, std::uint32_t length, bool buffered, const char* callerTag) override;

 protected:
  DWORD ProcessMessage(const DMessage& message) override;
  void AddonText(const char* text) override;
  std::string PilotCallsign() const override { return "OWN001"; }
  bool SessionOpen() const override { return true; }

 private:
  ThreadCalls calls_;
  std::mutex mutex_;
  std::vector<std::string> lines_;
  std::vector<std::uint32_t> sendSizes_;
};

class AddonWayTest : public WayTest {
 protected:
  static constexpr int kWaitMs = 5'000;
  static constexpr std::size_t kLead = kFrameSyncSize + kFrameHeaderSize;

  void SetUp() override;
  void TearDown() override;

  AddonTestWay& Way(int id) { return *ways_[static_cast<std::size_t>(id)]; }
  // The stand-in calls the listening port; way 0 takes the call.
  void Call(AddonStandin& addon);
  // ... and logs in.
  void CallAndLogIn(AddonStandin& addon);
  // The way's record is free for the next caller.
  bool WaitFree(int wayId);
  WayRecord RecordOf(int wayId);
  // A logged-in pilot on that way, as his login and positions leave the record.
  void PutPilot(int wayId, const std::string& callsign, std::uint32_t stateFlags = 0);

  std::vector<std::unique_ptr<AddonTestWay>> ways_;
  std::unique_ptr<Listener> listener_;
};
