#include <gtest/gtest.h>

#include <memory>

#include "controls/bc_menu.h"

namespace {

TEST(BCMenuLife, AnEmptyMenuIsMadeAndDestroyedWithoutTouchingTheList) {
  const std::vector<HMENU> before = BCMenu::OwnerDrawnMenus();
  const std::size_t liveBefore = LiveMenuCount();
  {
    BCMenu menu;
    EXPECT_EQ(menu.m_hMenu, 0u);
    EXPECT_TRUE(menu.Records().empty());
    EXPECT_FALSE(menu.DestroyMenu());  // nothing to destroy
  }
  { auto held = std::make_unique<BCMenu>(); }
  EXPECT_EQ(BCMenu::OwnerDrawnMenus(), before);
  EXPECT_EQ(LiveMenuCount(), liveBefore);
}

TEST(BCMenuLife, NoHandleIsAnOwnerDrawnMenuWhileNoneWasLoaded) {
  ASSERT_TRUE(BCMenu::OwnerDrawnMenus().empty());
  CMenu plain;
  ASSERT_TRUE(plain.LoadMenu(7036));
  BCMenu empty;
  for (HMENU handle : {HMENU{0}, plain.m_hMenu, plain.GetSubMenu(0)->m_hMenu, HMENU{1}, HMENU{0xFFFFFFFF}}) {
    EXPECT_FALSE(BCMenu::IsMenu(handle)) << handle;
  }
}

}  // namespace
