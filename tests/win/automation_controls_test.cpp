#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/win/automation_client.h"
#include "win/app.h"
#include "win/automation.h"
#include "win/paint.h"
#include "win/trackbar_ctrl.h"
#include "win/controls.h"
#include "win/dialog_template.h"
#include "win/keys.h"
#include "win/menu.h"
#include "win/os_thread.h"

namespace {

using tk_test::Client;
using Lines = std::vector<std::string>;

constexpr UINT kPanel = 9201;
constexpr UINT kHScroll = 0x0114;
constexpr UINT kVScroll = 0x0115;
constexpr UINT kPlain = 9202;

constexpr const char* kPanelTemplate =
    "dialog 9201 \"Panel\" 0 0 300 200 0\n"
    "listbox 100 \"\" 0 0 50 50 LBS_NOTIFY\n"
    "listview 101 \"\" 0 0 50 50 LVS_REPORT|LVS_SINGLESEL\n"
    "combo 102 \"\" 0 0 50 50 CBS_SIMPLE|CBS_UPPERCASE\n"
    "combo 103 \"\" 0 0 50 50 CBS_DROPDOWNLIST\n"
    "ipaddress 104 \"\" 0 0 50 20 0\n"
    "static 105 \"-- --\" 0 0 50 20 SS_NOTIFY\n"
    "static 106 \"label\" 0 0 50 20 0\n"
    "button 107 \"Go\" 0 0 50 20 0\n"
    "trackbar 108 \"\" 0 0 100 20 0\n"
    "trackbar 109 \"\" 0 0 20 100 2\n";
constexpr const char* kPlainTemplate = "dialog 9202 \"Plain\" 0 0 100 100 0\n";

// What the panel heard: the command or notice, and the keys down at the time.
struct Heard {
  WORD id;
  UINT code;
  bool ctrl;
  bool shift;
  bool operator==(const Heard&) const = default;
};


// A dialog whose right-click menu is built when it opens, as the main panel's is.
class PanelDialog : public CDialog {
 public:
  explicit PanelDialog(UINT templateId) : CDialog(templateId) {}
  ~PanelDialog() override { DestroyWindow(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_CONTEXTMENU && menus_) {
      CMenu menu;
      menu.CreatePopupMenu();
      CMenu sub;
      sub.CreatePopupMenu();
      sub.AppendMenu(MF_STRING, 20, "Inner\tone");
      menu.AppendMenu(MF_STRING, 10, "&First");
      menu.AppendMenu(MF_SEPARATOR);
      menu.AppendMenu(MF_POPUP | (subGrayed_ ? MF_GRAYED : 0), sub.Detach(), "&Sub");
      menu.AppendMenu(MF_STRING | MF_CHECKED, 30, "Checked");
      menu.AppendMenu(MF_STRING | MF_GRAYED, 40, "Grayed");
      menu.TrackPopupMenu(TPM_RIGHTBUTTON | TPM_RECURSE, 0, 0, this);
      return 0;
    }
    if (message == kHScroll || message == kVScroll) {
      std::lock_guard lock(mutex_);
      scrolls_.push_back(Scroll{message, LOWORD(wParam), HIWORD(wParam), static_cast<HWND>(lParam)});
      return 0;
    }
    if (message == WM_COMMAND || message == WM_NOTIFY) {
      const bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
      const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
      std::lock_guard lock(mutex_);
      if (message == WM_COMMAND) {
        heard_.push_back(Heard{LOWORD(wParam), HIWORD(wParam), ctrl, shift});
      } else {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        // The trackbars' painting stages are no notice of a user's.
        if (header->code == NM_CUSTOMDRAW) return CDRF_DODEFAULT;
        heard_.push_back(Heard{static_cast<WORD>(header->idFrom), header->code, ctrl, shift});
      }
      return 0;
    }
    return CDialog::WindowProc(message, wParam, lParam);
  }
  std::vector<Heard> Heard_() {
    std::lock_guard lock(mutex_);
    return heard_;
  }
  struct Scroll {
    UINT message;
    WORD code;
    WORD position;
    HWND from;
    bool operator==(const Scroll&) const = default;
  };
  std::vector<Scroll> Scrolls() {
    std::lock_guard lock(mutex_);
    return scrolls_;
  }
  void SetMenus(bool on) { menus_ = on; }
  void SetSubGrayed(bool grayed) { subGrayed_ = grayed; }

