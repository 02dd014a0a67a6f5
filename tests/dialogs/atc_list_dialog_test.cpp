// The controller list: its lines after a reset and a rebuild, the facility
// and rating names, the limits, the double-click that tunes COM1 or prints an
// ATIS, the keys, and a scripted controller over loopback whose way asks the
// list to rebuild itself.
#include "dialogs/atc_list_dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/base_thread.h"
#include "base/klib_settings.h"
#include "base/trusted_addresses.h"
#include "core/main_dialog_state.h"
#include "dialogs/chat_dialog.h"
#include "net/controller_hooks.h"
#include "net/controller_link.h"
#include "net/controller_state.h"
#include "net/frame_codes.h"
#include "net/listener.h"
#include "net/orv_sok.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "support/klib_fixture.h"
#include "support/session_way.h"
#include "testbed/controller_peer.h"
#include "win/clock.h"
#include "win/dialog_template.h"
#include "win/focus.h"
#include "win/keys.h"
#include "win/listbox_ctrl.h"
#include "win/messages.h"
#include "win/msgbox.h"
#include "win/richedit.h"

namespace {

constexpr int kWaitMs = 20'000;

std::vector<std::string>& Calls() {
  static std::vector<std::string> calls;
  return calls;
}

AtcListActions RecordingActions() {
  AtcListActions a;
  a.requestRadioReselect = [] { Calls().push_back("reselect"); };
  a.tuneCom1 = [](const char* text) {
    Calls().push_back(std::string("tune ") + text);
    return 1;
  };
  return a;
}

// A controller's record as his way writes it.
void PutController(std::size_t way, const char* callsign, std::uint8_t rating, std::uint16_t mhz, std::uint16_t khz,
                   std::uint16_t range = 40, const char* atis = "") {
  WayTableGuard guard;
  WayRecord& record = WayTable()[way];
  record.stateFlags |= kWayAllocated;
  record.peerKind = 'A';
  CopyToField(record.callsign, callsign);
  CopyToField(record.atisText, atis);
  record.controller.rating = rating;
  record.controller.frequencyMhz = mhz;
  record.controller.frequencyKhz = khz;
  record.controller.rangeNm = range;
  for (std::size_t i = 0; i < record.controller.field16.size(); ++i)
    record.controller.field16[i] = static_cast<std::uint8_t>(way + i);
}

// A parent (of any template) that keeps the commands posted to it.
class ParentDialog : public CDialog {
 public:
  ~ParentDialog() override { DestroyWindow(); }
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
    commands.push_back({static_cast<UINT>(wParam), lParam});
    return TRUE;
  }
  std::vector<std::pair<UINT, LPARAM>> commands;
};

// Runs the posted messages of the test thread's windows.
void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

bool PumpUntil(int timeoutMs, const std::function<bool()>& done) {
  for (int waited = 0; waited <= timeoutMs; waited += 5) {
    Pump();
    if (done()) return true;
    Sleep(5);
  }
  Pump();
  return done();
}

class AtcListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetKlibForTest();
    ResetKeyStates();
    InstallDialogTemplates();
    if (!WayTableLock().Initialised()) WayTableLock().Init();
    {
      WayTableGuard guard;
      WayTable() = WayTableArray{};
    }
    Calls().clear();
    SetAtcListActions(RecordingActions());
    SetControllerHooks({});
    g_networkState = 0;
    chat_ = std::make_unique<CCchatDlg>();
    ASSERT_TRUE(chat_->Create(kChatTemplate));
    g_pChatDlg = chat_.get();
    ASSERT_TRUE(parent_.Create(7002, nullptr));
    list_ = std::make_unique<CAtcListDlg>();
    ASSERT_TRUE(list_->Create(kAtcListTemplate, &parent_));
    g_pAtcListDlg = list_.get();
    chat_->Clear();
  }
  void TearDown() override {
    list_.reset();
    g_pChatDlg = nullptr;
    chat_.reset();
    Pump();
    SetAtcListActions(DefaultAtcListActions());
    SetControllerHooks({});
    g_networkState = 0;
    ResetKeyStates();
    WayTableGuard guard;
    WayTable() = WayTableArray{};
  }

  CListBox& List() { return *dynamic_cast<CListBox*>(list_->GetDlgItem(kAtcListBoxId)); }
  std::vector<std::string> Lines() { return List().Items(); }
  void Command(UINT id) { list_->SendMessage(WM_COMMAND, id, 0); }
  void DoubleClick(int index) {
    List().SetCurSel(index);
    List().DoubleClick();
  }
  std::vector<TextRun> Printed() {
    std::vector<TextRun> runs;
    for (TextRun run : chat_->Output()->Runs()) {
      std::erase(run.text, '\r');
      std::erase(run.text, '\n');
      if (!run.text.empty()) runs.push_back(run);
    }
    return runs;
  }
  static COLORREF Colour(int field) { return Klib().Colour(field); }

  std::unique_ptr<CCchatDlg> chat_;
  ParentDialog parent_;
  std::unique_ptr<CAtcListDlg> list_;
};

