#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/win/ui_thread.h"
#include "win/dialog.h"
#include "win/msgbox.h"
#include "win/os_thread.h"
#include "win/richedit.h"

namespace {

constexpr int kStartButton = 1001;

class MainDialog : public CDialogEx {
 public:
  MainDialog() : CDialogEx(7055) {}
  ~MainDialog() override { DestroyWindow(); }

  BOOL OnInitDialog() override {
    events.push_back("init");
    initThread = GetCurrentThreadId();
    visibleAtInit = IsWindowVisible() != FALSE;
    return CDialogEx::OnInitDialog();
  }
  void OnOK() override {
    events.push_back("ok");
    CDialogEx::OnOK();
  }
  void OnCancel() override {
    events.push_back("cancel");
    CDialogEx::OnCancel();
  }
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
    if (LOWORD(wParam) == kStartButton) {
      events.push_back("start");
      return TRUE;
    }
    return CDialogEx::OnCommand(wParam, lParam);
  }

  std::vector<std::string> events;
  DWORD initThread = 0;
  bool visibleAtInit = true;
};

TEST(Dialogs, CreateKeepsTheTemplateInitialisesOnceAndStaysHidden) {
  MainDialog dialog;
  EXPECT_EQ(dialog.TemplateId(), 7055u);
  ASSERT_TRUE(dialog.Create(7055, nullptr));
  EXPECT_EQ(dialog.TemplateId(), 7055u);
  EXPECT_EQ(dialog.events, std::vector<std::string>{"init"});
  EXPECT_EQ(dialog.initThread, GetCurrentThreadId());
  EXPECT_FALSE(dialog.visibleAtInit);
  EXPECT_FALSE(dialog.IsWindowVisible());
  EXPECT_FALSE(dialog.Create(7055, nullptr));  // one window per object
  EXPECT_EQ(dialog.events.size(), 1u);

  dialog.ShowWindow(SW_SHOW);
  EXPECT_TRUE(dialog.IsWindowVisible());
}

TEST(Dialogs, CommandsReachTheDialogsHandler) {
  struct Case {
    WPARAM command;
    std::vector<std::string> events;
    bool visibleAfter;
    int result;
  };
  const std::vector<Case> cases = {
      {kStartButton, {"init", "start"}, true, 0},
      {MAKELONG(kStartButton, 0x0300 /* a notification code */), {"init", "start"}, true, 0},
      {IDOK, {"init", "ok"}, false, IDOK},
      {IDCANCEL, {"init", "cancel"}, false, IDCANCEL},
      {4242, {"init"}, true, 0},
  };
  for (const Case& c : cases) {
    MainDialog dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.ShowWindow(SW_SHOW);
    dialog.SendMessage(WM_COMMAND, c.command, 0);
    EXPECT_EQ(dialog.events, c.events) << c.command;
    EXPECT_EQ(dialog.IsWindowVisible() != FALSE, c.visibleAfter) << c.command;
    EXPECT_EQ(dialog.Result(), c.result) << c.command;
  }
}

TEST(Dialogs, CloseActsAsCancel) {
  MainDialog dialog;
  ASSERT_TRUE(dialog.Create());
  dialog.ShowWindow(SW_SHOW);
  dialog.SendMessage(WM_CLOSE);
  EXPECT_EQ(dialog.events, (std::vector<std::string>{"init", "cancel"}));
  EXPECT_TRUE(IsWindow(dialog.m_hWnd));  // a modeless dialog is hidden, not destroyed
}

TEST(Dialogs, CommandPostedFromAWorkerRunsOnTheDialogsThread) {
  MainDialog dialog;
  tk_test::UiThread ui([&] { ASSERT_TRUE(dialog.Create()); });
  std::thread worker([&] { EXPECT_TRUE(PostMessageA(dialog.m_hWnd, WM_COMMAND, kStartButton, 0)); });
  worker.join();
  ui.Run([&] {
    EXPECT_EQ(dialog.events, (std::vector<std::string>{"init", "start"}));
    dialog.DestroyWindow();
  });
}

TEST(Dialogs, ControlsAreFoundByIdAndGoWithTheDialog) {
  MainDialog dialog;
  CRichEditCtrl chat;
  EXPECT_FALSE(dialog.AddControl(chat, 1203));  // no dialog window yet
  ASSERT_TRUE(dialog.Create());
  ASSERT_TRUE(dialog.AddControl(chat, 1203));
  CWnd* owned = dialog.AddControl(std::make_unique<CWnd>(), 1204);
  ASSERT_NE(owned, nullptr);
  EXPECT_EQ(dialog.AddControl(std::make_unique<CWnd>(), 1204), nullptr);  // the id is taken
  CRichEditCtrl second;
  EXPECT_FALSE(dialog.AddControl(second, 1203));

  EXPECT_EQ(dialog.GetDlgItem(1203), &chat);
  EXPECT_EQ(dialog.GetDlgItem(1204), owned);
  EXPECT_EQ(dialog.GetDlgItem(9999), nullptr);
  EXPECT_EQ(chat.GetParent(), &dialog);
  EXPECT_EQ(chat.GetDlgCtrlID(), 1203);
  dialog.ShowWindow(SW_SHOW);
  EXPECT_TRUE(chat.IsWindowVisible());  // controls are added visible

  const HWND chatHandle = chat.m_hWnd;
  const HWND ownedHandle = owned->m_hWnd;
  dialog.DestroyWindow();
  EXPECT_FALSE(IsWindow(chatHandle));
  EXPECT_FALSE(IsWindow(ownedHandle));
  EXPECT_EQ(chat.m_hWnd, 0u);
  chat.ReplaceSel("the model outlives its window");
  EXPECT_EQ(chat.Text(), "the model outlives its window");
}

std::vector<UINT> g_loaded;
BOOL RecordingLoader(CDialog& dialog, UINT templateId) {
  g_loaded.push_back(templateId);
  dialog.SetWindowText("From template");
  return templateId != 13;
}

TEST(Dialogs, TheTemplateReaderFillsTheDialogBeforeInit) {
  class Probe : public CDialog {
   public:
    using CDialog::CDialog;
    ~Probe() override { DestroyWindow(); }
    BOOL OnInitDialog() override {
      GetWindowText(captionAtInit);
      return TRUE;
    }
    std::string captionAtInit;
  };
  g_loaded.clear();
  SetDialogTemplateLoader(&RecordingLoader);
  Probe good(12);
  EXPECT_TRUE(good.Create());
  EXPECT_EQ(good.captionAtInit, "From template");
  Probe refused(13);
  EXPECT_FALSE(refused.Create());
  EXPECT_EQ(refused.m_hWnd, 0u);
  EXPECT_TRUE(refused.captionAtInit.empty());
  SetDialogTemplateLoader(nullptr);
  EXPECT_EQ(g_loaded, (std::vector<UINT>{12, 13}));
}

}  // namespace
