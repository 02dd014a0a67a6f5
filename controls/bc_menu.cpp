#include "controls/bc_menu.h"

#include <algorithm>
#include <array>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "controls/bc_menu_mem_dc.h"
#include "win/ascii_case.h"
#include "win/codepage.h"
#include "win/gdi.h"
#include "win/menu_template.h"
#include "win/paint.h"
#include "win/registry.h"
#include "win/system_metrics.h"
#include "win/system_params.h"
#include "win/version.h"

namespace {

constexpr int kNotClassified = -1;
constexpr int kClassicPad = 4;
constexpr int kXpPad = 7;
// The theme value is read into this many bytes, and terminated after them.
constexpr std::size_t kThemeValueSize = 260;
constexpr std::string_view kClassicThemeEnd = "Windows Classic.theme";

// The class's state shared by every menu (UI thread only, as the menus are).
struct MenuClassState {
  std::vector<HMENU> ownerDrawnMenus;
  std::vector<BCMenu*> liveObjects;
  int versionClass = kNotClassified;
  int drawMode = 0;
  std::optional<bool> classicTheme;
  CPINFO codePage{};
  bool versionRecordFails = false;
};

MenuClassState& State() {
  static MenuClassState* state = new MenuClassState();
  return *state;
}

void Forget(HMENU menu) {
  std::vector<HMENU>& list = State().ownerDrawnMenus;
  list.erase(std::remove(list.begin(), list.end(), menu), list.end());
}

std::string Narrow(const std::u16string& wide, unsigned codePage) {
  std::string out(wide.size(), '\0');
  if (!wide.empty()) {
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), out.data(),
                        static_cast<int>(out.size()), nullptr, nullptr);
  }
  return out;
}

std::u16string Widen(std::string_view text, unsigned codePage) {
  std::u16string out(text.size(), u'\0');
  if (!text.empty()) {
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(),
                        static_cast<int>(out.size()));
  }
  return out;
}

std::wstring ForDrawing(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

bool XpWithVisualStyles() { return BCMenu::WindowsVersionClass() == 7 && !BCMenu::IsWindowsClassicTheme(); }

// The menu font selected into a context for measuring; both are freed when it goes.
class MenuFontDC {
 public:
  MenuFontDC() {
    NONCLIENTMETRICSA metrics{};
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
      font_ = CreateFontIndirectA(&metrics.lfMenuFont);
    }
    // Measuring needs no window: a context compatible with the screen measures as the desktop's does.
    dc_ = CreateCompatibleDC(0);
    if (dc_ != 0 && font_ != 0) oldFont_ = SelectObject(dc_, font_);
  }
  ~MenuFontDC() {
    if (dc_ != 0 && oldFont_ != 0) SelectObject(dc_, oldFont_);
    if (dc_ != 0) DeleteDC(dc_);
    if (font_ != 0) DeleteObject(font_);
  }
  MenuFontDC(const MenuFontDC&) = delete;
  MenuFontDC& operator=(const MenuFontDC&) = delete;
  HDC dc() const { return dc_; }
  HFONT font() const { return font_; }

 private:
  HFONT font_ = 0;
  HDC dc_ = 0;
  HGDIOBJ oldFont_ = 0;
};

int Width(HDC dc, const std::string& text) {
  SIZE size{};
  GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size);
  return size.cx;
}

}  // namespace

BCMenu::BCMenu() {
  MenuClassState& state = State();
  GetCPInfo(CP_ACP, &state.codePage);
  state.liveObjects.push_back(this);
}

BCMenu::~BCMenu() {
  DestroyMenu();
  std::vector<BCMenu*>& live = State().liveObjects;
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

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
  m_keepInSync = false;
  return CMenu::DestroyMenu();
}

BCMenu* BCMenu::FindSubMenu(HMENU handle) const {
  for (const auto& sub : m_SubMenuObjects) {
    if (sub->m_hMenu == handle) return sub.get();
  }
  return nullptr;
}

