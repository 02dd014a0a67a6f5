// The main setup on a real settings file: each field as it shows what the file
// holds and what Save writes back, the language texts, the squawk clicks, the
// slider's factor, the effects of a save and the voice settings button.
#include "dialogs/main_setup_dialog.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/klib_settings.h"
#include "core/app_paths.h"
#include "core/settings.h"
#include "dialogs/chat_colours.h"
#include "dialogs/chat_dialog.h"
#include "dialogs/voice_settings_dialog.h"
#include "support/child_process.h"
#include "support/klib_fixture.h"
#include "win/button_ctrl.h"
#include "win/control_base.h"
#include "win/dialog_items.h"
#include "win/dialog_template.h"
#include "win/focus.h"
#include "win/keys.h"
#include "win/listbox_ctrl.h"
#include "win/messages.h"
#include "win/paint.h"
#include "win/richedit.h"
#include "win/trackbar_ctrl.h"

namespace {

namespace id = main_setup_id;

struct ActionCounts {
  std::vector<std::uint32_t> squawks;
  int dateTimeSyncs = 0;
  int ruleRuns = 0;
  int fsuipcStarts = 0;
  int fsuipcStops = 0;
};
ActionCounts g_counts;

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void PutFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The keys of a section in the order the file holds them, with their values.
std::vector<std::pair<std::string, std::string>> SectionKeys(const std::string& file, const std::string& section) {
  std::vector<std::pair<std::string, std::string>> keys;
  std::istringstream in(file);
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '[') {
      inside = line == "[" + section + "]";
      continue;
    }
    const std::size_t equals = line.find('=');
    if (inside && equals != std::string::npos) keys.emplace_back(line.substr(0, equals), line.substr(equals + 1));
  }
  return keys;
}

class MainSetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallDialogTemplates();
    g_appPaths().settingsFile = folder_.Path() + "/Tavelkor.ini";
    Language = 0;
    g_counts = {};
    MainSetupActions actions;
    actions.sendSquawk = [](std::uint32_t code) {
      g_counts.squawks.push_back(code);
      return 1;
    };
    actions.syncDateTime = [] {
      ++g_counts.dateTimeSyncs;
      return 1;
    };
    actions.applyRules = [] { ++g_counts.ruleRuns; };
    actions.startFsuipc = [] { ++g_counts.fsuipcStarts; };
    actions.stopFsuipc = [] { ++g_counts.fsuipcStops; };
    SetMainSetupActions(actions);
  }
  void TearDown() override {
    voice_.reset();
    dialog_.reset();
    SetMainSetupActions(DefaultMainSetupActions());
    PutFile(g_appPaths().settingsFile, "");
    LoadSetup();
    Language = 0;
  }

  // The dialog made and shown over a settings file holding `setup` in [SETUP].
  void ShowOver(const std::string& setup) {
    PutFile(g_appPaths().settingsFile, "[SETUP]\r\n" + setup);
    dialog_ = std::make_unique<MainConfigDlg>();
    ASSERT_TRUE(dialog_->Create());
    dialog_->ShowWindow(SW_SHOW);
    ASSERT_TRUE(dialog_->IsWindowVisible());
  }

  CWnd* Control(int control) {
    CWnd* found = dialog_->GetDlgItem(control);
    EXPECT_NE(found, nullptr) << control;
    return found;
  }
  // A user's click.
  void Click(int control) { SendMessageA(Control(control)->m_hWnd, BM_CLICK, 0, 0); }
  // A user's pick in a list.
  void Pick(int control, int index) {
    ASSERT_TRUE(SendMessageA(Control(control)->m_hWnd, ControlSelectMessage(), static_cast<WPARAM>(index), 0) != 0);
  }
  // The slider dragged, with the notice a drag ends in.
  void Drag(int position) {
    auto* slider = dynamic_cast<CSliderCtrl*>(Control(id::kAiQuality));
    slider->SetPos(position);
    dialog_->SendMessage(WM_HSCROLL, MAKELONG(TB_ENDTRACK, 0), static_cast<LPARAM>(slider->m_hWnd));
  }
  std::string Title() {
    std::string title;
    dialog_->GetWindowText(title);
    return title;
  }
  std::string Text(int control) {
    std::string text(2048, '\0');
    text.resize(GetDlgItemTextA(dialog_->m_hWnd, control, text.data(), static_cast<int>(text.size())));
    return text;
  }
  // What a control shows: a button's check state, a list's selected entry,
  // a slider's position, otherwise its text.
  std::string Shown(int control) {
    CWnd* wnd = Control(control);
    if (auto* list = dynamic_cast<CComboBox*>(wnd)) return "entry " + std::to_string(list->GetCurSel());
    if (auto* slider = dynamic_cast<CSliderCtrl*>(wnd)) return "at " + std::to_string(slider->GetPos());
    if (dynamic_cast<CButton*>(wnd) != nullptr) {
      return IsDlgButtonChecked(dialog_->m_hWnd, control) == BST_CHECKED ? "checked" : "unchecked";
    }
    return Text(control);
  }
  std::string Saved(const std::string& key) {
    for (const auto& [name, value] : SectionKeys(FileBytes(g_appPaths().settingsFile), "SETUP")) {
      if (name == key) return value;
    }
    return "<missing>";
  }

  TempFolder folder_;
  std::unique_ptr<MainConfigDlg> dialog_;
  std::unique_ptr<CVoiceSettingsDlg> voice_;
};

