#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>
#include <chrono>

#include "base/base_thread.h"
#include "base/seconds_counter.h"
#include "support/klib_fixture.h"

namespace {
// True when the descriptor can be read now; reads it empty so the next case starts clean.
bool TakeReadable(int fd) {
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, 0) != 1) return false;
  std::uint64_t value = 0;
  [[maybe_unused]] ssize_t n = read(fd, &value, sizeof value);
  return true;
}

// Its body never touches the wake event, so the event shows exactly which wakes reached it.
class ParkedThread : public CBaseThread {
 public:
  ParkedThread(bool secondsDriven, bool workWhilePaused) : CBaseThread(nullptr, "n_PARKED", 5) {
    WakeEachSecond(secondsDriven);
    SetSecondsWorkWhilePaused(workWhilePaused);
  }
  ~ParkedThread() override {
    release_.set_value();
    WaitForEnd(5000);
  }
  DWORD VTFX(DWORD) override {
    released_.wait();
    return 0;
  }

 private:
  std::promise<void> release_;
  std::shared_future<void> released_{release_.get_future().share()};
};

struct SecondWakeCase {
  const char* label;
  bool started;
  bool secondsDriven;
  bool workWhilePaused;
  bool woken;
};

class SecondWakeTest : public KlibFixture, public ::testing::WithParamInterface<SecondWakeCase> {};

