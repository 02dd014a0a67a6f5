// The chat window: what each typed line sets off, what is echoed and in which
// colour, the recipient list, the keys, the phrases, the display of received
// texts by the radios, and the night switch.
#include "dialogs/chat_dialog.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/base_thread.h"
#include "base/klib_settings.h"
#include "core/app_paths.h"
#include "core/main_dialog_state.h"
#include "core/own_aircraft_state.h"
#include "core/own_callsign.h"
#include "core/settings.h"
#include "dialogs/chat_colours.h"
#include "dialogs/chat_layout.h"
#include "dialogs/chat_routing.h"
#include "net/text_records.h"
#include "support/child_process.h"
#include "support/klib_fixture.h"
#include "win/button_ctrl.h"
#include "win/dialog_template.h"
#include "win/focus.h"
#include "win/keys.h"
#include "win/listbox_ctrl.h"
#include "win/menu.h"
#include "win/richedit.h"
#include "win/sound.h"
#include "win/system_metrics.h"
#include "win/window_pos.h"

namespace {

// What the window asked of the links.
std::vector<std::string>& Calls() {
  static std::vector<std::string> calls;
  return calls;
}
bool g_nodeUp = true;

ChatActions RecordingActions() {
  ChatActions a;
  a.sendOnAir = [](double mhz, std::string_view text) {
    Calls().push_back("air " + std::to_string(mhz).substr(0, 6) + " " + std::string(text));
    return 1;
  };
  a.sendPrivate = [](std::string_view callsign, std::string_view text) {
    Calls().push_back("private " + std::string(callsign) + " " + std::string(text));
  };
  a.nodeLinkUp = [] { return g_nodeUp; };
  a.sendKickout = [](std::string_view callsign, std::string_view reason) {
    Calls().push_back("kickout " + std::string(callsign) + " " + std::string(reason));
    return true;
  };
  a.setSquawk = [](std::uint32_t code) {
    Calls().push_back("squawk " + std::to_string(code));
    return 1;
  };
  a.requestWeather = [](int kind, std::string_view station) {
    Calls().push_back("weather " + std::to_string(kind) + " " + std::string(station));
  };
  a.toggleDebug = [] { Calls().push_back("debug"); };
  a.windowShown = [](bool shown) { Calls().push_back(shown ? "shown" : "hidden"); };
  return a;
}

template <std::size_t N>
void CopyText(std::array<char, N>& field, const char* text) {
  field.fill('\0');
  std::string_view(text).substr(0, N - 1).copy(field.data(), N - 1);
}

WPARAM Notification(int control, WORD code) {
  return static_cast<WPARAM>(static_cast<std::uint32_t>(control) | (static_cast<std::uint32_t>(code) << 16));
}

void SetRadios(const char* com1, const char* com2, bool com1Selected, bool com2Selected, bool both = false) {
  OwnWorkingCopies working;
  CopyText(working.com1, com1);
  CopyText(working.com2, com2);
  working.com1Selected = com1Selected ? 1 : 0;
  working.com2Selected = com2Selected ? 1 : 0;
  working.bothSelected = both ? 1 : 0;
  g_ownAircraft().SetWorkingCopies(working);
}

class ChatDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetKlibForTest();
    ResetKeyStates();
    InstallDialogTemplates();
    savedSettingsFile_ = g_appPaths().settingsFile;
    g_appPaths().settingsFile = folder_.Path() + "/Tavelkor.ini";
    Calls().clear();
    g_nodeUp = true;
    SetChatActions(RecordingActions());
    SetOwnCallsign("OWN001");
    g_ownAircraft().Reset();
    SetRadios("122.80", "119.10", true, false);
    g_networkState = 1;
    g_nightFlag = 0;
    chat_ = std::make_unique<CCchatDlg>();
    ASSERT_TRUE(chat_->Create(kChatTemplate));
    g_pChatDlg = chat_.get();
    chat_->ShowWindow(SW_SHOW);
    chat_->SendMessage(WM_COMMAND, kChatEnableInputCommand, 1);
    chat_->Clear();
    Calls().clear();
  }
  void TearDown() override {
    g_pChatDlg = nullptr;
    chat_.reset();
    SetChatActions(DefaultChatActions());
    g_networkState = 0;
    ResetKeyStates();
    g_ownAircraft().Reset();
    g_appPaths().settingsFile = savedSettingsFile_;
  }

  void Type(const std::string& line) {
    chat_->GetDlgItem(kChatInputId)->SetWindowText(line.c_str());
    chat_->SendMessage(WM_COMMAND, 13, 0);  // ENTER as the host forwards it
  }
  CComboBox& Recipients() { return *dynamic_cast<CComboBox*>(chat_->GetDlgItem(kChatRecipientsId)); }
  // The printed runs, line breaks dropped.
  std::vector<TextRun> Printed() {
    std::vector<TextRun> runs;
    for (TextRun run : chat_->Output()->Runs()) {
      std::erase(run.text, '\r');
      std::erase(run.text, '\n');
      if (!run.text.empty()) runs.push_back(run);
    }
    return runs;
  }
  static COLORREF Colour(int field) { return Klib().Colour(field); }

  TempFolder folder_;
  std::string savedSettingsFile_;
  std::unique_ptr<CCchatDlg> chat_;
};

