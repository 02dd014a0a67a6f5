// The dashboard: Charlie's two modes and their lines, an ident's blinking
// driven tick by tick, the shown notice, the traffic rates and the colours
// of its fields.
#include "dialogs/dashboard_dialog.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/klib_settings.h"
#include "core/main_dialog_state.h"
#include "core/own_aircraft_state.h"
#include "dialogs/chat_dialog.h"
#include "support/klib_fixture.h"
#include "win/device_context.h"
#include "win/dialog_items.h"
#include "win/dialog_template.h"
#include "win/focus.h"
#include "win/keys.h"
#include "win/messages.h"
#include "win/richedit.h"
#include "win/window.h"

namespace {

// A parent that keeps the commands posted to it.
class ParentDialog : public CDialog {
 public:
  ~ParentDialog() override { DestroyWindow(); }
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
    commands.push_back({static_cast<UINT>(wParam), lParam});
    return TRUE;
  }
  std::vector<std::pair<UINT, LPARAM>> commands;
};

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

COLORREF TextColour(const CButtonST& button, BYTE index) {
  COLORREF colour = 0;
  button.GetColor(index, &colour);
  return colour;
}

// The three text colours are lit, or all six are the system's.
bool Lit(const CButtonST& button) {
  for (BYTE index : {CButtonST::BTNST_COLOR_FG_IN, CButtonST::BTNST_COLOR_FG_OUT, CButtonST::BTNST_COLOR_FG_FOCUS})
    if (TextColour(button, index) != kDashLitColour) return false;
  return true;
}
bool SystemColours(const CButtonST& button) {
  for (BYTE index = 0; index < 6; ++index) {
    const bool text = index % 2 == 1;
    if (TextColour(button, index) != GetSysColor(text ? COLOR_BTNTEXT : COLOR_BTNFACE)) return false;
  }
  return true;
}

class DashboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetKlibForTest();
    ResetKeyStates();
    InstallDialogTemplates();
    g_ownAircraft().Reset();
    g_ownAircraft().Update([](OwnAircraftSnapshot& own) { own.radios.transponderMode = 'Y'; });
    g_dashIdentFlag = 1;
    g_dashBlinkCountdown = 5;
    chat_ = std::make_unique<CCchatDlg>();
    ASSERT_TRUE(chat_->Create(kChatTemplate));
    g_pChatDlg = chat_.get();
    ASSERT_TRUE(parent_.Create(7002, nullptr));
    dash_ = std::make_unique<CDashboardDlg>();
    ASSERT_TRUE(dash_->Create(kDashboardTemplate, &parent_));
    g_pDashboardDlg = dash_.get();
    chat_->Clear();
    Pump();
    parent_.commands.clear();
  }
  void TearDown() override {
    dash_.reset();
    g_pChatDlg = nullptr;
    chat_.reset();
    Pump();
    g_dashIdentFlag = 0;
    g_dashBlinkCountdown = 0;
    g_ownAircraft().Reset();
    ResetKeyStates();
  }

  void Press(int id) { dash_->SendMessage(WM_COMMAND, static_cast<WPARAM>(id), 0); }
  std::vector<TextRun> Printed() {
    std::vector<TextRun> runs;
    for (TextRun run : chat_->Output()->Runs()) {
      std::erase(run.text, '\r');
      std::erase(run.text, '\n');
      if (!run.text.empty()) runs.push_back(run);
    }
    return runs;
  }
  static char ModeLetter() { return g_ownAircraft().Snapshot().radios.transponderMode; }
  std::string Text(int id) {
    char text[64] = {};
    GetDlgItemTextA(dash_->m_hWnd, id, text, sizeof text);
    return text;
  }

  std::unique_ptr<CCchatDlg> chat_;
  ParentDialog parent_;
  std::unique_ptr<CDashboardDlg> dash_;
};

TEST_F(DashboardTest, StartsInStandbyWithTheVersionAndNoIdent) {
  EXPECT_EQ(dash_->Mode(), 0);
  EXPECT_EQ(ModeLetter(), 'S');
  EXPECT_EQ(g_dashIdentFlag.load(), 0u);
  EXPECT_EQ(g_dashBlinkCountdown.load(), 0);
  EXPECT_EQ(Text(kDashVersionId), "v11.0.4.B");
  EXPECT_TRUE(SystemColours(dash_->CharlieButton()));
  EXPECT_TRUE(SystemColours(dash_->IdentButton()));
  EXPECT_GT(dash_->IdentButton().ShadeImage(0).GetWidth(), 0u) << "given their shaded look";
  EXPECT_GT(dash_->CharlieButton().ShadeImage(0).GetWidth(), 0u);
}

TEST_F(DashboardTest, CharlieSwitchesBetweenModeCAndStandbyByTurns) {
  struct Step {
    int mode;
    char letter;
    bool lit;
    const char* line;
  };
  const Step steps[] = {{1, 'N', true, kCharlieOnText},
                        {0, 'S', false, kCharlieOffText},
                        {1, 'N', true, kCharlieOnText}};
  std::string printed;
  for (const Step& step : steps) {
    Press(kDashCharlieId);
    EXPECT_EQ(dash_->Mode(), step.mode);
    EXPECT_EQ(ModeLetter(), step.letter);
    EXPECT_EQ(Lit(dash_->CharlieButton()), step.lit);
    if (!step.lit) {
      EXPECT_TRUE(SystemColours(dash_->CharlieButton()));
    }
    printed += step.line;
    std::string all;
    for (const TextRun& run : Printed()) {
      all += run.text;
      EXPECT_EQ(run.colour, Klib().Colour(kColourNormal));
      EXPECT_EQ(run.effects, 0u);
    }
    EXPECT_EQ(all, printed) << "one line per press";
  }
}

