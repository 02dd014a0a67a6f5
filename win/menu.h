// Menus as a model: each menu is a list of items (command id, text, flags,
// or a popup menu) that tests can read whole. Menus loaded by id come from
// the built-in resources (res/menus/<id>.menu). A tracked popup is recorded
// and answers the command automation or a test has chosen; without one it is
// shown to the pilot when a display is shown (the UI thread waits for the
// choice), and otherwise dismissed at once.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win/module.h"
#include "win/types.h"
#include "win/window.h"

using HMENU = std::uint32_t;

struct DRAWITEMSTRUCT;
struct MEASUREITEMSTRUCT;

constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT MF_UNCHECKED = 0x0000;
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_BITMAP = 0x0004;
constexpr UINT MF_CHECKED = 0x0008;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_MENUBARBREAK = 0x0020;
constexpr UINT MF_MENUBREAK = 0x0040;
constexpr UINT MF_OWNERDRAW = 0x0100;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_SEPARATOR = 0x0800;
// A checked item shows a dot rather than a tick.
constexpr UINT MFT_RADIOCHECK = 0x0200;
// Marks the last item of a level in a menu template.
constexpr UINT MF_END = 0x0080;

constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_RECURSE = 0x0001;
constexpr UINT TPM_RIGHTBUTTON = 0x0002;
constexpr UINT TPM_CENTERALIGN = 0x0004;
constexpr UINT TPM_RIGHTALIGN = 0x0008;
constexpr UINT TPM_NONOTIFY = 0x0080;
constexpr UINT TPM_RETURNCMD = 0x0100;

constexpr DWORD MNS_MODELESS = 0x40000000;
constexpr DWORD MIM_STYLE = 0x00000010;

constexpr UINT WM_CONTEXTMENU = 0x007B;
constexpr UINT WM_ENTERMENULOOP = 0x0211;
constexpr UINT WM_EXITMENULOOP = 0x0212;

// WM_MENUCHAR (win/mouse.h) answers: the item in the low word.
constexpr LRESULT MNC_IGNORE = 0;
constexpr LRESULT MNC_CLOSE = 1;
constexpr LRESULT MNC_EXECUTE = 2;
constexpr LRESULT MNC_SELECT = 3;

constexpr UINT MIIM_STATE = 0x0001;
constexpr UINT MIIM_ID = 0x0002;
constexpr UINT MIIM_SUBMENU = 0x0004;
constexpr UINT MIIM_DATA = 0x0020;
constexpr UINT MIIM_FTYPE = 0x0100;

// The fields this layer fills: the kind flags (fType: MF_OWNERDRAW,
// MF_SEPARATOR ...), the state (MF_GRAYED, MF_CHECKED ...), the id, the
// submenu and the item data.
struct MENUITEMINFOA {
  UINT cbSize = sizeof(MENUITEMINFOA);
  UINT fMask = 0;
  UINT fType = 0;
  UINT fState = 0;
  UINT wID = 0;
  HMENU hSubMenu = 0;
  std::uintptr_t dwItemData = 0;
};

struct MENUINFO {
  DWORD cbSize = sizeof(MENUINFO);
  DWORD fMask = 0;
  DWORD dwStyle = 0;
  UINT cyMax = 0;
  std::uint32_t hbrBack = 0;
  DWORD dwContextHelpID = 0;
  std::uintptr_t dwMenuData = 0;
};

HMENU CreateMenu();
HMENU CreatePopupMenu();
// Destroys the menu and its popups.
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);
// With MF_POPUP, `item` is the popup's handle; the popup is destroyed with its
// parent. With MF_OWNERDRAW, `text` is not a text but the item's data, kept
// as given (the item has no text). A menu cannot be put into itself or into one of its own popups.
BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR item, const char* text);
// `position` is an index with MF_BYPOSITION (past the end appends), else the
// command id of the item to insert before.
BOOL InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR item, const char* text);
BOOL ModifyMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR item, const char* text);
// RemoveMenu keeps a removed popup alive (the caller owns it again); DeleteMenu destroys it.
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);
// By command, popups are searched too. The previous MF_GRAYED|MF_DISABLED
// (or MF_CHECKED) state, or 0xFFFFFFFF when there is no such item.
UINT EnableMenuItem(HMENU menu, UINT item, UINT flags);
UINT CheckMenuItem(HMENU menu, UINT item, UINT flags);
// The item's flags; for a popup, its item count in bits 8..15. 0xFFFFFFFF when none.
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
int GetMenuItemCount(HMENU menu);
BOOL GetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOA* info);
// 0xFFFFFFFF for a popup or a position past the end.
UINT GetMenuItemID(HMENU menu, int position);
HMENU GetSubMenu(HMENU menu, int position);
// Copies at most maxCount - 1 characters; the count copied.
int GetMenuStringA(HMENU menu, UINT item, char* buffer, int maxCount, UINT flags);
BOOL SetMenuInfo(HMENU menu, const MENUINFO* info);
BOOL GetMenuInfo(HMENU menu, MENUINFO* info);

