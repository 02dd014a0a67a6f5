#include "dialogs/dashboard_dialog.h"

#include <array>
#include <cstdio>

#include "base/klib_settings.h"
#include "core/main_dialog_state.h"
#include "core/own_aircraft_state.h"
#include "dialogs/chat_dialog.h"
#include "win/brush.h"
#include "win/device_context.h"
#include "win/dialog_items.h"
#include "win/gdi_objects.h"
#include "win/focus.h"
#include "win/keys.h"
#include "win/messages.h"
#include "win/paint.h"

std::atomic<CDashboardDlg*> g_pDashboardDlg{nullptr};

namespace {
// A key code that reaches the window as a command code.
constexpr WORD kKeyTab = 9;
constexpr COLORREF kFieldBackground = 0x34261E;
// The dialog itself: the background every control of the program shares.
constexpr COLORREF kDialogBackground = 0x3D2F28;

void LightText(CShadeButtonST& button) {
  for (BYTE index : {CButtonST::BTNST_COLOR_FG_IN, CButtonST::BTNST_COLOR_FG_OUT, CButtonST::BTNST_COLOR_FG_FOCUS})
    button.SetColor(index, kDashLitColour, TRUE);
}

int StaticColourField(int id) {
  switch (id) {
    case kDashSentRateId:
    case kDashReceivedRateId:
      return kColour29;
    case kDashVersionId:
    case 7222:
    case 7223:
    case 7224:
    case 7225:
      return kColourNormal;
    default:
      return 0;
  }
}
}  // namespace

CDashboardDlg::CDashboardDlg() : CDialogEx(kDashboardTemplate) {}

CDashboardDlg::~CDashboardDlg() {
  if (g_pDashboardDlg.load() == this) g_pDashboardDlg = nullptr;
  DestroyWindow();
  if (fieldBrush_ != 0) DeleteObject(fieldBrush_);
  if (dialogBrush_ != 0) DeleteObject(dialogBrush_);
}

BOOL CDashboardDlg::OnInitDialog() {
  CDialogEx::OnInitDialog();
  if (fieldBrush_ == 0) fieldBrush_ = CreateSolidBrush(kFieldBackground);
  if (dialogBrush_ == 0) dialogBrush_ = CreateSolidBrush(kDialogBackground);
  for (CShadeButtonST* button : {&charlie_, &ident_}) {
    button->SetDefaultColors(FALSE);
    button->SetShade();
    button->Invalidate();
  }
  mode_ = 0;
  g_dashIdentFlag = 0;
  g_dashBlinkCountdown = 0;
  g_ownAircraft().Update([](OwnAircraftSnapshot& own) { own.radios.transponderMode = 'S'; });
  SetDlgItemText(m_hWnd, kDashVersionId, VersionText());
  return TRUE;
}

void CDashboardDlg::OnCharlie() {
  mode_ = mode_ == 0 ? 1 : 0;
  const char letter = mode_ == 1 ? 'N' : 'S';
  char now = letter;
  g_ownAircraft().Update([&](OwnAircraftSnapshot& own) {
    own.radios.transponderMode = letter;
    now = own.radios.transponderMode;
  });
  if (mode_ == 1) {
    LightText(charlie_);
  } else {
    charlie_.SetDefaultColors(TRUE);
  }
  if (CCchatDlg* chat = g_pChatDlg.load()) {
    const PrintRun runs[] = {{0, Klib().Colour(kColourNormal), now != 'S' ? kCharlieOnText : kCharlieOffText}};
    chat->PrintRuns(runs, true);
  }
}

void CDashboardDlg::OnIdent() {
  ident_.SetDefaultColors(TRUE);
  g_dashIdentFlag = 1;
  g_dashBlinkCountdown = kIdentTicks;
}

void CDashboardDlg::OnBlink(bool lit) {
  if (lit) {
    LightText(ident_);
  } else {
    ident_.SetDefaultColors(TRUE);
  }
  ident_.Invalidate();
}

BOOL CDashboardDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case kDashCharlieId:
      if (HIWORD(wParam) == BN_CLICKED) OnCharlie();
      return TRUE;
    case kDashIdentId:
      if (HIWORD(wParam) == BN_CLICKED) OnIdent();
      return TRUE;
    case kDashBlinkCommand:
      OnBlink(lParam != 0);
      return TRUE;
    case kKeyTab: {
      const HWND focus = GetFocus();
      const HWND from = focus != 0 && ::GetParent(focus) == m_hWnd ? focus : 0;
      if (const HWND next = GetNextDlgTabItem(m_hWnd, from, GetKeyState(VK_SHIFT) < 0 ? TRUE : FALSE); next != 0)
        SetFocus(next);
      return TRUE;
    }
    default:
      return CDialogEx::OnCommand(wParam, lParam);
  }
}

LRESULT CDashboardDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      const LRESULT result = CDialogEx::WindowProc(message, wParam, lParam);
      // Before the template loads: its two buttons become these.
      AddControl(charlie_, kDashCharlieId);
      AddControl(ident_, kDashIdentId);
      return result;
    }
    case WM_CTLCOLORDLG:
      if (dialogBrush_ != 0) {
        SetBkColor(static_cast<HDC>(wParam), kDialogBackground);
        return static_cast<LRESULT>(dialogBrush_);
      }
      break;
    case WM_CTLCOLORSTATIC:
      if (const int field = StaticColourField(::GetDlgCtrlID(static_cast<HWND>(lParam)));
          field != 0 && fieldBrush_ != 0) {
        const HDC dc = static_cast<HDC>(wParam);
        SetTextColor(dc, Klib().Colour(field));
        SetBkColor(dc, kFieldBackground);
        return static_cast<LRESULT>(fieldBrush_);
      }
      break;
    case WM_SHOWWINDOW: {
      const LRESULT result = CDialogEx::WindowProc(message, wParam, lParam);
      if (CWnd* parent = GetParent())
        PostMessageA(parent->m_hWnd, WM_COMMAND, kDashboardShownCommand, wParam != 0 ? 1 : 0);
      return result;
    }
    default:
      break;
  }
  return CDialogEx::WindowProc(message, wParam, lParam);
}

void TickDashboardIdent() {
  std::uint16_t left = g_dashBlinkCountdown.load();
  if (left == 0) return;
  --left;
  g_dashBlinkCountdown = left;
  if (left == 0) g_dashIdentFlag = 0;
  if (CDashboardDlg* dash = g_pDashboardDlg.load())
    PostMessageA(dash->m_hWnd, WM_COMMAND, kDashBlinkCommand, static_cast<LPARAM>(left & 1));
}

void ShowDashboardTraffic(std::uint64_t sent, std::uint64_t received) {
  CDashboardDlg* dash = g_pDashboardDlg.load();
  if (dash == nullptr || dash->IsWindowVisible() == FALSE) return;
  const auto show = [dash](int id, std::uint64_t bytes) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.1f", static_cast<double>(bytes) / 1024.0);
    SetDlgItemText(dash->m_hWnd, id, text.data());
  };
  show(kDashSentRateId, sent);
  show(kDashReceivedRateId, received);
}