 private:
  std::mutex mutex_;
  std::vector<Heard> heard_;
  std::vector<Scroll> scrolls_;
  std::atomic<bool> menus_{true};
  std::atomic<bool> subGrayed_{false};
};

class AutomationControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallDialogTemplates();
    RegisterDialogTemplateText(kPanel, kPanelTemplate);
    RegisterDialogTemplateText(kPlain, kPlainTemplate);
    ResetKeyStates();
    ClearTrackedMenus();
    plain.SetMenus(false);
    path_ = folder_.Path() + "/automation.sock";
    app_.m_pMainWnd = &panel;
    std::promise<bool> started;
    ui_ = std::thread([this, &started] {
      const bool made = panel.Create(kPanel, nullptr) != FALSE && plain.Create(kPlain, nullptr) != FALSE;
      panel.ShowWindow(SW_SHOW);
      app_.m_nThreadID = GetCurrentThreadId();
      started.set_value(made && StartAutomation(path_) != FALSE);
      app_.Run();
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
    plain.DestroyWindow();
    RegisterDialogTemplateText(kPanel, "");
    RegisterDialogTemplateText(kPlain, "");
    SetDialogTemplateLoader(nullptr);
    ResetKeyStates();
  }

  template <typename Control>
  Control* Item(int id) {
    return dynamic_cast<Control*>(panel.GetDlgItem(id));
  }

  TempFolder folder_;
  std::string path_;
  CWinApp app_;
  PanelDialog panel{kPanel};
  PanelDialog plain{kPlain};
  std::thread ui_;
};

TEST_F(AutomationControlsTest, ClicksHoldTheirKeysForThatClickOnly) {
  Client client(path_);
  for (const char* request : {"click 9201 107 ctrl", "click 9201 107 shift", "click 9201 105 ctrl+shift",
                              "click 9201 105"}) {
    EXPECT_EQ(client.Ask(request), (Lines{"ok"})) << request;
  }
  // A key the user holds stays held after a click that holds it too.
  SetKeyState(VK_LSHIFT, true);
  EXPECT_EQ(client.Ask("click 9201 107 shift"), (Lines{"ok"}));
  EXPECT_NE(GetKeyState(VK_SHIFT) & 0x8000, 0);
  EXPECT_EQ(GetKeyState(VK_CONTROL) & 0x8000, 0);
  EXPECT_EQ(panel.Heard_(), (std::vector<Heard>{{107, BN_CLICKED, true, false},
                                                {107, BN_CLICKED, false, true},
                                                {105, STN_CLICKED, true, true},
                                                {105, STN_CLICKED, false, false},
                                                {107, BN_CLICKED, false, true}}));
  const std::string usage = "error usage: click <template> <id> [ctrl|shift|ctrl+shift]";
  EXPECT_EQ(client.Ask("click 9201 107 alt"), (Lines{usage}));
  EXPECT_EQ(client.Ask("click 9201 107 ctrl shift"), (Lines{usage}));
  EXPECT_EQ(client.Ask("click 9201 106 ctrl"), (Lines{"error not clickable"}));
}

TEST_F(AutomationControlsTest, DumpShowsListViewRowsWithTheirColumnsAndEveryListsItems) {
  auto* view = Item<CListCtrl>(101);
  ASSERT_NE(view, nullptr);
  view->InsertColumn(0, "Callsign");
  view->InsertColumn(1, "Dist.");
  view->InsertItem(0, "DEMO02");
  view->SetItemText(0, 1, "2.7");
  view->InsertItem(1, "DEMO03");
  Item<CComboBox>(103)->AddString("English");
  Item<CIPAddressCtrl>(104)->SetAddress(192, 168, 0, 2);
  Client client(path_);
  const Lines dump = client.Ask("dump");
  const auto control = std::find(dump.begin(), dump.end(), "control 9201 101 kind=listview visible=1 enabled=1 text=");
  ASSERT_NE(control, dump.end());
  ASSERT_GE(std::distance(control, dump.end()), 3);
  EXPECT_EQ(Lines(control + 1, control + 3), (Lines{"item 0 DEMO02\\t2.7", "item 1 DEMO03\\t"}));
  EXPECT_NE(std::find(dump.begin(), dump.end(), "item 0 English"), dump.end());
  EXPECT_NE(std::find(dump.begin(), dump.end(), "control 9201 104 kind=ipaddress visible=1 enabled=1 text=192.168.0.2"),
            dump.end());
}

TEST_F(AutomationControlsTest, SelectAndDblclickPickItemsOfEveryListWithTheirNotices) {
  auto* view = Item<CListCtrl>(101);
  view->InsertColumn(0, "Callsign");
  view->InsertItem(0, "DEMO02");
  view->InsertItem(1, "DEMO03");
  Item<CListBox>(100)->AddString("a");
  Item<CListBox>(100)->AddString("b");
  Item<CComboBox>(102)->AddString("B737");
  Item<CComboBox>(103)->AddString("English");
  Client client(path_);
  EXPECT_EQ(client.Ask("dblclick 9201 100 1"), (Lines{"ok"}));
  EXPECT_EQ(client.Ask("select 9201 101 1"), (Lines{"ok"}));
  EXPECT_EQ(client.Ask("dblclick 9201 101 0"), (Lines{"ok"}));
  EXPECT_EQ(client.Ask("dblclick 9201 102 0"), (Lines{"ok"}));
  EXPECT_EQ(client.Ask("select 9201 103 0"), (Lines{"ok"}));
  EXPECT_EQ(Item<CListBox>(100)->GetCurSel(), 1);
  EXPECT_EQ(view->GetNextItem(-1, LVNI_SELECTED), 0);
  EXPECT_EQ(panel.Heard_(), (std::vector<Heard>{{100, LBN_SELCHANGE, false, false},
                                                {100, LBN_DBLCLK, false, false},
                                                {101, LVN_ITEMCHANGED, false, false},
                                                {101, NM_CLICK, false, false},
                                                {101, LVN_ITEMCHANGED, false, false},
                                                {101, LVN_ITEMCHANGED, false, false},
                                                {101, NM_CLICK, false, false},
                                                {101, NM_DBLCLK, false, false},
                                                {102, CBN_SELCHANGE, false, false},
                                                {102, CBN_DBLCLK, false, false},
                                                {103, CBN_SELCHANGE, false, false}}));
  // Errors as select's.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"dblclick 9201 101 2", "error cannot select that"},
      {"dblclick 9201 103 0", "error cannot select that"},  // a drop-down list shows no items to double-click
      {"dblclick 9201 107 0", "error cannot select that"},
      {"dblclick 9201 101 -1", "error bad index"},
      {"dblclick 9201 101", "error usage: dblclick <template> <id> <index>"},
      {"dblclick 9201 999 0", "error no control 999 in window 9201"},
  };
  for (const auto& [request, answer] : cases) EXPECT_EQ(client.Ask(request), (Lines{answer})) << request;
  EnableWindow(view->m_hWnd, FALSE);
  EXPECT_EQ(client.Ask("dblclick 9201 101 0"), (Lines{"error disabled"}));
}