BCMenuData* BCMenu::RecordOf(std::uintptr_t itemData) const {
  for (const auto& record : m_MenuList) {
    if (reinterpret_cast<std::uintptr_t>(record.get()) == itemData) return record.get();
  }
  return nullptr;
}

// ---- the Windows version and the theme ----

int BCMenu::ClassifyWindowsVersion() {
  const DWORD version = GetVersion();
  const bool ninetyFive = (version & 0x80000000u) != 0;
  if (ninetyFive && LOBYTE(version) < 4) return 0;
  std::unique_ptr<OSVERSIONINFOA> info(State().versionRecordFails ? nullptr : new (std::nothrow) OSVERSIONINFOA());
  if (info == nullptr) return ninetyFive ? 2 : 1;
  info->dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  if (!GetVersionExA(info.get())) return ninetyFive ? 2 : 1;
  const DWORD major = info->dwMajorVersion;
  const DWORD minor = info->dwMinorVersion;
  if (ninetyFive) {
    if (major == 4 && minor == 10) return 3;
    if (major == 4 && minor == 90) return 4;
    return 2;
  }
  if (major == 4) return 5;
  if (major == 5 && minor == 0) return 6;
  if (major == 5 && minor == 1) return 7;
  return 1;
}

int BCMenu::InitWindowsVersionClass() {
  MenuClassState& state = State();
  if (state.versionClass == kNotClassified) state.versionClass = ClassifyWindowsVersion();
  return state.versionClass;
}

int BCMenu::WindowsVersionClass() { return InitWindowsVersionClass(); }

void BCMenu::SetWindowsVersionClassForTest(int versionClass) { State().versionClass = versionClass; }
void BCMenu::SetVersionRecordAllocationFailsForTest(bool fails) { State().versionRecordFails = fails; }

BOOL BCMenu::IsWindowsClassicTheme() {
  MenuClassState& state = State();
  if (state.classicTheme) return *state.classicTheme ? TRUE : FALSE;
  bool classic = false;
  HKEY key = 0;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Plus!\\Themes\\Current", 0, KEY_READ, &key) ==
      ERROR_SUCCESS) {
    // The value need not be terminated: one byte more holds the end.
    std::array<char, kThemeValueSize + 1> value{};
    DWORD size = kThemeValueSize;
    DWORD type = 0;
    if (RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) ==
            ERROR_SUCCESS &&
        type == REG_SZ) {
      value[std::min<std::size_t>(size, kThemeValueSize)] = '\0';
      const std::string_view text(value.data());
      classic = text.size() >= kClassicThemeEnd.size() &&
                AsciiEqualNoCase(text.substr(text.size() - kClassicThemeEnd.size()), kClassicThemeEnd);
    }
    RegCloseKey(key);
  }
  state.classicTheme = classic;
  return classic ? TRUE : FALSE;
}

void BCMenu::ForgetClassicThemeForTest() { State().classicTheme.reset(); }

void BCMenu::SetMenuDrawMode(int mode) { State().drawMode = mode; }

COLORREF BCMenu::LightenColor(COLORREF colour, double factor) {
  if (!(factor > 0.0 && factor <= 1.0)) return colour;
  auto lighten = [factor](BYTE c) { return static_cast<BYTE>(c + (255 - c) * factor); };
  return RGB(lighten(GetRValue(colour)), lighten(GetGValue(colour)), lighten(GetBValue(colour)));
}

bool BCMenu::UsesXpLook(HDC dc) {
  if ((GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE) != 0) return false;
  if (XpWithVisualStyles()) return true;
  return State().drawMode == 1;
}

// ---- items ----

