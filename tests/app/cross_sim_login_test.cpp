// A login that the node accepts takes the nearest airport's cross-simulator
// offsets from the program folder's offsets file.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "app/app_globals.h"
#include "app/connect_flow.h"
#include "app/main_dialog.h"
#include "core/airport_db.h"
#include "core/app_paths.h"
#include "core/cross_sim_offsets.h"
#include "core/nearest_airport.h"
#include "core/sim_family.h"
#include "core/table_memory.h"
#include "core/text_fields.h"
#include "main_dialog_fixture.h"
#include "support/child_process.h"
#include "win/dialog_template.h"

namespace {

class CrossSimLoginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(BeginMainDialogTest(tree_));
    InstallDialogTemplates();
    dialog_ = std::make_unique<CFSClientDlg>();
    ASSERT_EQ(dialog_->Create(kMainDialogTemplate, nullptr), TRUE);
    SetCrossSimOffsets(DefaultCrossSimOffsetTable());
    savedCode_ = g_ownSimulatorCode.load();
    ResetLocalSimulatorFamily();

    db_.records.reset(AllocateTableRecords<AirportRecord>(1));
    ASSERT_NE(db_.records, nullptr);
    db_.records[0] = AirportRecord{};
    CopyCut(db_.records[0].icao, "LFPG");
    db_.records[0].latitude = 49.0F;
    db_.records[0].longitude = 2.5F;
    db_.count = 1;
    ASSERT_EQ(FindNearestAirport(db_, {49.01, 2.5, 0.0}), 0);

    std::ofstream out(g_appPaths().crossSimOffsetsFile, std::ios::binary | std::ios::trunc);
    out << "[OFS_LFPG]\r\nSIM0=FS,XP9,0.0002,-0.0001,12,1.5\r\n";
  }
  void TearDown() override {
    g_ownSimulatorCode = savedCode_;
    ResetLocalSimulatorFamily();
    ResetNearestAirport();
    SetCrossSimOffsets(DefaultCrossSimOffsetTable());
    FinishMainDialogTest(dialog_);
    SetDialogTemplateLoader(nullptr);
  }

  TempFolder tree_;
  std::unique_ptr<CFSClientDlg> dialog_;
  AirportDb db_;
  std::uint32_t savedCode_ = 0;
};

}  // namespace

TEST_F(CrossSimLoginTest, TheAcceptedLoginLoadsTheNearestAirportsOffsets) {
  // Before any handshake the installed simulator counts as X-Plane 9; the
  // edition's own code on the wire plays no part.
  g_ownSimulatorCode = 0;
  OnMultiplayerConnected();
  const CrossSimOffsetTable table = CrossSimOffsets();
  EXPECT_STREQ(table.icao.data(), "LFPG");
  EXPECT_EQ(table.entries[0], (CrossSimOffsetEntry{2004, 9000, 0.0002, -0.0001, 12.0F, 1.5F}));
  EXPECT_EQ(CrossSimPairOffsetsFor(LocalSimulatorFamily(), 2004),
            (CrossSimPairOffsets{-0.0002, 0.0001, -12.0F, -1.5F}));
}
