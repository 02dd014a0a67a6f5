#include "app/quit_steps.h"

#include "app/main_class.h"
#include "app/main_dialog.h"
#include "app/main_dialog_state.h"
#include "base/klib_settings.h"
#include "win/window.h"

namespace {
constexpr int kSimulatorStatusId = 7111;
}

void OnQuitAndCloseSimulator() {
  g_quitCountdown = 1;
  g_quitting = true;
  if (CFSClientDlg* dialog = g_pMainDlg.load()) {
    if (CWnd* status = dialog->GetDlgItem(kSimulatorStatusId)) status->SetWindowText("X");
  }
  if (g_pMainThread != nullptr) {
    g_pMainThread->SetTraceColour(Klib().Colour(kColourEmphasis));
    g_pMainThread->TraceLine("Closing ...");
  }
}
