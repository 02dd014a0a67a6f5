#include "dialogs/main_setup_dialog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/klib_settings.h"
#include "core/settings.h"
#include "core/settings_keys.h"
#include "dialogs/chat_colours.h"
#include "dialogs/chat_dialog.h"
#include "dialogs/voice_settings_dialog.h"
#include "sim/own_aircraft_poll.h"
#include "sim/rule_appliers.h"
#include "sim/tcas_feed.h"
#include "win/button_ctrl.h"
#include "win/control_base.h"
#include "win/dialog_items.h"
#include "win/edit_ctrl.h"
#include "win/focus.h"
#include "win/gdi.h"
#include "win/paint.h"
#include "win/keys.h"
#include "win/listbox_ctrl.h"
#include "win/messages.h"
#include "win/richedit.h"
#include "win/system_metrics.h"
#include "win/trackbar_ctrl.h"

std::atomic<MainConfigDlg*> g_pMainConfigDlg{nullptr};

namespace {

namespace id = main_setup_id;

// Key codes the forms receive as commands; lParam names the control for 0.
constexpr UINT kKeySelectAll = 0;
constexpr UINT kKeyTab = 9;
constexpr UINT kKeyEnter = 13;
constexpr UINT kKeyEscape = 27;

constexpr int kBaseChars = 4;
constexpr int kPackageListChars = 1019;

struct SquawkRadio {
  int controlId;
  std::uint32_t code;
};
// 7577 (1200) takes every code the others do not.
constexpr std::array<SquawkRadio, 5> kSquawkRadios = {{
    {id::kSquawk1200, 1200},
    {id::kSquawk2000, 2000},
    {id::kSquawk7000, 7000},
    {id::kSquawk0021, 21},
    {id::kSquawk0022, 22},
}};

constexpr std::array<const char*, kUploadBandWidthValues.size()> kUploadBandWidthLabels = {
    "<   64K bits/s  Low", "     64 Kbits /s Normal", "   128 Kbits /s Good", "> 128 Kbits /s Excellent"};

// Accented letters are code page 1252 bytes.
constexpr std::array<const char*, kLanguageCount> kLanguageLabels = {"English", "Fran\xE7" "ais", "Espa\xF1ol"};

struct LanguageText {
  int controlId;  // 0: the window title
  const char* english;
  const char* french;
  const char* spanish;
};

constexpr LanguageText kLanguageTexts[] = {
    {0, "Main setup",
     "R\xE9glages g\xE9n\xE9raux",
     "Arreglos principales"},
    {7090, "Language",
     "Langue",
     "Idioma"},
    {7091, "Voice system",
     "Transmission voix",
     "Voz"},
    {7092, "Default VFR Squawk",
     "Squawk VFR par d\xE9" "faut",
     "Squawk VFR por defecto"},
    {7103, "Weather",
     "M\xE9t\xE9o",
     "Tiempo"},
    {7104, "Flight Plan",
     "Plan de vol",
     "Plan de vuelo"},
    {7105, "Miscellaneous ...",
     "Autres ...",
     "Otros"},
    {7109, "Upload bandwidth",
     "D\xE9" "bit montant",
     "Banda de subida"},
    {7110, "Package / Liveries manufacturers priority (choice order : First = Highest)",
     "Priorit\xE9s d'usage des textures (Ordre des choix : Premier = Prioritaire)",
     "Prioridad de Paquetes / Libreas de fabricantes (elegir orden: Primero = La m\xE1s alta)"},
    {7111, "Planes manufacturers to exclude",
     "Fabricants d'avions \xE0 exclure",
     "Fabricantes de avi\xF3nes a evitar usar"},
    {7107, "Traffic around drawing mode",
     "Affichage des avions autour",
     "Para dibujar los avi\xF3nes alrededor"},
    {7068, "Real time weather monitoring",
     "Gestion M\xE9t\xE9o en temps r\xE9" "el",
     "Supervisar el clima"},
    {7072, "Get metars from NOAA server",
     "Utiliser les metars du NOAA",
     "Usar los metars del NOAA"},
    {7069, "Check to enable the 'Leveler'",
     "Egaliser la hauteur des avions",
     "Iguale la altitud de los avi\xF3nes"},
    {7067, "Automatic true time && date setup",
     "Gestion heure / date automatique",
     "Fecha y clima actualizaci\xF3n autom\xE1tica"},
    {7088, "Show network messages on FS Text Display",
     "R\xE9percuter les messages sur l'affichage de FS",
     "Reverberar mensajes en la l\xEDnea de texto del FS"},
    {7093, "Launch multiplayer session @ startup",
     "Lancer la session Multiplayer au d\xE9marrage",
     "Lanzar la sesi\xF3n multi-jugador al iniciar"},
    {7095, "Enable sounds",
     "Autoriser les sons",
     "Permita los sonidos"},
    {7073, "Use the first 3 characters of the callsign to match the best texture for the A.I.planes.",
     "Utiliser les 3 premiers caract\xE8res du callsign pour choisir la texture des avions A.I.",
     "Preferentemente use el callsign para seleccionar la textura mejor de los aviones alrededor."},
    {7089, "Save",
     "Enregistrer",
     "Grabar"},
};

constexpr char kLanguageLaterNotice[] = "This language will be available in a later version.";
constexpr char kFsuipcDisabled[] = "FSUIPC disabled";

MainSetupActions& Actions() {
  static MainSetupActions actions = DefaultMainSetupActions();
  return actions;
}

void PrintToChat(int colourField, DWORD effects, const char* text) {
  CCchatDlg* chat = g_pChatDlg.load();
  if (chat == nullptr) return;
  chat->SetFormat(effects, Klib().Colour(colourField));
  chat->PrintLineText(text);
}

template <std::size_t N>
std::string TextOf(const std::array<char, N>& buffer) {
  return std::string(buffer.data(), ::strnlen(buffer.data(), N));
}

}  // namespace

