#include "win/dialog.h"

#include <atomic>

#include "win/msgbox.h"
#include "win/window_registry.h"

namespace {
std::atomic<DialogTemplateLoader> g_loader{nullptr};
}  // namespace

void SetDialogTemplateLoader(DialogTemplateLoader loader) { g_loader = loader; }

CDialog::CDialog(UINT templateId, CWnd* parent) : templateId_(templateId), parent_(parent) {}

CDialog::~CDialog() {
  // Here, while WindowProc is still this class's: children and WM_DESTROY go first.
  DestroyWindow();
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
  if (m_hWnd != 0) return FALSE;
  templateId_ = templateId;
  parent_ = parent;
  const DialogTemplateLoader loader = g_loader.load();
  WindowCreateParams params{parent, 0, templateId, 0};
  params.bindChildrenFromTemplate = loader != nullptr;
  if (!CreateHandle(params)) return FALSE;
  if (loader != nullptr && !loader(*this, templateId)) {
    DestroyWindow();
    return FALSE;
  }
  win::detail::EndTemplateBinding(m_hWnd);
  SendMessage(WM_INITDIALOG, 0, 0);
  return m_hWnd != 0 ? TRUE : FALSE;  // OnInitDialog may have ended it
}

BOOL CDialog::Create() { return Create(templateId_, parent_); }

BOOL CDialog::OnInitDialog() { return TRUE; }

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM) {
  switch (LOWORD(wParam)) {
    case IDOK:
      OnOK();
      return TRUE;
    case IDCANCEL:
      OnCancel();
      return TRUE;
    default:
      return FALSE;
  }
}

void CDialog::EndDialog(int result) {
  result_ = result;
  ShowWindow(SW_HIDE);
}

BOOL CDialog::AddControl(CWnd& control, int id) {
  if (m_hWnd == 0 || control.m_hWnd != 0 || ::GetDlgItem(m_hWnd, id) != 0) return FALSE;
  return control.CreateHandle(WindowCreateParams{this, id, 0, WS_CHILD | WS_VISIBLE});
}

CWnd* CDialog::AddControl(std::unique_ptr<CWnd> control, int id) {
  if (!control || !AddControl(*control, id)) return nullptr;
  std::lock_guard lock(ownedMutex_);
  owned_.push_back(std::move(control));
  return owned_.back().get();
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_CLOSE:
      OnCancel();  // a dialog closes as its cancel button would
      return 0;
    default:
      return CWnd::WindowProc(message, wParam, lParam);
  }
}