TEST_F(AutomationControlsTest, SettextTypesIntoComboEditsAndAddressFields) {
  Client client(path_);
  EXPECT_EQ(client.Ask("settext 9201 102 b738"), (Lines{"ok"}));
  EXPECT_EQ(client.Ask("text 9201 102"), (Lines{"B738", "ok"}));
  EXPECT_EQ(client.Ask("settext 9201 104 10.0..1"), (Lines{"ok"}));
  EXPECT_EQ(client.Ask("text 9201 104"), (Lines{"10.0..1", "ok"}));
  EXPECT_EQ(client.Ask("settext 9201 104 10.0.1"), (Lines{"error the control refuses that text"}));
  EXPECT_EQ(client.Ask("settext 9201 103 English"), (Lines{"error read-only"}));
  // The field takes the focus, as a user's click into it gives it, before the typing.
  const std::vector<Heard> heard = panel.Heard_();
  const std::vector<Heard> first(heard.begin(), heard.begin() + std::min<std::size_t>(heard.size(), 4));
  EXPECT_EQ(first, (std::vector<Heard>{{102, CBN_SETFOCUS, false, false},
                                       {102, CBN_EDITCHANGE, false, false},
                                       {102, CBN_KILLFOCUS, false, false},
                                       {104, IPN_FIELDCHANGED, false, false}}));
  EXPECT_NE(std::find(heard.begin(), heard.end(), Heard{104, kIpAddressChanged, false, false}), heard.end());
}

