#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "base/base_thread.h"
#include "support/klib_fixture.h"
#include "win/clock.h"
#include "win/msgbox.h"

namespace {
struct Received {
  DMessage header;
  std::string payload;
};

// Records what it receives; pops payloads only when told to.
class RecordingThread : public CBaseThread {
 public:
  explicit RecordingThread(void* slot = nullptr, const char* name = "n_REC") : CBaseThread(slot, name, 5) {}

  DWORD VTFX(DWORD) override {
    while (!StopRequested() && !Klib().Exiting()) {
      DMessage m;
      while (!hold.load() && PopMessage(m) != 0) {
        ProcessMessage(m);
        DropPendingPayload();
      }
      WaitForMessage(20);
    }
    return 0;
  }

  DWORD ProcessMessage(const DMessage& m) override {
    Received r{m, {}};
    if (popPayload.load() && m.id != kNoPayload) {
      r.payload.resize(PendingPayload());
      if (!r.payload.empty()) PopData(r.payload.data(), static_cast<std::uint32_t>(r.payload.size()));
    }
    std::lock_guard lock(mutex);
    received.push_back(r);
    return 1;
  }

  std::vector<Received> Snapshot() {
    std::lock_guard lock(mutex);
    return received;
  }

  bool WaitForCount(std::size_t n, int timeoutMs = 5000) {
    for (int waited = 0; waited < timeoutMs; waited += 5) {
      if (Snapshot().size() >= n) return true;
      Sleep(5);
    }
    return false;
  }

  static constexpr std::uint32_t kNoPayload = 0x9001;
  std::atomic<bool> hold{false};
  std::atomic<bool> popPayload{true};
  std::mutex mutex;
  std::vector<Received> received;
};

class ThreadTest : public KlibFixture {};
}  // namespace

TEST_F(ThreadTest, MessagesArriveInOrderWithPayloads) {
  RecordingThread t;
  ASSERT_EQ(t.StartThread(0, 4096), 1);
  const std::string text = "hello";
  EXPECT_EQ(CBaseThread::Post(nullptr, &t, 0x9000, 1, 77, "T1"), 1);
  EXPECT_EQ(CBaseThread::PostData(nullptr, &t, 0x9002, 2, static_cast<std::uint32_t>(text.size()), text.data(), "T2"), 1);
  ASSERT_TRUE(t.WaitForCount(2));
  const auto got = t.Snapshot();
  EXPECT_EQ(got[0].header.id, 0x9000u);
  EXPECT_EQ(got[0].header.word3, 77u);
  EXPECT_EQ(got[0].payload, "");
  EXPECT_EQ(got[1].header.word3, 5u);
  EXPECT_EQ(got[1].payload, "hello");
  t.RequestStop(0);
  EXPECT_TRUE(t.WaitForEnd(5000));
}

TEST_F(ThreadTest, UnreadPayloadIsNeverTakenForAHeader) {
  RecordingThread t;
  t.popPayload = false;
  ASSERT_EQ(t.StartThread(1, 4096), 1);
  // A payload that looks like a header must be dropped, not parsed.
  std::array<std::uint8_t, 16> fake{};
  fake.fill(0x41);
  CBaseThread::PostData(nullptr, &t, 0x9002, 0, fake.size(), fake.data(), "T");
  CBaseThread::Post(nullptr, &t, 0x9003, 9, 0, "T");
  ASSERT_TRUE(t.WaitForCount(2));
  const auto got = t.Snapshot();
  EXPECT_EQ(got[0].header.id, 0x9002u);
  EXPECT_EQ(got[1].header.id, 0x9003u);
  EXPECT_EQ(got[1].header.param, 9u);
  t.RequestStop(0);
  t.WaitForEnd(5000);
}

TEST_F(ThreadTest, NullPayloadWithLengthWritesHeaderOnly) {
  RecordingThread t;
  ASSERT_EQ(t.StartThread(1, 4096), 1);
  EXPECT_EQ(CBaseThread::PostData(nullptr, &t, 0x9002, 0, 500, nullptr, "T"), 1);
  CBaseThread::Post(nullptr, &t, 0x9003, 0, 0, "T");
  ASSERT_TRUE(t.WaitForCount(2));
  const auto got = t.Snapshot();
  EXPECT_EQ(got[0].header.word3, 0u);
  EXPECT_TRUE(got[0].payload.empty());
  EXPECT_EQ(got[1].header.id, 0x9003u);
  t.RequestStop(0);
  t.WaitForEnd(5000);
}

