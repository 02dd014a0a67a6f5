// The cross-simulator offsets window: its tab control, the box when the
// simulator is not known, the pair picked through the tabs and its texts, the
// step buttons with SHIFT and CTRL, Clear, Load defaults, Cancel, Save on a
// real file, and Forward without a pilot.
#include "dialogs/sim2sim_dialog.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/cross_sim_offsets.h"
#include "core/cross_sim_offsets_file.h"
#include "core/sim_family.h"
#include "net/orv_sok.h"
#include "net/peer_packets.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "sim/ai_traffic.h"
#include "support/child_process.h"
#include "support/klib_fixture.h"
#include "win/dialog_items.h"
#include "win/dialog_template.h"
#include "win/keys.h"
#include "win/messages.h"
#include "win/msgbox.h"
#include "win/tab_ctrl.h"

namespace {

int g_loads = 0;
std::string g_savePath;

CrossSimLoadResult CountingLoad(std::int32_t) {
  ++g_loads;
  return {};
}
CrossSimSaveResult SaveToTestFile() { return SaveCrossSimOffsets("LFPG", g_savePath.c_str()); }

class Sim2SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetKlibForTest();
    ResetKeyStates();
    ClearShownMessageBoxes();
    InstallDialogTemplates();
    if (!WayTableLock().Initialised()) WayTableLock().Init();
    {
      WayTableGuard guard;
      WayTable() = WayTableArray{};
    }
    SetCrossSimOffsets(DefaultCrossSimOffsetTable());
    g_loads = 0;
    g_savePath = folder_.Path() + "/CrossSimOffsets.ini";
    SetSim2SimFileActions({&CountingLoad, &SaveToTestFile});
    ResetLocalSimulatorFamily();
    TakeInstalledSimulatorCode(9000);
    dialog_ = std::make_unique<CSim2SimDlg>();
    ASSERT_TRUE(dialog_->Create(kSim2SimTemplate));
  }
  void TearDown() override {
    dialog_.reset();
    SetSim2SimFileActions(DefaultSim2SimFileActions());
    SetCrossSimOffsets(DefaultCrossSimOffsetTable());
    ResetLocalSimulatorFamily();
    ResetKeyStates();
    ClearShownMessageBoxes();
  }

  CTabCtrl& Tabs() {
    auto* tabs = dynamic_cast<CTabCtrl*>(dialog_->GetDlgItem(kSim2SimTabsId));
    EXPECT_NE(tabs, nullptr);
    return *tabs;
  }
  // The pilot picks tab `index`, as the automation's select does.
  bool PickTab(int index) {
    return SendMessageA(Tabs().m_hWnd, ControlSelectMessage(), static_cast<WPARAM>(index), 0) != 0;
  }
  // The tab of `family` picked.
  void PickFamily(std::int32_t family) {
    for (int i = 0; i < Tabs().GetItemCount(); ++i) {
      if (Tabs().GetItemParam(i) == family) {
        ASSERT_TRUE(PickTab(i));
      }
    }
  }
  // Shown with the tab of `family` picked.
  void ShowWithTab(std::int32_t family) {
    dialog_->ShowWindow(SW_SHOW);
    ASSERT_TRUE(dialog_->IsWindowVisible());
    PickFamily(family);
    ASSERT_GE(dialog_->SelectedEntry(), 0);
  }
  void Click(int id) { dialog_->SendMessage(WM_COMMAND, static_cast<WPARAM>(id), 0); }
  std::string Text(int id) {
    char buffer[128] = {};
    GetDlgItemTextA(dialog_->m_hWnd, id, buffer, sizeof buffer);
    return buffer;
  }
  CrossSimOffsetEntry Selected() {
    return CrossSimOffsets().entries.at(static_cast<std::size_t>(dialog_->SelectedEntry()));
  }
  void PutEntry(int index, const CrossSimOffsetEntry& entry) {
    EditCrossSimOffsets([&](CrossSimOffsetTable& table) { table.entries.at(static_cast<std::size_t>(index)) = entry; });
  }

  TempFolder folder_;
  std::unique_ptr<CSim2SimDlg> dialog_;
};

