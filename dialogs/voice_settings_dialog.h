// The voice settings: devices, levels and the push-to-talk key.
#pragma once

#include <atomic>

#include "win/dialog.h"

constexpr UINT kVoiceSettingsTemplate = 7060;

class CVoiceSettingsDlg : public CDialogEx {
 public:
  CVoiceSettingsDlg();
  ~CVoiceSettingsDlg() override;
};

// The dialog, once created (any thread reads it).
extern std::atomic<CVoiceSettingsDlg*> g_pVoiceSettingsDlg;