BOOL BCMenu::AppendODMenu(const char16_t* text, UINT flags, UINT_PTR id) {
  if (m_hMenu == 0) return FALSE;
  flags |= MF_OWNERDRAW;
  if (id == 0 && (flags & MF_POPUP) == 0) flags = (flags & MF_BYPOSITION) | MF_SEPARATOR | MF_OWNERDRAW;
  if ((flags & MF_POPUP) != 0) {
    const auto sub = static_cast<HMENU>(id);
    State().ownerDrawnMenus.push_back(sub);
    m_SubMenus.push_back(sub);
  }
  auto record = std::make_unique<BCMenuData>();
  if (text != nullptr) record->text = text;
  record->flags = flags;
  record->commandId = id;
  // No command of this program has an image of its own.
  record->sharedImageIndex = -1;
  BCMenuData* data = record.get();
  m_MenuList.push_back(std::move(record));
  if (!::AppendMenuA(m_hMenu, flags, id, reinterpret_cast<const char*>(data))) {
    m_MenuList.pop_back();
    return FALSE;
  }
  if (m_keepInSync) KeepTopLevelPlain();
  return TRUE;
}

void BCMenu::KeepTopLevelPlain() {
  const int count = GetMenuItemCount();
  int from = count;
  for (int i = 0; i < count && from == count; ++i) {
    std::array<char, 512> text{};
    GetMenuString(static_cast<UINT>(i), text.data(), static_cast<int>(text.size()), MF_BYPOSITION);
    for (const auto& record : m_MenuList) {
      if (!record->text.empty() && Narrow(record->text, CP_ACP) == text.data()) {
        from = i;
        break;
      }
    }
  }
  for (int i = from; i < count && i < static_cast<int>(m_MenuList.size()); ++i) {
    const HMENU sub = ::GetSubMenu(m_hMenu, i);
    if (sub == 0) continue;
    BCMenuData& record = *m_MenuList[static_cast<std::size_t>(i)];
    record.flags = MF_BYPOSITION | MF_POPUP;
    ::ModifyMenuA(m_hMenu, static_cast<UINT>(i), record.flags, sub, Narrow(record.text, CP_ACP).c_str());
  }
}

BOOL BCMenu::ModifyODMenu(const char* text, UINT position, UINT flags, UINT_PTR id) {
  if (m_hMenu == 0) return FALSE;
  MENUITEMINFOA info{};
  info.fMask = MIIM_FTYPE | MIIM_DATA;
  if (!::GetMenuItemInfoA(m_hMenu, position, (flags & MF_BYPOSITION) != 0, &info)) return FALSE;
  auto record = std::make_unique<BCMenuData>();
  record->text = Widen(text != nullptr ? std::string_view(text) : std::string_view(), CP_ACP);
  const bool ownerDrawn = (info.fType & MF_OWNERDRAW) != 0 || (flags & MF_OWNERDRAW) != 0;
  record->flags = ownerDrawn ? flags | MF_OWNERDRAW : flags;
  record->commandId = id;
  BCMenuData* data = record.get();
  const BOOL done = ownerDrawn ? ::ModifyMenuA(m_hMenu, position, record->flags, id, reinterpret_cast<const char*>(data))
                               : ::ModifyMenuA(m_hMenu, position, flags, id, text);
  if (!done) return FALSE;
  // The new record takes the old one's place.
  auto old = std::find_if(m_MenuList.begin(), m_MenuList.end(),
                          [&](const auto& r) { return reinterpret_cast<std::uintptr_t>(r.get()) == info.dwItemData; });
  if (old != m_MenuList.end()) {
    *old = std::move(record);
  } else {
    m_MenuList.push_back(std::move(record));
  }
  return TRUE;
}

void BCMenu::SyncRecordsWithMenu() {
  for (const auto& record : m_MenuList) record->syncMark = 0;
  std::vector<std::unique_ptr<BCMenuData>> ordered;
  const int count = GetMenuItemCount();
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOA info{};
    info.fMask = MIIM_DATA | MIIM_ID;
    if (!::GetMenuItemInfoA(m_hMenu, static_cast<UINT>(i), TRUE, &info)) continue;
    auto match = std::find_if(m_MenuList.begin(), m_MenuList.end(), [&](const auto& r) {
      return r && r->syncMark == 0 && reinterpret_cast<std::uintptr_t>(r.get()) == info.dwItemData;
    });
    if (match == m_MenuList.end()) {
      // A plain item keeps the record of its id.
      match = std::find_if(m_MenuList.begin(), m_MenuList.end(),
                           [&](const auto& r) { return r && r->syncMark == 0 && r->commandId == info.wID; });
    }
    if (match == m_MenuList.end()) continue;
    (*match)->syncMark = 1;
    ordered.push_back(std::move(*match));
  }
  // Records no item has are freed with the old list.
  m_MenuList = std::move(ordered);
}

