// The voice settings: devices, levels and the push-to-talk key.
//
// Created once with the other dialogs and only shown and hidden afterwards.
// Its initialisation reads the [SETUP] voice keys and hands them to the voice
// engine, levels included, so the gains are right before the dialog is ever
// shown. Save writes the keys and restarts voice only when a device changed.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "controls/slider_ctrl_ex.h"
#include "win/dialog.h"

class VoiceEngine;

constexpr UINT kVoiceSettingsTemplate = 7060;
constexpr int kVoiceEnabledId = 7159;
constexpr int kVoiceInputSliderId = 7241;
constexpr int kVoiceOutputSliderId = 7242;
constexpr int kVoiceInputLevelTextId = 7243;
constexpr int kVoiceOutputLevelTextId = 7244;
constexpr int kVoiceInputDeviceId = 1108;
constexpr int kVoiceOutputDeviceId = 1109;
constexpr int kVoiceKeysWinId = 7250;
constexpr int kVoiceKeysCapitalId = 7251;
constexpr int kVoiceJoystickButtonId = 7252;
constexpr int kVoiceJoystickNumberId = 7254;
constexpr int kVoiceSaveId = 7089;
// Entries "1" to "16" of the joystick number list.
constexpr int kVoiceJoystickCount = 16;

// What the dialog drives beyond its window: the program's voice system by default.
struct VoiceSettingsActions {
  VoiceEngine& (*engine)() = nullptr;
  // A restart with a bounded wait for the old thread.
  int (*restart)() = nullptr;
  bool (*started)() = nullptr;
};
VoiceSettingsActions DefaultVoiceSettingsActions();
// Tests replace them before the dialog is created; UI thread.
void SetVoiceSettingsActions(const VoiceSettingsActions& actions);

// "None", or "Button n" with n the 1-based number of the mask's highest set bit.
std::string JoystickButtonText(std::uint32_t mask);
// Whether a device choice names another device than the one configured: an
// empty label stands for the default device, and the default-device suffix
// of the lists does not count.
bool VoiceDeviceChanged(std::string_view configured, std::string_view chosen, std::string_view defaultLabel);

class CVoiceSettingsDlg : public CDialogEx {
 public:
  CVoiceSettingsDlg();
  ~CVoiceSettingsDlg() override;

  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  // A slider's position: stored as its level, then shown.
  void OnLevelPosition(int sliderId, int position);
  // Unless voice is closing: the dB kept and the gain set; the kept dB shown.
  void ShowLevel(int sliderId, float db);
  void ShowJoystickButton();
  // The 100-ms joystick poll, with the buttons pressed now: while the dialog
  // is visible a press becomes the push-to-talk button.
  void TakeJoystickButtons(std::uint32_t buttons);

  std::uint32_t InputLevel() const { return inputLevel_; }
  std::uint32_t OutputLevel() const { return outputLevel_; }
  float InputDb() const { return inputDb_; }
  float OutputDb() const { return outputDb_; }
  std::uint32_t JoystickMask() const { return joystickMask_; }
  const std::string& InputLabel() const { return inputLabel_; }
  const std::string& OutputLabel() const { return outputLabel_; }

 private:
  static int LevelCallback(std::uintptr_t owner, std::uintptr_t id, int position, int dragging);
  void SetUpSlider(CSliderCtrlEx& slider, int id, std::uint32_t level);
  void ReadSettings();
  void OnShow();
  void CentreOnScreen();
  void FillDevices();
  void SelectLabel(int comboId, const std::string& label, const std::string& defaultLabel);
  std::string ComboText(int comboId) const;
  LRESULT ControlColour(HDC dc, HWND control);

  VoiceSettingsActions actions_;
  CSliderCtrlEx inputSlider_;
  CSliderCtrlEx outputSlider_;
  std::uint32_t inputLevel_ = 400;
  std::uint32_t outputLevel_ = 400;
  float inputDb_ = 0.0F;
  float outputDb_ = 0.0F;
  std::uint32_t keys_ = 0;
  std::uint32_t joystickMask_ = 0;
  std::int32_t joystickNumber_ = 1;
  std::string inputLabel_;
  std::string outputLabel_;
  std::string defaultInputLabel_;
  std::string defaultOutputLabel_;
  HBRUSH brush_ = 0;
};

// The dialog, once created (any thread reads it).
extern std::atomic<CVoiceSettingsDlg*> g_pVoiceSettingsDlg;

// The joystick poll's part for this dialog (UI thread): nothing while it is hidden or absent.
void TakeVoiceJoystickButtons(std::uint32_t buttons);
