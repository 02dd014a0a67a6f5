// The application object: refuses to run outside an X-Plane tree, builds the
// file paths, starts the sockets and creates the main dialog.
#pragma once

#include <memory>

#include "win/app.h"

class CFSClientDlg;

// 0 when sockets version 2.2 is ready, -30 when the start-up fails, -10 for another version.
int InitWinsock();

class CxTKexeApp : public CWinApp {
 public:
  CxTKexeApp();
  ~CxTKexeApp() override;
  BOOL InitInstance() override;
  int ExitInstance() override;
  BOOL PreTranslateMessage(MSG* message) override;
  // Ctrl-C and termination signals run the ordered quit sequence.
  void OnQuitRequest() override;

  CFSClientDlg* MainDialog() const { return mainDialog_.get(); }

 private:
  std::unique_ptr<CFSClientDlg> mainDialog_;
};
