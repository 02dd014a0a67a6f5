#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <functional>
#include <vector>

#include "core/text_fields.h"
#include "sim/model_scan.h"
#include "testbed/aircraft_tree.h"
#include "app/main_class.h"
#include "app/main_dialog.h"
#include "core/main_dialog_state.h"
#include "core/ui_messages.h"
#include "base/klib_settings.h"
#include "dialogs/chat_dialog.h"
#include "core/app_paths.h"
#include "core/connection_state.h"
#include "app/login_fields.h"
#include "core/settings.h"
#include "net/listener.h"
#include "net/orv_sok.h"
#include "net/peer_ways.h"
#include "net/way_ids.h"
#include "net/way_record.h"
#include "testbed/loopback_peer.h"
#include "support/child_process.h"
#include "net/way_table_lock.h"
#include "core/big_tables.h"
#include "support/klib_fixture.h"
#include "win/msgbox.h"
#include "win/richedit.h"
#include "win/timers.h"
#include "win/brush.h"
#include "win/clock.h"
#include "win/window_pos.h"
#include "main_dialog_fixture.h"

namespace {
// Records the private messages that reach the dialog.
class RecordingMainDialog : public CFSClientDlg {
 public:
  void OnPrivateMessage(UINT message, WPARAM, LPARAM) override { seen.push_back(message); }
  std::vector<UINT> seen;
};

class MainDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(BeginMainDialogTest(tree_));
    dialog_ = std::make_unique<RecordingMainDialog>();
    ASSERT_EQ(dialog_->Create(kMainDialogTemplate, nullptr), TRUE);
    ASSERT_TRUE(dialog_->Initialised());
    // Tests run in parallel: never the fixed port of the settings' default.
    g_networkSettings.orvenaPort = 0;
  }

  void TearDown() override { FinishMainDialogTest(dialog_); }

  // Runs one-second ticks until the tick counter reaches n.
  void TickTo(std::uint32_t n) {
    while (dialog_->TickCount() < n) dialog_->OneSecondTick();
  }

  TempFolder tree_;
  std::unique_ptr<RecordingMainDialog> dialog_;
};
}  // namespace

TEST_F(MainDialogTest, InitialisationFillsTheLibraryAndMakesTheChatTheTraceOutput) {
  EXPECT_STREQ(Klib().logTag, "app_TK");
  EXPECT_EQ(Klib().trustedListSize, 1000u);
  EXPECT_EQ(Klib().frameSync, 0xA1B2C317u);
  EXPECT_EQ(Klib().Colour(20), 0x1010E6u);
  EXPECT_EQ(Klib().Colour(18), 0u);
  EXPECT_EQ(Klib().maxZipInput, 0xF00000u);
  EXPECT_EQ(Klib().autoShowSeconds, 8u);
  ASSERT_NE(dialog_->Chat(), nullptr);
  EXPECT_EQ(Klib().traceOutput, static_cast<CPrintDlg*>(dialog_->Chat()));
  EXPECT_EQ(Klib().mainThread, g_pMainThread);
  EXPECT_EQ(g_pChatDlg.load(), dialog_->Chat());
  EXPECT_STREQ(VersionText(), "v11.0.4.B");
  EXPECT_TRUE(IsWindowTopmost(dialog_->m_hWnd));
  for (HBRUSH brush : g_brushes) EXPECT_NE(brush, 0u);
  EXPECT_EQ(BrushColour(g_brushes[1]), std::optional<COLORREF>(0x3D2F28));
}

namespace {
// Takes every message waiting for this thread: true when a WM_QUIT was among them.
bool TakeQuitMessage() {
  MSG msg{};
  bool quit = false;
  while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE) != 0)
    if (msg.message == WM_QUIT) quit = true;
  return quit;
}
}  // namespace

