#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QHelpEvent>
#include <QToolTip>
#include <QApplication>
#include <QTreeWidget>
#include <functional>
#include <string>

#include "tests/display/widget_fixture.h"
#include "win/brush.h"
#include "win/cdc.h"
#include "win/controls.h"
#include "win/display/control_widget.h"
#include "win/display/widget_support.h"
#include "win/display/widget_tab_stops.h"
#include "win/display_hooks.h"
#include "win/gdi_objects.h"
#include "win/tooltip_ctrl.h"
#include "win/trackbar_ctrl.h"

namespace {

using tk_test::WidgetFixture;
using win::display::kContent;

constexpr UINT kTemplate = 9302;
constexpr const char* kText =
    "dialog 9302 \"Models\" 0 0 640 480 0\n"
    "static 100 \"Label\" 4 4 120 20 0\n"
    "static 101 \"\" 130 4 20 20 SS_BITMAP\n"
    "edit 102 \"\" 4 30 120 22 WS_BORDER|ES_AUTOHSCROLL\n"
    "edit 103 \"\" 130 30 120 22 WS_BORDER|ES_PASSWORD\n"
    "edit 104 \"\" 260 30 160 60 ES_MULTILINE|WS_VSCROLL\n"
    "button 105 \"Go\" 4 60 80 24 0\n"
    "checkbox 106 \"Check\" 90 60 80 24 0\n"
    "richedit 109 \"\" 430 4 200 60 ES_MULTILINE|ES_READONLY|WS_VSCROLL\n"
    "listbox 110 \"\" 4 130 200 100 LBS_NOTIFY|LBS_USETABSTOPS|WS_VSCROLL\n"
    "combo 111 \"\" 210 130 120 120 CBS_DROPDOWNLIST|WS_VSCROLL\n"
    "combo 112 \"\" 340 130 120 120 CBS_DROPDOWN\n"
    "listview 113 \"\" 4 240 300 100 LVS_REPORT|LVS_SINGLESEL\n"
    "tab 114 \"\" 310 240 300 24 0\n"
    "trackbar 115 \"\" 310 280 300 30 TBS_AUTOTICKS\n"
    "ipaddress 116 \"\" 310 320 160 22 0\n"
    "trackbar 117 \"\" 600 280 30 150 TBS_VERT|TBS_BOTH|TBS_AUTOTICKS\n";

class WidgetSync : public ::testing::Test {
 protected:
  template <class Control>
  Control* Model(int id) {
    return dynamic_cast<Control*>(fixture_.dialog.GetDlgItem(id));
  }
  QComboBox* Box(int id) { return fixture_.WidgetOf(id)->findChild<QComboBox*>(); }

