#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/text_fields.h"
#include "model_test_support.h"
#include "sim/ai_lock.h"
#include "sim/local_model_choice.h"

namespace {
ModelQuery Query(const char* title, const char* type, const char* airline = "") {
  ModelQuery query;
  CopyCut(query.title, title);
  CopyCut(query.icaoType, type);
  CopyCut(query.airline, airline);
  return query;
}

class AirlinesTable {
 public:
  explicit AirlinesTable(std::vector<std::pair<const char*, const char*>> records) {
    table.records.reset(AllocateTableRecords<AirlineRecord>(records.size() + 1));
    for (const auto& [code, name] : records) {
      CopyCut(table.records[table.count].code, code);
      CopyCut(table.records[table.count].name, name);
      ++table.count;
    }
    table.capacity = table.count;
  }
  AirlineTable table;
};

LocalModelTable TableOf(std::vector<LocalModelRecord>& models) {
  return {models.data(), static_cast<int>(models.size())};
}

TEST(ModelChoice, TitleScorerResults) {
  std::vector<LocalModelRecord> models = {
      Model("Heavy Metal\\B738\\B738.acf", "B738", 50, "L2J", "M"), Model("Pack\\A320\\a320.acf", "A320", 10'000, "L2J", "M"),
      Model("Pack\\B737\\b737.acf", "B737", 40, "L2J", "M"), Model("Pack\\B738F\\b738f.acf", "B738F", 40, "L2J", "M")};
  LocalModelTable table = TableOf(models);
  struct Case {
    const char* title;
    const char* type;
    const char* airline;
    int result;
    const char* chosenTitle;
  };
  const Case cases[] = {
      {"heavy metal\\b738\\b738.ACF", "", "", 800, "Heavy Metal\\B738\\B738.acf"},  // the local title exactly
      {"Airbus A320 Air X", "a320", "", 500, "Pack\\A320\\a320.acf"},             // type score above 100
      {"Boeing 737-800", "B738", "", 10, "Heavy Metal\\B738\\B738.acf"},           // equal type
      {"Boeing 737-800", "B73", "", 7, "Heavy Metal\\B738\\B738.acf"},          // contained: the earliest of equal totals
      {"Boeing 737-900", "B739", "", 6, "Heavy Metal\\B738\\B738.acf"},            // first three characters
      {"Something", "ZZZZ", "", 0, "Something"},
      {"", "B738", "", -110, ""},
  };
  for (const Case& c : cases) {
    ModelQuery query = Query(c.title, c.type, c.airline);
    EXPECT_EQ(ScoreModelsByTitle(query, table), c.result) << c.title << " / " << c.type;
    EXPECT_EQ(FieldText(query.title), c.chosenTitle) << c.title;
  }
  ModelQuery query = Query("Boeing", "B738");
  EXPECT_EQ(ScoreModelsByTitle(query, LocalModelTable{models.data(), 0}), -111);
}

TEST(ModelChoice, SameTitleGivesTheModelsTitleTypeAndClass) {
  std::vector<LocalModelRecord> models = {Model("Pack\\Cessna 172\\c172.acf", "C172", 10'000, "L1P", "L")};
  LocalModelTable table = TableOf(models);
  ModelQuery query = Query("PACK\\CESSNA 172\\C172.ACF", "XXXX");
  EXPECT_EQ(ScoreModelsByTitle(query, table), 800);
  EXPECT_EQ(FieldText(query.title), "Pack\\Cessna 172\\c172.acf");
  EXPECT_EQ(FieldText(query.icaoType), "C172");
  EXPECT_EQ(FieldText(query.classCode), "L1P");
  EXPECT_EQ(FieldText(query.fifth), "L");
}

TEST(ModelChoice, AirlineScorerResults) {
  std::vector<LocalModelRecord> models = {Model("Pack\\B738 Air X\\b.acf", "B738"),
                                          Model("Pack\\B738 Nordic\\b.acf", "B738"), Model("VIP_B738AFR", "B738"),
                                          Model("Pack\\A320 afr 2\\a.acf", "A320"), Model("Pack\\Tanker\\k.acf", "K35R")};
  models[1].airline[0] = 'N', models[1].airline[1] = 'R', models[1].airline[2] = 'D';
  models[4].military = 1;
  LocalModelTable table = TableOf(models);
  AirlinesTable airlines({{"NAX", "AIR X"}, {"ZZZ", "NOWHERE"}});
  struct Case {
    const char* type;
    const char* airline;
    int result;
    const char* chosenTitle;
  };
  const Case cases[] = {
      {"K35R", "USA", 1'000, "Pack\\Tanker\\k.acf"},
      {"B738", "nrd", 999, "Pack\\B738 Nordic\\b.acf"},
      {"B738", "afr", 998, "VIP_B738AFR"},  // a word of the rewritten title
      {"A320", "AFR", 998, "Pack\\A320 afr 2\\a.acf"},
      {"B738", "NAX", 997, "Pack\\B738 Air X\\b.acf"},  // the airline's name in the upper-cased title
      {"b738", "NAX", 0, "Remote"},                      // types are compared exactly here
      {"B738", "ZZZ", 0, "Remote"},
      {"B738", "", 0, "Remote"},
      {"", "NAX", -100, "Remote"},
  };
  for (const Case& c : cases) {
    ModelQuery query = Query("Remote", c.type, c.airline);
    EXPECT_EQ(ScoreModelsByAirline(query, table, airlines.table), c.result) << c.type << " / " << c.airline;
    EXPECT_EQ(FieldText(query.title), c.chosenTitle) << c.type << " / " << c.airline;
  }
  ModelQuery empty = Query("Remote", "B738", "NAX");
  EXPECT_EQ(ScoreModelsByAirline(empty, LocalModelTable{models.data(), 0}, airlines.table), -101);
  ModelQuery noTitle = Query("", "B738", "NAX");
  EXPECT_EQ(ScoreModelsByAirline(noTitle, table, airlines.table), -100);
}

TEST(ModelChoice, AiPackageRewriteStopsAtTheTitlesEnd) {
  // Bytes after the terminator must not count as the airline word.
  std::vector<LocalModelRecord> models = {Model("VIP_B738", "B738", 50)};
  std::memcpy(models[0].title + 9, "AFR", 3);
  LocalModelTable table = TableOf(models);
  AirlinesTable airlines(std::vector<std::pair<const char*, const char*>>{});
  ModelQuery byAirline = Query("Remote", "B738", "AFR");
  EXPECT_EQ(ScoreModelsByAirline(byAirline, table, airlines.table), 0);
  ModelQuery byTitle = Query("Remote", "B738", "AFR");
  EXPECT_EQ(ScoreModelsByTitle(byTitle, table), 10);
}

TEST(ModelChoice, EmptyAirlineNamesAreSkipped) {
  std::vector<LocalModelRecord> models = {Model("Pack\\B738\\b.acf", "B738")};
  LocalModelTable table = TableOf(models);
  AirlinesTable airlines(std::vector<std::pair<const char*, const char*>>{{"AFR", ""}});
  ModelQuery query = Query("Remote", "B738", "AFR");
  EXPECT_EQ(ScoreModelsByAirline(query, table, airlines.table), 0);
  AirlinesTable named({{"AFR", ""}, {"AFR", "B738"}});
  EXPECT_EQ(ScoreModelsByAirline(query, table, named.table), 997);
}

TEST(ModelChoice, AirAlgerieBonusCountsOncePerWord) {
  std::vector<LocalModelRecord> models = {Model("Pack\\B738 Air Algerie\\b.acf", "A330"),
                                          Model("Pack\\DAH\\b.acf", "A330")};
  LocalModelTable table = TableOf(models);
  ModelQuery query = Query("Remote", "", "DAH");
  // "Pack\B738", "Air", "Algerie\b.acf": three words, 5 points each.
  EXPECT_EQ(ScoreModelsByTitle(query, table), 15);
  EXPECT_EQ(FieldText(query.title), "Pack\\B738 Air Algerie\\b.acf");
}

TEST(ModelChoice, ChoiceBetweenTheScorers) {
  std::vector<LocalModelRecord> models = {Model("VIP_B738AFR", "B738", 50), Model("Pack\\Other\\o.acf", "C172", 50)};
  LocalModelTable table = TableOf(models);
  AirlinesTable airlines(std::vector<std::pair<const char*, const char*>>{});
  // Airline 998 beats the title scorer's 5 + 10.
  ModelQuery query = Query("Boeing 737 Air France", "B738", "AFR");
  ModelQuery byTitle = query;
  EXPECT_EQ(ScoreModelsByTitle(byTitle, table), 15);
  EXPECT_EQ(ChooseLocalModel(query, table, airlines.table, false), 998);
  EXPECT_EQ(FieldText(query.title), "VIP_B738AFR");
  EXPECT_EQ(FieldText(query.airline), "AFR");

  // Title scorer 15 (type equal without case), airline scorer 0 (types compared exactly): the title's model.
  ModelQuery titleOnly = Query("Boeing 737", "b738", "AFR");
  EXPECT_EQ(ChooseLocalModel(titleOnly, table, airlines.table, false), 15);
  EXPECT_EQ(FieldText(titleOnly.title), "VIP_B738AFR");
  EXPECT_EQ(FieldText(titleOnly.icaoType), "B738");
}

TEST(ModelChoice, AirlineAnswerWinsOverTheSameTitleAndTiesGoToTheAirlineScorer) {
  std::vector<LocalModelRecord> models = {Model("Airbus", "A320", 10'000, "L2J", "M"),
                                          Model("Pack\\A320 NAX 1\\a.acf", "A320", 50, "L2J", "M")};
  LocalModelTable table = TableOf(models);
  AirlinesTable airlines(std::vector<std::pair<const char*, const char*>>{});
  for (const bool textureFollowCallsign : {false, true}) {
    ModelQuery query = Query("airbus", "A320", "NAX");
    EXPECT_EQ(ChooseLocalModel(query, table, airlines.table, textureFollowCallsign), 998);
    EXPECT_EQ(FieldText(query.title), "Pack\\A320 NAX 1\\a.acf");
    ModelQuery noAirline = Query("airbus", "A320", "");
    EXPECT_EQ(ChooseLocalModel(noAirline, table, airlines.table, textureFollowCallsign), 800);
    EXPECT_EQ(FieldText(noAirline.title), "Airbus");
  }
  // Both nothing: the airline scorer's unchanged copy, the caller's buffers kept.
  ModelQuery nothing = Query("Zeppelin", "ZEPP", "");
  CopyCut(nothing.classCode, "KEEP");
  EXPECT_EQ(ChooseLocalModel(nothing, table, airlines.table, false), 0);
  EXPECT_EQ(FieldText(nothing.title), "Zeppelin");
  EXPECT_EQ(FieldText(nothing.classCode), "KEEP");
}

TEST(ModelChoice, OffsetsOfAModelOrTheDefaults) {
  std::vector<LocalModelRecord> models = {Model("Pack\\B738\\b.acf", "B738")};
  models[0].offsets[0] = 1.5, models[0].offsets[1] = 2.5, models[0].offsets[2] = 3.5;
  LocalModelTable table = TableOf(models);
  double o1 = 0, o2 = 0, o3 = 0;
  EXPECT_EQ(GetLocalModelOffsets(table, "PACK\\b738\\B.ACF", &o1, &o2, &o3), 1);
  EXPECT_EQ(o1, 1.5);
  EXPECT_EQ(o2, 2.5);
  EXPECT_EQ(o3, 3.5);
  o3 = 9.0;
  EXPECT_EQ(GetLocalModelOffsets(table, "Nothing", &o1, &o2, &o3), 0);
  EXPECT_EQ(o1, 5.1);
  EXPECT_EQ(o2, 1.0);
  EXPECT_EQ(o3, 9.0);  // the caller's own value
  o1 = o2 = 7.0;
  EXPECT_EQ(GetLocalModelOffsets(table, nullptr, &o1, &o2, &o3), 0);
  EXPECT_EQ(GetLocalModelOffsets(table, "Nothing", &o1, nullptr, &o3), 0);
  EXPECT_EQ(GetLocalModelOffsets(LocalModelTable{models.data(), 0}, "Nothing", &o1, &o2, &o3), 0);
  EXPECT_EQ(o1, 7.0);
  EXPECT_EQ(o2, 7.0);
}

class ProgramModelChoice : public ModelTablesTest {};

TEST_F(ProgramModelChoice, LockedChoiceReadsTheWorkingTableUnderAiLock) {
  // The working table holds its model only while AiLock is held: a read made
  // outside the lock finds it empty.
  SetModels({Model("Heavy Metal\\B738\\B738.acf", "B738", 10'000, "L2J", "M")});
  LocalModelTable& working = Tables().working;
  working.count = 0;
  const AiLockHeldHooks hooks([&] { working.count = 1; }, [&] { working.count = 0; });
  ModelQuery query = Query("Boeing 737-800", "B738", "");
  EXPECT_EQ(ChooseLocalModelLocked(query), 500);
  EXPECT_EQ(FieldText(query.title), "Heavy Metal\\B738\\B738.acf");
  double o1 = 0.0, o2 = 0.0, o3 = 0.0;
  EXPECT_EQ(GetLocalModelOffsets("heavy metal\\b738\\b738.acf", &o1, &o2, &o3), 1) << "the offsets too";
  EXPECT_EQ(AiLock().Nesting(), 0);
}
}  // namespace