MainSetupActions DefaultMainSetupActions() {
  MainSetupActions actions;
  actions.sendSquawk = &SetSimSquawk;
  actions.syncDateTime = &RequestSimDateTimeSync;
  actions.applyRules = [] { ApplyTypeTranslationRules(); };
  actions.startFsuipc = &StartFsuipc;
  actions.stopFsuipc = &StopFsuipc;
  return actions;
}

void SetMainSetupActions(const MainSetupActions& actions) { Actions() = actions; }

std::uint32_t ShownVfrSquawk(std::int32_t value) {
  for (const SquawkRadio& radio : kSquawkRadios) {
    if (static_cast<std::int64_t>(radio.code) == value) return radio.code;
  }
  return kSquawkRadios[0].code;
}

int UploadBandWidthEntry(std::int32_t value) {
  if (value < kUploadBandWidthValues[1]) return 0;
  if (value == kUploadBandWidthValues[1]) return 1;
  if (value == kUploadBandWidthValues[2]) return 2;
  if (value > kUploadBandWidthValues[2]) return 3;
  return 0;
}

MainConfigDlg::MainConfigDlg() : CDialogEx(kMainSetupTemplate) {}

MainConfigDlg::~MainConfigDlg() {
  if (g_pMainConfigDlg.load() == this) g_pMainConfigDlg = nullptr;
  DestroyWindow();
}