  WidgetFixture fixture_{kTemplate, kText};
};

TEST_F(WidgetSync, EachModelChangeShowsInItsWidget) {
  struct Case {
    const char* change;
    int id;
    std::function<void()> change_model;
    std::function<bool()> shows;
  };
  const Case cases[] = {
      {"label text", 100, [&] { SetWindowTextA(fixture_.Hwnd(100), "Fish && &Chips"); },
       [&] { return fixture_.As<QLabel>(100)->text() == "Fish & Chips"; }},
      {"label alignment", 100, [&] { SendMessageA(fixture_.Hwnd(100), ControlSetStyleMessage(), SS_RIGHT, 0); },
       [&] { return (fixture_.As<QLabel>(100)->alignment() & Qt::AlignRight) != 0; }},
      {"label centred", 100,
       [&] { SendMessageA(fixture_.Hwnd(100), ControlSetStyleMessage(), SS_CENTER | SS_CENTERIMAGE, 0); },
       [&] { return fixture_.As<QLabel>(100)->alignment() == (Qt::AlignHCenter | Qt::AlignVCenter); }},
      {"edit text", 102, [&] { SetWindowTextA(fixture_.Hwnd(102), "EDDF \xE9t\xE9"); },
       [&] { return fixture_.As<QLineEdit>(102)->text() == QString::fromUtf8("EDDF \xC3\xA9t\xC3\xA9"); }},
      {"edit selection", 102, [&] { Model<CEdit>(102)->SetSel(1, 3); },
       [&] { return fixture_.As<QLineEdit>(102)->selectedText() == "DD"; }},
      {"edit limit", 102, [&] { Model<CEdit>(102)->LimitText(12); },
       [&] { return fixture_.As<QLineEdit>(102)->maxLength() == 12; }},
      {"edit read-only", 102, [&] { Model<CEdit>(102)->SetReadOnly(TRUE); },
       [&] { return fixture_.As<QLineEdit>(102)->isReadOnly(); }},
      {"multi-line text and selection", 104,
       [&] {
         SetWindowTextA(fixture_.Hwnd(104), "ab\r\ncd\r\nef");
         Model<CEdit>(104)->SetSel(4, 9);
       },
       [&] {
         const QTextCursor cursor = fixture_.As<QPlainTextEdit>(104)->textCursor();
         return fixture_.As<QPlainTextEdit>(104)->toPlainText() == "ab\ncd\nef" &&
                cursor.selectedText() == QStringLiteral("cd\u2029e");
       }},
      {"button text", 105, [&] { SetWindowTextA(fixture_.Hwnd(105), "&Stop"); },
       [&] { return fixture_.As<QPushButton>(105)->text() == "&Stop"; }},
      {"default button", 105, [&] { Model<CButton>(105)->SetButtonStyle(BS_DEFPUSHBUTTON); },
       [&] { return fixture_.As<QPushButton>(105)->isDefault(); }},
      {"check", 106, [&] { Model<CButton>(106)->SetCheck(BST_CHECKED); },
       [&] { return fixture_.As<QCheckBox>(106)->isChecked(); }},
      {"list items and selection", 110,
       [&] {
         for (const char* item : {"B", "A", "C"}) Model<CListBox>(110)->AddString(item);
         Model<CListBox>(110)->SetCurSel(2);
       },
       [&] {
         QListView* view = fixture_.As<QListView>(110);
         return view->model()->rowCount() == 3 && view->model()->index(1, 0).data().toString() == "A" &&
                view->currentIndex().row() == 2 && view->selectionModel()->isSelected(view->currentIndex());
       }},
      {"list tab stops", 110,
       [&] {
         const int stops[] = {40, 100};
         Model<CListBox>(110)->SetTabStops(stops);
       },
       [&] {
         auto* delegate = dynamic_cast<win::display::TabStopDelegate*>(fixture_.As<QListView>(110)->itemDelegate());
         const double unit = win::display::DialogBaseUnitX(fixture_.WidgetOf(110)->font()) / 4.0;
         return delegate != nullptr && delegate->Stops() == QList<qreal>{40 * unit, 100 * unit};
       }},
      {"drop list", 111,
       [&] {
         for (const char* item : {"ONE", "TWO"}) Model<CComboBox>(111)->AddString(item);
         Model<CComboBox>(111)->SetCurSel(1);
       },
       [&] { return Box(111)->count() == 2 && Box(111)->currentIndex() == 1 && Box(111)->currentText() == "TWO"; }},
      {"combo edit text", 112, [&] { SetWindowTextA(fixture_.Hwnd(112), "typed"); },
       [&] { return Box(112)->lineEdit()->text() == "typed" && Box(112)->currentIndex() == -1; }},
      {"list view", 113,
       [&] {
         auto* view = Model<CListCtrl>(113);
         view->InsertColumn(0, "Callsign", LVCFMT_LEFT, 90);
         view->InsertColumn(1, "Dist.", LVCFMT_RIGHT, 50);
         view->InsertItem(0, "DEMO01");
         view->SetItemText(0, 1, "12");
         view->InsertItem(1, "DEMO02");
         view->SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
       },
       [&] {
         QTreeWidget* tree = fixture_.As<QTreeWidget>(113);
         return tree->columnCount() == 2 && tree->headerItem()->text(1) == "Dist." && tree->columnWidth(0) == 90 &&
                tree->topLevelItemCount() == 2 && tree->topLevelItem(0)->text(1) == "12" &&
                (tree->topLevelItem(0)->textAlignment(1) & Qt::AlignRight) != 0 &&
                tree->topLevelItem(1)->isSelected();
       }},
      {"list view colours", 113,
       [&] {
         Model<CListCtrl>(113)->SetBkColor(RGB(0, 0, 40));
         Model<CListCtrl>(113)->SetTextColor(RGB(250, 250, 0));
       },
       [&] {
         const QPalette palette = fixture_.WidgetOf(113)->palette();
         return palette.color(QPalette::Base) == QColor(0, 0, 40) && palette.color(QPalette::Text) == QColor(250, 250, 0);
       }},
      {"tabs", 114,
       [&] {
         Model<CTabCtrl>(114)->InsertItem(0, "General");
         Model<CTabCtrl>(114)->InsertItem(1, "Sounds");
         Model<CTabCtrl>(114)->SetCurSel(1);
       },
       [&] {
         QTabBar* bar = fixture_.As<QTabBar>(114);
         return bar->count() == 2 && bar->tabText(0) == "General" && bar->currentIndex() == 1;
       }},
      {"trackbar", 115,
       [&] {
         auto* bar = Model<CSliderCtrl>(115);
         bar->SetRange(10, 50);
         bar->SetTicFreq(10);
         bar->SetPos(30);
       },
       [&] {
         QSlider* slider = fixture_.As<QSlider>(115);
         return slider->minimum() == 10 && slider->maximum() == 50 && slider->value() == 30 &&
                slider->tickInterval() == 10 && slider->tickPosition() == QSlider::TicksBelow;
       }},
      {"vertical trackbar", 117, [&] { Model<CSliderCtrl>(117)->SetPos(25); },
       [&] {
         // The platform's vertical trackbar has its minimum at the top.
         QSlider* slider = fixture_.As<QSlider>(117);
         return slider->orientation() == Qt::Vertical && slider->invertedAppearance() && slider->value() == 25 &&
                slider->tickPosition() == QSlider::TicksBothSides;
       }},
      {"address", 116, [&] { Model<CIPAddressCtrl>(116)->SetAddress(192, 168, 0, 7); },
       [&] {
         const QList<QLineEdit*> fields = fixture_.WidgetOf(116)->findChildren<QLineEdit*>();
         return fields.size() == 4 && fields[0]->text() == "192" && fields[2]->text() == "0" && fields[3]->text() == "7";
       }},
  };
  for (const Case& c : cases) {
    c.change_model();
    fixture_.Sync(c.id, kContent);
    EXPECT_TRUE(c.shows()) << c.change;
  }
}

TEST_F(WidgetSync, RichEditShowsItsColouredRunsAndFollowsItsCaretToTheEnd) {
  auto* rich = Model<CRichEditCtrl>(109);
  auto* edit = fixture_.As<QTextEdit>(109);
  ASSERT_TRUE(rich != nullptr && edit != nullptr);
  const auto append = [rich](const char* text, COLORREF colour, DWORD effects) {
    rich->SetSel(-1, -1);
    CHARFORMAT2 format;
    format.dwMask = CFM_COLOR | CFM_BOLD;
    format.crTextColor = colour;
    format.dwEffects = effects;
    rich->SetSelectionCharFormat(format);
    rich->ReplaceSel(text);
  };
  rich->SetBackgroundColor(FALSE, RGB(0, 0, 64));
  append("DEMO01: ", RGB(255, 0, 0), CFE_BOLD);
  append("hello\r\n", RGB(0, 255, 0), 0);
  fixture_.Sync(109, kContent);
  EXPECT_EQ(edit->toPlainText(), "DEMO01: hello\n");
  const auto formatAt = [edit](int position) {
    QTextCursor cursor(edit->document());
    cursor.setPosition(position + 1);
    return cursor.charFormat();
  };
  EXPECT_EQ(formatAt(0).foreground().color(), QColor(255, 0, 0));
  EXPECT_EQ(formatAt(0).fontWeight(), QFont::Bold);
  EXPECT_EQ(formatAt(9).foreground().color(), QColor(0, 255, 0));
  EXPECT_NE(formatAt(9).fontWeight(), QFont::Bold);
  EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(0, 0, 64));
  // Many lines later the view shows the end, where the model's caret is.
  for (int i = 0; i < 60; ++i) {
    append(("line " + std::to_string(i) + "\r\n").c_str(), RGB(200, 200, 200), 0);
    rich->SetSel(-1, -1);
    fixture_.Sync(109, kContent);
  }
  EXPECT_TRUE(edit->toPlainText().endsWith("line 59\n"));
  EXPECT_EQ(formatAt(0).foreground().color(), QColor(255, 0, 0));
  QScrollBar* bar = edit->verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  // Text that changes what was shown shows anew.
  SetWindowTextA(rich->m_hWnd, "fresh");
  fixture_.Sync(109, kContent);
  EXPECT_EQ(edit->toPlainText(), "fresh");
}

