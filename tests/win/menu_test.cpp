#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win/dialog.h"
#include "win/menu.h"

namespace {

// The panel's context menu, as its positions are addressed.
TEST(Menus, TheContextMenuLoadsWithItsPositions) {
  const std::size_t before = LiveMenuCount();
  {
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(7036));
    CMenu* popup = menu.GetSubMenu(0);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup, menu.GetSubMenu(0));  // the same view each time
    std::array<char, 64> text{};
    struct Position {
      int index;
      UINT id;  // 0xFFFFFFFF: a popup
      const char* text;
    };
    const std::vector<Position> positions = {
        {0, 33100, "Servers ..."},
        {1, 0xFFFFFFFF, "Flight plan"},
        {2, 32778, "&Disconnect from network"},
        {4, 32781, "&Show / Hide Tavelkor    SHIFT+TAB"},
        {10, 0xFFFFFFFF, "Multiplayer"},
        {15, 32785, "A&TC List                        CTRL+TAB"},
        {16, 32847, "Locate and Track a plane ..."},
    };
    for (const Position& p : positions) {
      SCOPED_TRACE(p.index);
      EXPECT_EQ(popup->GetMenuItemID(p.index), p.id);
      popup->GetMenuString(static_cast<UINT>(p.index), text.data(), static_cast<int>(text.size()), MF_BYPOSITION);
      EXPECT_STREQ(text.data(), p.text);
    }
    EXPECT_EQ(popup->GetMenuState(3, MF_BYPOSITION), MF_SEPARATOR);
    CMenu* multiplayer = popup->GetSubMenu(10);
    ASSERT_NE(multiplayer, nullptr);
    EXPECT_EQ(multiplayer->GetMenuItemID(0), 32795u);
    EXPECT_EQ(popup->GetMenuState(10, MF_BYPOSITION), (3u << 8) | MF_POPUP);
  }
  EXPECT_EQ(LiveMenuCount(), before);  // the menu and its popups went with the object
}

TEST(Menus, TheServersPopupReplacesTheFirstItem) {
  CMenu menu;
  ASSERT_TRUE(menu.LoadMenu(7036));
  CMenu* popup = menu.GetSubMenu(0);
  const int count = popup->GetMenuItemCount();
  const HMENU servers = CreatePopupMenu();
  AppendMenuA(servers, MF_STRING, 33000, "Europe");
  AppendMenuA(servers, MF_STRING, 33003, "Pacific");
  ASSERT_TRUE(popup->RemoveMenu(0, MF_BYPOSITION));
  ASSERT_TRUE(popup->InsertMenu(0, MF_BYPOSITION | MF_POPUP, servers, "Servers ..."));
  EXPECT_EQ(popup->GetMenuItemCount(), count);
  ASSERT_TRUE(popup->AppendMenu(MF_STRING, 32835, "Quit xTavelkor"));

  // By command, items inside popups are found; the previous state comes back.
  EXPECT_EQ(popup->EnableMenuItem(32790, MF_BYCOMMAND | MF_GRAYED), MF_ENABLED);
  EXPECT_EQ(popup->EnableMenuItem(32790, MF_BYCOMMAND | MF_ENABLED), MF_GRAYED);
  EXPECT_EQ(popup->EnableMenuItem(33003, MF_BYCOMMAND | MF_GRAYED), MF_ENABLED);
  EXPECT_EQ(popup->EnableMenuItem(10, MF_BYPOSITION | MF_GRAYED), MF_ENABLED);
  EXPECT_EQ(popup->EnableMenuItem(4242, MF_BYCOMMAND | MF_GRAYED), 0xFFFFFFFFu);
  EXPECT_EQ(popup->EnableMenuItem(99, MF_BYPOSITION | MF_GRAYED), 0xFFFFFFFFu);
  ASSERT_TRUE(popup->ModifyMenu(32795, MF_BYCOMMAND | MF_STRING, 32795, "&Disconnect"));

  std::optional<MenuSnapshot> snapshot = SnapshotMenu(*popup);
  ASSERT_TRUE(snapshot);
  const MenuItemSnapshot& first = snapshot->items.front();
  EXPECT_EQ(first.text, "Servers ...");
  ASSERT_EQ(first.popup.size(), 2u);
  EXPECT_EQ(first.popup[1].id, 33003u);
  EXPECT_EQ(first.popup[1].flags, MF_GRAYED);
  EXPECT_EQ(snapshot->items[10].flags, MF_POPUP | MF_GRAYED);
  EXPECT_EQ(snapshot->items[10].popup[0].text, "&Disconnect");
  EXPECT_EQ(snapshot->items.back().id, 32835u);
  EXPECT_EQ(snapshot->items.back().text, "Quit xTavelkor");
}

TEST(Menus, AMenuCannotHoldItself) {
  const HMENU outer = CreatePopupMenu();
  const HMENU inner = CreatePopupMenu();
  ASSERT_TRUE(AppendMenuA(outer, MF_POPUP, inner, "inner"));
  EXPECT_FALSE(AppendMenuA(inner, MF_POPUP, outer, "loop"));
  EXPECT_FALSE(AppendMenuA(outer, MF_POPUP, outer, "self"));
  EXPECT_FALSE(AppendMenuA(outer, MF_POPUP, 0xBAD, "none"));
  EXPECT_TRUE(DestroyMenu(outer));
  EXPECT_FALSE(IsMenu(inner));  // popups go with their menu
  const HMENU kept = CreatePopupMenu();
  const HMENU holder = CreatePopupMenu();
  AppendMenuA(holder, MF_POPUP, kept, "kept");
  RemoveMenu(holder, 0, MF_BYPOSITION);
  DestroyMenu(holder);
  EXPECT_TRUE(IsMenu(kept));  // removed, not deleted
  DestroyMenu(kept);
}

