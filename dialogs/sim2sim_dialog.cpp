#include "dialogs/sim2sim_dialog.h"

#include <cstdio>
#include <string>

#include "core/sim_family.h"
#include "net/cross_sim_peers.h"
#include "sim/ai_traffic.h"
#include "win/dialog_items.h"
#include "win/keys.h"
#include "win/msgbox.h"

std::atomic<CSim2SimDlg*> g_pSim2SimDlg{nullptr};

namespace {

constexpr std::array<Sim2SimTab, 5> kFamilyTabs = {{
    {2004, "FS8/9"},
    {2006, "FSX"},
    {3000, "P3D"},
    {9000, "XP9"},
    {10000, "XP10"},
}};

Sim2SimFileActions& FileActions() {
  static Sim2SimFileActions actions = DefaultSim2SimFileActions();
  return actions;
}

CrossSimLoadResult LoadForNearestAirport(std::int32_t ownFamily) { return LoadCrossSimOffsets(ownFamily); }
CrossSimSaveResult SaveForNearestAirport() { return SaveCrossSimOffsets(); }

OffsetStepSize HeldStepSize() { return StepSizeFromKeys(GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0); }

// The installed simulator's family; 0 until the plug-in has named it.
std::int32_t OwnFamily() { return LocalSimulatorFamilyKnown() ? LocalSimulatorFamily() : 0; }

}  // namespace

Sim2SimFileActions DefaultSim2SimFileActions() {
  Sim2SimFileActions actions;
  actions.load = &LoadForNearestAirport;
  actions.save = &SaveForNearestAirport;
  return actions;
}

void SetSim2SimFileActions(const Sim2SimFileActions& actions) { FileActions() = actions; }

CSim2SimDlg::CSim2SimDlg() : CDialogEx(kSim2SimTemplate) {}

CSim2SimDlg::~CSim2SimDlg() {
  if (g_pSim2SimDlg.load() == this) g_pSim2SimDlg = nullptr;
  if (IsWindowVisible()) SetCrossSimOffsetsDialogShown(false);
  DestroyWindow();
}

BOOL CSim2SimDlg::OnInitDialog() {
  CDialogEx::OnInitDialog();
  RefillTabs();
  return TRUE;
}

CTabCtrl* CSim2SimDlg::Tabs() const { return dynamic_cast<CTabCtrl*>(GetDlgItem(kSim2SimTabsId)); }

void CSim2SimDlg::RefillTabs() {
  const std::int32_t own = OwnFamily();
  tabCount_ = 0;
  for (const Sim2SimTab& tab : kFamilyTabs) {
    if (tab.family != own && tabCount_ < tabs_.size()) tabs_[tabCount_++] = tab;
  }
  tabsOwnFamily_ = own;
  selectedEntry_ = -1;
  CTabCtrl* tabs = Tabs();
  if (tabs == nullptr) return;
  tabs->DeleteAllItems();
  for (std::size_t i = 0; i < tabCount_; ++i) {
    const std::string label(tabs_[i].label);
    tabs->InsertItem(static_cast<int>(i), label.c_str(), static_cast<LPARAM>(tabs_[i].family));
  }
}

void CSim2SimDlg::FollowInstalledSimulator() {
  if (OwnFamily() == tabsOwnFamily_) return;
  RefillTabs();
  if (IsWindowVisible()) ownFamily_ = OwnFamily();
}

int CSim2SimDlg::SelectedTab() const {
  CTabCtrl* tabs = Tabs();
  return tabs != nullptr ? tabs->GetCurSel() : -1;
}

std::int32_t CSim2SimDlg::TabFamily() const {
  CTabCtrl* tabs = Tabs();
  if (tabs == nullptr) return 0;
  const int selected = tabs->GetCurSel();
  if (selected < 0) return 0;
  return static_cast<std::int32_t>(tabs->GetItemParam(selected));
}

BOOL CSim2SimDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  if (header == nullptr || header->idFrom != kSim2SimTabsId || header->code != TCN_SELCHANGE) {
    return CDialogEx::OnNotify(wParam, lParam, result);
  }
  ShowPair();
  if (result != nullptr) *result = 0;
  return TRUE;
}

void CSim2SimDlg::OnShown() {
  ownFamily_ = OwnFamily();
  if (ownFamily_ == 0) {
    MessageBoxA(m_hWnd, "You must be connected to the simulator before using this feature", "Information", MB_OK);
    ShowWindow(SW_HIDE);
    return;
  }
  // The plug-in may have reported another simulator since the tabs were made.
  if (ownFamily_ != tabsOwnFamily_) RefillTabs();
  SetCrossSimOffsetsDialogShown(true);
  // A whole section read anew: the pilot ways take their pairs from it.
  if (FileActions().load != nullptr && FileActions().load(ownFamily_).Complete()) NotifyPeersOffsetsChanged();
  shownCopy_ = CrossSimOffsets();
  ShowPair();
}

void CSim2SimDlg::OnHidden() {
  selectedEntry_ = -1;
  SetCrossSimOffsetsDialogShown(false);
}

