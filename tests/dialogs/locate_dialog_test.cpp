// Locate and track: which pilots the list shows and how, the double-click that
// tracks one, "Cancel tracking", and the refresh that drops a tracked pilot
// who drifted away or left his record.
#include "dialogs/locate_dialog.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/app_paths.h"
#include "core/locate_hooks.h"
#include "core/settings.h"
#include "core/settings_keys.h"
#include "net/orv_sok.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "support/child_process.h"
#include "support/klib_fixture.h"
#include "support/session_way.h"
#include "support/wait_until.h"
#include "win/control_base.h"
#include "win/dialog_template.h"
#include "win/focus.h"
#include "win/keys.h"
#include "win/listview_ctrl.h"
#include "win/messages.h"

namespace {

struct SentTrack {
  std::int32_t way;
  std::string tag;
  bool operator==(const SentTrack&) const = default;
};

std::vector<SentTrack>& Sent() {
  static std::vector<SentTrack> sent;
  return sent;
}
// What the recording sender answers: nonzero, the command went out.
int& SendResult() {
  static int result = 1;
  return result;
}

LocateActions RecordingActions() {
  LocateActions actions;
  actions.sendTrackPilot = [](std::int32_t way, const char* tag) {
    Sent().push_back({way, tag});
    return SendResult();
  };
  return actions;
}

class ParentDialog : public CDialog {
 public:
  ~ParentDialog() override { DestroyWindow(); }
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
    commands.emplace_back(static_cast<UINT>(wParam), lParam);
    return TRUE;
  }
  std::vector<std::pair<UINT, LPARAM>> commands;
};

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

bool PumpUntil(int timeoutMs, const std::function<bool()>& done) {
  return WaitUntil(timeoutMs, [&] {
    Pump();
    return done();
  });
}

struct PilotRecord {
  const char* callsign = "DEMO02";
  double metres = 5'000.0;
  double feet = 3'000.0;
  double bearing = 45.0;
  char kind = 'P';
  std::uint32_t extraFlags = 0;
  bool linked = true;
  const char* title = "Cessna Skyhawk 172SP";
};

constexpr std::size_t kWays = 4;

class LocateDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetKlibForTest();
    ResetKeyStates();
    InstallDialogTemplates();
    savedSettingsFile_ = g_appPaths().settingsFile;
    g_appPaths().settingsFile = folder_.Path() + "/Tavelkor.ini";
    if (!WayTableLock().Initialised()) WayTableLock().Init();
    {
      WayTableGuard guard;
      WayTable() = WayTableArray{};
    }
    for (std::size_t i = 0; i < kWays; ++i) {
      ways_[i] = std::make_unique<StartableWay>(static_cast<std::int32_t>(i), "[LOCATE WAY]");
    }
    Sent().clear();
    SendResult() = 1;
    SetLocateActions(RecordingActions());
    ASSERT_TRUE(parent_.Create(7002, nullptr));
    locate_ = std::make_unique<CLocateAndTrackPlane>();
    ASSERT_TRUE(locate_->Create(kLocateTemplate, &parent_));
    g_pLocateDlg = locate_.get();
  }
  void TearDown() override {
    // No tracking is left over for the next test.
    if (TrackedPilotWay() != kNotTracked) locate_->OnCancelTracking();
    locate_.reset();
    Pump();
    SetLocateActions(DefaultLocateActions());
    {
      WayTableGuard guard;
      WayTable() = WayTableArray{};
    }
    g_appPaths().settingsFile = savedSettingsFile_;
  }

  // A pilot in the first free record, as his way writes him; his way index.
  std::int32_t Put(const PilotRecord& pilot) {
    WayTableGuard guard;
    const std::int32_t way = AllocatePeerWay(pilot.callsign);
    EXPECT_GE(way, 0);
    EXPECT_LT(way, static_cast<std::int32_t>(kWays));
    WayRecord& record = WayTable()[static_cast<std::size_t>(way)];
    record.way = ways_[static_cast<std::size_t>(way)].get();
    record.way->SetLoggedInBits(pilot.linked ? kWayLoggedIn : 0);
    record.peerKind = pilot.kind;
    record.stateFlags |= pilot.extraFlags;
    record.distanceMetres = pilot.metres;
    record.position.altitude = pilot.feet;
    record.bearingDegrees = pilot.bearing;
    CopyToField(record.announced.title, pilot.title);
    CopyToField(record.current.title, "General Aviation\\Cessna 172SP\\Cessna_172SP.acf");
    return way;
  }
  void MoveTo(std::int32_t way, double metres) {
    WayTableGuard guard;
    WayTable()[static_cast<std::size_t>(way)].distanceMetres = metres;
  }
  void Leave(std::int32_t way) { ClearWayRecord(way, "TEST"); }

  CListCtrl& List() { return *dynamic_cast<CListCtrl*>(locate_->GetDlgItem(kLocateListId)); }
  std::vector<std::string> Rows() { return List().Rows(); }
  std::string Tracked() {
    std::string text;
    locate_->GetDlgItem(kLocateTrackedId)->GetWindowText(text);
    return text;
  }
  void DoubleClick(int row) { List().SendMessage(ControlDoubleClickMessage(), static_cast<WPARAM>(row), 0); }
  void Command(UINT id) { locate_->SendMessage(WM_COMMAND, id, 0); }
  // Listed and double-clicked: the tracked pilot.
  std::int32_t Track(const PilotRecord& pilot) {
    const std::int32_t way = Put(pilot);
    locate_->RefreshList();
    for (int row = 0; row < List().GetItemCount(); ++row) {
      if (static_cast<std::int32_t>(List().GetItemData(row)) == way) DoubleClick(row);
    }
    EXPECT_EQ(TrackedPilotWay(), way);
    Sent().clear();
    return way;
  }

  TempFolder folder_;
  std::string savedSettingsFile_;
  std::array<std::unique_ptr<StartableWay>, kWays> ways_;
  ParentDialog parent_;
  std::unique_ptr<CLocateAndTrackPlane> locate_;
};

