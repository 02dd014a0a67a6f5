#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "base/klib_settings.h"
#include "model_test_support.h"
#include "sim/ai_lock.h"
#include "sim/model_scan.h"
#include "core/text_fields.h"
#include "testbed/aircraft_tree.h"
#include "win/paths.h"

namespace {
class ModelScanTest : public ModelTablesTest {
 protected:
  std::string Aircraft() const { return File("Aircraft"); }
  void Make(std::initializer_list<std::string> paths) {
    for (const std::string& path : paths) ASSERT_TRUE(MakeEmptyFile(Aircraft(), path)) << path;
  }
  ModelScanCount Scan() { return ScanAircraftFolder(Aircraft(), Tables(), g_aircraftTypeDb(), log_); }
  const LocalModelRecord& Working(int i) { return Tables().working.records[i]; }
};

TEST_F(ModelScanTest, ModelTitleIsTheLastThreePathPartsAndItsTypeComesFromTheModelFolderAndFile) {
  LoadSmallTypeTable(folder_);
  Make({"Heavy Metal/B738/B738.acf"});
  const ModelScanCount count = Scan();
  EXPECT_EQ(count.filesFound, 1);
  ASSERT_EQ(count.modelsStored, 1);
  ASSERT_EQ(Tables().working.count, 1);
  const LocalModelRecord& model = Working(0);
  EXPECT_EQ(FieldText(model.title), "Heavy Metal\\B738\\B738.acf");
  EXPECT_EQ(FieldText(model.icaoType), "B738");
  EXPECT_EQ(model.typeScore, 10'000);
  EXPECT_EQ(model.military, 0);
  EXPECT_EQ(FieldText(model.classCode), "L2J");
  EXPECT_EQ(FieldText(model.fifth), "M");
  EXPECT_EQ(FieldText(model.airline), "");
  EXPECT_EQ(model.ruleMark, '\0');
  EXPECT_EQ(model.offsets[0], 0.0);
}

TEST_F(ModelScanTest, TypeAndClassOfEachKindOfAnswer) {
  LoadSmallTypeTable(folder_);
  Make({"Warbirds/Saab Viggen/viggen.acf", "Pack/Tavelkor QWZJ/model.acf", "Pack/Unknown Thing/thing.acf",
        "Pack/B737 Max/B38M.acf", "Pack/Boeing Thing/thing.acf"});
  Scan();
  ASSERT_EQ(Tables().working.count, 5);
  struct Expected {
    const char* title;
    const char* type;
    int military;
    const char* classCode;
  };
  // Walk order: the folders of "Pack" by name, then "Warbirds".
  const Expected expected[] = {
      {"Pack\\B737 Max\\B38M.acf", "B737", 0, "L2J"},        // the class of the first B73 type
      {"Pack\\Boeing Thing\\thing.acf", "B738", 0, "L2J"},   // guessed by the scorer
      {"Pack\\Tavelkor QWZJ\\model.acf", "QWZJ", 0, ""},     // the scorer has no answer: the prefix rule's type
      {"Pack\\Unknown Thing\\thing.acf", "", 0, ""},
      {"Warbirds\\Saab Viggen\\viggen.acf", "SB37", 1, ""}};
  const int expectedScores[] = {10'000, 40, 1, 0, 10'000};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(expected[i].title);
    EXPECT_EQ(FieldText(Working(i).title), expected[i].title);
    EXPECT_EQ(FieldText(Working(i).icaoType), expected[i].type);
    EXPECT_EQ(Working(i).military, expected[i].military);
    EXPECT_EQ(FieldText(Working(i).classCode), expected[i].classCode);
    EXPECT_EQ(Working(i).typeScore, expectedScores[i]);
  }
}

TEST_F(ModelScanTest, FilesNotStartingWithALetterOrDigitAndExcludedFoldersAreSkipped) {
  Make({"Pack/Old/_Old.acf", "Pack/Old/-x.acf", "Pack/Old/Good.acf", "radio control/RC/rc.acf",
        "Pack/Science Fiction/Ship/ship.acf", "Pack/Old/notes.txt", "Pack/Old/Good.acf.bak"});
  const ModelScanCount count = Scan();
  EXPECT_EQ(count.filesFound, 3);  // the three .acf files the walk kept
  EXPECT_EQ(count.modelsStored, 1);
  EXPECT_EQ(WorkingTitles(), (std::vector<std::string>{"Pack\\Old\\Good.acf"}));
  EXPECT_EQ(log_.Text(), "\r\nRead: 3 files, 1 liveries available for multiplayer session.");
}

TEST_F(ModelScanTest, ReadLineAlternatesColours) {
  Make({"A/B/c.acf", "A/B/d.acf"});
  Scan();
  ASSERT_EQ(log_.writes.size(), 5u);
  const int expectedColours[] = {kColourNormal, kColourEmphasis, kColourNormal, kColourEmphasis, kColourNormal};
  const char* expectedTexts[] = {"\r\nRead: ", "2", " files, ", "2 ", "liveries available for multiplayer session."};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(log_.writes[i].first, expectedColours[i]);
    EXPECT_EQ(log_.writes[i].second, expectedTexts[i]);
  }
}