TEST_F(ThreadTest, PayloadPopIsBoundedByTheMessage) {
  struct Greedy : RecordingThread {
    DWORD ProcessMessage(const DMessage& m) override {
      std::array<char, 64> buffer{};
      // Asking for more than this message carries must fail and take nothing.
      overAsk = PopData(buffer.data(), m.word3 + 1);
      exact = PopData(buffer.data(), m.word3);
      return RecordingThread::ProcessMessage(m);
    }
    std::atomic<DWORD> overAsk{9}, exact{9};
  } t;
  ASSERT_EQ(t.StartThread(1, 4096), 1);
  CBaseThread::PostData(nullptr, &t, 0x9002, 0, 4, "abcd", "T");
  ASSERT_TRUE(t.WaitForCount(1));
  EXPECT_EQ(t.overAsk.load(), 0u);
  EXPECT_EQ(t.exact.load(), 1u);
  t.RequestStop(0);
  t.WaitForEnd(5000);
}

TEST_F(ThreadTest, OversizedMessageIsRefusedAtOnce) {
  RecordingThread t;
  ASSERT_EQ(t.StartThread(1, 256), 1);
  std::vector<char> big(1000, 'x');
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CBaseThread::PostData(nullptr, &t, 0x9002, 0, 1000, big.data(), "T"), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));  // a wait for room lasts 10 s
  t.RequestStop(0);
  t.WaitForEnd(5000);
}

TEST_F(ThreadTest, SenderWaitsForRoomAndGivesUpWhenTargetEnds) {
  RecordingThread t;
  t.hold = true;
  ASSERT_EQ(t.StartThread(1, 64), 1);
  // Fill the queue while the receiver holds back.
  int posted = 0;
  while (t.QueueFree() >= 16) posted += CBaseThread::Post(nullptr, &t, 0x9000, 0, 0, "F");
  EXPECT_GT(posted, 0);
  auto blocked = std::async(std::launch::async, [&] { return CBaseThread::Post(nullptr, &t, 0x9000, 1, 0, "B"); });
  EXPECT_EQ(blocked.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
  t.RequestStop(0);  // the body returns without draining: the waiting sender must give up
  EXPECT_EQ(blocked.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(blocked.get(), 0);
  t.WaitForEnd(5000);
}

TEST_F(ThreadTest, SenderWaitingForRoomDeliversOnceDrained) {
  RecordingThread t;
  t.hold = true;
  ASSERT_EQ(t.StartThread(1, 64), 1);
  int posted = 0;
  while (t.QueueFree() >= 16) posted += CBaseThread::Post(nullptr, &t, 0x9000, 0, 0, "F");
  auto blocked = std::async(std::launch::async, [&] { return CBaseThread::Post(nullptr, &t, 0x9005, 1, 0, "B"); });
  Sleep(150);
  t.hold = false;
  EXPECT_EQ(blocked.get(), 1);
  ASSERT_TRUE(t.WaitForCount(static_cast<std::size_t>(posted) + 1));
  EXPECT_EQ(t.Snapshot().back().header.id, 0x9005u);
  t.RequestStop(0);
  t.WaitForEnd(5000);
}

TEST_F(ThreadTest, SelfPostDoesNotWaitAndFailsWhenFull) {
  struct SelfPoster : CBaseThread {
    SelfPoster() : CBaseThread(nullptr, "n_SELF", 5) {}
    DWORD VTFX(DWORD) override {
      int ok = 0;
      for (int i = 0; i < 10; ++i) ok += Post(this, this, 0x9000, i, 0, "S");
      accepted = ok;
      return 0;
    }
    std::atomic<int> accepted{-1};
  } t;
  ASSERT_EQ(t.StartThread(1, 64), 1);  // room for three 16-byte entries
  ASSERT_TRUE(t.WaitForEnd(5000));
  EXPECT_EQ(t.accepted.load(), 3);
}

TEST_F(ThreadTest, PostsAfterExitOrToEndedThreadWriteNothing) {
  RecordingThread t;
  ASSERT_EQ(t.StartThread(1, 4096), 1);
  t.RequestStop(0);
  ASSERT_TRUE(t.WaitForEnd(5000));
  EXPECT_EQ(CBaseThread::Post(nullptr, &t, 0x9000, 0, 0, "E"), 0);
  EXPECT_EQ(CBaseThread::Post(nullptr, nullptr, 0x9000, 0, 0, "E"), 0);

  RecordingThread u;
  ASSERT_EQ(u.StartThread(1, 4096), 1);
  Klib().exitFlag = 1;
  EXPECT_EQ(CBaseThread::Post(nullptr, &u, 0x9000, 0, 0, "E"), 0);
  EXPECT_TRUE(u.WaitForEnd(5000));  // its loop sees the exit flag
  Klib().exitFlag = 0;
}

TEST_F(ThreadTest, EndOfBodyReachesMainThreadWithOwnerSlot) {
  static RecordingThread* slot = nullptr;
  auto t = std::make_unique<RecordingThread>(&slot, "n_ENDER");
  slot = t.get();
  ASSERT_EQ(t->StartThread(1, 4096), 1);
  t->RequestStop(0);
  ASSERT_TRUE(t->WaitForEnd(5000));
  for (int i = 0; i < 200 && main_->EndedSlots().empty(); ++i) Sleep(10);
  ASSERT_EQ(main_->EndedSlots().size(), 1u);
  EXPECT_EQ(main_->EndedSlots()[0], static_cast<void*>(&slot));
  EXPECT_TRUE(t->Closed());
  EXPECT_TRUE(t->Ended());
  EXPECT_EQ(t->StartThread(1, 0), -3);  // never started twice
}

TEST_F(ThreadTest, FirstMessageStartsAnIdleThread) {
  RecordingThread t;
  ASSERT_EQ(t.StartThread(0, 4096), 1);
  EXPECT_TRUE(t.NotStarted());
  CBaseThread::Post(nullptr, &t, 0x9000, 0, 0, "W");
  EXPECT_FALSE(t.NotStarted());
  // The idle wait ends as soon as a message arrives, not after its 500 ms.
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(t.WaitForCount(1));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(450));
  t.RequestStop(0);
  t.WaitForEnd(5000);
}

TEST_F(ThreadTest, EmptyNameShowsBoxAndStillWorks) {
  ClearShownMessageBoxes();
  SetMessageBoxEcho(false);
  RecordingThread t(nullptr, "");
  SetMessageBoxEcho(true);
  const auto boxes = ShownMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "System Error");
  EXPECT_EQ(boxes[0].text, "Object name pointer is NULL or empty.");
  ASSERT_EQ(t.StartThread(1, 4096), 1);
  CBaseThread::Post(nullptr, &t, 0x9000, 0, 0, "N");
  EXPECT_TRUE(t.WaitForCount(1));
  t.RequestStop(0);
  t.WaitForEnd(5000);
}

