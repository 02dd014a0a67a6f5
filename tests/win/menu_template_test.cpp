#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "win/menu.h"
#include "win/menu_template.h"

namespace {

WORD WordAt(const BYTE* bytes, std::size_t at) { return static_cast<WORD>(bytes[at] | (bytes[at + 1] << 8)); }

TEST(MenuTemplate, AResourceMenuIsTheStandardTemplateOfItsItems) {
  const HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(7036), RT_MENU);
  ASSERT_NE(resource, 0u);
  const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, resource)));
  ASSERT_NE(bytes, nullptr);
  const DWORD size = SizeofResource(nullptr, resource);
  ASSERT_GT(size, 8u);
  EXPECT_EQ(WordAt(bytes, 0), 0);  // version
  EXPECT_EQ(WordAt(bytes, 2), 0);  // offset of the items
  // The one top-level popup is also the level's last item; its first item follows its text.
  EXPECT_EQ(WordAt(bytes, 4), MF_POPUP | MF_END);
  std::size_t at = 6;
  while (WordAt(bytes, at) != 0) at += 2;
  at += 2;
  EXPECT_EQ(WordAt(bytes, at), 0);                  // "Servers ...": plain flags
  EXPECT_EQ(WordAt(bytes, at + 2), 33100);          // its id
  EXPECT_EQ(WordAt(bytes, at + 4), u'S');
  EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(7036), MAKEINTRESOURCEA(2)), 0u);  // only menus
  EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(9999), RT_MENU), 0u);
  EXPECT_EQ(SizeofResource(nullptr, 0), 0u);
}

TEST(MenuTemplate, LevelsEndWithTheirLastItem) {
  const HMENU menu = CreateMenu();
  const HMENU popup = CreatePopupMenu();
  AppendMenuA(popup, MF_STRING, 7, "A");
  AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_POPUP, popup, "P");
  AppendMenuA(menu, MF_STRING | MF_GRAYED, 9, "B");
  const std::optional<std::vector<BYTE>> bytes = MenuTemplateBytes(menu);
  DestroyMenu(menu);
  ASSERT_TRUE(bytes);
  const std::vector<BYTE> expected = {0, 0, 0, 0,                              // header
                                      0x10, 0, 'P', 0, 0, 0,                   // popup "P"
                                      0, 0, 7, 0, 'A', 0, 0, 0,                // item 7 "A"
                                      0x80, 0, 0, 0, 0, 0,                     // separator, last of P
                                      0x81, 0, 9, 0, 'B', 0, 0, 0};            // grayed 9 "B", last
  EXPECT_EQ(*bytes, expected);
}

TEST(MenuTemplate, AnOwnerDrawnItemKeepsItsDataAndHasNoText) {
  const HMENU menu = CreatePopupMenu();
  static const int record = 42;
  ASSERT_TRUE(AppendMenuA(menu, MF_OWNERDRAW, 5, reinterpret_cast<const char*>(&record)));
  ASSERT_TRUE(AppendMenuA(menu, MF_STRING, 6, "plain"));
  MENUITEMINFOA info{};
  info.fMask = MIIM_DATA | MIIM_FTYPE | MIIM_ID;
  ASSERT_TRUE(GetMenuItemInfoA(menu, 0, TRUE, &info));
  EXPECT_EQ(info.dwItemData, reinterpret_cast<std::uintptr_t>(&record));
  EXPECT_NE(info.fType & MF_OWNERDRAW, 0u);
  EXPECT_EQ(info.wID, 5u);
  ASSERT_TRUE(GetMenuItemInfoA(menu, 6, FALSE, &info));
  EXPECT_EQ(info.dwItemData, 0u);
  EXPECT_EQ(info.fType & MF_OWNERDRAW, 0u);
  char text[16] = {};
  EXPECT_EQ(GetMenuStringA(menu, 0, text, 16, MF_BYPOSITION), 0);
  EXPECT_FALSE(GetMenuItemInfoA(menu, 2, TRUE, &info));
  DestroyMenu(menu);
}

}  // namespace