BOOL MainConfigDlg::OnInitDialog() {
  CDialogEx::OnInitDialog();
  if (auto* base = dynamic_cast<CEdit*>(GetDlgItem(id::kBase))) base->LimitText(kBaseChars);
  for (int list : {id::kExcludedPlanes, id::kPackageOrder}) {
    if (auto* edit = dynamic_cast<CEdit*>(GetDlgItem(list))) edit->LimitText(kPackageListChars);
  }
  if (auto* languages = dynamic_cast<CComboBox*>(GetDlgItem(id::kLanguage))) {
    languages->ResetContent();
    for (const char* label : kLanguageLabels) languages->AddString(label);
  }
  if (auto* bandwidths = dynamic_cast<CComboBox*>(GetDlgItem(id::kUploadBandWidth))) {
    bandwidths->ResetContent();
    for (const char* label : kUploadBandWidthLabels) bandwidths->AddString(label);
  }
  if (auto* slider = dynamic_cast<CSliderCtrl*>(GetDlgItem(id::kAiQuality))) {
    slider->SetRange(kAiQualityMin, kAiQualityMax);
  }
  return TRUE;
}

std::optional<RulesControlColours> MainSetupColoursFor(int controlId, UINT message, bool night,
                                                       const KlibSettings& settings) {
  const COLORREF background = night ? kRulesNightBackground : kRulesDayBackground;
  if (message == WM_CTLCOLORDLG) return RulesControlColours{std::nullopt, background, false};
  if (message != WM_CTLCOLORSTATIC && message != WM_CTLCOLORBTN) return std::nullopt;
  if (controlId == id::kAiQualityFactor) return RulesControlColours{settings.Colour(24), background, true};
  return RulesControlColours{std::nullopt, background, true};
}

LRESULT MainConfigDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CTLCOLORDLG || message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN) {
    const auto control = static_cast<HWND>(lParam);
    const int controlId = message == WM_CTLCOLORDLG || control == m_hWnd ? 0 : ::GetDlgCtrlID(control);
    const auto colours = MainSetupColoursFor(controlId, message, g_nightFlag.load() != 0, Klib());
    if (const LRESULT brush = AnswerControlColours(colours, brushes_, wParam); brush != 0) return brush;
  }
  const LRESULT result = CDialogEx::WindowProc(message, wParam, lParam);
  if (message == WM_SHOWWINDOW && wParam != 0) {
    weatherSwitchedOn_ = false;
    if (!filled_) OnFirstShow();
  } else if (message == WM_HSCROLL) {
    const CWnd* slider = GetDlgItem(id::kAiQuality);
    if (slider != nullptr && static_cast<HWND>(lParam) == slider->m_hWnd) OnAiQualityMoved();
  }
  return result;
}

BOOL MainConfigDlg::PreTranslateMessage(MSG* msg) {
  if (msg != nullptr && msg->message == WM_KEYDOWN && msg->hwnd != m_hWnd && ::GetParent(msg->hwnd) == m_hWnd) {
    const WPARAM key = msg->wParam;
    const bool multiLine = (SendMessageA(msg->hwnd, ControlStyleMessage(), 0, 0) & ES_MULTILINE) != 0;
    if (key == kKeyTab || key == kKeyEscape || (key == kKeyEnter && !multiLine)) return OnCommand(key, 0);
  }
  return CDialogEx::PreTranslateMessage(msg);
}

void MainConfigDlg::OnFirstShow() {
  filled_ = true;
  CentreOnDesktop();
  // Fills the slider too.
  FillControls();
  SetLanguageTexts();
}