// Paused bodies with nothing to do each second must sleep through the seconds.
TEST_P(SecondWakeTest, ANewSecondWakesOnlyTheThreadsThatHaveWorkForIt) {
  const SecondWakeCase& c = GetParam();
  ParkedThread thread(c.secondsDriven, c.workWhilePaused);
  ASSERT_EQ(thread.StartThread(c.started ? 1 : 0, 4096), 1);
  TakeReadable(thread.QueueWakeFd());
  SecondsCounter seconds;
  seconds.fetch_add(1);
  EXPECT_EQ(TakeReadable(thread.QueueWakeFd()), c.woken) << "after fetch_add";
  seconds = 7;
  EXPECT_EQ(TakeReadable(thread.QueueWakeFd()), c.woken) << "after a store";
  EXPECT_EQ(seconds.load(), 7u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SecondWakeTest,
    ::testing::Values(SecondWakeCase{"RunningWay", true, true, false, true},
                      SecondWakeCase{"PausedWayWithACountdown", false, true, true, true},
                      SecondWakeCase{"PausedWayWithNothingToDo", false, true, false, false},
                      SecondWakeCase{"ThreadWithoutSecondsTask", true, false, false, false}),
    [](const auto& testInfo) { return std::string(testInfo.param.label); });

// Waits for messages without a time limit, as the program's idle workers do.
class UnlimitedWaiter : public CBaseThread {
 public:
  explicit UnlimitedWaiter(bool paused, bool secondsDriven = false)
      : CBaseThread(nullptr, "n_WAITER", 5), paused_(paused) {
    WakeEachSecond(secondsDriven);
  }
  ~UnlimitedWaiter() override {
    RequestStop(0);
    WaitForEnd(5000);
  }
  DWORD VTFX(DWORD) override {
    tid = static_cast<int>(gettid());
    while (!StopRequested() && !Klib().Exiting()) {
      DMessage message;
      while (PopMessage(message) != 0) {
        DropPendingPayload();
        ++popped;
      }
      if (!paused_) WaitForMessage(-1);
    }
    return 0;
  }
  // Paused: PopMessage itself waits, and asks this before each wait. It wants
  // the seconds but never ends its pause for one, so each ask is one wake.
  bool PausedWaitOver() override {
    SetSecondsWorkWhilePaused(true);
    ++asked;
    return false;
  }
  std::atomic<int> asked{0};
  std::atomic<int> tid{0};
  std::atomic<int> popped{0};

 private:
  bool paused_;
};

class UnlimitedWaitTest : public KlibFixture, public ::testing::WithParamInterface<bool> {};

// True once the thread sleeps in the kernel (its body sleeps nowhere but in its wait).
bool WaitUntilAsleep(const std::atomic<int>& tid) {
  for (int i = 0; i < 5000; ++i, usleep(1000)) {
    if (tid.load() == 0) continue;
    std::ifstream stat("/proc/self/task/" + std::to_string(tid.load()) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t close = line.rfind(')');
    if (close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'S') return true;
  }
  return false;
}

// The exit flag alone wakes nobody: the wait for all bodies at the end does.
TEST_P(UnlimitedWaitTest, BodiesWaitingWithoutLimitEndWhenWokenForTheExit) {
  UnlimitedWaiter waiter(GetParam());
  ASSERT_EQ(waiter.StartThread(GetParam() ? 0 : 1, 4096), 1);
  ASSERT_TRUE(WaitUntilAsleep(waiter.tid));
  Klib().exitFlag = 1;
  CBaseThread::WakeAllThreads();
  EXPECT_TRUE(waiter.WaitForEnd(5000));
  Klib().exitFlag = 0;
}

INSTANTIATE_TEST_SUITE_P(States, UnlimitedWaitTest, ::testing::Values(false, true),
                         [](const auto& testInfo) { return std::string(testInfo.param ? "Paused" : "Running"); });

class QueueWakeTest : public KlibFixture {};

// Posts that find the wake event still unread add no write of their own.
TEST_F(QueueWakeTest, PostsBeforeTheDrainSignalOnce) {
  ParkedThread thread(false, false);
  ASSERT_EQ(thread.StartThread(1, 4096), 1);
  for (std::uint32_t i = 0; i < 3; ++i) ASSERT_EQ(CBaseThread::Post(nullptr, &thread, 0x9000, i, 0, "T"), 1);
  std::uint64_t writes = 0;
  ASSERT_EQ(read(thread.QueueWakeFd(), &writes, sizeof writes), static_cast<ssize_t>(sizeof writes));
  EXPECT_EQ(writes, 1u);
}

// Every post reaches a body that waits without a time limit, whether it
// finds the wake event clear, still signalled, or being drained: posts come
// one at a time (each waited for) and in bursts from several threads.
TEST_F(QueueWakeTest, APostToAnAlreadySignalledThreadStillWakesIt) {
  UnlimitedWaiter waiter(false);
  ASSERT_EQ(waiter.StartThread(1, 1 << 16), 1);
  const auto waitForPopped = [&](int n) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (waiter.popped.load() < n && std::chrono::steady_clock::now() < end) usleep(200);
    return waiter.popped.load() >= n;
  };
  int expected = 0;
  for (int round = 0; round < 200; ++round) {
    const int burst = 1 + round % 3;
    for (int i = 0; i < burst; ++i) ASSERT_EQ(CBaseThread::Post(nullptr, &waiter, 0x9000, 0, 0, "T"), 1);
    expected += burst;
    ASSERT_TRUE(waitForPopped(expected)) << "round " << round;
  }
  constexpr int kPosters = 4;
  constexpr int kEach = 2000;
  std::vector<std::thread> posters;
  for (int p = 0; p < kPosters; ++p) {
    posters.emplace_back([&] {
      for (int i = 0; i < kEach; ++i) CBaseThread::Post(nullptr, &waiter, 0x9000, 0, 0, "T");
    });
  }
  for (std::thread& poster : posters) poster.join();
  expected += kPosters * kEach;
  EXPECT_TRUE(waitForPopped(expected));
}

class PausedWaitTest : public KlibFixture {};

TEST_F(PausedWaitTest, ABodyThatWantsTheSecondsIsWokenForEachAndAsks) {
  UnlimitedWaiter waiter(true, true);
  ASSERT_EQ(waiter.StartThread(0, 4096), 1);
  SecondsCounter seconds;
  for (int i = 0; i < 5000 && waiter.asked.load() == 0; ++i) usleep(1000);
  ASSERT_GT(waiter.asked.load(), 0) << "the paused body never came to its wait";
  for (int step = 1; step <= 3; ++step) {
    const int asked = waiter.asked.load();
    seconds.fetch_add(1);
    for (int i = 0; i < 5000 && waiter.asked.load() == asked; ++i) usleep(1000);
    EXPECT_GT(waiter.asked.load(), asked) << "second " << step;
  }
  EXPECT_TRUE(waiter.NotStarted());
  waiter.RequestStop(0);
  EXPECT_TRUE(waiter.WaitForEnd(5000));
}
}  // namespace