TEST_F(ChatDialogTest, LinesSetOffTheirCommandsAndEchoInTheirColours) {
  struct Case {
    const char* line;
    std::vector<std::string> calls;
    std::vector<TextRun> echo;
  };
  const Case cases[] = {
      {".msg KLM123 hello", {"private KLM123 hello"}, {{"OWN001 -> KLM123 : hello", Colour(25), CFE_BOLD}}},
      {".klm123:hi there", {"private klm123 hi there"}, {{"OWN001 -> KLM123 : hi there", Colour(25), CFE_BOLD}}},
      {".X 7000", {"squawk 7000"}, {}},
      {".X 7778", {}, {}},
      {".X 12a4", {}, {}},
      {"hello %s", {"air 122.80 hello %s"}, {{"122.80 Mhz : hello %s", Colour(25), 0}}},
      {"!ABC!spamming", {"kickout ABC spamming"}, {}},
      {"!ABC spamming", {"air 122.80 !ABC spamming"}, {{"122.80 Mhz : !ABC spamming", Colour(25), 0}}},
      {".wx lfpg", {"weather 1 LFPG"}, {}},
      {".,. ", {"debug"}, {}},
      {"%KLM123 secret", {}, {}},
      {".msg KLM123", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Calls().clear();
    chat_->Clear();
    Type(c.line);
    EXPECT_EQ(Calls(), c.calls);
    EXPECT_EQ(Printed(), c.echo);
    EXPECT_EQ(chat_->GetDlgItem(kChatInputId)->TextSnapshot(), "") << "the input line is emptied";
    EXPECT_EQ(chat_->LastChatLine(), c.line);
  }
}

TEST_F(ChatDialogTest, NothingIsTakenOffTheNetworkOrFromAnEmptyLine) {
  Type("");
  g_networkState = 0;
  Type("hello");
  Type(".X 7000");
  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(Printed().empty());
  EXPECT_EQ(chat_->GetDlgItem(kChatInputId)->TextSnapshot(), ".X 7000") << "the line stays";
}

TEST_F(ChatDialogTest, AKickOutWhileTheNodeIsDownIsDropped) {
  g_nodeUp = false;
  Type("!ABC!spamming");
  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(Printed().empty());
}

TEST_F(ChatDialogTest, PlainTextGoesOnAirOnlyFromASelectedTunedCom1) {
  struct Case {
    const char* com1;
    bool com1Selected;
    bool com2Selected;
    bool sent;
  };
  for (const Case& c : {Case{"122.80", true, false, true}, Case{"122.80", false, true, false},
                        Case{"0.00", true, false, false}, Case{"", true, false, false},
                        Case{"9e99", true, false, false}, Case{"123.45", true, false, true}}) {
    SCOPED_TRACE(c.com1);
    Calls().clear();
    chat_->Clear();
    SetRadios(c.com1, "119.10", c.com1Selected, c.com2Selected);
    Type("radio check");
    EXPECT_EQ(Calls().size(), c.sent ? 1u : 0u);
    EXPECT_EQ(Printed().size(), c.sent ? 1u : 0u) << "no echo without a send";
  }
}

TEST_F(ChatDialogTest, TheRecipientListGrowsByPrivateTextsAndShrinksByDotCommands) {
  ASSERT_EQ(Recipients().Items(), std::vector<std::string>{kOnAirEntry});
  Type(".KLM123 hello");
  chat_->AddRecipient("klm123");  // already there, without regard to case
  chat_->AddRecipient("SERVER");
  chat_->AddRecipient("server");
  chat_->AddRecipient("");
  chat_->AddRecipient("AFR9");
  EXPECT_EQ(Recipients().Items(), (std::vector<std::string>{"ON AIR", "KLM123", "AFR9"}));

  // Plain text goes to the selected recipient.
  Recipients().SetCurSel(2);
  chat_->SendMessage(WM_COMMAND, Notification(kChatRecipientsId, CBN_SELCHANGE), 0);
  Calls().clear();
  Type("direct");
  EXPECT_EQ(Calls(), std::vector<std::string>{"private AFR9 direct"});

  // A lone dot removes the selected one; with ON AIR selected it does nothing.
  Type(".");
  EXPECT_EQ(Recipients().Items(), (std::vector<std::string>{"ON AIR", "KLM123"}));
  EXPECT_EQ(chat_->SelectedRecipient(), 0);
  EXPECT_EQ(Recipients().GetCurSel(), 0);
  Type(".");
  EXPECT_EQ(Recipients().Items().size(), 2u);
  // A dot and a callsign removes that one and sends nothing.
  Calls().clear();
  Type(".klm123");
  EXPECT_EQ(Recipients().Items(), std::vector<std::string>{"ON AIR"});
  EXPECT_TRUE(Calls().empty());
  Type(".ON");
  EXPECT_EQ(Recipients().Items(), std::vector<std::string>{"ON AIR"}) << "entry 0 is no callsign";
}

TEST_F(ChatDialogTest, KeysRecallTheLastLineAndCycleTheRecipients) {
  chat_->AddRecipient("KLM123");
  chat_->AddRecipient("AFR9");
  Type("first words");
  // Away from the input line the keys recall nothing.
  SetFocus(chat_->Output()->m_hWnd);
  chat_->SendMessage(WM_COMMAND, 38, 0);
  EXPECT_EQ(chat_->GetDlgItem(kChatInputId)->TextSnapshot(), "");
  SetFocus(chat_->GetDlgItem(kChatInputId)->m_hWnd);
  chat_->SendMessage(WM_COMMAND, 38, 0);
  EXPECT_EQ(chat_->GetDlgItem(kChatInputId)->TextSnapshot(), "first words");
  chat_->GetDlgItem(kChatInputId)->SetWindowText("");
  chat_->SendMessage(WM_COMMAND, 40, 0);
  EXPECT_EQ(chat_->GetDlgItem(kChatInputId)->TextSnapshot(), "first words") << "both keys recall";

  SetKeyState(VK_CONTROL, true);
  chat_->SendMessage(WM_COMMAND, 38, 0);  // from entry 0 to the last
  EXPECT_EQ(Recipients().GetCurSel(), 2);
  EXPECT_EQ(chat_->SelectedRecipient(), 2);
  chat_->SendMessage(WM_COMMAND, 40, 0);  // from the last back to 0
  EXPECT_EQ(chat_->SelectedRecipient(), 0);
  chat_->SendMessage(WM_COMMAND, 40, 0);
  EXPECT_EQ(chat_->SelectedRecipient(), 1);
  SetKeyState(VK_CONTROL, false);
}

TEST_F(ChatDialogTest, PhrasesGoOnAirWhateverRecipientIsSelected) {
  chat_->AddRecipient("KLM123");
  Recipients().SetCurSel(1);
  chat_->SendMessage(WM_COMMAND, Notification(kChatRecipientsId, CBN_SELCHANGE), 0);
  for (const ChatPhrase& phrase : kChatPhrases) {
    Calls().clear();
    chat_->SendMessage(WM_COMMAND, phrase.command, 0);
    EXPECT_EQ(Calls(), std::vector<std::string>{std::string("air 122.80 ") + phrase.phrase}) << phrase.menuText;
    EXPECT_EQ(chat_->SelectedRecipient(), 0);
  }
}

TEST_F(ChatDialogTest, TheContextMenuCleansUpAndSendsThePhrases) {
  ClearTrackedMenus();
  SetTrackedMenuChoice(32827);
  chat_->SendMessage(WM_CONTEXTMENU, chat_->m_hWnd, static_cast<LPARAM>(120 | (80 << 16)));
  SetTrackedMenuChoice(std::nullopt);
  const std::vector<TrackedMenu> tracked = TrackedMenus();
  ASSERT_EQ(tracked.size(), 1u);
  EXPECT_EQ(tracked[0].x, 120);
  EXPECT_EQ(tracked[0].y, 80);
  std::vector<std::pair<UINT, std::string>> items;
  for (const MenuItemSnapshot& item : tracked[0].menu.items) {
    if ((item.flags & MF_SEPARATOR) == 0) items.emplace_back(item.id, item.text);
  }
  std::vector<std::pair<UINT, std::string>> expected = {{kTextCleanupCommand, "Text cleanup"}};
  for (const ChatPhrase& phrase : kChatPhrases) expected.emplace_back(phrase.command, phrase.menuText);
  EXPECT_EQ(items, expected);
  // The chosen phrase arrives as a posted command and goes on air.
  MSG msg{};
  while (PeekMessageA(&msg, chat_->m_hWnd, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  EXPECT_EQ(Calls(), std::vector<std::string>{"air 122.80 go around !"});
  ClearTrackedMenus();
}

TEST_F(ChatDialogTest, ReceivedTextsAreShownByTheRadios) {
  // The display never uses the way beyond taking it; this one never starts.
  CBaseThread thread(nullptr, "[TEST WAY]", 0);
  CBaseThread* way = &thread;
  auto onAir = [&](double mhz, const char* text) {
    TextOnAirRecord record;
    record.sender = "PEER7";
    record.text = text;
    record.frequencyMhz = mhz;
    ShowTextOnAir(*way, record);
  };
  SetRadios("122.80", "119.10", true, false);
  chat_->Clear();
  onAir(121.5, "mayday %s");
  EXPECT_EQ(Printed(), (std::vector<TextRun>{{"[ON GUARD] ", Colour(20), CFE_BOLD},
                                             {"PEER7 : mayday %s", Colour(20), 0}}));
  chat_->Clear();
  onAir(122.8, "on the field");
  EXPECT_EQ(Printed(), (std::vector<TextRun>{{"PEER7 ", Colour(24), CFE_BOLD},
                                             {"on 122.80 Mhz : on the field", Colour(17), 0}}));
  chat_->Clear();
  onAir(119.1, "on COM2, not selected");
  onAir(std::numeric_limits<double>::quiet_NaN(), "broken");
  EXPECT_TRUE(Printed().empty());
  SetRadios("122.80", "119.10", false, true);
  onAir(119.1, "now selected");
  EXPECT_EQ(Printed().size(), 2u);

  for (const std::uint8_t marker : {std::uint8_t{1}, std::uint8_t{0}}) {
    chat_->Clear();
    PrivateTextRecord record;
    record.sender = "FAR9";
    record.recipient = "OWN001";
    record.text = "psst %n";
    record.marker = marker;
    ShowTextPrivate(*way, record);
    const std::string tag = marker == 1 ? "[PRIVATE] " : "[private] ";
    EXPECT_EQ(Printed(), (std::vector<TextRun>{{tag + "FAR9 : psst %n", Colour(24), CFE_BOLD}}));
  }
  EXPECT_EQ(Recipients().Items(), (std::vector<std::string>{"ON AIR", "FAR9"}));
}

TEST_F(ChatDialogTest, APrivateTextRingsTheBellWhenTheSetupAsks) {
  CBaseThread thread(nullptr, "[TEST WAY]", 0);
  const std::string savedFolder = g_appPaths().programFolder;
  g_appPaths().programFolder = folder_.Path();
  PrivateTextRecord record;
  record.sender = "FAR9";
  record.text = "ding";
  for (const bool ring : {true, false}) {
    SCOPED_TRACE(ring);
    ClearPlayedSounds();
    g_setupSettings.enableSoundOnPrivateMsg = ring ? 1 : 0;
    ShowTextPrivate(thread, record);
    const std::vector<PlayedSound> played = PlayedSounds();
    ASSERT_EQ(played.size(), ring ? 1u : 0u);
    if (ring) {
      EXPECT_EQ(played[0].name, folder_.Path() + "/DING.WAV");
      EXPECT_EQ(played[0].flags, static_cast<DWORD>(SND_ASYNC | SND_FILENAME | SND_NODEFAULT));
    }
  }
  g_setupSettings.enableSoundOnPrivateMsg = setting_default::kEnableSoundOnPrivateMsg;
  g_appPaths().programFolder = savedFolder;
  ClearPlayedSounds();
}

TEST_F(ChatDialogTest, TheNightSwitchSetsTheTraceColoursAndClears) {
  chat_->PrintText("something");
  const int before = g_nightFlag.load();
  chat_->SendMessage(WM_COMMAND, kChatNightDayCommand, 0);
  EXPECT_NE(g_nightFlag.load(), before);
  EXPECT_TRUE(Printed().empty());
  EXPECT_EQ(chat_->Output()->BackgroundColour(), kChatOutputBackground);
  const std::pair<int, COLORREF> fields[] = {{17, 0x8CA48C}, {19, 0x14A7F5}, {20, 0x3232FF}, {21, 0xC74BE0},
                                             {24, 0xFA9D52}, {25, 0x04F05C}, {26, 0x04D9E3}};
  for (const auto& [field, colour] : fields) EXPECT_EQ(Klib().Colour(field), colour) << field;
  chat_->SendMessage(WM_COMMAND, kChatNightDayCommand, 0);
  EXPECT_EQ(g_nightFlag.load(), before);
  EXPECT_EQ(Klib().Colour(25), 0x04F05Cu) << "the same whichever way";

  struct Case {
    int control;
    bool night;
    ChatControlColours colours;
  };
  const COLORREF text = Klib().Colour(17);
  for (const Case& c : {Case{kChatInputId, false, {true, text, 0xEBEEEF}}, Case{kChatInputId, true, {true, text, 0x34261E}},
                        Case{kChatRecipientsId, false, {true, text, 0xEBEEEF}},
                        Case{kChatAutoCloseId, false, {true, text, 0x34261E}},
                        Case{kChatSiteId, false, {true, text, 0x34261E}}, Case{kChatClearId, true, {}}}) {
    const ChatControlColours got = ChatColoursFor(c.control, c.night, Klib());
    EXPECT_EQ(got.own, c.colours.own) << c.control;
    EXPECT_EQ(got.text, c.colours.text) << c.control;
    EXPECT_EQ(got.background, c.colours.background) << c.control;
  }
}

TEST_F(ChatDialogTest, ShowAndHideAreToldAndAutoCloseArmsItsCountdown) {
  chat_->ShowWindow(SW_HIDE);
  chat_->ShowWindow(SW_SHOW);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"hidden", "shown"}));
  auto* box = dynamic_cast<CButton*>(chat_->GetDlgItem(kChatAutoCloseId));
  ASSERT_NE(box, nullptr);
  box->SetCheck(BST_CHECKED);
  chat_->SendMessage(WM_COMMAND, Notification(kChatAutoCloseId, BN_CLICKED), 0);
  EXPECT_EQ(chat_->AutoShowFlag().load(), 1u);
  EXPECT_EQ(chat_->AutoHideCountdown().load(), 2);
  box->SetCheck(BST_UNCHECKED);
  chat_->SendMessage(WM_COMMAND, Notification(kChatAutoCloseId, BN_CLICKED), 0);
  EXPECT_EQ(chat_->AutoShowFlag().load(), 0u);
}

