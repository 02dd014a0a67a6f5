// The own aircraft's type from the installed model of its title, or from the
// row the pilot chose: type, index, class code, fifth column, engine kind,
// parameter word, offsets and the identity that peers receive.
#include <gtest/gtest.h>

#include <mutex>
#include <string>

#include "core/aircraft_type_db.h"
#include "core/app_paths.h"
#include "core/own_aircraft_state.h"
#include "core/settings.h"
#include "core/text_fields.h"
#include "model_test_support.h"
#include "net/own_aircraft_report.h"
#include "sim/own_aircraft_link.h"
#include "sim/own_type_match.h"
#include "sim/plugin_link_records.h"
#include "win/msgbox.h"

namespace {
// Row numbers of the type table below.
constexpr int kB737Row = 0;
constexpr int kB738Row = 1;
constexpr int kF16Row = 2;
constexpr int kR22Row = 3;
constexpr int kKingAirRow = 4;
constexpr int kOddRow = 5;

class OwnTypeMatchTest : public ModelTablesTest {
 protected:
  void SetUp() override {
    ModelTablesTest::SetUp();
    g_ownAircraft().Reset();
    savedRules_ = g_appPaths().rulesFile;
    g_appPaths().rulesFile = File("Rules.txt");
    SetSetupText(g_setupSettings.excludedPlanes, "");
    SetSetupText(g_setupSettings.packageOrder, "");
    LoadTypeTable(folder_, {"Boeing\t737-700\tB737\tL2J\tM", "Boeing\t737-800\tB738\tL2J\tM",
                            "General Dynamics\tF-16\tF16\tL1J\tM", "Robinson\tR22\tR22\tH1P\tL",
                            "Beech\tKing Air 350\tB350\tL2T\tM", "Odd\tThing\tODD1\tL2X\tZ"});
    LocalModelRecord boeing = Model("Heavy Metal\\B738\\B738.acf", "B738", 10'000, "L2J", "M");
    boeing.offsets[0] = 2.5;
    boeing.offsets[1] = 0.5;
    boeing.offsets[2] = 7.0;
    LocalModelRecord fighter = Model("Military\\F16\\f16.acf", "F16", 10'000, "L1J", "M");
    fighter.military = 1;
    SetModels({boeing, fighter, Model("Odd Pack\\Thing\\thing.acf", "", 0), Model("Pack\\Cessna\\c172.acf", "C72R")});
  }
  void TearDown() override {
    g_appPaths().rulesFile = savedRules_;
    SetSetupText(g_setupSettings.excludedPlanes, setting_default::kExcludedPlanes);
    SetSetupText(g_setupSettings.packageOrder, setting_default::kPackageOrder);
    g_ownAircraft().Reset();
    ModelTablesTest::TearDown();
  }
  template <std::size_t N>
  static void SetSetupText(std::array<char, N>& field, std::string_view text) {
    std::lock_guard lock(SettingsTextLock());
    CopyCut(field.data(), field.size(), text);
  }
  static void Load(const std::string& title) { ApplyUserAircraftLoaded(BuildOwnIdentityRecord(title)); }
  static OwnModel Own() { return g_ownAircraft().Snapshot().model; }
  static std::string IdentityType(const OwnModel& model) {
    return std::string(reinterpret_cast<const char*>(model.identityRecord.data() + kOwnIdentityIcaoAt));
  }
  static std::uint32_t IdentityParameterWord(const OwnModel& model) {
    const auto* at = model.identityRecord.data() + kOwnIdentityParameterAt;
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
  }

  std::string savedRules_;
};

TEST_F(OwnTypeMatchTest, ALoadedAircraftTakesTheTypeOfItsInstalledModel) {
  Load("Heavy Metal\\B738\\B738.acf");
  OwnModel own = Own();
  EXPECT_TRUE(own.identityLoaded);
  EXPECT_EQ(FieldText(own.icaoType), "B738");
  EXPECT_EQ(own.typeIndex, kB738Row);
  EXPECT_EQ(FieldText(own.classCode), "L2J");
  EXPECT_EQ(FieldText(own.fifthColumn), "M");
  EXPECT_EQ(own.engineKind, kOwnEngineJet);
  EXPECT_EQ(own.parameterWord, 0);
  EXPECT_EQ(own.placementOffsets, (std::array<double, 3>{2.5, 0.5, 7.0}));
  EXPECT_EQ(IdentityType(own), "B738");
  EXPECT_EQ(IdentityParameterWord(own), 0u);

  // Another aircraft: its model's type and military flag, which peers read as the parameter word.
  Load("Military\\F16\\f16.acf");
  own = Own();
  EXPECT_EQ(FieldText(own.icaoType), "F16");
  EXPECT_EQ(own.typeIndex, kF16Row);
  EXPECT_EQ(own.parameterWord, 1);
  EXPECT_EQ(IdentityType(own), "F16");
  EXPECT_EQ(IdentityParameterWord(own), 1u);
  EXPECT_EQ(FieldText(own.title), "Military\\F16\\f16.acf");

  // The model is found by the exact title (this one is typed by the list), its offsets ignoring case.
  Load("heavy metal\\b738\\b738.acf");
  own = Own();
  EXPECT_EQ(FieldText(own.icaoType), "B738");
  EXPECT_EQ(own.parameterWord, 0);
  EXPECT_EQ(own.placementOffsets, (std::array<double, 3>{2.5, 0.5, 7.0}));
  Load("Pack\\Cessna\\c172.acf");
  EXPECT_EQ(FieldText(Own().icaoType), "C72R");
  Load("PACK\\CESSNA\\C172.ACF");
  EXPECT_EQ(FieldText(Own().icaoType), "C172") << "another case is no installed model";
  // No model of the title: the default offsets, the third one kept.
  Load("Heavy Metal\\B738\\B738.acf");
  Load("Nowhere\\B738\\b738.acf");
  EXPECT_EQ(Own().placementOffsets, (std::array<double, 3>{5.1, 1.0, 7.0}));
}

TEST_F(OwnTypeMatchTest, ATitleNoModelHasIsTypedAsTheScanTypesAModel) {
  // The decision list on the normalised title, with its military flag.
  Load("Demo: Saab_Viggen");
  OwnModel own = Own();
  EXPECT_EQ(FieldText(own.icaoType), "SB37");
  EXPECT_EQ(own.parameterWord, 1);
  EXPECT_EQ(IdentityParameterWord(own), 1u);
  // The list knows nothing: the scorer over the type table, and no flag.
  Load("Robinson R22 Beta");
  own = Own();
  EXPECT_EQ(FieldText(own.icaoType), "R22");
  EXPECT_EQ(own.typeIndex, kR22Row);
  EXPECT_EQ(own.engineKind, kOwnEngineHelicopter);
  EXPECT_EQ(own.parameterWord, 0);
}

TEST_F(OwnTypeMatchTest, AModelWithoutTypeKeepsTheTypeThereWas) {
  Load("Heavy Metal\\B738\\B738.acf");
  Load("Odd Pack\\Thing\\thing.acf");
  const OwnModel own = Own();
  EXPECT_EQ(FieldText(own.icaoType), "B738");
  EXPECT_EQ(IdentityType(own), "B738");
}

TEST_F(OwnTypeMatchTest, TheLocalRulesAreAppliedBeforeTheModelIsLookedUp) {
  // A rule's type is looked up by its first four characters: "B738" rather than the first "B73" row.
  WriteFile("Rules.txt", "[LOCAL_AIRCRAFTS]\r\n001=Odd Pack{{B738ZZ,AFR}}\r\n");
  Load("Odd Pack\\Thing\\thing.acf");
  const OwnModel own = Own();
  EXPECT_EQ(own.typeIndex, kB738Row);
  EXPECT_EQ(FieldText(own.icaoType), "B738");
}

TEST_F(OwnTypeMatchTest, AModelLeftOutOfTheWorkingTableStillNamesTheOwnType) {
  SetSetupText(g_setupSettings.excludedPlanes, "C72R");
  Load("Pack\\Cessna\\c172.acf");
  EXPECT_EQ(FieldText(Own().icaoType), "C72R");
}

TEST_F(OwnTypeMatchTest, AChosenRowGivesItsTypeAndTheEngineKindFollowsItsClassCode) {
  Load("Heavy Metal\\B738\\B738.acf");
  struct Case {
    int row;
    const char* type;
    const char* classCode;
    std::uint8_t engineKind;
  };
  // An unknown engine letter keeps the kind of the row before.
  const Case cases[] = {{kR22Row, "R22", "H1P", kOwnEngineHelicopter},
                        {kKingAirRow, "B350", "L2T", kOwnEngineTurboprop},
                        {kOddRow, "ODD1", "L2X", kOwnEngineTurboprop},
                        {kB737Row, "B737", "L2J", kOwnEngineJet}};
  for (const Case& c : cases) {
    MatchTitleToIcao(c.row);
    const OwnModel own = Own();
    EXPECT_EQ(own.typeIndex, c.row) << c.type;
    EXPECT_EQ(FieldText(own.icaoType), c.type);
    EXPECT_EQ(FieldText(own.classCode), c.classCode);
    EXPECT_EQ(own.engineKind, c.engineKind) << c.type;
    EXPECT_EQ(IdentityType(own), c.type);
    // The network is told the codes of that row.
    const OwnAircraftReport report = ReportOwnAircraft(g_ownAircraft().Snapshot(), NearestAirport{});
    EXPECT_EQ(report.classCode, c.classCode);
    EXPECT_EQ(report.icaoType, c.type);
  }
  EXPECT_EQ(FieldText(Own().fifthColumn), "M");
  // A row outside the table: the installed model's type stands, with its own row.
  MatchTitleToIcao(99);
  EXPECT_EQ(Own().typeIndex, kB738Row);
  EXPECT_EQ(FieldText(Own().icaoType), "B738");
}

TEST_F(OwnTypeMatchTest, ATypeTheTableDoesNotKnowKeepsNoClassDataOfTheLastAircraft) {
  LocalModelRecord unknown = Model("Pack\\Zeppelin\\nt.acf", "SHIP");
  SetModels({Model("Heavy Metal\\B738\\B738.acf", "B738", 10'000, "L2J", "M"), unknown});
  Load("Heavy Metal\\B738\\B738.acf");
  Load("Pack\\Zeppelin\\nt.acf");
  const OwnModel own = Own();
  EXPECT_EQ(FieldText(own.icaoType), "SHIP");
  EXPECT_EQ(own.typeIndex, kNoChosenTypeIndex);
  EXPECT_EQ(FieldText(own.classCode), "");
  EXPECT_EQ(FieldText(own.fifthColumn), "");
  EXPECT_EQ(own.engineKind, kOwnEngineJet) << "the engine kind there was";
}

TEST_F(OwnTypeMatchTest, AnEmptyTitleAsksForAReloadAndKeepsTheType) {
  Load("Heavy Metal\\B738\\B738.acf");
  ClearShownMessageBoxes();
  SetMessageBoxEcho(false);
  Load("");
  const OwnModel own = Own();
  EXPECT_EQ(FieldText(own.icaoType), "B738");
  EXPECT_EQ(FieldText(own.titleForPeers), "This pilot must reload his airplane");
  ASSERT_EQ(ShownMessageBoxes().size(), 1u);
}
}  // namespace
