// The main setup: language, squawk, bandwidth, weather, traffic and sound options.
// The controls are filled from [SETUP] on the first show and keep what the pilot
// left in them afterwards; nothing is stored until "Save".
#pragma once

#include <array>
#include <atomic>
#include <optional>
#include <cstdint>
#include <string>

#include "dialogs/rules_dialog_colours.h"
#include "win/dialog.h"

constexpr UINT kMainSetupTemplate = 7005;

namespace main_setup_id {
constexpr int kBase = 7011;
constexpr int kPlanFaa = 7084;
constexpr int kPlanIcao = 7085;
constexpr int kSquawk1200 = 7577;
constexpr int kSquawk2000 = 7578;
constexpr int kSquawk7000 = 7579;
constexpr int kSquawk0021 = 7580;
constexpr int kSquawk0022 = 7581;
constexpr int kWeather = 7068;
constexpr int kWeatherFromNoaa = 7072;
constexpr int kLeveler = 7069;
constexpr int kNetworkMessages = 7088;
constexpr int kSyncDateTime = 7067;
constexpr int kMultiplayerOnStartUp = 7093;
constexpr int kSounds = 7095;
constexpr int kTextureFollowCallsign = 7073;
constexpr int kUseFsuipc = 7070;
constexpr int kLanguage = 7102;
constexpr int kUploadBandWidth = 7108;
constexpr int kAiQuality = 7249;
constexpr int kExcludedPlanes = 7117;
constexpr int kPackageOrder = 7114;
constexpr int kFirstName = 7008;
constexpr int kLastName = 7009;
constexpr int kAiQualityFactor = 7200;
constexpr int kVoiceSettings = 7242;
constexpr int kSave = 7089;
}  // namespace main_setup_id

// Entries of 7108 and the value each saves.
inline constexpr std::array<std::int32_t, 4> kUploadBandWidthValues = {28800, 65536, 131072, 262144};
inline constexpr int kAiQualityMin = 5;
inline constexpr int kAiQualityMax = 300;
// Entries of 7102: 0 English, 1 French, 2 Spanish.
inline constexpr int kLanguageCount = 3;

// What a save or a squawk click sets off outside the dialog. The defaults reach
// the simulator link and the rules; tests count the calls instead.
struct MainSetupActions {
  int (*sendSquawk)(std::uint32_t code) = nullptr;
  int (*syncDateTime)() = nullptr;
  void (*applyRules)() = nullptr;
  // The traffic-tables link: opened when switched on, its state cleared when switched off.
  void (*startFsuipc)() = nullptr;
  void (*stopFsuipc)() = nullptr;
  // The weather was switched on during the visit: the main dialog's weather comes at once.
  void (*weatherSwitchedOn)() = nullptr;
};
MainSetupActions DefaultMainSetupActions();
// UI thread.
void SetMainSetupActions(const MainSetupActions& actions);

// The squawk code a "DefaultVFRSquawk" value shows as (and saves as).
std::uint32_t ShownVfrSquawk(std::int32_t value);
// The entry of 7108 an "UploadBandWidth" value shows.
int UploadBandWidthEntry(std::int32_t value);

// What a control of the dialog (0: the dialog itself) asking with `message` is
// drawn in: labels, group boxes and check boxes on the dialog's background,
// the slider's value in colour field 24; none for the rest.
std::optional<RulesControlColours> MainSetupColoursFor(int controlId, UINT message, bool night,
                                                       const KlibSettings& settings);

class MainConfigDlg : public CDialogEx {
 public:
  MainConfigDlg();
  ~MainConfigDlg() override;

  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  // TAB and ESC in any control, ENTER in a single-line one, become their key commands.
  BOOL PreTranslateMessage(MSG* msg) override;

  // Reloads [SETUP] and fills every control from it.
  void FillControls();
  // Stores every control into the program's settings and the file, with their effects.
  void SaveSettings();
  // The texts of the current language.
  void SetLanguageTexts();
  // The pilot's first and last name, as the node gave them at login.
  void ShowPilotName(const std::string& first, const std::string& last);

 private:
  void OnFirstShow();
  void CentreOnDesktop();
  void OnLanguageChosen();
  void OnSquawkClicked(int controlId);
  void OnAiQualityMoved();
  void ShowAiQualityFactor(int position);
  void ToggleVoiceSettings();
  void SelectAllOf(int controlId);
  void MoveFocus(bool back);
  bool Checked(int controlId) const;
  void Check(int controlId, bool checked);

  bool filled_ = false;
  RulesBrushes brushes_;
  // 7068 ticked by a click since the dialog was last shown.
  bool weatherSwitchedOn_ = false;
};

// The dialog, once created (any thread reads it).
extern std::atomic<MainConfigDlg*> g_pMainConfigDlg;