TEST(LocateTexts, DistanceAndBearingColumns) {
  struct Distance {
    std::uint32_t metres;
    const char* text;
  };
  const Distance distances[] = {{0, "0m"},       {1'000, "1000m"}, {1'851, "1851m"}, {1'852, "1.0"},
                                {5'000, "2.7"},  {129'639, "70.0"}, {4'294'967'295U, "2319096.8"}};
  for (const Distance& d : distances) EXPECT_EQ(LocateDistanceText(d.metres), d.text) << d.metres;

  struct Bearing {
    double degrees;
    const char* text;
  };
  // One turn is added or taken away, once.
  const Bearing bearings[] = {{45.9, "45\xB0"},   {360.0, "360\xB0"}, {370.5, "10\xB0"}, {-10.0, "350\xB0"},
                              {-0.5, "359\xB0"}, {725.0, "365\xB0"}, {0.0, "0\xB0"}};
  for (const Bearing& b : bearings) EXPECT_EQ(LocateBearingText(b.degrees), b.text) << b.degrees;

  EXPECT_EQ(LocateMetres(-3.0), 0u);
  EXPECT_EQ(LocateMetres(129'639.9), 129'639u);
  EXPECT_EQ(LocateMetres(1.0e12), 4'294'967'295U);
}

TEST_F(LocateDialogTest, TheListHasItsColumnsAndColours) {
  EXPECT_EQ(List().ColumnTitles(), (std::vector<std::string>{"Callsign", "Dist.", "Alt.", "To him"}));
  const std::array<int, 4> widths = {95, 55, 49, 55};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(List().GetColumnWidth(i), widths[static_cast<std::size_t>(i)]);
  EXPECT_EQ(List().GetBkColor(), 0x2A1817u);
  EXPECT_EQ(List().GetTextBkColor(), 0x2A1817u);
  EXPECT_NE(List().GetExtendedStyle() & LVS_EX_FULLROWSELECT, 0u);
  std::string caption;
  locate_->GetWindowText(caption);
  EXPECT_EQ(caption, "Visual Locate and Track a plane ...");
}

TEST_F(LocateDialogTest, OnlyLinkedVisiblePilotsWithin70NauticalMilesAreListed) {
  struct Case {
    PilotRecord pilot;
    bool listed;
  };
  const Case cases[] = {
      {{.callsign = "NEAR", .metres = 1'000.0, .feet = 1'500.4, .bearing = 370.0}, true},
      {{.callsign = "EDGE", .metres = 129'639.0}, true},
      {{.callsign = "AT70", .metres = 129'640.0}, false},
      {{.callsign = "HIDDEN", .extraFlags = kWayInvisible}, false},
      {{.callsign = "ATC", .kind = 'A'}, false},
      {{.callsign = "NOLINK", .linked = false}, false},
  };
  // Four ways at a time.
  for (std::size_t first = 0; first < std::size(cases); first += kWays) {
    {
      WayTableGuard guard;
      for (std::size_t i = 0; i < kWays; ++i) ClearWayRecord(static_cast<std::int32_t>(i), "TEST");
    }
    std::vector<std::pair<std::int32_t, std::string>> wanted;
    for (std::size_t i = first; i < std::min(first + kWays, std::size(cases)); ++i) {
      const std::int32_t way = Put(cases[i].pilot);
      if (cases[i].listed) wanted.emplace_back(way, cases[i].pilot.callsign);
    }
    locate_->RefreshList();
    ASSERT_EQ(List().GetItemCount(), static_cast<int>(wanted.size())) << "cases from " << first;
    for (std::size_t row = 0; row < wanted.size(); ++row) {
      EXPECT_EQ(List().GetItemText(static_cast<int>(row), 0), wanted[row].second);
      EXPECT_EQ(static_cast<std::int32_t>(List().GetItemData(static_cast<int>(row))), wanted[row].first);
    }
  }
}

TEST_F(LocateDialogTest, ARowShowsCallsignDistanceAltitudeAndBearing) {
  Put({.callsign = "NEAR", .metres = 1'000.0, .feet = 1'500.7, .bearing = 370.0});
  Put({.callsign = "FAR", .metres = 5'000.0, .feet = 3'000.0, .bearing = -90.0});
  locate_->RefreshList();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"NEAR\t1000m\t1500\t10\xB0", "FAR\t2.7\t3000\t270\xB0"}));
  // A refresh starts again from the table.
  Leave(0);
  locate_->RefreshList();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"FAR\t2.7\t3000\t270\xB0"}));
}

TEST_F(LocateDialogTest, ADoubleClickTracksThePilotAndShowsHim) {
  Put({.callsign = "FIRST"});
  const std::int32_t way = Put({.callsign = "DEMO02", .title = "Cessna Skyhawk 172SP"});
  locate_->RefreshList();
  DoubleClick(1);
  EXPECT_EQ(Sent(), (std::vector<SentTrack>{{way, "ODBLOKA"}}));
  EXPECT_EQ(TrackedPilotWay(), way);
  EXPECT_EQ(Tracked(), "DEMO02\r\nCessna Skyhawk 172SP");

  // Cancel tracking: the plug-in is told -1 and the window stays.
  locate_->ShowWindow(SW_SHOW);
  Sent().clear();
  Command(kLocateCancelTrackingId);
  EXPECT_EQ(Sent(), (std::vector<SentTrack>{{kNotTracked, "ODBLOKC"}}));
  EXPECT_EQ(TrackedPilotWay(), kNotTracked);
  EXPECT_EQ(Tracked(), "");
  EXPECT_TRUE(locate_->IsWindowVisible());

  // With nothing tracked the same button closes the window, telling the plug-in nothing.
  Sent().clear();
  Command(kLocateCancelTrackingId);
  EXPECT_TRUE(Sent().empty());
  EXPECT_FALSE(locate_->IsWindowVisible());
}

TEST_F(LocateDialogTest, ATrackIsKeptOnlyWhenTheCommandWentOut) {
  const std::int32_t first = Track({.callsign = "FIRST"});
  Put({.callsign = "SECOND"});
  locate_->RefreshList();
  SendResult() = 0;
  DoubleClick(1);
  EXPECT_EQ(Sent(), (std::vector<SentTrack>{{1, "ODBLOKA"}}));
  EXPECT_EQ(TrackedPilotWay(), first) << "the plug-in still tracks the first pilot";
  EXPECT_EQ(Tracked(), "FIRST\r\nCessna Skyhawk 172SP");
}

TEST_F(LocateDialogTest, ARowWhosePilotLeftTracksNobody) {
  Put({.callsign = "GONE"});
  locate_->RefreshList();
  Leave(0);
  Put({.callsign = "OTHER"});  // the same record, someone else
  DoubleClick(0);
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(TrackedPilotWay(), kNotTracked);
  EXPECT_EQ(Tracked(), "");
}

TEST_F(LocateDialogTest, ATrackedPilotIsDroppedAtTheRangeEdgeOnce) {
  const std::int32_t way = Track({.callsign = "DEMO02", .metres = 100'000.0});
  struct Step {
    double metres;
    std::int32_t tracked;
    std::vector<SentTrack> sent;
  };
  const Step steps[] = {
      {129'640.0, way, {}},  // no longer listed, still tracked
      {130'000.0, way, {}},
      {130'639.9, way, {}},
      {130'640.0, kNotTracked, {{kNotTracked, "ODBLOKB"}}},
      {200'000.0, kNotTracked, {}},  // told once
  };
  for (const Step& step : steps) {
    Sent().clear();
    MoveTo(way, step.metres);
    locate_->RefreshList();
    EXPECT_EQ(List().GetItemCount(), 0) << step.metres;
    EXPECT_EQ(TrackedPilotWay(), step.tracked) << step.metres;
    EXPECT_EQ(Sent(), step.sent) << step.metres;
  }
  EXPECT_EQ(Tracked(), "") << "the window no longer names him";
}

TEST_F(LocateDialogTest, ATrackedPilotWhoLeftHisRecordIsDropped) {
  const std::int32_t way = Track({.callsign = "DEMO02"});
  Leave(way);
  Put({.callsign = "NEWCOMER"});  // the same record, another pilot at the same place
  locate_->RefreshList();
  EXPECT_EQ(Sent(), (std::vector<SentTrack>{{kNotTracked, "ODBLOKB"}}));
  EXPECT_EQ(TrackedPilotWay(), kNotTracked);
  EXPECT_EQ(Rows().size(), 1u);
}

TEST_F(LocateDialogTest, TheFineTuningButtonsSendNothing) {
  Track({.callsign = "DEMO02"});
  for (const int id : {7142, 7143, 7144, 7145, 7146, 7147, 7148, 7150}) {
    ASSERT_NE(locate_->GetDlgItem(id), nullptr) << id;
    Command(static_cast<UINT>(id));
  }
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(TrackedPilotWay(), 0);
}

TEST_F(LocateDialogTest, ShowingAndHidingLightsTheMainButton) {
  locate_->ShowWindow(SW_SHOW);
  locate_->ShowWindow(SW_HIDE);
  Pump();
  EXPECT_EQ(parent_.commands,
            (std::vector<std::pair<UINT, LPARAM>>{{kLocateShownCommand, 1}, {kLocateShownCommand, 0}}));
}

TEST_F(LocateDialogTest, AWayAsksForARefreshFromItsOwnThread) {
  locate_->ShowWindow(SW_SHOW);
  Put({.callsign = "DEMO02"});
  locate_->RefreshList();
  ASSERT_EQ(List().GetItemCount(), 1);
  Leave(0);
  std::thread way([] { RequestLocateRefresh(); });
  way.join();
  EXPECT_EQ(List().GetItemCount(), 1) << "the list changes on its own thread only";
  EXPECT_TRUE(PumpUntil(20'000, [&] { return List().GetItemCount() == 0; }));

  // The main dialog's caller on another thread is posted as well.
  Put({.callsign = "BACK"});
  std::thread caller([&] { locate_->RefreshList(); });
  caller.join();
  EXPECT_EQ(List().GetItemCount(), 0);
  EXPECT_TRUE(PumpUntil(20'000, [&] { return List().GetItemCount() == 1; }));
  Leave(0);
  locate_->RefreshList();

  // A hidden window is not rebuilt.
  Put({.callsign = "LATER"});
  locate_->ShowWindow(SW_HIDE);
  RequestLocateRefresh();
  Pump();
  EXPECT_EQ(List().GetItemCount(), 0);

  // Gone, the window is asked nothing.
  locate_.reset();
  RequestLocateRefresh();
  Pump();
  locate_ = std::make_unique<CLocateAndTrackPlane>();
  ASSERT_TRUE(locate_->Create(kLocateTemplate, &parent_));
}

TEST_F(LocateDialogTest, TabMovesAlongTheTabStopsEitherWay) {
  locate_->ShowWindow(SW_SHOW);
  const auto at = [&](int id) { return locate_->GetDlgItem(id)->m_hWnd; };
  SetFocus(at(kLocateListId));
  MSG tab{at(kLocateListId), WM_KEYDOWN, VK_TAB, 0};
  EXPECT_TRUE(locate_->PreTranslateMessage(&tab));
  EXPECT_EQ(GetFocus(), at(7142));
  SetKeyState(VK_SHIFT, true);
  Command(9);
  EXPECT_EQ(GetFocus(), at(kLocateListId));
  Command(9);
  EXPECT_EQ(GetFocus(), at(kLocateCancelTrackingId)) << "round to the last stop";
  SetKeyState(VK_SHIFT, false);
  MSG letter{at(kLocateListId), WM_KEYDOWN, 'A', 0};
  EXPECT_FALSE(locate_->PreTranslateMessage(&letter)) << "other keys are the list's own";
  EXPECT_TRUE(Sent().empty());
}

TEST_F(LocateDialogTest, ThePositionIsKeptAndRestored) {
  locate_->ShowWindow(SW_SHOW);
  locate_->MoveWindow(40, 30, 290, 300, TRUE);
  EXPECT_EQ(ReadWindowPosition(settings_key::kLocatePosition), (WindowPosition{40, 30, 330, 330}));
  locate_.reset();
  locate_ = std::make_unique<CLocateAndTrackPlane>();
  ASSERT_TRUE(locate_->Create(kLocateTemplate, &parent_));
  RECT window{};
  locate_->GetWindowRect(&window);
  EXPECT_EQ(window.left, 40);
  EXPECT_EQ(window.top, 30);

  // Off the screen: centred.
  ASSERT_TRUE(WriteWindowPosition(settings_key::kLocatePosition, {-500, -400, -10, -10}));
  locate_.reset();
  locate_ = std::make_unique<CLocateAndTrackPlane>();
  ASSERT_TRUE(locate_->Create(kLocateTemplate, &parent_));
  locate_->GetWindowRect(&window);
  EXPECT_GT(window.left, 0);
  EXPECT_GT(window.top, 0);
}

}  // namespace