TEST_F(Sim2SimTest, TheTabControlListsTheOtherFamiliesInOrder) {
  const struct {
    std::uint32_t installed;
    std::vector<std::string> labels;
    std::vector<LPARAM> families;
  } cases[] = {
      {9000, {"FS8/9", "FSX", "P3D", "XP10"}, {2004, 2006, 3000, 10000}},
      {10250, {"FS8/9", "FSX", "P3D", "XP9"}, {2004, 2006, 3000, 9000}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.installed);
    TakeInstalledSimulatorCode(c.installed);
    dialog_->FollowInstalledSimulator();
    std::vector<std::string> items;
    ASSERT_TRUE(SendMessageA(Tabs().m_hWnd, ControlItemsMessage(), 0, reinterpret_cast<LPARAM>(&items)));
    EXPECT_EQ(items, c.labels);
    std::vector<LPARAM> families;
    for (int i = 0; i < Tabs().GetItemCount(); ++i) families.push_back(Tabs().GetItemParam(i));
    EXPECT_EQ(families, c.families);
    EXPECT_EQ(Tabs().GetCurSel(), -1);
  }
  // A handshake of the same family keeps the pilot's pick.
  ASSERT_TRUE(PickTab(2));
  TakeInstalledSimulatorCode(10000);
  dialog_->FollowInstalledSimulator();
  EXPECT_EQ(Tabs().GetCurSel(), 2);
  // Shown after the plug-in named another simulator: the tabs follow it.
  TakeInstalledSimulatorCode(9000);
  dialog_->ShowWindow(SW_SHOW);
  EXPECT_EQ(dialog_->TabAt(3).label, "XP10");
  EXPECT_EQ(Tabs().Labels().back(), "XP10");
}

TEST_F(Sim2SimTest, APickedTabShowsItsPairWhereverTheTableHoldsIt) {
  // The pair stored both ways round: the first row is the one the window
  // edits, and the one a pilot way of that family reads.
  PutEntry(1, {3000, 9000, 0.0, 0.0, 0.0F, 0.0F});
  PutEntry(7, {9000, 3000, 0.0, 0.0, 0.0F, 0.0F});
  dialog_->ShowWindow(SW_SHOW);
  EXPECT_EQ(dialog_->SelectedEntry(), -1);
  // Nothing is picked yet: a step changes nothing.
  const CrossSimOffsetTable before = CrossSimOffsets();
  Click(kSim2SimAltitudeUpId);
  EXPECT_EQ(CrossSimOffsets(), before);

  ASSERT_TRUE(PickTab(2));  // P3D
  EXPECT_EQ(Tabs().GetCurSel(), 2);
  EXPECT_EQ(dialog_->SelectedEntry(), 1);
  EXPECT_EQ(Text(kSim2SimPairId), "[1] 9000 <-> 3000");
  SetKeyState(VK_CONTROL, true);
  Click(kSim2SimAltitudeUpId);
  EXPECT_NEAR(CrossSimOffsets().entries[1].altitudeOffset, -2.0, 1e-6);
  EXPECT_EQ(CrossSimOffsets().entries[7].altitudeOffset, 0.0F);
  // The pilot ways see the step in the direction the pilot asked for.
  const std::optional<CrossSimPairOffsets> seen = CrossSimPairOffsetsFor(9000, 3000);
  ASSERT_TRUE(seen.has_value());
  EXPECT_NEAR(seen->altitude, 2.0, 1e-6);
  SimulatorPairOffsets way{};
  ASSERT_TRUE(LookUpPairOffsets(9000, 3000, CrossSimOffsets(), way));
  EXPECT_NEAR(way.altitude, 2.0, 1e-6);

  // A select beyond the tabs is refused and keeps the pick.
  EXPECT_FALSE(PickTab(4));
  EXPECT_EQ(Tabs().GetCurSel(), 2);
}

TEST_F(Sim2SimTest, ShownWithoutTheSimulatorTellsAndCloses) {
  ResetLocalSimulatorFamily();
  dialog_->ShowWindow(SW_SHOW);
  const std::vector<MessageBoxRecord> boxes = ShownMessageBoxes();
  ASSERT_EQ(boxes.size(), 1U);
  EXPECT_EQ(boxes[0].title, "Information");
  EXPECT_EQ(boxes[0].text, "You must be connected to the simulator before using this feature");
  EXPECT_FALSE(dialog_->IsWindowVisible());
  EXPECT_EQ(g_loads, 0);
  EXPECT_FALSE(CrossSimOffsetsDialogShown());
}

