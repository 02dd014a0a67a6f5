#include "core/settings.h"

#include "core/cross_sim_offsets.h"
#include "core/own_callsign.h"
#include "core/settings_keys.h"

constinit SetupSettings g_setupSettings;
constinit NetworkSettings g_networkSettings;
constinit WeatherSettings g_weatherSettings;
constinit std::atomic<std::int32_t> Language{setting_default::kLanguage};

namespace {

// Reads a text outside the lock and publishes it under it.
template <std::size_t N>
void LoadText(const char* section, const char* key, const char* defaultValue, std::array<char, N>& target,
              const char* path) {
  std::array<char, N> read{};
  ReadSettingString(section, key, defaultValue, read, path);
  std::lock_guard guard(SettingsTextLock());
  target = read;
}

}  // namespace

std::mutex& SettingsTextLock() {
  static auto* lock = new std::mutex();
  return *lock;
}

const char* PickLanguage(const char* en, const char* fr, const char* es) {
  switch (Language.load()) {
    case 1:
      return fr;
    case 2:
      return es;
    default:
      return en;
  }
}

void ResetUnknownLanguage() {
  const std::int32_t index = Language.load();
  if (index != 1 && index != 2) Language = 0;
}

int LoadSetup(const char* path) {
  using namespace settings_key;
  namespace d = setting_default;
  const char* file = SettingsFilePath(path);
  SetupSettings& s = g_setupSettings;

  LoadText(kSetup, kBase, "", s.base, file);
  s.flightPlanType = ReadSettingInt(kSetup, kFlightPlanType, d::kFlightPlanType, file);
  s.defaultVfrSquawk = ReadSettingInt(kSetup, kDefaultVfrSquawk, d::kDefaultVfrSquawk, file);
  s.enableWeather = ReadSettingInt(kSetup, kEnableWeather, d::kEnableWeather, file);
  s.weatherFromNoaa = ReadSettingInt(kSetup, kWeatherFromNoaa, d::kWeatherFromNoaa, file);
  s.enableSceneryAdjustHeight = ReadSettingInt(kSetup, kEnableSceneryAdjustHeight, d::kEnableSceneryAdjustHeight, file);
  s.enableMltpChatTextMessages =
      ReadSettingInt(kSetup, kEnableMltpChatTextMessages, d::kEnableMltpChatTextMessages, file);
  s.enableAutomaticSyncDateTime =
      ReadSettingInt(kSetup, kEnableAutomaticSyncDateTime, d::kEnableAutomaticSyncDateTime, file);
  s.enableMultiplayerOnStartUp =
      ReadSettingInt(kSetup, kEnableMultiplayerOnStartUp, d::kEnableMultiplayerOnStartUp, file);
  s.enableSoundOnPrivateMsg = ReadSettingInt(kSetup, kEnableSoundOnPrivateMsg, d::kEnableSoundOnPrivateMsg, file);

  g_networkSettings.fsPort = ReadSettingInt(kNetwork, kFsPortNumber, d::kFsPortNumber, file);

  LoadText(kWeather, kUrl, d::kWeatherUrl, g_weatherSettings.url, file);
  g_weatherSettings.offset = static_cast<std::uint16_t>(ReadSettingInt(kWeather, kOffset, d::kWeatherOffset, file));

  LoadNetworkSettings(file);
  // Every identity carries the callsign, also one sent before the callsign dialog first shows.
  std::array<char, kCallSignSize> callsign{};
  ReadSettingString(kFlightPlan, kCallSign, "", callsign, file);
  SetOwnCallsign(callsign.data());

  const std::int32_t language = ReadSettingInt(kSetup, kLanguage, d::kLanguage, file);
  Language = (language >= 0 && language <= 2) ? language : 0;
  s.uploadBandWidth = ReadSettingInt(kSetup, kUploadBandWidth, d::kUploadBandWidth, file);
  LoadText(kSetup, kPackageOrder, d::kPackageOrder, s.packageOrder, file);
  LoadText(kSetup, kExcludedPlanes, d::kExcludedPlanes, s.excludedPlanes, file);
  s.textureFollowCallsign = ReadSettingInt(kSetup, kTextureFollowCallsign, d::kTextureFollowCallsign, file);
  s.useFsuipc = ReadSettingInt(kSetup, kUseFsuipc, d::kUseFsuipc, file);
  const std::int32_t quality = ReadSettingInt(kSetup, kAiQuality, d::kAiQuality, file);
  s.aiQuality = quality;
  s.aiQualityTenth = quality / 10.0;
  ReloadVoiceJoystickNumber(file);
  // The airport's own offsets come later, once an airport is near.
  SetDefaultCrossSimOffsets();
  return 1;
}
