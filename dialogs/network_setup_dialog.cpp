#include "dialogs/network_setup_dialog.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "base/klib_settings.h"
#include "base/message_box.h"
#include "core/settings_keys.h"
#include "dialogs/chat_dialog.h"
#include "dialogs/form_keys.h"
#include "net/listener.h"
#include "win/dialog_items.h"
#include "win/gdi.h"
#include "win/edit_ctrl.h"
#include "win/ipaddress_ctrl.h"
#include "win/messages.h"
#include "win/tab_ctrl.h"

std::atomic<CNetworkSetup*> g_pNetworkSetupDlg{nullptr};

namespace id = netsetup_control;

namespace {
constexpr std::size_t kSiteChars = kWebTextSize - 1;
constexpr std::size_t kPilotFieldChars = kPilotFieldSize - 1;
constexpr char kLoginPromptFormat[] = "Enter the ID and password for %s";

std::string_view Bounded(const std::array<char, kWebTextSize>& text) {
  return {text.data(), strnlen(text.data(), text.size())};
}
std::string_view Bounded(const std::array<char, kPilotFieldSize>& text) {
  return {text.data(), strnlen(text.data(), text.size())};
}
}  // namespace

std::uint16_t PortFromText(std::string_view text, std::uint16_t fallback) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  unsigned long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return fallback;
  if (value < 1 || value > 65535) return fallback;
  return static_cast<std::uint16_t>(value);
}

bool IsDirectSite(std::string_view site) { return !site.empty() && site.front() >= '0' && site.front() <= '9'; }

std::optional<DWORD> ParseDottedAddress(std::string_view text) {
  std::array<BYTE, 4> parts{};
  for (std::size_t i = 0; i < parts.size(); ++i) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end == text.data() || value > 255) return std::nullopt;
    parts[i] = static_cast<BYTE>(value);
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    if (i + 1 < parts.size()) {
      if (text.empty() || text.front() != '.') return std::nullopt;
      text.remove_prefix(1);
    }
  }
  if (!text.empty()) return std::nullopt;
  return MAKEIPADDRESS(parts[0], parts[1], parts[2], parts[3]);
}

ChatControlColours NetworkSetupColoursFor(int controlId, bool night, const KlibSettings& settings) {
  switch (controlId) {
    case id::kOwnPort:
    case id::kSimLinkPort:
    case id::kWebsite:
    case id::kPagePath:
    case id::kPilotId:
    case id::kPassword:
      return ChatColoursFor(kChatInputId, night, settings);
    default:
      return {};
  }
}

CNetworkSetup::CNetworkSetup() : CDialogEx(kNetworkSetupTemplate) {}

LRESULT CNetworkSetup::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CTLCOLOREDIT) {
    const ChatControlColours colours =
        NetworkSetupColoursFor(::GetDlgCtrlID(static_cast<HWND>(lParam)), g_nightFlag.load() != 0, Klib());
    if (colours.own) {
      const auto dc = static_cast<HDC>(wParam);
      SetTextColor(dc, colours.text);
      SetBkColor(dc, colours.background);
      return static_cast<LRESULT>(editBrushes_.For(colours.background));
    }
  }
  return CDialogEx::WindowProc(message, wParam, lParam);
}

CNetworkSetup::~CNetworkSetup() {
  if (g_pNetworkSetupDlg.load() == this) g_pNetworkSetupDlg = nullptr;
  DestroyWindow();
}

BOOL CNetworkSetup::OnInitDialog() {
  CDialogEx::OnInitDialog();
  // The start-up read the file just before; what it loaded is shown as it stands.
  const struct {
    int control;
    std::size_t chars;
  } limits[] = {{id::kWebsite, kSiteChars},
                {id::kPagePath, kSiteChars},
                {id::kPilotId, kPilotFieldChars},
                {id::kPassword, kPilotFieldChars}};
  for (const auto& [control, chars] : limits) {
    if (auto* edit = dynamic_cast<CEdit*>(GetDlgItem(control))) edit->LimitText(static_cast<UINT>(chars));
  }
  SetDlgItemInt(m_hWnd, id::kOwnPort, g_networkSettings.orvenaPort.load(), FALSE);
  SetDlgItemInt(m_hWnd, id::kSimLinkPort, g_networkSettings.xplaneDllPort.load(), FALSE);

  NetworkSlot current;
  std::string lan;
  std::string nodeLan;
  {
    std::lock_guard guard(SettingsTextLock());
    current = g_networkSettings.current;
    slots_ = g_networkSettings.slots;
    lan.assign(g_networkSettings.lanIpAddress.data(), strnlen(g_networkSettings.lanIpAddress.data(), kAddressTextSize));
    nodeLan.assign(g_networkSettings.ncssLanIpAddress.data(),
                   strnlen(g_networkSettings.ncssLanIpAddress.data(), kAddressTextSize));
  }
  SetDlgItemTextA(m_hWnd, id::kWebsite, std::string(Bounded(current.website)).c_str());
  SetDlgItemTextA(m_hWnd, id::kPagePath, std::string(Bounded(current.pagePath)).c_str());
  SetDlgItemTextA(m_hWnd, id::kPilotId, std::string(Bounded(current.pilotId)).c_str());
  SetDlgItemTextA(m_hWnd, id::kPassword, std::string(Bounded(current.pilotPassword)).c_str());
  LoadAddressControl(id::kLanAddress, lan);
  LoadAddressControl(id::kNodeLanAddress, nodeLan);
  ShowSiteKind(Bounded(current.website), Bounded(current.pagePath));

  if (auto* tabs = dynamic_cast<CTabCtrl*>(GetDlgItem(id::kSlotTabs))) {
    tabs->DeleteAllItems();
    for (int i = 0; i < kNetworkSlotCount; ++i) tabs->InsertItem(i, std::to_string(i + 1).c_str());
    tabs->SetCurSel(0);
  }
  slotOnScreen_ = 0;
  if (CWnd* simLink = GetDlgItem(id::kSimLinkPort)) simLink->EnableWindow(TRUE);
  return TRUE;
}

