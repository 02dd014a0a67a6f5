#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>

#include "desktop_test_support.h"
#include "win/display/desktop_popup_menu.h"
#include "win/menu.h"

namespace {

using desktop_test::DesktopHooksTest;
using desktop_test::Pilot;
using desktop_test::PumpUntil;
using desktop_test::RecordingWindow;

constexpr int kBoundMs = 10'000;
constexpr UINT kConnect = 301;
constexpr UINT kDisconnect = 302;
constexpr UINT kNight = 303;
constexpr UINT kServer = 304;
constexpr UINT kFrench = 311;
constexpr UINT kGerman = 312;

// A menu as the program builds them: texts with mnemonics and accelerators,
// a grayed item, a checked one, a separator and sub-menus, one grayed.
HMENU MakeMenu() {
  const HMENU languages = CreatePopupMenu();
  AppendMenuA(languages, MF_STRING | MF_CHECKED, kFrench, "&Fran\xE7" "ais");
  AppendMenuA(languages, MF_STRING | MF_GRAYED, kGerman, "&Deutsch");
  const HMENU servers = CreatePopupMenu();
  AppendMenuA(servers, MF_STRING, kServer, "Server &1");
  const HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING, kConnect, "&Connect\tCtrl+K");
  AppendMenuA(menu, MF_STRING | MF_GRAYED, kDisconnect, "&Disconnect");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING | MF_CHECKED, kNight, "&Night colours");
  AppendMenuA(menu, MF_POPUP | MF_GRAYED, servers, "&Servers");
  AppendMenuA(menu, MF_POPUP, languages, "&Language");
  return menu;
}

struct Shown {
  QString text;
  bool separator;
  bool enabled;
  bool checked;
  bool subMenu;
};

TEST(DesktopPopupMenuItems, TheMenuShowsTextsGrayingChecksSeparatorsAndSubMenus) {
  ASSERT_TRUE(desktop_test::EnsureWidgetsApplication());
  const HMENU handle = MakeMenu();
  const std::optional<MenuSnapshot> snapshot = SnapshotMenu(handle);
  ASSERT_TRUE(snapshot);
  QMenu menu;
  win::display::FillQMenu(menu, snapshot->items);
  const Shown expected[] = {
      {"&Connect\tCtrl+K", false, true, false, false}, {"&Disconnect", false, false, false, false},
      {"", true, true, false, false},                 {"&Night colours", false, true, true, false},
      {"&Servers", false, false, false, true},         {"&Language", false, true, false, true},
  };
  const QList<QAction*> actions = menu.actions();
  ASSERT_EQ(actions.size(), static_cast<qsizetype>(std::size(expected)));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    const QAction* action = actions[static_cast<qsizetype>(i)];
    EXPECT_EQ(action->text(), expected[i].text);
    EXPECT_EQ(action->isSeparator(), expected[i].separator);
    EXPECT_EQ(action->isEnabled(), expected[i].enabled);
    EXPECT_EQ(action->isChecked(), expected[i].checked);
    EXPECT_EQ(action->menu() != nullptr, expected[i].subMenu);
  }
  EXPECT_EQ(actions[0]->data().toUInt(), kConnect);
  const QMenu* languages = actions[5]->menu();
  ASSERT_NE(languages, nullptr);
  ASSERT_EQ(languages->actions().size(), 2);
  EXPECT_EQ(languages->actions()[0]->text(), QString::fromUtf8("&Fran\u00e7ais"));
  EXPECT_TRUE(languages->actions()[0]->isChecked());
  EXPECT_FALSE(languages->actions()[1]->isEnabled());
  EXPECT_EQ(languages->actions()[1]->data().toUInt(), kGerman);
  DestroyMenu(handle);
}

QAction* ActionOf(const QMenu& menu, UINT id) {
  for (QAction* action : menu.actions()) {
    if (!action->isSeparator() && action->menu() == nullptr && action->data().toUInt() == id) return action;
  }
  return nullptr;
}

void PressKey(QMenu& menu, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(&menu, &press);
}

// The pilot picks the command with the keyboard in the shown menu (Escape
// when it is 0); returns the screen point the menu opened at.
Pilot ChooseOnScreen(UINT id, QPoint* at) {
  return Pilot([id, at] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr || !menu->isVisible()) return false;
    *at = menu->pos();
    QAction* action = ActionOf(*menu, id);
    if (action != nullptr) menu->setActiveAction(action);
    PressKey(*menu, action != nullptr ? Qt::Key_Return : Qt::Key_Escape);
    return true;
  });
}

class DesktopPopupMenu : public DesktopHooksTest {
 protected:
  void SetUp() override {
    DesktopHooksTest::SetUp();
    ASSERT_TRUE(owner_.CreateHandle({}));
    menu_ = MakeMenu();
  }
  void TearDown() override {
    DestroyMenu(menu_);
    DesktopHooksTest::TearDown();
  }
  RecordingWindow owner_;
  HMENU menu_ = 0;
};