void MainConfigDlg::CentreOnDesktop() {
  RECT own{};
  GetWindowRect(&own);
  const int width = own.right - own.left;
  const int height = own.bottom - own.top;
  MoveWindow((GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width,
             height);
}

bool MainConfigDlg::Checked(int controlId) const { return IsDlgButtonChecked(m_hWnd, controlId) == BST_CHECKED; }

void MainConfigDlg::Check(int controlId, bool checked) {
  CheckDlgButton(m_hWnd, controlId, checked ? BST_CHECKED : BST_UNCHECKED);
}

void MainConfigDlg::FillControls() {
  LoadSetup();
  const SetupSettings& s = g_setupSettings;
  {
    std::lock_guard guard(SettingsTextLock());
    SetDlgItemTextA(m_hWnd, id::kBase, TextOf(s.base).c_str());
    SetDlgItemTextA(m_hWnd, id::kExcludedPlanes, TextOf(s.excludedPlanes).c_str());
    SetDlgItemTextA(m_hWnd, id::kPackageOrder, TextOf(s.packageOrder).c_str());
  }
  Check(id::kPlanFaa, s.flightPlanType == 0);
  Check(id::kPlanIcao, s.flightPlanType == 1);

  const std::uint32_t squawk = ShownVfrSquawk(s.defaultVfrSquawk);
  for (const SquawkRadio& radio : kSquawkRadios) Check(radio.controlId, radio.code == squawk);

  Check(id::kWeather, s.enableWeather != 0);
  Check(id::kWeatherFromNoaa, s.weatherFromNoaa != 0);
  Check(id::kLeveler, s.enableSceneryAdjustHeight != 0);
  Check(id::kNetworkMessages, s.enableMltpChatTextMessages != 0);
  Check(id::kSyncDateTime, s.enableAutomaticSyncDateTime != 0);
  Check(id::kMultiplayerOnStartUp, s.enableMultiplayerOnStartUp != 0);
  Check(id::kSounds, s.enableSoundOnPrivateMsg != 0);
  Check(id::kTextureFollowCallsign, s.textureFollowCallsign != 0);
  Check(id::kUseFsuipc, s.useFsuipc != 0);

  // The language read from the file stays selected, so that a save keeps it.
  if (auto* languages = dynamic_cast<CComboBox*>(GetDlgItem(id::kLanguage))) languages->SetCurSel(Language.load());
  if (auto* bandwidths = dynamic_cast<CComboBox*>(GetDlgItem(id::kUploadBandWidth))) {
    bandwidths->SetCurSel(UploadBandWidthEntry(s.uploadBandWidth));
  }
  if (auto* slider = dynamic_cast<CSliderCtrl*>(GetDlgItem(id::kAiQuality))) {
    slider->SetPos(s.aiQuality.load());
    ShowAiQualityFactor(slider->GetPos());
  }
  if (Actions().sendSquawk != nullptr) Actions().sendSquawk(squawk);
}

void MainConfigDlg::SetLanguageTexts() {
  for (const LanguageText& text : kLanguageTexts) {
    const char* shown = PickLanguage(text.english, text.french, text.spanish);
    if (text.controlId == 0) {
      SetWindowText(shown);
    } else {
      SetDlgItemTextA(m_hWnd, text.controlId, shown);
    }
  }
}

void MainConfigDlg::ShowPilotName(const std::string& first, const std::string& last) {
  SetDlgItemTextA(m_hWnd, id::kFirstName, first.c_str());
  SetDlgItemTextA(m_hWnd, id::kLastName, last.c_str());
}

void MainConfigDlg::OnLanguageChosen() {
  const auto* languages = dynamic_cast<CComboBox*>(GetDlgItem(id::kLanguage));
  if (languages == nullptr) return;
  const int chosen = languages->GetCurSel();
  if (chosen >= 0 && chosen < kLanguageCount) {
    Language = chosen;
  } else if (chosen >= kLanguageCount) {
    PrintToChat(kColour25, CFE_BOLD, kLanguageLaterNotice);
  }
  SetLanguageTexts();
}

void MainConfigDlg::OnSquawkClicked(int controlId) {
  for (const SquawkRadio& radio : kSquawkRadios) {
    if (radio.controlId != controlId || !Checked(controlId)) continue;
    g_setupSettings.defaultVfrSquawk = static_cast<std::int32_t>(radio.code);
    if (Actions().sendSquawk != nullptr) Actions().sendSquawk(radio.code);
  }
}

void MainConfigDlg::OnAiQualityMoved() {
  auto* slider = dynamic_cast<CSliderCtrl*>(GetDlgItem(id::kAiQuality));
  if (slider == nullptr) return;
  const int position = slider->GetPos();
  g_setupSettings.aiQuality = position;
  g_setupSettings.aiQualityTenth = position / 10.0;
  ShowAiQualityFactor(position);
}

void MainConfigDlg::ShowAiQualityFactor(int position) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", position / 10.0);
  SetDlgItemTextA(m_hWnd, id::kAiQualityFactor, text);
}

