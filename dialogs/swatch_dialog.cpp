#include "dialogs/swatch_dialog.h"

#include "core/text_fields.h"
#include "net/orv_sok.h"
#include "net/way_record.h"
#include "win/listbox_ctrl.h"
#include "win/messages.h"

std::atomic<CSwatchDlg*> g_pSwatchDlg{nullptr};

std::vector<std::string> LinkedPilotCallsigns() {
  std::vector<std::string> callsigns;
  WayTableGuard guard;
  for (const WayRecord& record : WayTable()) {
    if (record.way == nullptr || record.peerKind != 'P' || (record.stateFlags & kWayAllocated) == 0) continue;
    if ((record.way->LoggedInBits() & kWayLoggedIn) == 0) continue;
    callsigns.emplace_back(FieldText(record.callsign));
  }
  return callsigns;
}

CSwatchDlg::CSwatchDlg() : CDialogEx(kSwatchTemplate) {}

CSwatchDlg::~CSwatchDlg() {
  if (g_pSwatchDlg.load() == this) g_pSwatchDlg = nullptr;
  DestroyWindow();
}

void CSwatchDlg::RefreshList() {
  auto* list = dynamic_cast<CListBox*>(GetDlgItem(kSwatchListId));
  if (list == nullptr) return;
  list->ResetContent();
  for (const std::string& callsign : LinkedPilotCallsigns()) list->AddString(callsign.c_str());
}

BOOL CSwatchDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case kSwatchOnId: {
      const auto* list = dynamic_cast<CListBox*>(GetDlgItem(kSwatchListId));
      const int selected = list != nullptr ? list->GetCurSel() : -1;
      if (selected < 0) return TRUE;
      watched_ = list->ItemText(selected);
      if (CWnd* field = GetDlgItem(kSwatchWatchingId)) field->SetWindowText(watched_.c_str());
      return TRUE;
    }
    case kSwatchOffId:
      watched_.clear();
      if (CWnd* field = GetDlgItem(kSwatchWatchingId)) field->SetWindowText("");
      ShowWindow(SW_HIDE);
      return TRUE;
    case kSwatchRefreshCommand:
      RefreshList();
      return TRUE;
    default:
      return CDialogEx::OnCommand(wParam, lParam);
  }
}

LRESULT CSwatchDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CDialogEx::WindowProc(message, wParam, lParam);
  if (message == WM_SHOWWINDOW && wParam != 0) RefreshList();
  return result;
}
