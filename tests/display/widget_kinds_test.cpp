#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTabBar>
#include <QTextEdit>
#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

#include "tests/display/widget_fixture.h"
#include "win/controls.h"
#include "win/display_hooks.h"
#include "win/trackbar_ctrl.h"

namespace {

using tk_test::Notice;
using tk_test::WidgetFixture;
using tk_test::WindowTextOf;

constexpr UINT kTemplate = 9301;
constexpr const char* kText =
    "dialog 9301 \"Widgets\" 0 0 640 480 0\n"
    "static 100 \"&Name\" 4 4 80 20 SS_NOTIFY\n"
    "static 101 \"\" 90 4 20 20 SS_BITMAP\n"
    "edit 102 \"\" 4 30 120 22 WS_BORDER|ES_AUTOHSCROLL\n"
    "edit 103 \"\" 130 30 120 22 WS_BORDER|ES_PASSWORD\n"
    "edit 104 \"\" 260 30 160 60 ES_MULTILINE|ES_AUTOVSCROLL|WS_VSCROLL\n"
    "button 105 \"&Go\" 4 60 80 24 BS_DEFPUSHBUTTON\n"
    "checkbox 106 \"Check\" 90 60 80 24 0\n"
    "radio 107 \"One\" 4 90 80 24 WS_GROUP\n"
    "radio 108 \"Two\" 90 90 80 24 0\n"
    "richedit 109 \"\" 430 4 200 120 ES_MULTILINE|ES_READONLY|WS_VSCROLL\n"
    "listbox 110 \"\" 4 130 200 100 LBS_NOTIFY|LBS_USETABSTOPS|WS_VSCROLL\n"
    "combo 111 \"\" 210 130 120 120 CBS_DROPDOWNLIST|WS_VSCROLL\n"
    "combo 112 \"\" 340 130 120 120 CBS_DROPDOWN\n"
    "listview 113 \"\" 4 240 300 100 LVS_REPORT|LVS_SINGLESEL\n"
    "tab 114 \"\" 310 240 300 24 0\n"
    "trackbar 115 \"\" 310 280 300 30 TBS_AUTOTICKS\n"
    "ipaddress 116 \"\" 310 320 160 22 0\n"
    "ownerdraw 117 \"Drawn\" 480 320 80 24 0\n"
    "checkbox 118 \"Manual\" 480 350 80 24 BS_CHECKBOX\n"
    "combo 119 \"\" 480 380 150 90 CBS_SIMPLE|CBS_UPPERCASE\n";

class WidgetKinds : public ::testing::Test {
 protected:
  void SetUp() override {
    auto* list = dynamic_cast<CListBox*>(fixture_.dialog.GetDlgItem(110));
    for (const char* item : {"EDDF\t1", "EDDM\t2", "LFPG\t3"}) list->AddString(item);
    for (int id : {111, 112, 119}) {
      auto* combo = dynamic_cast<CComboBox*>(fixture_.dialog.GetDlgItem(id));
      for (const char* item : {"ALPHA", "BRAVO", "CHARLIE"}) combo->AddString(item);
    }
    auto* view = dynamic_cast<CListCtrl*>(fixture_.dialog.GetDlgItem(113));
    view->InsertColumn(0, "Callsign", LVCFMT_LEFT, 100);
    view->InsertColumn(1, "Dist.", LVCFMT_RIGHT, 60);
    view->InsertItem(0, "DEMO01");
    view->InsertItem(1, "DEMO02");
    auto* tabs = dynamic_cast<CTabCtrl*>(fixture_.dialog.GetDlgItem(114));
    tabs->InsertItem(0, "First");
    tabs->InsertItem(1, "Second");
    fixture_.SyncAll(win::display::kContent);
  }

  std::vector<Notice> Heard() {
    fixture_.Pump();
    std::vector<Notice> heard = fixture_.dialog.notices;
    fixture_.dialog.notices.clear();
    return heard;
  }

