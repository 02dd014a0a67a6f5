#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/bc_menu.h"
#include "win/codepage.h"
#include "win/gdi.h"
#include "win/paint.h"
#include "win/registry.h"
#include "win/system_metrics.h"
#include "win/system_params.h"
#include "win/version.h"

namespace {

// A standard menu template written item by item.
class TemplateWriter {
 public:
  TemplateWriter() { Word(0), Word(0); }
  TemplateWriter& Item(WORD flags, WORD id, const std::u16string& text) {
    Word(flags);
    if ((flags & MF_POPUP) == 0) Word(id);
    for (char16_t c : text) Word(static_cast<WORD>(c));
    Word(0);
    return *this;
  }
  std::vector<BYTE> bytes;

 private:
  void Word(WORD w) {
    bytes.push_back(static_cast<BYTE>(w & 0xFF));
    bytes.push_back(static_cast<BYTE>(w >> 8));
  }
};

std::vector<BYTE> SampleMenu() {
  TemplateWriter w;
  w.Item(MF_POPUP, 0, u"&File")
      .Item(0, 101, u"&Open\tCtrl+O")
      .Item(0, 102, u"Save &as...")
      .Item(0, 0, u"")
      .Item(0, 103, u"E&xit\tAlt+F4")
      .Item(MF_POPUP | MF_END, 0, u"&Recent")
      .Item(MF_END, 104, u"&One")
      .Item(MF_POPUP | MF_END, 0, u"&Help")
      .Item(MF_END, 105, u"&About\tF1");
  return w.bytes;
}

int TextWidth(const std::string& text) {
  NONCLIENTMETRICSA metrics{};
  EXPECT_TRUE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0));
  const HFONT font = CreateFontIndirectA(&metrics.lfMenuFont);
  const HDC dc = CreateCompatibleDC(0);
  const HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(font);
  return size.cx;
}

std::string Narrow(const std::u16string& text) {
  std::string out(text.size(), '\0');
  if (!text.empty()) {
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(),
                        static_cast<int>(out.size()), nullptr, nullptr);
  }
  return out;
}

TEST(BCMenuLoad, TabbedItemsArePaddedToTheWidestLeftPartWithOneSpace) {
  BCMenu menu;
  const std::vector<BYTE> bytes = SampleMenu();
  ASSERT_TRUE(menu.LoadMenuTemplate(bytes));
  BCMenu* file = menu.FindSubMenu(::GetSubMenu(menu.m_hMenu, 0));
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(file->Records().size(), 5u);
  const std::string open = Narrow(file->Records()[0]->text);
  const std::string exit = Narrow(file->Records()[3]->text);
  EXPECT_EQ(Narrow(file->Records()[1]->text), "Save &as...");  // untabbed: unchanged
  EXPECT_TRUE(file->Records()[2]->text.empty());                 // separator
  EXPECT_EQ(open.substr(open.find('\t')), "\tCtrl+O");
  EXPECT_EQ(exit.substr(exit.find('\t')), "\tAlt+F4");
  const int widest = std::max({TextWidth("&Open "), TextWidth("Save &as... "), TextWidth(" "), TextWidth("E&xit "),
                               TextWidth("&Recent ")});
  for (const std::string& text : {open, exit}) {
    SCOPED_TRACE(text);
    const std::string left = text.substr(0, text.find('\t'));
    EXPECT_GE(TextWidth(left), widest);
    EXPECT_LT(TextWidth(left.substr(0, left.size() - 1)), widest);  // not one blank more than needed
    EXPECT_EQ(left.back(), ' ');
  }
  // A level of one tabbed item: exactly one blank.
  BCMenu* help = menu.FindSubMenu(::GetSubMenu(menu.m_hMenu, 1));
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(Narrow(help->Records()[0]->text), "&About \tF1");
}

TEST(BCMenuLoad, TopLevelItemsArePlainAndSubmenuItemsOwnerDrawn) {
  BCMenu menu;
  ASSERT_TRUE(menu.LoadMenuTemplate(SampleMenu()));
  const std::optional<MenuSnapshot> shot = SnapshotMenu(menu.m_hMenu);
  ASSERT_TRUE(shot);
  ASSERT_EQ(shot->items.size(), 2u);
  EXPECT_EQ(shot->items[0].text, "&File");
  EXPECT_EQ(shot->items[1].text, "&Help");
  for (const MenuItemSnapshot& top : shot->items) {
    EXPECT_EQ(top.flags & MF_OWNERDRAW, 0u);
    EXPECT_NE(top.flags & MF_POPUP, 0u);
    for (const MenuItemSnapshot& item : top.popup) {
      EXPECT_NE(item.flags & MF_OWNERDRAW, 0u) << item.id;
      EXPECT_NE(item.data, 0u);
    }
  }
  EXPECT_NE(shot->items[0].popup[2].flags & MF_SEPARATOR, 0u);
  EXPECT_TRUE(BCMenu::IsMenu(::GetSubMenu(menu.m_hMenu, 0)));
  EXPECT_FALSE(BCMenu::IsMenu(menu.m_hMenu));
}