TEST_F(ChatDialogTest, TabMovesTheFocusAndKeysTypedInTheInputReachTheWindow) {
  // Showing the window gives the output the focus.
  chat_->ShowWindow(SW_HIDE);
  SetFocus(0);
  chat_->ShowWindow(SW_SHOW);
  EXPECT_EQ(GetFocus(), chat_->Output()->m_hWnd);
  const HWND input = chat_->GetDlgItem(kChatInputId)->m_hWnd;
  SetFocus(input);
  chat_->SendMessage(WM_COMMAND, 9, 0);
  EXPECT_EQ(GetFocus(), chat_->GetDlgItem(kChatRecipientsId)->m_hWnd);
  SetKeyState(VK_SHIFT, true);
  chat_->SendMessage(WM_COMMAND, 9, 0);
  SetKeyState(VK_SHIFT, false);
  EXPECT_EQ(GetFocus(), input);

  // ENTER typed in the input line takes the line, as the loop hands the key over.
  Calls().clear();
  chat_->GetDlgItem(kChatInputId)->SetWindowText("typed");
  MSG enter{input, WM_KEYDOWN, VK_RETURN, 0};
  EXPECT_TRUE(chat_->PreTranslateMessage(&enter));
  EXPECT_EQ(Calls(), std::vector<std::string>{"air 122.80 typed"});
  MSG elsewhere{chat_->Output()->m_hWnd, WM_KEYDOWN, VK_RETURN, 0};
  EXPECT_FALSE(chat_->PreTranslateMessage(&elsewhere));
  MSG letter{input, WM_KEYDOWN, 'A', 0};
  EXPECT_FALSE(chat_->PreTranslateMessage(&letter));
  SetFocus(0);
}

