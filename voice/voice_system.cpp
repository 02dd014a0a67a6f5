#include "voice/voice_system.h"

#include <array>
#include <atomic>
#include <chrono>

#include "core/main_dialog_state.h"
#include "core/settings.h"
#include "core/settings_keys.h"
#include "net/received_voice_hook.h"
#include "voice/script_audio_library.h"
#include "voice/voice_engine.h"
#include "voice/voice_gain.h"
#include "voice/voice_output.h"

namespace {
std::atomic<bool> g_settingsLoaded{false};
}  // namespace

VoiceEngine& TheVoiceEngine() {
  // Left to the process's end with its thread, as the program never stops voice.
  static AudioLibrary* audio = MakeProgramAudioLibrary();
  static auto* output = new TraceVoiceOutput();
  static auto* node = new NodeWayVoiceLink();
  static auto* engine = new VoiceEngine(*audio, *output, *node);
  return *engine;
}

void LoadVoiceSettings(VoiceEngine& engine, const char* path) {
  using namespace settings_key;
  engine.SetPushToTalkKeys(static_cast<std::uint32_t>(ReadSettingInt(kSetup, kVoiceKeys, 0, path)));
  engine.SetJoystickButtonMask(static_cast<std::uint32_t>(ReadSettingInt(kSetup, kVoiceJoystickButton, 0, path)));
  std::array<char, kVoiceDeviceNameSize> input{};
  std::array<char, kVoiceDeviceNameSize> output{};
  ReadSettingString(kSetup, kVoiceInputDevice, "", input, path);
  ReadSettingString(kSetup, kVoiceOutputDevice, "", output, path);
  engine.SetDeviceNames(input.data(), output.data());
  // The gains follow the stored levels from the start, not only once the sliders are drawn.
  const auto level = [&](const char* key) {
    return static_cast<std::uint32_t>(ReadSettingInt(kSetup, key, static_cast<std::int32_t>(kVoiceLevelDefault), path));
  };
  engine.SetInputLevelDb(DbFromLevel(level(kVoiceInputLevel)));
  engine.SetOutputLevelDb(DbFromLevel(level(kVoiceOutputLevel)));
}

int StartVoiceSystem() {
  VoiceEngine& engine = TheVoiceEngine();
  if (!g_settingsLoaded.exchange(true)) {
    LoadVoiceSettings(engine);
    SetReceivedVoiceHandler(&PlayReceivedVoice);
  }
  const int result = engine.Start();
  g_voiceStarted.store(engine.Started());
  return result;
}

int RestartVoiceSystem() {
  VoiceEngine& engine = TheVoiceEngine();
  const int result = engine.RestartWithin(kVoiceRestartWait);
  g_voiceStarted.store(engine.Started());
  return result;
}

bool VoiceSystemStarted() { return TheVoiceEngine().Started(); }

bool StopVoiceSystem() {
  const bool stopped = TheVoiceEngine().StopWithin(std::chrono::milliseconds(kVoiceQuitWaitMs));
  g_voiceStarted.store(TheVoiceEngine().Started());
  return stopped;
}

void PlayReceivedVoice(std::span<const std::uint8_t> frame) { TheVoiceEngine().PlayReceived(frame); }