const std::string kUnicomAfterReset = "UNICOM\t123.000\tUnknown\tS1\t";
const std::string kUnicomAfterRebuild = "UNICOM\t123.000\tUnknown\tS2\t";

TEST(AtcListEntries, FacilitiesComeFromTheCallsignsLastThreeCharacters) {
  struct Case {
    const char* callsign;
    const char* facility;
  };
  const Case cases[] = {
      {"LFPG_TWR", "TWR"}, {"LFPG_DEP", "APP/DEP"}, {"LFPG_APP", "APP/DEP"}, {"LFPG_OBS", "Unknown"},
      {"LFFF_CTR", "CTR"}, {"EGTT_FIR", "FIR"},     {"LFPG_GND", "GND"},     {"LFPG_CLR", "CLR"},
      {"LFMM_FSS", "FSS"}, {"TW", "Unknown"},       {"", "Unknown"},         {"TWR", "TWR"},
      {"LFPG_twr", "Unknown"}, {"TWR_X", "Unknown"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(AtcFacilityName(AtcFacilityOf(c.callsign)), c.facility) << c.callsign;
  }
  EXPECT_STREQ(AtcFacilityName(8), "") << "the two entries past the table are never read";
  EXPECT_STREQ(AtcFacilityName(0xFFFFFFFF), "");
}

TEST(AtcListEntries, RatingNamesAreBoundedByTheirTable) {
  struct Case {
    std::uint32_t rating;
    const char* rebuild;
    const char* reset;
  };
  const Case cases[] = {{0, "OBS", ""},  {1, "S1", ""},   {2, "S2", "S1"}, {4, "C1", "S3"}, {10, "SUP", "I3"},
                        {11, "ADM", ""}, {12, "", ""},     {13, "", ""},    {255, "", ""},   {0xFFFFFFFF, "", ""}};
  for (const Case& c : cases) {
    EXPECT_STREQ(AtcRatingName(c.rating, AtcRatingTable::kRebuild), c.rebuild) << c.rating;
    EXPECT_STREQ(AtcRatingName(c.rating, AtcRatingTable::kReset), c.reset) << c.rating;
  }
}

TEST(AtcListEntries, ALineIsTabSeparatedWithTheFrequencyInThousandths) {
  AtcListEntry entry;
  CopyToField(entry.callsign, "EDDF_APP");
  CopyToField(entry.name, "Langen %s");
  entry.frequencyMhz = 120.8;
  entry.facility = 5;
  entry.rating = 7;
  EXPECT_EQ(AtcListLine(entry, AtcRatingTable::kRebuild), "EDDF_APP\t120.800\tAPP/DEP\tI1\tLangen %s");
  entry.rating = 99;
  entry.facility = 9;
  EXPECT_EQ(AtcListLine(entry, AtcRatingTable::kRebuild), "EDDF_APP\t120.800\t\t\tLangen %s");
  EXPECT_EQ(AtcListLine(DefaultUnicomEntry(), AtcRatingTable::kReset), kUnicomAfterReset);
  EXPECT_EQ(AtcLineCallsign("EDDF_APP\t120.800"), "EDDF_APP");
  EXPECT_EQ(AtcLineCallsign("\t120.800"), "");
  EXPECT_EQ(AtcLineCallsign("NOTAB"), "NOTAB");
}

TEST_F(AtcListTest, TheListStartsEmptyWithItsTabStops) {
  EXPECT_TRUE(Lines().empty());
  EXPECT_EQ(list_->HeldCount(), 0u);
  EXPECT_EQ(List().TabStops(), (std::vector<int>{50, 90, 130, 180}));
  EXPECT_FALSE(list_->IsWindowVisible());
}

TEST_F(AtcListTest, AResetAndARebuildWithoutControllersKeepUnicomAlone) {
  Command(kAtcListResetCommand);
  EXPECT_EQ(Lines(), (std::vector<std::string>{kUnicomAfterReset}));
  EXPECT_EQ(list_->HeldCount(), 1u);
  Command(kAtcListRebuildCommand);
  EXPECT_EQ(Lines(), (std::vector<std::string>{kUnicomAfterReset}));
  EXPECT_EQ(list_->HeldCount(), 1u);
  const AtcListEntry& unicom = list_->HeldEntry(0);
  EXPECT_STREQ(unicom.callsign.data(), "UNICOM");
  EXPECT_EQ(unicom.rangeNm, 400u);
  EXPECT_EQ(unicom.rating, 2u);
}

TEST_F(AtcListTest, UnicomIsAddedOnceAndAHeldStationOfThatNameLendsItsName) {
  // A controller who calls himself unicom is held under that name after a rebuild.
  PutController(0, "unicom", 3, 122, 800);
  Command(kAtcListRebuildCommand);
  ASSERT_EQ(list_->HeldCount(), 2u);
  list_->AddUnicom();
  list_->AddUnicom();
  EXPECT_EQ(Lines().size(), 2u) << "no second UNICOM line";
  EXPECT_EQ(list_->HeldCount(), 2u);
  EXPECT_EQ(list_->HeldEntry(0).taken, 1u) << "the first of that name, without regard to case, is taken";
  EXPECT_EQ(list_->HeldEntry(1).taken, 0u);
}

TEST_F(AtcListTest, ARebuildListsTheLinkedControllersAfterUnicom) {
  PutController(3, "LFPG_TWR", 4, 118, 250, 40);
  PutController(7, "LFPG_DEP", 5, 124, 350, 60);
  // Neither a pilot, nor a free record, nor an observer is listed.
  {
    WayTableGuard guard;
    WayRecord& pilot = WayTable()[1];
    pilot.stateFlags = kWayAllocated;
    pilot.peerKind = 'P';
    CopyToField(pilot.callsign, "KLM123");
  }
  PutController(2, "LFPG_OBS", 0, 121, 0);
  PutController(9, "LFFF_CTR", 6, 128, 0);
  {
    WayTableGuard guard;
    WayTable()[9].stateFlags &= ~kWayAllocated;
  }
  Command(kAtcListResetCommand);
  Command(kAtcListRebuildCommand);
  EXPECT_EQ(Lines(), (std::vector<std::string>{kUnicomAfterRebuild, "LFPG_TWR\t118.250\tTWR\tC1\t",
                                               "LFPG_DEP\t124.350\tAPP/DEP\tC2\t"}));
  ASSERT_EQ(list_->HeldCount(), 3u);
  const AtcListEntry& tower = list_->HeldEntry(1);
  EXPECT_EQ(tower.wayIndex, 3u);
  EXPECT_EQ(tower.rangeNm, 40u);
  EXPECT_EQ(tower.field16[0], 3);
  EXPECT_EQ(tower.field16[15], 18);
  EXPECT_EQ(list_->HeldEntry(2).wayIndex, 7u);
  EXPECT_EQ(list_->HeldEntry(2).rangeNm, 60u);
}

TEST_F(AtcListTest, ARatingPastTheTableShowsAnEmptyName) {
  PutController(0, "LFPG_TWR", 200, 118, 250);
  Command(kAtcListRebuildCommand);
  EXPECT_EQ(Lines(), (std::vector<std::string>{kUnicomAfterRebuild, "LFPG_TWR\t118.250\tTWR\t\t"}));
}

TEST_F(AtcListTest, ARebuildTakesTwentyControllersAtMost) {
  for (std::size_t way = 0; way < 21; ++way) {
    PutController(way, ("CTL" + std::to_string(way) + "_TWR").c_str(), 3, 118, static_cast<std::uint16_t>(way));
  }
  Command(kAtcListRebuildCommand);
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 21u);
  EXPECT_EQ(lines.front(), kUnicomAfterRebuild);
  EXPECT_EQ(lines.back(), "CTL19_TWR\t118.019\tTWR\tS3\t");
  EXPECT_EQ(list_->HeldCount(), 21u);
  for (const std::string& line : lines) EXPECT_EQ(line.find("CTL20_"), std::string::npos);
}

