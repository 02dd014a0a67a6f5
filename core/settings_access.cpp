#include <algorithm>
#include <cstdio>
#include <limits>

#include "core/app_paths.h"
#include "core/settings.h"
#include "core/settings_keys.h"
#include "win/ascii_case.h"
#include "win/profile.h"

namespace {
std::atomic<std::int32_t> g_voiceJoystickNumber{0};

// A write of the key that the joystick poll keeps refreshes its copy.
void RefreshAfterWrite(const char* section, const char* key, const char* path) {
  if (section == nullptr || key == nullptr) return;
  if (!AsciiEqualNoCase(section, settings_key::kSetup) || !AsciiEqualNoCase(key, settings_key::kVoiceJoystickNumber))
    return;
  if (path != nullptr && g_appPaths().settingsFile != path) return;
  ReloadVoiceJoystickNumber(nullptr);
}
}  // namespace

std::int32_t VoiceJoystickNumber() { return g_voiceJoystickNumber.load(); }

void ReloadVoiceJoystickNumber(const char* path) {
  g_voiceJoystickNumber = ReadSettingInt(settings_key::kSetup, settings_key::kVoiceJoystickNumber, 0, path);
}

const char* SettingsFilePath(const char* path) { return path != nullptr ? path : g_appPaths().settingsFile.c_str(); }

std::int32_t ReadSettingInt(const char* section, const char* key, std::int32_t defaultValue, const char* path) {
  return static_cast<std::int32_t>(GetPrivateProfileIntA(section, key, defaultValue, SettingsFilePath(path)));
}

DWORD ReadSettingString(const char* section, const char* key, const char* defaultValue, std::span<char> buffer,
                        const char* path) {
  if (buffer.empty()) return 0;
  const auto size = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), std::numeric_limits<DWORD>::max()));
  const DWORD copied =
      GetPrivateProfileStringA(section, key, defaultValue, buffer.data(), size, SettingsFilePath(path));
  buffer.back() = '\0';
  return copied;
}

BOOL WriteSettingInt(const char* section, const char* key, std::int32_t value, const char* path) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
  const BOOL written = WritePrivateProfileStringA(section, key, text, SettingsFilePath(path));
  RefreshAfterWrite(section, key, path);
  return written;
}

BOOL WriteSettingString(const char* section, const char* key, const char* value, const char* path) {
  const BOOL written = WritePrivateProfileStringA(section, key, value, SettingsFilePath(path));
  RefreshAfterWrite(section, key, path);
  return written;
}