TEST_F(DesktopPopupMenu, TheChosenCommandReachesTheOwner) {
  QPoint at;
  Pilot pilot = ChooseOnScreen(kConnect, &at);
  EXPECT_EQ(TrackPopupMenu(menu_, TPM_LEFTALIGN | TPM_RIGHTBUTTON, 120, 80, 0, owner_.m_hWnd, nullptr), TRUE);
  EXPECT_TRUE(pilot.Done());
  EXPECT_EQ(at, QPoint(120, 80));
  EXPECT_TRUE(PumpUntil(kBoundMs, [&] { return owner_.Got(WM_COMMAND, kConnect); }));
  EXPECT_TRUE(owner_.Got(WM_ENTERMENULOOP, TRUE));
  EXPECT_TRUE(owner_.Got(WM_EXITMENULOOP, TRUE));
  EXPECT_EQ(TrackedMenus().size(), 1u);
}

TEST_F(DesktopPopupMenu, ReturnCmdHandsTheCommandBackWithoutNotice) {
  QPoint at;
  Pilot pilot = ChooseOnScreen(kNight, &at);
  EXPECT_EQ(TrackPopupMenu(menu_, TPM_RETURNCMD | TPM_NONOTIFY, 10, 10, 0, owner_.m_hWnd, nullptr),
            static_cast<BOOL>(kNight));
  EXPECT_TRUE(pilot.Done());
  PumpUntil(50, [] { return false; });
  EXPECT_FALSE(owner_.Got(WM_COMMAND, kNight));
}

TEST_F(DesktopPopupMenu, ACommandInASubMenuIsChosenThere) {
  bool done = false;
  QMenu* menu = nullptr;
  Pilot pilot([&] {
    if (menu == nullptr) menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr || !menu->isVisible()) return false;
    QMenu* languages = menu->actions().back()->menu();
    if (!languages->isVisible()) {
      menu->setActiveAction(menu->actions().back());
      PressKey(*menu, Qt::Key_Right);
      return false;
    }
    languages->setActiveAction(ActionOf(*languages, kFrench));
    PressKey(*languages, Qt::Key_Return);
    done = true;
    return true;
  });
  EXPECT_EQ(TrackPopupMenu(menu_, TPM_RETURNCMD, 10, 10, 0, owner_.m_hWnd, nullptr), static_cast<BOOL>(kFrench));
  EXPECT_TRUE(done);
}

TEST_F(DesktopPopupMenu, DismissedTheMenuChoosesNothing) {
  QPoint at;
  Pilot pilot = ChooseOnScreen(0, &at);
  EXPECT_EQ(TrackPopupMenu(menu_, TPM_RETURNCMD, 10, 10, 0, owner_.m_hWnd, nullptr), 0);
  EXPECT_TRUE(pilot.Done());
}

TEST_F(DesktopPopupMenu, AGrayedCommandCannotBeChosen) {
  bool tried = false;
  Pilot pilot([&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr || !menu->isVisible()) return false;
    if (!tried) {
      // Triggered by hand, as a stray click would: the menu stays up and nothing is chosen.
      ActionOf(*menu, kDisconnect)->trigger();
      tried = true;
      return false;
    }
    PressKey(*menu, Qt::Key_Escape);
    return true;
  });
  EXPECT_EQ(TrackPopupMenu(menu_, TPM_RETURNCMD, 10, 10, 0, owner_.m_hWnd, nullptr), 0);
  EXPECT_TRUE(tried);
}

TEST_F(DesktopPopupMenu, AutomationsCaptureAndATestsChoiceWinWithoutShowing) {
  bool shown = false;
  Pilot pilot([&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return false;
    shown = true;
    menu->close();
    return true;
  });
  SetMenuCapture([](const MenuSnapshot&) { return std::optional<UINT>(kNight); });
  EXPECT_EQ(TrackPopupMenu(menu_, TPM_RETURNCMD, 10, 10, 0, owner_.m_hWnd, nullptr), static_cast<BOOL>(kNight));
  EXPECT_TRUE(MenuCaptureTaken());
  SetTrackedMenuChoice(kConnect);
  EXPECT_EQ(TrackPopupMenu(menu_, TPM_RETURNCMD, 10, 10, 0, owner_.m_hWnd, nullptr), static_cast<BOOL>(kConnect));
  // A test's choice that cannot be chosen dismisses the menu, as headless.
  SetTrackedMenuChoice(kDisconnect);
  EXPECT_EQ(TrackPopupMenu(menu_, TPM_RETURNCMD, 10, 10, 0, owner_.m_hWnd, nullptr), 0);
  EXPECT_FALSE(shown);
}

}  // namespace
