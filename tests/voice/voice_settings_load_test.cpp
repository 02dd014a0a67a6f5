// The voice keys of the settings file as the engine takes them at start:
// the stored levels give both gains at once.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/settings.h"
#include "core/settings_keys.h"
#include "scripted_audio.h"
#include "support/child_process.h"
#include "voice/voice_engine.h"
#include "voice/voice_system.h"

namespace {

struct LevelCase {
  std::optional<int> input;
  std::optional<int> output;
  float inputGain;
  float outputGain;
};

class VoiceSettingsLoadTest : public ::testing::TestWithParam<LevelCase> {
 protected:
  TempFolder folder;
  std::string path = folder.Path() + "/Tavelkor.ini";
  ScriptedAudio audio;
  RecordingVoiceOutput output;
  RecordingNodeLink node;
  VoiceEngine engine{audio, output, node};
};

TEST_P(VoiceSettingsLoadTest, TheStoredLevelsSetBothGains) {
  const LevelCase& c = GetParam();
  using namespace settings_key;
  if (c.input) WriteSettingInt(kSetup, kVoiceInputLevel, *c.input, path.c_str());
  if (c.output) WriteSettingInt(kSetup, kVoiceOutputLevel, *c.output, path.c_str());
  WriteSettingInt(kSetup, kVoiceKeys, 0, path.c_str());
  LoadVoiceSettings(engine, path.c_str());
  EXPECT_NEAR(engine.InputGain(), c.inputGain, 1e-3);
  EXPECT_NEAR(engine.OutputGain(), c.outputGain, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(Levels, VoiceSettingsLoadTest,
                         ::testing::Values(LevelCase{std::nullopt, std::nullopt, 1.0F, 1.0F},  // 400 by default
                                           LevelCase{0, 500, 0.1F, 1.778F},
                                           LevelCase{200, 300, 0.3162F, 0.5623F},
                                           // Beyond the slider's end, as the slider takes it.
                                           LevelCase{9999, 400, 1.778F, 1.0F}));

}  // namespace