TEST_F(WidgetSync, ColoursAreWhatTheParentAnswersAskedAgainWhenTheLookChanges) {
  const HBRUSH day = CreateSolidBrush(RGB(240, 240, 200));
  const HBRUSH night = CreateSolidBrush(RGB(10, 20, 30));
  fixture_.dialog.colours[WM_CTLCOLORSTATIC] = {RGB(0, 0, 128), day};
  fixture_.dialog.colours[WM_CTLCOLOREDIT] = {RGB(0, 128, 0), day};
  fixture_.dialog.colours[WM_CTLCOLORLISTBOX] = {RGB(128, 0, 0), day};
  fixture_.SyncAll(win::display::kPainted);
  QWidget* label = fixture_.WidgetOf(100);
  QWidget* edit = fixture_.WidgetOf(102);
  QWidget* list = fixture_.WidgetOf(110);
  EXPECT_EQ(label->palette().color(QPalette::Window), QColor(240, 240, 200));
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0, 128));
  EXPECT_TRUE(label->autoFillBackground());
  EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(240, 240, 200));
  EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(0, 128, 0));
  EXPECT_EQ(list->palette().color(QPalette::Text), QColor(128, 0, 0));
  // Check boxes lie on the parent's colours; push buttons keep the desktop's face.
  EXPECT_EQ(fixture_.WidgetOf(106)->palette().color(QPalette::WindowText), QColor(0, 0, 128));
  EXPECT_EQ(fixture_.WidgetOf(106)->grab().toImage().pixelColor(75, 2), QColor(240, 240, 200))
      << "the check box is filled with the parent's brush beyond its text";
  fixture_.dialog.colours[WM_CTLCOLORBTN] = {RGB(9, 9, 9), night};
  fixture_.Sync(105, win::display::kPainted);
  EXPECT_NE(fixture_.WidgetOf(105)->palette().color(QPalette::Button), QColor(10, 20, 30));
  // Night: the parent answers otherwise, and the next paint shows it.
  fixture_.dialog.colours[WM_CTLCOLORSTATIC] = {RGB(255, 255, 0), night};
  fixture_.dialog.colours[WM_CTLCOLORLISTBOX] = {RGB(0, 255, 255), night};
  fixture_.SyncAll(win::display::kMoved);
  EXPECT_EQ(label->palette().color(QPalette::Window), QColor(240, 240, 200));
  fixture_.SyncAll(win::display::kPainted);
  EXPECT_EQ(label->palette().color(QPalette::Window), QColor(10, 20, 30));
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(255, 255, 0));
  EXPECT_EQ(list->palette().color(QPalette::Base), QColor(10, 20, 30));
  EXPECT_EQ(list->palette().color(QPalette::Text), QColor(0, 255, 255));
  // A read-only edit is painted as a label is, in the label's colours.
  Model<CEdit>(102)->SetReadOnly(TRUE);
  fixture_.Sync(102, kContent);
  EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(10, 20, 30));
  EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(255, 255, 0));
  // No answer: the desktop's own look again.
  fixture_.dialog.colours.clear();
  fixture_.SyncAll(win::display::kPainted);
  EXPECT_FALSE(label->autoFillBackground());
  EXPECT_NE(label->palette().color(QPalette::Window), QColor(10, 20, 30));
  DeleteObject(day);
  DeleteObject(night);
}

