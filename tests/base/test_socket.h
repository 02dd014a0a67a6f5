// A socket thread for tests: its loop serves every message, pumps the receive
// side, hands received bytes to the test and flushes the send ring, and it
// records what the owner of a real way would see.
#pragma once

#include "support/thread_calls.h"
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "base/base_socket.h"

// Library state for socket tests: no main thread, so traces are written at once
// (to the standard output when the console is on) and can be captured.
class TestSocket;
class LoopbackServer;

class SocketTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Starts the socket thread and connects it to the server; fails the test when either side does not see it.
  void Connect(TestSocket& sock, LoopbackServer& server);
};

// Base-from-member: the chunk buffer must exist before CBaseSoc is given it.
struct TestChunkStorage {
  explicit TestChunkStorage(std::size_t size) : chunk(size) {}
  std::vector<std::uint8_t> chunk;
};

class TestSocket : private TestChunkStorage, public CBaseSoc {
 public:
  // What a failing direct send answers while FailDirectSends is on.
  static constexpr std::int32_t kFailedSend = -77;
  static constexpr std::uint32_t kRunCall = THRDMSG_BASE + 0x7F01;
  static constexpr DWORD kDefaultRxSize = 16 * 1024;
  static constexpr DWORD kDefaultTxSize = 102'400;

  struct Notice {
    std::uint32_t param = 0;
    std::string text;
    bool operator==(const Notice&) const = default;
    friend void PrintTo(const Notice& notice, std::ostream* out) {
      *out << "{" << notice.param << ", \"" << notice.text.substr(0, 80) << "\" (" << notice.text.size() << ")}";
    }
  };
  struct SendCall {
    std::uint32_t length = 0;
    std::string tag;
    bool operator==(const SendCall&) const = default;
    friend void PrintTo(const SendCall& call, std::ostream* out) { *out << "{" << call.length << ", " << call.tag << "}"; }
  };

  explicit TestSocket(DWORD sleepMs = 10, std::size_t chunkSize = 8192, const char* name = "[TEST SOCK]");
  ~TestSocket() override;

  // InitBuffers (mode 1 unless told) and the thread start.
  bool Start(DWORD rxSize = kDefaultRxSize, DWORD txSize = kDefaultTxSize, DWORD mode = SOCK_MODE_TCP);
  // Stops the thread and waits for its end.
  void Stop();

  // Runs `call` on the socket's own thread and gives its result.
  template <typename Call>
  auto RunOnThread(Call call) -> decltype(call()) {
    auto result = calls_.Add(std::move(call));
    Post(nullptr, this, kRunCall, 0, 0, "TESTCALL");
    return result.get();
  }
  // Connect to 127.0.0.1 on the socket's thread.
  std::int32_t ConnectTo(std::uint16_t port);

  std::vector<Notice> Notices();
  bool WaitForNotices(std::size_t count, int timeoutMs);
  std::vector<SendCall> Sends();
  std::vector<SendCall> DirectSends();
  void ClearRecords();

  // Bytes the loop took from the receive ring; 0 per pass keeps them in the ring.
  void SetDrainPerPass(std::uint32_t bytes) { drainPerPass_.store(bytes); }
  std::string Drained();
  bool WaitForDrained(std::size_t count, int timeoutMs);
  // The receive ring as the loop last saw it.
  std::uint32_t LastRxUsed() const { return lastRxUsed_.load(); }

  void FailDirectSends(bool fail) { failDirectSends_.store(fail); }
  unsigned Passes() const { return passes_.load(); }
  unsigned SecondTasks() const { return secondTasks_.load(); }
  std::vector<std::pair<std::uint32_t, DWORD>> Answers();

  // On the socket's thread only.
  void SetSleepTime(DWORD ms) { sleepTime_ = ms; }
  using CSoketK::SetSecondSocket;

  // Recorded, then passed on.
  std::int32_t Send(const void* data, std::uint32_t length, bool buffered, const char* callerTag) override;
  std::int32_t SendDirect(const void* data, std::uint32_t length, const char* callerTag) override;

 protected:
  DWORD VTFX(DWORD argument) override;
  DWORD ProcessMessage(const DMessage& message) override;
  DWORD ProcessReceivedBytes() override;
  void ThreadTaskEachSecond() override;

 private:
  template <typename Predicate>
  bool WaitUntil(int timeoutMs, Predicate predicate);

  std::mutex mutex_;
  std::condition_variable changed_;
  ThreadCalls calls_;
  std::vector<Notice> notices_;
  std::vector<SendCall> sends_;
  std::vector<SendCall> directSends_;
  std::vector<std::pair<std::uint32_t, DWORD>> answers_;
  std::string drained_;
  std::atomic<std::uint32_t> drainPerPass_{0};
  std::atomic<std::uint32_t> lastRxUsed_{0};
  std::atomic<bool> failDirectSends_{false};
  std::atomic<unsigned> passes_{0};
  std::atomic<unsigned> secondTasks_{0};
};

// A byte pattern that shows any loss, doubling or reordering.
std::string TestPattern(std::size_t length, unsigned seed = 1);
