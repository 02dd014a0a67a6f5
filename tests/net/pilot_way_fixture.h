// Pilot ways of the program's own kind over real loopback sockets, against
// scripted pilot peers: the ways' lines and sounds are recorded, the session
// flag and the hooks to the simulator side are the test's, and nothing
// pauses for real.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/listener.h"
#include "net/orv_sok.h"
#include "net/peer_traffic_hooks.h"
#include "support/thread_calls.h"
#include "test_way.h"
#include "testbed/pilot_peer.h"

class PilotTestWay : public COrvSok {
 public:
  static constexpr std::uint32_t kRunCall = 0xAEF1;

  explicit PilotTestWay(std::int32_t wayId);
  ~PilotTestWay() override;
  bool Start();

  template <typename Call>
  auto RunOnThread(Call call) -> decltype(call()) {
    auto result = calls_.Add(std::move(call));
    Post(nullptr, this, kRunCall, 0, 0, "TESTCALL");
    return result.get();
  }
  void Drain() { RunOnThread([] { return 0; }); }

  // Every piece printed, in order, and the pieces joined per line.
  std::vector<std::string> Pieces();
  std::vector<std::string> Lines();
  bool Printed(const std::string& line);
  int InRangeSounds() const { return sounds_.load(); }
  // The per-second task, driven by the test (call it on the way's thread).
  void PilotTaskEachSecondForTest() { PilotTaskEachSecond(); }
  std::atomic<bool> sessionOpen{true};

 protected:
  DWORD ProcessMessage(const DMessage& message) override;
  void PilotText(int colourField, unsigned flags, const char* text) override;
  std::string PilotCallsign() const override { return "OWN001"; }
  std::string OwnPublicAddress() const override { return "192.0.2.7"; }
  bool SessionOpen() const override { return sessionOpen.load(); }
  void PlayInRangeSound() override { sounds_.fetch_add(1); }

 private:
  ThreadCalls calls_;
  std::mutex mutex_;
  std::vector<std::string> pieces_;
  std::vector<std::string> lines_;
  std::atomic<int> sounds_{0};
};

// What the simulator side was asked.
struct HookRecord {
  std::mutex mutex;
  std::vector<std::string> calls;  // "add 0", "remove 0 HASLFT", "identity 0 NCSPA", ...
  std::vector<std::size_t> packetSizes;
  std::atomic<std::int32_t> addResult{0};  // 0: the way id
  void Note(std::string call) {
    std::lock_guard lock(mutex);
    calls.push_back(std::move(call));
  }
  int Count(const std::string& call) {
    std::lock_guard lock(mutex);
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
  }
};

class PilotWayTest : public WayTest {
 protected:
  static constexpr int kWaitMs = 5'000;

  void SetUp() override;
  void TearDown() override;

  // Ways 0 .. count-1, and the listening port the peers call.
  void StartWays(int count);
  PilotTestWay& Way(int id) { return *ways_[static_cast<std::size_t>(id)]; }
  // A peer calls the listening port and logs in; the way admits him.
  std::unique_ptr<PilotPeer> CallAndLogIn(PilotPeerScript script, int wayId);
  // The simulator reports the peer's AI aircraft created (as its link does).
  void AiCreated(int wayId);
  // A peer logged in and admitted both ways, his AI aircraft created.
  std::unique_ptr<PilotPeer> Admitted(PilotPeerScript script, int wayId);
  // The way's record is free for the next caller.
  bool WaitFree(int wayId);
  DWORD Bits(int wayId) { return Way(wayId).LoggedInBits(); }
  WayRecord RecordOf(int wayId);

  std::vector<std::unique_ptr<PilotTestWay>> ways_;
  std::unique_ptr<Listener> listener_;
  std::shared_ptr<HookRecord> hooks_ = std::make_shared<HookRecord>();
};

PilotPeerScript PeerNamed(const std::string& callsign);
