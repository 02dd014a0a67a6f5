#include <cstdio>
#include <mutex>

#include "win/button_ctrl.h"
#include "win/control_kinds.h"
#include "win/dialog_template.h"
#include "win/edit_ctrl.h"
#include "win/ipaddress_ctrl.h"
#include "win/listbox_ctrl.h"
#include "win/listview_ctrl.h"
#include "win/richedit.h"
#include "win/static_ctrl.h"
#include "win/tab_ctrl.h"
#include "win/trackbar_ctrl.h"
#include "win/window_pos.h"
#include "win/window_registry.h"

namespace {

std::mutex g_errorMutex;
std::string g_lastError;

void Report(UINT templateId, const std::string& reason) {
  std::fprintf(stderr, "Dialog template %u: %s\n", templateId, reason.c_str());
  std::lock_guard lock(g_errorMutex);
  g_lastError = reason;
}

std::unique_ptr<CWnd> MakeBuiltIn(const ControlTemplate& c) {
  const std::string_view kind = c.kind;
  if (kind == "static" || kind == "picture") return std::make_unique<CStatic>(c.style, c.text);
  if (kind == "edit") return std::make_unique<CEdit>(c.style, c.text);
  if (kind == "button" || kind == "checkbox" || kind == "radio" || kind == "ownerdraw") {
    return std::make_unique<CButton>(c.style, c.text);
  }
  if (kind == "richedit") return std::make_unique<CRichEditCtrl>();
  if (kind == "listbox") return std::make_unique<CListBox>(c.style, c.text);
  if (kind == "combo") return std::make_unique<CComboBox>(c.style, c.text);
  if (kind == "tab") return std::make_unique<CTabCtrl>(c.style, c.text);
  if (kind == "listview") return std::make_unique<CListCtrl>(c.style, c.text);
  if (kind == "ipaddress") return std::make_unique<CIPAddressCtrl>(c.style, c.text);
  if (kind == "trackbar") return std::make_unique<CSliderCtrl>(c.style, c.text);
  return std::make_unique<CPlaceholderCtrl>(c.kind, c.style, c.text);
}

std::unique_ptr<CWnd> MakeControl(const ControlTemplate& c) {
  if (ControlFactory factory = win::detail::RegisteredFactory(c.kind)) return factory(c);
  return MakeBuiltIn(c);
}

bool PlaceControl(CDialog& dialog, const ControlTemplate& c, std::string& error) {
  CWnd* control = dialog.GetDlgItem(c.id);
  if (control != nullptr) {
    // The dialog's own object takes the template's control as it stands.
    SendMessageA(control->m_hWnd, ControlSetStyleMessage(), static_cast<WPARAM>(c.style & ~(WS_VISIBLE | WS_DISABLED)), 0);
  } else {
    std::unique_ptr<CWnd> made = MakeControl(c);
    control = made ? dialog.AddControl(std::move(made), c.id) : nullptr;
    if (control == nullptr) {
      error = "line " + std::to_string(c.line) + ": the " + c.kind + " " + std::to_string(c.id) + " could not be made";
      return false;
    }
  }
  // Models made with their text already hold it; others (and the dialog's own) take it now.
  if (control->TextSnapshot() != c.text) control->SetWindowText(c.text.c_str());
  win::detail::SetInitialWindowRect(control->m_hWnd, c.rect);
  if ((c.style & WS_VISIBLE) == 0) control->ShowWindow(SW_HIDE);
  if ((c.style & WS_DISABLED) != 0) control->EnableWindow(FALSE);
  win::detail::BindWindowObject(control->m_hWnd);
  return true;
}

}  // namespace

BOOL LoadDialogFromTemplate(CDialog& dialog, UINT templateId) {
  std::string error;
  std::optional<DialogTemplate> found = FindDialogTemplate(templateId, error);
  if (!found) {
    Report(templateId, error);
    return FALSE;
  }
  dialog.SetWindowText(found->caption.c_str());
  win::detail::SetInitialWindowRect(dialog.m_hWnd, found->rect);
  for (const ControlTemplate& control : found->controls) {
    if (!PlaceControl(dialog, control, error)) {
      Report(templateId, error);
      return FALSE;
    }
  }
  return TRUE;
}

void InstallDialogTemplates() { SetDialogTemplateLoader(&LoadDialogFromTemplate); }

std::string LastDialogTemplateError() {
  std::lock_guard lock(g_errorMutex);
  return g_lastError;
}
