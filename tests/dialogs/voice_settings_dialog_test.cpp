// The voice settings dialog on the scripted sound device and a real settings
// file: the levels and gains from initialisation on, what a show selects, the
// joystick button, and Save, which restarts voice only for another device.
#include "dialogs/voice_settings_dialog.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/app_paths.h"
#include "core/settings.h"
#include "core/settings_keys.h"
#include "support/child_process.h"
#include "support/klib_fixture.h"
#include "voice/script_audio_library.h"
#include "voice/voice_engine.h"
#include "voice/voice_output.h"
#include "win/button_ctrl.h"
#include "win/control_base.h"
#include "win/dialog_template.h"
#include "win/keys.h"
#include "win/listbox_ctrl.h"
#include "win/messages.h"

namespace {

class NoOutput final : public VoiceOutput {
 public:
  void Line(int, std::string_view) override {}
  void Text(int, std::string_view) override {}
  void Box(const char*, const char*) override {}
};

class NoNode final : public VoiceNodeLink {
 public:
  bool Exists() const override { return false; }
  bool Connected() const override { return false; }
  bool TryPost(std::span<const std::uint8_t>) override { return false; }
};

// The engine the dialog drives, and what its restarts saw.
struct TestVoice {
  TempFolder folder;
  ScriptAudioLibrary audio{folder.Path()};
  NoOutput output;
  NoNode node;
  VoiceEngine engine{audio, output, node};
  bool started = true;
  // The devices the engine would open at each restart.
  std::vector<std::pair<int, int>> restarts;
};
TestVoice* g_voice = nullptr;

VoiceEngine& TestEngine() { return g_voice->engine; }
bool TestStarted() { return g_voice->started; }
int CountingRestart() {
  g_voice->engine.ResolveDevices();
  g_voice->restarts.emplace_back(g_voice->engine.InputDevice(), g_voice->engine.OutputDevice());
  return 0;
}

class VoiceSettingsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetKlibForTest();
    ResetKeyStates();
    InstallDialogTemplates();
    savedSettingsFile_ = g_appPaths().settingsFile;
    g_appPaths().settingsFile = settings_.Path() + "/Tavelkor.ini";
    voice_ = std::make_unique<TestVoice>();
    g_voice = voice_.get();
    SetVoiceSettingsActions({&TestEngine, &CountingRestart, &TestStarted});
  }
  void TearDown() override {
    g_pVoiceSettingsDlg = nullptr;
    dialog_.reset();
    SetVoiceSettingsActions(DefaultVoiceSettingsActions());
    g_voice = nullptr;
    voice_.reset();
    ResetKeyStates();
    g_appPaths().settingsFile = savedSettingsFile_;
  }

  void Store(const char* key, int value) { WriteSettingInt(settings_key::kSetup, key, value); }
  void Store(const char* key, const char* value) { WriteSettingString(settings_key::kSetup, key, value); }
  std::string Stored(const char* key) {
    std::array<char, 300> text{};
    ReadSettingString(settings_key::kSetup, key, "<none>", text);
    return text.data();
  }

  void Create() {
    dialog_ = std::make_unique<CVoiceSettingsDlg>();
    ASSERT_TRUE(dialog_->Create(kVoiceSettingsTemplate));
    g_pVoiceSettingsDlg = dialog_.get();
  }
  void CreateAndShow() {
    Create();
    dialog_->ShowWindow(SW_SHOW);
  }
  std::string Text(int id) {
    std::string text;
    dialog_->GetDlgItem(id)->GetWindowText(text);
    return text;
  }
  CComboBox& Combo(int id) { return *dynamic_cast<CComboBox*>(dialog_->GetDlgItem(id)); }
  CButton& Button(int id) { return *dynamic_cast<CButton*>(dialog_->GetDlgItem(id)); }
  // The user's pick, as the automation's select makes it.
  void Pick(int comboId, const std::string& label) {
    const int index = Combo(comboId).FindStringExact(-1, label.c_str());
    ASSERT_GE(index, 0) << label;
    SendMessageA(Combo(comboId).m_hWnd, ControlSelectMessage(), static_cast<WPARAM>(index), 0);
  }
  void Save() { dialog_->SendMessage(WM_COMMAND, kVoiceSaveId, 0); }

  TempFolder settings_;
  std::string savedSettingsFile_;
  std::unique_ptr<TestVoice> voice_;
  std::unique_ptr<CVoiceSettingsDlg> dialog_;
};

constexpr char kDefaultInput[] = "Script Microphone [ Default Input ]";
constexpr char kDefaultOutput[] = "Script Speaker [ Default Output ]";

struct LevelCase {
  std::optional<int> input;
  std::optional<int> output;
  const char* inputText;
  const char* outputText;
  float inputGain;
  float outputGain;
};

