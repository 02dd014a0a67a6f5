#include "dialogs/form_keys.h"

#include "win/edit_ctrl.h"
#include "win/focus.h"
#include "win/keys.h"
#include "win/messages.h"

bool ForwardFormKey(CDialog& dialog, const MSG* msg) {
  if (msg == nullptr || msg->message != WM_KEYDOWN || msg->hwnd == dialog.m_hWnd ||
      ::GetParent(msg->hwnd) != dialog.m_hWnd) {
    return false;
  }
  const WPARAM key = msg->wParam;
  if (key != form_key::kTab && key != form_key::kEnter && key != form_key::kEscape) return false;
  dialog.OnCommand(key, 0);
  return true;
}

bool TakeFormKeyCommand(CDialog& dialog, WPARAM wParam, LPARAM lParam) {
  // Key codes come with code 0; a control's notice never does for these ids.
  if (HIWORD(wParam) != 0) return false;
  switch (LOWORD(wParam)) {
    case form_key::kSelectAll:
      if (lParam > 0 && lParam < 0x10000) {
        if (auto* edit = dynamic_cast<CEdit*>(dialog.GetDlgItem(static_cast<int>(lParam)))) edit->SetSel(0, -1);
      }
      return true;
    case form_key::kTab: {
      const HWND focus = GetFocus();
      const bool ours = focus != 0 && ::GetParent(focus) == dialog.m_hWnd;
      const HWND next = GetNextDlgTabItem(dialog.m_hWnd, ours ? focus : 0, GetKeyState(VK_SHIFT) < 0 ? TRUE : FALSE);
      if (next != 0) SetFocus(next);
      return true;
    }
    case form_key::kEnter:
      dialog.OnOK();
      return true;
    case form_key::kEscape:
      dialog.OnCancel();
      return true;
    default:
      return false;
  }
}