TEST_F(WidgetSync, APictureShowsItsBitmapAndEveryWidgetTheDialogFont) {
  // A 2x1 bitmap: red, then blue (each pixel 0x00RRGGBB).
  const std::uint32_t pixels[] = {0x00FF0000u, 0x000000FFu};
  const HBITMAP bitmap = CreateBitmap(2, 1, 1, 32, pixels);
  Model<CStatic>(101)->SetBitmap(bitmap);
  fixture_.Sync(101, kContent);
  const QPixmap shown = fixture_.As<QLabel>(101)->pixmap();
  ASSERT_EQ(shown.size(), QSize(2, 1));
  EXPECT_EQ(shown.toImage().pixelColor(0, 0), QColor(255, 0, 0));
  EXPECT_EQ(shown.toImage().pixelColor(1, 0), QColor(0, 0, 255));
  Model<CStatic>(101)->SetBitmap(0);
  DeleteObject(bitmap);
  fixture_.Sync(101, kContent);
  EXPECT_NE(fixture_.As<QLabel>(101)->pixmap().size(), QSize(2, 1)) << "the bitmap is gone";
  // Without an image it shows what the program paints on it (the plane path's view).
  CWnd* picture = Model<CStatic>(101);
  CDC* dc = picture->GetDC();
  ASSERT_NE(dc, nullptr);
  RECT client{};
  picture->GetClientRect(&client);
  const HBRUSH red = CreateSolidBrush(RGB(200, 0, 0));
  FillRect(dc->GetSafeHdc(), &client, red);
  picture->ReleaseDC(dc);
  DeleteObject(red);
  fixture_.Sync(101, win::display::kPainted);
  const QImage painted = fixture_.As<QLabel>(101)->pixmap().toImage();
  ASSERT_FALSE(painted.isNull());
  EXPECT_EQ(painted.pixelColor(client.right / 2, client.bottom / 2), QColor(200, 0, 0));
  // The dialog font: 11 pixels high, as the controls paint with it.
  for (int id : {100, 102, 105, 110, 113}) EXPECT_EQ(fixture_.WidgetOf(id)->font().pixelSize(), 11) << id;
}

