#include "dialogs/voice_settings_dialog.h"

std::atomic<CVoiceSettingsDlg*> g_pVoiceSettingsDlg{nullptr};

CVoiceSettingsDlg::CVoiceSettingsDlg() : CDialogEx(kVoiceSettingsTemplate) {}

CVoiceSettingsDlg::~CVoiceSettingsDlg() {
  if (g_pVoiceSettingsDlg.load() == this) g_pVoiceSettingsDlg = nullptr;
  DestroyWindow();
}