TEST_F(Sim2SimTest, ShownLoadsAndShowsTheTabsPair) {
  PutEntry(9, {9000, 10000, 0.25, -0.125, 12.34F, -3.25F});
  ShowWithTab(10000);
  EXPECT_EQ(g_loads, 1);
  EXPECT_TRUE(CrossSimOffsetsDialogShown());
  EXPECT_EQ(dialog_->SelectedEntry(), 9);
  EXPECT_EQ(Text(kSim2SimAltitudeId), "12.3");
  EXPECT_EQ(Text(kSim2SimLatitudeId), "0.250000");
  EXPECT_EQ(Text(kSim2SimLongitudeId), "-0.125000");
  EXPECT_EQ(Text(kSim2SimHeadingId), "-3.2");
  EXPECT_EQ(Text(kSim2SimPairId), "[9] 9000 <-> 10000");
  // The pair stored the other way round is found too.
  ASSERT_TRUE(PickTab(1));  // FSX
  EXPECT_EQ(dialog_->SelectedEntry(), 5);
  EXPECT_EQ(Text(kSim2SimPairId), "[5] 9000 <-> 2006");
  dialog_->ShowWindow(SW_HIDE);
  EXPECT_EQ(dialog_->SelectedEntry(), -1);
  EXPECT_FALSE(CrossSimOffsetsDialogShown());
}

TEST_F(Sim2SimTest, StepButtonsTakeTheHeldKeysSize) {
  const struct {
    int button;
    int key;  // 0: none
    double altitude, latitude, longitude, heading;
  } cases[] = {
      {kSim2SimAltitudeUpId, 0, 0.1, 0, 0, 0},
      {kSim2SimAltitudeUpId, VK_SHIFT, 0.05, 0, 0, 0},
      {kSim2SimAltitudeDownId, VK_CONTROL, -2.0, 0, 0, 0},
      {kSim2SimLatitudePlusId, 0, 0, 0.000001, 0, 0},
      {kSim2SimLatitudeMinusId, VK_CONTROL, 0, -0.00002, 0, 0},
      {kSim2SimLongitudePlusId, VK_SHIFT, 0, 0, 0.0000025, 0},
      {kSim2SimLongitudeMinusId, 0, 0, 0, -0.000005, 0},
      {kSim2SimHeadingRightId, VK_CONTROL, 0, 0, 0, 20.0},
      {kSim2SimHeadingLeftId, VK_SHIFT, 0, 0, 0, -0.5},
  };
  ShowWithTab(10000);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.button * 100 + c.key);
    PutEntry(dialog_->SelectedEntry(), {9000, 10000, 0, 0, 0, 0});
    ResetKeyStates();
    if (c.key != 0) SetKeyState(c.key, true);
    Click(c.button);
    const CrossSimOffsetEntry entry = Selected();
    EXPECT_NEAR(entry.altitudeOffset, c.altitude, 1e-6);
    EXPECT_NEAR(entry.latitudeOffset, c.latitude, 1e-12);
    EXPECT_NEAR(entry.longitudeOffset, c.longitude, 1e-12);
    EXPECT_NEAR(entry.headingOffset, c.heading, 1e-6);
  }
  // The value shown is the new one.
  PutEntry(dialog_->SelectedEntry(), {9000, 10000, 0, 0, 0, 0});
  ResetKeyStates();
  Click(kSim2SimAltitudeUpId);
  EXPECT_EQ(Text(kSim2SimAltitudeId), "0.1");
  // Against a simulator stored first, the stored value moves the other way.
  ASSERT_TRUE(PickTab(1));  // FSX: (2006, 9000)
  Click(kSim2SimAltitudeUpId);
  EXPECT_NEAR(Selected().altitudeOffset, -0.1, 1e-6);
}

