// The cross-simulator offsets window: one tab per simulator family other
// than the installed one (tab control 7233, each item's value its family).
// The pilot picks a pair by its tab; its four offsets are stepped live (and
// the pilot ways told at once) while he watches a peer of that family, then
// saved for the nearest airport or given back with "Cancel".
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/cross_sim_adjust.h"
#include "core/cross_sim_offsets.h"
#include "core/cross_sim_offsets_file.h"
#include "win/dialog.h"
#include "win/tab_ctrl.h"

constexpr UINT kSim2SimTemplate = 7052;
constexpr int kSim2SimTabsId = 7233;
constexpr int kSim2SimAltitudeId = 7183;
constexpr int kSim2SimLongitudeId = 7184;
constexpr int kSim2SimLatitudeId = 7185;
constexpr int kSim2SimHeadingId = 7186;
constexpr int kSim2SimPairId = 7235;
constexpr int kSim2SimAltitudeUpId = 7155;
constexpr int kSim2SimAltitudeDownId = 7156;
constexpr int kSim2SimLongitudePlusId = 7157;
constexpr int kSim2SimLongitudeMinusId = 7158;
constexpr int kSim2SimLatitudePlusId = 7159;
constexpr int kSim2SimLatitudeMinusId = 7160;
constexpr int kSim2SimHeadingRightId = 7161;
constexpr int kSim2SimHeadingLeftId = 7164;
constexpr int kSim2SimForwardId = 7234;
constexpr int kSim2SimBackId = 7103;
constexpr int kSim2SimClearId = 7162;
constexpr int kSim2SimDefaultsId = 7189;
constexpr int kSim2SimAutoAdjustId = 7198;

inline constexpr std::size_t kSim2SimTabCount = 4;

struct Sim2SimTab {
  std::int32_t family = 0;
  std::string_view label;
};

// Where the window takes the table from and puts it. The defaults use the
// nearest airport and the program's offsets file; tests point them elsewhere.
struct Sim2SimFileActions {
  CrossSimLoadResult (*load)(std::int32_t ownFamily) = nullptr;
  CrossSimSaveResult (*save)() = nullptr;
};
Sim2SimFileActions DefaultSim2SimFileActions();
// UI thread.
void SetSim2SimFileActions(const Sim2SimFileActions& actions);

class CSim2SimDlg : public CDialogEx {
 public:
  CSim2SimDlg();
  ~CSim2SimDlg() override;

  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  // A tab picked in 7233 shows its pair.
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  // "Save Offsets".
  void OnOK() override;
  void OnCancel() override;

  // The tabs for the installed simulator's family; none is selected.
  void RefillTabs();
  // The plug-in named the installed simulator: the tabs are made again when
  // its family is not the one they were made for.
  void FollowInstalledSimulator();

  std::size_t TabCount() const { return tabCount_; }
  const Sim2SimTab& TabAt(std::size_t index) const { return tabs_.at(index); }
  // The tab control's selection, or -1.
  int SelectedTab() const;
  // The entry being edited, or -1.
  int SelectedEntry() const { return selectedEntry_; }

 private:
  void OnShown();
  void OnHidden();
  void ShowPair();
  void ShowEntry(const CrossSimOffsetEntry& entry);
  void Step(OffsetStep step);
  void StepForward(bool back);
  void ClearEntry();
  void LoadDefaults();
  std::int32_t TabFamily() const;
  CTabCtrl* Tabs() const;

  std::array<Sim2SimTab, kSim2SimTabCount> tabs_{};
  std::size_t tabCount_ = 0;
  std::int32_t tabsOwnFamily_ = 0;
  int selectedEntry_ = -1;
  std::int32_t ownFamily_ = 0;
  CrossSimOffsetTable shownCopy_{};
};

// The offsets window, once created.
extern std::atomic<CSim2SimDlg*> g_pSim2SimDlg;