TEST(Menus, MalformedMenuTextsAreRefused) {
  struct Case {
    std::string text;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"", "empty"},
      {"menu\n", "line 1: the first line must be"},
      {"menu 0\n", "line 1: the first line must be"},
      {"menu 1\npopup \"P\"\nitem 5 \"x\"\n", "no end"},
      {"menu 1\nend\n", "end without its popup"},
      {"menu 1\nitem 0 \"x\"\n", "bad item id"},
      {"menu 1\nitem 5 x\n", "quoted text"},
      {"menu 1\nitem 5 \"x\" BOLD\n", "unknown menu flag \"BOLD\""},
      {"menu 1\nitem 5 \"x\" GRAYED extra\n", "an item is"},
      {"menu 1\nseparator now\n", "separator stands alone"},
      {"menu 1\npopup P\nend\n", "a popup is"},
      {"menu 1\nbutton 5 \"x\"\n", "unknown word \"button\""},
  };
  const std::size_t before = LiveMenuCount();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string error;
    EXPECT_EQ(LoadMenuFromText(c.text, error), 0u);
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
  std::string deep = "menu 1\n";
  for (int i = 0; i < 9; ++i) deep += "popup \"p\"\n";
  std::string error;
  EXPECT_EQ(LoadMenuFromText(deep, error), 0u);
  EXPECT_NE(error.find("too deep"), std::string::npos) << error;
  EXPECT_EQ(LiveMenuCount(), before);  // nothing half-built is left
  EXPECT_EQ(LoadMenuA(nullptr, 4242u), 0u);
}

TEST(Menus, FlagsFromTheFileAreKept) {
  std::string error;
  UINT id = 0;
  const HMENU menu =
      LoadMenuFromText("menu 12\npopup \"P\" GRAYED\n  item 7 \"Seven\" CHECKED|DISABLED\nend\n", error, &id);
  ASSERT_NE(menu, 0u) << error;
  EXPECT_EQ(id, 12u);
  std::optional<MenuSnapshot> s = SnapshotMenu(menu);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->items[0].flags, MF_POPUP | MF_GRAYED);
  EXPECT_EQ(s->items[0].popup[0].flags, MF_CHECKED | MF_DISABLED);
  EXPECT_EQ(CheckMenuItem(menu, 7, MF_BYCOMMAND | MF_UNCHECKED), MF_CHECKED);
  DestroyMenu(menu);
}

class MenuOwner : public CDialog {
 public:
  ~MenuOwner() override { DestroyWindow(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_COMMAND || message == WM_ENTERMENULOOP || message == WM_EXITMENULOOP) {
      seen.push_back({message, LOWORD(wParam)});
    }
    return CDialog::WindowProc(message, wParam, lParam);
  }
  std::vector<std::pair<UINT, WORD>> seen;
};

TEST(Menus, TrackingIsRecordedAndChoosesOnlyWhatAUserCould) {
  MenuOwner owner;
  ASSERT_TRUE(owner.Create(9300, nullptr));
  const HMENU popup = CreatePopupMenu();
  AppendMenuA(popup, MF_STRING, 32789, "A&bout ...");
  AppendMenuA(popup, MF_STRING | MF_GRAYED, 32790, "&Send flight Plan");
  MENUINFO info;
  info.fMask = MIM_STYLE;
  info.dwStyle = MNS_MODELESS;
  ASSERT_TRUE(SetMenuInfo(popup, &info));
  ClearTrackedMenus();

  SetTrackedMenuChoice(std::nullopt);
  EXPECT_TRUE(TrackPopupMenu(popup, TPM_RIGHTBUTTON | TPM_RECURSE, 40, 50, 0, owner.m_hWnd, nullptr));
  SetTrackedMenuChoice(32790);  // grayed: a user cannot pick it
  EXPECT_EQ(TrackPopupMenu(popup, TPM_RETURNCMD, 0, 0, 0, owner.m_hWnd, nullptr), 0);
  SetTrackedMenuChoice(32789);
  EXPECT_EQ(TrackPopupMenu(popup, TPM_RETURNCMD, 0, 0, 0, owner.m_hWnd, nullptr), 32789);
  EXPECT_TRUE(TrackPopupMenu(popup, 0, 0, 0, 0, owner.m_hWnd, nullptr));
  SetTrackedMenuChoice(std::nullopt);
  MSG msg;
  while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);

  const std::vector<TrackedMenu> tracked = TrackedMenus();
  ASSERT_EQ(tracked.size(), 4u);
  EXPECT_EQ(tracked[0].x, 40);
  EXPECT_EQ(tracked[0].y, 50);
  EXPECT_EQ(tracked[0].flags, TPM_RIGHTBUTTON | TPM_RECURSE);
  EXPECT_EQ(tracked[0].owner, owner.m_hWnd);
  EXPECT_EQ(tracked[0].menu.style, MNS_MODELESS);
  EXPECT_EQ(tracked[0].menu.items.size(), 2u);
  // Each tracking enters and leaves the menu loop; only the last one posts its command.
  std::vector<std::pair<UINT, WORD>> expected;
  for (int i = 0; i < 4; ++i) {
    expected.push_back({WM_ENTERMENULOOP, TRUE});
    expected.push_back({WM_EXITMENULOOP, TRUE});
  }
  expected.push_back({WM_COMMAND, 32789});
  EXPECT_EQ(owner.seen, expected);
  DestroyMenu(popup);
}

}  // namespace