TEST_F(AtcListTest, OnlyTheLinesTheListTookAreHeld) {
  for (std::size_t way = 0; way < 4; ++way) {
    PutController(way, ("CTL" + std::to_string(way) + "_TWR").c_str(), 3, 118, 100);
  }
  List().SetItemLimit(3);
  Command(kAtcListRebuildCommand);
  EXPECT_EQ(Lines().size(), 3u);
  ASSERT_EQ(list_->HeldCount(), 3u);
  EXPECT_STREQ(list_->HeldEntry(2).callsign.data(), "CTL1_TWR");
  // A list that takes nothing holds nothing, not even UNICOM.
  List().SetItemLimit(0);
  Command(kAtcListResetCommand);
  EXPECT_TRUE(Lines().empty());
  EXPECT_EQ(list_->HeldCount(), 0u);
}

TEST_F(AtcListTest, ADoubleClickTunesCom1AndHidesTheListWhileConnected) {
  struct Case {
    int networkState;
    bool hidden;
  };
  for (const Case c : {Case{0, false}, Case{2, true}}) {
    SCOPED_TRACE(c.networkState);
    g_networkState = c.networkState;
    Calls().clear();
    chat_->Clear();
    list_->ShowWindow(SW_SHOW);
    Command(kAtcListResetCommand);
    DoubleClick(0);
    EXPECT_EQ(Printed(), (std::vector<TextRun>{{"COM1 -> 123.000 Mhz", Colour(kColourNormal), 0}}));
    EXPECT_EQ(Calls(), (std::vector<std::string>{"reselect", "tune 123.000"}));
    EXPECT_EQ(SelectedControllerCallsign(), "UNICOM");
    EXPECT_EQ(list_->IsWindowVisible() == FALSE, c.hidden);
  }
}

