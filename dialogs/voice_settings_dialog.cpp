#include "dialogs/voice_settings_dialog.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>

#include "base/klib_settings.h"
#include "core/settings.h"
#include "core/settings_keys.h"
#include "voice/voice_engine.h"
#include "voice/voice_gain.h"
#include "voice/voice_system.h"
#include "win/brush.h"
#include "win/button_ctrl.h"
#include "win/device_context.h"
#include "win/edit_ctrl.h"
#include "win/focus.h"
#include "win/gdi_objects.h"
#include "win/keys.h"
#include "win/listbox_ctrl.h"
#include "win/messages.h"
#include "win/system_metrics.h"

std::atomic<CVoiceSettingsDlg*> g_pVoiceSettingsDlg{nullptr};

namespace {

// Key codes that reach the window as command codes.
constexpr WORD kSelectAllOfControl = 0;
constexpr WORD kKeyTab = 9;
constexpr WORD kKeyEnter = 13;
constexpr WORD kKeyEscape = 27;

constexpr int kSliderTicks = 15;
constexpr COLORREF kLabelBackground = 0x34261E;
// The labels without a use of their own (the template gives them these ids).
constexpr int kFirstLabelId = 65001;
constexpr int kLastLabelId = 65006;
constexpr std::array<int, 6> kColouredControls = {kVoiceInputLevelTextId, kVoiceOutputLevelTextId,
                                                   kVoiceJoystickButtonId, kVoiceKeysWinId,
                                                   kVoiceKeysCapitalId,    kVoiceEnabledId};
constexpr std::array<int, 3> kColouredCombos = {kVoiceInputDeviceId, kVoiceOutputDeviceId, kVoiceJoystickNumberId};

struct LevelBand {
  int low;
  int high;
  COLORREF start;
  COLORREF end;
};
// Red under everything, then black through green and yellow to orange and red.
constexpr std::array<LevelBand, 6> kLevelBands = {{{0, 500, 0x0000FF, 0x0000FF},
                                                   {0, 200, 0x000000, 0x006400},
                                                   {200, 300, 0x006400, 0x008000},
                                                   {300, 400, 0x008000, 0x00FFFF},
                                                   {400, 450, 0x00FFFF, 0x00A5FF},
                                                   {450, 500, 0x00A5FF, 0x0000FF}}};

VoiceSettingsActions& Actions() {
  static VoiceSettingsActions actions = DefaultVoiceSettingsActions();
  return actions;
}

bool ShiftHeld() { return GetKeyState(VK_SHIFT) < 0; }

// A device combo as the engine fills it.
class ComboDeviceList final : public VoiceDeviceList {
 public:
  explicit ComboDeviceList(CComboBox& combo) : combo_(combo) {}
  void Clear() override { combo_.ResetContent(); }
  void SetRedraw(bool on) override { combo_.SetRedraw(on ? TRUE : FALSE); }
  void Add(const std::string& label) override { combo_.AddString(label.c_str()); }

 private:
  CComboBox& combo_;
};

std::uint32_t ReadLevel(const char* key) {
  return static_cast<std::uint32_t>(
      ReadSettingInt(settings_key::kSetup, key, static_cast<std::int32_t>(kVoiceLevelDefault)));
}

BOOL WriteUnsigned(const char* key, std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%u", value);
  return WriteSettingString(settings_key::kSetup, key, text);
}

}  // namespace

VoiceSettingsActions DefaultVoiceSettingsActions() {
  VoiceSettingsActions actions;
  actions.engine = &TheVoiceEngine;
  actions.restart = &RestartVoiceSystem;
  actions.started = &VoiceSystemStarted;
  return actions;
}

void SetVoiceSettingsActions(const VoiceSettingsActions& actions) { Actions() = actions; }

std::string JoystickButtonText(std::uint32_t mask) {
  if (mask == 0) return "None";
  return "Button " + std::to_string(std::bit_width(mask));
}

bool VoiceDeviceChanged(std::string_view configured, std::string_view chosen, std::string_view defaultLabel) {
  const auto device = [&](std::string_view label) {
    return DeviceNameFromLabel(label.empty() ? defaultLabel : label);
  };
  return device(configured) != device(chosen);
}

CVoiceSettingsDlg::CVoiceSettingsDlg() : CDialogEx(kVoiceSettingsTemplate), actions_(Actions()) {}