LRESULT BCMenu::FindKeyboardShortcut(UINT nChar, UINT nFlags, CMenu* pMenu) {
  if (pMenu == nullptr || !IsMenu(pMenu->m_hMenu) || (nFlags & MF_POPUP) == 0) return 0;
  BCMenu* menu = dynamic_cast<BCMenu*>(pMenu);
  if (menu == nullptr) {
    for (BCMenu* live : State().liveObjects) {
      if (live->m_hMenu == pMenu->m_hMenu) menu = live;
    }
  }
  if (menu == nullptr) return 0;
  if (menu->GetMenuItemCount() != static_cast<int>(menu->m_MenuList.size())) menu->SyncRecordsWithMenu();
  std::string key = "&";
  key.push_back(static_cast<char>(nChar & 0xFF));
  const int count = menu->GetMenuItemCount();
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOA info{};
    info.fMask = MIIM_DATA;
    if (!::GetMenuItemInfoA(menu->m_hMenu, static_cast<UINT>(i), TRUE, &info)) continue;
    // Only an item that carries one of this menu's records has a text to search.
    const BCMenuData* record = menu->RecordOf(info.dwItemData);
    if (record == nullptr) continue;
    std::string text = Narrow(record->text, CP_ACP);
    for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (text.find(key) != std::string::npos) return (MNC_EXECUTE << 16) | i;
  }
  return 0;
}

// ---- loading ----

BOOL BCMenu::LoadMenu(UINT id) { return LoadMenu(MAKEINTRESOURCEA(static_cast<WORD>(id))); }

BOOL BCMenu::LoadMenu(const char* name) {
  HMODULE module = AfxGetResourceHandle();
  HRSRC resource = FindResourceA(module, name, RT_MENU);
  if (resource == 0) {
    module = AfxGetInstanceHandle();
    resource = FindResourceA(module, name, RT_MENU);
  }
  if (resource == 0) return FALSE;
  HGLOBAL loaded = LoadResource(module, resource);
  const auto* bytes = static_cast<const BYTE*>(LockResource(loaded));
  if (bytes == nullptr) return FALSE;
  return LoadMenuTemplate(std::span<const BYTE>(bytes, SizeofResource(module, resource)));
}

namespace {

// Reads a template's words, never past its end.
class TemplateReader {
 public:
  explicit TemplateReader(std::span<const BYTE> bytes) : bytes_(bytes) {}
  bool Word(WORD& value) {
    if (at_ + 2 > bytes_.size()) return false;
    value = static_cast<WORD>(bytes_[at_] | (bytes_[at_ + 1] << 8));
    at_ += 2;
    return true;
  }
  bool Text(std::u16string& text) {
    text.clear();
    WORD c = 0;
    while (Word(c)) {
      if (c == 0) return true;
      text.push_back(static_cast<char16_t>(c));
    }
    return false;
  }
  bool Skip(std::size_t count) {
    if (count > bytes_.size() - at_) return false;
    at_ += count;
    return true;
  }

 private:
  std::span<const BYTE> bytes_;
  std::size_t at_ = 0;
};

}  // namespace

