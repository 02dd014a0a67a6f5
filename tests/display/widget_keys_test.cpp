#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <string>
#include <vector>

#include "tests/display/widget_fixture.h"
#include "win/controls.h"
#include "win/display/widget_keys.h"
#include "win/display_hooks.h"
#include "win/keys.h"

namespace {

using tk_test::KeySeen;
using tk_test::Notice;
using tk_test::WidgetFixture;
using tk_test::WindowTextOf;

constexpr UINT kTemplate = 9303;
constexpr const char* kText =
    "dialog 9303 \"Keys\" 0 0 400 200 0\n"
    "edit 102 \"\" 4 4 200 22 WS_BORDER|ES_AUTOHSCROLL|WS_TABSTOP\n"
    "edit 103 \"\" 4 30 200 22 WS_BORDER|ES_PASSWORD|WS_TABSTOP\n"
    "edit 104 \"\" 4 60 200 60 ES_MULTILINE|ES_AUTOVSCROLL|WS_VSCROLL\n"
    "combo 111 \"\" 210 4 120 120 CBS_DROPDOWN\n"
    "edit 105 \"\" 210 30 100 22 ES_UPPERCASE|WS_BORDER\n"
    "edit 106 \"\" 210 60 100 22 ES_NUMBER|WS_BORDER\n"
    "ipaddress 107 \"\" 210 90 160 22 0\n";

class WidgetKeys : public ::testing::Test {
 protected:
  std::vector<KeySeen> KeysDown() const {
    std::vector<KeySeen> down;
    for (const KeySeen& key : fixture_.dialog.keys) {
      if (key.message == WM_KEYDOWN) down.push_back(key);
    }
    return down;
  }
  int Changes(int id) const {
    int count = 0;
    for (const Notice& n : fixture_.dialog.notices) count += n.message == WM_COMMAND && n.id == id && n.code == EN_CHANGE;
    return count;
  }

  WidgetFixture fixture_{kTemplate, kText};
};

TEST_F(WidgetKeys, EnterTypedInAnEditReachesTheDialogsKeyHandlingOnceAfterTheText) {
  QWidget* edit = fixture_.WidgetOf(102);
  ASSERT_NE(edit, nullptr);
  fixture_.window.activateWindow();
  edit->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), edit);
  // The focus came to the control's model too.
  EXPECT_EQ(GetFocus(), fixture_.Hwnd(102));
  // The loop runs between the keys, as a user's keys come.
  tk_test::Type(edit, "h");
  fixture_.Pump();
  tk_test::Type(edit, "i");
  fixture_.Pump();
  tk_test::Key(edit, Qt::Key_Return, QStringLiteral("\r"));
  fixture_.Pump();
  const HWND hwnd = fixture_.Hwnd(102);
  // Each key once, in order, the text typed before it already in the model.
  EXPECT_EQ(KeysDown(), (std::vector<KeySeen>{{hwnd, WM_KEYDOWN, 'H', "h"},
                                              {hwnd, WM_KEYDOWN, 'I', "hi"},
                                              {hwnd, WM_KEYDOWN, VK_RETURN, "hi"}}));
  EXPECT_EQ(fixture_.dialog.keys.size(), 6u);  // and each release
  EXPECT_EQ(WindowTextOf(hwnd), "hi");
  EXPECT_EQ(Changes(102), 2);
  EXPECT_EQ(GetKeyState(VK_RETURN) & 0x8000, 0);
}

TEST_F(WidgetKeys, AKeyTheEditPassesOnIsToldOnceAndGoesNoFurther) {
  // Keys the widget does not take (Escape, Enter in a line edit) would reach
  // the window around it; they are told once, from the control.
  int aroundSaw = 0;
  struct Around : QObject {
    int* saw;
    explicit Around(int* s) : saw(s) {}
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::KeyPress) ++*saw;
      return false;
    }
  } around(&aroundSaw);
  fixture_.window.installEventFilter(&around);
  QComboBox* box = fixture_.WidgetOf(111)->findChild<QComboBox*>();
  ASSERT_NE(box, nullptr);
  for (QWidget* target : {fixture_.WidgetOf(102), static_cast<QWidget*>(box)}) {
    fixture_.dialog.keys.clear();
    target->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), target);
    tk_test::Key(target, Qt::Key_Escape);
    fixture_.Pump();
    EXPECT_EQ(KeysDown().size(), 1u) << target->metaObject()->className();
  }
  EXPECT_EQ(aroundSaw, 0);
}

