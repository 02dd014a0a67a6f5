// The radio and text window; its rich-text area is the program's trace output.
// The user types one line at a time: plain text on air or to the selected
// recipient, a private text, a dot command or a kick-out request.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/print_dlg.h"
#include "win/dialog.h"
#include "win/geometry.h"

class CRichEditCtrl;
class CComboBox;
struct ChatCommand;

constexpr UINT kChatTemplate = 7057;
constexpr int kChatOutputId = 7005;
constexpr int kChatInputId = 7003;
constexpr int kChatNearestAirportId = 7219;
constexpr int kChatSiteId = 7217;
constexpr int kChatRecipientsId = 7021;
constexpr int kChatClearId = 7200;
constexpr int kChatAutoCloseId = 7159;
// CMD_CHAT_NIGHTDAY.
constexpr UINT kChatNightDayCommand = 33723;
// CMD_CHAT_ENABLE_INPUT: lParam 1 enables the input line, 0 disables it.
constexpr UINT kChatEnableInputCommand = 33725;
// CMD_WINDOW_SHOWN, posted to the main dialog with lParam 1 (shown) or 0 (hidden).
constexpr UINT kWindowShownCommand = 36768;
constexpr UINT kTextCleanupCommand = 32773;
// The context menu: "Text cleanup" and the phrases.
constexpr UINT kChatMenu = 7034;
inline constexpr char kOnAirEntry[] = "ON AIR";
inline constexpr std::size_t kLastChatLineSize = 512;
inline constexpr std::int32_t kAutoCloseStartCountdown = 2;
inline constexpr int kChatMinimumWidth = 250;
inline constexpr int kChatMinimumHeight = 114;

// What a line sets off beyond the window itself. The defaults reach the links
// (the senders of the network library, the simulator's transponder); the
// application adds the weather request, the debug switch, the way-list dump and
// the notice to the main dialog. A null member does nothing.
struct ChatActions {
  int (*sendOnAir)(double frequencyMhz, std::string_view text) = nullptr;
  void (*sendPrivate)(std::string_view callsign, std::string_view text) = nullptr;
  bool (*nodeLinkUp)() = nullptr;
  bool (*sendKickout)(std::string_view callsign, std::string_view reason) = nullptr;
  int (*setSquawk)(std::uint32_t code) = nullptr;
  void (*requestWeather)(int kind, std::string_view station) = nullptr;
  void (*toggleDebug)() = nullptr;
  void (*dumpWayList)() = nullptr;
  void (*windowShown)(bool shown) = nullptr;
};
ChatActions DefaultChatActions();
// Replaces every action (tests and start-up); UI thread, before lines are taken.
void SetChatActions(const ChatActions& actions);
const ChatActions& CurrentChatActions();

// The phrase commands of menu 7034 and the phrase each sends on air.
struct ChatPhrase {
  UINT command;
  const char* menuText;
  const char* phrase;
};
inline constexpr ChatPhrase kChatPhrases[] = {
    {32824, "Airborne", "airborne"},
    {32826, "Crosswind", "crosswind"},
    {32822, "Downwind", "downwind"},
    {32823, "Base leg", "baseleg"},
    {32825, "Final approach", "final approach"},
    {32827, "Go around", "go around !"},
    {32828, "Cleared for the approach", "cleared for the approach"},
    {32829, "Cleared to land", "cleared to land"},
};

class CCchatDlg : public CDialogEx, public CPrintDlg {
 public:
  CCchatDlg();
  ~CCchatDlg() override;

  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  // TAB, ENTER, Up and Down typed in the input line or the recipient list
  // reach OnCommand as their key codes.
  BOOL PreTranslateMessage(MSG* msg) override;
  // Takes and routes the input line (ENTER, the phrase commands).
  void OnOK() override;
  // Escape does not close the window.
  void OnCancel() override {}

  CRichEditCtrl* Output() const { return RichEdit(); }
  // The output takes the focus, its selection dropped, its caret at the end of the text.
  void ScrollToEnd();
  void ToggleNightDay();
  // Any thread: a callsign joins the recipient list unless it is empty,
  // already there (without regard to case) or "SERVER".
  void AddRecipient(std::string_view callsign);
  int SelectedRecipient() const { return selectedRecipient_.load(); }
  std::string LastChatLine() const;

  // The AutoClose flag and the countdown that hides the window again (library settings point at both).
  std::atomic<std::uint32_t>& AutoShowFlag() { return autoShowFlag_; }
  std::atomic<std::int32_t>& AutoHideCountdown() { return autoHideCountdown_; }

 private:
  CComboBox* Recipients() const;
  void RunCommand(const ChatCommand& command, std::string_view line);
  void SendPlain(std::string_view line);
  // Sends, adds the recipient and echoes, whether or not a way reaches it.
  void SendPrivate(std::string_view callsign, std::string_view text);
  void RemoveRecipient(int index);
  void CycleRecipients(bool up);
  void OnFirstShow();
  void OnShown(bool shown);
  void ApplySavedPosition();
  void RememberLayout();
  void LayOut();
  void SavePosition();
  void RunPhrase(const char* phrase);
  void ShowContextMenu(LPARAM screenPoint);

  std::atomic<bool> firstShowDone_{false};
  std::atomic<int> selectedRecipient_{0};
  mutable std::mutex lastLineLock_;
  std::array<char, kLastChatLineSize> lastChatLine_{};
  std::mutex recipientsLock_;
  std::atomic<std::uint32_t> autoShowFlag_{0};
  std::atomic<std::int32_t> autoHideCountdown_{0};
  // The window's size and its controls' rectangles (relative to it) when it
  // was made: the layout is computed from them. UI thread only.
  SIZE rememberedSize_{};
  std::vector<std::pair<int, RECT>> rememberedControls_;
  RECT rememberedInput_{};
};

// The chat window; other code tests it for null before printing.
extern std::atomic<CCchatDlg*> g_pChatDlg;