TEST_F(AtcListTest, EnterActsAsTheDoubleClickOnTheSelection) {
  PutController(4, "EGLL_APP", 5, 119, 725);
  Command(kAtcListRebuildCommand);
  List().SetCurSel(1);
  Command(13);
  EXPECT_EQ(Printed(), (std::vector<TextRun>{{"COM1 -> 119.725 Mhz", Colour(kColourNormal), 0}}));
  EXPECT_EQ(SelectedControllerCallsign(), "EGLL_APP");
  // Without a selection nothing happens.
  Calls().clear();
  chat_->Clear();
  List().SetCurSel(-1);
  Command(13);
  EXPECT_TRUE(Printed().empty());
  EXPECT_TRUE(Calls().empty());
}

TEST_F(AtcListTest, ALineWhoseStationIsNotHeldSetsOffNothing) {
  Command(kAtcListResetCommand);
  List().AddString("GHOST_TWR\t120.000\tTWR\tS1\t");
  List().AddString("\t120.000");
  DoubleClick(0);
  Calls().clear();
  chat_->Clear();
  DoubleClick(2);
  EXPECT_EQ(SelectedControllerCallsign(), "UNICOM") << "an empty callsign is not taken";
  DoubleClick(1);
  EXPECT_EQ(SelectedControllerCallsign(), "GHOST_TWR") << "the callsign is kept before the look-up";
  EXPECT_TRUE(Printed().empty());
  EXPECT_TRUE(Calls().empty());
}

