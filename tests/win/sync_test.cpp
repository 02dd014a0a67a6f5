// Critical sections: exclusive between threads however they enter (at once,
// after the spin, or after sleeping), and re-entrant for their holder.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "win/sync.h"

namespace {

TEST(CriticalSection, ExcludesOtherThreadsAndNestsForItsHolder) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  // Held for long stretches and short ones, so that entries meet it both free,
  // held briefly (the spin ends it) and held longer (the caller sleeps).
  long counter = 0;
  constexpr int kThreads = 4;
  constexpr int kEach = 20'000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        const CriticalSectionGuard guard(section);
        const long seen = counter;
        if ((i + t) % 1000 == 0) std::this_thread::yield();
        counter = seen + 1;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(counter, static_cast<long>(kThreads) * kEach);

  EnterCriticalSection(&section);
  EnterCriticalSection(&section);
  std::atomic<bool> entered{false};
  std::thread other([&] { entered = TryEnterCriticalSection(&section); });
  other.join();
  EXPECT_FALSE(entered.load()) << "another thread entered a held section";
  LeaveCriticalSection(&section);
  std::thread again([&] { entered = TryEnterCriticalSection(&section); });
  again.join();
  EXPECT_FALSE(entered.load()) << "the section was free while still entered once";
  LeaveCriticalSection(&section);
  std::thread last([&] {
    entered = TryEnterCriticalSection(&section);
    if (entered) LeaveCriticalSection(&section);
  });
  last.join();
  EXPECT_TRUE(entered.load());
  DeleteCriticalSection(&section);
}

}  // namespace
