// The callsign dialog on a real settings file: showing it loads the stored
// callsign, hiding it stores a non-empty one, "Connect now" takes the typed
// callsign and asks for the connection, and its key commands.
#include "dialogs/callsign_dialog.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "core/app_paths.h"
#include "core/main_dialog_state.h"
#include "core/own_callsign.h"
#include "support/child_process.h"
#include "win/cursors.h"
#include "win/dialog_items.h"
#include "win/dialog_template.h"
#include "win/edit_ctrl.h"
#include "win/mouse.h"
#include "win/msgbox.h"
#include "win/richedit.h"

namespace {

std::string FileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

class CallsignDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallDialogTemplates();
    g_appPaths().settingsFile = folder_.Path() + "/Tavelkor.ini";
    SetOwnCallsign("");
    g_autoConnectCountdown = 0;
    dialog_ = std::make_unique<CPilotsInfoDlg>();
    ASSERT_TRUE(dialog_->Create(kCallsignTemplate));
  }
  void TearDown() override {
    dialog_.reset();
    SetOwnCallsign("");
    g_autoConnectCountdown = 0;
  }
  void WriteSettings(const std::string& text) {
    std::ofstream(g_appPaths().settingsFile, std::ios::binary | std::ios::trunc) << text;
  }
  std::string Ini() { return FileBytes(g_appPaths().settingsFile); }
  std::string Field() {
    char buffer[64] = {};
    GetDlgItemTextA(dialog_->m_hWnd, kCallsignEditId, buffer, sizeof buffer);
    return buffer;
  }
  // Typed as the pilot types it, within the field's limit.
  void Type(const std::string& text) {
    const HWND field = dialog_->GetDlgItem(kCallsignEditId)->m_hWnd;
    SendMessageA(field, EM_SETSEL, 0, -1);
    SendMessageA(field, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
  }

  TempFolder folder_;
  std::unique_ptr<CPilotsInfoDlg> dialog_;
};

TEST_F(CallsignDialogTest, ShowingItLoadsTheStoredCallsignAndGivesTheArrowBack) {
  WriteSettings("[FLIGHT PLAN]\r\nCallSign=TEST01\r\n");
  SetCapture(dialog_->m_hWnd);
  SetCursor(LoadCursor(nullptr, IDC_WAIT));
  dialog_->ShowWindow(SW_SHOW);
  EXPECT_EQ(Field(), "TEST01");
  EXPECT_EQ(OwnCallsign(), "TEST01");
  EXPECT_EQ(GetCapture(), HWND{0});
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_ARROW));
}

TEST_F(CallsignDialogTest, HidingItStoresTheCallsignOnlyWhenThereIsOne) {
  const struct {
    const char* stored;
    const char* expected;
  } cases[] = {{"[FLIGHT PLAN]\r\nCallSign=\r\n", "CallSign=\r\n"},
               {"[FLIGHT PLAN]\r\nCallSign=AB12\r\n", "CallSign=AB12\r\n"}};
  for (const auto& c : cases) {
    WriteSettings(c.stored);
    dialog_->ShowWindow(SW_SHOW);
    const std::string before = Ini();
    dialog_->ShowWindow(SW_HIDE);
    EXPECT_EQ(Ini(), before) << c.stored;
    EXPECT_NE(Ini().find(c.expected), std::string::npos);
  }
  // A callsign set meanwhile is kept, an empty one never replaces the stored one.
  WriteSettings("[FLIGHT PLAN]\r\nCallSign=OLD1\r\n");
  dialog_->ShowWindow(SW_SHOW);
  SetOwnCallsign("NEW2");
  dialog_->ShowWindow(SW_HIDE);
  EXPECT_NE(Ini().find("CallSign=NEW2\r\n"), std::string::npos);
  dialog_->ShowWindow(SW_SHOW);
  SetOwnCallsign("");
  dialog_->ShowWindow(SW_HIDE);
  EXPECT_NE(Ini().find("CallSign=NEW2\r\n"), std::string::npos);
}

TEST_F(CallsignDialogTest, ConnectNowTakesTheTypedCallsignAsksToConnectAndHides) {
  WriteSettings("[FLIGHT PLAN]\r\nCallSign=TEST01\r\n");
  dialog_->ShowWindow(SW_SHOW);
  Type("ABCDEFGHIJKLMNOPQ");
  EXPECT_EQ(Field(), "ABCDEFGHIJKLMNO") << "15 characters at most";
  dialog_->SendMessage(WM_COMMAND, IDOK, 0);
  EXPECT_EQ(OwnCallsign(), "ABCDEFGHIJKLMNO");
  EXPECT_EQ(g_autoConnectCountdown.load(), 1);
  EXPECT_FALSE(dialog_->IsWindowVisible());
  EXPECT_NE(Ini().find("CallSign=ABCDEFGHIJKLMNO\r\n"), std::string::npos);
}

TEST_F(CallsignDialogTest, EnterConnectsEscapeCancelsAndCodeZeroSelectsTheField) {
  WriteSettings("[FLIGHT PLAN]\r\nCallSign=TEST01\r\n");
  dialog_->ShowWindow(SW_SHOW);
  auto* field = dynamic_cast<CEdit*>(dialog_->GetDlgItem(kCallsignEditId));
  field->SetSel(0, 0);
  dialog_->SendMessage(WM_COMMAND, 0, kCallsignEditId);
  int start = -1;
  int end = -1;
  field->GetSel(start, end);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(end, 6);

  dialog_->SendMessage(WM_COMMAND, 27, 0);
  EXPECT_FALSE(dialog_->IsWindowVisible());
  EXPECT_EQ(g_autoConnectCountdown.load(), 0) << "ESC asks for nothing";

  dialog_->ShowWindow(SW_SHOW);
  Type("ENTER1");
  dialog_->SendMessage(WM_COMMAND, 13, 0);
  EXPECT_FALSE(dialog_->IsWindowVisible());
  EXPECT_EQ(OwnCallsign(), "ENTER1");
  EXPECT_EQ(g_autoConnectCountdown.load(), 1);
}

}  // namespace