TEST_F(MainDialogTest, FailingBrushEndsInitialisationWithItsCode) {
  const struct {
    int failing;  // the k-th brush fails
    int code;
  } cases[] = {{1, -10}, {4, -40}, {7, -70}};
  TakeQuitMessage();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failing);
    ASSERT_EQ(dialog_->StartTimers(), 1);
    FailBrushCreationForTest(c.failing);
    EXPECT_EQ(dialog_->InitMainDialog(), c.code);
    FailBrushCreationForTest(0);
    EXPECT_FALSE(dialog_->TimersRunning());
    // Killed, not only forgotten: none of the four is left to kill.
    for (UINT_PTR id : {kTimerOneSecond, kTimerHalfSecond, kTimerTenth, kTimerFast})
      EXPECT_EQ(KillTimer(dialog_->m_hWnd, id), FALSE) << id;
    EXPECT_TRUE(TakeQuitMessage());
  }
  EXPECT_EQ(dialog_->InitMainDialog(), 0);
  EXPECT_FALSE(TakeQuitMessage());

  // Through the dialog's own start-up: not initialised, and the program told to quit.
  dialog_.reset();
  g_pMainThread->RequestStop(0);
  g_pMainThread->WaitForEnd(5000);
  KlibShutdown();
  delete g_pMainThread;
  g_pMainThread = nullptr;
  ResetKlibForTest();
  FailBrushCreationForTest(4);
  RecordingMainDialog dialog;
  dialog.Create(kMainDialogTemplate, nullptr);
  FailBrushCreationForTest(0);
  EXPECT_FALSE(dialog.Initialised());
  EXPECT_TRUE(TakeQuitMessage());
  EXPECT_EQ(dialog.InitMainDialog(), 0);  // a later run without the fault succeeds
}

TEST_F(MainDialogTest, FirstShowStartsTheTimersOnce) {
  EXPECT_FALSE(dialog_->TimersRunning());
  dialog_->ShowWindow(SW_SHOW);
  EXPECT_TRUE(dialog_->TimersRunning());
  dialog_->KillTimers();
  dialog_->ShowWindow(SW_HIDE);
  dialog_->ShowWindow(SW_SHOW);
  EXPECT_FALSE(dialog_->TimersRunning());  // a second show never restarts them
}

TEST_F(MainDialogTest, FailingThirdTimerKillsTheOthersAndQuits) {
  SetTimerFailureForTest(kTimerTenth);
  dialog_->ShowWindow(SW_SHOW);
  EXPECT_FALSE(dialog_->TimersRunning());
  const auto boxes = ShownMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "TK Error");
  EXPECT_EQ(boxes[0].text, "Can't set internal timer3.");
  MSG msg{};
  bool quit = false;
  while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE) != 0)
    if (msg.message == WM_QUIT) quit = true;
  EXPECT_TRUE(quit);
}

TEST_F(MainDialogTest, DelayedEventsWaitForTheSecondTickAndComeInOrder) {
  PostDelayedEvent(UIMSG_LOGIN_ACCEPTED);
  PostDelayedEvent(UIMSG_SERVER_MESSAGE);
  PostDelayedEvent(UIMSG_LOGOUT);
  dialog_->TenthTick();
  EXPECT_TRUE(dialog_->seen.empty());  // before tick 2 nothing is replayed
  TickTo(2);
  dialog_->TenthTick();
  EXPECT_EQ(dialog_->seen, (std::vector<UINT>{UIMSG_LOGIN_ACCEPTED, UIMSG_SERVER_MESSAGE, UIMSG_LOGOUT}));
  dialog_->TenthTick();
  EXPECT_EQ(dialog_->seen.size(), 3u);
}