TEST_F(WidgetKeys, TabMovesTheFocusOnceOnScreenAndInTheModel) {
  fixture_.dialog.tabMovesFocus = true;
  fixture_.window.activateWindow();
  QWidget* first = fixture_.WidgetOf(102);
  first->setFocus();
  fixture_.Pump();
  ASSERT_EQ(GetFocus(), fixture_.Hwnd(102));
  tk_test::Key(first, Qt::Key_Tab);
  fixture_.Pump();
  EXPECT_EQ(QApplication::focusWidget(), fixture_.WidgetOf(103));
  EXPECT_EQ(GetFocus(), fixture_.Hwnd(103));
  // A click moves both at once.
  tk_test::Click(first);
  fixture_.WidgetOf(102)->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(GetFocus(), fixture_.Hwnd(102));
}

TEST_F(WidgetKeys, APasswordEditsWidgetHoldsNoneOfItsText) {
  auto* line = fixture_.As<QLineEdit>(103);
  ASSERT_NE(line, nullptr);
  SetWindowTextA(fixture_.Hwnd(103), "secret");
  fixture_.Sync(103, win::display::kContent);
  EXPECT_EQ(line->echoMode(), QLineEdit::Password);
  EXPECT_EQ(line->text().size(), 6);
  EXPECT_FALSE(line->text().contains(QStringLiteral("secret")));
  EXPECT_FALSE(line->displayText().contains(QLatin1Char('s')));
  // Typed at the end and in the middle: the model has the characters in their places.
  line->setFocus();
  line->setCursorPosition(6);
  tk_test::Type(line, "1");
  line->setCursorPosition(2);
  tk_test::Type(line, "x");
  fixture_.Pump();
  EXPECT_EQ(WindowTextOf(fixture_.Hwnd(103)), "sexcret1");
  EXPECT_EQ(line->text().size(), 8);
  for (const char* part : {"s", "x", "c", "1"}) EXPECT_FALSE(line->text().contains(QLatin1String(part))) << part;
  // A deletion removes the model's character under it.
  tk_test::Key(line, Qt::Key_Backspace);
  EXPECT_EQ(WindowTextOf(fixture_.Hwnd(103)), "secret1");
  EXPECT_EQ(line->text().size(), 7);
}

TEST_F(WidgetKeys, EditsTypeOnlyWhatChangedWithinTheModelsLimit) {
  auto* line = fixture_.As<QLineEdit>(102);
  auto* lines = fixture_.As<QPlainTextEdit>(104);
  ASSERT_TRUE(line != nullptr && lines != nullptr);
  SetWindowTextA(fixture_.Hwnd(102), "EDDF");
  fixture_.Sync(102, win::display::kContent);
  line->setFocus();
  line->setCursorPosition(0);
  tk_test::Type(line, "K");
  EXPECT_EQ(WindowTextOf(fixture_.Hwnd(102)), "KEDDF");
  int start = 0;
  int end = 0;
  dynamic_cast<CEdit*>(fixture_.dialog.GetDlgItem(102))->GetSel(start, end);
  EXPECT_EQ(start, 1);
  EXPECT_EQ(end, 1);
  // The model's limit holds: what it cut does not stay in the widget.
  dynamic_cast<CEdit*>(fixture_.dialog.GetDlgItem(102))->LimitText(5);
  line->setCursorPosition(5);
  QApplication::clipboard()->setText(QStringLiteral("XYZ"));
  line->paste();
  EXPECT_EQ(WindowTextOf(fixture_.Hwnd(102)), "KEDDF");
  EXPECT_EQ(line->text(), "KEDDF");
  // A multi-line edit keeps its line breaks as the platform's.
  lines->setFocus();
  tk_test::Type(lines, "ab");
  tk_test::Key(lines, Qt::Key_Return, QStringLiteral("\r"));
  tk_test::Type(lines, "c");
  EXPECT_EQ(WindowTextOf(fixture_.Hwnd(104)), "ab\r\nc");
  EXPECT_EQ(lines->toPlainText(), "ab\nc");
}

