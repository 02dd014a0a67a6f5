#include "dialogs/locate_dialog.h"

std::atomic<CLocateAndTrackPlane*> g_pLocateDlg{nullptr};

CLocateAndTrackPlane::CLocateAndTrackPlane() : CDialogEx(kLocateTemplate) {}

CLocateAndTrackPlane::~CLocateAndTrackPlane() {
  if (g_pLocateDlg.load() == this) g_pLocateDlg = nullptr;
  DestroyWindow();
}
void CLocateAndTrackPlane::RefreshList() {}
