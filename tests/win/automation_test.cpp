#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/wait_until.h"
#include "tests/win/automation_client.h"
#include "win/app.h"
#include "win/automation.h"
#include "win/controls.h"
#include "win/dialog_template.h"
#include "win/file_dialog.h"
#include "win/focus.h"
#include "win/keys.h"
#include "win/msgbox.h"
#include "win/richedit.h"
#include "win/os_thread.h"

namespace {

using tk_test::Client;

struct Seen {
  UINT message;
  WPARAM wParam;
  DWORD thread;
  bool operator==(const Seen&) const = default;
};

// A dialog that records its commands and keys, and shows a box for one command.
class RecordingDialog : public CDialog {
 public:
  explicit RecordingDialog(UINT templateId) : CDialog(templateId) {}
  ~RecordingDialog() override { DestroyWindow(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_COMMAND || message == WM_KEYDOWN || message == WM_KEYUP) {
      {
        std::lock_guard lock(mutex_);
        seen_.push_back(Seen{message, wParam, GetCurrentThreadId()});
        cv_.notify_all();
      }
      if (message == WM_COMMAND && LOWORD(wParam) == 7201) {
        MessageBoxA(m_hWnd, "line one\nline two\\end", "Chat\ttitle", MB_OK);
      }
      if (message == WM_COMMAND) return 0;
    }
    if (message == WM_NOTIFY && lParam != 0) {
      // Recorded as the control's id and the notice's code.
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      std::lock_guard lock(mutex_);
      seen_.push_back(Seen{WM_NOTIFY, MAKELONG(static_cast<WORD>(header->idFrom), LOWORD(header->code)),
                           GetCurrentThreadId()});
      cv_.notify_all();
      return 0;
    }
    return CDialog::WindowProc(message, wParam, lParam);
  }
  // Keys aimed at a child pass here on their way, as the loop shows them to the parents.
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->hwnd != m_hWnd && (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP)) {
      std::lock_guard lock(mutex_);
      seen_.push_back(Seen{msg->message, msg->wParam, GetCurrentThreadId()});
      cv_.notify_all();
    }
    return CDialog::PreTranslateMessage(msg);
  }
  std::vector<Seen> Seen_() {
    std::lock_guard lock(mutex_);
    return seen_;
  }
  std::vector<Seen> WaitFor(std::size_t count) {
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, std::chrono::seconds(10), [&] { return seen_.size() >= count; });
    return seen_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Seen> seen_;
};

using Lines = std::vector<std::string>;

bool Has(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The program as automation sees it: a UI thread with its loop, the main
// panel from its template, the chat window, and the server.
class AutomationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallDialogTemplates();
    ClearShownMessageBoxes();
    SetMessageBoxEcho(false);
    ResetKeyStates();
    path_ = folder_.Path() + "/automation.sock";
    app_.m_pMainWnd = &panel;
    std::promise<bool> started;
    ui_ = std::thread([this, &started] {
      panel.Create(7055, nullptr);
      chat.Create(7057, &panel);
      offsets.Create(7052, &panel);
      panel.ShowWindow(SW_SHOW);
      app_.m_nThreadID = GetCurrentThreadId();
      uiThread_ = GetCurrentThreadId();
      started.set_value(StartAutomation(path_) != FALSE);
      app_.Run();
      loopEnded_ = true;
    });
    ASSERT_TRUE(started.get_future().get());
  }

  void TearDown() override {
    if (ui_.joinable()) {
      RequestApplicationQuit();
      ui_.join();
    }
    StopAutomation();
    panel.DestroyWindow();
    chat.DestroyWindow();
    offsets.DestroyWindow();
    SetDialogTemplateLoader(nullptr);
    SetMessageBoxEcho(true);
    ResetKeyStates();
  }

  void WaitForLoopEnd() { ui_.join(); }

  TempFolder folder_;
  std::string path_;
  CWinApp app_;
  RecordingDialog panel{7055};
  RecordingDialog chat{7057};
  RecordingDialog offsets{7052};
  std::thread ui_;
  DWORD uiThread_ = 0;
  std::atomic<bool> loopEnded_{false};
};