TEST_F(ModelScanTest, TitlesOf112CharactersOrMoreAreLoggedAndLeftOut) {
  // "P\" + folder + "\" + file: 111 characters fit, 112 do not.
  const std::string fits = std::string(100, 'f') + "/m.acf";          // 1 + 1 + 100 + 1 + 5 = 108
  const std::string exact = std::string(103, 'g') + "/m.acf";         // 111
  const std::string over = std::string(104, 'h') + "/m.acf";          // 112
  const std::string deepOver = std::string(200, 'i') + "/" + std::string(200, 'j') + "/m.acf";
  Make({"P/" + fits, "P/" + exact, "P/" + over, "P/" + deepOver});
  const ModelScanCount count = Scan();
  EXPECT_EQ(count.filesFound, 4);
  EXPECT_EQ(count.modelsStored, 2);
  const std::vector<std::string> titles = WorkingTitles();
  ASSERT_EQ(titles.size(), 2u);
  EXPECT_EQ(titles[0].size(), 108u);
  EXPECT_EQ(titles[1].size(), 111u);
  const std::string overTitle = "P\\" + std::string(104, 'h') + "\\m.acf";
  EXPECT_NE(log_.Text().find("\tPath " + overTitle + " is too long, this aircraft will not be taken into account.\r\n"),
            std::string::npos);
  EXPECT_NE(log_.Text().find(std::string(200, 'i') + "\\" + std::string(200, 'j') + "\\m.acf is too long"),
            std::string::npos);
}

TEST_F(ModelScanTest, CopyTableHoldsTheScanAndALinkLoopIsNotFollowed) {
  Make({"Heavy Metal/B738/B738.acf", "Heavy Metal/A320neo/A320.acf"});
  ASSERT_EQ(symlink("../..", JoinPath(Aircraft(), "Heavy Metal/B738/loop").c_str()), 0);
  const WorkingTableUnderAiLock held(Tables());
  Scan();
  EXPECT_TRUE(held.SwappedInside()) << "the scanned table is swapped in under AiLock";
  ASSERT_EQ(Tables().working.count, 2);
  ASSERT_EQ(Tables().copy.count, 2);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(FieldText(Tables().copy.records[i].title), FieldText(Working(i).title));
  EXPECT_EQ(AiLock().Nesting(), 0);
}

// Models installed elsewhere and linked into the Aircraft folder are found,
// named by the link.
TEST_F(ModelScanTest, ModelsReachedThroughALinkedFolderAreScanned) {
  TempFolder elsewhere;
  ASSERT_TRUE(MakeEmptyFile(elsewhere.Path(), "B738/B738.acf"));
  Make({"Laminar Research/Cessna 172SP/Cessna_172SP.acf"});
  ASSERT_EQ(symlink(elsewhere.Path().c_str(), JoinPath(Aircraft(), "Heavy Metal").c_str()), 0);
  ASSERT_EQ(Scan().modelsStored, 2);
  EXPECT_EQ(WorkingTitles(), (std::vector<std::string>{"Heavy Metal\\B738\\B738.acf",
                                                       "Laminar Research\\Cessna 172SP\\Cessna_172SP.acf"}));
  EXPECT_EQ(FieldText(Working(0).icaoType), "B738");
}

