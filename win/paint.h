// Painting from the message loop. Every window has a surface of its client
// size; what was invalidated is painted by WM_PAINT, which the owner thread's
// GetMessageA/PeekMessageA make when no posted message waits (after the quit
// flag, before timers). A window's update region is the union rectangle of
// what was invalidated; hidden windows stay invalid until shown. Any thread
// may invalidate; only the owner thread touches a window's surface.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "win/gdi_handles.h"
#include "win/geometry.h"
#include "win/messages.h"
#include "win/types.h"

// Regions are not modelled: RedrawWindow takes 0.
using HRGN = std::uint32_t;
using ULONG_PTR = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;

constexpr UINT WM_PAINT = 0x000F;
// wParam: the HDC to erase on; non-zero when erased.
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SYSCOLORCHANGE = 0x0015;
// wParam: HDC; lParam: the DRAWITEMSTRUCT* / MEASUREITEMSTRUCT*.
constexpr UINT WM_DRAWITEM = 0x002B;
constexpr UINT WM_MEASUREITEM = 0x002C;
// wParam: the control's HDC, lParam: the control's HWND; the answer is an HBRUSH.
constexpr UINT WM_CTLCOLORMSGBOX = 0x0132;
constexpr UINT WM_CTLCOLOREDIT = 0x0133;
constexpr UINT WM_CTLCOLORLISTBOX = 0x0134;
constexpr UINT WM_CTLCOLORBTN = 0x0135;
constexpr UINT WM_CTLCOLORDLG = 0x0136;
constexpr UINT WM_CTLCOLORSCROLLBAR = 0x0137;
constexpr UINT WM_CTLCOLORSTATIC = 0x0138;

// The class library's single reflected colour message.
constexpr UINT WM_CTLCOLOR = 0x0019;

struct PAINTSTRUCT {
  HDC hdc = 0;
  BOOL fErase = FALSE;  // the background still needs erasing (WM_ERASEBKGND said no)
  RECT rcPaint;         // what this paint covers, in client coordinates
  BOOL fRestore = FALSE;
  BOOL fIncUpdate = FALSE;
  BYTE rgbReserved[32] = {};
};

constexpr UINT ODT_MENU = 1;
constexpr UINT ODT_LISTBOX = 2;
constexpr UINT ODT_COMBOBOX = 3;
constexpr UINT ODT_BUTTON = 4;
constexpr UINT ODT_STATIC = 5;

constexpr UINT ODA_DRAWENTIRE = 0x0001;
constexpr UINT ODA_SELECT = 0x0002;
constexpr UINT ODA_FOCUS = 0x0004;

constexpr UINT ODS_SELECTED = 0x0001;
constexpr UINT ODS_GRAYED = 0x0002;
constexpr UINT ODS_DISABLED = 0x0004;
constexpr UINT ODS_CHECKED = 0x0008;
constexpr UINT ODS_FOCUS = 0x0010;
constexpr UINT ODS_DEFAULT = 0x0020;
constexpr UINT ODS_HOTLIGHT = 0x0040;
constexpr UINT ODS_INACTIVE = 0x0080;
constexpr UINT ODS_NOACCEL = 0x0100;
constexpr UINT ODS_NOFOCUSRECT = 0x0200;

struct DRAWITEMSTRUCT {
  UINT CtlType = 0;
  UINT CtlID = 0;
  UINT itemID = 0;
  UINT itemAction = 0;
  UINT itemState = 0;
  HWND hwndItem = 0;  // for ODT_MENU the HMENU
  HDC hDC = 0;
  RECT rcItem;
  ULONG_PTR itemData = 0;
};

struct MEASUREITEMSTRUCT {
  UINT CtlType = 0;
  UINT CtlID = 0;
  UINT itemID = 0;
  UINT itemWidth = 0;
  UINT itemHeight = 0;
  ULONG_PTR itemData = 0;
};

// Custom draw: a WM_NOTIFY whose record begins with NMHDR.
constexpr UINT NM_FIRST = 0U;
constexpr UINT NM_CUSTOMDRAW = NM_FIRST - 12U;

constexpr DWORD CDDS_PREPAINT = 0x00000001;
constexpr DWORD CDDS_POSTPAINT = 0x00000002;
constexpr DWORD CDDS_PREERASE = 0x00000003;
constexpr DWORD CDDS_POSTERASE = 0x00000004;
constexpr DWORD CDDS_ITEM = 0x00010000;
constexpr DWORD CDDS_ITEMPREPAINT = CDDS_ITEM | CDDS_PREPAINT;
constexpr DWORD CDDS_ITEMPOSTPAINT = CDDS_ITEM | CDDS_POSTPAINT;
constexpr DWORD CDDS_ITEMPREERASE = CDDS_ITEM | CDDS_PREERASE;
constexpr DWORD CDDS_ITEMPOSTERASE = CDDS_ITEM | CDDS_POSTERASE;
constexpr DWORD CDDS_SUBITEM = 0x00020000;