TEST_F(AutomationTest, DumpListsEveryDialogAndItsControls) {
  Client client(path_);
  ASSERT_TRUE(client.Connected());
  const Lines dump = client.Ask("dump");
  ASSERT_FALSE(dump.empty());
  EXPECT_EQ(dump.back(), "ok");
  EXPECT_TRUE(Has(dump, "window 7055 visible=1 text=Tavelkor"));
  EXPECT_TRUE(Has(dump, "control 7055 7106 kind=static visible=1 enabled=1 text=-- --"));
  EXPECT_TRUE(Has(dump, "control 7055 7111 kind=static visible=1 enabled=1 text="));
  // The template's buttons are push buttons; only the program's own dialog makes them owner-drawn.
  EXPECT_TRUE(Has(dump, "control 7055 7212 kind=button visible=1 enabled=1 text=OFF"));
  EXPECT_TRUE(Has(dump, "control 7055 7248 kind=picture visible=1 enabled=1 text=#7801"));
  EXPECT_TRUE(Has(dump, "window 7057 visible=0 text=Chat"));
  EXPECT_TRUE(Has(dump, "control 7057 7159 kind=checkbox visible=1 enabled=1 text=AutoClose"));
  EXPECT_TRUE(Has(dump, "control 7057 7021 kind=combo visible=1 enabled=1 text="));
  // Each window line comes before its controls, which follow in template order.
  const auto window = std::find(dump.begin(), dump.end(), "window 7055 visible=1 text=Tavelkor");
  EXPECT_EQ(*(window + 1), "control 7055 7212 kind=button visible=1 enabled=1 text=OFF");
  EXPECT_EQ(std::count_if(dump.begin(), dump.end(), [](const std::string& l) { return l.rfind("control 7055 ", 0) == 0; }),
            14);
}

TEST_F(AutomationTest, TextAndSettextCarryEscapesAndTheCodePage) {
  Client client(path_);
  EXPECT_EQ(client.Ask("text 7055 7107"), (Lines{"Callsign", "ok"}));
  // Tab, newline, backslash and a non-ASCII letter, escaped and in UTF-8.
  EXPECT_EQ(client.Ask("settext 7055 7107 A\\tB\\\\C\\nenvoy\xc3\xa9"), (Lines{"ok"}));
  EXPECT_EQ(panel.GetDlgItem(7107)->TextSnapshot(), "A\tB\\C\nenvoy\xe9");
  EXPECT_EQ(client.Ask("text 7055 7107"), (Lines{"A\\tB\\\\C\\nenvoy\xc3\xa9", "ok"}));
  EXPECT_EQ(client.Ask("settext 7055 7107 "), (Lines{"ok"}));
  EXPECT_EQ(client.Ask("text 7055 7107"), (Lines{"", "ok"}));
  EXPECT_EQ(client.Ask("settext 7055 7107 bad\\q"), (Lines{"error bad escape in the text"}));
}

TEST_F(AutomationTest, TypingIntoAnEditTellsItsDialog) {
  Client client(path_);
  EXPECT_EQ(client.Ask("settext 7057 7003 hello there"), (Lines{"ok"}));
  EXPECT_EQ(chat.GetDlgItem(7003)->TextSnapshot(), "hello there");
  EXPECT_TRUE(Has(client.Ask("dump"), "control 7057 7003 kind=edit visible=1 enabled=1 text=hello there"));
  const std::vector<Seen> seen = chat.Seen_();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], (Seen{WM_COMMAND, MAKELONG(7003, EN_CHANGE), uiThread_}));

  EnableWindow(GetDlgItem(chat.m_hWnd, 7003), FALSE);
  EXPECT_EQ(client.Ask("settext 7057 7003 no"), (Lines{"error disabled"}));
  EXPECT_EQ(client.Ask("settext 7057 7217 shown"), (Lines{"error read-only"}));
}

TEST_F(AutomationTest, APasswordFieldShowsStarsToDumpAndTextAndItsDialogReadsTheCharacters) {
  Client client(path_);
  const HWND field = chat.GetDlgItem(7003)->m_hWnd;
  const DWORD style = static_cast<DWORD>(SendMessageA(field, ControlStyleMessage(), 0, 0));
  ASSERT_TRUE(SendMessageA(field, ControlSetStyleMessage(), style | ES_PASSWORD, 0));
  EXPECT_EQ(client.Ask("settext 7057 7003 pw-41x"), (Lines{"ok"}));
  EXPECT_EQ(client.Ask("text 7057 7003"), (Lines{"******", "ok"}));
  EXPECT_TRUE(Has(client.Ask("dump"), "control 7057 7003 kind=edit visible=1 enabled=1 text=******"));
  char typed[32] = {};
  GetDlgItemTextA(chat.m_hWnd, 7003, typed, sizeof typed);
  EXPECT_STREQ(typed, "pw-41x");
  ASSERT_TRUE(SendMessageA(field, ControlSetStyleMessage(), style, 0));
  EXPECT_EQ(client.Ask("text 7057 7003"), (Lines{"pw-41x", "ok"}));
}

