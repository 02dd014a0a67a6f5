#include "app/client_app.h"

#include <new>
#include <string>

#include "app/app_globals.h"
#include "app/app_hooks.h"
#include "core/app_paths.h"
#include "app/main_dialog.h"
#include "app/quit_steps.h"
#include "base/message_box.h"
#include "win/automation.h"
#include "win/dialog_template.h"
#include "win/messages.h"
#include "win/paths.h"
#include "win/remote_windows.h"
#include "win/winsock.h"

int InitWinsock() {
  WSADATA data{};
  const int error = WSAStartup(MAKEWORD(2, 2), &data);
  if (error != 0) {
    ShowMessage("WSAStartup Error", "Error code = %d", error);
    return -30;
  }
  if (LOBYTE(data.wVersion) != 2 || HIBYTE(data.wVersion) != 2) {
    ShowMessage("WSAStartup Error", "Windows Sockets implementation v%d.%d\r\nYou need to upgrade to v2.2",
                HIBYTE(data.wVersion), LOBYTE(data.wVersion));
    return -10;
  }
  return 0;
}

CxTKexeApp::CxTKexeApp() = default;
CxTKexeApp::~CxTKexeApp() = default;

BOOL CxTKexeApp::InitInstance() {
  InstallAppHooks();
  AfxInitRichEdit2();

  const std::string folder = CurrentFolder();
  AppPaths& paths = g_appPaths();
  switch (BuildAppPaths(folder, paths)) {
    case PathResult::NoResourcesFolder:
      ShowMessage("Tavelkor", "X-Plane Resources path not found !");
      return FALSE;
    case PathResult::FolderTooLong:
      ShowMessage("Tavelkor", "Program folder path is too long (%zu characters) !", folder.size());
      return FALSE;
    case PathResult::Ok:
      break;
  }
  if (!XPlaneExecutablePresent(paths)) {
    ShowMessage("Tavelkor", "X-Plane.exe file not found !");
    return FALSE;
  }
  g_ownSimulatorCode = 9000;
  if (InitWinsock() != 0) return FALSE;

  InstallDialogTemplates();
  mainDialog_.reset(new (std::nothrow) CFSClientDlg());
  if (mainDialog_ == nullptr) return FALSE;
  m_pMainWnd = mainDialog_.get();
  mainDialog_->Create(kMainDialogTemplate, nullptr);
  PublishWindow(mainDialog_->m_hWnd, "Tavelkor");
  mainDialog_->ShowWindow(SW_SHOW);
  mainDialog_->MarkShown();
  StartAutomationFromEnvironment();
  return TRUE;
}

int CxTKexeApp::ExitInstance() {
  StopAutomation();
  return CWinApp::ExitInstance();
}

BOOL CxTKexeApp::PreTranslateMessage(MSG* message) {
  if (message != nullptr && (message->message == WM_KEYDOWN || message->message == WM_MOUSEMOVE))
    g_inactivityCountdown = kInactivitySeconds;
  return CWinApp::PreTranslateMessage(message);
}

void CxTKexeApp::OnQuitRequest() {
  // Without running timers nothing would act on the quit flag: end the loop at once.
  if (mainDialog_ != nullptr && mainDialog_->TimersRunning()) {
    OnQuitAndCloseSimulator();
  } else {
    PostQuitMessage(0);
  }
}