  WidgetFixture fixture_{kTemplate, kText};
};

Notice Command(int id, WORD code) { return Notice{WM_COMMAND, id, code}; }
Notice Notify(int id, UINT code) { return Notice{WM_NOTIFY, id, code}; }
Notice Scroll(int id, WORD code) { return Notice{WM_HSCROLL, id, code}; }

TEST_F(WidgetKinds, EachKindIsItsQtWidgetAndOwnerDrawnOnesShowTheirSurface) {
  struct Case {
    int id;
    const char* className;
  };
  const Case cases[] = {{100, "QLabel"},    {101, "QLabel"},       {102, "QLineEdit"},   {103, "QLineEdit"},
                        {104, "QPlainTextEdit"}, {105, "QPushButton"}, {106, "QCheckBox"}, {107, "QRadioButton"},
                        {109, "QTextEdit"}, {110, "QListView"},    {113, "QTreeWidget"}, {114, "QTabBar"},
                        {115, "QSlider"},   {116, "QFrame"}};
  for (const Case& c : cases) {
    QWidget* widget = fixture_.WidgetOf(c.id);
    ASSERT_NE(widget, nullptr) << c.id;
    EXPECT_TRUE(widget->inherits(c.className)) << c.id << " is a " << widget->metaObject()->className();
    EXPECT_EQ(widget->parentWidget(), &fixture_.window) << c.id;
  }
  // A combo's widget holds its box at the top of the rectangle its list opens into.
  for (int id : {111, 112}) {
    ASSERT_NE(fixture_.WidgetOf(id), nullptr);
    auto* box = fixture_.WidgetOf(id)->findChild<QComboBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->isEditable(), id == 112);
    EXPECT_EQ(box->geometry().top(), 0);
    EXPECT_LT(box->height(), 120);
  }
  EXPECT_EQ(fixture_.WidgetOf(117), nullptr);
  // A simple combo's list is always open under its edit part.
  ASSERT_NE(fixture_.WidgetOf(119), nullptr);
  EXPECT_NE(fixture_.WidgetOf(119)->findChild<QLineEdit*>(), nullptr);
  EXPECT_NE(fixture_.WidgetOf(119)->findChild<QListView*>(), nullptr);
}

