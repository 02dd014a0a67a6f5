// The watched pilot's window: the linked pilots listed, ON watching the
// selected one, OFF forgetting him and hiding the window.
#include "dialogs/swatch_dialog.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "net/orv_sok.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "support/klib_fixture.h"
#include "support/session_way.h"
#include "win/dialog_template.h"
#include "win/listbox_ctrl.h"
#include "win/messages.h"

namespace {

constexpr std::size_t kWays = 5;

class SwatchDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetKlibForTest();
    InstallDialogTemplates();
    if (!WayTableLock().Initialised()) WayTableLock().Init();
    {
      WayTableGuard guard;
      WayTable() = WayTableArray{};
    }
    for (std::size_t i = 0; i < kWays; ++i) {
      ways_[i] = std::make_unique<StartableWay>(static_cast<std::int32_t>(i), "[SWATCH WAY]");
    }
    dialog_ = std::make_unique<CSwatchDlg>();
    ASSERT_TRUE(dialog_->Create(kSwatchTemplate));
  }
  void TearDown() override {
    dialog_.reset();
    WayTableGuard guard;
    WayTable() = WayTableArray{};
  }
  void Put(const char* callsign, char kind, bool linked) {
    WayTableGuard guard;
    const std::int32_t way = AllocatePeerWay(callsign);
    ASSERT_GE(way, 0);
    WayRecord& record = WayTable()[static_cast<std::size_t>(way)];
    record.way = ways_[static_cast<std::size_t>(way)].get();
    record.way->SetLoggedInBits(linked ? kWayLoggedIn : 0);
    record.peerKind = kind;
  }
  CListBox& List() { return *dynamic_cast<CListBox*>(dialog_->GetDlgItem(kSwatchListId)); }
  std::string Watching() {
    std::string text;
    dialog_->GetDlgItem(kSwatchWatchingId)->GetWindowText(text);
    return text;
  }
  void Command(UINT id) { dialog_->SendMessage(WM_COMMAND, id, 0); }

  std::array<std::unique_ptr<StartableWay>, kWays> ways_;
  std::unique_ptr<CSwatchDlg> dialog_;
};

TEST_F(SwatchDialogTest, ListsTheLinkedPilotsWhenShownAndOnItsRefreshCommand) {
  Put("ONE", 'P', true);
  Put("CTRL", 'A', true);
  Put("UNLINKED", 'P', false);
  Put("TWO", 'P', true);
  EXPECT_EQ(List().Items(), std::vector<std::string>{}) << "filled only when shown";
  dialog_->ShowWindow(SW_SHOW);
  EXPECT_EQ(List().Items(), (std::vector<std::string>{"ONE", "TWO"}));
  Put("THREE", 'P', true);
  Command(kSwatchRefreshCommand);
  EXPECT_EQ(List().Items(), (std::vector<std::string>{"ONE", "TWO", "THREE"}));
}

TEST_F(SwatchDialogTest, OnWatchesTheSelectedPilotAndOffForgetsHimAndHides) {
  Put("ONE", 'P', true);
  Put("TWO", 'P', true);
  dialog_->ShowWindow(SW_SHOW);
  Command(kSwatchOnId);
  EXPECT_EQ(dialog_->Watched(), "") << "nothing selected";
  List().SetCurSel(1);
  Command(kSwatchOnId);
  EXPECT_EQ(dialog_->Watched(), "TWO");
  EXPECT_EQ(Watching(), "TWO");
  Command(kSwatchOffId);
  EXPECT_EQ(dialog_->Watched(), "");
  EXPECT_EQ(Watching(), "");
  EXPECT_FALSE(dialog_->IsWindowVisible());
}

}  // namespace
