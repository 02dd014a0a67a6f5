#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/text_fields.h"
#include "model_test_support.h"
#include "sim/ai_lock.h"
#include "sim/rule_appliers.h"

namespace {
class RuleAppliersTest : public ModelTablesTest {
 protected:
  void ApplyLocal(const std::string& rules, std::string_view excluded = "", std::string_view order = "") {
    WriteFile("Rules.txt", rules);
    ApplyTypeTranslationRules(Tables(), File("Rules.txt"), excluded, order, log_);
  }
  const LocalModelRecord& Working(int i) { return Tables().working.records[i]; }

  int Remote(const std::string& rules, const char* title) {
    WriteFile("Rules.txt", rules);
    peer_ = RemoteModelChoice{};
    CopyCut(peer_.title, title);
    return ApplyRemoteAircraftRules(&peer_, Tables().working, File("Rules.txt"), kRemoteAircraftsSection, log_);
  }
  int Default(const std::string& rules, const char* classCode) {
    WriteFile("Rules.txt", rules);
    peer_ = RemoteModelChoice{};
    CopyCut(peer_.title, "Some Plane");
    CopyCut(peer_.classCode, classCode);
    return ApplyRemoteDefaultRules(&peer_, Tables().working, File("Rules.txt"), kRemoteDefaultSection, log_);
  }
  void InstallRemoteModels() {
    LocalModelRecord cessna = Model("Laminar\\Cessna 172SP\\c172.acf", "C172", 10'000, "L1P", "L");
    cessna.offsets[0] = 2.5;
    SetModels({Model("Heavy Metal\\B738\\B738.acf", "B738", 10'000, "L2J", "M"), cessna,
               Model("Pack\\Bell\\b206.acf", "B06", 10'000, "H1T", "L")});
  }

  RemoteModelChoice peer_;
};

TEST_F(RuleAppliersTest, LocalRulesSetNumberMarkTypeAndAirline) {
  SetModels({Model("Pack\\Cessna 172\\c.acf", "", 0), Model("Pack\\CESSNA 172\\c.acf", "", 0),
             Model("Pack\\Odd\\odd.acf", "XXXX", 3)});
  const WorkingTableUnderAiLock held(Tables());
  ApplyLocal("[LOCAL_AIRCRAFTS]\r\n007=Cessna{{C172,ABC}}\r\n008=Odd{{B738}}\r\n009=Pack\\Odd{{,DEF}}\r\nnoequals\r\n");
  ASSERT_EQ(Tables().working.count, 3);
  EXPECT_EQ(Working(0).ruleNumber, 7);
  EXPECT_EQ(Working(0).ruleMark, '*');
  EXPECT_EQ(FieldText(Working(0).icaoType), "C172");
  EXPECT_EQ(FieldText(Working(0).airline), "ABC");
  // Exact case: "Cessna" is not in "CESSNA 172".
  EXPECT_EQ(Working(1).ruleMark, '\0');
  EXPECT_EQ(FieldText(Working(1).icaoType), "");
  // A 3-character title part applies to nothing; an empty type keeps the model's.
  EXPECT_EQ(Working(2).ruleNumber, 9);
  EXPECT_EQ(FieldText(Working(2).icaoType), "XXXX");
  EXPECT_EQ(FieldText(Working(2).airline), "DEF");
  EXPECT_EQ(log_.Text(), "");
  // The copy of the scan keeps no rule.
  EXPECT_EQ(Tables().copy.records[0].ruleMark, '\0');
  EXPECT_TRUE(held.SwappedInside()) << "the ruled table is swapped in under AiLock";
  EXPECT_EQ(AiLock().Nesting(), 0);
}

TEST_F(RuleAppliersTest, LaterRuleWinsFieldByField) {
  SetModels({Model("Heavy Metal\\B738\\B738.acf", "B738")});
  ApplyLocal("[LOCAL_AIRCRAFTS]\r\n001=Heavy{{B737,AFR}}\r\n002=B738.acf{{B739}}\r\n003=Nope{{ZZZZ,ZZZ}}\r\n");
  EXPECT_EQ(Working(0).ruleNumber, 2);
  EXPECT_EQ(FieldText(Working(0).icaoType), "B739");
  EXPECT_EQ(FieldText(Working(0).airline), "AFR");
}

TEST_F(RuleAppliersTest, CorruptLocalRuleStopsTheApplication) {
  SetModels({Model("Pack\\Cessna\\a.acf", ""), Model("Pack\\Cessna\\b.acf", "")});
  ApplyLocal("[LOCAL_AIRCRAFTS]\r\n001=Cessna{{C172}}\r\n002=Cessna C150\r\n003=Cessna{{C150}}\r\n");
  EXPECT_EQ(FieldText(Working(0).icaoType), "C172");  // what the earlier rule wrote stays
  EXPECT_EQ(Working(1).ruleMark, '\0');               // no model after it is touched
  const std::string path = File("Rules.txt");
  EXPECT_EQ(log_.Text(), "\r\nError code DTRE01 : Corrupt " + path +
                             " file. ICAO type translation rules will not be applied.");
  log_.writes.clear();
  ApplyLocal("[LOCAL_AIRCRAFTS]\r\n001=Cessna{{C172\r\n");
  EXPECT_EQ(log_.Text(), "\r\nError code DTRE02 : Corrupt " + path +
                             " file. ICAO type translation rules will not be applied.");
  EXPECT_EQ(Working(0).ruleMark, '\0');
}

TEST_F(RuleAppliersTest, ExclusionsAndOrderApplyEvenWithoutARulesFile) {
  SetModels({Model("Other\\A\\a.acf", "A320"), Model("PMDG\\B\\b.acf", "B738"), Model("GLOBS X\\c\\c.acf", "C172")});
  ApplyTypeTranslationRules(Tables(), File("missing.txt"), "pmdg", "GLOBS", log_);
  EXPECT_EQ(WorkingTitles(), (std::vector<std::string>{"GLOBS X\\c\\c.acf", "Other\\A\\a.acf"}));
  EXPECT_EQ(log_.Text(), "");
}

TEST_F(RuleAppliersTest, RemoteRuleByTitlePartChoosesTheMainOrTheAlternateModel) {
  InstallRemoteModels();
  const std::string rules =
      "[REMOTE_AIRCRAFTS]\r\nCESSNA=Laminar\\Cessna 172SP\\c172.acf\r\n"
      "BOEING=Not Installed{{Heavy Metal\\B738\\B738.acf}}\r\nAIRBUS=Not Installed{{Neither}}\r\nAIRBUS A3=Pack\\Bell\\b206.acf\r\n";
  EXPECT_EQ(Remote(rules, "Cessna 172 Skyhawk"), kRemoteRuleMainModel);
  EXPECT_EQ(FieldText(peer_.title), "Laminar\\Cessna 172SP\\c172.acf");
  EXPECT_EQ(FieldText(peer_.icaoType), "C172");
  EXPECT_EQ(FieldText(peer_.classCode), "L1P");
  EXPECT_EQ(FieldText(peer_.fifth), "L");
  EXPECT_EQ(peer_.offset1, 2.5);
  EXPECT_EQ(Remote(rules, "boeing 737-800 Air X"), kRemoteRuleAlternateModel);
  EXPECT_EQ(FieldText(peer_.title), "Heavy Metal\\B738\\B738.acf");
  // Neither model of the first Airbus rule is installed: the next rule is tried.
  EXPECT_EQ(Remote(rules, "Airbus A320"), kRemoteRuleMainModel);
  EXPECT_EQ(FieldText(peer_.title), "Pack\\Bell\\b206.acf");
  EXPECT_EQ(Remote(rules, "Piper Cub"), kRemoteRuleNone);
  EXPECT_EQ(FieldText(peer_.title), "Piper Cub");
  EXPECT_EQ(log_.Text(), "");
}

TEST_F(RuleAppliersTest, RemoteRuleResultsAndMessages) {
  InstallRemoteModels();
  const std::string path = File("Rules.txt");
  const std::string ora = " file. Remote translation rules will not be applied.";
  struct Case {
    std::string rules;
    int result;
    std::string message;
  };
  const Case cases[] = {
      {"[REMOTE_AIRCRAFTS]\r\nCESSNA=\r\n", kRemoteRuleNoTitle, "\r\nError code ORA11 : Corrupt " + path + ora},
      {"[REMOTE_AIRCRAFTS]\r\nCESSNA={{x}}\r\n", kRemoteRuleNoMainTitle, "\r\nError code ORA12 : Corrupt " + path + ora},
      {"[REMOTE_AIRCRAFTS]\r\nCESSNA=a{{x\r\n", kRemoteRuleUnclosedAlternate, "\r\nError code ORA20 : Corrupt " + path + ora},
      // A corrupt rule stops the applier even where it would not apply.
      {"[REMOTE_AIRCRAFTS]\r\nPIPER=\r\nCESSNA=Laminar\\Cessna 172SP\\c172.acf\r\n", kRemoteRuleNoTitle,
       "\r\nError code ORA11 : Corrupt " + path + ora},
      {"[REMOTE_AIRCRAFTS]\r\nCES=Laminar\\Cessna 172SP\\c172.acf\r\nnoequals\r\n", kRemoteRuleNone,
       "\r\nOnly aircraft names with at least 4 characters are taken into account. Please check your " + path +
           " file for this entry CES\r\n\t in section = REMOTE_AIRCRAFTS"},
      {"[OTHER]\r\nCESSNA=Laminar\\Cessna 172SP\\c172.acf\r\n", kRemoteRuleNone, ""},
  };
  for (const Case& c : cases) {
    log_.writes.clear();
    EXPECT_EQ(Remote(c.rules, "Cessna 172"), c.result) << c.rules;
    EXPECT_EQ(log_.Text(), c.message) << c.rules;
  }
  EXPECT_EQ(ApplyRemoteAircraftRules(&peer_, Tables().working, File("missing.txt"), kRemoteAircraftsSection, log_),
            kRemoteRuleNoFile);
  EXPECT_EQ(ApplyRemoteAircraftRules(nullptr, Tables().working, path, kRemoteAircraftsSection, log_), kRemoteRuleBadPeer);
  EXPECT_EQ(ApplyRemoteAircraftRules(&peer_, Tables().working, path, "", log_), kRemoteRuleBadPeer);
}

TEST_F(RuleAppliersTest, RemoteDefaultRulesByClassCode) {
  InstallRemoteModels();
  const std::string path = File("Rules.txt");
  const std::string ord = " file. Remote translation rules will not be applied.";
  const std::string rules = "[REMOTE_DEFAULT]\r\nL1P=Laminar\\Cessna 172SP\\c172.acf\r\nL2J=Heavy Metal\\B738\\B738.acf\r\n";
  EXPECT_EQ(Default(rules, "L2J"), kRemoteDefaultModel);
  EXPECT_EQ(FieldText(peer_.title), "Heavy Metal\\B738\\B738.acf");
  EXPECT_EQ(FieldText(peer_.classCode), "L2J");
  EXPECT_EQ(Default(rules, "l2j"), kRemoteRuleNone);  // the class is compared exactly
  EXPECT_EQ(Default(rules, "H1T"), kRemoteRuleNone);
  // A model that is not installed answers at once, whatever the class.
  EXPECT_EQ(Default("[REMOTE_DEFAULT]\r\nL1T=Missing\\Model\\m.acf\r\nL2J=Heavy Metal\\B738\\B738.acf\r\n", "L2J"),
            kRemoteDefaultNotInstalled);
  log_.writes.clear();
  EXPECT_EQ(Default("[REMOTE_DEFAULT]\r\nL2JX=Heavy Metal\\B738\\B738.acf\r\n", "L2J"), kRemoteDefaultBadClass);
  EXPECT_EQ(log_.Text(), "\r\nError code ORD10 : Corrupt " + path + ord);
  log_.writes.clear();
  EXPECT_EQ(Default("[REMOTE_DEFAULT]\r\nL2J=\r\n", "L2J"), kRemoteDefaultNoModel);
  EXPECT_EQ(log_.Text(), "\r\nError code ORD20 : Corrupt " + path + ord);
  Tables().working.count = 0;
  EXPECT_EQ(Default(rules, "L2J"), kRemoteDefaultNotInstalled);
}
}  // namespace
