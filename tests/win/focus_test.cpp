// The focus and the dialog navigation: tab order by creation, groups by
// WS_GROUP, hidden, disabled and non-stop controls passed over.
#include "win/focus.h"

#include <gtest/gtest.h>

#include <memory>

#include "win/dialog.h"
#include "win/dialog_template.h"

namespace {

constexpr UINT kTemplate = 9301;

class FocusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallDialogTemplates();
    RegisterDialogTemplateText(kTemplate,
                               "dialog 9301 \"Focus\" 0 0 200 200 WS_POPUP\n"
                               "static 10 \"label\" 0 0 10 10 0\n"
                               "radio 11 \"A\" 0 0 10 10 WS_GROUP|WS_TABSTOP\n"
                               "radio 12 \"B\" 0 0 10 10 0\n"
                               "radio 13 \"C\" 0 0 10 10 0\n"
                               "static 14 \"next\" 0 0 10 10 WS_GROUP\n"
                               "edit 15 \"\" 0 0 10 10 WS_TABSTOP\n"
                               "edit 16 \"\" 0 0 10 10 WS_TABSTOP\n"
                               "button 17 \"OK\" 0 0 10 10 WS_TABSTOP\n");
    dialog_ = std::make_unique<CDialog>(kTemplate);
    ASSERT_TRUE(dialog_->Create());
  }
  void TearDown() override {
    SetFocus(0);
    dialog_.reset();
    RegisterDialogTemplateText(kTemplate, "");
    SetDialogTemplateLoader(nullptr);
  }
  HWND Item(int id) const { return GetDlgItem(dialog_->m_hWnd, id); }
  int IdOf(HWND hwnd) const { return hwnd == 0 ? 0 : GetDlgCtrlID(hwnd); }
  int Tab(int from, bool previous) const {
    return IdOf(GetNextDlgTabItem(dialog_->m_hWnd, from == 0 ? 0 : Item(from), previous ? TRUE : FALSE));
  }
  int Group(int from, bool previous) const {
    return IdOf(GetNextDlgGroupItem(dialog_->m_hWnd, Item(from), previous ? TRUE : FALSE));
  }

  std::unique_ptr<CDialog> dialog_;
};

TEST_F(FocusTest, SetFocusKeepsOneWindowAndForgetsADestroyedOne) {
  EXPECT_EQ(GetFocus(), 0u);
  EXPECT_EQ(SetFocus(Item(15)), 0u);
  EXPECT_EQ(GetFocus(), Item(15));
  EXPECT_EQ(SetFocus(Item(16)), Item(15));
  EXPECT_EQ(SetFocus(0x7FFFFFF0), 0u) << "an unknown window";
  EXPECT_EQ(GetFocus(), Item(16));
  DestroyWindow(Item(16));
  EXPECT_EQ(GetFocus(), 0u);
}

TEST_F(FocusTest, TabStopsFollowTheTemplateOrderAndWrap) {
  struct Case {
    int from;
    bool previous;
    int to;
  };
  for (const Case& c : {Case{11, false, 15}, Case{15, false, 16}, Case{16, false, 17}, Case{17, false, 11},
                        Case{11, true, 17}, Case{15, true, 11}, Case{0, false, 11}, Case{0, true, 17}}) {
    EXPECT_EQ(Tab(c.from, c.previous), c.to) << c.from << (c.previous ? " back" : " on");
  }
  ShowWindow(Item(16), SW_HIDE);
  EnableWindow(Item(17), FALSE);
  EXPECT_EQ(Tab(15, false), 11) << "hidden and disabled controls are passed over";
}

TEST_F(FocusTest, GroupsRunFromOneWsGroupToTheNext) {
  EXPECT_EQ(Group(11, false), 12);
  EXPECT_EQ(Group(13, false), 11) << "wrapping inside the group";
  EXPECT_EQ(Group(11, true), 13);
  EXPECT_EQ(Group(12, true), 11);
  EXPECT_EQ(Group(15, false), 16) << "the statics of a group take no focus";
  EXPECT_EQ(Group(17, false), 15);
  EnableWindow(Item(12), FALSE);
  EXPECT_EQ(Group(11, false), 13);
  EXPECT_EQ(IdOf(GetNextDlgGroupItem(dialog_->m_hWnd, 0, FALSE)), 0);
}

}  // namespace
