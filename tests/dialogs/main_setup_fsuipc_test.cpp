// The main setup's FSUIPC box with the real link behind it, against the
// server stand-in in this process: unticked, the link closes and the chat
// says so; ticked again, a new link opens.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "base/klib_settings.h"
#include "core/app_paths.h"
#include "core/settings.h"
#include "dialogs/chat_colours.h"
#include "dialogs/chat_dialog.h"
#include "dialogs/main_setup_dialog.h"
#include "sim/fsuipc_client.h"
#include "sim/tcas_feed.h"
#include "support/child_process.h"
#include "support/klib_fixture.h"
#include "testbed/fsuipc_server.h"
#include "win/button_ctrl.h"
#include "win/dialog_template.h"
#include "win/messages.h"
#include "win/richedit.h"
#include "win/shared_memory.h"

namespace {

namespace id = main_setup_id;

class MainSetupFsuipcTest : public KlibFixture {
 protected:
  void SetUp() override {
    KlibFixture::SetUp();
    InstallDialogTemplates();
    g_appPaths().settingsFile = folder_.Path() + "/Tavelkor.ini";
    SetMainSetupActions(DefaultMainSetupActions());
    SetChatTraceColours(Klib());
    ASSERT_TRUE(chat_.Create(kChatTemplate));
    g_pChatDlg = &chat_;
    Klib().traceOutput = &chat_;
    FsuipcTimings timings;
    timings.openPauseMs = 0;
    g_fsuipc.SetTimings(timings);
    ASSERT_TRUE(server_.Start());
  }
  void TearDown() override {
    dialog_.reset();
    StopFsuipc();
    server_.Stop();
    g_fsuipc.SetTimings(FsuipcTimings{});
    Klib().traceOutput = nullptr;
    g_pChatDlg = nullptr;
    std::ofstream(g_appPaths().settingsFile, std::ios::binary | std::ios::trunc);
    LoadSetup();
    KlibFixture::TearDown();
  }
  void Click(int control) { SendMessageA(dialog_->GetDlgItem(control)->m_hWnd, BM_CLICK, 0, 0); }
  // The box clicked and the dialog saved, as the user does.
  void ToggleAndSave() {
    dialog_->ShowWindow(SW_SHOW);
    Click(id::kUseFsuipc);
    Click(id::kSave);
  }
  std::string Chat() const { return chat_.Output()->Text(); }
  static bool BlockExists(const std::string& name) {
    win::SharedMemory memory;
    return memory.Open(name, 4);
  }

  TempFolder folder_;
  CCchatDlg chat_;
  FsuipcServer server_;
  std::unique_ptr<MainConfigDlg> dialog_;
};

TEST_F(MainSetupFsuipcTest, UntickingClosesTheLinkAndTickingReopensIt) {
  std::ofstream(g_appPaths().settingsFile, std::ios::binary) << "[SETUP]\r\nUseFsuipc=0\r\n";
  LoadSetup();
  dialog_ = std::make_unique<MainConfigDlg>();
  ASSERT_TRUE(dialog_->Create());

  ToggleAndSave();
  ASSERT_TRUE(FsuipcLinkUp()) << Chat();
  const std::string firstBlock = g_fsuipc.BlockName();
  EXPECT_TRUE(BlockExists(firstBlock));
  EXPECT_NE(Chat().find(" FSUIPC v3.930.  is now monitored."), std::string::npos) << Chat();

  ToggleAndSave();
  EXPECT_FALSE(FsuipcLinkUp());
  EXPECT_FALSE(BlockExists(firstBlock)) << "the link's block is gone";
  EXPECT_EQ(Chat().substr(Chat().size() - 15), "FSUIPC disabled");

  const std::uint32_t requests = server_.Requests();
  ToggleAndSave();
  EXPECT_TRUE(FsuipcLinkUp());
  EXPECT_GT(server_.Requests(), requests);
  EXPECT_NE(g_fsuipc.BlockName(), firstBlock) << "a new link";
}

}  // namespace
