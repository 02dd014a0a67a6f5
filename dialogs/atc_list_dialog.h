// The controller list: UNICOM first, then the controllers whose ways are
// linked now. A double-click tunes COM1 to the station; with SHIFT it prints
// the controller's ATIS in the chat output. Rebuilt from the way table on
// command; the controller ways ask for it through their hook.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "dialogs/atc_list_entries.h"
#include "dialogs/chat_colours.h"
#include "win/dialog.h"

class CListBox;

constexpr UINT kAtcListTemplate = 7003;
constexpr int kAtcListBoxId = 7027;
// CMD_ATCLIST_RESET, CMD_ATCLIST_SELECT_COM, CMD_ATCLIST_REBUILD.
constexpr UINT kAtcListResetCommand = 34168;
constexpr UINT kAtcListSelectComCommand = 34169;
constexpr UINT kAtcListRebuildCommand = 34170;
// CMD_WINDOW_SHOWN of this window, posted to its parent with lParam 1 (shown) or 0.
constexpr UINT kAtcListShownCommand = 36770;
inline constexpr std::array<int, 4> kAtcListTabStops = {50, 90, 130, 180};
inline constexpr std::size_t kSelectedControllerSize = 16;

// What a double-click sets off beyond the window: the radios of the own
// aircraft. A null member does nothing.
struct AtcListActions {
  void (*requestRadioReselect)() = nullptr;
  int (*tuneCom1)(const char* frequencyText) = nullptr;
};
AtcListActions DefaultAtcListActions();
// Tests replace them; UI thread.
void SetAtcListActions(const AtcListActions& actions);

class CAtcListDlg : public CDialogEx {
 public:
  CAtcListDlg();
  ~CAtcListDlg() override;

  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  // TAB, ENTER and ESC pressed in the list reach OnCommand as their codes.
  BOOL PreTranslateMessage(MSG* msg) override;
  // ENTER acts as the double-click; ESC closes (hides) the window.
  void OnOK() override {}

  void ResetList();
  void AddUnicom();
  // Reads the way table under its lock.
  void BuildFromPeers();
  void FillList(std::span<const AtcListEntry> entries);
  void OnSelectStation(int index, bool shift);

  std::size_t HeldCount() const { return held_; }
  const AtcListEntry& HeldEntry(std::size_t index) const { return entries_.at(index); }
  // The UNICOM record as it stands (a held "UNICOM" may lend it its name).
  const AtcListEntry& UnicomRecord() const { return unicom_; }

 private:
  CListBox* List() const;
  // Adds the line; the entry is kept only when the list took the line.
  bool AddEntry(const AtcListEntry& entry, AtcRatingTable table);
  void PrintAtis(const AtcListEntry& entry);
  void RegisterRebuildHook();

  std::array<AtcListEntry, kAtcHeldEntriesMax> entries_{};
  std::size_t held_ = 0;
  AtcListEntry unicom_ = DefaultUnicomEntry();
};

// The list draws by the chat input line's day and night rule (no window
// handler asks for control colours yet).
ChatControlColours AtcListColoursFor(bool night, const KlibSettings& settings);

// The callsign of the station last double-clicked (at most 15 characters).
std::string SelectedControllerCallsign();

// The controller list, once created (any thread reads it).
extern std::atomic<CAtcListDlg*> g_pAtcListDlg;
// Posts a command to the controller list; nothing while it does not exist.
void PostToAtcList(UINT command);