TEST_F(DashboardTest, OneIdentBlinksTwentyTwoTicksAndEndsUnlit) {
  Press(kDashIdentId);
  EXPECT_EQ(g_dashIdentFlag.load(), 1u);
  EXPECT_EQ(g_dashBlinkCountdown.load(), kIdentTicks);
  EXPECT_TRUE(SystemColours(dash_->IdentButton()));
  std::vector<bool> lit;
  for (int tick = 1; tick <= kIdentTicks; ++tick) {
    EXPECT_EQ(g_dashIdentFlag.load(), 1u) << "before tick " << tick;
    TickDashboardIdent();
    Pump();
    lit.push_back(Lit(dash_->IdentButton()));
  }
  EXPECT_EQ(g_dashIdentFlag.load(), 0u);
  EXPECT_EQ(g_dashBlinkCountdown.load(), 0);
  EXPECT_TRUE(SystemColours(dash_->IdentButton()));
  for (int tick = 1; tick <= kIdentTicks; ++tick) {
    const int left = kIdentTicks - tick;
    EXPECT_EQ(lit[tick - 1], left != 0 && left % 2 == 1) << "tick " << tick;
  }
  // Later ticks leave it alone: a lit button (however it came to be) stays lit.
  dash_->OnBlink(true);
  TickDashboardIdent();
  Pump();
  EXPECT_TRUE(Lit(dash_->IdentButton()));
  EXPECT_EQ(g_dashIdentFlag.load(), 0u);
}

TEST_F(DashboardTest, ShowingAndHidingTellTheParent) {
  dash_->ShowWindow(SW_SHOW);
  dash_->ShowWindow(SW_HIDE);
  Pump();
  const std::vector<std::pair<UINT, LPARAM>> expected = {{kDashboardShownCommand, 1}, {kDashboardShownCommand, 0}};
  EXPECT_EQ(parent_.commands, expected);
}

TEST_F(DashboardTest, TrafficRatesShowOnlyWhileShownSentInTheFirstField) {
  ShowDashboardTraffic(4096, 1024);
  EXPECT_EQ(Text(kDashSentRateId), "0.0") << "hidden";
  dash_->ShowWindow(SW_SHOW);
  ShowDashboardTraffic(4096, 1024);
  EXPECT_EQ(Text(kDashSentRateId), "4.0");
  EXPECT_EQ(Text(kDashReceivedRateId), "1.0");
  ShowDashboardTraffic(1587, 0);
  EXPECT_EQ(Text(kDashSentRateId), "1.5");
  EXPECT_EQ(Text(kDashReceivedRateId), "0.0");
}

TEST_F(DashboardTest, FieldsDrawInTheirColoursOnTheDarkBackground) {
  struct Case {
    int id;
    int field;  // 0: left to the defaults
  };
  const Case cases[] = {{kDashSentRateId, kColour29}, {kDashReceivedRateId, kColour29}, {kDashVersionId, kColourNormal},
                        {7222, kColourNormal},        {7225, kColourNormal},          {7301, 0}};
  const HDC dc = GetDC(dash_->m_hWnd);
  for (const Case& c : cases) {
    SetTextColor(dc, 0x010203);
    SetBkColor(dc, 0x040506);
    const LRESULT brush = dash_->SendMessage(WM_CTLCOLORSTATIC, static_cast<WPARAM>(dc),
                                             static_cast<LPARAM>(GetDlgItem(dash_->m_hWnd, c.id)));
    if (c.field == 0) {
      EXPECT_EQ(GetTextColor(dc), 0x010203u) << c.id;
      continue;
    }
    EXPECT_NE(brush, 0) << c.id;
    EXPECT_EQ(GetTextColor(dc), Klib().Colour(c.field)) << c.id;
    EXPECT_EQ(GetBkColor(dc), 0x34261Eu) << c.id;
  }
  // The dialog's own background is the controls' shared colour.
  SetBkColor(dc, 0x040506);
  EXPECT_NE(dash_->SendMessage(WM_CTLCOLORDLG, static_cast<WPARAM>(dc), static_cast<LPARAM>(dash_->m_hWnd)), 0);
  EXPECT_EQ(GetBkColor(dc), 0x3D2F28u);
  ReleaseDC(dash_->m_hWnd, dc);
}

TEST_F(DashboardTest, TabMovesTheFocusAlongTheTabOrder) {
  dash_->ShowWindow(SW_SHOW);
  SetFocus(GetDlgItem(dash_->m_hWnd, kDashCharlieId));
  Press(9);
  EXPECT_EQ(GetFocus(), GetDlgItem(dash_->m_hWnd, kDashIdentId));
  SetKeyState(VK_SHIFT, true);
  Press(9);
  EXPECT_EQ(GetFocus(), GetDlgItem(dash_->m_hWnd, kDashCharlieId));
}

}  // namespace
