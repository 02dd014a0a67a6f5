// An owner-drawn menu: every item carries a record (BCMenuData) with its wide
// text, flags and id, and the menu measures and draws its items itself, in a
// classic look or the flat look of Windows XP with visual styles.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "controls/bc_menu_data.h"
#include "win/menu.h"

struct DRAWITEMSTRUCT;
struct MEASUREITEMSTRUCT;

class BCMenu : public CMenu {
 public:
  BCMenu();
  ~BCMenu() override;

  // True when the handle belongs to an owner-drawn menu.
  static BOOL IsMenu(HMENU menu);
  // The program-wide list IsMenu answers from, for tests.
  static std::vector<HMENU> OwnerDrawnMenus();
  // WM_MENUCHAR: MNC_EXECUTE with the position of the first item whose text
  // holds '&' and the character, 0 when none does or the menu is not ours.
  static LRESULT FindKeyboardShortcut(UINT nChar, UINT nFlags, CMenu* pMenu);

  void MeasureItem(MEASUREITEMSTRUCT* measure) override;
  void DrawItem(DRAWITEMSTRUCT* draw) override;
  virtual BOOL LoadMenu(UINT id);
  virtual BOOL LoadMenu(const char* name);
  virtual BOOL DestroyMenu();

  // An owner-drawn item (a separator when id is 0); with MF_POPUP, id is the submenu's handle.
  BOOL AppendODMenu(const char16_t* text, UINT flags = MF_OWNERDRAW, UINT_PTR id = 0);
  // The item gets a new record with the text (code page of the system); it stays owner-drawn if it was.
  BOOL ModifyODMenu(const char* text, UINT position, UINT flags, UINT_PTR id);

  // The item records, in item order.
  const std::vector<std::unique_ptr<BCMenuData>>& Records() const { return m_MenuList; }

 private:
  std::vector<std::unique_ptr<BCMenuData>> m_MenuList;
  // Submenu handles this menu made popup items of.
  std::vector<HMENU> m_SubMenus;
  // The nested menus LoadMenu built.
  std::vector<std::unique_ptr<BCMenu>> m_SubMenuObjects;
  int m_iconX = 16;
  int m_iconY = 15;
  COLORREF m_bitmapBackground = RGB(192, 192, 192);
  bool m_bitmapBackgroundFlag = false;
  int m_checkSelected = -1;
  int m_checkUnselected = -1;
  bool m_checkShared = false;
  bool m_keepInSync = false;
};
