// An owner-drawn popup menu drawn item by item onto one picture, in the
// classic look and in the flat look, against the committed references.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "controls/bc_menu.h"
#include "support/reference_image.h"
#include "win/gdi.h"
#include "win/menu.h"
#include "win/paint.h"

namespace {

constexpr int kWidth = 180;
constexpr int kItemHeight = 19;

struct SampleItem {
  const char16_t* text;
  UINT flags;
  UINT id;
  UINT state;  // ODS_* of the drawing pass
};

// Every state an item can be drawn in, and a shortcut after a tab.
constexpr SampleItem kItems[] = {
    {u"&Open", MF_OWNERDRAW, 101, 0},
    {u"&Save\tCtrl+S", MF_OWNERDRAW, 102, ODS_SELECTED},
    {u"Dis&abled", MF_OWNERDRAW | MF_GRAYED, 103, ODS_GRAYED | ODS_DISABLED},
    {nullptr, MF_OWNERDRAW | MF_SEPARATOR, 0, 0},
    {u"&Checked", MF_OWNERDRAW | MF_CHECKED, 104, ODS_CHECKED},
    {u"Checked and se&lected", MF_OWNERDRAW | MF_CHECKED, 105, ODS_CHECKED | ODS_SELECTED},
    {u"&Radio", MF_OWNERDRAW | MFT_RADIOCHECK | MF_CHECKED, 106, ODS_CHECKED},
};

// Draws the sample menu in the given draw mode (0 classic, 1 flat) and compares it.
::testing::AssertionResult DrawnMenuMatches(int mode, const char* reference) {
  BCMenu::SetMenuDrawMode(mode);
  BCMenu menu;
  if (!menu.CreatePopupMenu()) return ::testing::AssertionFailure() << "no popup menu";
  for (const SampleItem& item : kItems) {
    if (!menu.AppendODMenu(item.text, item.flags, item.id)) return ::testing::AssertionFailure() << "no item";
  }
  const int count = static_cast<int>(menu.Records().size());
  CDC target;
  if (!target.CreateCompatibleDC(nullptr)) return ::testing::AssertionFailure() << "no DC";
  // A colour picture: a fresh memory DC's compatible bitmap would have one bit a pixel.
  CBitmap surface;
  if (!surface.Attach(CreateBitmap(kWidth, kItemHeight * count, 1, 32, nullptr))) {
    return ::testing::AssertionFailure() << "no surface";
  }
  CBitmap* old = target.SelectObject(&surface);
  for (int i = 0; i < count; ++i) {
    const SampleItem& item = kItems[i];
    DRAWITEMSTRUCT draw{ODT_MENU,
                        0,
                        item.id,
                        ODA_DRAWENTIRE,
                        item.state,
                        menu.m_hMenu,
                        target.m_hDC,
                        RECT{0, i * kItemHeight, kWidth, (i + 1) * kItemHeight},
                        reinterpret_cast<std::uintptr_t>(menu.Records()[static_cast<std::size_t>(i)].get())};
    menu.DrawItem(&draw);
  }
  target.SelectObject(old);
  BCMenu::SetMenuDrawMode(0);
  return MatchesReference(static_cast<HBITMAP>(surface.GetSafeHandle()), reference);
}

TEST(BCMenuReference, APopupMenuDrawsEveryItemStateInTheClassicLook) {
  EXPECT_TRUE(DrawnMenuMatches(0, "bc_menu_classic"));
}

TEST(BCMenuReference, APopupMenuDrawsEveryItemStateInTheFlatLook) {
  EXPECT_TRUE(DrawnMenuMatches(1, "bc_menu_flat"));
}

}  // namespace
