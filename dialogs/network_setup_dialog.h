// "Networking setup": the six network slots (site, page path, login and
// password), the own listening port, the simulator-link port and the LAN
// addresses. Save writes the slots, makes the slot on screen the current
// network and binds the listening socket to the own port; a port that cannot
// be bound leaves the previous one bound and the dialog open.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/settings.h"
#include "dialogs/chat_colours.h"
#include "dialogs/rules_dialog_colours.h"
#include "win/dialog.h"

struct KlibSettings;

constexpr UINT kNetworkSetupTemplate = 134;

namespace netsetup_control {
inline constexpr int kSlotTabs = 1024;
inline constexpr int kWebsite = 1038;
inline constexpr int kPagePath = 1039;
inline constexpr int kPilotId = 7003;
inline constexpr int kPassword = 7004;
inline constexpr int kResult = 1040;
inline constexpr int kLoginPrompt = 7138;
inline constexpr int kPagePathHelp = 7130;
inline constexpr int kOwnPort = 1022;
inline constexpr int kSimLinkPort = 1025;
inline constexpr int kLanAddress = 7135;
inline constexpr int kNodeLanAddress = 7136;
}  // namespace netsetup_control

inline constexpr char kDirectConnectionText[] = "Direct connection (Not via Website)";
inline constexpr char kPortsErrorTitle[] = "Ports Error";
inline constexpr char kPortsErrorFormat[] = "Failed initializing TCP sockets with port %d.";

// A port field's number: 0, a number outside 1..65535 or no number at all gives `fallback`.
std::uint16_t PortFromText(std::string_view text, std::uint16_t fallback);
// A site beginning with a decimal digit is a node's address, reached directly.
bool IsDirectSite(std::string_view site);
// "a.b.c.d" as the IP control's packed address; nothing for any other text.
std::optional<DWORD> ParseDottedAddress(std::string_view text);
// The colours of one of the dialog's controls: its edits follow the chat input line.
ChatControlColours NetworkSetupColoursFor(int controlId, bool night, const KlibSettings& settings);

class CNetworkSetup : public CDialogEx {
 public:
  CNetworkSetup();
  ~CNetworkSetup() override;

  BOOL OnInitDialog() override;
  // "Save".
  void OnOK() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  BOOL PreTranslateMessage(MSG* msg) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  // The slot whose fields are on screen.
  int SlotOnScreen() const { return slotOnScreen_; }

 private:
  // The edits' own backgrounds, one brush per colour.
  RulesBrushes editBrushes_;
  // The site or page path was typed into: the result line and the fields
  // that apply follow it (only while the dialog is shown).
  void OnTabChange();
  // The fields on screen into their slot, then the selected tab's slot onto the screen.
  void StoreAndShowSlot();
  // The result line, the login prompt and the page-path fields for a site.
  void ShowSiteKind(std::string_view site, std::string_view pagePath);
  std::string FieldText(int id, std::size_t maxChars) const;
  void LoadAddressControl(int id, std::string_view text);
  // The control's address as "%d.%d.%d.%d", empty when it is blank.
  std::string AddressControlText(int id);
  void WriteSlots() const;
  // The listening socket moved to `port`; on failure the box, and `previous` bound again.
  bool RebindListeningPort(std::uint16_t port, std::uint16_t previous);

  std::array<NetworkSlot, kNetworkSlotCount> slots_{};
  int slotOnScreen_ = 0;
};

// The dialog, once created (any thread reads it).
extern std::atomic<CNetworkSetup*> g_pNetworkSetupDlg;
