#include "win/menu.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "win/display_hooks.h"
#include "win/os_thread.h"

namespace {

constexpr UINT kKeptFlags = MF_GRAYED | MF_DISABLED | MF_BITMAP | MF_CHECKED | MF_POPUP | MF_MENUBARBREAK |
                            MF_MENUBREAK | MF_OWNERDRAW | MF_SEPARATOR;
constexpr UINT kNoItem = 0xFFFFFFFF;
// Popups nest a few levels; the bound only stops a search in a corrupt tree.
constexpr int kMaxDepth = 16;

struct Item {
  UINT flags = 0;
  UINT id = 0;
  HMENU popup = 0;
  std::string text;
  std::uintptr_t data = 0;
};

struct Menu {
  DWORD style = 0;
  std::vector<Item> items;
};

struct MenuTable {
  std::mutex mutex;
  std::map<HMENU, Menu> menus;
  HMENU next = 0x30000000;
  std::vector<TrackedMenu> tracked;
  std::optional<UINT> choice;
  MenuCapture capture;
  bool captureTaken = false;
};

MenuTable& Table() {
  static MenuTable* table = new MenuTable();
  return *table;
}

// The caller holds the table's lock in everything below.
Menu* Find(MenuTable& t, HMENU menu) {
  auto it = t.menus.find(menu);
  return it == t.menus.end() ? nullptr : &it->second;
}

struct Place {
  HMENU handle = 0;
  Menu* menu = nullptr;
  std::size_t index = 0;
};

std::optional<Place> ByCommand(MenuTable& t, HMENU handle, UINT id, int depth) {
  Menu* menu = Find(t, handle);
  if (menu == nullptr || depth > kMaxDepth) return std::nullopt;
  for (std::size_t i = 0; i < menu->items.size(); ++i) {
    const Item& item = menu->items[i];
    if ((item.flags & MF_POPUP) != 0) {
      if (std::optional<Place> inner = ByCommand(t, item.popup, id, depth + 1)) return inner;
    } else if ((item.flags & MF_SEPARATOR) == 0 && item.id == id) {
      return Place{handle, menu, i};
    }
  }
  return std::nullopt;
}

std::optional<Place> Locate(MenuTable& t, HMENU handle, UINT position, UINT flags) {
  if ((flags & MF_BYPOSITION) == 0) return ByCommand(t, handle, position, 0);
  Menu* menu = Find(t, handle);
  if (menu == nullptr || position >= menu->items.size()) return std::nullopt;
  return Place{handle, menu, position};
}

bool Contains(MenuTable& t, HMENU tree, HMENU wanted, int depth) {
  if (tree == wanted) return true;
  const Menu* menu = Find(t, tree);
  if (menu == nullptr || depth > kMaxDepth) return false;
  for (const Item& item : menu->items) {
    if ((item.flags & MF_POPUP) != 0 && Contains(t, item.popup, wanted, depth + 1)) return true;
  }
  return false;
}

void Destroy(MenuTable& t, HMENU handle, int depth) {
  auto it = t.menus.find(handle);
  if (it == t.menus.end() || depth > kMaxDepth) return;
  std::vector<Item> items = std::move(it->second.items);
  t.menus.erase(it);
  for (const Item& item : items) {
    if ((item.flags & MF_POPUP) != 0) Destroy(t, item.popup, depth + 1);
  }
}

std::optional<Item> MakeItem(MenuTable& t, HMENU parent, UINT flags, UINT_PTR item, const char* text) {
  Item made;
  made.flags = flags & kKeptFlags;
  if ((flags & MF_POPUP) != 0) {
    const auto popup = static_cast<HMENU>(item);
    if (static_cast<UINT_PTR>(popup) != item || Find(t, popup) == nullptr || Contains(t, popup, parent, 0)) {
      return std::nullopt;
    }
    made.popup = popup;
  } else {
    made.id = static_cast<UINT>(item & 0xFFFF);
  }
  if ((flags & MF_OWNERDRAW) != 0) {
    made.data = reinterpret_cast<std::uintptr_t>(text);
  } else if ((flags & MF_SEPARATOR) == 0 && text != nullptr) {
    made.text = text;
  }
  return made;
}

HMENU Create() {
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  if (t.next == 0x3FFFFFFF) return 0;
  const HMENU menu = t.next++;
  t.menus.emplace(menu, Menu{});
  return menu;
}

MenuItemSnapshot SnapshotItem(MenuTable& t, const Item& item, int depth);

std::vector<MenuItemSnapshot> SnapshotItems(MenuTable& t, const Menu& menu, int depth) {
  std::vector<MenuItemSnapshot> items;
  for (const Item& item : menu.items) items.push_back(SnapshotItem(t, item, depth));
  return items;
}

MenuItemSnapshot SnapshotItem(MenuTable& t, const Item& item, int depth) {
  MenuItemSnapshot snapshot{item.id, item.text, item.flags, item.data, {}};
  if ((item.flags & MF_POPUP) != 0 && depth < kMaxDepth) {
    if (const Menu* popup = Find(t, item.popup)) snapshot.popup = SnapshotItems(t, *popup, depth + 1);
  }
  return snapshot;
}

MenuChoice ChoiceIn(const std::vector<MenuItemSnapshot>& items, UINT command, int depth) {
  if (depth > kMaxDepth) return MenuChoice::kAbsent;
  bool disabled = false;
  for (const MenuItemSnapshot& item : items) {
    const bool grayed = (item.flags & (MF_GRAYED | MF_DISABLED)) != 0;
    MenuChoice found = MenuChoice::kAbsent;
    if ((item.flags & MF_POPUP) != 0) {
      found = ChoiceIn(item.popup, command, depth + 1);
      if (found == MenuChoice::kChoosable && grayed) found = MenuChoice::kDisabled;
    } else if ((item.flags & MF_SEPARATOR) == 0 && item.id == command) {
      found = grayed ? MenuChoice::kDisabled : MenuChoice::kChoosable;
    }
    // The same id may stand twice; one item that can be chosen is enough.
    if (found == MenuChoice::kChoosable) return found;
    if (found == MenuChoice::kDisabled) disabled = true;
  }
  return disabled ? MenuChoice::kDisabled : MenuChoice::kAbsent;
}

bool Choosable(const std::vector<MenuItemSnapshot>& items, UINT command) {
  return ChoiceIn(items, command, 0) == MenuChoice::kChoosable;
}

void Tell(HWND owner, UINT message, WPARAM wParam, LPARAM lParam) {
  if (owner == 0) return;
  if (GetWindowThreadProcessId(owner, nullptr) == GetCurrentThreadId()) {
    SendMessageA(owner, message, wParam, lParam);
  } else {
    PostMessageA(owner, message, wParam, lParam);
  }
}

// The pilot's choice in the display's menu on the UI thread; nullopt for none
// and off the display.
std::optional<UINT> ChosenOnScreen(const MenuSnapshot& menu, int x, int y, HWND owner) {
  const win::display::Hooks* hooks = win::display::CurrentHooks();
  if (hooks == nullptr || !hooks->popupMenu || GetCurrentThreadId() != hooks->uiThread) return std::nullopt;
  const std::optional<UINT> chosen = hooks->popupMenu(menu, x, y, owner);
  if (!chosen || *chosen == 0 || !Choosable(menu.items, *chosen)) return std::nullopt;
  return chosen;
}

}  // namespace