TEST_F(WidgetKinds, WhatTheUserDoesTellsTheParentTheModelsNotices) {
  auto* tree = fixture_.As<QTreeWidget>(113);
  auto* bar = fixture_.As<QTabBar>(114);
  auto* listView = fixture_.As<QListView>(110);
  ASSERT_TRUE(tree != nullptr && bar != nullptr && listView != nullptr);
  QComboBox* dropList = fixture_.WidgetOf(111)->findChild<QComboBox*>();
  QComboBox* editable = fixture_.WidgetOf(112)->findChild<QComboBox*>();
  auto* address = fixture_.WidgetOf(116)->findChild<QLineEdit*>();
  auto* simpleEdit = fixture_.WidgetOf(119)->findChild<QLineEdit*>();
  auto* simpleList = fixture_.WidgetOf(119)->findChild<QListView*>();
  const auto simpleRow = [simpleList](int row) { return simpleList->visualRect(simpleList->model()->index(row, 0)).center(); };
  const auto rowCentre = [listView](int row) { return listView->visualRect(listView->model()->index(row, 0)).center(); };
  struct Case {
    const char* action;
    std::function<void()> act;
    std::vector<Notice> heard;
  };
  const Case cases[] = {
      {"label click", [&] { tk_test::Click(fixture_.WidgetOf(100)); }, {Command(100, STN_CLICKED)}},
      {"push", [&] { tk_test::Click(fixture_.WidgetOf(105)); }, {Command(105, BN_CLICKED)}},
      {"check", [&] { tk_test::Click(fixture_.WidgetOf(106)); }, {Command(106, BN_CLICKED)}},
      {"manual check", [&] { tk_test::Click(fixture_.WidgetOf(118)); }, {Command(118, BN_CLICKED)}},
      {"radio", [&] { tk_test::Click(fixture_.WidgetOf(108)); }, {Command(108, BN_CLICKED)}},
      {"typing", [&] { tk_test::Type(fixture_.WidgetOf(102), "ab"); },
       {Command(102, EN_CHANGE), Command(102, EN_CHANGE)}},
      {"list pick", [&] { tk_test::Click(listView->viewport(), rowCentre(1)); }, {Command(110, LBN_SELCHANGE)}},
      {"list double-click", [&] { tk_test::DoubleClick(listView->viewport(), rowCentre(2)); },
       {Command(110, LBN_SELCHANGE), Command(110, LBN_DBLCLK)}},
      {"drop list pick", [&] { tk_test::Key(dropList, Qt::Key_Down); }, {Command(111, CBN_SELCHANGE)}},
      {"drop list opens and closes",
       [&] {
         dropList->setFocus();
         fixture_.Pump();
         fixture_.dialog.notices.clear();  // its focus notice
         dropList->showPopup();
         dropList->hidePopup();
       },
       {Command(111, CBN_DROPDOWN), Command(111, CBN_CLOSEUP)}},
      {"combo typing", [&] { tk_test::Type(editable, "x"); }, {Command(112, CBN_EDITCHANGE)}},
      {"simple combo typing",
       [&] {
         tk_test::Type(simpleEdit, "b");
         EXPECT_EQ(simpleEdit->text(), "B");  // as the model folds it
       },
       {Command(119, CBN_EDITCHANGE)}},
      {"simple combo double-click", [&] { tk_test::DoubleClick(simpleList->viewport(), simpleRow(2)); },
       {Command(119, CBN_SELCHANGE), Command(119, CBN_SELCHANGE), Command(119, CBN_DBLCLK)}},
      {"row click",
       [&] { tk_test::Click(tree->viewport(), tree->visualItemRect(tree->topLevelItem(1)).center()); },
       {Notify(113, LVN_ITEMCHANGED), Notify(113, NM_CLICK)}},
      {"row double-click",
       [&] { tk_test::DoubleClick(tree->viewport(), tree->visualItemRect(tree->topLevelItem(1)).center()); },
       {Notify(113, NM_CLICK), Notify(113, NM_CLICK), Notify(113, NM_DBLCLK)}},
      {"column title",
       [&] {
         QHeaderView* header = tree->header();
         tk_test::Click(header->viewport(), QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
       },
       {Notify(113, LVN_COLUMNCLICK)}},
      {"tab", [&] { tk_test::Click(bar, bar->tabRect(1).center()); }, {Notify(114, TCN_SELCHANGE)}},
      {"address field", [&] { tk_test::Type(address, "7"); }, {Notify(116, IPN_FIELDCHANGED), Command(116, EN_CHANGE)}},
  };
  for (const Case& c : cases) {
    Heard();
    c.act();
    EXPECT_EQ(Heard(), c.heard) << c.action;
  }
  // The models took what the user did.
  EXPECT_EQ(SendMessageA(fixture_.Hwnd(106), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_TRUE(fixture_.As<QCheckBox>(106)->isChecked());
  // A check box the program checks itself stays as the model holds it.
  EXPECT_EQ(SendMessageA(fixture_.Hwnd(118), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_FALSE(fixture_.As<QCheckBox>(118)->isChecked());
  EXPECT_EQ(SendMessageA(fixture_.Hwnd(108), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(WindowTextOf(fixture_.Hwnd(102)), "ab");
  EXPECT_EQ(dynamic_cast<CComboBox*>(fixture_.dialog.GetDlgItem(111))->GetCurSel(), 0);
  EXPECT_EQ(WindowTextOf(fixture_.Hwnd(112)), "x");
  EXPECT_EQ(SendMessageA(fixture_.Hwnd(114), TCM_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(WindowTextOf(fixture_.Hwnd(116)), "7...");
  // The simple combo folded what was typed and picked what was double-clicked.
  EXPECT_EQ(WindowTextOf(fixture_.Hwnd(119)), "CHARLIE");
  EXPECT_EQ(simpleEdit->text(), "CHARLIE");
}

TEST_F(WidgetKinds, TheSlidersMovesAreTheTrackbarsOwnWithItsScrollNotices) {
  auto* slider = fixture_.As<QSlider>(115);
  ASSERT_NE(slider, nullptr);
  const HWND trackbar = fixture_.Hwnd(115);
  const auto handleNow = [slider] {
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->value();
    option.sliderValue = slider->value();
    option.tickPosition = slider->tickPosition();
    option.tickInterval = slider->tickInterval();
    return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
  };
  const QRect handle = handleNow();
  // A drag of the thumb: tracked, then its last position, then the end.
  tk_test::Press(slider, handle.center());
  tk_test::MoveTo(slider, handle.center() + QPoint(60, 0));
  tk_test::Release(slider, handle.center() + QPoint(60, 0));
  std::vector<Notice> heard = Heard();
  ASSERT_GE(heard.size(), 3u);
  EXPECT_EQ(heard.front(), Scroll(115, TB_THUMBTRACK));
  EXPECT_EQ(heard[heard.size() - 2], Scroll(115, TB_THUMBPOSITION));
  EXPECT_EQ(heard.back(), Scroll(115, TB_ENDTRACK));
  const int dragged = static_cast<int>(SendMessageA(trackbar, TBM_GETPOS, 0, 0));
  EXPECT_GT(dragged, 0);
  EXPECT_EQ(slider->value(), dragged);
  // A key is the model's: posted to it, it moves a line.
  tk_test::Key(slider, Qt::Key_Right);
  EXPECT_EQ(Heard(), (std::vector<Notice>{Scroll(115, TB_LINEDOWN), Scroll(115, TB_ENDTRACK)}));
  fixture_.Sync(115, win::display::kContent);
  EXPECT_EQ(SendMessageA(trackbar, TBM_GETPOS, 0, 0), dragged + 1);
  EXPECT_EQ(slider->value(), dragged + 1);
  // A click in the channel past the thumb pages towards it.
  tk_test::Click(slider, QPoint(slider->width() * 3 / 4, handleNow().center().y()));
  heard = Heard();
  ASSERT_FALSE(heard.empty());
  EXPECT_EQ(heard.front(), Scroll(115, TB_PAGEDOWN));
  EXPECT_EQ(heard.back(), Scroll(115, TB_ENDTRACK));
  EXPECT_EQ(slider->value(), static_cast<int>(SendMessageA(trackbar, TBM_GETPOS, 0, 0)));
}

}  // namespace