// A dialog that is never shown never paints its sliders: the gains come from initialisation.
TEST_F(VoiceSettingsDialogTest, TheStoredLevelsGiveTheGainsAndTextsBeforeAnyShow) {
  const LevelCase cases[] = {
      {std::nullopt, std::nullopt, "0.00 dB", "0.00 dB", 1.0F, 1.0F},
      {500, 0, "5.00 dB", "-20.00 dB", 1.778F, 0.1F},
      {0, 500, "-20.00 dB", "5.00 dB", 0.1F, 1.778F},
      {123, 9999, "-13.85 dB", "5.00 dB", 0.2029F, 1.778F},
  };
  for (const LevelCase& c : cases) {
    SCOPED_TRACE(c.inputText);
    if (c.input) Store(settings_key::kVoiceInputLevel, *c.input);
    if (c.output) Store(settings_key::kVoiceOutputLevel, *c.output);
    voice_->engine.SetInputGain(1.0F);
    voice_->engine.SetOutputGain(1.0F);
    Create();
    EXPECT_FALSE(dialog_->IsWindowVisible());
    EXPECT_EQ(Text(kVoiceInputLevelTextId), c.inputText);
    EXPECT_EQ(Text(kVoiceOutputLevelTextId), c.outputText);
    EXPECT_NEAR(voice_->engine.InputGain(), c.inputGain, 1e-3);
    EXPECT_NEAR(voice_->engine.OutputGain(), c.outputGain, 1e-3);
    dialog_.reset();
  }
}

TEST_F(VoiceSettingsDialogTest, ASliderMovedSetsItsLevelGainAndText) {
  Create();
  dialog_->OnLevelPosition(kVoiceOutputSliderId, 450);
  EXPECT_EQ(dialog_->OutputLevel(), 450u);
  EXPECT_EQ(Text(kVoiceOutputLevelTextId), "2.50 dB");
  EXPECT_NEAR(voice_->engine.OutputGain(), 1.3335F, 1e-3);
  EXPECT_EQ(dialog_->InputLevel(), 400u) << "the other slider keeps its level";
}

TEST_F(VoiceSettingsDialogTest, JoystickButtonTexts) {
  const std::pair<std::uint32_t, const char*> cases[] = {
      {0, "None"}, {1, "Button 1"}, {0b1001, "Button 4"}, {0x80000000u, "Button 32"}};
  for (const auto& [mask, text] : cases) EXPECT_EQ(JoystickButtonText(mask), text) << mask;
}

TEST_F(VoiceSettingsDialogTest, WhichDeviceChoicesCountAsAChange) {
  struct Case {
    const char* configured;
    const char* chosen;
    bool changed;
  };
  const Case cases[] = {
      {"", kDefaultInput, false},
      {"Script Microphone", kDefaultInput, false},
      {kDefaultInput, kDefaultInput, false},
      {"", "Script Microphone 2", true},
      {"Script Microphone 2", kDefaultInput, true},
      {"Script Microphone 2", "", true},
      {"Script Microphone 2", "Script Microphone 2", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VoiceDeviceChanged(c.configured, c.chosen, kDefaultInput), c.changed)
        << c.configured << " -> " << c.chosen;
  }
}

TEST_F(VoiceSettingsDialogTest, AShowFillsTheDevicesAndSelectsTheConfiguredOnes) {
  Store(settings_key::kVoiceOutputDevice, "Script Speaker 2");
  CreateAndShow();
  EXPECT_EQ(Combo(kVoiceInputDeviceId).Items(), (std::vector<std::string>{kDefaultInput, "Script Microphone 2"}));
  EXPECT_EQ(Combo(kVoiceOutputDeviceId).Items(), (std::vector<std::string>{kDefaultOutput, "Script Speaker 2"}));
  EXPECT_EQ(Text(kVoiceInputDeviceId), kDefaultInput) << "an empty label shows the default device";
  EXPECT_EQ(Text(kVoiceOutputDeviceId), "Script Speaker 2");
  EXPECT_EQ(Button(kVoiceEnabledId).GetCheck(), static_cast<int>(BST_CHECKED));
  SendMessageA(Button(kVoiceEnabledId).m_hWnd, BM_CLICK, 0, 0);
  EXPECT_EQ(Button(kVoiceEnabledId).GetCheck(), static_cast<int>(BST_CHECKED)) << "its click does nothing";
}

TEST_F(VoiceSettingsDialogTest, VoiceNotStartedLeavesTheDeviceListsEmpty) {
  voice_->started = false;
  CreateAndShow();
  EXPECT_EQ(Combo(kVoiceInputDeviceId).GetCount(), 0);
  EXPECT_EQ(Combo(kVoiceOutputDeviceId).GetCount(), 0);
}