TEST_F(AutomationTest, ClicksAndCommandsRunOnTheUiThreadBeforeTheAnswer) {
  Client client(path_);
  EXPECT_EQ(client.Ask("click 7055 7201"), (Lines{"ok"}));
  EXPECT_EQ(client.Ask("click 7055 7106"), (Lines{"ok"}));
  EXPECT_EQ(client.Ask("click 7055 7112"), (Lines{"error not clickable"}));
  EXPECT_EQ(client.Ask("command 7055 32789"), (Lines{"ok"}));
  EXPECT_EQ(panel.Seen_(), (std::vector<Seen>{{WM_COMMAND, MAKELONG(7201, BN_CLICKED), uiThread_},
                                              {WM_COMMAND, MAKELONG(7106, STN_CLICKED), uiThread_},
                                              {WM_COMMAND, 32789, uiThread_}}));
  // The box the click showed, with its tab and newline escaped.
  EXPECT_EQ(client.Ask("boxes"), (Lines{"box Chat\\ttitle\tline one\\nline two\\\\end", "ok"}));

  EnableWindow(GetDlgItem(panel.m_hWnd, 7212), FALSE);
  EXPECT_EQ(client.Ask("click 7055 7212"), (Lines{"error disabled"}));
}

TEST_F(AutomationTest, CheckAndSelectActAsTheUserWould) {
  Client client(path_);
  EXPECT_EQ(client.Ask("check 7057 7159 1"), (Lines{"ok"}));
  EXPECT_EQ(IsDlgButtonChecked(chat.m_hWnd, 7159), BST_CHECKED);
  EXPECT_EQ(client.Ask("check 7057 7159 1"), (Lines{"ok"}));  // already: no click
  EXPECT_EQ(chat.Seen_(), (std::vector<Seen>{{WM_COMMAND, MAKELONG(7159, BN_CLICKED), uiThread_}}));
  EXPECT_EQ(client.Ask("check 7057 7159 0"), (Lines{"ok"}));
  EXPECT_EQ(IsDlgButtonChecked(chat.m_hWnd, 7159), BST_UNCHECKED);
  EXPECT_EQ(client.Ask("check 7057 7200 1"), (Lines{"error not a check box"}));
  EXPECT_EQ(client.Ask("check 7057 7159 2"), (Lines{"error usage: check <template> <id> <0|1>"}));
  // The recipient list has no model yet: it cannot be chosen from.
  EXPECT_EQ(client.Ask("select 7057 7021 0"), (Lines{"error cannot select that"}));
  EXPECT_EQ(client.Ask("select 7057 7021 -1"), (Lines{"error bad index"}));
}

TEST_F(AutomationTest, ATabControlListsItsTabsAndIsPickedAsTheUserWould) {
  Client client(path_);
  auto* tabs = dynamic_cast<CTabCtrl*>(offsets.GetDlgItem(7233));
  ASSERT_NE(tabs, nullptr);
  EXPECT_EQ(client.Ask("select 7052 7233 0"), (Lines{"error cannot select that"}));
  for (const char* label : {"FS8/9", "FSX", "P3D"}) tabs->InsertItem(tabs->GetItemCount(), label);
  const Lines dump = client.Ask("dump");
  const auto control = std::find(dump.begin(), dump.end(), "control 7052 7233 kind=tab visible=1 enabled=1 text=");
  ASSERT_NE(control, dump.end());
  ASSERT_GE(std::distance(control, dump.end()), 4);
  EXPECT_EQ(Lines(control + 1, control + 4), (Lines{"item 0 FS8/9", "item 1 FSX", "item 2 P3D"}));

  EXPECT_EQ(client.Ask("select 7052 7233 1"), (Lines{"ok"}));
  EXPECT_EQ(tabs->GetCurSel(), 1);
  const WPARAM picked = MAKELONG(7233, LOWORD(TCN_SELCHANGE));
  EXPECT_EQ(offsets.Seen_(), (std::vector<Seen>{{WM_NOTIFY, picked, uiThread_}}));
  // The tab already shown, one beyond the tabs, and the program's own choice tell nothing.
  EXPECT_EQ(client.Ask("select 7052 7233 1"), (Lines{"ok"}));
  EXPECT_EQ(client.Ask("select 7052 7233 3"), (Lines{"error cannot select that"}));
  EXPECT_EQ(tabs->SetCurSel(2), 1);
  EXPECT_EQ(tabs->GetCurSel(), 2);
  EXPECT_EQ(offsets.Seen_().size(), 1u);
  EnableWindow(tabs->m_hWnd, FALSE);
  EXPECT_EQ(client.Ask("select 7052 7233 0"), (Lines{"error disabled"}));
}