void CNetworkSetup::LoadAddressControl(int control, std::string_view text) {
  auto* address = dynamic_cast<CIPAddressCtrl*>(GetDlgItem(control));
  if (address == nullptr) return;
  // A text that is no address shows as blank rather than as a made-up one.
  const std::optional<DWORD> value = text.empty() ? std::nullopt : ParseDottedAddress(text);
  if (value) {
    address->SetAddress(*value);
  } else {
    address->ClearAddress();
  }
}

std::string CNetworkSetup::AddressControlText(int control) {
  auto* address = dynamic_cast<CIPAddressCtrl*>(GetDlgItem(control));
  if (address == nullptr || address->IsBlank()) return {};
  BYTE a = 0, b = 0, c = 0, d = 0;
  address->GetAddress(a, b, c, d);
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "%d.%d.%d.%d", a, b, c, d);
  return text.data();
}

std::string CNetworkSetup::FieldText(int control, std::size_t maxChars) const {
  std::vector<char> text(maxChars + 1, '\0');
  GetDlgItemTextA(m_hWnd, control, text.data(), static_cast<int>(text.size()));
  return text.data();
}

void CNetworkSetup::ShowSiteKind(std::string_view site, std::string_view pagePath) {
  const bool direct = IsDirectSite(site);
  const int show = direct ? SW_HIDE : SW_SHOW;
  if (CWnd* help = GetDlgItem(id::kPagePathHelp)) help->ShowWindow(show);
  if (CWnd* path = GetDlgItem(id::kPagePath)) path->ShowWindow(show);
  if (direct) {
    SetDlgItemTextA(m_hWnd, id::kResult, kDirectConnectionText);
    return;
  }
  std::string result(site);
  result += pagePath;
  SetDlgItemTextA(m_hWnd, id::kResult, result.c_str());
  std::array<char, kWebTextSize + sizeof kLoginPromptFormat> prompt{};
  std::snprintf(prompt.data(), prompt.size(), kLoginPromptFormat, std::string(site).c_str());
  SetDlgItemTextA(m_hWnd, id::kLoginPrompt, prompt.data());
}

void CNetworkSetup::OnTabChange() {
  if (!IsWindowVisible()) return;
  // What is typed becomes the current network only at Save: a connection made
  // meanwhile keeps a site and its direct address that agree.
  ShowSiteKind(FieldText(id::kWebsite, kSiteChars), FieldText(id::kPagePath, kSiteChars));
}

void CNetworkSetup::StoreAndShowSlot() {
  NetworkSlot& shown = slots_[static_cast<std::size_t>(slotOnScreen_)];
  shown.website = SettingText<kWebTextSize>(FieldText(id::kWebsite, kSiteChars));
  shown.pagePath = SettingText<kWebTextSize>(FieldText(id::kPagePath, kSiteChars));
  shown.pilotId = SettingText<kPilotFieldSize>(FieldText(id::kPilotId, kPilotFieldChars));
  shown.pilotPassword = SettingText<kPilotFieldSize>(FieldText(id::kPassword, kPilotFieldChars));

  auto* tabs = dynamic_cast<CTabCtrl*>(GetDlgItem(id::kSlotTabs));
  const int selected = tabs != nullptr ? tabs->GetCurSel() : slotOnScreen_;
  if (selected < 0 || selected >= kNetworkSlotCount) return;
  const NetworkSlot& next = slots_[static_cast<std::size_t>(selected)];
  slotOnScreen_ = selected;
  SetDlgItemTextA(m_hWnd, id::kWebsite, std::string(Bounded(next.website)).c_str());
  SetDlgItemTextA(m_hWnd, id::kPagePath, std::string(Bounded(next.pagePath)).c_str());
  SetDlgItemTextA(m_hWnd, id::kPilotId, std::string(Bounded(next.pilotId)).c_str());
  SetDlgItemTextA(m_hWnd, id::kPassword, std::string(Bounded(next.pilotPassword)).c_str());
}