TEST_F(AutomationControlsTest, MenuListsTheContextMenuDepthFirstAndClosesItUnchosen) {
  Client client(path_);
  EXPECT_EQ(client.Ask("menu 9201"), (Lines{"menuitem 0 10 enabled=1 checked=0 text=&First",
                                            "menuitem 0 0 enabled=1 checked=0 text=",
                                            "menuitem 0 -1 enabled=1 checked=0 text=&Sub",
                                            "menuitem 1 20 enabled=1 checked=0 text=Inner\\tone",
                                            "menuitem 0 30 enabled=1 checked=1 text=Checked",
                                            "menuitem 0 40 enabled=0 checked=0 text=Grayed", "ok"}));
  EXPECT_TRUE(panel.Heard_().empty());
  // Built afresh at each opening.
  panel.SetSubGrayed(true);
  const Lines again = client.Ask("menu 9201");
  ASSERT_EQ(again.size(), 7u);
  EXPECT_EQ(again[2], "menuitem 0 -1 enabled=0 checked=0 text=&Sub");
  EXPECT_EQ(client.Ask("menu 9202"), (Lines{"error no menu"}));
  EXPECT_EQ(client.Ask("menu 9299"), (Lines{"error no window 9299"}));
  EXPECT_EQ(client.Ask("menu"), (Lines{"error usage: menu <template> [<command-id>]"}));
}

TEST_F(AutomationControlsTest, MenuChoosesAnItemAsAUserWouldAndRefusesWhatCannotBeChosen) {
  Client client(path_);
  EXPECT_EQ(client.Ask("menu 9201 20"), (Lines{"ok"}));
  // Handled before the answer.
  EXPECT_EQ(panel.Heard_(), (std::vector<Heard>{{20, 0, false, false}}));
  panel.SetSubGrayed(true);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"menu 9201 20", "error disabled"},  // in a grayed popup
      {"menu 9201 40", "error disabled"},
      {"menu 9201 55", "error no menu item 55"},
      {"menu 9201 x", "error bad template or command id"},
      {"menu 9202 10", "error no menu"},
  };
  for (const auto& [request, answer] : cases) EXPECT_EQ(client.Ask(request), (Lines{answer})) << request;
  EXPECT_EQ(client.Ask("menu 9201 30"), (Lines{"ok"}));
  EXPECT_EQ(panel.Heard_(), (std::vector<Heard>{{20, 0, false, false}, {30, 0, false, false}}));
  // A menu that opens no popup leaves no capture behind for the next one.
  panel.SetMenus(false);
  EXPECT_EQ(client.Ask("menu 9201 10"), (Lines{"error no menu"}));
  SetTrackedMenuChoice(std::nullopt);
  EXPECT_EQ(panel.Heard_().size(), 2u);
}

TEST_F(AutomationControlsTest, SetposDragsATrackbarsThumbWithTheNoticesOfADrag) {
  HWND horizontal = GetDlgItem(panel.m_hWnd, 108);
  HWND vertical = GetDlgItem(panel.m_hWnd, 109);
  for (HWND slider : {horizontal, vertical}) {
    SendMessageA(slider, TBM_SETRANGEMIN, FALSE, 0);
    SendMessageA(slider, TBM_SETRANGEMAX, TRUE, 500);
  }
  Client client(path_);
  EXPECT_EQ(client.Ask("setpos 9201 108 120"), (Lines{"ok"}));
  EXPECT_EQ(SendMessageA(horizontal, TBM_GETPOS, 0, 0), 120);
  EXPECT_EQ(client.Ask("setpos 9201 109 500"), (Lines{"ok"}));
  using Scroll = PanelDialog::Scroll;
  EXPECT_EQ(panel.Scrolls(), (std::vector<Scroll>{{kHScroll, 5, 120, horizontal},
                                                  {kHScroll, 4, 120, horizontal},
                                                  {kHScroll, 8, 0, horizontal},
                                                  {kVScroll, 5, 500, vertical},
                                                  {kVScroll, 4, 500, vertical},
                                                  {kVScroll, 8, 0, vertical}}));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"setpos 9201 108 501", "error bad position"},
      {"setpos 9201 108 -1", "error bad position"},
      {"setpos 9201 108 x", "error bad position"},
      {"setpos 9201 107 10", "error not a slider"},
      {"setpos 9201 108", "error usage: setpos <template> <id> <position>"},
      {"setpos 9201 999 1", "error no control 999 in window 9201"},
  };
  for (const auto& [request, answer] : cases) EXPECT_EQ(client.Ask(request), (Lines{answer})) << request;
  EXPECT_EQ(SendMessageA(horizontal, TBM_GETPOS, 0, 0), 120);
  EXPECT_EQ(panel.Scrolls().size(), 6u);
  EnableWindow(horizontal, FALSE);
  EXPECT_EQ(client.Ask("setpos 9201 108 1"), (Lines{"error disabled"}));
}

}  // namespace
