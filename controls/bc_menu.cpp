#include "controls/bc_menu.h"

#include <algorithm>

namespace {

// The class's state shared by every menu (UI thread only).
struct MenuClassState {
  // Every menu handle that belongs to an owner-drawn menu.
  std::vector<HMENU> ownerDrawnMenus;
};

MenuClassState& State() {
  static MenuClassState* state = new MenuClassState();
  return *state;
}

void Forget(HMENU menu) {
  std::vector<HMENU>& list = State().ownerDrawnMenus;
  list.erase(std::remove(list.begin(), list.end(), menu), list.end());
}

}  // namespace

BCMenu::BCMenu() = default;

BCMenu::~BCMenu() { DestroyMenu(); }

BOOL BCMenu::IsMenu(HMENU menu) {
  const std::vector<HMENU>& list = State().ownerDrawnMenus;
  return menu != 0 && std::find(list.begin(), list.end(), menu) != list.end() ? TRUE : FALSE;
}

std::vector<HMENU> BCMenu::OwnerDrawnMenus() { return State().ownerDrawnMenus; }

BOOL BCMenu::DestroyMenu() {
  if (m_hMenu != 0) Forget(m_hMenu);
  for (HMENU sub : m_SubMenus) Forget(sub);
  m_SubMenus.clear();
  m_SubMenuObjects.clear();
  m_MenuList.clear();
  return CMenu::DestroyMenu();
}

LRESULT BCMenu::FindKeyboardShortcut(UINT, UINT, CMenu*) { return 0; }
void BCMenu::MeasureItem(MEASUREITEMSTRUCT*) {}
void BCMenu::DrawItem(DRAWITEMSTRUCT*) {}
BOOL BCMenu::LoadMenu(UINT id) { return FALSE; }
BOOL BCMenu::LoadMenu(const char*) { return FALSE; }
BOOL BCMenu::AppendODMenu(const char16_t*, UINT, UINT_PTR) { return FALSE; }
BOOL BCMenu::ModifyODMenu(const char*, UINT, UINT, UINT_PTR) { return FALSE; }