void CNetworkSetup::WriteSlots() const {
  using namespace settings_key;
  for (int i = 0; i < kNetworkSlotCount; ++i) {
    std::array<char, 24> section{};
    std::snprintf(section.data(), section.size(), kNetworkSlotFormat, i);
    const NetworkSlot& slot = slots_[static_cast<std::size_t>(i)];
    WriteSettingString(section.data(), kWebsite, std::string(Bounded(slot.website)).c_str());
    WriteSettingString(section.data(), kPagePath, std::string(Bounded(slot.pagePath)).c_str());
    WriteSettingString(section.data(), kPilotId, std::string(Bounded(slot.pilotId)).c_str());
    WriteSettingString(section.data(), kPilotPassword, std::string(Bounded(slot.pilotPassword)).c_str());
  }
}

bool CNetworkSetup::RebindListeningPort(std::uint16_t port, std::uint16_t previous) {
  CloseListeningSocket();
  if (CreateListeningSocket(port) == 0) return true;
  ShowMessage(kPortsErrorTitle, kPortsErrorFormat, static_cast<int>(port));
  // Peers keep reaching the program on the port they know.
  if (CreateListeningSocket(previous) != 0) ShowMessage(kPortsErrorTitle, kPortsErrorFormat, static_cast<int>(previous));
  return false;
}

void CNetworkSetup::OnOK() {
  using namespace settings_key;
  namespace d = setting_default;
  const std::uint16_t ownPort =
      PortFromText(FieldText(id::kOwnPort, 15), static_cast<std::uint16_t>(d::kOrvenaPortNumber));
  const std::uint16_t simLinkPort =
      PortFromText(FieldText(id::kSimLinkPort, 15), static_cast<std::uint16_t>(d::kXplaneDllPortNumber));
  g_networkSettings.xplaneDllPort = simLinkPort;

  StoreAndShowSlot();
  WriteSlots();
  const std::string lan = AddressControlText(id::kLanAddress);
  const std::string nodeLan = AddressControlText(id::kNodeLanAddress);
  {
    std::lock_guard guard(SettingsTextLock());
    // The menu's servers connect through these copies.
    g_networkSettings.slots = slots_;
    g_networkSettings.lanIpAddress = SettingText<kAddressTextSize>(lan);
    g_networkSettings.ncssLanIpAddress = SettingText<kAddressTextSize>(nodeLan);
  }
  ActivateNetworkSlot(slotOnScreen_);

  const std::uint16_t previousPort = g_networkSettings.orvenaPort.load();
  if (!RebindListeningPort(ownPort, previousPort)) return;
  g_networkSettings.orvenaPort = ownPort;
  WriteSettingInt(kNetwork, kOrvenaPortNumber, ownPort);
  WriteSettingString(kNetwork, kLanIpAddress, lan.c_str());
  WriteSettingString(kNetwork, kNcssLanIpAddress, nodeLan.c_str());
  WriteSettingInt(kNetwork, kXplaneDllPortNumber, simLinkPort);
  ShowWindow(SW_HIDE);
}

BOOL CNetworkSetup::OnCommand(WPARAM wParam, LPARAM lParam) {
  const int control = LOWORD(wParam);
  if (HIWORD(wParam) == EN_CHANGE && (control == id::kWebsite || control == id::kPagePath)) {
    OnTabChange();
    return TRUE;
  }
  if (TakeFormKeyCommand(*this, wParam, lParam)) return TRUE;
  return CDialogEx::OnCommand(wParam, lParam);
}

BOOL CNetworkSetup::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  if (header == nullptr || header->idFrom != static_cast<UINT_PTR>(id::kSlotTabs) || header->code != TCN_SELCHANGE) {
    return CDialogEx::OnNotify(wParam, lParam, result);
  }
  auto* tabs = dynamic_cast<CTabCtrl*>(GetDlgItem(id::kSlotTabs));
  if (tabs != nullptr && tabs->GetCurSel() != slotOnScreen_) StoreAndShowSlot();
  return TRUE;
}

BOOL CNetworkSetup::PreTranslateMessage(MSG* msg) {
  if (ForwardFormKey(*this, msg)) return TRUE;
  return CDialogEx::PreTranslateMessage(msg);
}