HMENU CreateMenu() { return Create(); }
HMENU CreatePopupMenu() { return Create(); }

BOOL DestroyMenu(HMENU menu) {
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  if (Find(t, menu) == nullptr) return FALSE;
  Destroy(t, menu, 0);
  return TRUE;
}

BOOL IsMenu(HMENU menu) {
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  return Find(t, menu) != nullptr ? TRUE : FALSE;
}

BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR item, const char* text) {
  return InsertMenuA(menu, kNoItem, flags | MF_BYPOSITION, item, text);
}

BOOL InsertMenuA(HMENU handle, UINT position, UINT flags, UINT_PTR item, const char* text) {
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  Menu* target = Find(t, handle);
  if (target == nullptr) return FALSE;
  HMENU targetHandle = handle;
  std::size_t index = target->items.size();
  if ((flags & MF_BYPOSITION) != 0) {
    index = std::min<std::size_t>(position, target->items.size());
  } else {
    // Before that item, in the menu that holds it.
    std::optional<Place> place = ByCommand(t, handle, position, 0);
    if (!place) return FALSE;
    targetHandle = place->handle;
    target = place->menu;
    index = place->index;
  }
  std::optional<Item> made = MakeItem(t, targetHandle, flags, item, text);
  if (!made) return FALSE;
  target->items.insert(target->items.begin() + static_cast<std::ptrdiff_t>(index), std::move(*made));
  return TRUE;
}