TEST_F(MainDialogTest, EventWithoutRoomIsDroppedWhole) {
  TickTo(2);
  ByteRing& ring = dialog_->DelayedEventRing();
  PostDelayedEvent(UIMSG_LOGIN_ACCEPTED);
  // Fill the ring with other events and a few stray bytes so that exactly 28 bytes stay free.
  while (RingFree(ring) - 28 >= 29) PostDelayedEvent(UIMSG_TEST);
  std::vector<std::uint8_t> stray(RingFree(ring) - 28, 0x7A);
  dialog_->Enter();
  if (!stray.empty()) CCircBuf::Write(ring, stray.data(), static_cast<std::uint32_t>(stray.size()));
  dialog_->Leave();
  ASSERT_EQ(RingFree(ring), 28u);
  PostDelayedEvent(UIMSG_SERVER_MESSAGE);
  EXPECT_EQ(RingFree(ring), 28u);  // nothing half written
  dialog_->TenthTick();  // stray bytes are reported and skipped
  PostDelayedEvent(UIMSG_LOGOUT);
  dialog_->TenthTick();
  std::vector<UINT> others;
  for (UINT m : dialog_->seen)
    if (m != UIMSG_TEST) others.push_back(m);
  EXPECT_EQ(others, (std::vector<UINT>{UIMSG_LOGIN_ACCEPTED, UIMSG_LOGOUT}));
  EXPECT_GT(dialog_->seen.size(), 50'000u);
}

TEST_F(MainDialogTest, StagedStartupRunsOnTheFirstTickAndCleansItsLines) {
  TickTo(1);
  EXPECT_TRUE(g_startupDone.load());
  EXPECT_EQ(g_voiceStartCountdown.load(), 2);
  EXPECT_TRUE(dialog_->Chat()->IsWindowVisible());
  const std::string text = dialog_->Chat()->Output()->Text();
  EXPECT_EQ(text.find("Init Step 1 OK."), std::string::npos) << text;
  EXPECT_EQ(text.find('{'), std::string::npos);
}

TEST_F(MainDialogTest, StepTwoScansTheInstalledModelsAndPrintsWhatItFound) {
  ASSERT_TRUE(MakeEmptyFile(g_appPaths().xplaneModelsFolder, "Heavy Metal/B738/B738.acf"));
  ASSERT_TRUE(MakeEmptyFile(g_appPaths().xplaneModelsFolder, "Heavy Metal/B738/_Old.acf"));
  WayTableLock().Init();
  ASSERT_EQ(AllocateTables(), 1);
  ASSERT_EQ(dialog_->StartupStep1(), 0);
  SetModelScanDone(false);
  dialog_->StartupStep2();
  const std::string text = dialog_->Chat()->Output()->Text();
  EXPECT_NE(text.find("Read: 2 files, 1 liveries available for multiplayer session."), std::string::npos) << text;
  EXPECT_TRUE(ModelScanDone());
  ASSERT_EQ(g_localModelTables().working.count, 1);
  EXPECT_EQ(FieldText(g_localModelTables().working.records[0].title), "Heavy Metal\\B738\\B738.acf");
  SetModelScanDone(false);
}

TEST_F(MainDialogTest, ProgressLinesArePrintedThenRemovedByTheLastStep) {
  WayTableLock().Init();
  ASSERT_EQ(AllocateTables(), 1);
  ASSERT_EQ(dialog_->StartupStep1(), 0);
  dialog_->StartupStep2();
  const std::string during = dialog_->Chat()->Output()->Text();
  EXPECT_NE(during.find("{ Init Step 1 OK. }"), std::string::npos) << during;
  EXPECT_NE(during.find("{ Scanning available aircrafts, please wait a few seconds... }"), std::string::npos);
  ASSERT_EQ(dialog_->StartupStep4(), 0);
  EXPECT_EQ(dialog_->Chat()->Output()->Text().find("Init Step 1"), std::string::npos);
  EXPECT_EQ(dialog_->Chat()->GetWindowTextLength(), 0 + static_cast<int>(std::string(
      "No METAR available yet.     Tavelkor v11.0.4.B      ").size()));
}

TEST_F(MainDialogTest, MissingDataStopsTheStartupAndKillsTheTimers) {
  std::filesystem::remove(g_appPaths().programFolder + "/data.xtk");
  dialog_->ShowWindow(SW_SHOW);
  ASSERT_TRUE(dialog_->TimersRunning());
  TickTo(1);
  EXPECT_FALSE(g_startupDone.load());
  EXPECT_FALSE(dialog_->TimersRunning());
  bool reported = false;
  for (const auto& box : ShownMessageBoxes())
    if (box.title == "TK Error" && box.text == "Could not load ICAO data.") reported = true;
  EXPECT_TRUE(reported);
  EXPECT_TRUE(dialog_->Chat()->IsWindowVisible());  // the program stays alive with its windows
}

TEST_F(MainDialogTest, QuitFlagMakesTheNextTickRunOnlyTheQuitSequence) {
  TickTo(3);
  g_quitting = true;
  g_quitCountdown = 1;
  const std::uint32_t seconds = g_secondsCounter.load();
  dialog_->OneSecondTick();
  EXPECT_TRUE(Klib().Exiting());
  EXPECT_FALSE(KlibInitialised());
  EXPECT_EQ(g_secondsCounter.load(), seconds + 1);
  EXPECT_TRUE(TakeQuitMessage());
  // Later ticks only count: no second quit sequence, no other duty.
  g_reportCounter = 7;
  g_logoutSent = false;
  g_reconnectCountdown = 1;
  const std::uint32_t ticks = dialog_->TickCount();
  for (std::uint32_t n = 1; n <= 3; ++n) {
    dialog_->OneSecondTick();
    EXPECT_EQ(g_secondsCounter.load(), seconds + 1 + n);
    EXPECT_EQ(dialog_->TickCount(), ticks + n);
  }
  EXPECT_EQ(g_quitCountdown.load(), 0u);
  EXPECT_EQ(g_reportCounter.load(), 7u);
  EXPECT_FALSE(g_logoutSent.load());
  EXPECT_EQ(g_reconnectCountdown.load(), 1);
  EXPECT_FALSE(TakeQuitMessage());
  g_reconnectCountdown = 0;
}

namespace {
bool BoxShown(const std::string& title, const std::string& text) {
  for (const auto& box : ShownMessageBoxes())
    if (box.title == title && box.text == text) return true;
  return false;
}
}  // namespace

TEST_F(MainDialogTest, StartupCreatesFiftyLinkedWaysAndTheListenerThatHandsOverACall) {
  TickTo(1);
  ASSERT_TRUE(g_startupDone.load());
  for (std::int32_t i = 0; i < kPeerWayCount; ++i) {
    SCOPED_TRACE(i);
    COrvSok* way = PeerWayObject(i);
    ASSERT_NE(way, nullptr);
    EXPECT_EQ(g_peerWayObjects()[static_cast<std::size_t>(i)], static_cast<CBaseThread*>(way));
    EXPECT_EQ(WayTable()[static_cast<std::size_t>(i)].way, way);
    EXPECT_EQ(way->Record(), &WayTable()[static_cast<std::size_t>(i)]);
    EXPECT_EQ(way->WayId(), i);
    EXPECT_STREQ(way->Name(), ("[* " + std::to_string(i) + "]").c_str());
    EXPECT_TRUE(way->Started());
  }
  ASSERT_NE(g_pListener, nullptr);
  EXPECT_STREQ(g_pListener->Name(), "n_LSTN");
  ASSERT_TRUE(IsListening());
  ASSERT_NE(ListeningPort(), 0);

  // A second run keeps the same objects.
  COrvSok* first = PeerWayObject(0);
  EXPECT_EQ(CreatePeerWays(), 1);
  EXPECT_EQ(PeerWayObject(0), first);

  LoopbackClient call;
  ASSERT_TRUE(call.Connect(ListeningPort()));
  COrvSok* way = PeerWayObject(0);
  for (int waited = 0; waited < 5000 && !way->IsConnected(); waited += 10) Sleep(10);
  EXPECT_TRUE(way->IsConnected());

  // The quit step's disconnect reaches the connected way, which closes the call.
  DisconnectPeerWays();
  call.Receive(1, 5000);
  EXPECT_TRUE(call.PeerClosed());
}

// The CPU and wake-up figures of the idle client are measured in
// bench/idle_bench.cpp; here the behaviour behind them: a peer way not started
// waits on its queue alone, without a timeout, and new seconds wake none.
TEST_F(MainDialogTest, FiftyIdleWaysWaitOnTheirQueuesAlone) {
  TickTo(1);
  ASSERT_TRUE(g_startupDone.load());
  for (int second = 0; second < 3; ++second) {
    g_secondsCounter.fetch_add(1);
    CBaseThread::WakeThreadsForNewSecond();
  }
  for (std::int32_t i = 0; i < kPeerWayCount; ++i) {
    SCOPED_TRACE(i);
    COrvSok* way = PeerWayObject(i);
    ASSERT_NE(way, nullptr);
    EXPECT_TRUE(way->NotStarted());
    EXPECT_FALSE(way->WokenEachSecondWhilePaused()) << "a paused way without seconds work is woken each second";
  }
}

TEST_F(MainDialogTest, BusyPortFailsStepFourWithBothBoxesAndKillsTheTimers) {
  LoopbackServer holder;
  ASSERT_TRUE(holder.Ok());
  g_networkSettings.orvenaPort = holder.Port();
  dialog_->ShowWindow(SW_SHOW);
  ASSERT_TRUE(dialog_->TimersRunning());
  TickTo(1);
  EXPECT_FALSE(g_startupDone.load());
  EXPECT_FALSE(dialog_->TimersRunning());
  EXPECT_FALSE(IsListening());
  EXPECT_TRUE(dialog_->IsWindowVisible());
  EXPECT_TRUE(BoxShown("TK", "binding TCP port " + std::to_string(holder.Port()) + " : Error WSAEADDRINUSE"));
  EXPECT_TRUE(BoxShown("TK Error", "Failed initializing TCP sockets.\r\nError code = -330"));
  // The step's own result.
  EXPECT_EQ(dialog_->StartupStep4(), -10);
}

TEST_F(MainDialogTest, QuitSequenceClosesThePeerLinksAndTheListeningSocket) {
  TickTo(1);
  ASSERT_TRUE(IsListening());
  LoopbackClient call;
  ASSERT_TRUE(call.Connect(ListeningPort()));
  COrvSok* way = PeerWayObject(0);
  for (int waited = 0; waited < 5000 && !way->IsConnected(); waited += 10) Sleep(10);
  ASSERT_TRUE(way->IsConnected());
  g_networkState = 1;
  g_quitting = true;
  g_quitCountdown = 1;
  dialog_->OneSecondTick();
  EXPECT_FALSE(IsListening());
  EXPECT_EQ(g_networkState.load(), 0u);
  call.Receive(1, 5000);
  EXPECT_TRUE(call.PeerClosed());
}

TEST(CallsignCharacters, OnlyLettersDigitsHyphenAndUnderscorePass) {
  struct Case {
    const char* callsign;
    bool invalid;
  };
  for (const Case& c : {Case{"AB-12_cd", false}, Case{"AB 12", true}, Case{"F.GHIJ", true},
                        Case{"\xC9TE", true}, Case{"", true}}) {
    EXPECT_EQ(HasInvalidCallsignChars(c.callsign), c.invalid) << c.callsign;
  }
}

TEST_F(MainDialogTest, LoginFieldsAreCheckedInOrderAndOnlyTheFirstFailureIsPrinted) {
  struct Case {
    const char* callsign;
    const char* login;
    const char* password;
    int result;
    const char* line;
  };
  const Case cases[] = {
      {"", "", "", 0, "Can not connect you because : Pilot callsign field should be filled."},
      {"AB 12", "", "", 0, "Can not connect you because : Invalid characters in Pilot's callsign."},
      {"AB-12_X", "", "", 0, "Can not connect you because : Your login for this network is empty."},
      {"AB-12_X", "pilot", "", 0, "Can not connect you because : Your password for this network is empty."},
      {"AB-12_X", "pilot", "secret", 1, nullptr},
  };
  CWnd callsignDialog;
  ASSERT_TRUE(callsignDialog.CreateHandle({}));
  CWnd box;
  ASSERT_TRUE(box.CreateHandle({&callsignDialog, kCallsignBoxId}));
  const char* const lines[] = {"Pilot callsign field", "Invalid characters", "login for this network",
                               "password for this network"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.callsign);
    dialog_->Chat()->Output()->SetWindowText("");
    box.SetWindowText(c.callsign);
    {
      std::lock_guard guard(SettingsTextLock());
      CopyToField(g_networkSettings.current.pilotId, c.login);
      CopyToField(g_networkSettings.current.pilotPassword, c.password);
    }
    std::array<char, kCallSignSize> callsign{};
    EXPECT_EQ(CheckLoginFields(&callsignDialog, callsign), c.result);
    EXPECT_STREQ(callsign.data(), c.callsign);
    std::string text;
    for (int waited = 0; waited < 2000; waited += 10) {
      text = dialog_->Chat()->Output()->Text();
      if (c.line == nullptr || text.find(c.line) != std::string::npos) break;
      Sleep(10);
    }
    if (c.line != nullptr) {
      EXPECT_NE(text.find(c.line), std::string::npos) << text;
    }
    int printed = 0;
    for (const char* line : lines) printed += text.find(line) != std::string::npos ? 1 : 0;
    EXPECT_EQ(printed, c.line != nullptr ? 1 : 0) << text;
  }
  std::array<char, kCallSignSize> callsign{};
  EXPECT_EQ(CheckLoginFields(nullptr, callsign), 0);
  {
    std::lock_guard guard(SettingsTextLock());
    g_networkSettings.current = NetworkSlot{};
  }
}
