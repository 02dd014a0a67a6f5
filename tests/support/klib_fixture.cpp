#include "support/klib_fixture.h"

#include "base/klib_locks.h"
#include "base/lz77.h"
#include "base/trusted_addresses.h"

DWORD TestMainThread::VTFX(DWORD) {
  while (!StopRequested() && !Klib().Exiting()) {
    DMessage message;
    while (!hold.load() && PopMessage(message) != 0) {
      ProcessMessage(message);
      DropPendingPayload();
    }
    WaitForMessage(50);
  }
  return 0;
}

DWORD TestMainThread::ProcessMessage(const DMessage& message) {
  if (message.id == THRDMSG_THREAD_ENDED) {
    void* slot = PopOwnerSlot();
    std::lock_guard lock(mutex_);
    ended_.push_back(slot);
    return 1;
  }
  return CMainThread::ProcessMessage(message);
}

std::vector<void*> TestMainThread::EndedSlots() {
  std::lock_guard lock(mutex_);
  return ended_;
}

void ResetKlibForTest() {
  if (KlibInitialised()) KlibShutdown();
  KlibSettings& k = Klib();
  k.logTag = "app_TK";
  k.mainThread = nullptr;
  k.traceOutput = nullptr;
  k.traceMask = 0;
  k.exitFlag = 0;
  k.suspendAll = 0;
  k.trustedListSize = 1000;
  k.remoteTraceSocket = nullptr;
  k.frameSync = FRAME_SYNC_NETWORK;
  k.autoShowFlag = nullptr;
  k.autoShowCountdown = nullptr;
  k.autoShowSeconds = 8;
  k.logFileSwitch = nullptr;
  k.logFilePath = nullptr;
  k.maxZipInput = 1 << 20;
  const COLORREF colours[] = {0xA4A99C, 0, 0x14A7F5, 0x1010E6, 0xD06FE6, 0xFB4339, 0x5A725A,
                              0xFA9D52, 0x8CF004, 0x1EF0FB, 0xAAC2AA, 0x9B5BFB, 0x76D8D0};
  for (int i = 0; i < 13; ++i) k.SetColour(17 + i, colours[i]);
}

void KlibFixture::SetUp() {
  ResetKlibForTest();
  main_ = std::make_unique<TestMainThread>();
  ASSERT_EQ(main_->StartThread(1, 0), 1);
  Klib().mainThread = main_.get();
  ASSERT_EQ(KlibInit(KlibGetSettings()), 0);
}

void KlibFixture::TearDown() {
  main_->RequestStop(0);
  main_->WaitForEnd(5000);
  KlibShutdown();
  Klib().mainThread = nullptr;
  main_.reset();
  Klib().exitFlag = 0;
}
