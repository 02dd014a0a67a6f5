// A way for tests: it records the frames its handlers get and the per-second
// passes, runs calls on its own thread, and never pauses for real.
#pragma once

#include "support/thread_calls.h"
#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/orv_sok.h"

class WayTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// The pauses the error paths asked for, in order.
std::vector<DWORD> RecordedPauses();

class TestWay : public COrvSok {
 public:
  static constexpr std::uint32_t kRunCall = 0xAEF0;
  static constexpr DWORD kQueueSize = 256 * 1024;

  struct Received {
    char handler = 0;  // 'N' node, 'P' pilot, 'A' controller
    std::uint8_t type = 0;
    std::uint8_t subCode = 0;
    std::string body;
  };

  explicit TestWay(std::int32_t wayId, const char* name = "[TEST WAY]");
  ~TestWay() override;

  // Buffers as the peer ways have them, and the thread.
  bool Start(DWORD queueSize = kQueueSize);
  void Stop();

  template <typename Call>
  auto RunOnThread(Call call) -> decltype(call()) {
    auto result = calls_.Add(std::move(call));
    Post(nullptr, this, kRunCall, 0, 0, "TESTCALL");
    return result.get();
  }

  // Set before the way is told to connect a neighbour.
  void SetNeighbourContext(const COrvSok* node, std::string publicAddress, std::string lanAddress);
  // Ids the pilot and controller message hooks took.
  std::vector<std::uint32_t> KindMessages();
  // Every id the pilot and controller message hooks were offered, taken or not.
  std::vector<std::uint32_t> SeenKindMessages();

  // The node frames go on to the program's own handler too (they are recorded
  // all the same), as on a peer way of the program.
  void ServeNodeFrames() { serveNodeFrames_ = true; }
  // The node's orders are taken, each served as the node way serves its own
  // (a login acknowledgement would log the way in): only the gates in front of
  // the order handler refuse them then. The types that reached it, in order.
  void TakeNodeOrders() { takeNodeOrders_ = true; }
  std::vector<std::uint8_t> TakenNodeOrders();
  // What the node frame handler printed, and its protocol errors ("line | tag").
  std::vector<std::string> NodeLines();
  bool NodeTraced(const std::string& part);
  std::vector<std::string> NodeErrors();
  // The reasons every ConnectionLost was given, in order.
  std::vector<std::string> LossReasons();

  // THRDMSG_SIMPILOT messages, taken with their payload instead of being
  // served (from the call on).
  struct SimPilotPost {
    std::uint32_t subCode = 0;
    std::string payload;
  };
  void RecordSimPilotPosts() { recordSimPilot_ = true; }
  std::vector<SimPilotPost> SimPilotPosts();
  // The peer has added us to his session (or not), as his NCSUB_PEER_ADDED says.
  void MarkPeerAdded(bool added) {
    RunOnThread([this, added] {
      SetPeerAdded(added);
      return 0;
    });
  }
  // Every message posted before the call has been served when it returns.
  void Drain() { RunOnThread([] { return 0; }); }
  // A post to the full queue waits for room however long it takes, for tests
  // of what a waiting sender holds (the way's own answer bounds the wait).
  void WaitWithoutBoundWhenFull() { unboundedWait_ = true; }
  // The posts that waited their bound for room and were not delivered.
  unsigned PostsGivenUp() const { return queueStayedFull_.load(); }

  std::vector<Received> Frames();
  bool WaitForFrames(std::size_t count, int timeoutMs);
  unsigned SecondTasks() const { return secondTasks_.load(); }
  // Waits until the predicate, read on the test's thread, holds.
  static bool WaitFor(int timeoutMs, const std::function<bool()>& predicate);

 protected:
  DWORD ProcessMessage(const DMessage& message) override;
  void ThreadTaskEachSecond() override;
  DWORD HandleNodeFrame(const Frame& frame) override;
  DWORD HandleNodeOrder(const Frame& frame) override;
  void NodeTrace(int colourField, unsigned flags, const char* text) override;
  void NodeProtocolError(const char* line, const FrameHeader& header, const char* tag) override;
 public:
  void ConnectionLost(const char* reason) override;

 protected:
  DWORD HandlePilotFrame(const Frame& frame) override { return Record('P', frame); }
  DWORD HandleControllerFrame(const Frame& frame) override { return Record('A', frame); }
  std::string PilotCallsign() const override { return "OWN001"; }
  const COrvSok* NodeWay() const override { return node_; }
  std::string OwnPublicAddress() const override { return publicAddress_; }
  std::string LanAddressSetting() const override { return lanAddress_; }
  DWORD HandlePilotMessage(const DMessage& message) override { return TakeKindMessage(message); }
  DWORD HandleControllerMessage(const DMessage& message) override { return TakeKindMessage(message); }
  DWORD HandleSimPilotMessage(const DMessage& message) override;
  FullQueueAnswer WhenQueueFull(std::uint32_t id, std::uint32_t param,
                                std::span<const std::uint8_t> payload) const override {
    return unboundedWait_ ? FullQueueAnswer::kWait : COrvSok::WhenQueueFull(id, param, payload);
  }
  void QueueStayedFull(std::uint32_t id, const char* callerTag) override {
    queueStayedFull_.fetch_add(1);
    COrvSok::QueueStayedFull(id, callerTag);
  }

 private:
  DWORD Record(char handler, const Frame& frame);
  DWORD TakeKindMessage(const DMessage& message);

  const COrvSok* node_ = nullptr;
  std::string publicAddress_;
  std::string lanAddress_;
  std::vector<std::uint32_t> kindMessages_;
  std::vector<std::uint32_t> seenKindMessages_;

  std::mutex mutex_;
  ThreadCalls calls_;
  std::vector<Received> frames_;
  std::atomic<unsigned> secondTasks_{0};
  std::atomic<bool> serveNodeFrames_{false};
  std::atomic<bool> takeNodeOrders_{false};
  std::vector<std::uint8_t> takenNodeOrders_;
  std::atomic<bool> recordSimPilot_{false};
  std::atomic<bool> unboundedWait_{false};
  std::atomic<unsigned> queueStayedFull_{0};
  std::vector<SimPilotPost> simPilotPosts_;
  std::vector<std::string> nodeLines_;
  std::vector<std::string> nodeErrors_;
  std::vector<std::string> lossReasons_;
};