TEST_F(WidgetSync, AButtonMadeAGroupBoxIsAFrameWithItsTitle) {
  auto* group = dynamic_cast<CButton*>(
      fixture_.dialog.AddControl(std::make_unique<CButton>(BS_GROUPBOX, "&Radios"), 201));
  ASSERT_NE(group, nullptr);
  fixture_.Add(201);
  auto* box = fixture_.As<QGroupBox>(201);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->title(), "Radios");
  // It takes no click from the controls inside it, and never covers them
  // with the dialog's background, whichever of them comes first.
  EXPECT_TRUE(box->testAttribute(Qt::WA_TransparentForMouseEvents));
  const HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  fixture_.dialog.colours[WM_CTLCOLORSTATIC] = {RGB(200, 0, 0), brush};
  fixture_.Sync(201, win::display::kPainted);
  EXPECT_FALSE(box->autoFillBackground());
  EXPECT_EQ(box->palette().color(QPalette::WindowText), QColor(200, 0, 0));
  fixture_.dialog.colours.clear();
  DeleteObject(brush);
}

// A trackbar of a class of its own that draws over its channel.
class PaintedSlider : public CSliderCtrl {
 public:
  ~PaintedSlider() override { DestroyWindow(); }
};

TEST_F(WidgetSync, WhatPaintsItselfIsLeftToItsSurface) {
  ASSERT_NE(fixture_.dialog.AddControl(std::make_unique<PaintedSlider>(), 202), nullptr);
  fixture_.Add(202);
  EXPECT_EQ(fixture_.WidgetOf(202), nullptr);
  // A button its class made owner-drawn after the template named it a push button.
  ASSERT_NE(fixture_.dialog.AddControl(std::make_unique<CButton>(BS_PUSHBUTTON, "Drawn"), 203), nullptr);
  SendMessageA(fixture_.Hwnd(203), ControlSetStyleMessage(), WS_CHILD | BS_OWNERDRAW, 0);
  // Asked with the kind and style the template gave.
  EXPECT_EQ(win::display::MakeControlWidget(fixture_.Hwnd(203), "button", WS_CHILD | BS_PUSHBUTTON, &fixture_.window),
            nullptr);
  // The plain trackbar and push button are widgets.
  EXPECT_NE(fixture_.WidgetOf(115), nullptr);
  EXPECT_NE(fixture_.WidgetOf(105), nullptr);
}

TEST_F(WidgetSync, TooltipsGoOnTheirToolsWidgets) {
  auto* tip = dynamic_cast<CToolTipCtrl*>(fixture_.dialog.AddControl(std::make_unique<CToolTipCtrl>(), 200));
  ASSERT_NE(tip, nullptr);
  tip->AddTool(fixture_.dialog.GetDlgItem(105), "Starts it");
  fixture_.Add(200);
  EXPECT_EQ(fixture_.WidgetOf(105)->toolTip(), "Starts it");
  EXPECT_TRUE(fixture_.WidgetOf(106)->toolTip().isEmpty());
  // Shown on the pointer's rest, in the tooltip's colours.
  tip->SetTipBkColor(RGB(255, 255, 200));
  tip->SetTipTextColor(RGB(0, 0, 100));
  QWidget* tool = fixture_.WidgetOf(105);
  const auto rest = [tool] {
    QHelpEvent event(QEvent::ToolTip, tool->rect().center(), tool->mapToGlobal(tool->rect().center()));
    QApplication::sendEvent(tool, &event);
  };
  rest();
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_EQ(QToolTip::text(), "Starts it");
  EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipBase), QColor(255, 255, 200));
  EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipText), QColor(0, 0, 100));
  // A deactivated tooltip shows nothing.
  tip->Activate(FALSE);
  tip->AddTool(fixture_.dialog.GetDlgItem(105), "Other");
  fixture_.Sync(200, kContent);
  rest();
  EXPECT_NE(QToolTip::text(), "Other");
  tip->Activate(TRUE);
  rest();
  EXPECT_EQ(QToolTip::text(), "Other");
  // A tool whose widget comes after the tooltip's finds its tip itself.
  tip->AddTool(fixture_.dialog.GetDlgItem(106), "Checks it");
  fixture_.Sync(106, win::display::kCreated);
  EXPECT_EQ(fixture_.WidgetOf(106)->toolTip(), "Checks it");
}

}  // namespace
