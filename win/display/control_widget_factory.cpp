#include <typeinfo>

#include "win/button_ctrl.h"
#include "win/control_base.h"
#include "win/display/control_widget.h"
#include "win/display/widget_kinds.h"
#include "win/static_ctrl.h"
#include "win/trackbar_ctrl.h"

namespace win::display {

namespace {

// A trackbar of a class of its own draws over what the trackbar paints (its
// parent's custom draw does too): the surface shows it as painted.
bool PaintsItself(const CWnd* window) { return window != nullptr && typeid(*window) != typeid(CSliderCtrl); }

}  // namespace

std::unique_ptr<ControlWidget> MakeControlWidget(HWND control, std::string_view kind, DWORD style, QWidget* parent) {
  CWnd* window = CWnd::FromHandle(control);
  if (window == nullptr) return nullptr;
  // The live kind and style: a class may have made its button owner-drawn
  // after the template named it.
  const std::string_view live = window->Kind();
  if (const auto own = static_cast<DWORD>(SendMessageA(control, ControlStyleMessage(), 0, 0)); own != 0) style = own;
  if (live != kind && live != "window") kind = live;
  if (kind == "static") {
    if ((style & SS_TYPEMASK) == SS_OWNERDRAW) return nullptr;
    return MakeStaticWidget(control, style, parent);
  }
  if (kind == "picture") return MakePictureWidget(control, style, parent);
  if (kind == "button" || kind == "checkbox" || kind == "radio") {
    const DWORD type = style & BS_TYPEMASK;
    if (type == BS_OWNERDRAW) return nullptr;
    if (type == BS_GROUPBOX) return MakeGroupBoxWidget(control, parent);
    return MakeButtonWidget(control, style, parent);
  }
  if (kind == "edit") return MakeEditWidget(control, style, parent);
  if (kind == "richedit") return MakeRichEditWidget(control, style, parent);
  if (kind == "listbox") return MakeListBoxWidget(control, style, parent);
  if (kind == "combo") return MakeComboWidget(control, style, parent);
  if (kind == "listview") return MakeListViewWidget(control, style, parent);
  if (kind == "tab") return MakeTabWidget(control, style, parent);
  if (kind == "trackbar") return PaintsItself(window) ? nullptr : MakeTrackbarWidget(control, style, parent);
  if (kind == "ipaddress") return MakeIpAddressWidget(control, parent);
  if (kind == "tooltip") return MakeToolTipWidget(control, parent);
  // Owner-drawn buttons, dialogs and windows that paint themselves.
  return nullptr;
}

}  // namespace win::display
