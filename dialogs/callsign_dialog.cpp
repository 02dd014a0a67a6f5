#include "dialogs/callsign_dialog.h"

#include <array>
#include <string>

#include "core/main_dialog_state.h"
#include "core/own_callsign.h"
#include "core/settings.h"
#include "dialogs/form_keys.h"
#include "win/cursors.h"
#include "win/edit_ctrl.h"
#include "win/messages.h"
#include "win/mouse.h"

std::atomic<CPilotsInfoDlg*> g_pPilotsInfoDlg{nullptr};

namespace {
constexpr char kFlightPlanSection[] = "FLIGHT PLAN";
constexpr char kCallSignKey[] = "CallSign";
}  // namespace

CPilotsInfoDlg::CPilotsInfoDlg() : CDialogEx(kCallsignTemplate) {}

CPilotsInfoDlg::~CPilotsInfoDlg() {
  if (g_pPilotsInfoDlg.load() == this) g_pPilotsInfoDlg = nullptr;
  DestroyWindow();
}

BOOL CPilotsInfoDlg::OnInitDialog() {
  CDialogEx::OnInitDialog();
  if (auto* box = dynamic_cast<CEdit*>(GetDlgItem(kCallsignEditId))) box->LimitText(kCallsignMaxChars);
  return TRUE;
}

LRESULT CPilotsInfoDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CDialogEx::WindowProc(message, wParam, lParam);
  if (message == WM_SHOWWINDOW) OnShowWindow(wParam != 0);
  return result;
}

std::string CPilotsInfoDlg::EditedCallsign() const {
  std::array<char, kCallsignMaxChars + 1> text{};
  if (const CWnd* box = GetDlgItem(kCallsignEditId)) box->GetWindowText(text.data(), static_cast<int>(text.size()));
  text.back() = '\0';
  return text.data();
}

void CPilotsInfoDlg::OnShowWindow(bool show) {
  if (show) {
    ReleaseCapture();
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    std::array<char, kCallsignMaxChars + 1> stored{};
    ReadSettingString(kFlightPlanSection, kCallSignKey, "", stored);
    SetOwnCallsign(stored.data());
    if (CWnd* box = GetDlgItem(kCallsignEditId)) box->SetWindowText(stored.data());
    return;
  }
  const std::string callsign = OwnCallsign();
  if (!callsign.empty()) WriteSettingString(kFlightPlanSection, kCallSignKey, callsign.c_str());
}

void CPilotsInfoDlg::OnOK() {
  SetOwnCallsign(EditedCallsign());
  // The main dialog's next one-second tick presses Connect.
  g_autoConnectCountdown = 1;
  ShowWindow(SW_HIDE);
}

BOOL CPilotsInfoDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (TakeFormKeyCommand(*this, wParam, lParam)) return TRUE;
  return CDialogEx::OnCommand(wParam, lParam);
}

BOOL CPilotsInfoDlg::PreTranslateMessage(MSG* msg) {
  if (ForwardFormKey(*this, msg)) return TRUE;
  return CDialogEx::PreTranslateMessage(msg);
}