TEST_F(AutomationTest, UnknownTargetsAndMalformedRequestsAreErrors) {
  Client client(path_);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"text 7055 9999", "error no control 9999 in window 7055"},
      {"click 7054 7201", "error no window 7054"},
      {"text 7055", "error usage: text <template> <id>"},
      {"text 7055 71x6", "error bad template or control id"},
      {"command 7099 1", "error no window 7099"},
      {"key NOPE down", "error unknown key NOPE"},
      {"key SHIFT sideways", "error usage: key <virtual-key> <down|up>"},
      {"dump now", "error usage: dump"},
      {"fly away", "error unknown command fly"},
      {"", "error empty request"},
  };
  for (const auto& [request, answer] : cases) EXPECT_EQ(client.Ask(request), (Lines{answer})) << request;
  // One over-long line is answered and the connection goes on.
  client.SendRaw(std::string(70'000, 'x'));
  EXPECT_EQ(client.Ask(""), (Lines{"error line too long"}));
  EXPECT_EQ(client.Ask("text 7055 7108"), (Lines{"CKPIT", "ok"}));
}

TEST_F(AutomationTest, KeysFeedTheTableAndTheMainWindow) {
  Client client(path_);
  EXPECT_EQ(client.Ask("key SHIFT down"), (Lines{"ok"}));
  EXPECT_NE(GetAsyncKeyState(VK_SHIFT) & 0x8000, 0);
  EXPECT_EQ(client.Ask("key 9 down"), (Lines{"ok"}));
  EXPECT_EQ(client.Ask("key SHIFT up"), (Lines{"ok"}));
  EXPECT_EQ(GetAsyncKeyState(VK_SHIFT) & 0x8000, 0);
  // The key messages pass through the application's loop, as typed keys do,
  // each before its answer: nothing is waited for here.
  EXPECT_EQ(panel.Seen_(), (std::vector<Seen>{{WM_KEYDOWN, VK_SHIFT, uiThread_},
                                                 {WM_KEYDOWN, VK_TAB, uiThread_},
                                                 {WM_KEYUP, VK_SHIFT, uiThread_}}));
}

TEST_F(AutomationTest, TypingGivesTheFieldTheFocusAndKeysGoWhereTheFocusIs) {
  Client client(path_);
  EXPECT_EQ(client.Ask("focus"), (Lines{"focus none", "ok"}));
  EXPECT_EQ(client.Ask("settext 7057 7003 hi"), (Lines{"ok"}));
  EXPECT_EQ(client.Ask("focus"), (Lines{"focus 7057 7003", "ok"}));
  EXPECT_EQ(client.Ask("focus now"), (Lines{"error usage: focus"}));
  EXPECT_EQ(client.Ask("key RETURN down"), (Lines{"ok"}));
  // The key reaches the chat through its input line's parent, not the main
  // window, before the answer (a text typed next must not overtake it).
  const std::vector<Seen> seen = chat.Seen_();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1], (Seen{WM_KEYDOWN, VK_RETURN, uiThread_}));
}