BOOL BCMenu::LoadMenuTemplate(std::span<const BYTE> bytes) {
  DestroyMenu();
  TemplateReader reader(bytes);
  WORD versionNumber = 0;
  WORD offset = 0;
  if (!reader.Word(versionNumber) || !reader.Word(offset) || !reader.Skip(offset)) return FALSE;
  if (!CMenu::CreateMenu()) return FALSE;
  struct Level {
    BCMenu* menu;
    bool parentEndsWithIt;  // the popup item that opened it was its parent's last
  };
  std::vector<Level> stack{{this, false}};
  bool complete = false;
  while (!stack.empty()) {
    WORD flags = 0;
    WORD id = 0;
    std::u16string text;
    if (!reader.Word(flags) || ((flags & MF_POPUP) == 0 && !reader.Word(id)) || !reader.Text(text)) break;
    const bool last = (flags & MF_END) != 0;
    const UINT itemFlags = flags & ~MF_END;
    BCMenu* top = stack.back().menu;
    if ((flags & MF_POPUP) != 0) {
      auto sub = std::make_unique<BCMenu>();
      if (!sub->CMenu::CreatePopupMenu()) break;
      sub->m_checkSelected = top->m_checkSelected;
      sub->m_checkUnselected = top->m_checkUnselected;
      sub->m_checkShared = true;
      BCMenu* made = sub.get();
      top->m_SubMenuObjects.push_back(std::move(sub));
      top->AppendODMenu(text.c_str(), itemFlags | MF_POPUP, made->m_hMenu);
      stack.push_back({made, last});
      continue;
    }
    top->AppendODMenu(text.c_str(), itemFlags, id);
    if (!last) continue;
    // This level is complete, and with it every enclosing one whose last item it was.
    bool closeParent = true;
    while (closeParent && !stack.empty()) {
      const Level level = stack.back();
      stack.pop_back();
      level.menu->AlignShortcutColumn();
      closeParent = level.parentEndsWithIt;
    }
    complete = stack.empty();
  }
  if (!complete) {
    // Ended before its last level closed: no menu rather than part of one.
    DestroyMenu();
    return FALSE;
  }
  for (int i = 0; i < GetMenuItemCount() && i < static_cast<int>(m_MenuList.size()); ++i) {
    BCMenuData& record = *m_MenuList[static_cast<std::size_t>(i)];
    const std::string plain = Narrow(record.text, CP_ACP);
    const HMENU sub = ::GetSubMenu(m_hMenu, i);
    if (sub != 0) {
      record.flags = MF_BYPOSITION | MF_POPUP;
      ::ModifyMenuA(m_hMenu, static_cast<UINT>(i), record.flags, sub, plain.c_str());
    } else {
      record.flags = MF_BYPOSITION;
      ::ModifyMenuA(m_hMenu, static_cast<UINT>(i), record.flags, record.commandId, plain.c_str());
    }
  }
  m_keepInSync = true;
  return TRUE;
}

void BCMenu::AlignShortcutColumn() {
  MenuFontDC measure;
  const HDC dc = measure.dc();
  int widest = -1;
  for (const auto& record : m_MenuList) {
    const std::string text = Narrow(record->text, CP_THREAD_ACP);
    widest = std::max(widest, Width(dc, text.substr(0, text.find('\t')) + " "));
  }
  for (const auto& record : m_MenuList) {
    const std::string text = Narrow(record->text, CP_THREAD_ACP);
    const std::size_t tab = text.find('\t');
    if (text.empty() || tab == std::string::npos) continue;
    std::string left = text.substr(0, tab);
    int width = Width(dc, left);
    while (width < widest) {
      left.push_back(' ');
      const int wider = Width(dc, left);
      // A blank that no longer widens the text would never reach the width.
      if (wider <= width) break;
      width = wider;
    }
    record->text = Widen(left + text.substr(tab), CP_THREAD_ACP);
  }
}

// ---- measuring and drawing ----

void BCMenu::MeasureItem(MEASUREITEMSTRUCT* measure) {
  if (measure == nullptr) return;
  const BCMenuData* record = RecordOf(measure->itemData);
  if (record == nullptr) return;
  MenuFontDC fontDc;
  const bool xp = UsesXpLook(fontDc.dc());
  const int pad = xp ? kXpPad : kClassicPad;
  const int menuHeight = GetSystemMetrics(SM_CYMENU);
  if ((record->flags & MF_SEPARATOR) != 0) {
    measure->itemWidth = 0;
    measure->itemHeight = static_cast<UINT>(std::max((m_iconY + pad) / 2, menuHeight / 2));
    return;
  }
  const std::wstring text = ForDrawing(record->text);
  SIZE size{};
  GetTextExtentPoint32W(fontDc.dc(), text.c_str(), static_cast<int>(text.size()), &size);
  const int width = xp ? m_iconX + size.cx + 8 + pad : 2 * m_iconX + 1 + size.cx;
  measure->itemWidth = static_cast<UINT>(width);
  measure->itemHeight = static_cast<UINT>(std::max(m_iconY + pad, menuHeight));
}