CVoiceSettingsDlg::~CVoiceSettingsDlg() {
  if (g_pVoiceSettingsDlg.load() == this) g_pVoiceSettingsDlg = nullptr;
  DestroyWindow();
  if (brush_ != 0) DeleteObject(brush_);
}

LRESULT CVoiceSettingsDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      const LRESULT result = CDialogEx::WindowProc(message, wParam, lParam);
      AddControl(inputSlider_, kVoiceInputSliderId);
      AddControl(outputSlider_, kVoiceOutputSliderId);
      return result;
    }
    case WM_SHOWWINDOW: {
      const LRESULT result = CDialogEx::WindowProc(message, wParam, lParam);
      if (wParam != 0) OnShow();
      return result;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      if (const LRESULT brush = ControlColour(static_cast<HDC>(wParam), static_cast<HWND>(lParam));
          brush != 0) {
        return brush;
      }
      break;
    default:
      break;
  }
  return CDialogEx::WindowProc(message, wParam, lParam);
}

LRESULT CVoiceSettingsDlg::ControlColour(HDC dc, HWND control) {
  const int id = ::GetDlgCtrlID(control);
  const bool label = (id >= kFirstLabelId && id <= kLastLabelId) ||
                     std::find(kColouredControls.begin(), kColouredControls.end(), id) != kColouredControls.end();
  // A combo's edit and list parts are its own children.
  const int parentId = ::GetDlgCtrlID(::GetParent(control));
  const bool combo = std::find(kColouredCombos.begin(), kColouredCombos.end(), id) != kColouredCombos.end() ||
                     std::find(kColouredCombos.begin(), kColouredCombos.end(), parentId) != kColouredCombos.end();
  if (!label && !combo) return 0;
  if (brush_ == 0) brush_ = CreateSolidBrush(kLabelBackground);
  SetTextColor(dc, Klib().Colour(kColourNormal));
  SetBkColor(dc, kLabelBackground);
  if (label) SetBkMode(dc, TRANSPARENT);
  return static_cast<LRESULT>(brush_);
}

void CVoiceSettingsDlg::SetUpSlider(CSliderCtrlEx& slider, int id, std::uint32_t level) {
  slider.m_Callback = nullptr;
  slider.m_p2 = 0;
  slider.m_p3 = 0;
  slider.colorList.clear();
  slider.ResetRange();
  slider.SetTicFreq(kSliderTicks);
  for (const LevelBand& band : kLevelBands) slider.AddColor(band.low, band.high, band.start, band.end);
  int min = 0;
  int max = 0;
  slider.GetRange(min, max);
  slider.SetRange(min, max, TRUE);
  slider.m_p2 = reinterpret_cast<std::uintptr_t>(this);
  slider.m_p3 = static_cast<std::uintptr_t>(id);
  slider.m_Callback = &CVoiceSettingsDlg::LevelCallback;
  slider.SetPos(static_cast<int>(std::min(level, kVoiceLevelMax)));
}

void CVoiceSettingsDlg::ReadSettings() {
  using namespace settings_key;
  inputLevel_ = ReadLevel(kVoiceInputLevel);
  outputLevel_ = ReadLevel(kVoiceOutputLevel);
  keys_ = static_cast<std::uint32_t>(ReadSettingInt(kSetup, kVoiceKeys, 0));
  joystickMask_ = static_cast<std::uint32_t>(ReadSettingInt(kSetup, kVoiceJoystickButton, 0));
  joystickNumber_ = ReadSettingInt(kSetup, kVoiceJoystickNumber, 1);
  std::array<char, kVoiceDeviceNameSize> input{};
  std::array<char, kVoiceDeviceNameSize> output{};
  ReadSettingString(kSetup, kVoiceInputDevice, "", input);
  ReadSettingString(kSetup, kVoiceOutputDevice, "", output);
  inputLabel_ = input.data();
  outputLabel_ = output.data();
}

