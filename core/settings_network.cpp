#include <cstdio>
#include <cstring>

#include "core/settings.h"
#include "core/settings_keys.h"
#include "base/trusted_addresses.h"

NetworkSlot CurrentNetworkSlot() {
  std::lock_guard guard(SettingsTextLock());
  return g_networkSettings.current;
}

void LoadNetworkSettings(const char* path) {
  using namespace settings_key;
  namespace d = setting_default;
  const char* file = SettingsFilePath(path);
  NetworkSettings& n = g_networkSettings;

  n.orvenaPort = static_cast<std::uint16_t>(ReadSettingInt(kNetwork, kOrvenaPortNumber, d::kOrvenaPortNumber, file));
  n.xplaneDllPort =
      static_cast<std::uint16_t>(ReadSettingInt(kNetwork, kXplaneDllPortNumber, d::kXplaneDllPortNumber, file));

  std::array<NetworkSlot, kNetworkSlotCount> slots{};
  for (int i = 0; i < kNetworkSlotCount; ++i) {
    char section[24];
    std::snprintf(section, sizeof section, kNetworkSlotFormat, i);
    NetworkSlot& slot = slots[static_cast<std::size_t>(i)];
    ReadSettingString(section, kWebsite, d::kWebsite, slot.website, file);
    ReadSettingString(section, kPagePath, d::kPagePath, slot.pagePath, file);
    ReadSettingString(section, kPilotId, "", slot.pilotId, file);
    ReadSettingString(section, kPilotPassword, "", slot.pilotPassword, file);
  }
  std::array<char, kAddressTextSize> lan{};
  std::array<char, kAddressTextSize> ncssLan{};
  ReadSettingString(kNetwork, kLanIpAddress, "", lan, file);
  ReadSettingString(kNetwork, kNcssLanIpAddress, "", ncssLan, file);
  {
    std::lock_guard guard(SettingsTextLock());
    n.slots = slots;
    n.lanIpAddress = lan;
    n.ncssLanIpAddress = ncssLan;
  }

  for (int i = 0; i < kTrustedAddressKeyCount; ++i) {
    char key[16];
    std::snprintf(key, sizeof key, kTrustedAddressFormat, i);
    std::array<char, kAddressTextSize> address{};
    ReadSettingString(kTrusted, key, "", address, file);
    if (address[0] != '\0') AddTrustedAddressText(address.data());
  }

  ActivateNetworkSlot(0);
}

void ActivateNetworkSlot(int slot) {
  if (slot < 0 || slot >= kNetworkSlotCount) return;
  NetworkSettings& n = g_networkSettings;
  std::lock_guard guard(SettingsTextLock());
  n.current = n.slots[static_cast<std::size_t>(slot)];
  const char first = n.current.website[0];
  const bool direct = first >= '0' && first <= '9';
  if (direct) {
    const std::size_t length = strnlen(n.current.website.data(), n.current.website.size());
    n.hubText = SettingText<kHubTextSize>(std::string_view(n.current.website.data(), length));
  } else {
    // The hub text doubles as "a hub list is known": a site chosen after a
    // numeric node must fetch its own list, never reach the previous node.
    n.hubText.fill('\0');
  }
  n.directAddress = direct;
}