TEST_F(ModelScanTest, MissingFolderGivesAnEmptyTable) {
  SetModels({Model("Old\\Model\\m.acf", "C172")});
  const ModelScanCount count = ScanAircraftFolder(File("nowhere"), Tables(), g_aircraftTypeDb(), log_);
  EXPECT_EQ(count.filesFound, 0);
  EXPECT_EQ(Tables().working.count, 0);
  EXPECT_EQ(Tables().copy.count, 0);
  EXPECT_EQ(log_.Text(), "\r\nRead: 0 files, 0 liveries available for multiplayer session.");
}

TEST_F(ModelScanTest, AtMost42999ModelsAreStored) {
  ASSERT_EQ(MakeAircraftTree(Aircraft(), 43'002).size(), 43'002u);
  const ModelScanCount count = Scan();
  EXPECT_EQ(count.filesFound, 43'002);
  EXPECT_EQ(count.modelsStored, 42'999);
  EXPECT_EQ(Tables().working.count, 42'999);
  EXPECT_EQ(Tables().copy.count, 42'999);
  EXPECT_NE(log_.Text().find("Read: 43002 files, 42999 liveries"), std::string::npos);
}

TEST_F(ModelScanTest, ExcludedPlanesDropModelsByTitleOrTypeInAnyCaseButKeepTheCopy) {
  SetModels({Model("PMDG\\B738\\b738.acf", "B738"), Model("Pack\\Pss A320\\a.acf", "A320"),
             Model("Pack\\Cessna\\c.acf", "C172"), Model("Pack\\Odd\\o.acf", "PSSX"),
             Model("Pack\\pmdgish\\p.acf", "MD82")});
  ApplyExcludedPlanes(Tables(), "PMDG PSS");
  EXPECT_EQ(WorkingTitles(), (std::vector<std::string>{"Pack\\Cessna\\c.acf"}));
  EXPECT_EQ(Tables().copy.count, 5);
  // Each application starts again from the copy.
  ApplyExcludedPlanes(Tables(), "cessna");
  EXPECT_EQ(Tables().working.count, 4);
  ApplyExcludedPlanes(Tables(), "");
  EXPECT_EQ(Tables().working.count, 5);
}

TEST_F(ModelScanTest, PackageOrderPutsPrefixedTitlesFirstInSettingOrder) {
  SetModels({Model("Other\\A\\a.acf", "A320"), Model("PAI B738\\x\\x.acf", "B738"), Model("GLOBS A320\\y\\y.acf", "A320"),
             Model("globs lower\\z\\z.acf", "C172"), Model("GLOBSX\\w\\w.acf", "C172"), Model("PAI A320\\v\\v.acf", "A320"),
             Model("GLOBS B738\\u\\u.acf", "B738")});
  ApplyPackageOrder(Tables(), "globs PAI");
  EXPECT_EQ(WorkingTitles(),
            (std::vector<std::string>{"GLOBS A320\\y\\y.acf", "GLOBS B738\\u\\u.acf", "PAI B738\\x\\x.acf",
                                      "PAI A320\\v\\v.acf", "Other\\A\\a.acf", "globs lower\\z\\z.acf", "GLOBSX\\w\\w.acf"}));
  const std::vector<std::string> before = WorkingTitles();
  ApplyPackageOrder(Tables(), "");
  EXPECT_EQ(WorkingTitles(), before);
}

TEST_F(ModelScanTest, ScanDoneFlagAndPluginNoticeWithoutALink) {
  SetModelScanDone(false);
  EXPECT_EQ(SendModelsScannedToPlugin(nullptr), 0);
  SetModelScanDone(true);
  EXPECT_EQ(SendModelsScannedToPlugin(nullptr), 0);  // no link object
  EXPECT_TRUE(ModelScanDone());
  SetModelScanDone(false);
}
}  // namespace