void CSim2SimDlg::ShowPair() {
  const std::int32_t family = TabFamily();
  if (family == 0 || ownFamily_ == 0) return;
  const CrossSimOffsetTable table = CrossSimOffsets();
  selectedEntry_ = FindCrossSimPairEntry(table, ownFamily_, family);
  if (selectedEntry_ < 0) return;
  ShowEntry(table.entries[static_cast<std::size_t>(selectedEntry_)]);
  char pair[64];
  std::snprintf(pair, sizeof pair, "[%d] %d <-> %d", selectedEntry_, ownFamily_, family);
  SetDlgItemTextA(m_hWnd, kSim2SimPairId, pair);
}

void CSim2SimDlg::ShowEntry(const CrossSimOffsetEntry& entry) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(entry.altitudeOffset));
  SetDlgItemTextA(m_hWnd, kSim2SimAltitudeId, text);
  std::snprintf(text, sizeof text, "%f", entry.latitudeOffset);
  SetDlgItemTextA(m_hWnd, kSim2SimLatitudeId, text);
  std::snprintf(text, sizeof text, "%f", entry.longitudeOffset);
  SetDlgItemTextA(m_hWnd, kSim2SimLongitudeId, text);
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(entry.headingOffset));
  SetDlgItemTextA(m_hWnd, kSim2SimHeadingId, text);
}

void CSim2SimDlg::Step(OffsetStep step) {
  if (selectedEntry_ < 0) return;
  const OffsetStepSize size = HeldStepSize();
  const auto index = static_cast<std::size_t>(selectedEntry_);
  CrossSimOffsetEntry shown{};
  bool changed = false;
  EditCrossSimOffsets([&](CrossSimOffsetTable& table) {
    changed = ApplyOffsetStep(table.entries[index], ownFamily_, step, size);
    shown = table.entries[index];
  });
  if (!changed) return;
  ShowEntry(shown);
  NotifyPeersOffsetsChanged();
}

void CSim2SimDlg::StepForward(bool back) {
  if (selectedEntry_ < 0) return;
  const std::optional<double> heading = FirstLinkedPilotHeading(TabFamily());
  if (!heading) return;
  const OffsetStepSize size = HeldStepSize();
  const auto index = static_cast<std::size_t>(selectedEntry_);
  CrossSimOffsetEntry shown{};
  bool changed = false;
  EditCrossSimOffsets([&](CrossSimOffsetTable& table) {
    changed = ApplyForwardStep(table.entries[index], ownFamily_, *heading, back, size);
    shown = table.entries[index];
  });
  if (!changed) return;
  ShowEntry(shown);
  NotifyPeersOffsetsChanged();
}

void CSim2SimDlg::ClearEntry() {
  if (selectedEntry_ < 0) return;
  const auto index = static_cast<std::size_t>(selectedEntry_);
  CrossSimOffsetEntry shown{};
  EditCrossSimOffsets([&](CrossSimOffsetTable& table) {
    ClearOffsets(table.entries[index]);
    shown = table.entries[index];
  });
  ShowEntry(shown);
  NotifyPeersOffsetsChanged();
}

void CSim2SimDlg::LoadDefaults() {
  SetDefaultCrossSimOffsets();
  // The pair may sit at another index in the default order.
  ShowPair();
  NotifyPeersOffsetsChanged();
}

void CSim2SimDlg::OnOK() {
  if (FileActions().save != nullptr) FileActions().save();
  ShowWindow(SW_HIDE);
}

void CSim2SimDlg::OnCancel() {
  SetCrossSimOffsets(shownCopy_);
  NotifyPeersOffsetsChanged();
  ShowWindow(SW_HIDE);
}

LRESULT CSim2SimDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CDialogEx::WindowProc(message, wParam, lParam);
  if (message == WM_SHOWWINDOW) {
    if (wParam != 0) {
      OnShown();
    } else {
      OnHidden();
    }
  }
  return result;
}

BOOL CSim2SimDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case kSim2SimAltitudeUpId:
      Step(OffsetStep::AltitudeUp);
      return TRUE;
    case kSim2SimAltitudeDownId:
      Step(OffsetStep::AltitudeDown);
      return TRUE;
    case kSim2SimLatitudePlusId:
      Step(OffsetStep::LatitudePlus);
      return TRUE;
    case kSim2SimLatitudeMinusId:
      Step(OffsetStep::LatitudeMinus);
      return TRUE;
    case kSim2SimLongitudePlusId:
      Step(OffsetStep::LongitudePlus);
      return TRUE;
    case kSim2SimLongitudeMinusId:
      Step(OffsetStep::LongitudeMinus);
      return TRUE;
    case kSim2SimHeadingRightId:
      Step(OffsetStep::HeadingRight);
      return TRUE;
    case kSim2SimHeadingLeftId:
      Step(OffsetStep::HeadingLeft);
      return TRUE;
    case kSim2SimForwardId:
      StepForward(false);
      return TRUE;
    case kSim2SimBackId:
      StepForward(true);
      return TRUE;
    case kSim2SimClearId:
      ClearEntry();
      return TRUE;
    case kSim2SimDefaultsId:
      LoadDefaults();
      return TRUE;
    case kSim2SimAutoAdjustId:
      return TRUE;
    default:
      return CDialogEx::OnCommand(wParam, lParam);
  }
}