TEST_F(Sim2SimTest, HeadingIsHeldAtTheHalfTurn) {
  ShowWithTab(10000);
  PutEntry(dialog_->SelectedEntry(), {9000, 10000, 0, 0, 0, 179.5F});
  SetKeyState(VK_CONTROL, true);
  Click(kSim2SimHeadingRightId);
  EXPECT_FLOAT_EQ(Selected().headingOffset, 180.0F);
  EXPECT_EQ(Text(kSim2SimHeadingId), "180.0");
  PutEntry(dialog_->SelectedEntry(), {9000, 10000, 0, 0, 0, -179.5F});
  Click(kSim2SimHeadingLeftId);
  EXPECT_FLOAT_EQ(Selected().headingOffset, -180.0F);
}

TEST_F(Sim2SimTest, ClearZeroesOnlyTheSelectedEntry) {
  ShowWithTab(10000);
  PutEntry(9, {9000, 10000, 0.5, 0.25, 10.0F, 2.0F});
  PutEntry(0, {2004, 2006, 0.5, 0.25, 10.0F, 2.0F});
  Click(kSim2SimClearId);
  EXPECT_EQ(Selected(), (CrossSimOffsetEntry{9000, 10000, 0, 0, 0, 0}));
  EXPECT_EQ(CrossSimOffsets().entries[0], (CrossSimOffsetEntry{2004, 2006, 0.5, 0.25, 10.0F, 2.0F}));
  EXPECT_EQ(Text(kSim2SimAltitudeId), "0.0");
  EXPECT_EQ(Text(kSim2SimLatitudeId), "0.000000");
}

TEST_F(Sim2SimTest, LoadDefaultsPutsTheDefaultTableBack) {
  ShowWithTab(10000);
  CrossSimOffsetTable changed = DefaultCrossSimOffsetTable();
  changed.entries[9] = {10000, 9000, 1.0, 1.0, 5.0F, 5.0F};
  changed.entries[3] = {9000, 10000, 0.5, 0.5, 7.0F, 1.0F};
  SetCrossSimOffsets(changed);
  ASSERT_TRUE(PickTab(2));  // away and back: the pair is looked up again
  ASSERT_TRUE(PickTab(3));
  ASSERT_EQ(dialog_->SelectedEntry(), 3);
  Click(kSim2SimDefaultsId);
  EXPECT_EQ(CrossSimOffsets().entries, DefaultCrossSimOffsetTable().entries);
  EXPECT_EQ(dialog_->SelectedEntry(), 9);
  EXPECT_EQ(Text(kSim2SimAltitudeId), "0.0");
}

TEST_F(Sim2SimTest, CancelGivesBackTheTableAsShown) {
  PutEntry(9, {9000, 10000, 0.5, 0.25, 10.0F, 2.0F});
  const CrossSimOffsetTable before = CrossSimOffsets();
  ShowWithTab(10000);
  Click(kSim2SimAltitudeUpId);
  Click(kSim2SimHeadingRightId);
  Click(kSim2SimClearId);
  ASSERT_NE(CrossSimOffsets(), before);
  Click(IDCANCEL);
  EXPECT_EQ(CrossSimOffsets(), before);
  EXPECT_FALSE(dialog_->IsWindowVisible());
}

TEST_F(Sim2SimTest, SaveOffsetsWritesTheFileAndHides) {
  ShowWithTab(10000);
  PutEntry(9, {9000, 10000, 0.0001, 0, 10.0F, 2.0F});
  Click(IDOK);
  EXPECT_FALSE(dialog_->IsWindowVisible());
  const CrossSimOffsetTable saved = CrossSimOffsets();
  SetCrossSimOffsets(DefaultCrossSimOffsetTable());
  EXPECT_TRUE(LoadCrossSimOffsets("LFPG", 9000, g_savePath.c_str()).Complete());
  EXPECT_EQ(CrossSimOffsets().entries, saved.entries);
}

TEST_F(Sim2SimTest, ForwardWithoutAPilotOfTheFamilyDoesNothing) {
  ShowWithTab(10000);
  PutEntry(9, {9000, 10000, 0.5, 0.25, 10.0F, 2.0F});
  const CrossSimOffsetTable before = CrossSimOffsets();
  for (int button : {kSim2SimForwardId, kSim2SimBackId}) {
    Click(button);
    EXPECT_EQ(CrossSimOffsets(), before) << button;
  }
  EXPECT_EQ(Text(kSim2SimLatitudeId), "0.000000");  // as shown before the pair was changed
}

}  // namespace