TEST_F(AutomationTest, RunsShowARichEditsTextWithItsColoursAndEffects) {
  auto* output = dynamic_cast<CRichEditCtrl*>(chat.GetDlgItem(7005));
  ASSERT_NE(output, nullptr);
  CHARFORMAT2 format;
  format.dwMask = CFM_COLOR | CFM_BOLD;
  format.dwEffects = CFE_BOLD;
  format.crTextColor = 0x3232FF;
  output->SetSel(-1, -1);
  output->SetSelectionCharFormat(format);
  output->ReplaceSel("[ON GUARD] ");
  format.dwEffects = 0;
  format.crTextColor = 0x8CA48C;
  output->SetSelectionCharFormat(format);
  output->ReplaceSel("A\tB\r\n");
  Client client(path_);
  EXPECT_EQ(client.Ask("runs 7057 7005"), (Lines{"run 3232FF 1 [ON GUARD] ", "run 8CA48C 0 A\\tB\\r\\n", "ok"}));
  EXPECT_EQ(client.Ask("runs 7057 7003"), (Lines{"error not a rich edit"}));
  EXPECT_EQ(client.Ask("runs 7057"), (Lines{"error usage: runs <template> <id>"}));
}

TEST_F(AutomationTest, FileDialogsTakeTheQueuedAnswersInTurn) {
  ClearFileDialogAnswers();
  ClearShownFileDialogs();
  Client client(path_);
  EXPECT_EQ(client.Ask("filedialog plan"), (Lines{"ok"}));
  EXPECT_EQ(client.Ask("filedialog"), (Lines{"ok"}));
  EXPECT_EQ(client.Ask("filedialog bad\\q"), (Lines{"error bad escape in the text"}));
  CFileDialog save(FALSE, ".tkp", nullptr, 0, "TKP Files (*.tkp)|*.tkp||");
  save.m_ofn.lpstrInitialDir = "/plans";
  EXPECT_EQ(save.DoModal(), IDOK);
  EXPECT_EQ(save.GetPathName(), "/plans/plan.tkp");
  CFileDialog open(TRUE, ".tkp");
  EXPECT_EQ(open.DoModal(), IDCANCEL) << "the second answer cancels";
  const Lines shown = client.Ask("filedialogs");
  EXPECT_EQ(shown, (Lines{"filedialog save .tkp\tTKP Files (*.tkp)|*.tkp||\t/plans\t/plans/plan.tkp",
                          "filedialog open .tkp\t\t\t", "ok"}));
  ClearShownFileDialogs();
}

TEST_F(AutomationTest, QuitEndsTheLoopAndLaterActsFailCleanly) {
  Client client(path_);
  EXPECT_EQ(client.Ask("quit"), (Lines{"ok"}));
  WaitForLoopEnd();
  EXPECT_TRUE(loopEnded_);
  EXPECT_EQ(client.Ask("click 7055 7201"), (Lines{"error the UI thread is not running"}));
  EXPECT_EQ(client.Ask("text 7055 7106"), (Lines{"-- --", "ok"}));  // reads need no UI thread
}

TEST_F(AutomationTest, ClientsAreServedOneAtATimeAndACallerMeanwhileIsTurnedAway) {
  {
    Client leaving(path_);
    leaving.SendRaw("dum");  // and gone in the middle of the line
  }
  auto first = std::make_unique<Client>(path_);
  EXPECT_EQ(first->Ask("text 7055 7121"), (Lines{"+", "ok"}));
  // While the first is served, a second caller is told so and closed, whatever he asked.
  for (const char* request : {"text 7055 7101", "quit"}) {
    Client turnedAway(path_);
    EXPECT_EQ(turnedAway.Ask(request), (Lines{std::string(kAutomationBusyLine)})) << request;
  }
  EXPECT_EQ(first->Ask("text 7055 7121"), (Lines{"+", "ok"}));
  // Once he has gone the socket takes the next client.
  first.reset();
  Client next(path_);
  EXPECT_EQ(next.Ask("text 7055 7101"), (Lines{"--", "ok"}));
}