void MainConfigDlg::ToggleVoiceSettings() {
  CVoiceSettingsDlg* voice = g_pVoiceSettingsDlg.load();
  if (voice == nullptr || voice->m_hWnd == 0) return;
  voice->ShowWindow(voice->IsWindowVisible() ? SW_HIDE : SW_SHOW);
}

void MainConfigDlg::SaveSettings() {
  using namespace settings_key;
  SetupSettings& s = g_setupSettings;

  std::array<char, kBaseSize> base{};
  GetDlgItemTextA(m_hWnd, id::kBase, base.data(), static_cast<int>(base.size()));
  std::array<char, kPackageListSize> excluded{};
  GetDlgItemTextA(m_hWnd, id::kExcludedPlanes, excluded.data(), static_cast<int>(excluded.size()));
  std::array<char, kPackageListSize> order{};
  GetDlgItemTextA(m_hWnd, id::kPackageOrder, order.data(), static_cast<int>(order.size()));
  base.back() = excluded.back() = order.back() = '\0';
  {
    std::lock_guard guard(SettingsTextLock());
    s.base = base;
    s.excludedPlanes = excluded;
    s.packageOrder = order;
  }

  if (Checked(id::kPlanFaa)) {
    s.flightPlanType = 0;
  } else if (Checked(id::kPlanIcao)) {
    s.flightPlanType = 1;
  }
  std::uint32_t squawk = kSquawkRadios[0].code;
  for (const SquawkRadio& radio : kSquawkRadios) {
    if (Checked(radio.controlId)) squawk = radio.code;
  }
  s.defaultVfrSquawk = static_cast<std::int32_t>(squawk);

  s.enableWeather = Checked(id::kWeather) ? 1 : 0;
  s.weatherFromNoaa = Checked(id::kWeatherFromNoaa) ? 1 : 0;
  s.enableSceneryAdjustHeight = Checked(id::kLeveler) ? 1 : 0;
  s.enableMltpChatTextMessages = Checked(id::kNetworkMessages) ? 1 : 0;
  s.enableAutomaticSyncDateTime = Checked(id::kSyncDateTime) ? 1 : 0;
  s.enableMultiplayerOnStartUp = Checked(id::kMultiplayerOnStartUp) ? 1 : 0;
  s.enableSoundOnPrivateMsg = Checked(id::kSounds) ? 1 : 0;
  s.textureFollowCallsign = Checked(id::kTextureFollowCallsign) ? 1 : 0;
  const std::int32_t fsuipcBefore = s.useFsuipc.load();
  s.useFsuipc = Checked(id::kUseFsuipc) ? 1 : 0;

  if (const auto* languages = dynamic_cast<CComboBox*>(GetDlgItem(id::kLanguage))) {
    const int chosen = languages->GetCurSel();
    if (chosen >= 0 && chosen < kLanguageCount) Language = chosen;
  }
  int bandwidthEntry = -1;
  if (const auto* bandwidths = dynamic_cast<CComboBox*>(GetDlgItem(id::kUploadBandWidth))) {
    bandwidthEntry = bandwidths->GetCurSel();
  }
  if (bandwidthEntry >= 0 && bandwidthEntry < static_cast<int>(kUploadBandWidthValues.size())) {
    s.uploadBandWidth = kUploadBandWidthValues[static_cast<std::size_t>(bandwidthEntry)];
  } else {
    bandwidthEntry = -1;
  }
  if (auto* slider = dynamic_cast<CSliderCtrl*>(GetDlgItem(id::kAiQuality))) {
    s.aiQuality = slider->GetPos();
    s.aiQualityTenth = s.aiQuality.load() / 10.0;
  }

  if (weatherSwitchedOn_ && Actions().weatherSwitchedOn != nullptr) Actions().weatherSwitchedOn();
  weatherSwitchedOn_ = false;
  if (s.enableAutomaticSyncDateTime != 0 && Actions().syncDateTime != nullptr) Actions().syncDateTime();
  if (s.useFsuipc != fsuipcBefore) {
    if (s.useFsuipc != 0) {
      PrintToChat(kColourNormal, 0, "");
      if (Actions().startFsuipc != nullptr) Actions().startFsuipc();
    } else {
      if (Actions().stopFsuipc != nullptr) Actions().stopFsuipc();
      PrintToChat(kColourEmphasis, 0, kFsuipcDisabled);
    }
  }

  WriteSettingString(kSetup, kBase, base.data());
  const std::pair<const char*, std::int32_t> numbers[] = {
      {kFlightPlanType, s.flightPlanType},
      {kDefaultVfrSquawk, s.defaultVfrSquawk},
      {kEnableWeather, s.enableWeather},
      {kWeatherFromNoaa, s.weatherFromNoaa},
      {kEnableSceneryAdjustHeight, s.enableSceneryAdjustHeight},
      {kEnableMltpChatTextMessages, s.enableMltpChatTextMessages},
      {kEnableAutomaticSyncDateTime, s.enableAutomaticSyncDateTime},
      {kEnableMultiplayerOnStartUp, s.enableMultiplayerOnStartUp},
      {kEnableSoundOnPrivateMsg, s.enableSoundOnPrivateMsg},
      {kLanguage, Language},
      {kTextureFollowCallsign, s.textureFollowCallsign},
      {kUseFsuipc, s.useFsuipc},
      {kAiQuality, s.aiQuality},
  };
  for (const auto& [key, value] : numbers) WriteSettingInt(kSetup, key, value);
  if (bandwidthEntry >= 0) WriteSettingInt(kSetup, kUploadBandWidth, s.uploadBandWidth);
  WriteSettingString(kSetup, kExcludedPlanes, excluded.data());
  WriteSettingString(kSetup, kPackageOrder, order.data());

  // The excluded makers and the package order choose the models.
  if (Actions().applyRules != nullptr) Actions().applyRules();
}

