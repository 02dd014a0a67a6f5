// The two rules dialogs on a real "Rules.txt" in a temporary folder: rules
// written, deleted, listed and refused; the class defaults; where a local rule
// is placed; the model list's marks; the combos' item data and the file that
// cannot be read.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "core/aircraft_type_db.h"
#include "core/app_paths.h"
#include "core/big_tables.h"
#include "core/settings.h"
#include "core/text_fields.h"
#include "dialogs/local_rule_place.h"
#include "dialogs/local_rules_dialog.h"
#include "dialogs/remote_rules_dialog.h"
#include "dialogs/rules_dialog_colours.h"
#include "dialogs/rules_dialog_common.h"
#include "base/klib_settings.h"
#include "win/paint.h"
#include "net/orv_sok.h"
#include "net/pilot_link.h"
#include "net/way_ids.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "support/child_process.h"
#include "support/klib_fixture.h"
#include "support/wait_until.h"
#include "win/button_ctrl.h"
#include "win/control_base.h"
#include "win/dialog_items.h"
#include "win/dialog_template.h"
#include "win/listbox_ctrl.h"
#include "win/messages.h"
#include "win/msgbox.h"
#include "win/paths.h"

namespace {

constexpr char kBoeing[] = "Heavy Metal\\B738\\b738.acf";
constexpr char kAirbus[] = "Bus Works\\A320\\a320.acf";
constexpr char kCessna[] = "Light\\C172\\c172.acf";
constexpr char kRobinson[] = "Rotors\\R22\\r22.acf";

LocalModelRecord Model(std::string_view title, std::string_view type, std::string_view classCode) {
  LocalModelRecord record{};
  CopyCut(record.title, title);
  CopyCut(record.icaoType, type);
  CopyCut(record.classCode, classCode);
  return record;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A pilot way of the table that keeps the sub-codes of the THRDMSG_SIMPILOT it is posted.
class SessionWay : public COrvSok {
 public:
  explicit SessionWay(std::int32_t wayId) : COrvSok(nullptr, wayId, "[SESSION WAY]", 1) {}
  ~SessionWay() override {
    RequestStop(0);
    WaitForEnd(5000);
  }
  bool Start() { return InitBuffers(nullptr, SOCK_MODE_TCP, 4096, 4096, 4096, 4096) >= 0 && StartThread(1, 0) >= 0; }
  DWORD ProcessMessage(const DMessage& message) override {
    if (message.id != THRDMSG_SIMPILOT) return COrvSok::ProcessMessage(message);
    std::lock_guard lock(mutex_);
    subCodes_.push_back(message.param);
    return 1;
  }
  std::vector<std::uint32_t> SubCodes() {
    std::lock_guard lock(mutex_);
    return subCodes_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::uint32_t> subCodes_;
};

class RulesDialogsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(AllocateTables(), 1); }

  void SetUp() override {
    ResetKlibForTest();
    ClearShownMessageBoxes();
    SetMessageBoxEcho(false);
    InstallDialogTemplates();
    if (!WayTableLock().Initialised()) WayTableLock().Init();
    {
      WayTableGuard guard;
      WayTable() = WayTableArray{};
    }
    savedRules_ = g_appPaths().rulesFile;
    g_appPaths().rulesFile = Path();
    {
      std::lock_guard lock(SettingsTextLock());
      CopyCut(g_setupSettings.excludedPlanes.data(), g_setupSettings.excludedPlanes.size(), "");
      CopyCut(g_setupSettings.packageOrder.data(), g_setupSettings.packageOrder.size(), "");
    }
    LoadTypes();
    SetModels({Model(kBoeing, "B738", "L2J"), Model(kAirbus, "A320", "L2J"), Model(kCessna, "C172", "L1P"),
               Model(kRobinson, "R22", "H1P")});
  }
  void TearDown() override {
    remote_.reset();
    local_.reset();
    g_appPaths().rulesFile = savedRules_;
    {
      std::lock_guard lock(SettingsTextLock());
      CopyCut(g_setupSettings.excludedPlanes.data(), g_setupSettings.excludedPlanes.size(),
              setting_default::kExcludedPlanes);
      CopyCut(g_setupSettings.packageOrder.data(), g_setupSettings.packageOrder.size(), setting_default::kPackageOrder);
    }
    SetMessageBoxEcho(true);
    ClearShownMessageBoxes();
  }

  void LoadTypes() {
    const std::string path = JoinPath(folder_.Path(), "tk_aircrafts.txt");
    {
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      for (const char* line : {"Boeing\t737-800\tB738\tL2J\tM", "Boeing\t737-700\tB737\tL2J\tM",
                               "Airbus\tA320\tA320\tL2J\tM", "Cessna\t172\tC172\tL1P\tL", "Robinson\tR22\tR22\tH1P\tL"}) {
        out << line << "\r\n";
      }
    }
    AircraftTypeDb& db = g_aircraftTypeDb();
    db.loaded = false;
    db.count = 0;
    ASSERT_EQ(LoadAircraftTypes(path), 2);
    ASSERT_GT(g_icaoTypeList().count, 0);
  }
  static void SetModels(const std::vector<LocalModelRecord>& models) {
    LocalModelTables& tables = g_localModelTables();
    for (std::size_t i = 0; i < models.size(); ++i) {
      tables.copy.records[i] = models[i];
      tables.working.records[i] = models[i];
    }
    tables.copy.count = static_cast<int>(models.size());
    tables.working.count = static_cast<int>(models.size());
  }

  std::string Path() const { return JoinPath(folder_.Path(), "Rules.txt"); }
  void WriteRules(const std::string& text) const {
    std::ofstream out(Path(), std::ios::binary | std::ios::trunc);
    out << text;
  }
  std::string Rules() const { return ReadAll(Path()); }

  CPlaneOverriderDlg& Remote() {
    if (!remote_) {
      remote_ = std::make_unique<CPlaneOverriderDlg>();
      EXPECT_TRUE(remote_->Create(kRemoteRulesTemplate));
    }
    return *remote_;
  }
  CPlaneTypeAssignerDlg& Local() {
    if (!local_) {
      local_ = std::make_unique<CPlaneTypeAssignerDlg>();
      EXPECT_TRUE(local_->Create(kLocalRulesTemplate));
    }
    return *local_;
  }

  static CItemListCtrl& ListOf(CWnd& dialog, int id) {
    auto* list = dynamic_cast<CItemListCtrl*>(dialog.GetDlgItem(id));
    EXPECT_NE(list, nullptr) << id;
    return *list;
  }
  static std::vector<std::string> Items(CWnd& dialog, int id) { return ListOf(dialog, id).Items(); }
  static std::string Text(CWnd& dialog, int id) {
    char buffer[512] = {};
    GetDlgItemTextA(dialog.m_hWnd, id, buffer, sizeof buffer);
    return buffer;
  }
  static void SetText(CWnd& dialog, int id, const std::string& text) { SetDlgItemTextA(dialog.m_hWnd, id, text.c_str()); }
  // As the pilot picks an item: the selection and its notice.
  static void Pick(CWnd& dialog, int id, int index) {
    ASSERT_TRUE(SendMessageA(ListOf(dialog, id).m_hWnd, ControlSelectMessage(), static_cast<WPARAM>(index), 0) != 0);
  }
  // The model item of `title` picked in a model combo.
  static void PickModel(CWnd& dialog, int id, const std::string& title) {
    const std::vector<std::string> items = Items(dialog, id);
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (items[i].size() >= title.size() && items[i].compare(items[i].size() - title.size(), title.size(), title) == 0) {
        Pick(dialog, id, static_cast<int>(i));
        return;
      }
    }
    ADD_FAILURE() << title << " not in combo " << id;
  }
  static void Click(CWnd& dialog, int id) { dialog.SendMessage(WM_COMMAND, static_cast<WPARAM>(id), 0); }
  static std::vector<MessageBoxRecord> Boxes() { return ShownMessageBoxes(); }