TEST_F(ChatDialogTest, ASizedWindowLaysItsControlsOutAndKeepsItsPosition) {
  RECT window{};
  GetWindowRect(chat_->m_hWnd, &window);
  auto rectOf = [&](int id) {
    RECT r{};
    GetWindowRect(chat_->GetDlgItem(id)->m_hWnd, &r);
    RECT w{};
    GetWindowRect(chat_->m_hWnd, &w);
    return RECT{r.left - w.left, r.top - w.top, r.right - w.left, r.bottom - w.top};
  };
  const RECT output = rectOf(kChatOutputId);
  const RECT input = rectOf(kChatInputId);
  const RECT list = rectOf(kChatRecipientsId);
  const RECT site = rectOf(kChatSiteId);
  MoveWindow(chat_->m_hWnd, 30, 40, (window.right - window.left) + 100, (window.bottom - window.top) + 50, TRUE);
  EXPECT_EQ(rectOf(kChatOutputId), (RECT{output.left, output.top, output.right + 100, output.bottom + 50}));
  EXPECT_EQ(rectOf(kChatInputId), (RECT{input.left, input.top + 50, input.right + 100, input.bottom + 50}));
  EXPECT_EQ(rectOf(kChatRecipientsId), (RECT{list.left + 100, list.top + 50, list.right + 100, list.bottom + 50}));
  EXPECT_EQ(rectOf(kChatSiteId), (RECT{site.left, site.top + 50, site.right, site.bottom + 50}));
  const std::optional<WindowPosition> saved = ReadWindowPosition("Chat");
  ASSERT_TRUE(saved.has_value());
  EXPECT_EQ(*saved, (WindowPosition{30, 40, 30 + (window.right - window.left) + 100,
                                    40 + (window.bottom - window.top) + 50}));
  MoveWindow(chat_->m_hWnd, 60, 70, (window.right - window.left) + 100, (window.bottom - window.top) + 50, TRUE);
  EXPECT_EQ(ReadWindowPosition("Chat")->left, 60) << "a move is kept too";
  // Hidden, the window keeps what was saved.
  chat_->ShowWindow(SW_HIDE);
  MoveWindow(chat_->m_hWnd, 5, 5, 300, 200, TRUE);
  EXPECT_EQ(ReadWindowPosition("Chat")->left, 60);
}