void MainConfigDlg::SelectAllOf(int controlId) {
  if (CWnd* control = GetDlgItem(controlId)) control->SendMessage(EM_SETSEL, 0, -1);
}

void MainConfigDlg::MoveFocus(bool back) {
  const HWND focus = GetFocus();
  const bool ours = focus != 0 && ::GetParent(focus) == m_hWnd;
  if (const HWND next = GetNextDlgTabItem(m_hWnd, ours ? focus : 0, back ? TRUE : FALSE); next != 0) SetFocus(next);
}

BOOL MainConfigDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  const int control = LOWORD(wParam);
  const WORD code = HIWORD(wParam);
  if (control == id::kLanguage) {
    if (code == CBN_SELCHANGE) OnLanguageChosen();
    return TRUE;
  }
  if (control == id::kWeather && code == BN_CLICKED && Checked(id::kWeather)) weatherSwitchedOn_ = true;
  if (control >= id::kSquawk1200 && control <= id::kSquawk0022) {
    if (code == BN_CLICKED) OnSquawkClicked(control);
    return TRUE;
  }
  switch (control) {
    case kKeySelectAll:
      if (lParam != 0 && lParam < 0x10000) SelectAllOf(static_cast<int>(lParam));
      return TRUE;
    case kKeyTab:
      MoveFocus(GetKeyState(VK_SHIFT) < 0);
      return TRUE;
    case kKeyEnter:
      OnOK();
      return TRUE;
    case kKeyEscape:
      OnCancel();
      return TRUE;
    case id::kVoiceSettings:
      ToggleVoiceSettings();
      return TRUE;
    case id::kSave:
      SaveSettings();
      ShowWindow(SW_HIDE);
      return TRUE;
    default:
      return CDialogEx::OnCommand(wParam, lParam);
  }
}