TEST_F(AtcListTest, ShiftAndADoubleClickPrintTheControllersAtis) {
  PutController(5, "LFPG_TWR", 4, 118, 250, 40, "Information B, runway 26L %s");
  Command(kAtcListRebuildCommand);
  SetKeyState(VK_SHIFT, true);
  DoubleClick(1);
  EXPECT_EQ(Printed(), (std::vector<TextRun>{{"Atis of ", Colour(kColourNormal), 0},
                                             {"LFPG_TWR", Colour(kColour25), CFE_BOLD},
                                             {" : Information B, runway 26L %s", Colour(kColour25), 0}}));
  EXPECT_TRUE(Calls().empty()) << "the radios are left alone";
  // A double-click on UNICOM has no ATIS to print.
  chat_->Clear();
  DoubleClick(0);
  EXPECT_TRUE(Printed().empty());
}

TEST_F(AtcListTest, TheAtisIsPrintedOnlyWhileTheWayStillHoldsThatController) {
  PutController(5, "LFPG_TWR", 4, 118, 250, 40, "Information B");
  Command(kAtcListRebuildCommand);
  SetKeyState(VK_SHIFT, true);
  {
    // He left and another controller took the way before the list was rebuilt.
    WayTableGuard guard;
    ClearWayRecord(5, "TEST");
  }
  DoubleClick(1);
  EXPECT_TRUE(Printed().empty());
  PutController(5, "EGLL_TWR", 4, 118, 500, 40, "Information Z");
  DoubleClick(1);
  EXPECT_TRUE(Printed().empty());
}

TEST_F(AtcListTest, TheOtherCommandsAndKeys) {
  PutController(0, "LFPG_TWR", 4, 118, 250);
  Command(kAtcListRebuildCommand);
  const std::vector<std::string> before = Lines();
  PutController(1, "LFPG_GND", 4, 121, 800);
  Command(kAtcListSelectComCommand);
  EXPECT_EQ(Lines(), before) << "the own radios changing leaves the list as it is";
  // TAB moves the focus along the window's tab stops, the list box its only one:
  // from a control of another window, and round to itself, either way.
  const HWND input = chat_->GetDlgItem(kChatInputId)->m_hWnd;
  for (const bool shift : {false, true}) {
    SCOPED_TRACE(shift ? "SHIFT+TAB" : "TAB");
    SetKeyState(VK_SHIFT, shift);
    SetFocus(input);
    Command(9);
    EXPECT_EQ(GetFocus(), List().m_hWnd);
    Command(9);
    EXPECT_EQ(GetFocus(), List().m_hWnd);
  }
  SetKeyState(VK_SHIFT, false);
  EXPECT_EQ(Lines(), before);
  list_->ShowWindow(SW_SHOW);
  Command(27);
  EXPECT_FALSE(list_->IsWindowVisible()) << "ESC closes the window";

  // The keys pressed in the list reach the window as their codes.
  SetFocus(input);
  MSG tab{List().m_hWnd, WM_KEYDOWN, VK_TAB, 0};
  EXPECT_TRUE(list_->PreTranslateMessage(&tab));
  EXPECT_EQ(GetFocus(), List().m_hWnd);
  list_->ShowWindow(SW_SHOW);
  MSG escape{List().m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0};
  EXPECT_TRUE(list_->PreTranslateMessage(&escape));
  EXPECT_FALSE(list_->IsWindowVisible());
  MSG letter{List().m_hWnd, WM_KEYDOWN, 'A', 0};
  EXPECT_FALSE(list_->PreTranslateMessage(&letter)) << "other keys are the list's own";
}

TEST_F(AtcListTest, ShowingAndHidingTellTheParent) {
  list_->ShowWindow(SW_SHOW);
  list_->ShowWindow(SW_HIDE);
  Pump();
  EXPECT_EQ(parent_.commands, (std::vector<std::pair<UINT, LPARAM>>{{kAtcListShownCommand, 1}, {kAtcListShownCommand, 0}}));
}

TEST_F(AtcListTest, TheControllerHookPostsARebuildAndIsRemovedWithTheList) {
  PutController(0, "LFPG_TWR", 4, 118, 250);
  Command(kAtcListResetCommand);
  const auto hooks = CurrentControllerHooks();
  ASSERT_TRUE(hooks->rebuildControllerList);
  hooks->rebuildControllerList();
  EXPECT_EQ(Lines().size(), 1u) << "posted, not run on the caller's thread";
  Pump();
  EXPECT_EQ(Lines().size(), 2u);
  list_.reset();
  EXPECT_FALSE(CurrentControllerHooks()->rebuildControllerList);
}