TEST_F(ChatDialogTest, ASavedPositionIsAppliedOnlyWhenItLiesOnTheScreen) {
  struct Case {
    WindowPosition saved;
    bool applied;
  };
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  const Case cases[] = {
      {{100, 120, 600, 420}, true},
      {{width, 120, width + 400, 420}, false},
      {{100, height, 600, height + 300}, false},
      {{-500, -300, 0, 200}, false},
      {{-500, -300, 200, 0}, false},
      {{10000, 120, 600, 420}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.saved.left);
    ASSERT_TRUE(WriteWindowPosition("Chat", c.saved));
    CCchatDlg other;
    ASSERT_TRUE(other.Create(kChatTemplate));
    RECT r{};
    GetWindowRect(other.m_hWnd, &r);
    EXPECT_EQ(r == (RECT{c.saved.left, c.saved.top, c.saved.right, c.saved.bottom}), c.applied);
  }
}

TEST_F(ChatDialogTest, AFrameDragKeepsTheSizeFromTheLeftAndTopAndTheSmallestWindowElsewhere) {
  struct Case {
    WPARAM edge;
    RECT proposed;
    RECT result;
  };
  const SIZE remembered{400, 222};
  const Case cases[] = {
      {WMSZ_LEFT, {90, 100, 510, 322}, {90, 100, 490, 322}},
      {WMSZ_TOP, {100, 80, 500, 322}, {100, 80, 500, 302}},
      {WMSZ_TOPLEFT, {50, 60, 500, 322}, {50, 60, 450, 282}},
      {WMSZ_TOPRIGHT, {100, 60, 560, 322}, {160, 60, 560, 282}},
      {WMSZ_BOTTOMLEFT, {50, 100, 500, 400}, {50, 178, 450, 400}},
      {WMSZ_RIGHT, {100, 100, 200, 322}, {100, 100, 350, 322}},
      {WMSZ_BOTTOM, {100, 100, 500, 150}, {100, 100, 500, 214}},
      {WMSZ_BOTTOMRIGHT, {100, 100, 700, 500}, {100, 100, 700, 500}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.edge);
    EXPECT_EQ(ChatSizingRect(c.edge, c.proposed, remembered), c.result);
    RECT through = c.proposed;
    chat_->SendMessage(WM_SIZING, c.edge, reinterpret_cast<LPARAM>(&through));
    EXPECT_EQ(through.right - through.left, c.result.right - c.result.left) << "the window's own drag";
  }
}

}  // namespace
