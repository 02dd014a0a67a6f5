// The panel's colours: its fields on a dark blue, every other control on the panel's own shade.
#include "app/main_dialog.h"
#include "base/klib_settings.h"
#include "core/main_dialog_state.h"
#include "sim/plugin_link.h"
#include "win/device_context.h"
#include "win/window.h"

namespace {
constexpr COLORREF kFieldBackground = 0x34261E;
constexpr std::size_t kFieldBrush = 3;        // 0x34261E
constexpr std::size_t kPanelBrush = 1;        // 0x3D2F28
constexpr std::size_t kEmphasisBrush = 4;     // colour 19
}  // namespace

HBRUSH CFSClientDlg::ControlColours(HDC dc, HWND control) {
  const int id = control != 0 ? ::GetDlgCtrlID(control) : 0;
  const KlibSettings& k = Klib();
  COLORREF text = 0;
  HBRUSH brush = g_brushes[kFieldBrush];
  SetBkColor(dc, kFieldBackground);
  switch (id) {
    case 7106:
    case 7112: text = k.Colour(kColourNormal); break;
    case 7107: text = k.Colour(kColourEmphasis); break;
    case 7111: text = k.Colour(XPlaneLinkUp.load() ? kColour25 : kColourError); break;
    case 7108: {
      const std::uint32_t bell = g_bellCountdown.load();
      if (bell == 0) {
        text = k.Colour(g_inCockpitReporting.load() ? kColour26 : kColour22);
      } else if (bell % 2 == 1) {
        text = 0;
        SetBkColor(dc, k.Colour(kColourEmphasis));
        brush = g_brushes[kEmphasisBrush];
      } else {
        text = k.Colour(kColourEmphasis);
      }
      break;
    }
    case 7220:
      text = k.Colour(kColourNormal);
      SetBkMode(dc, TRANSPARENT);
      break;
    default:
      return g_brushes[kPanelBrush];
  }
  SetTextColor(dc, text);
  return brush;
}