TEST(BCMenuLoad, AMenuOfTheProgramLoadsByItsResourceId) {
  const std::size_t live = LiveMenuCount();
  {
    BCMenu menu;
    ASSERT_TRUE(menu.LoadMenu(7036));
    CMenu plain;
    ASSERT_TRUE(plain.LoadMenu(7036));
    EXPECT_EQ(menu.GetMenuItemCount(), plain.GetMenuItemCount());
    const HMENU popup = ::GetSubMenu(menu.m_hMenu, 0);
    EXPECT_EQ(GetMenuItemCount(popup), GetMenuItemCount(::GetSubMenu(plain.m_hMenu, 0)));
    EXPECT_TRUE(BCMenu::IsMenu(popup));
    EXPECT_FALSE(menu.LoadMenu(9999));  // no such resource: the loaded menu stays
    EXPECT_TRUE(BCMenu::IsMenu(popup));
  }
  EXPECT_EQ(LiveMenuCount(), live);
  EXPECT_TRUE(BCMenu::OwnerDrawnMenus().empty());
}

TEST(BCMenuLoad, AnUnbalancedOrTruncatedTemplateLoadsNoMenu) {
  const std::size_t live = LiveMenuCount();
  std::vector<BYTE> full = SampleMenu();
  TemplateWriter unclosed;
  unclosed.Item(MF_POPUP, 0, u"&File").Item(0, 101, u"&Open").Item(MF_END, 102, u"&Close");  // top level never ends
  std::vector<std::vector<BYTE>> cases = {unclosed.bytes, {}, {0, 0}, {0, 0, 0x10, 0}};
  for (std::size_t cut : {std::size_t{6}, full.size() - 2, full.size() - 1, std::size_t{21}}) {
    cases.emplace_back(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
  }
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    BCMenu menu;
    EXPECT_FALSE(menu.LoadMenuTemplate(cases[i]));
    EXPECT_EQ(menu.m_hMenu, 0u);
    EXPECT_TRUE(BCMenu::OwnerDrawnMenus().empty());
  }
  EXPECT_EQ(LiveMenuCount(), live);
}

TEST(BCMenuShortcut, TheFirstItemHoldingTheKeyIsExecuted) {
  BCMenu menu;
  ASSERT_TRUE(menu.LoadMenuTemplate(SampleMenu()));
  const HMENU fileHandle = ::GetSubMenu(menu.m_hMenu, 0);
  BCMenu* file = menu.FindSubMenu(fileHandle);
  ASSERT_NE(file, nullptr);
  struct Case {
    UINT key;
    UINT flags;
    LRESULT result;
  };
  const std::vector<Case> cases = {
      {'o', MF_POPUP, (MNC_EXECUTE << 16) | 0}, {'a', MF_POPUP, (MNC_EXECUTE << 16) | 1},
      {'x', MF_POPUP, (MNC_EXECUTE << 16) | 3}, {'r', MF_POPUP, (MNC_EXECUTE << 16) | 4},
      {'q', MF_POPUP, 0},                       {'o', 0, 0},  // not a popup
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<char>(c.key));
    EXPECT_EQ(BCMenu::FindKeyboardShortcut(c.key, c.flags, file), c.result);
  }
  // A plain view of the handle finds the same menu; a menu that is not ours answers 0.
  CMenu* view = menu.GetSubMenu(0);
  EXPECT_EQ(BCMenu::FindKeyboardShortcut('x', MF_POPUP, view), (MNC_EXECUTE << 16) | 3);
  EXPECT_EQ(BCMenu::FindKeyboardShortcut('f', MF_POPUP, &menu), 0);
}

TEST(BCMenuShortcut, ItemsWithoutARecordAreSkipped) {
  BCMenu menu;
  ASSERT_TRUE(menu.LoadMenuTemplate(SampleMenu()));
  BCMenu* file = menu.FindSubMenu(::GetSubMenu(menu.m_hMenu, 0));
  ASSERT_NE(file, nullptr);
  // Items added behind the class's back: one plain, one owner-drawn with foreign data.
  ASSERT_TRUE(::InsertMenuA(file->m_hMenu, 0, MF_BYPOSITION | MF_STRING, 200, "&Zoom"));
  static const char foreign[] = "&Yes";
  ASSERT_TRUE(::InsertMenuA(file->m_hMenu, 0, MF_BYPOSITION | MF_OWNERDRAW, 201, foreign));
  EXPECT_EQ(BCMenu::FindKeyboardShortcut('z', MF_POPUP, file), 0);
  EXPECT_EQ(BCMenu::FindKeyboardShortcut('y', MF_POPUP, file), 0);
  EXPECT_EQ(BCMenu::FindKeyboardShortcut('x', MF_POPUP, file), (MNC_EXECUTE << 16) | 5);
  EXPECT_EQ(BCMenu::FindKeyboardShortcut('o', MF_POPUP, file), (MNC_EXECUTE << 16) | 2);
}

