// The settings file "Tavelkor.ini": the keys read at start-up as typed globals,
// the language index, window positions, and the key-by-key writers the dialogs use.
//
// The file is the only store: dialogs read and write their own keys directly.
// The globals below are filled by LoadSetup and LoadNetworkSettings on the UI
// thread. Numbers are atomic words any thread may read; texts change under
// SettingsTextLock(), which other threads take (or use the copying helpers).
// Every function takes an optional explicit file; null means g_appPaths().settingsFile.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>

#include "win/types.h"

// A fixed text buffer holding `text`, cut to fit and terminated.
template <std::size_t N>
constexpr std::array<char, N> SettingText(std::string_view text) {
  static_assert(N > 0);
  std::array<char, N> buffer{};
  for (std::size_t i = 0; i < text.size() && i + 1 < N; ++i) buffer[i] = text[i];
  return buffer;
}

// Defaults of keys missing from the file.
namespace setting_default {
inline constexpr std::int32_t kFlightPlanType = 0;
inline constexpr std::int32_t kDefaultVfrSquawk = 1200;
inline constexpr std::int32_t kEnableWeather = 1;
inline constexpr std::int32_t kWeatherFromNoaa = 0;
inline constexpr std::int32_t kEnableSceneryAdjustHeight = 1;
inline constexpr std::int32_t kEnableMltpChatTextMessages = 1;
inline constexpr std::int32_t kEnableAutomaticSyncDateTime = 0;
inline constexpr std::int32_t kEnableMultiplayerOnStartUp = 1;
inline constexpr std::int32_t kEnableSoundOnPrivateMsg = 1;
inline constexpr std::int32_t kLanguage = 0;
inline constexpr std::int32_t kUploadBandWidth = 65536;
inline constexpr char kPackageOrder[] = "GLOBS PAI AIA CFSO";
inline constexpr char kExcludedPlanes[] = "PMDG PSS";
inline constexpr std::int32_t kTextureFollowCallsign = 0;
inline constexpr std::int32_t kUseFsuipc = 0;
inline constexpr std::int32_t kAiQuality = 18;
inline constexpr std::int32_t kOrvenaPortNumber = 55009;
inline constexpr std::int32_t kXplaneDllPortNumber = 55007;
inline constexpr std::int32_t kFsPortNumber = 23456;
// One blank: a key present but empty reads as "", a missing one as " ".
inline constexpr char kWebsite[] = " ";
inline constexpr char kPagePath[] = " ";
// Our own server name; tests point the key at a local stand-in.
inline constexpr char kWeatherUrl[] = "ftp://metar.example.net/data/observations/metar/stations";
inline constexpr std::int32_t kWeatherOffset = 17;
// [FLIGHT PLAN], read and written by the flight-plan forms.
inline constexpr char kFlightType[] = "V";
inline constexpr char kAircraftType[] = "BE58";
inline constexpr std::int32_t kAircraftIndex = 0;
inline constexpr std::int32_t kCruiseSpeed = 110;
inline constexpr std::int32_t kNumberAboard = 1;
}  // namespace setting_default

// Buffer sizes of the texts (terminator included).
constexpr std::size_t kBaseSize = 5;
constexpr std::size_t kPackageListSize = 1020;
constexpr std::size_t kWebTextSize = 256;
constexpr std::size_t kPilotFieldSize = 16;
constexpr std::size_t kAddressTextSize = 64;
constexpr std::size_t kWeatherUrlSize = 1020;
constexpr std::size_t kHubTextSize = 1024;
constexpr std::size_t kCallSignSize = 16;
constexpr std::size_t kFlightTypeSize = 2;
constexpr std::size_t kAircraftTypeSize = 16;

// [SETUP], in the order LoadSetup reads it (Language is its own global below).
struct SetupSettings {
  std::array<char, kBaseSize> base{};
  std::atomic<std::int32_t> flightPlanType{setting_default::kFlightPlanType};
  std::atomic<std::int32_t> defaultVfrSquawk{setting_default::kDefaultVfrSquawk};
  std::atomic<std::int32_t> enableWeather{setting_default::kEnableWeather};
  std::atomic<std::int32_t> weatherFromNoaa{setting_default::kWeatherFromNoaa};
  std::atomic<std::int32_t> enableSceneryAdjustHeight{setting_default::kEnableSceneryAdjustHeight};
  std::atomic<std::int32_t> enableMltpChatTextMessages{setting_default::kEnableMltpChatTextMessages};
  std::atomic<std::int32_t> enableAutomaticSyncDateTime{setting_default::kEnableAutomaticSyncDateTime};
  std::atomic<std::int32_t> enableMultiplayerOnStartUp{setting_default::kEnableMultiplayerOnStartUp};
  std::atomic<std::int32_t> enableSoundOnPrivateMsg{setting_default::kEnableSoundOnPrivateMsg};
  std::atomic<std::int32_t> uploadBandWidth{setting_default::kUploadBandWidth};
  std::array<char, kPackageListSize> packageOrder = SettingText<kPackageListSize>(setting_default::kPackageOrder);
  std::array<char, kPackageListSize> excludedPlanes = SettingText<kPackageListSize>(setting_default::kExcludedPlanes);
  std::atomic<std::int32_t> textureFollowCallsign{setting_default::kTextureFollowCallsign};
  std::atomic<std::int32_t> useFsuipc{setting_default::kUseFsuipc};
  std::atomic<std::int32_t> aiQuality{setting_default::kAiQuality};
  std::atomic<double> aiQualityTenth{setting_default::kAiQuality / 10.0};
};
static_assert(sizeof(SetupSettings::base) == 5 && sizeof(SetupSettings::packageOrder) == 1020);

