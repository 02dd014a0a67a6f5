// Starts the library for a test with a main thread that drains traces, and stops it after.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "base/klib_settings.h"
#include "base/main_thread.h"

// A main thread that serves its queue until stopped.
class TestMainThread : public CMainThread {
 public:
  TestMainThread() : CMainThread(nullptr, "n_TEST_MAIN") {}
  DWORD VTFX(DWORD) override;
  // THRDMSG_THREAD_ENDED notices received, by owner slot.
  std::vector<void*> EndedSlots();
  DWORD ProcessMessage(const DMessage& message) override;
  // While set, messages wait in the queue.
  std::atomic<bool> hold{false};

 private:
  std::mutex mutex_;
  std::vector<void*> ended_;
};

class KlibFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::unique_ptr<TestMainThread> main_;
};

// Resets the library block between tests.
void ResetKlibForTest();