BOOL ModifyMenuA(HMENU handle, UINT position, UINT flags, UINT_PTR item, const char* text) {
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  std::optional<Place> place = Locate(t, handle, position, flags);
  if (!place) return FALSE;
  std::optional<Item> made = MakeItem(t, place->handle, flags, item, text);
  if (!made) return FALSE;
  Item& old = place->menu->items[place->index];
  const HMENU oldPopup = (old.flags & MF_POPUP) != 0 && old.popup != made->popup ? old.popup : 0;
  old = std::move(*made);
  if (oldPopup != 0) Destroy(t, oldPopup, 0);
  return TRUE;
}

BOOL RemoveMenu(HMENU handle, UINT position, UINT flags) {
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  std::optional<Place> place = Locate(t, handle, position, flags);
  if (!place) return FALSE;
  place->menu->items.erase(place->menu->items.begin() + static_cast<std::ptrdiff_t>(place->index));
  return TRUE;
}

BOOL DeleteMenu(HMENU handle, UINT position, UINT flags) {
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  std::optional<Place> place = Locate(t, handle, position, flags);
  if (!place) return FALSE;
  const Item removed = place->menu->items[place->index];
  place->menu->items.erase(place->menu->items.begin() + static_cast<std::ptrdiff_t>(place->index));
  if ((removed.flags & MF_POPUP) != 0) Destroy(t, removed.popup, 0);
  return TRUE;
}