TEST_F(AutomationTest, OnlyOneServerAndOnlyOnAFreeSocketPath) {
  EXPECT_FALSE(StartAutomation(path_));  // already serving
  StopAutomation();
  EXPECT_FALSE(AutomationRunning());
  struct stat info {};
  EXPECT_NE(::stat(path_.c_str(), &info), 0);  // the socket went with the server

  const std::string file = folder_.Path() + "/not-a-socket";
  std::ofstream(file) << "keep me";
  std::promise<std::vector<bool>> results;
  // The server is made on the UI thread's behalf.
  std::thread([&] {
    std::vector<bool> r;
    r.push_back(StartAutomation(file) != FALSE);
    r.push_back(StartAutomation(folder_.Path() + "/" + std::string(120, 's')) != FALSE);
    ::setenv("TK_AUTOMATION", "", 1);
    r.push_back(StartAutomationFromEnvironment() != FALSE && !AutomationRunning());
    ::unsetenv("TK_AUTOMATION");
    results.set_value(r);
  }).join();
  EXPECT_EQ(results.get_future().get(), (std::vector<bool>{false, false, true}));
  std::ifstream kept(file);
  std::string text;
  std::getline(kept, text);
  EXPECT_EQ(text, "keep me");
}

}  // namespace

namespace {

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A PNG's width and height from its header chunk; (0, 0) when it is not one.
std::pair<unsigned, unsigned> PngSize(const std::string& png) {
  if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || png.compare(12, 4, "IHDR") != 0) return {0, 0};
  auto word = [&](std::size_t at) {
    return (static_cast<unsigned>(static_cast<unsigned char>(png[at])) << 24) |
           (static_cast<unsigned>(static_cast<unsigned char>(png[at + 1])) << 16) |
           (static_cast<unsigned>(static_cast<unsigned char>(png[at + 2])) << 8) |
           static_cast<unsigned>(static_cast<unsigned char>(png[at + 3]));
  };
  return {word(16), word(20)};
}

}  // namespace

TEST_F(AutomationTest, SnapshotWritesAControlsPaintedSurfaceAndPaintedCountsIt) {
  Client client(path_);
  ASSERT_TRUE(client.Connected());
  const std::string first = folder_.Path() + "/first.png";
  const std::string again = folder_.Path() + "/again.png";
  const std::string changed = folder_.Path() + "/changed.png";
  ASSERT_EQ(client.Ask("snapshot 7055 7107 " + first), Lines{"ok"});
  const std::string firstPng = FileBytes(first);
  EXPECT_EQ(PngSize(firstPng), (std::pair<unsigned, unsigned>{50, 12}));
  // Once the windows' first paints are done, only what changes paints.
  ASSERT_TRUE(WaitUntil(10'000, [&] { return client.Ask("painted") == Lines{"ok"}; }));
  ASSERT_EQ(client.Ask("snapshot 7055 7107 " + again), Lines{"ok"});
  EXPECT_EQ(FileBytes(again), firstPng) << "nothing changed, nothing painted";
  EXPECT_EQ(client.Ask("painted"), Lines{"ok"});

  ASSERT_EQ(client.Ask("settext 7055 7107 DEMO02"), Lines{"ok"});
  ASSERT_EQ(client.Ask("snapshot 7055 7107 " + changed), Lines{"ok"});
  EXPECT_NE(FileBytes(changed), firstPng) << "the new text is painted";
  EXPECT_EQ(client.Ask("painted"), (Lines{"painted 7055 7107 600", "ok"}));
  EXPECT_EQ(client.Ask("painted"), Lines{"ok"});
  ASSERT_EQ(client.Ask("settext 7055 7107 DEMO02"), Lines{"ok"});
  ASSERT_EQ(client.Ask("snapshot 7055 7107 " + again), Lines{"ok"});
  EXPECT_EQ(client.Ask("painted"), Lines{"ok"}) << "the same text again is no change";
  EXPECT_EQ(client.Ask("repaints"), Lines{"ok"}) << "headless nothing is drawn on a screen";
  EXPECT_EQ(client.Ask("repaints 7055"), Lines{"error usage: repaints"});

  ASSERT_EQ(client.Ask("snapshot 7055 " + folder_.Path() + "/dialog.png"), Lines{"ok"});
  EXPECT_NE(PngSize(FileBytes(folder_.Path() + "/dialog.png")).first, 0u);
  EXPECT_EQ(client.Ask("snapshot 7055"), Lines{"error usage: snapshot <template> [<id>] <file.png>"});
  EXPECT_EQ(client.Ask("snapshot 7055 9999 x.png"), Lines{"error no control 9999 in window 7055"});
  EXPECT_EQ(client.Ask("snapshot 7055 7107 " + folder_.Path() + "/no/such/folder/x.png"),
            Lines{"error cannot write the snapshot " + folder_.Path() + "/no/such/folder/x.png"});
}
