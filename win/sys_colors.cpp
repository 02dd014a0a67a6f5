#include "win/sys_colors.h"

#include "win/gdi_table.h"

namespace {

// The classic scheme ("Windows Standard" of the 3D look), by index.
constexpr std::array<COLORREF, 31> kClassic = {
    RGB(192, 192, 192),  // COLOR_SCROLLBAR
    RGB(0, 128, 128),    // COLOR_BACKGROUND
    RGB(0, 0, 128),      // COLOR_ACTIVECAPTION
    RGB(128, 128, 128),  // COLOR_INACTIVECAPTION
    RGB(192, 192, 192),  // COLOR_MENU
    RGB(255, 255, 255),  // COLOR_WINDOW
    RGB(0, 0, 0),        // COLOR_WINDOWFRAME
    RGB(0, 0, 0),        // COLOR_MENUTEXT
    RGB(0, 0, 0),        // COLOR_WINDOWTEXT
    RGB(255, 255, 255),  // COLOR_CAPTIONTEXT
    RGB(192, 192, 192),  // COLOR_ACTIVEBORDER
    RGB(192, 192, 192),  // COLOR_INACTIVEBORDER
    RGB(128, 128, 128),  // COLOR_APPWORKSPACE
    RGB(0, 0, 128),      // COLOR_HIGHLIGHT
    RGB(255, 255, 255),  // COLOR_HIGHLIGHTTEXT
    RGB(192, 192, 192),  // COLOR_BTNFACE
    RGB(128, 128, 128),  // COLOR_BTNSHADOW
    RGB(128, 128, 128),  // COLOR_GRAYTEXT
    RGB(0, 0, 0),        // COLOR_BTNTEXT
    RGB(192, 192, 192),  // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255),  // COLOR_BTNHIGHLIGHT
    RGB(0, 0, 0),        // COLOR_3DDKSHADOW
    RGB(192, 192, 192),  // COLOR_3DLIGHT
    RGB(0, 0, 0),        // COLOR_INFOTEXT
    RGB(255, 255, 225),  // COLOR_INFOBK
    RGB(192, 192, 192),  // 25, unnamed
    RGB(0, 0, 255),      // COLOR_HOTLIGHT
    RGB(16, 132, 208),   // COLOR_GRADIENTACTIVECAPTION
    RGB(181, 181, 181),  // COLOR_GRADIENTINACTIVECAPTION
    RGB(0, 0, 128),      // COLOR_MENUHILIGHT
    RGB(192, 192, 192),  // COLOR_MENUBAR
};

bool InTable(int index) { return index >= 0 && index < static_cast<int>(kClassic.size()); }

void SetOne(win::detail::GdiTable& t, int index, COLORREF colour) {
  if (!InTable(index)) return;
  t.sysColours[static_cast<std::size_t>(index)] = colour & 0xFFFFFF;
  // The system brushes follow their colour, as on Windows.
  if (auto* brush = win::detail::Find<win::detail::BrushObject>(t, win::detail::SysColourBrush(t, index)))
    brush->colour = colour & 0xFFFFFF;
}

}  // namespace

namespace win::detail {

COLORREF SysColour(GdiTable& table, int index) {
  if (!InTable(index)) return 0;
  if (!table.sysColoursSet) {
    table.sysColours = kClassic;
    table.sysColoursSet = true;
  }
  return table.sysColours[static_cast<std::size_t>(index)];
}

HBRUSH SysColourBrush(GdiTable& table, int index) {
  if (!InTable(index)) return 0;
  auto it = table.sysColourBrushes.find(index);
  if (it != table.sysColourBrushes.end()) return it->second;
  const HBRUSH brush = AddObject(table, BrushObject{BS_SOLID, SysColour(table, index), nullptr}, true);
  table.sysColourBrushes.emplace(index, brush);
  return brush;
}

}  // namespace win::detail

COLORREF GetSysColor(int index) {
  auto& t = win::detail::Table();
  std::lock_guard lock(t.mutex);
  return win::detail::SysColour(t, index);
}

HBRUSH GetSysColorBrush(int index) {
  auto& t = win::detail::Table();
  std::lock_guard lock(t.mutex);
  return win::detail::SysColourBrush(t, index);
}

BOOL SetSysColors(int count, const int* indexes, const COLORREF* colours) {
  if (count < 0 || (count > 0 && (indexes == nullptr || colours == nullptr))) return FALSE;
  auto& t = win::detail::Table();
  std::lock_guard lock(t.mutex);
  win::detail::SysColour(t, 0);
  for (int i = 0; i < count; ++i) SetOne(t, indexes[i], colours[i]);
  return TRUE;
}

void SetSysColorForTest(int index, COLORREF colour) { SetSysColors(1, &index, &colour); }

void ResetSysColorsForTest() {
  auto& t = win::detail::Table();
  std::lock_guard lock(t.mutex);
  for (int i = 0; i < static_cast<int>(kClassic.size()); ++i) SetOne(t, i, kClassic[static_cast<std::size_t>(i)]);
}