TEST(BCMenuMeasure, SizesFollowTheLookAndTheMenuFont) {
  BCMenu menu;
  ASSERT_TRUE(menu.LoadMenuTemplate(SampleMenu()));
  BCMenu* file = menu.FindSubMenu(::GetSubMenu(menu.m_hMenu, 0));
  ASSERT_NE(file, nullptr);
  const BCMenuData& save = *file->Records()[1];
  const BCMenuData& separator = *file->Records()[2];
  const int text = TextWidth("Save &as...");
  const int menuHeight = GetSystemMetrics(SM_CYMENU);
  ASSERT_EQ(menuHeight, 19);
  const std::size_t fonts = LiveFontCount();
  const std::size_t dcs = LiveDcCount();
  for (int mode : {0, 1}) {
    SCOPED_TRACE(mode);
    BCMenu::SetMenuDrawMode(mode);
    MEASUREITEMSTRUCT item{ODT_MENU, 0, 102, 0, 0, reinterpret_cast<std::uintptr_t>(&save)};
    file->MeasureItem(&item);
    EXPECT_EQ(static_cast<int>(item.itemWidth), mode == 1 ? 16 + text + 8 + 7 : 2 * 16 + 1 + text);
    EXPECT_EQ(static_cast<int>(item.itemHeight), std::max(mode == 1 ? 15 + 7 : 15 + 4, menuHeight));
    MEASUREITEMSTRUCT line{ODT_MENU, 0, 0, 5, 5, reinterpret_cast<std::uintptr_t>(&separator)};
    file->MeasureItem(&line);
    EXPECT_EQ(line.itemWidth, 0u);
    EXPECT_EQ(static_cast<int>(line.itemHeight), std::max((mode == 1 ? 22 : 19) / 2, menuHeight / 2));
    // Data that is not one of the menu's records is left alone.
    MEASUREITEMSTRUCT stray{ODT_MENU, 0, 0, 5, 5, 12345};
    file->MeasureItem(&stray);
    EXPECT_EQ(stray.itemWidth, 5u);
  }
  BCMenu::SetMenuDrawMode(0);
  EXPECT_EQ(LiveFontCount(), fonts);
  EXPECT_EQ(LiveDcCount(), dcs);
}

TEST(BCMenuLife, LoadingMeasuringAndDestroyingLeaveNoObjectBehind) {
  const std::size_t fonts = LiveFontCount();
  const std::size_t dcs = LiveDcCount();
  const std::size_t bitmaps = LiveBitmapCount();
  const std::size_t pens = LivePenCount();
  const std::size_t brushes = LiveBrushCount();
  {
    BCMenu menu;
    ASSERT_TRUE(menu.LoadMenuTemplate(SampleMenu()));
    BCMenu* file = menu.FindSubMenu(::GetSubMenu(menu.m_hMenu, 0));
    ASSERT_NE(file, nullptr);
    CDC target;
    ASSERT_TRUE(target.CreateCompatibleDC(nullptr));
    CBitmap surface;
    ASSERT_TRUE(surface.CreateCompatibleBitmap(&target, 200, 100));
    CBitmap* old = target.SelectObject(&surface);
    for (int mode : {0, 1}) {
      BCMenu::SetMenuDrawMode(mode);
      for (std::size_t i = 0; i < file->Records().size(); ++i) {
        DRAWITEMSTRUCT draw{ODT_MENU, 0, 0, ODA_DRAWENTIRE, i == 0 ? ODS_CHECKED | ODS_SELECTED : ODS_CHECKED,
                            file->m_hMenu, target.m_hDC, RECT{0, static_cast<LONG>(i * 20), 200,
                                                             static_cast<LONG>(i * 20 + 19)},
                            reinterpret_cast<std::uintptr_t>(file->Records()[i].get())};
        file->DrawItem(&draw);
      }
    }
    // A radio item's dot is drawn with a brush of its own.
    BCMenu radio;
    ASSERT_TRUE(radio.CreatePopupMenu());
    ASSERT_TRUE(radio.AppendODMenu(u"&Radio", MF_OWNERDRAW | MFT_RADIOCHECK, 300));
    DRAWITEMSTRUCT dot{ODT_MENU, 0, 300, ODA_DRAWENTIRE, ODS_CHECKED, radio.m_hMenu, target.m_hDC,
                       RECT{0, 0, 200, 19}, reinterpret_cast<std::uintptr_t>(radio.Records()[0].get())};
    radio.DrawItem(&dot);
    BCMenu::SetMenuDrawMode(0);
    radio.DrawItem(&dot);
    target.SelectObject(old);
  }
  EXPECT_EQ(LiveFontCount(), fonts);
  EXPECT_EQ(LiveDcCount(), dcs);
  EXPECT_EQ(LiveBitmapCount(), bitmaps);
  EXPECT_EQ(LivePenCount(), pens);
  EXPECT_EQ(LiveBrushCount(), brushes);
}

}  // namespace
