#include "main_dialog_fixture.h"

#include "core/app_paths.h"
#include "app/connect_flow.h"
#include "app/main_class.h"
#include "core/main_dialog_state.h"
#include "core/settings.h"
#include "net/listener.h"
#include "net/orv_sok.h"
#include "net/peer_ways.h"
#include "support/child_process.h"
#include "support/klib_fixture.h"
#include "voice/voice_system.h"
#include "win/msgbox.h"
#include "win/timers.h"

bool BeginMainDialogTest(const TempFolder& tree) {
  ResetKlibForTest();
  CFSClientDlg::SetStartupPausesForTest(false);
  COrvSok::SetPauseFunction([](DWORD) {});
  SetMessageBoxEcho(false);
  ClearShownMessageBoxes();
  return BuildAppPaths(MakeXPlaneTreeWithData(tree.Path()), g_appPaths()) == PathResult::Ok;
}

void StopMainDialogThreads() {
  SetTimerFailureForTest(0);
  MSG pending{};
  while (PeekMessageA(&pending, 0, 0, 0, PM_REMOVE) != 0) {
  }
  CloseListeningSocket();
  if (g_pMainThread != nullptr) {
    g_pMainThread->RequestStop(0);
    g_pMainThread->WaitForEnd(5000);
  }
  DestroySocketThreads();
  DestroyConnectionWays();
  // The voice thread a test's start-up began reads the library settings the next test resets.
  StopVoiceSystem();
  KlibShutdown();
}

void EndMainDialogTest() {
  delete g_pMainThread;
  g_pMainThread = nullptr;
  ResetKlibForTest();
  COrvSok::SetPauseFunction(nullptr);
  SetMessageBoxEcho(true);
  g_quitting = false;
  g_quitCountdown = 0;
  g_networkState = 0;
  g_hubListCountdown = 0;
  g_reconnectCountdown = 0;
  g_networkSettings.orvenaPort = setting_default::kOrvenaPortNumber;
  g_networkSettings.xplaneDllPort = setting_default::kXplaneDllPortNumber;
}