// One of the six [NETWORK.%d] slots.
struct NetworkSlot {
  std::array<char, kWebTextSize> website = SettingText<kWebTextSize>(setting_default::kWebsite);
  std::array<char, kWebTextSize> pagePath = SettingText<kWebTextSize>(setting_default::kPagePath);
  std::array<char, kPilotFieldSize> pilotId{};
  std::array<char, kPilotFieldSize> pilotPassword{};  // never traced or printed
};
static_assert(sizeof(NetworkSlot::website) == 256 && sizeof(NetworkSlot::pagePath) == 256);
static_assert(sizeof(NetworkSlot::pilotId) == 16 && sizeof(NetworkSlot::pilotPassword) == 16);

constexpr int kNetworkSlotCount = 6;
constexpr int kTrustedAddressKeyCount = 10;

// [NETWORK], the slots, and the site in use.
struct NetworkSettings {
  std::atomic<std::uint16_t> orvenaPort{setting_default::kOrvenaPortNumber};
  std::atomic<std::uint16_t> xplaneDllPort{setting_default::kXplaneDllPortNumber};
  std::atomic<std::int32_t> fsPort{setting_default::kFsPortNumber};  // kept, not used further
  std::array<char, kAddressTextSize> lanIpAddress{};
  std::array<char, kAddressTextSize> ncssLanIpAddress{};
  std::array<NetworkSlot, kNetworkSlotCount> slots{};
  // The active slot's copy: web host and page, login and password.
  NetworkSlot current{};
  // The active host is a numeric node address: the node is reached without a hub list.
  std::atomic<bool> directAddress{false};
  std::array<char, kHubTextSize> hubText{};
};

// [WEATHER]
struct WeatherSettings {
  std::array<char, kWeatherUrlSize> url = SettingText<kWeatherUrlSize>(setting_default::kWeatherUrl);
  std::atomic<std::uint16_t> offset{setting_default::kWeatherOffset};
};

extern SetupSettings g_setupSettings;
extern NetworkSettings g_networkSettings;
extern WeatherSettings g_weatherSettings;

// The explicit file, or the program's settings file when null.
const char* SettingsFilePath(const char* path = nullptr);

// Held while any settings text is written; readers on other threads take it too.
std::mutex& SettingsTextLock();
// Copies of texts for other threads.
NetworkSlot CurrentNetworkSlot();

// Language index: 0 English, 1 French, 2 Spanish.
extern std::atomic<std::int32_t> Language;
// The French text for 1, the Spanish for 2, else the English one.
const char* PickLanguage(const char* en, const char* fr, const char* es);
// Sets any index but 1 and 2 back to 0 (callers that keep only those two).
void ResetUnknownLanguage();

// Reads [SETUP], [NETWORK] "FsPortNumber", [WEATHER], the network keys and the own
// callsign ("CallSign" of [FLIGHT PLAN]), then sets the cross-simulator offsets to
// their defaults. Always 1.
int LoadSetup(const char* path = nullptr);
// Reads [NETWORK], the six slots and [TRUSTED] (each non-empty "IP%d" joins the
// trusted addresses), then makes slot 0 the active one.
void LoadNetworkSettings(const char* path = nullptr);
// Copies the slot (0..5, else nothing happens) into the active site and sets the
// direct-address flag from its host: a numeric host becomes the hub text, any
// other host empties it (no hub list is known for that site yet).
void ActivateNetworkSlot(int slot);

// [SETUP] "VoiceJoystickNumber" (1-based, 0 none): read by LoadSetup and again by every
// writer below that changes it, so that the 100-ms joystick poll never reads the file.
std::int32_t VoiceJoystickNumber();
// Reads it again from the file (null: the program's settings file).
void ReloadVoiceJoystickNumber(const char* path = nullptr);

// Window positions in [POSITIONS]: "<prefix>PositionLeft" and so on.
constexpr std::int32_t kNoWindowPosition = 10000;
struct WindowPosition {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  bool operator==(const WindowPosition&) const = default;
};
// Nothing when any of the four keys is missing or holds 10000.
std::optional<WindowPosition> ReadWindowPosition(std::string_view prefix, const char* path = nullptr);
// TRUE when all four keys were written.
BOOL WriteWindowPosition(std::string_view prefix, const WindowPosition& position, const char* path = nullptr);

// Key-by-key access for the dialogs. Strings are cut to the buffer and terminated at its last byte.
std::int32_t ReadSettingInt(const char* section, const char* key, std::int32_t defaultValue,
                            const char* path = nullptr);
DWORD ReadSettingString(const char* section, const char* key, const char* defaultValue, std::span<char> buffer,
                        const char* path = nullptr);
// Integers are written as decimal text; a null string deletes the key.
BOOL WriteSettingInt(const char* section, const char* key, std::int32_t value, const char* path = nullptr);
BOOL WriteSettingString(const char* section, const char* key, const char* value, const char* path = nullptr);
