#include <gtest/gtest.h>

#include <unistd.h>

#include "app/app_globals.h"
#include "core/app_paths.h"
#include "app/client_app.h"
#include "app/main_dialog.h"
#include "support/child_process.h"
#include "win/msgbox.h"
#include "win/winsock.h"

namespace {
struct InFolder {
  explicit InFolder(const std::string& folder) {
    char* here = getcwd(nullptr, 0);
    previous = here;
    free(here);
    EXPECT_EQ(chdir(folder.c_str()), 0);
  }
  ~InFolder() { EXPECT_EQ(chdir(previous.c_str()), 0); }
  std::string previous;
};
}  // namespace

TEST(ClientApp, InitInstanceInTheTreeShowsTheMainDialog) {
  TempFolder folder;
  const std::string program = MakeXPlaneTree(folder.Path());
  InFolder inside(program);
  CxTKexeApp app;
  ASSERT_EQ(app.InitInstance(), TRUE);
  EXPECT_EQ(g_ownSimulatorCode.load(), 9000u);
  ASSERT_NE(app.MainDialog(), nullptr);
  EXPECT_EQ(app.m_pMainWnd, app.MainDialog());
  EXPECT_EQ(app.MainDialog()->TemplateId(), 7055u);
  EXPECT_TRUE(app.MainDialog()->IsWindowVisible());
  EXPECT_TRUE(app.MainDialog()->Shown());
  EXPECT_EQ(g_appPaths().settingsFile, program + "/Tavelkor.ini");
  EXPECT_EQ(g_appPaths().xplaneRoot, folder.Path() + "/");
}

TEST(ClientApp, KeyPressesAndMouseMovesReArmTheInactivityCountdown) {
  CxTKexeApp app;
  for (UINT message : {WM_KEYDOWN, WM_MOUSEMOVE}) {
    g_inactivityCountdown = 5;
    MSG msg{};
    msg.message = message;
    app.PreTranslateMessage(&msg);
    EXPECT_EQ(g_inactivityCountdown.load(), kInactivitySeconds);
  }
  g_inactivityCountdown = 5;
  MSG other{};
  other.message = WM_TIMER;
  app.PreTranslateMessage(&other);
  EXPECT_EQ(g_inactivityCountdown.load(), 5);
}

TEST(ClientApp, SocketStartUpFailuresAreReported) {
  SetMessageBoxEcho(false);
  const struct {
    int result;
    WORD granted;
    int expected;
    const char* text;
  } cases[] = {
      {10091, 0, -30, "Error code = 10091"},
      {0, MAKEWORD(1, 1), -10, "Windows Sockets implementation v1.1\r\nYou need to upgrade to v2.2"},
      // Low byte 2, high byte 0, and the other way round: printed high byte first.
      {0, MAKEWORD(2, 0), -10, "Windows Sockets implementation v0.2\r\nYou need to upgrade to v2.2"},
      {0, MAKEWORD(0, 2), -10, "Windows Sockets implementation v2.0\r\nYou need to upgrade to v2.2"},
      {0, MAKEWORD(1, 3), -10, "Windows Sockets implementation v3.1\r\nYou need to upgrade to v2.2"},
      {0, MAKEWORD(2, 2), 0, nullptr},
  };
  for (const auto& c : cases) {
    ClearShownMessageBoxes();
    SetWsaStartupResultForTest(c.result, c.granted);
    EXPECT_EQ(InitWinsock(), c.expected);
    const auto boxes = ShownMessageBoxes();
    if (c.text == nullptr) {
      EXPECT_TRUE(boxes.empty());
    } else {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].title, "WSAStartup Error");
      EXPECT_EQ(boxes[0].text, c.text);
    }
  }
  ResetWsaStartupForTest();
  SetMessageBoxEcho(true);
}