void BCMenu::DrawItem(DRAWITEMSTRUCT* draw) {
  if (draw == nullptr || draw->CtlType != ODT_MENU) return;
  const BCMenuData* record = RecordOf(draw->itemData);
  if (record == nullptr) return;
  CDC* target = CDC::FromHandle(draw->hDC);
  if (target == nullptr) return;
  const bool xp = UsesXpLook(draw->hDC);
  BCMenuMemDC dc(target, &draw->rcItem);
  if ((record->flags & MF_SEPARATOR) != 0) {
    DrawSeparator(dc, draw->rcItem, xp);
  } else if (xp) {
    DrawXpItem(dc, *draw, *record);
  } else {
    DrawClassicItem(dc, *draw, *record);
  }
}

namespace {

COLORREF MenuBackground() { return GetSysColor(XpWithVisualStyles() ? COLOR_3DFACE : COLOR_MENU); }

// The menu font, selected for the drawing and deleted after it.
class SelectedMenuFont {
 public:
  explicit SelectedMenuFont(CDC& dc) : dc_(dc) {
    NONCLIENTMETRICSA metrics{};
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
      font_ = CreateFontIndirectA(&metrics.lfMenuFont);
    }
    if (font_ != 0) old_ = dc_.SelectObject(static_cast<HGDIOBJ>(font_));
  }
  ~SelectedMenuFont() {
    if (old_ != 0) dc_.SelectObject(old_);
    if (font_ != 0) DeleteObject(font_);
  }
  SelectedMenuFont(const SelectedMenuFont&) = delete;
  SelectedMenuFont& operator=(const SelectedMenuFont&) = delete;

 private:
  CDC& dc_;
  HFONT font_ = 0;
  HGDIOBJ old_ = 0;
};

