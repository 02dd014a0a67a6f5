// An owner-drawn menu: every item carries a record (BCMenuData) with its wide
// text, flags and id, and the menu measures and draws its items itself, in a
// classic look or the flat look of Windows XP with visual styles.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "controls/bc_menu_data.h"
#include "win/gdi_handles.h"
#include "win/geometry.h"
#include "win/menu.h"

class CDC;
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
  // Builds the menu from the bytes of a standard menu template; FALSE (and no
  // menu) when the template ends before its last level is closed.
  BOOL LoadMenuTemplate(std::span<const BYTE> bytes);

  // An owner-drawn item (a separator when id is 0); with MF_POPUP, id is the submenu's handle.
  BOOL AppendODMenu(const char16_t* text, UINT flags = MF_OWNERDRAW, UINT_PTR id = 0);
  // The item gets a new record with the text (code page of the system); it stays owner-drawn if it was.
  BOOL ModifyODMenu(const char* text, UINT position, UINT flags, UINT_PTR id);

  // The item records, in item order.
  const std::vector<std::unique_ptr<BCMenuData>>& Records() const { return m_MenuList; }
  // The nested menu LoadMenu built for a submenu handle, or null.
  BCMenu* FindSubMenu(HMENU handle) const;

  // The Windows version class: 0 Windows 3.x, 2 Windows 95, 3 Windows 98,
  // 4 Windows Me, 5 NT 4, 6 Windows 2000, 7 Windows XP, 1 any other NT
  // (Windows 10 and 11 among them). Computed from the reported version.
  static int ClassifyWindowsVersion();
  // Classifies once and keeps the class for every menu; the application calls it at start.
  static int InitWindowsVersionClass();
  static int WindowsVersionClass();
  // True when the current theme of the user is the Windows Classic one (read once).
  static BOOL IsWindowsClassicTheme();
  // 1 draws the XP look wherever the version does not force one.
  static void SetMenuDrawMode(int mode);
  // Each channel c becomes c + (255 - c) * factor for 0 < factor <= 1.
  static COLORREF LightenColor(COLORREF colour, double factor);
  // The look an item drawn on this device gets.
  static bool UsesXpLook(HDC dc);

  // Test hooks.
  static void SetWindowsVersionClassForTest(int versionClass);
  static void SetVersionRecordAllocationFailsForTest(bool fails);
  static void ForgetClassicThemeForTest();

 private:
  void AlignShortcutColumn();
  void SyncRecordsWithMenu();
  void KeepTopLevelPlain();
  BCMenuData* RecordOf(std::uintptr_t itemData) const;
  void DrawSeparator(CDC& dc, RECT rect, bool xp);
  void DrawClassicItem(CDC& dc, const DRAWITEMSTRUCT& draw, const BCMenuData& record);
  void DrawXpItem(CDC& dc, const DRAWITEMSTRUCT& draw, const BCMenuData& record);
  void DrawCheckMark(CDC& dc, RECT box, bool radio, bool selected, bool xp);

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
