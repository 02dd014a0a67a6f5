#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <future>
#include <thread>

#include "base/circ_buf.h"
#include "base/klib_locks.h"
#include "base/main_thread.h"
#include "support/klib_fixture.h"

namespace {
// Enter and leave on the calling thread; disable and enable the lock.
struct LockUse {
  const char* label;
  std::function<void()> enter;
  std::function<void()> leave;
  std::function<void()> disable;
  std::function<void()> enable;
};

// True when another thread can take the lock (and give it back) within the
// time. The taker is detached: a lock that stays held must fail the test, not hang it.
bool FreeForAnotherThread(const LockUse& use) {
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> taken = done->get_future();
  std::thread([use, done] {
    use.enter();
    use.leave();
    done->set_value();
  }).detach();
  return taken.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
}

// A thread that came while the lock was disabled entered nothing, so its
// Leave must not release the hold of the thread that entered before.
void CheckAStraysLeaveLeavesTheHoldAlone(const LockUse& use) {
  use.enable();
  use.enter();  // this thread holds it
  use.disable();
  std::thread([&] {
    use.enter();  // skipped: disabled
    use.leave();  // must not be taken for this thread's
  }).join();
  use.enable();
  use.enter();  // a nested hold of the same thread
  use.leave();
  use.leave();  // the outer hold ends: now the lock is free
  EXPECT_TRUE(FreeForAnotherThread(use)) << use.label << ": the lock stayed held";
}

class LockHolderTest : public KlibFixture {};

TEST_F(LockHolderTest, ALeaveFromAThreadThatEnteredNothingIsIgnored) {
  // Never destroyed, so that a taker left waiting by a failure touches nothing freed.
  static auto* ring = new CCircBuf();
  static auto* traceOwner = new CMainThread(nullptr, "n_LOCKS");
  KlibLock& traceLock = GetKlibLock(KlibLockId::TraceRing);
  const LockUse uses[] = {
      {"delayed-event ring lock", [] { ring->Enter(); }, [] { ring->Leave(); }, [] { ring->Delete(); },
       [] { ring->Init(); }},
      {"trace-ring lock", [] { traceOwner->LockTraceRing(); }, [] { traceOwner->UnlockTraceRing(); },
       [&traceLock] { traceLock.Delete(); }, [&traceLock] { traceLock.Create(); }},
  };
  for (const LockUse& use : uses) CheckAStraysLeaveLeavesTheHoldAlone(use);
}
}  // namespace