TEST_F(WidgetKeys, WhatAnInputMethodCommitsIsTypedInTheModelsCodePage) {
  auto* line = fixture_.As<QLineEdit>(102);
  ASSERT_NE(line, nullptr);
  fixture_.window.activateWindow();
  line->setFocus();
  // Composed first (shown, not yet typed), then committed.
  QInputMethodEvent composing(QStringLiteral("u"), {});
  QApplication::sendEvent(line, &composing);
  EXPECT_EQ(WindowTextOf(fixture_.Hwnd(102)), "");
  QInputMethodEvent commit;
  commit.setCommitString(QString::fromUtf8("\xC3\xBC" "ber \xE2\x82\xAC"));
  QApplication::sendEvent(line, &commit);
  EXPECT_EQ(WindowTextOf(fixture_.Hwnd(102)), "\xFC" "ber \x80");
  EXPECT_EQ(Changes(102), 1);
  EXPECT_EQ(line->text(), QString::fromUtf8("\xC3\xBC" "ber \xE2\x82\xAC"));
}

TEST_F(WidgetKeys, TypingIsFoldedAndFilteredAsTheEditsStyleSays) {
  struct Case {
    int id;
    const char* typed;
    const char* kept;
  };
  const Case cases[] = {{105, "eddf", "EDDF"}, {106, "1a2b", "12"}, {102, "MiXed", "MiXed"}};
  for (const Case& c : cases) {
    auto* line = fixture_.As<QLineEdit>(c.id);
    ASSERT_NE(line, nullptr);
    tk_test::Type(line, QString::fromLatin1(c.typed));
    EXPECT_EQ(WindowTextOf(fixture_.Hwnd(c.id)), c.kept) << c.id;
    EXPECT_EQ(line->text().toStdString(), c.kept) << c.id;
  }
}

TEST_F(WidgetKeys, AnAddressIsTypedFieldByField) {
  const QList<QLineEdit*> fields = fixture_.WidgetOf(107)->findChildren<QLineEdit*>();
  ASSERT_EQ(fields.size(), 4);
  fixture_.window.activateWindow();
  fields[0]->setFocus();
  // Where the focus is, the keys go: a dot moves on, and so does a third digit.
  for (QChar c : QStringLiteral("10.0.255.7")) tk_test::Type(QApplication::focusWidget(), QString(c));
  EXPECT_EQ(WindowTextOf(fixture_.Hwnd(107)), "10.0.255.7");
  EXPECT_EQ(QApplication::focusWidget(), fields[3]);
  SetWindowTextA(fixture_.Hwnd(107), "");
  fixture_.Sync(107, win::display::kContent);
  fields[0]->setFocus();
  for (QChar c : QStringLiteral("19216")) tk_test::Type(QApplication::focusWidget(), QString(c));
  EXPECT_EQ(WindowTextOf(fixture_.Hwnd(107)), "192.16..");
  // The model brings a value past its field's range to the range's end.
  fields[1]->setFocus();
  fields[1]->selectAll();
  tk_test::Type(fields[1], "300");
  EXPECT_EQ(WindowTextOf(fixture_.Hwnd(107)), "192.255..");
  EXPECT_EQ(fields[1]->text(), "255");
}

TEST(VirtualKeys, QtKeysAreThePlatformsVirtualKeys) {
  tk_test::EnsureOffscreenWidgets();
  struct Case {
    int key;
    Qt::KeyboardModifiers modifiers;
    int vk;
  };
  const Case cases[] = {{Qt::Key_A, Qt::NoModifier, 'A'},          {Qt::Key_Z, Qt::ShiftModifier, 'Z'},
                        {Qt::Key_5, Qt::NoModifier, '5'},          {Qt::Key_Exclam, Qt::ShiftModifier, '1'},
                        {Qt::Key_Return, Qt::NoModifier, VK_RETURN}, {Qt::Key_Enter, Qt::KeypadModifier, VK_RETURN},
                        {Qt::Key_Escape, Qt::NoModifier, VK_ESCAPE}, {Qt::Key_Backtab, Qt::ShiftModifier, VK_TAB},
                        {Qt::Key_F12, Qt::NoModifier, VK_F12},     {Qt::Key_PageDown, Qt::NoModifier, VK_NEXT},
                        {Qt::Key_Control, Qt::ControlModifier, VK_CONTROL}, {Qt::Key_7, Qt::KeypadModifier, VK_NUMPAD0 + 7},
                        {Qt::Key_Minus, Qt::NoModifier, 0xBD},     {Qt::Key_Period, Qt::NoModifier, 0xBE},
                        {Qt::Key_unknown, Qt::NoModifier, 0}};
  for (const Case& c : cases) {
    const QKeyEvent event(QEvent::KeyPress, c.key, c.modifiers);
    EXPECT_EQ(win::display::VirtualKeyOf(event), c.vk) << std::hex << c.key;
  }
}

}  // namespace