BOOL CVoiceSettingsDlg::OnInitDialog() {
  if (!CDialogEx::OnInitDialog()) return FALSE;
  ReadSettings();
  VoiceEngine& engine = actions_.engine();
  engine.SetPushToTalkKeys(keys_);
  engine.SetJoystickButtonMask(joystickMask_);
  engine.SetDeviceNames(inputLabel_, outputLabel_);
  SetUpSlider(inputSlider_, kVoiceInputSliderId, inputLevel_);
  SetUpSlider(outputSlider_, kVoiceOutputSliderId, outputLevel_);
  // The gains follow the stored levels now: a dialog never shown never paints its sliders.
  OnLevelPosition(kVoiceInputSliderId, inputSlider_.GetPos());
  OnLevelPosition(kVoiceOutputSliderId, outputSlider_.GetPos());
  if (auto* numbers = dynamic_cast<CComboBox*>(GetDlgItem(kVoiceJoystickNumberId))) {
    numbers->ResetContent();
    for (int n = 1; n <= kVoiceJoystickCount; ++n) numbers->AddString(std::to_string(n).c_str());
  }
  return TRUE;
}

int CVoiceSettingsDlg::LevelCallback(std::uintptr_t owner, std::uintptr_t id, int position, int /*dragging*/) {
  if (owner != 0) reinterpret_cast<CVoiceSettingsDlg*>(owner)->OnLevelPosition(static_cast<int>(id), position);
  return 0;
}

void CVoiceSettingsDlg::OnLevelPosition(int sliderId, int position) {
  const auto level = static_cast<std::uint32_t>(std::clamp(position, 0, static_cast<int>(kVoiceLevelMax)));
  if (sliderId == kVoiceInputSliderId) {
    inputLevel_ = level;
  } else if (sliderId == kVoiceOutputSliderId) {
    outputLevel_ = level;
  } else {
    return;
  }
  ShowLevel(sliderId, DbFromLevel(level));
}