UINT EnableMenuItem(HMENU handle, UINT item, UINT flags) {
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  std::optional<Place> place = Locate(t, handle, item, flags);
  if (!place) return kNoItem;
  UINT& current = place->menu->items[place->index].flags;
  const UINT previous = current & (MF_GRAYED | MF_DISABLED);
  current = (current & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
  return previous;
}

UINT CheckMenuItem(HMENU handle, UINT item, UINT flags) {
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  std::optional<Place> place = Locate(t, handle, item, flags);
  if (!place) return kNoItem;
  UINT& current = place->menu->items[place->index].flags;
  const UINT previous = current & MF_CHECKED;
  current = (current & ~MF_CHECKED) | (flags & MF_CHECKED);
  return previous;
}

UINT GetMenuState(HMENU handle, UINT item, UINT flags) {
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  std::optional<Place> place = Locate(t, handle, item, flags);
  if (!place) return kNoItem;
  const Item& found = place->menu->items[place->index];
  if ((found.flags & MF_POPUP) == 0) return found.flags;
  const Menu* popup = Find(t, found.popup);
  const UINT count = popup != nullptr ? static_cast<UINT>(std::min<std::size_t>(popup->items.size(), 0xFF)) : 0;
  return (count << 8) | (found.flags & 0xFF);
}

int GetMenuItemCount(HMENU handle) {
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  const Menu* menu = Find(t, handle);
  return menu != nullptr ? static_cast<int>(menu->items.size()) : -1;
}

UINT GetMenuItemID(HMENU handle, int position) {
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  const Menu* menu = Find(t, handle);
  if (menu == nullptr || position < 0 || static_cast<std::size_t>(position) >= menu->items.size()) return kNoItem;
  const Item& item = menu->items[static_cast<std::size_t>(position)];
  return (item.flags & MF_POPUP) != 0 ? kNoItem : item.id;
}

HMENU GetSubMenu(HMENU handle, int position) {
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  const Menu* menu = Find(t, handle);
  if (menu == nullptr || position < 0 || static_cast<std::size_t>(position) >= menu->items.size()) return 0;
  const Item& item = menu->items[static_cast<std::size_t>(position)];
  return (item.flags & MF_POPUP) != 0 ? item.popup : 0;
}

int GetMenuStringA(HMENU handle, UINT item, char* buffer, int maxCount, UINT flags) {
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  std::optional<Place> place = Locate(t, handle, item, flags);
  if (!place) {
    if (buffer != nullptr && maxCount > 0) buffer[0] = '\0';
    return 0;
  }
  const std::string& text = place->menu->items[place->index].text;
  if (buffer == nullptr || maxCount <= 0) return static_cast<int>(text.size());
  const std::size_t n = std::min(text.size(), static_cast<std::size_t>(maxCount - 1));
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

BOOL GetMenuItemInfoA(HMENU handle, UINT item, BOOL byPosition, MENUITEMINFOA* info) {
  if (info == nullptr || info->cbSize != sizeof(MENUITEMINFOA)) return FALSE;
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  std::optional<Place> place = Locate(t, handle, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
  if (!place) return FALSE;
  const Item& found = place->menu->items[place->index];
  constexpr UINT kStates = MF_GRAYED | MF_DISABLED | MF_CHECKED;
  if ((info->fMask & MIIM_FTYPE) != 0) info->fType = found.flags & ~(kStates | MF_POPUP);
  if ((info->fMask & MIIM_STATE) != 0) info->fState = found.flags & kStates;
  if ((info->fMask & MIIM_ID) != 0) info->wID = (found.flags & MF_POPUP) != 0 ? found.popup : found.id;
  if ((info->fMask & MIIM_SUBMENU) != 0) info->hSubMenu = (found.flags & MF_POPUP) != 0 ? found.popup : 0;
  if ((info->fMask & MIIM_DATA) != 0) info->dwItemData = found.data;
  return TRUE;
}

BOOL SetMenuInfo(HMENU handle, const MENUINFO* info) {
  if (info == nullptr || info->cbSize != sizeof(MENUINFO)) return FALSE;
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  Menu* menu = Find(t, handle);
  if (menu == nullptr) return FALSE;
  if ((info->fMask & MIM_STYLE) != 0) menu->style = info->dwStyle;
  return TRUE;
}

BOOL GetMenuInfo(HMENU handle, MENUINFO* info) {
  if (info == nullptr || info->cbSize != sizeof(MENUINFO)) return FALSE;
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  const Menu* menu = Find(t, handle);
  if (menu == nullptr) return FALSE;
  if ((info->fMask & MIM_STYLE) != 0) info->dwStyle = menu->style;
  return TRUE;
}

std::optional<MenuSnapshot> SnapshotMenu(HMENU handle) {
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  const Menu* menu = Find(t, handle);
  if (menu == nullptr) return std::nullopt;
  return MenuSnapshot{menu->style, SnapshotItems(t, *menu, 0)};
}

BOOL TrackPopupMenu(HMENU handle, UINT flags, int x, int y, int, HWND owner, const void*) {
  std::optional<MenuSnapshot> snapshot = SnapshotMenu(handle);
  if (!snapshot) return FALSE;
  std::optional<UINT> choice;
  MenuCapture capture;
  bool automatedAnswer = false;
  {
    MenuTable& t = Table();
    std::lock_guard lock(t.mutex);
    t.tracked.push_back(TrackedMenu{*snapshot, flags, x, y, owner});
    if (t.capture) {
      capture = std::move(t.capture);
      t.capture = nullptr;
      t.captureTaken = true;
      automatedAnswer = true;
    } else if (t.choice) {
      automatedAnswer = true;
      // A grayed or absent command cannot be chosen, as by a user.
      if (Choosable(snapshot->items, *t.choice)) choice = t.choice;
    }
  }
  if (capture) {
    choice = capture(*snapshot);
    if (choice && !Choosable(snapshot->items, *choice)) choice.reset();
  }
  Tell(owner, WM_ENTERMENULOOP, TRUE, 0);
  if (!automatedAnswer) choice = ChosenOnScreen(*snapshot, x, y, owner);
  Tell(owner, WM_EXITMENULOOP, TRUE, 0);
  if ((flags & TPM_RETURNCMD) != 0) return choice ? static_cast<BOOL>(*choice) : 0;
  if (choice && (flags & TPM_NONOTIFY) == 0 && owner != 0) {
    // Automation answers only once the choice has been handled.
    if (capture) {
      Tell(owner, WM_COMMAND, *choice, 0);
    } else {
      PostMessageA(owner, WM_COMMAND, *choice, 0);
    }
  }
  return TRUE;
}

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, const void*) {
  return TrackPopupMenu(menu, flags, x, y, 0, owner, nullptr);
}

MenuChoice FindMenuChoice(const std::vector<MenuItemSnapshot>& items, UINT command) {
  return ChoiceIn(items, command, 0);
}

void SetMenuCapture(MenuCapture capture) {
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  t.capture = std::move(capture);
  t.captureTaken = false;
}

bool MenuCaptureTaken() {
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  return t.captureTaken;
}

std::vector<TrackedMenu> TrackedMenus() {
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  return t.tracked;
}

void ClearTrackedMenus() {
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  t.tracked.clear();
}

void SetTrackedMenuChoice(std::optional<UINT> command) {
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  t.choice = command;
}

std::size_t LiveMenuCount() {
  MenuTable& t = Table();
  std::lock_guard lock(t.mutex);
  return t.menus.size();
}

CMenu::~CMenu() {
  if (owned_) DestroyMenu();
}

BOOL CMenu::LoadMenu(UINT id) { return Attach(::LoadMenuA(nullptr, id)); }
BOOL CMenu::CreateMenu() { return Attach(::CreateMenu()); }
BOOL CMenu::CreatePopupMenu() { return Attach(::CreatePopupMenu()); }

BOOL CMenu::DestroyMenu() {
  if (m_hMenu == 0) return FALSE;
  views_.clear();
  const BOOL destroyed = ::DestroyMenu(m_hMenu);
  m_hMenu = 0;
  return destroyed;
}

BOOL CMenu::Attach(HMENU menu) {
  if (m_hMenu != 0 || menu == 0) return FALSE;
  m_hMenu = menu;
  return TRUE;
}

HMENU CMenu::Detach() {
  const HMENU menu = m_hMenu;
  m_hMenu = 0;
  views_.clear();
  return menu;
}

CMenu* CMenu::GetSubMenu(int position) {
  const HMENU sub = ::GetSubMenu(m_hMenu, position);
  if (sub == 0) return nullptr;
  for (const auto& view : views_) {
    if (view->m_hMenu == sub) return view.get();
  }
  auto view = std::make_unique<CMenu>();
  view->m_hMenu = sub;
  view->owned_ = false;
  views_.push_back(std::move(view));
  return views_.back().get();
}

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR item, const char* text) { return ::AppendMenuA(m_hMenu, flags, item, text); }
BOOL CMenu::InsertMenu(UINT position, UINT flags, UINT_PTR item, const char* text) {
  return ::InsertMenuA(m_hMenu, position, flags, item, text);
}
BOOL CMenu::ModifyMenu(UINT position, UINT flags, UINT_PTR item, const char* text) {
  return ::ModifyMenuA(m_hMenu, position, flags, item, text);
}
BOOL CMenu::RemoveMenu(UINT position, UINT flags) { return ::RemoveMenu(m_hMenu, position, flags); }
BOOL CMenu::DeleteMenu(UINT position, UINT flags) { return ::DeleteMenu(m_hMenu, position, flags); }
UINT CMenu::EnableMenuItem(UINT item, UINT flags) { return ::EnableMenuItem(m_hMenu, item, flags); }
UINT CMenu::CheckMenuItem(UINT item, UINT flags) { return ::CheckMenuItem(m_hMenu, item, flags); }
UINT CMenu::GetMenuState(UINT item, UINT flags) const { return ::GetMenuState(m_hMenu, item, flags); }
int CMenu::GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }
UINT CMenu::GetMenuItemID(int position) const { return ::GetMenuItemID(m_hMenu, position); }
int CMenu::GetMenuString(UINT item, char* buffer, int maxCount, UINT flags) const {
  return ::GetMenuStringA(m_hMenu, item, buffer, maxCount, flags);
}
BOOL CMenu::SetMenuInfo(const MENUINFO* info) { return ::SetMenuInfo(m_hMenu, info); }
BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, const void* rect) {
  return ::TrackPopupMenu(m_hMenu, flags, x, y, 0, owner != nullptr ? owner->m_hWnd : 0, rect);
}
BOOL CMenu::TrackPopupMenuEx(UINT flags, int x, int y, CWnd* owner, const void* params) {
  return ::TrackPopupMenuEx(m_hMenu, flags, x, y, owner != nullptr ? owner->m_hWnd : 0, params);
}
