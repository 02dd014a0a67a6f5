// The dashboard: the transponder's Charlie and Ident buttons, the program's
// version and the network's send and receive rates.
#pragma once

#include <atomic>
#include <cstdint>

#include "controls/shade_button_st.h"
#include "win/dialog.h"

constexpr UINT kDashboardTemplate = 7054;
constexpr int kDashCharlieId = 7206;
constexpr int kDashIdentId = 7207;
constexpr int kDashVersionId = 7218;
constexpr int kDashSentRateId = 7112;
constexpr int kDashReceivedRateId = 7113;
// CMD_DASH_BLINK, from the main timer: lParam 1 lit, 0 unlit.
constexpr UINT kDashBlinkCommand = 33726;
// CMD_WINDOW_SHOWN of this window, posted to its parent with lParam 1 (shown) or 0.
constexpr UINT kDashboardShownCommand = 36769;
// The text colour of a lit button.
constexpr COLORREF kDashLitColour = 0xFF5C5C;
// Half-second ticks an ident blinks.
constexpr std::uint16_t kIdentTicks = 22;
inline constexpr char kCharlieOnText[] = "Transponder squawking in mode Charlie";
inline constexpr char kCharlieOffText[] = "Transponder in Standby mode";

class CDashboardDlg : public CDialogEx {
 public:
  CDashboardDlg();
  ~CDashboardDlg() override;

  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  // Standby and mode C by turns; the own transponder follows.
  void OnCharlie();
  // Starts an ident of kIdentTicks half-second ticks.
  void OnIdent();
  void OnBlink(bool lit);

  // 0 standby, 1 mode C.
  int Mode() const { return mode_; }
  const CShadeButtonST& CharlieButton() const { return charlie_; }
  const CShadeButtonST& IdentButton() const { return ident_; }

 private:
  CShadeButtonST charlie_;
  CShadeButtonST ident_;
  int mode_ = 0;
  HBRUSH fieldBrush_ = 0;
  // The dialog's own background: the controls' shared dark colour.
  HBRUSH dialogBrush_ = 0;
};

// The main dialog's half-second duty: counts the ident down and has the
// dashboard blink; the last tick clears the ident flag and leaves it unlit.
void TickDashboardIdent();
// The traffic figures of the last five seconds, in bytes: while the dashboard
// is shown, 7112 gets sent / 1024 and 7113 received / 1024 as "%.1f".
void ShowDashboardTraffic(std::uint64_t sent, std::uint64_t received);

// The dialog, once created (any thread reads it).
extern std::atomic<CDashboardDlg*> g_pDashboardDlg;