// ---- A scripted controller over loopback ----

class AtcListLoopbackTest : public KlibFixture {
 protected:
  void SetUp() override {
    KlibFixture::SetUp();
    SetMessageBoxEcho(false);
    COrvSok::SetPauseFunction([](DWORD) {});
    ResetKeyStates();
    InstallDialogTemplates();
    WayTableLock().Init();
    for (WayRecord& record : WayTable()) record = WayRecord{};
    ResetControllerState();
    g_networkState = 2;
    SetControllerHooks({});
    SetAtcListActions(RecordingActions());
    chat_ = std::make_unique<CCchatDlg>();
    ASSERT_TRUE(chat_->Create(kChatTemplate));
    g_pChatDlg = chat_.get();
    list_ = std::make_unique<CAtcListDlg>();
    ASSERT_TRUE(list_->Create(kAtcListTemplate));
    list_->SendMessage(WM_COMMAND, kAtcListResetCommand, 0);
    way_ = std::make_unique<SessionWay>(0, "[LIST WAY]");
    ASSERT_TRUE(way_->Start());
    ASSERT_EQ(CreateListeningSocket(0), 0);
    listener_ = std::make_unique<Listener>();
    ASSERT_EQ(listener_->StartThread(1, 64 * 1024), 1);
    AddTrustedAddressText("127.0.0.1");
  }
  void TearDown() override {
    peer_.reset();
    CloseListeningSocket();
    listener_.reset();
    way_.reset();
    list_.reset();
    g_pChatDlg = nullptr;
    chat_.reset();
    Pump();
    SetAtcListActions(DefaultAtcListActions());
    SetControllerHooks({});
    ResetControllerState();
    g_networkState = 0;
    COrvSok::SetPauseFunction(nullptr);
    KlibFixture::TearDown();
  }

  std::vector<std::string> Lines() {
    return dynamic_cast<CListBox*>(list_->GetDlgItem(kAtcListBoxId))->Items();
  }

  std::unique_ptr<CCchatDlg> chat_;
  std::unique_ptr<CAtcListDlg> list_;
  std::unique_ptr<SessionWay> way_;
  std::unique_ptr<Listener> listener_;
  std::unique_ptr<ControllerPeer> peer_;
};

TEST_F(AtcListLoopbackTest, AControllerWhoLogsInIsListedAndHisAtisShownUntilHeLeaves) {
  ControllerPeerScript script;
  script.callsign = "LFPG_TWR";
  script.answerLogin = false;
  script.atis = "Information A";
  peer_ = std::make_unique<ControllerPeer>(script);
  ASSERT_TRUE(peer_->Connect(ListeningPort()));
  ASSERT_TRUE(PumpUntil(kWaitMs, [&] { return way_->IsConnected(); }));
  ASSERT_TRUE(peer_->SendLogin());
  const std::vector<std::string> listed = {kUnicomAfterRebuild, "LFPG_TWR\t118.250\tTWR\tC1\t"};
  ASSERT_TRUE(PumpUntil(kWaitMs, [&] { return Lines() == listed; })) << Lines().size();

  ASSERT_TRUE(peer_->SendAtis("Information C, runway 09"));
  ASSERT_TRUE(PumpUntil(kWaitMs, [&] {
    WayTableGuard guard;
    return std::string(WayTable()[0].atisText.data()) == "Information C, runway 09";
  }));
  chat_->Clear();
  SetKeyState(VK_SHIFT, true);
  auto* box = dynamic_cast<CListBox*>(list_->GetDlgItem(kAtcListBoxId));
  box->SetCurSel(1);
  box->DoubleClick();
  std::string printed;
  for (const TextRun& run : chat_->Output()->Runs()) printed += run.text;
  EXPECT_NE(printed.find("Atis of LFPG_TWR : Information C, runway 09"), std::string::npos) << printed;

  ASSERT_TRUE(peer_->SendLogout());
  ASSERT_TRUE(PumpUntil(kWaitMs, [&] { return Lines() == std::vector<std::string>{kUnicomAfterReset}; }))
      << Lines().size();
}

}  // namespace