void CVoiceSettingsDlg::ShowLevel(int sliderId, float db) {
  VoiceEngine& engine = actions_.engine();
  const bool input = sliderId == kVoiceInputSliderId;
  if (!engine.Closing()) {
    if (input) {
      inputDb_ = db;
      engine.SetInputLevelDb(db);
    } else {
      outputDb_ = db;
      engine.SetOutputLevelDb(db);
    }
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.2f dB", static_cast<double>(input ? inputDb_ : outputDb_));
  if (CWnd* shown = GetDlgItem(input ? kVoiceInputLevelTextId : kVoiceOutputLevelTextId)) shown->SetWindowText(text);
}

void CVoiceSettingsDlg::ShowJoystickButton() {
  if (CWnd* shown = GetDlgItem(kVoiceJoystickButtonId)) shown->SetWindowText(JoystickButtonText(joystickMask_).c_str());
}

void CVoiceSettingsDlg::TakeJoystickButtons(std::uint32_t buttons) {
  if (buttons == 0 || !IsWindowVisible()) return;
  joystickMask_ = buttons;
  actions_.engine().SetJoystickButtonMask(buttons);
  ShowJoystickButton();
}

void CVoiceSettingsDlg::CentreOnScreen() {
  RECT window{};
  GetWindowRect(&window);
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void CVoiceSettingsDlg::OnShow() {
  CentreOnScreen();
  if (auto* enabled = dynamic_cast<CButton*>(GetDlgItem(kVoiceEnabledId))) enabled->SetCheck(BST_CHECKED);
  auto* win = dynamic_cast<CButton*>(GetDlgItem(kVoiceKeysWinId));
  auto* capital = dynamic_cast<CButton*>(GetDlgItem(kVoiceKeysCapitalId));
  if (win != nullptr && capital != nullptr) {
    win->SetCheck(keys_ == 0 ? BST_CHECKED : BST_UNCHECKED);
    capital->SetCheck(keys_ == 1 ? BST_CHECKED : BST_UNCHECKED);
  }
  ShowJoystickButton();
  if (joystickNumber_ == 0) joystickNumber_ = 1;
  if (auto* numbers = dynamic_cast<CComboBox*>(GetDlgItem(kVoiceJoystickNumberId))) {
    numbers->SetCurSel(joystickNumber_ - 1);
  }
  if (actions_.started()) FillDevices();
}

void CVoiceSettingsDlg::FillDevices() {
  auto* inputs = dynamic_cast<CComboBox*>(GetDlgItem(kVoiceInputDeviceId));
  auto* outputs = dynamic_cast<CComboBox*>(GetDlgItem(kVoiceOutputDeviceId));
  if (inputs == nullptr || outputs == nullptr) return;
  ComboDeviceList inputList(*inputs);
  ComboDeviceList outputList(*outputs);
  VoiceEngine& engine = actions_.engine();
  if (engine.FillDeviceLists(&inputList, &outputList) <= 0) return;
  defaultInputLabel_ = engine.DefaultInputLabel();
  defaultOutputLabel_ = engine.DefaultOutputLabel();
  SelectLabel(kVoiceInputDeviceId, inputLabel_, defaultInputLabel_);
  SelectLabel(kVoiceOutputDeviceId, outputLabel_, defaultOutputLabel_);
}

void CVoiceSettingsDlg::SelectLabel(int comboId, const std::string& label, const std::string& defaultLabel) {
  auto* combo = dynamic_cast<CComboBox*>(GetDlgItem(comboId));
  if (combo == nullptr) return;
  const std::string& wanted = label.empty() ? defaultLabel : label;
  combo->SetCurSel(combo->FindStringExact(-1, wanted.c_str()));
}

std::string CVoiceSettingsDlg::ComboText(int comboId) const {
  std::string text;
  if (CWnd* combo = GetDlgItem(comboId)) combo->GetWindowText(text);
  return text.substr(0, kVoiceDeviceNameSize - 1);
}

void CVoiceSettingsDlg::OnOK() {
  using namespace settings_key;
  const auto* win = dynamic_cast<CButton*>(GetDlgItem(kVoiceKeysWinId));
  const auto* capital = dynamic_cast<CButton*>(GetDlgItem(kVoiceKeysCapitalId));
  if (win != nullptr && win->GetCheck() == BST_CHECKED) {
    keys_ = 0;
  } else if (capital != nullptr && capital->GetCheck() == BST_CHECKED) {
    keys_ = 1;
  }
  const auto* numbers = dynamic_cast<CComboBox*>(GetDlgItem(kVoiceJoystickNumberId));
  const int selected = numbers != nullptr ? numbers->GetCurSel() : CB_ERR;
  joystickNumber_ = selected >= 0 ? selected + 1 : 1;

  WriteUnsigned(kVoiceKeys, keys_);
  WriteUnsigned(kVoiceInputLevel, inputLevel_);
  WriteUnsigned(kVoiceOutputLevel, outputLevel_);
  WriteSettingInt(kSetup, kVoiceJoystickButton, static_cast<std::int32_t>(joystickMask_));
  // The writer also gives the 100-ms poll the new number.
  WriteSettingInt(kSetup, kVoiceJoystickNumber, joystickNumber_);

  VoiceEngine& engine = actions_.engine();
  engine.SetPushToTalkKeys(keys_);
  const std::string oldInput = inputLabel_;
  const std::string oldOutput = outputLabel_;
  inputLabel_ = ComboText(kVoiceInputDeviceId);
  outputLabel_ = ComboText(kVoiceOutputDeviceId);
  WriteSettingString(kSetup, kVoiceInputDevice, inputLabel_.c_str());
  WriteSettingString(kSetup, kVoiceOutputDevice, outputLabel_.c_str());
  if (VoiceDeviceChanged(oldInput, inputLabel_, defaultInputLabel_) ||
      VoiceDeviceChanged(oldOutput, outputLabel_, defaultOutputLabel_)) {
    engine.SetDeviceNames(inputLabel_, outputLabel_);
    actions_.restart();
  }
  ShowWindow(SW_HIDE);
}

void CVoiceSettingsDlg::OnCancel() { ShowWindow(SW_HIDE); }

BOOL CVoiceSettingsDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case kSelectAllOfControl:
      if (auto* edit = dynamic_cast<CEdit*>(GetDlgItem(static_cast<int>(lParam)))) edit->SetSel(0, -1);
      return TRUE;
    case kKeyTab: {
      const HWND from = ::GetDlgItem(m_hWnd, static_cast<int>(lParam));
      if (const HWND next = GetNextDlgTabItem(m_hWnd, from, ShiftHeld() ? TRUE : FALSE); next != 0) SetFocus(next);
      return TRUE;
    }
    case kKeyEnter:
    case kVoiceSaveId:
      OnOK();
      return TRUE;
    case kKeyEscape:
      OnCancel();
      return TRUE;
    default:
      return CDialogEx::OnCommand(wParam, lParam);
  }
}

void TakeVoiceJoystickButtons(std::uint32_t buttons) {
  if (CVoiceSettingsDlg* dialog = g_pVoiceSettingsDlg.load()) dialog->TakeJoystickButtons(buttons);
}