TEST_F(ThreadTest, CountdownsFollowTheirRules) {
  RecordingThread t;
  ASSERT_EQ(t.StartThread(0, 4096), 1);
  EXPECT_EQ(t.SetStopCountdown(5), 0);
  EXPECT_FALSE(t.NotStarted());
  EXPECT_EQ(t.SleepCountdown(), 8);
  t.SetSleepCountdown(30);
  EXPECT_EQ(t.SleepCountdown(), 8);  // a running stop countdown wins
  EXPECT_EQ(t.SetStopCountdown(0), 5);
  t.SetSleepCountdown(30);
  EXPECT_EQ(t.SleepCountdown(), 30);
  t.RequestStop(0);
  t.WaitForEnd(5000);
}

TEST_F(ThreadTest, TryPostNeverWaitsForRoom) {
  RecordingThread t;
  t.hold = true;
  ASSERT_EQ(t.StartThread(1, 256), 1);
  const std::string payload(40, 'v');
  int posted = 0;
  while (CBaseThread::TryPostData(nullptr, &t, 0x9002, 0, static_cast<std::uint32_t>(payload.size()),
                                  payload.data(), "V") == 1) {
    ++posted;
    ASSERT_LT(posted, 100) << "a 256-byte queue cannot take this many";
  }
  EXPECT_GT(posted, 0);
  // Full: the next one is refused at once, where a plain post would wait.
  auto refused = std::async(std::launch::async, [&] {
    return CBaseThread::TryPostData(nullptr, &t, 0x9002, 0, static_cast<std::uint32_t>(payload.size()),
                                    payload.data(), "V");
  });
  ASSERT_EQ(refused.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(refused.get(), 0);
  t.hold = false;
  ASSERT_TRUE(t.WaitForCount(static_cast<std::size_t>(posted)));
  const auto got = t.Snapshot();
  EXPECT_EQ(got[0].payload, payload);
  EXPECT_EQ(CBaseThread::TryPostData(nullptr, &t, 0x9002, 0, 1000, std::string(1000, 'x').data(), "V"), 0)
      << "larger than the queue";
  t.RequestStop(0);
  t.WaitForEnd(5000);
}