TEST_F(MainSetupTest, EachFieldShowsTheFilesValueAndSaveWritesItBack) {
  struct Shows {
    int control;
    const char* text;
  };
  const struct {
    const char* line;
    std::vector<Shows> shown;
    const char* key;
    const char* saved;
  } cases[] = {
      {"DefaultVFRSquawk=4321", {{7577, "checked"}, {7578, "unchecked"}}, "DefaultVFRSquawk", "1200"},
      {"DefaultVFRSquawk=2000", {{7578, "checked"}, {7577, "unchecked"}}, "DefaultVFRSquawk", "2000"},
      {"DefaultVFRSquawk=7000", {{7579, "checked"}}, "DefaultVFRSquawk", "7000"},
      {"DefaultVFRSquawk=21", {{7580, "checked"}}, "DefaultVFRSquawk", "21"},
      {"DefaultVFRSquawk=22", {{7581, "checked"}, {7577, "unchecked"}}, "DefaultVFRSquawk", "22"},
      {"UploadBandWidth=100000", {{7108, "entry 0"}}, "UploadBandWidth", "28800"},
      {"UploadBandWidth=1000", {{7108, "entry 0"}}, "UploadBandWidth", "28800"},
      {"UploadBandWidth=65536", {{7108, "entry 1"}}, "UploadBandWidth", "65536"},
      {"UploadBandWidth=131072", {{7108, "entry 2"}}, "UploadBandWidth", "131072"},
      {"UploadBandWidth=131073", {{7108, "entry 3"}}, "UploadBandWidth", "262144"},
      {"AIQuality=18", {{7249, "at 18"}, {7200, "1.8"}}, "AIQuality", "18"},
      {"AIQuality=1000", {{7249, "at 300"}, {7200, "30.0"}}, "AIQuality", "300"},
      {"FlightPlanType=1", {{7085, "checked"}, {7084, "unchecked"}}, "FlightPlanType", "1"},
      {"FlightPlanType=0", {{7084, "checked"}, {7085, "unchecked"}}, "FlightPlanType", "0"},
      {"FlightPlanType=5", {{7084, "unchecked"}, {7085, "unchecked"}}, "FlightPlanType", "5"},
      {"Language=1", {{7102, "entry 1"}}, "Language", "1"},
      {"Language=2", {{7102, "entry 2"}}, "Language", "2"},
      {"Language=9", {{7102, "entry 0"}}, "Language", "0"},
      {"Base=LFPGX", {{7011, "LFPG"}}, "Base", "LFPG"},
      {"EnableWeather=0", {{7068, "unchecked"}}, "EnableWeather", "0"},
      {"WeatherFromNoaa=1", {{7072, "checked"}}, "WeatherFromNoaa", "1"},
      {"EnableSceneryAdjustHeight=0", {{7069, "unchecked"}}, "EnableSceneryAdjustHeight", "0"},
      {"EnableMltpChatTextMessages=0", {{7088, "unchecked"}}, "EnableMltpChatTextMessages", "0"},
      {"EnableAutomaticSyncDateTime=1", {{7067, "checked"}}, "EnableAutomaticSyncDateTime", "1"},
      {"EnableMultiplayerOnStartUp=0", {{7093, "unchecked"}}, "EnableMultiplayerOnStartUp", "0"},
      {"EnableSoundOnPrivateMsg=0", {{7095, "unchecked"}}, "EnableSoundOnPrivateMsg", "0"},
      {"TextureFollowCallsign=1", {{7073, "checked"}}, "TextureFollowCallsign", "1"},
      {"UseFsuipc=1", {{7070, "checked"}}, "UseFsuipc", "1"},
      {"ExcludedPlanes=PMDG QW", {{7117, "PMDG QW"}}, "ExcludedPlanes", "PMDG QW"},
      {"PackageOrder=AIA GLOBS", {{7114, "AIA GLOBS"}}, "PackageOrder", "AIA GLOBS"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    ASSERT_NO_FATAL_FAILURE(ShowOver(std::string(c.line) + "\r\n"));
    for (const Shows& shows : c.shown) EXPECT_EQ(Shown(shows.control), shows.text) << shows.control;
    Click(id::kSave);
    EXPECT_FALSE(dialog_->IsWindowVisible());
    EXPECT_EQ(Saved(c.key), c.saved);
  }
}

TEST_F(MainSetupTest, LabelsAndCheckBoxesLieOnTheDayOrNightBackgroundAndTheFactorInField24) {
  Klib().SetColour(24, 0x242424);
  ASSERT_NO_FATAL_FAILURE(ShowOver(""));
  for (const int night : {0, 1}) {
    SCOPED_TRACE(night);
    g_nightFlag = night;
    const COLORREF background = night != 0 ? 0x3D2F28 : 0x60777F;
    const auto dialogColours = MainSetupColoursFor(0, WM_CTLCOLORDLG, night != 0, Klib());
    ASSERT_TRUE(dialogColours.has_value());
    EXPECT_EQ(dialogColours->background, background);
    for (const int control : {id::kAiQualityFactor, 7111, id::kWeather}) {
      CWnd* window = Control(control);
      ASSERT_NE(window, nullptr);
      window->Invalidate();
      UpdateWindow(window->m_hWnd);
      const std::optional<win::ControlColours> painted = win::PaintedControlColours(window->m_hWnd);
      ASSERT_TRUE(painted.has_value()) << control;
      EXPECT_EQ(painted->background, background) << control;
      EXPECT_NE(painted->brush, 0u) << control;
      if (control == id::kAiQualityFactor) {
        EXPECT_EQ(painted->text, 0x242424u);
      }
    }
  }
  g_nightFlag = 0;
}

TEST_F(MainSetupTest, SaveWritesEveryKeyInItsOrderAndTheProgramTakesTheValues) {
  ASSERT_NO_FATAL_FAILURE(ShowOver("Language=2\r\nMyOwnKey=kept\r\n"));
  Click(id::kSquawk7000);
  Pick(id::kUploadBandWidth, 2);
  Drag(42);
  ASSERT_TRUE(SetDlgItemTextA(dialog_->m_hWnd, id::kBase, "EGLL"));
  Click(id::kSave);

  std::vector<std::string> order;
  for (const auto& [key, value] : SectionKeys(FileBytes(g_appPaths().settingsFile), "SETUP")) order.push_back(key);
  const std::vector<std::string> expected = {
      "Language", "MyOwnKey", "Base", "FlightPlanType", "DefaultVFRSquawk", "EnableWeather", "WeatherFromNoaa",
      "EnableSceneryAdjustHeight", "EnableMltpChatTextMessages", "EnableAutomaticSyncDateTime",
      "EnableMultiplayerOnStartUp", "EnableSoundOnPrivateMsg", "TextureFollowCallsign", "UseFsuipc", "AIQuality",
      "UploadBandWidth", "ExcludedPlanes", "PackageOrder"};
  EXPECT_EQ(order, expected);
  EXPECT_EQ(Saved("Language"), "2") << "the language read at the show stays selected";
  EXPECT_EQ(Saved("DefaultVFRSquawk"), "7000");
  EXPECT_EQ(Saved("UploadBandWidth"), "131072");
  EXPECT_EQ(Saved("AIQuality"), "42");
  EXPECT_EQ(Saved("MyOwnKey"), "kept");
  EXPECT_EQ(Language.load(), 2);
  EXPECT_EQ(g_setupSettings.defaultVfrSquawk.load(), 7000);
  EXPECT_EQ(g_setupSettings.uploadBandWidth.load(), 131072);
  EXPECT_EQ(g_setupSettings.aiQuality.load(), 42);
  EXPECT_DOUBLE_EQ(g_setupSettings.aiQualityTenth.load(), 4.2);
  EXPECT_STREQ(g_setupSettings.base.data(), "EGLL");
  // The excluded makers and package order may have changed: the rules run on every save.
  EXPECT_EQ(g_counts.ruleRuns, 1);
}

TEST_F(MainSetupTest, TheChosenLanguageSetsTheTextsAtOnce) {
  ASSERT_NO_FATAL_FAILURE(ShowOver(""));
  EXPECT_EQ(Title(), "Main setup");
  EXPECT_EQ(Text(7068), "Real time weather monitoring");
  const std::vector<std::string> labels = {"English", "Fran\xE7" "ais", "Espa\xF1ol"};
  EXPECT_EQ(dynamic_cast<CComboBox*>(Control(id::kLanguage))->Items(), labels);

  const struct {
    int entry;
    const char* title;
    int control;
    const char* text;
  } cases[] = {
      {1, "R\xE9glages g\xE9n\xE9raux", 7089, "Enregistrer"},
      {1, "R\xE9glages g\xE9n\xE9raux", 7109, "D\xE9" "bit montant"},
      {1, "R\xE9glages g\xE9n\xE9raux", 7111, "Fabricants d'avions \xE0 exclure"},
      {2, "Arreglos principales", 7067, "Fecha y clima actualizaci\xF3n autom\xE1tica"},
      {2, "Arreglos principales", 7088, "Reverberar mensajes en la l\xEDnea de texto del FS"},
      {0, "Main setup", 7073,
       "Use the first 3 characters of the callsign to match the best texture for the A.I.planes."},
      {0, "Main setup", 7089, "Save"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Pick(id::kLanguage, c.entry);
    EXPECT_EQ(Language.load(), c.entry);
    EXPECT_EQ(Title(), c.title);
    EXPECT_EQ(Text(c.control), c.text);
  }
  Pick(id::kLanguage, 1);
  Click(id::kSave);
  EXPECT_EQ(Saved("Language"), "1");
}

TEST_F(MainSetupTest, TheControlsAreFilledOnTheFirstShowOnly) {
  ASSERT_NO_FATAL_FAILURE(ShowOver("AIQuality=50\r\n"));
  Drag(77);
  EXPECT_EQ(Text(id::kAiQualityFactor), "7.7");
  dialog_->ShowWindow(SW_HIDE);
  PutFile(g_appPaths().settingsFile, "[SETUP]\r\nAIQuality=60\r\n");
  dialog_->ShowWindow(SW_SHOW);
  EXPECT_EQ(Shown(id::kAiQuality), "at 77");
  // Nothing was stored by the move or the hide.
  EXPECT_EQ(Saved("AIQuality"), "60");
}

TEST_F(MainSetupTest, ASquawkClickSendsItsCodeAtOnce) {
  ASSERT_NO_FATAL_FAILURE(ShowOver("DefaultVFRSquawk=4321\r\n"));
  // The first show sends the code it shows.
  EXPECT_EQ(g_counts.squawks, std::vector<std::uint32_t>{1200});
  const struct {
    int radio;
    std::uint32_t code;
  } cases[] = {{id::kSquawk0021, 21}, {id::kSquawk2000, 2000}, {id::kSquawk0022, 22}, {id::kSquawk1200, 1200}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.radio);
    g_counts.squawks.clear();
    Click(c.radio);
    EXPECT_EQ(g_counts.squawks, std::vector<std::uint32_t>{c.code});
    EXPECT_EQ(g_setupSettings.defaultVfrSquawk.load(), static_cast<std::int32_t>(c.code));
  }
}

TEST_F(MainSetupTest, TheSliderShowsItsFactorAndSetsIt) {
  ASSERT_NO_FATAL_FAILURE(ShowOver(""));
  EXPECT_EQ(Text(id::kAiQualityFactor), "1.8");
  const struct {
    int position;
    const char* shown;
  } cases[] = {{5, "0.5"}, {18, "1.8"}, {123, "12.3"}, {300, "30.0"}};
  for (const auto& c : cases) {
    Drag(c.position);
    EXPECT_EQ(Text(id::kAiQualityFactor), c.shown);
    EXPECT_EQ(g_setupSettings.aiQuality.load(), c.position);
    EXPECT_DOUBLE_EQ(g_setupSettings.aiQualityTenth.load(), c.position / 10.0);
  }
}

TEST_F(MainSetupTest, TheTrafficTablesLinkFollowsOnlyAChangeOfItsBox) {
  SetChatTraceColours(Klib());
  CCchatDlg chat;
  ASSERT_TRUE(chat.Create(kChatTemplate));
  g_pChatDlg = &chat;
  const auto printed = [&chat] {
    std::vector<TextRun> runs;
    for (TextRun run : chat.Output()->Runs()) {
      std::erase(run.text, '\r');
      std::erase(run.text, '\n');
      if (!run.text.empty()) runs.push_back(run);
    }
    return runs;
  };
  ASSERT_NO_FATAL_FAILURE(ShowOver("UseFsuipc=0\r\n"));
  Click(id::kUseFsuipc);
  Click(id::kSave);
  EXPECT_EQ(g_counts.fsuipcStarts, 1);
  dialog_->ShowWindow(SW_SHOW);
  Click(id::kSave);
  EXPECT_EQ(g_counts.fsuipcStarts, 1);
  EXPECT_EQ(g_counts.fsuipcStops, 0);
  EXPECT_TRUE(printed().empty());
  dialog_->ShowWindow(SW_SHOW);
  Click(id::kUseFsuipc);
  Click(id::kSave);
  EXPECT_EQ(g_counts.fsuipcStarts, 1);
  EXPECT_EQ(g_counts.fsuipcStops, 1);
  EXPECT_EQ(Saved("UseFsuipc"), "0");
  const std::vector<TextRun> expected = {{"FSUIPC disabled", Klib().Colour(kColourEmphasis), 0}};
  EXPECT_EQ(printed(), expected);
  g_pChatDlg = nullptr;
  ResetKlibForTest();
}

TEST_F(MainSetupTest, ASaveWithAutomaticDateAndTimeAsksForASynchronisation) {
  ASSERT_NO_FATAL_FAILURE(ShowOver("EnableAutomaticSyncDateTime=0\r\n"));
  Click(id::kSave);
  EXPECT_EQ(g_counts.dateTimeSyncs, 0);
  dialog_->ShowWindow(SW_SHOW);
  Click(id::kSyncDateTime);
  Click(id::kSave);
  EXPECT_EQ(g_counts.dateTimeSyncs, 1);
  EXPECT_EQ(g_setupSettings.enableAutomaticSyncDateTime.load(), 1);
}

TEST_F(MainSetupTest, TheVoiceButtonShowsAndHidesTheVoiceSettings) {
  ASSERT_NO_FATAL_FAILURE(ShowOver(""));
  voice_ = std::make_unique<CVoiceSettingsDlg>();
  ASSERT_TRUE(voice_->Create(kVoiceSettingsTemplate, dialog_.get()));
  g_pVoiceSettingsDlg = voice_.get();
  Click(id::kVoiceSettings);
  EXPECT_TRUE(voice_->IsWindowVisible());
  Click(id::kVoiceSettings);
  EXPECT_FALSE(voice_->IsWindowVisible());
}

TEST_F(MainSetupTest, EnterAndEscapeInAFieldHideWithoutSaving) {
  const struct {
    const char* name;
    WPARAM key;
  } cases[] = {{"enter", VK_RETURN}, {"escape", VK_ESCAPE}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(ShowOver("DefaultVFRSquawk=2000\r\n"));
    Click(id::kSquawk7000);
    MSG key{Control(id::kBase)->m_hWnd, WM_KEYDOWN, c.key, 0, 0};
    EXPECT_TRUE(dialog_->PreTranslateMessage(&key));
    EXPECT_FALSE(dialog_->IsWindowVisible());
    EXPECT_EQ(Saved("DefaultVFRSquawk"), "2000");
  }
}

TEST_F(MainSetupTest, TabMovesToTheNextField) {
  ASSERT_NO_FATAL_FAILURE(ShowOver(""));
  MSG key{Control(id::kPackageOrder)->m_hWnd, WM_KEYDOWN, VK_TAB, 0, 0};
  SetFocus(Control(id::kPackageOrder)->m_hWnd);
  EXPECT_TRUE(dialog_->PreTranslateMessage(&key));
  EXPECT_EQ(GetFocus(), Control(id::kExcludedPlanes)->m_hWnd);
}

}  // namespace