TEST_F(VoiceSettingsDialogTest, AShowChecksTheKeysAndSelectsTheJoystickNumber) {
  struct Case {
    int keys;
    int joystickNumber;
    int winCheck;
    int capitalCheck;
    const char* numberText;
  };
  const Case cases[] = {{0, 3, 1, 0, "3"}, {1, 16, 0, 1, "16"}, {2, 0, 0, 0, "1"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    Store(settings_key::kVoiceKeys, c.keys);
    Store(settings_key::kVoiceJoystickNumber, c.joystickNumber);
    CreateAndShow();
    EXPECT_EQ(Button(kVoiceKeysWinId).GetCheck(), c.winCheck);
    EXPECT_EQ(Button(kVoiceKeysCapitalId).GetCheck(), c.capitalCheck);
    EXPECT_EQ(Text(kVoiceJoystickNumberId), c.numberText);
    dialog_.reset();
  }
}

TEST_F(VoiceSettingsDialogTest, TheJoystickPollTakesAPressOnlyWhileTheDialogIsVisible) {
  Store(settings_key::kVoiceJoystickButton, 2);
  Create();
  TakeVoiceJoystickButtons(0b1001);
  EXPECT_EQ(dialog_->JoystickMask(), 2u) << "hidden: the press is the pilot's, not a choice";
  dialog_->ShowWindow(SW_SHOW);
  EXPECT_EQ(Text(kVoiceJoystickButtonId), "Button 2");
  TakeVoiceJoystickButtons(0b1001);
  EXPECT_EQ(dialog_->JoystickMask(), 0b1001u);
  EXPECT_EQ(Text(kVoiceJoystickButtonId), "Button 4");
  TakeVoiceJoystickButtons(0);
  EXPECT_EQ(dialog_->JoystickMask(), 0b1001u) << "no button pressed keeps the choice";
  Save();
  EXPECT_EQ(Stored(settings_key::kVoiceJoystickButton), "9");
}

TEST_F(VoiceSettingsDialogTest, AnUnchangedSaveWritesTheKeysAndRestartsNothing) {
  Store(settings_key::kVoiceInputLevel, 250);
  CreateAndShow();
  dialog_->OnLevelPosition(kVoiceOutputSliderId, 320);
  SendMessageA(Button(kVoiceKeysCapitalId).m_hWnd, BM_CLICK, 0, 0);
  SendMessageA(Combo(kVoiceJoystickNumberId).m_hWnd, ControlSelectMessage(), 4, 0);
  Save();
  EXPECT_TRUE(voice_->restarts.empty());
  EXPECT_FALSE(dialog_->IsWindowVisible());
  EXPECT_EQ(Stored(settings_key::kVoiceKeys), "1");
  EXPECT_EQ(Stored(settings_key::kVoiceInputLevel), "250");
  EXPECT_EQ(Stored(settings_key::kVoiceOutputLevel), "320");
  EXPECT_EQ(Stored(settings_key::kVoiceJoystickButton), "0");
  EXPECT_EQ(Stored(settings_key::kVoiceJoystickNumber), "5");
  EXPECT_EQ(VoiceJoystickNumber(), 5) << "the poll reads the new number";
  EXPECT_EQ(Stored(settings_key::kVoiceInputDevice), kDefaultInput);
  EXPECT_EQ(Stored(settings_key::kVoiceOutputDevice), kDefaultOutput);

  // Shown and saved again with the labels now written: still nothing to restart.
  dialog_->ShowWindow(SW_SHOW);
  Save();
  EXPECT_TRUE(voice_->restarts.empty());
}

TEST_F(VoiceSettingsDialogTest, AnotherDeviceSavedRestartsVoiceOnItOnce) {
  CreateAndShow();
  Pick(kVoiceInputDeviceId, "Script Microphone 2");
  Save();
  ASSERT_EQ(voice_->restarts.size(), 1u);
  EXPECT_EQ(voice_->restarts[0], std::make_pair(kScriptSecondMicrophone, kScriptSpeaker))
      << "the microphone chosen, the speaker as it was";
  EXPECT_EQ(Stored(settings_key::kVoiceInputDevice), "Script Microphone 2");
  EXPECT_EQ(Stored(settings_key::kVoiceOutputDevice), kDefaultOutput);
  EXPECT_EQ(dialog_->InputLabel(), "Script Microphone 2");

  dialog_->ShowWindow(SW_SHOW);
  EXPECT_EQ(Text(kVoiceInputDeviceId), "Script Microphone 2");
  Pick(kVoiceOutputDeviceId, "Script Speaker 2");
  Save();
  ASSERT_EQ(voice_->restarts.size(), 2u);
  EXPECT_EQ(voice_->restarts[1], std::make_pair(kScriptSecondMicrophone, kScriptSecondSpeaker));
}

TEST_F(VoiceSettingsDialogTest, EnterSavesAndEscapeHidesWithoutWriting) {
  CreateAndShow();
  dialog_->SendMessage(WM_COMMAND, 27, 0);
  EXPECT_FALSE(dialog_->IsWindowVisible());
  EXPECT_EQ(Stored(settings_key::kVoiceKeys), "<none>");
  dialog_->ShowWindow(SW_SHOW);
  dialog_->SendMessage(WM_COMMAND, 13, 0);
  EXPECT_FALSE(dialog_->IsWindowVisible());
  EXPECT_EQ(Stored(settings_key::kVoiceKeys), "0");
}

}  // namespace