constexpr LRESULT CDRF_DODEFAULT = 0x00000000;
constexpr LRESULT CDRF_NEWFONT = 0x00000002;
constexpr LRESULT CDRF_SKIPDEFAULT = 0x00000004;
constexpr LRESULT CDRF_NOTIFYPOSTPAINT = 0x00000010;
constexpr LRESULT CDRF_NOTIFYITEMDRAW = 0x00000020;
constexpr LRESULT CDRF_NOTIFYSUBITEMDRAW = 0x00000020;
constexpr LRESULT CDRF_NOTIFYPOSTERASE = 0x00000040;

constexpr UINT CDIS_SELECTED = 0x0001;
constexpr UINT CDIS_GRAYED = 0x0002;
constexpr UINT CDIS_DISABLED = 0x0004;
constexpr UINT CDIS_CHECKED = 0x0008;
constexpr UINT CDIS_FOCUS = 0x0010;
constexpr UINT CDIS_DEFAULT = 0x0020;
constexpr UINT CDIS_HOT = 0x0040;

struct NMCUSTOMDRAW {
  NMHDR hdr;
  DWORD dwDrawStage = 0;
  HDC hdc = 0;
  RECT rc;
  DWORD_PTR dwItemSpec = 0;
  UINT uItemState = 0;
  LPARAM lItemlParam = 0;
};

// RedrawWindow flags.
constexpr UINT RDW_INVALIDATE = 0x0001;
constexpr UINT RDW_INTERNALPAINT = 0x0002;
constexpr UINT RDW_ERASE = 0x0004;
constexpr UINT RDW_VALIDATE = 0x0008;
constexpr UINT RDW_NOINTERNALPAINT = 0x0010;
constexpr UINT RDW_NOERASE = 0x0020;
constexpr UINT RDW_NOCHILDREN = 0x0040;
constexpr UINT RDW_ALLCHILDREN = 0x0080;
constexpr UINT RDW_UPDATENOW = 0x0100;
constexpr UINT RDW_ERASENOW = 0x0200;
constexpr UINT RDW_FRAME = 0x0400;
constexpr UINT RDW_NOFRAME = 0x0800;

// Adds `rect` (client coordinates; null: the whole client area) to the
// update region. `erase` asks for WM_ERASEBKGND before the paint. Any thread.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
// Takes `rect` (null: everything) out of the update region: with a union
// rectangle, only a rectangle that covers the region empties it.
BOOL ValidateRect(HWND hwnd, const RECT* rect);
// TRUE when the window has something to paint, with its update rectangle
// (clipped to the client area) in *rect when given. `erase` erases now.
BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase);
// Paints now when invalid: on the owner thread at once, from another thread
// sent to it (and waited for).
BOOL UpdateWindow(HWND hwnd);
// RDW_INVALIDATE / RDW_VALIDATE with RDW_ERASE / RDW_NOERASE, RDW_ALLCHILDREN
// for the children, RDW_UPDATENOW to paint at once; the region is unused
// (pass 0) and RDW_FRAME is the client area: windows have no frame.
BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN region, UINT flags);

// On the owner thread only (0 elsewhere, and for a window without a client
// area): a DC on the window's surface, clipped to the update rectangle,
// which it validates. Erases first (WM_ERASEBKGND) when asked to.
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint);
// A DC on the whole client surface (owner thread only); released with ReleaseDC.
HDC GetDC(HWND hwnd);
// Windows have no frame: the same as GetDC.
HDC GetWindowDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);

namespace win {

// The colours a control's parent answered at its last paint (WM_CTLCOLOR*),
// for the display to show the control as painted.
struct ControlColours {
  UINT message = 0;  // which WM_CTLCOLOR* was asked
  COLORREF text = 0;
  COLORREF background = 0;
  int bkMode = 0;  // OPAQUE or TRANSPARENT
  HBRUSH brush = 0;  // what the parent answered; 0 for the default
};
std::optional<ControlColours> PaintedControlColours(HWND control);
namespace detail {
void RecordControlColours(HWND control, const ControlColours& colours);
}

// Pixels painted (the sum of rcPaint areas) by one window since it was made,
// and by every window since start.
std::uint64_t PaintedPixels(HWND hwnd);
std::uint64_t TotalPaintedPixels();

// One window's painted pixels since the last TakePaintedSinceLastReport.
struct PaintedReport {
  HWND hwnd = 0;
  std::uint64_t pixels = 0;
};
// Every window that painted since the last call, in handle order, and
// starts a new count.
std::vector<PaintedReport> TakePaintedSinceLastReport();

// Runs the window's pending paint (its owner thread only) and writes its
// surface as PNG; false when it has no surface or the file cannot be written.
bool SaveWindowSurfacePng(HWND hwnd, const std::string& path);
// The same for a dialog with its visible controls laid over its surface where
// they stand, each after its own pending paint.
bool SaveWindowPicturePng(HWND hwnd, const std::string& path);

}  // namespace win