  TempFolder folder_;
  std::string savedRules_;
  std::unique_ptr<CPlaneOverriderDlg> remote_;
  std::unique_ptr<CPlaneTypeAssignerDlg> local_;
};

// ---- Remote rules ----

TEST_F(RulesDialogsTest, ATitleRuleIsWrittenWithItsMainAndAlternateModelOrDeleted) {
  const struct {
    const char* main;
    const char* alternate;
    const char* expected;
  } cases[] = {
      {kBoeing, kAirbus, "[REMOTE_AIRCRAFTS]\r\nBoeing 737=Heavy Metal\\B738\\b738.acf{{Bus Works\\A320\\a320.acf}}\r\n"},
      {kBoeing, nullptr, "[REMOTE_AIRCRAFTS]\r\nBoeing 737=Heavy Metal\\B738\\b738.acf\r\n"},
      {nullptr, nullptr, "[REMOTE_AIRCRAFTS]\r\n"},
      {nullptr, kAirbus, "[REMOTE_AIRCRAFTS]\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    WriteRules("[REMOTE_AIRCRAFTS]\r\nBoeing 737=Old\\Model\\old.acf\r\n");
    CPlaneOverriderDlg& dialog = Remote();
    dialog.ShowWindow(SW_SHOW);
    SetText(dialog, kRemoteTitlePartId, "  Boeing 737 ");
    if (c.main != nullptr) PickModel(dialog, kRemoteMainModelId, c.main);
    if (c.alternate != nullptr) PickModel(dialog, kRemoteAlternateModelId, c.alternate);
    Click(dialog, kRemoteAddRuleId);
    EXPECT_EQ(Rules(), c.expected);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(dialog.RulesChanged());
    dialog.ShowWindow(SW_HIDE);
  }
}

TEST_F(RulesDialogsTest, ATitlePartThatWouldNotReadBackIsRefusedWithTheBox) {
  const struct {
    const char* titlePart;
    const char* boxText;
  } cases[] = {
      {"Boe", "Only aircraft names with at least 4 characters are taken into account."},
      {"Boeing=737", nullptr},
      {"Boeing {{737", nullptr},
      {"Boeing }}737", nullptr},
      {"[Boeing 737", nullptr},
      {";Boeing 737", nullptr},
      {"Boeing\r\n737", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.titlePart);
    ClearShownMessageBoxes();
    CPlaneOverriderDlg& dialog = Remote();
    dialog.ShowWindow(SW_SHOW);
    SetText(dialog, kRemoteTitlePartId, c.titlePart);
    PickModel(dialog, kRemoteMainModelId, kBoeing);
    Click(dialog, kRemoteAddRuleId);
    EXPECT_FALSE(std::filesystem::exists(Path()));
    const std::vector<MessageBoxRecord> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Information");
    if (c.boxText != nullptr) {
      EXPECT_EQ(boxes[0].text, c.boxText);
    }
    EXPECT_FALSE(dialog.RulesChanged());
    dialog.ShowWindow(SW_HIDE);
  }
}

TEST_F(RulesDialogsTest, AModelChosenInAComboIsReadOnlyWhileTheWorkingTableHoldsIt) {
  CPlaneOverriderDlg& dialog = Remote();
  dialog.ShowWindow(SW_SHOW);
  SetText(dialog, kRemoteTitlePartId, "Robinson");
  PickModel(dialog, kRemoteMainModelId, kRobinson);
  // The table shrank after the fill: the item's index is past its end.
  g_localModelTables().working.count = 2;
  Click(dialog, kRemoteAddRuleId);
  EXPECT_FALSE(std::filesystem::exists(Path()));
}

TEST_F(RulesDialogsTest, TheRuleListShowsBothModelsAndASelectionPutsThemBack) {
  WriteRules(std::string("[REMOTE_AIRCRAFTS]\r\nBoeing 737=") + kBoeing + "{{" + kAirbus + "}}\r\nCessna=" + kCessna +
             "\r\n");
  CPlaneOverriderDlg& dialog = Remote();
  dialog.ShowWindow(SW_SHOW);
  const std::vector<std::string> expected = {std::string("Boeing 737 >>> ") + kBoeing + " >>> " + kAirbus,
                                             std::string("Cessna >>> ") + kCessna};
  EXPECT_EQ(Items(dialog, kRemoteRuleListId), expected);
  EXPECT_EQ(Text(dialog, kRemoteRuleCountId), "2 rules loaded");
  Pick(dialog, kRemoteRuleListId, 0);
  EXPECT_EQ(Text(dialog, kRemoteTitlePartId), "Boeing 737");
  EXPECT_EQ(Text(dialog, kRemoteMainModelId), " L2J - B738 : " + std::string(kBoeing));
  EXPECT_EQ(Text(dialog, kRemoteAlternateModelId), " L2J - A320 : " + std::string(kAirbus));
  // Remove takes the title part of the selected line.
  Click(dialog, kRemoteRemoveRuleId);
  EXPECT_EQ(Rules(), std::string("[REMOTE_AIRCRAFTS]\r\nCessna=") + kCessna + "\r\n");
  EXPECT_EQ(Items(dialog, kRemoteRuleListId), std::vector<std::string>{std::string("Cessna >>> ") + kCessna});
}

TEST_F(RulesDialogsTest, ACorruptTitleRuleStopsTheListWhereItStands) {
  const struct {
    const char* line;
    const char* code;
  } cases[] = {{"=Some\\model.acf", "DTRE10"}, {"Airbus=", "DTRE11"}, {"Airbus=Main\\a.acf{{Alt\\b.acf", "DTRE12"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    WriteRules(std::string("[REMOTE_AIRCRAFTS]\r\nCessna=") + kCessna + "\r\n" + c.line + "\r\nBoeing=" + kBoeing +
               "\r\n");
    CPlaneOverriderDlg& dialog = Remote();
    SetText(dialog, kRemoteRuleCountId, "before");
    dialog.ShowWindow(SW_SHOW);
    EXPECT_EQ(Items(dialog, kRemoteRuleListId), std::vector<std::string>{std::string("Cessna >>> ") + kCessna});
    EXPECT_EQ(Text(dialog, kRemoteRuleCountId), "before");
    dialog.ShowWindow(SW_HIDE);
  }
}

TEST_F(RulesDialogsTest, TheClassCombosListTheirClassFirstAndShowTheStoredDefaults) {
  WriteRules(std::string("[REMOTE_DEFAULT]\r\nL1P=light\\c172\r\n"));
  CPlaneOverriderDlg& dialog = Remote();
  dialog.ShowWindow(SW_SHOW);
  const std::vector<std::string> helicopters = Items(dialog, 9175);
  ASSERT_EQ(helicopters.size(), 5u);
  EXPECT_EQ(helicopters[0], " ");
  EXPECT_EQ(helicopters[1], " H1P - R22 : " + std::string(kRobinson));
  EXPECT_EQ(helicopters[2], " L2J - B738 : " + std::string(kBoeing));
  EXPECT_EQ(Text(dialog, 9168), " L1P - C172 : " + std::string(kCessna)) << "found without case";
  EXPECT_EQ(Text(dialog, 9169), " ");
}

TEST_F(RulesDialogsTest, TheFreeClassNeedsThreeCharactersAndTheClassKeysStay) {
  WriteRules(std::string("[REMOTE_DEFAULT]\r\nL1P=") + kCessna + "\r\n");
  CPlaneOverriderDlg& dialog = Remote();
  dialog.ShowWindow(SW_SHOW);
  SetText(dialog, kRemoteFreeClassId, "L1");
  PickModel(dialog, kRemoteFreeClassModelId, kAirbus);
  Click(dialog, kRemoteValidateDefaultsId);
  std::vector<MessageBoxRecord> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Information");
  EXPECT_EQ(boxes[0].text, "The field 'Other engines' must have 0 or 3 characters\rActually it is L1 and (2 chars)");
  EXPECT_EQ(Rules(), std::string("[REMOTE_DEFAULT]\r\nL1P=") + kCessna + "\r\n");

  ClearShownMessageBoxes();
  SetText(dialog, kRemoteFreeClassId, "G1P");
  PickModel(dialog, kRemoteFreeClassModelId, kAirbus);
  Click(dialog, kRemoteValidateDefaultsId);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(Rules(), std::string("[REMOTE_DEFAULT]\r\nL1P=") + kCessna + "\r\nG1P=" + kAirbus + "\r\n");
}

TEST_F(RulesDialogsTest, OkHidesTheDialogWithOrWithoutAChange) {
  CPlaneOverriderDlg& dialog = Remote();
  for (const bool change : {false, true}) {
    SCOPED_TRACE(change);
    dialog.ShowWindow(SW_SHOW);
    EXPECT_FALSE(dialog.RulesChanged());
    if (change) {
      SetText(dialog, kRemoteTitlePartId, "Cessna");
      PickModel(dialog, kRemoteMainModelId, kCessna);
      Click(dialog, kRemoteAddRuleId);
      EXPECT_TRUE(dialog.RulesChanged());
    }
    Click(dialog, IDOK);
    EXPECT_FALSE(dialog.IsWindowVisible());
    EXPECT_FALSE(dialog.RulesChanged());
  }
}

TEST_F(RulesDialogsTest, OkAfterAChangeChoosesTheModelsOfThePilotsInSessionAgain) {
  struct Pilot {
    DWORD linkBits;
    const char* title;
    const char* callsign;
  };
  const Pilot pilots[] = {
      {kWayLoggedIn, "Boeing 737-800 Delta", "DAL123"},
      {kWayLoggedIn | kWayLoggedInPeer, "Airbus A320 Air France", "AFR456"},
      {0, "Cessna 172 Skyhawk", "NOLOG1"},
  };
  std::vector<std::unique_ptr<SessionWay>> ways;
  for (std::size_t i = 0; i < std::size(pilots); ++i) {
    auto way = std::make_unique<SessionWay>(static_cast<std::int32_t>(i));
    ASSERT_TRUE(way->Start());
    way->SetLoggedInBits(pilots[i].linkBits);
    WayTableGuard guard;
    WayRecord& record = WayTable()[i];
    record.way = way.get();
    record.peerKind = 'P';
    record.simulatorCode = 10'000;
    record.stateFlags = kWayAllocated;
    CopyToField(record.callsign, pilots[i].callsign);
    CopyToField(record.announced.title, pilots[i].title);
    CopyToField(record.announced.icaoType, "B738");
    CopyToField(record.announced.classCode, "L2J");
    CopyToField(record.current.title, "Some\\other.acf");
    ways.push_back(std::move(way));
  }
  CPlaneOverriderDlg& dialog = Remote();
  // Without a change OK only hides.
  dialog.ShowWindow(SW_SHOW);
  Click(dialog, IDOK);
  {
    WayTableGuard guard;
    EXPECT_EQ(FieldText(WayTable()[0].current.title), "Some\\other.acf");
  }
  dialog.ShowWindow(SW_SHOW);
  const std::vector<std::string> session = Items(dialog, kRemoteSessionListId);
  const std::vector<std::string> expected = {" \tL2J - B738\tAirbus A320 Air France\tAFR456",
                                             " \tL2J - B738\tBoeing 737-800 Delta\tDAL123"};
  EXPECT_EQ(session, expected) << "logged-in pilots only, sorted";
  Pick(dialog, kRemoteSessionListId, 1);
  EXPECT_EQ(Text(dialog, kRemoteTitlePartId), "Boeing 737-800 Delta");
  PickModel(dialog, kRemoteMainModelId, kBoeing);
  Click(dialog, kRemoteAddRuleId);
  EXPECT_EQ(Rules(), std::string("[REMOTE_AIRCRAFTS]\r\nBoeing 737-800 Delta=") + kBoeing + "\r\n");

  Click(dialog, IDOK);
  EXPECT_FALSE(dialog.IsWindowVisible());
  // Only the pilot logged in one way (not the one logged in both ways, nor the one not yet in).
  ASSERT_TRUE(WaitUntil(5'000, [&] { return !ways[0]->SubCodes().empty(); }));
  EXPECT_EQ(ways[0]->SubCodes(), std::vector<std::uint32_t>{kSimPilotMatchModel});
  {
    WayTableGuard guard;
    EXPECT_EQ(FieldText(WayTable()[0].current.title), "Boeing 737-800 Delta");
    EXPECT_EQ(FieldText(WayTable()[1].current.title), "Some\\other.acf");
  }
  EXPECT_TRUE(ways[1]->SubCodes().empty());
  EXPECT_TRUE(ways[2]->SubCodes().empty());
  remote_.reset();
  {
    WayTableGuard guard;
    WayTable() = WayTableArray{};
  }
}

TEST_F(RulesDialogsTest, EachControlIsDrawnInItsDayOrNightColours) {
  KlibSettings& settings = Klib();
  settings.SetColour(17, 0x111111);
  settings.SetColour(19, 0x191919);
  settings.SetColour(24, 0x242424);
  constexpr auto kRemote = RulesDialogKind::kRemote;
  constexpr auto kLocal = RulesDialogKind::kLocal;
  const struct {
    RulesDialogKind kind;
    int id;
    UINT message;
    bool night;
    std::optional<RulesControlColours> expected;
  } cases[] = {
      {kRemote, 0, WM_CTLCOLORDLG, false, RulesControlColours{std::nullopt, 0x60777F, false}},
      {kRemote, 0, WM_CTLCOLORDLG, true, RulesControlColours{std::nullopt, 0x3D2F28, false}},
      {kRemote, 7156, WM_CTLCOLORLISTBOX, false, RulesControlColours{0x111111, 0xEBEEEF, false}},
      {kRemote, 7164, WM_CTLCOLORLISTBOX, false, RulesControlColours{0x111111, 0xEBEEEF, false}},
      {kRemote, 7164, WM_CTLCOLORLISTBOX, true, RulesControlColours{0x242424, 0x34261E, false}},
      {kRemote, 7157, WM_CTLCOLORSTATIC, false, RulesControlColours{0xFFFFFF, 0x60777F, true}},
      {kRemote, 7166, WM_CTLCOLORSTATIC, true, RulesControlColours{0x53A660, 0x3D2F28, true}},
      {kRemote, 7181, WM_CTLCOLORSTATIC, false, RulesControlColours{0x111111, 0x60777F, true}},
      {kRemote, 7162, WM_CTLCOLOREDIT, false, RulesControlColours{0x000000, 0x191919, false}},
      {kRemote, 7090, WM_CTLCOLORSTATIC, false, RulesControlColours{0x111111, 0x60777F, true}},
      {kRemote, 60'003, WM_CTLCOLORSTATIC, true, RulesControlColours{0x111111, 0x3D2F28, true}},
      {kRemote, 9177, WM_CTLCOLORLISTBOX, false, RulesControlColours{0x111111, 0x60777F, true}},
      {kRemote, 7102, WM_CTLCOLORBTN, false, RulesControlColours{std::nullopt, 0x60777F, true}},
      {kLocal, 7115, WM_CTLCOLORSTATIC, true, RulesControlColours{0xB07160, 0x3D2F28, true}},
      {kLocal, 7159, WM_CTLCOLORSTATIC, false, RulesControlColours{0xFFFFFF, 0x60777F, true}},
      {kLocal, 7160, WM_CTLCOLOREDIT, false, RulesControlColours{0x000000, 0x191919, false}},
      {kLocal, 7160, WM_CTLCOLORLISTBOX, true, RulesControlColours{0x111111, 0x34261E, false}},
      {kLocal, 7102, WM_CTLCOLORBTN, false, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.id) + (c.night ? " night" : " day"));
    const std::optional<RulesControlColours> got = RulesColoursFor(c.kind, c.id, c.message, c.night, settings);
    ASSERT_EQ(got.has_value(), c.expected.has_value());
    if (!got) continue;
    EXPECT_EQ(got->text, c.expected->text);
    EXPECT_EQ(got->background, c.expected->background);
    EXPECT_EQ(got->transparent, c.expected->transparent);
  }
  // As the dialog answers a painting control.
  CPlaneOverriderDlg& dialog = Remote();
  dialog.ShowWindow(SW_SHOW);
  const HWND rules = ListOf(dialog, kRemoteRuleListId).m_hWnd;
  UpdateWindow(rules);
  const std::optional<win::ControlColours> painted = win::PaintedControlColours(rules);
  ASSERT_TRUE(painted.has_value());
  EXPECT_EQ(painted->text, 0x111111u);
  EXPECT_EQ(painted->background, 0xEBEEEFu);
  EXPECT_NE(painted->brush, 0u);
}

// ---- Local rules ----

TEST_F(RulesDialogsTest, ANewLocalRuleIsPlacedByTheRulesItOverlaps) {
  const char* section =
      "[LOCAL_AIRCRAFTS]\r\n"
      "001=Boeing{{B737}}\r\n"
      "002=Airbus{{A320,AFR}}\r\n"
      "005=Cessna{{,SWR}}\r\n"
      "[NEXT]\r\n"
      "009=Robinson{{R22}}\r\n";
  const struct {
    const char* file;  // null: no file
    const char* titlePart;
    const char* type;
    const char* airline;
    int code;
    int number;
  } cases[] = {
      {nullptr, "Boeing", "B738", "", kLocalPlaceNotLoaded, -7},
      {"", "Boeing", "B738", "", kLocalPlaceNew, -1},
      {"[LOCAL_AIRCRAFTS]\r\n", "Boeing", "B738", "", kLocalPlaceNew, -1},
      {section, "Robinson", "R22", "", kLocalPlaceNew, 5},
      {section, "Boeing 737", "B738", "", kLocalPlaceReplace, 1},
      {section, "Boeing", "B737", "", kLocalPlaceSameType, 1},
      {section, "Boeing 737", "B737", "", kLocalPlaceSameType, 1},
      {section, "boeing", "B737", "", kLocalPlaceNew, 5},
      {section, "Airbus", "A320", "AFR", kLocalPlaceSameTypeAndAirline, 2},
      {section, "Airbus", "A320", "DLH", kLocalPlaceOtherAirline, 2},
      {section, "Airbus", "A321", "AFR", kLocalPlaceReplace, 2},
      {section, "Airbus", "A320", "", kLocalPlaceSameType, 2},
      {section, "Cessna", "", "SWR", kLocalPlaceSameAirline, 5},
      {section, "Cessna", "", "", kLocalPlaceOtherAirline, 5},
      {section, "Boeing", "", "", kLocalPlaceSameAirline, 1},
      {"[LOCAL_AIRCRAFTS]\r\n003=Boeing{{B737}}\r\n004=Airbus A320\r\n", "Cessna", "C172", "",
       kLocalPlaceNoOpenBraces, 4},
      {"[LOCAL_AIRCRAFTS]\r\n003=Boeing{{B737}}\r\n007=Airbus{{A320\r\n", "Cessna", "C172", "",
       kLocalPlaceNoCloseBraces, 7},
      {"[LOCAL_AIRCRAFTS]\r\nno equals here\r\n003=Boeing{{B737}}\r\n", "Cessna", "C172", "", kLocalPlaceNew, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.titlePart) + " " + c.type + " " + c.airline + " in " + (c.file ? c.file : "(none)"));
    std::filesystem::remove(Path());
    if (c.file != nullptr) WriteRules(c.file);
    int number = -7;
    EXPECT_EQ(FindLocalRulePlace(Path(), c.titlePart, c.type, c.airline, number), c.code);
    EXPECT_EQ(number, c.number);
  }
}

TEST_F(RulesDialogsTest, TheSameLocalRuleTwiceGivesTheIdenticalRuleBoxWithItsNumber) {
  WriteRules("[LOCAL_AIRCRAFTS]\r\n001=Airbus{{A320}}\r\n002=Cessna{{C172}}\r\n");
  CPlaneTypeAssignerDlg& dialog = Local();
  dialog.ShowWindow(SW_SHOW);
  for (int pass = 0; pass < 2; ++pass) {
    SetText(dialog, kLocalTitlePartId, "Heavy Metal");
    SetText(dialog, kLocalTypeId, "B737");
    Click(dialog, kLocalAddRuleId);
  }
  EXPECT_EQ(Rules(), "[LOCAL_AIRCRAFTS]\r\n001=Airbus{{A320}}\r\n002=Cessna{{C172}}\r\n003=Heavy Metal{{B737}}\r\n");
  const std::vector<MessageBoxRecord> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Informations");
  EXPECT_EQ(boxes[0].text, "An identical rule already exists ( Rule number 3 ).");
}

TEST_F(RulesDialogsTest, ALocalRuleMarksTheModelsItMatchesWithItsType) {
  CPlaneTypeAssignerDlg& dialog = Local();
  dialog.ShowWindow(SW_SHOW);
  EXPECT_EQ(Items(dialog, kLocalModelListId)[0], " \t[ B738 ]\t" + std::string(kBoeing));
  SetText(dialog, kLocalTitlePartId, "Heavy Metal");
  SetText(dialog, kLocalTypeId, "B737");
  Click(dialog, kLocalAddRuleId);
  EXPECT_EQ(Rules(), "[LOCAL_AIRCRAFTS]\r\n000=Heavy Metal{{B737}}\r\n") << "no file: the first rule is 000";
  EXPECT_EQ(Items(dialog, kLocalRuleListId), std::vector<std::string>{"000 >>> Heavy Metal >>> B737"});
  const std::vector<std::string> models = Items(dialog, kLocalModelListId);
  ASSERT_EQ(models.size(), 4u);
  EXPECT_EQ(models[0], "*\t[ B737 ]\t" + std::string(kBoeing));
  EXPECT_EQ(models[1], " \t[ A320 ]\t" + std::string(kAirbus));

  // Only the models with rules.
  const HWND onlyRuled = dialog.GetDlgItem(kLocalOnlyRuledId)->m_hWnd;
  ASSERT_TRUE(SendMessageA(onlyRuled, ControlClickMessage(), 0, 0) != 0);
  EXPECT_EQ(Items(dialog, kLocalModelListId), std::vector<std::string>{"*\t[ B737 ]\t" + std::string(kBoeing)});
  ASSERT_TRUE(SendMessageA(onlyRuled, ControlClickMessage(), 0, 0) != 0);
  EXPECT_EQ(Items(dialog, kLocalModelListId).size(), 4u);

  // A model with a rule shows its remove button and its rule; one without hides both.
  CWnd* removeButton = dialog.GetDlgItem(kLocalRemoveModelRuleId);
  ASSERT_NE(removeButton, nullptr);
  Pick(dialog, kLocalModelListId, 0);
  EXPECT_TRUE(removeButton->IsWindowVisible());
  EXPECT_EQ(ListOf(dialog, kLocalRuleListId).GetCurSel(), 0);
  EXPECT_EQ(Text(dialog, kLocalTitlePartId), kBoeing);
  EXPECT_EQ(Text(dialog, kLocalTypeId), "B737");
  Pick(dialog, kLocalModelListId, 1);
  EXPECT_FALSE(removeButton->IsWindowVisible());
  EXPECT_EQ(ListOf(dialog, kLocalRuleListId).GetCurSel(), -1);

  // Removing the rule keeps what it gave the model until the next scan.
  Pick(dialog, kLocalRuleListId, 0);
  Click(dialog, kLocalRemoveSelectedRuleId);
  EXPECT_EQ(Rules(), "[LOCAL_AIRCRAFTS]\r\n");
  EXPECT_TRUE(Items(dialog, kLocalRuleListId).empty());
}

TEST_F(RulesDialogsTest, LocalRuleFieldsAreCheckedBeforeAnythingIsWritten) {
  const struct {
    const char* titlePart;
    const char* type;
    const char* airline;
    const char* box;  // null: written
    const char* value;
  } cases[] = {
      {"Boe", "B738", "", "Only aircraft names with at least 4 characters are taken into account.", nullptr},
      {"Boeing", "B", "", "Only aircraft ICAO types with at least 2 characters are taken into account.", nullptr},
      {"Boeing", "B738", "AF", "Only airlines ICAO codes with exactly 3 characters are taken into account.", nullptr},
      {"Boeing=738", "B738", "", "", nullptr},
      {"Boeing{{", "B738", "", "", nullptr},
      {"Boeing", "", "AFR", nullptr, "000=Boeing{{,AFR}}"},
      {"Boeing", "B738", "AFR", nullptr, "000=Boeing{{B738,AFR}}"},
      {"Boeing", "", "", nullptr, "000=Boeing{{}}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.titlePart + std::string(" ") + c.type + " " + c.airline);
    std::filesystem::remove(Path());
    ClearShownMessageBoxes();
    CPlaneTypeAssignerDlg& dialog = Local();
    SetText(dialog, kLocalTitlePartId, c.titlePart);
    SetText(dialog, kLocalTypeId, c.type);
    SetText(dialog, kLocalAirlineId, c.airline);
    Click(dialog, kLocalAddRuleId);
    const std::vector<MessageBoxRecord> boxes = Boxes();
    if (c.box == nullptr) {
      EXPECT_TRUE(boxes.empty());
      EXPECT_EQ(Rules(), "[LOCAL_AIRCRAFTS]\r\n" + std::string(c.value) + "\r\n");
      continue;
    }
    EXPECT_FALSE(std::filesystem::exists(Path()));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Information");
    if (*c.box != '\0') {
      EXPECT_EQ(boxes[0].text, c.box);
    }
  }
}

TEST_F(RulesDialogsTest, ARulesFileThatCannotBeReadIsReportedAndNeverWrittenOver) {
  // A folder where the file should be: it is there, and it cannot be read.
  ASSERT_TRUE(std::filesystem::create_directory(Path()));
  CPlaneTypeAssignerDlg& dialog = Local();
  SetText(dialog, kLocalTitlePartId, "Boeing");
  SetText(dialog, kLocalTypeId, "B738");
  Click(dialog, kLocalAddRuleId);
  EXPECT_TRUE(std::filesystem::is_directory(Path()));
  const std::vector<MessageBoxRecord> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Your rules file " + Path() + " could not be read. No rule was written.");
}

TEST_F(RulesDialogsTest, DoubleClickingATypeAddsTheRuleAsTheButtonDoes) {
  CPlaneTypeAssignerDlg& dialog = Local();
  dialog.ShowWindow(SW_SHOW);
  const std::vector<std::string> types = Items(dialog, kLocalTypeId);
  const auto at = std::find(types.begin(), types.end(), "B737");
  ASSERT_NE(at, types.end());
  SetText(dialog, kLocalTitlePartId, "Heavy Metal");
  ASSERT_TRUE(SendMessageA(ListOf(dialog, kLocalTypeId).m_hWnd, ControlDoubleClickMessage(),
                           static_cast<WPARAM>(at - types.begin()), 0) != 0);
  EXPECT_EQ(Rules(), "[LOCAL_AIRCRAFTS]\r\n000=Heavy Metal{{B737}}\r\n");
  EXPECT_EQ(Text(dialog, kLocalExampleId), "BOEING 737-700 ( L2J )");
}

TEST_F(RulesDialogsTest, AReplacingLocalRuleTakesTheNumberOfTheRuleItOverlaps) {
  WriteRules("[LOCAL_AIRCRAFTS]\r\n004=Boeing{{B737}}\r\n");
  CPlaneTypeAssignerDlg& dialog = Local();
  SetText(dialog, kLocalTitlePartId, "Boeing 737");
  SetText(dialog, kLocalTypeId, "B738");
  Click(dialog, kLocalAddRuleId);
  EXPECT_EQ(Rules(), "[LOCAL_AIRCRAFTS]\r\n004=Boeing 737{{B738}}\r\n");
  EXPECT_TRUE(Boxes().empty());
}

}  // namespace