void DrawItemText(CDC& dc, const std::u16string& text, RECT rect, COLORREF colour, int rightMargin) {
  SelectedMenuFont font(dc);
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(colour);
  const std::size_t tab = text.find(u'\t');
  const std::wstring left = ForDrawing(text.substr(0, tab));
  dc.DrawTextW(left.c_str(), static_cast<int>(left.size()), &rect, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  if (tab != std::u16string::npos) {
    const std::wstring right = ForDrawing(text.substr(tab + 1));
    RECT shortcut = rect;
    shortcut.right -= rightMargin;
    dc.DrawTextW(right.c_str(), static_cast<int>(right.size()), &shortcut, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
  }
}

}  // namespace

void BCMenu::DrawSeparator(CDC& dc, RECT rect, bool xp) {
  if (xp) {
    dc.FillSolidRect(&rect, GetSysColor(COLOR_WINDOW));
    RECT column = rect;
    column.right = rect.left + m_iconX + 8;
    dc.FillSolidRect(&column, XpWithVisualStyles() ? GetSysColor(COLOR_3DFACE)
                                                    : LightenColor(GetSysColor(COLOR_3DFACE), 0.25));
    rect.left = column.right + 4;
  } else {
    dc.FillSolidRect(&rect, MenuBackground());
  }
  rect.top += (rect.bottom - rect.top) / 2;
  dc.DrawEdge(&rect, EDGE_ETCHED, BF_TOP);
}

void BCMenu::DrawCheckMark(CDC& dc, RECT box, bool radio, bool selected, bool xp) {
  int markLeft = 0;
  if (xp) {
    const COLORREF frame = GetSysColor(COLOR_HIGHLIGHT);
    dc.FillSolidRect(&box, LightenColor(frame, 0.85));
    dc.Draw3dRect(&box, frame, frame);
    markLeft = 5;
  } else {
    const COLORREF fill = MenuBackground();
    dc.FillSolidRect(&box, selected ? fill : LightenColor(fill, 0.6));
    if (WindowsVersionClass() >= 2) dc.DrawEdge(&box, BDR_SUNKENOUTER, BF_RECT);
    markLeft = radio ? 5 : 4;
  }
  const int x = box.left + markLeft;
  const int y = box.top + 4;
  const COLORREF ink = GetSysColor(COLOR_WINDOWFRAME);
  const HPEN pen = CreatePen(PS_SOLID, 1, ink);
  const HGDIOBJ oldPen = dc.SelectObject(static_cast<HGDIOBJ>(pen));
  if (radio) {
    const HBRUSH brush = CreateSolidBrush(ink);
    const HGDIOBJ oldBrush = dc.SelectObject(static_cast<HGDIOBJ>(brush));
    dc.Ellipse(x, y, x + 6, y + 6);
    dc.SelectObject(oldBrush);
    DeleteObject(brush);
  } else {
    constexpr std::array<int, 7> kDrop = {2, 3, 4, 3, 2, 1, 0};
    for (int i = 0; i < 7; ++i) {
      dc.MoveTo(x + i, y + kDrop[static_cast<std::size_t>(i)]);
      dc.LineTo(x + i, y + kDrop[static_cast<std::size_t>(i)] + 3);
    }
  }
  dc.SelectObject(oldPen);
  DeleteObject(pen);
}

namespace {

RECT CheckBox(const RECT& item, int iconX, int iconY, int left) {
  const int top = item.top + ((item.bottom - item.top) - (iconY + 1)) / 2;
  return RECT{item.left + left, top, item.left + left + iconX, top + iconY + 1};
}

}  // namespace

void BCMenu::DrawClassicItem(CDC& dc, const DRAWITEMSTRUCT& draw, const BCMenuData& record) {
  const bool selected = (draw.itemState & ODS_SELECTED) != 0;
  const bool disabled = (draw.itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
  const bool checked = (draw.itemState & ODS_CHECKED) != 0;
  RECT rect = draw.rcItem;
  dc.FillSolidRect(&rect, MenuBackground());
  RECT textArea = rect;
  textArea.left = rect.left + m_iconX + 8;
  if (selected) dc.FillSolidRect(&textArea, GetSysColor(COLOR_HIGHLIGHT));
  if (checked) {
    DrawCheckMark(dc, CheckBox(rect, m_iconX, m_iconY, 2), (record.flags & MFT_RADIOCHECK) != 0, selected, false);
  }
  textArea.left += 2;
  const COLORREF colour = disabled   ? GetSysColor(COLOR_GRAYTEXT)
                          : selected ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                                     : GetSysColor(COLOR_MENUTEXT);
  DrawItemText(dc, record.text, textArea, colour, m_iconX);
}

void BCMenu::DrawXpItem(CDC& dc, const DRAWITEMSTRUCT& draw, const BCMenuData& record) {
  const bool selected = (draw.itemState & ODS_SELECTED) != 0;
  const bool disabled = (draw.itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
  const bool checked = (draw.itemState & ODS_CHECKED) != 0;
  const bool visualStyles = XpWithVisualStyles();
  RECT rect = draw.rcItem;
  dc.FillSolidRect(&rect, GetSysColor(COLOR_WINDOW));
  RECT column = rect;
  column.right = rect.left + m_iconX + 8;
  dc.FillSolidRect(&column, visualStyles ? GetSysColor(COLOR_3DFACE) : LightenColor(GetSysColor(COLOR_3DFACE), 0.25));
  if (selected && !disabled) {
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    dc.FillSolidRect(&rect, LightenColor(highlight, visualStyles ? 0.7 : 0.85));
    dc.Draw3dRect(&rect, highlight, highlight);
  }
  if (checked) {
    DrawCheckMark(dc, CheckBox(rect, m_iconX, m_iconY, 2), (record.flags & MFT_RADIOCHECK) != 0, selected, true);
  }
  RECT textArea = rect;
  textArea.left = column.right + 6;
  DrawItemText(dc, record.text, textArea, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_MENUTEXT), m_iconX);
}
