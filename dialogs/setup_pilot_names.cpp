#include "dialogs/setup_pilot_names.h"

#include "dialogs/main_setup_dialog.h"
#include "win/dialog_items.h"

void ShowPilotNamesInSetup(const char* first, const char* last) {
  MainConfigDlg* dialog = g_pMainConfigDlg.load();
  if (dialog == nullptr || dialog->m_hWnd == 0) return;
  SetDlgItemTextA(dialog->m_hWnd, kSetupFirstNameId, first != nullptr ? first : "");
  SetDlgItemTextA(dialog->m_hWnd, kSetupLastNameId, last != nullptr ? last : "");
}