// A menu from the built-in resources; 0 when there is none or it is malformed.
HMENU LoadMenuA(HINSTANCE instance, const char* name);
HMENU LoadMenuA(HINSTANCE instance, UINT id);
// Builds a menu from the text format of res/menus (see res/dialogs/README.md),
// strictly; 0 with the line and reason in `error` when it is not exactly the format.
HMENU LoadMenuFromText(std::string_view text, std::string& error, UINT* id = nullptr);

// Records the popup and its place. With a chosen command (automation's
// capture, a test's choice, or the pilot's on the display): TPM_RETURNCMD
// returns it, otherwise WM_COMMAND with it is posted to the owner; without
// one the menu is dismissed (0, or TRUE without TPM_RETURNCMD).
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const void* rect);
// The same; `params` (the excluded rectangle) does not matter without a display.
BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, const void* params);

// A menu as tests read it.
struct MenuItemSnapshot {
  UINT id = 0;  // 0 for popups and separators
  std::string text;
  UINT flags = 0;  // MF_* as kept: MF_POPUP, MF_SEPARATOR, MF_GRAYED ...
  std::uintptr_t data = 0;  // an owner-drawn item's data
  std::vector<MenuItemSnapshot> popup;
};
struct MenuSnapshot {
  DWORD style = 0;
  std::vector<MenuItemSnapshot> items;
};
std::optional<MenuSnapshot> SnapshotMenu(HMENU menu);

struct TrackedMenu {
  MenuSnapshot menu;
  UINT flags = 0;
  int x = 0;
  int y = 0;
  HWND owner = 0;
};
std::vector<TrackedMenu> TrackedMenus();
void ClearTrackedMenus();
// The command the next tracked popups choose; nullopt dismisses them.
void SetTrackedMenuChoice(std::optional<UINT> command);

// Whether a user could choose `command` in these items: kAbsent when no item
// has that id, kDisabled when it is grayed or disabled or lies in such a popup.
enum class MenuChoice { kChoosable, kDisabled, kAbsent };
MenuChoice FindMenuChoice(const std::vector<MenuItemSnapshot>& items, UINT command);

// Automation's hold on the next popup tracked while it waits: the capture
// sees the popup as it is and answers the command chosen in it, or nullopt
// to close it unchosen. It takes one popup (a popup tracked from the chosen
// command's handler is not captured) and stands before the tests' choice.
using MenuCapture = std::function<std::optional<UINT>(const MenuSnapshot& menu)>;
void SetMenuCapture(MenuCapture capture);
// True when the capture set last has taken a popup (and so is gone).
bool MenuCaptureTaken();
std::size_t LiveMenuCount();

// The class library's menu object: destroys the menu it holds. Sub-menus it
// hands out are views that own nothing and live as long as this object.
class CMenu {
 public:
  CMenu() = default;
  virtual ~CMenu();
  CMenu(const CMenu&) = delete;
  CMenu& operator=(const CMenu&) = delete;

  HMENU m_hMenu = 0;

  BOOL LoadMenu(UINT id);
  BOOL CreateMenu();
  BOOL CreatePopupMenu();
  BOOL DestroyMenu();
  BOOL Attach(HMENU menu);
  HMENU Detach();
  HMENU GetSafeHmenu() const { return m_hMenu; }
  operator HMENU() const { return m_hMenu; }

  CMenu* GetSubMenu(int position);
  BOOL AppendMenu(UINT flags, UINT_PTR item = 0, const char* text = nullptr);
  BOOL InsertMenu(UINT position, UINT flags, UINT_PTR item = 0, const char* text = nullptr);
  BOOL ModifyMenu(UINT position, UINT flags, UINT_PTR item = 0, const char* text = nullptr);
  BOOL RemoveMenu(UINT position, UINT flags);
  BOOL DeleteMenu(UINT position, UINT flags);
  UINT EnableMenuItem(UINT item, UINT flags);
  UINT CheckMenuItem(UINT item, UINT flags);
  UINT GetMenuState(UINT item, UINT flags) const;
  int GetMenuItemCount() const;
  UINT GetMenuItemID(int position) const;
  int GetMenuString(UINT item, char* buffer, int maxCount, UINT flags) const;
  BOOL SetMenuInfo(const MENUINFO* info);
  BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, const void* rect = nullptr);
  BOOL TrackPopupMenuEx(UINT flags, int x, int y, CWnd* owner, const void* params = nullptr);

  // Owner-drawn items are measured and drawn by the menu's own class.
  virtual void MeasureItem(MEASUREITEMSTRUCT* measure) {}
  virtual void DrawItem(DRAWITEMSTRUCT* draw) {}

 private:
  bool owned_ = true;
  std::vector<std::unique_ptr<CMenu>> views_;
};
