// The indexed title scorer, the model choice and the folder scan against the
// plain versions in reference_models.cpp, over many generated inputs: every
// answer (result, type buffer, chosen model, every stored record) must be the same.
#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/aircraft_type_db.h"
#include "core/text_fields.h"
#include "model_test_support.h"
#include "reference_models.h"
#include "sim/local_model_choice.h"
#include "sim/model_scan.h"
#include "sim/title_type_scorer.h"
#include "testbed/aircraft_tree.h"
#include "win/paths.h"

namespace {
using Random = std::mt19937;

std::size_t Pick(Random& random, std::size_t count) { return static_cast<std::size_t>(random() % count); }

template <class List>
const auto& PickFrom(Random& random, const List& list) {
  return list[Pick(random, list.size())];
}

std::string RandomText(Random& random, std::string_view alphabet, std::size_t longest) {
  std::string text(Pick(random, longest + 1), ' ');
  for (char& c : text) c = PickFrom(random, alphabet);
  return text;
}

std::string MixCase(Random& random, std::string text) {
  for (char& c : text) {
    if (random() % 3 != 0) continue;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    else if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// Words a title may hold against this table: its makers, model words, pieces
// of models and types, and some that nothing knows.
std::vector<std::string> Vocabulary(const AircraftTypeDb& db, Random& random) {
  std::vector<std::string> words = {"VIP", "GLOBS", "pai", "AIA", "ATOC", "TAVKO", "cfso", "B74D", "B744", "X",
                                    "QQ", "ZZZZZZ", "\xC9T\xC9", "737-800", "A", "1", std::string(300, 'B')};
  for (int i = 0; i < db.count; ++i) {
    const AircraftTypeRecord& record = db.records[i];
    const std::string_view model = FieldText(record.model);
    const std::string_view type = FieldText(record.icaoType);
    words.emplace_back(FieldText(record.manufacturer));
    words.emplace_back(model);
    words.emplace_back(type);
    if (type.size() >= 4) {
      words.emplace_back(type.substr(1, 3));
      words.emplace_back(type.substr(0, 3));
      words.emplace_back(std::string(type.substr(0, 4)) + "X");
    }
    if (!model.empty()) {
      const std::size_t at = Pick(random, model.size());
      words.emplace_back(model.substr(at, 1 + Pick(random, model.size() - at)));
    }
  }
  return words;
}

std::vector<std::string> Titles(const std::vector<std::string>& vocabulary, std::size_t count, Random& random) {
  constexpr std::array<std::string_view, 6> kSeparators = {" ", "_", "+", "  ", " _+ ", "-"};
  std::vector<std::string> titles = {"", " ", "_+_", "VIP", "VIP ", "vip_B738_ABC"};
  while (titles.size() < count) {
    std::string title = random() % 8 == 0 ? std::string(PickFrom(random, kSeparators)) : std::string();
    const std::size_t words = 1 + Pick(random, 6);
    for (std::size_t i = 0; i < words; ++i) {
      if (i != 0) title += PickFrom(random, kSeparators);
      title += MixCase(random, PickFrom(random, vocabulary));
    }
    titles.push_back(std::move(title));
  }
  return titles;
}

struct Guess {
  int result;
  std::array<char, 8> type;
  bool operator==(const Guess&) const = default;
};

template <class Guesser>
Guess Guessed(const std::string& title, Guesser guesser) {
  Guess guess{0, {'k', 'e', 'p', 't', 'x', 'y', 'z', '\0'}};
  guess.result = guesser(title.c_str(), guess.type.data());
  return guess;
}

// Every form of the scorer against the reference, title by title.
void ExpectSameGuesses(const AircraftTypeDb& db, const std::vector<std::string>& titles, bool programTable) {
  const TitleTypeIndex index(db);
  int scored = 0;
  for (std::size_t n = 0; n < titles.size(); ++n) {
    const std::string& title = titles[n];
    SCOPED_TRACE(title);
    const Guess expected =
        Guessed(title, [&](const char* t, char* type) { return reference::GuessIcaoTypeFromTitle(t, type, db); });
    ASSERT_EQ(Guessed(title, [&](const char* t, char* type) { return GuessIcaoTypeFromTitle(t, type, index); }),
              expected);
    if (programTable) {
      ASSERT_EQ(Guessed(title, [](const char* t, char* type) { return GuessIcaoTypeFromTitle(t, type); }), expected);
    } else if (n < 200) {  // the form that indexes per call
      ASSERT_EQ(Guessed(title, [&](const char* t, char* type) { return GuessIcaoTypeFromTitle(t, type, db); }),
                expected);
    }
    scored += expected.result > 0 && expected.result != kTitleGuessAiPackage ? 1 : 0;
  }
  EXPECT_GT(scored, static_cast<int>(titles.size() / 4));  // the cases mostly reach the points
}

class IndexedScorerDifferential : public ModelTablesTest {};

TEST_F(IndexedScorerDifferential, ShippedTypeTable) {
  ASSERT_EQ(LoadAircraftTypes(JoinPath(JoinPath(TK_SOURCE_DIR, "res/data"), "tk_aircrafts.txt")), 2);
  const AircraftTypeDb& db = g_aircraftTypeDb();
  ASSERT_GT(db.count, 500);
  Random random(4'132);
  ExpectSameGuesses(db, Titles(Vocabulary(db, random), 10'000, random), true);
}

// A table in mixed case (as no loader writes it) over a few letters, so that
// many records tie on every kind of points.
TEST_F(IndexedScorerDifferential, CrowdedMixedCaseTable) {
  Random random(17);
  std::vector<AircraftTypeRecord> records(900);
  for (AircraftTypeRecord& record : records) {
    record = AircraftTypeRecord{};
    CopyCut(record.manufacturer, RandomText(random, "ABab", 3));
    CopyCut(record.model, RandomText(random, "ABCab1 -", 12));
    CopyCut(record.icaoType, RandomText(random, "ABC1ab", 5));
  }
  CopyCut(records[400].icaoType, "b74d");
  AircraftTypeDb db;
  db.records = records.data();
  db.count = static_cast<int>(records.size());
  db.loaded = true;
  std::vector<std::string> vocabulary = Vocabulary(db, random);
  for (int i = 0; i < 300; ++i) vocabulary.push_back(RandomText(random, "ABCab1-", 6));
  ExpectSameGuesses(db, Titles(vocabulary, 6'000, random), false);

  db.loaded = false;
  EXPECT_EQ(GuessIcaoTypeFromTitle("AB", nullptr, TitleTypeIndex(db)), 0);
  EXPECT_EQ(Guessed("AB", [&](const char* t, char* type) { return GuessIcaoTypeFromTitle(t, type, TitleTypeIndex(db)); })
                .result,
            0);
}

// The program's index follows a reload of its table.
TEST_F(IndexedScorerDifferential, ProgramIndexFollowsTheLoadedTable) {
  LoadTypeTable(folder_, {"Boeing\t737-800\tB738\tL2J\tM"});
  char type[8] = {};
  EXPECT_EQ(GuessIcaoTypeFromTitle("Boeing", type), 40);
  EXPECT_STREQ(type, "B738");
  LoadTypeTable(folder_, {"Airbus\tA320\tA320\tL2J\tM", "Boeing\t747-400\tB744\tL4J\tH"});
  EXPECT_EQ(GuessIcaoTypeFromTitle("Boeing", type), 40);
  EXPECT_STREQ(type, "B744");
  g_aircraftTypeDb().loaded = false;
  EXPECT_EQ(GuessIcaoTypeFromTitle("Boeing", type), 0);
}

// The model choice over a generated table, for many remote pilots.
class ModelChoiceDifferential : public ModelTablesTest {
 protected:
  static constexpr std::array<std::string_view, 10> kTypes = {"B738", "B737", "B73", "A320", "A32", "C172",
                                                              "b738", "DH8D", "B738F", ""};
  static constexpr std::array<std::string_view, 9> kAirlines = {"NRD", "DAH", "AFR", "nrd", "XX",
                                                                 "",    "BAW", "KLM", "SKL"};
  // Types of the remote pilots: the models' own and some that no model has.
  static constexpr std::array<std::string_view, 14> kRemoteTypes = {
      "B738", "B737", "B73", "A320", "A32", "C172", "b738", "DH8D", "B738F", "", "B739", "ZZZZ", "A3", "DH8"};

  std::vector<LocalModelRecord> MakeModels(Random& random, int count) {
    constexpr std::array<std::string_view, 10> kWords = {"Heavy",        "Metal",        "NRD", "nrd",        "Air Algerie",
                                                         "DAH",          "NORDIC LINES", "KLM", "Skyline Air", "Nordic Lines"};
    std::vector<LocalModelRecord> models;
    for (int i = 0; i < count; ++i) {
      std::string title;
      if (random() % 10 == 0) {
        title = "VIP_" + RandomText(random, "AB73", 4) + std::array{"NRD", "DAH", "KLM", "nrd", ""}[Pick(random, 5)] + "x";
      } else {
        const std::size_t words = 1 + Pick(random, 4);
        for (std::size_t w = 0; w < words; ++w) {
          if (w != 0) title += random() % 5 == 0 ? "  " : " ";
          title += PickFrom(random, kWords);
        }
        title += "\\M" + std::to_string(i) + "\\m.acf";
      }
      // Certain types, military models and rule airlines are rare, so that
      // the later passes of both scorers decide often.
      const int score = random() % 30 == 0 ? std::array{101, 10'000}[Pick(random, 2)]
                                           : std::array{0, 40, 100}[Pick(random, 3)];
      const std::string_view type = PickFrom(random, kTypes);
      LocalModelRecord model =
          Model(title, type, score, RandomText(random, "LJP2", 3), RandomText(random, "MHL", 1));
      model.military = type == "C172" && random() % 3 == 0 ? 1 : 0;
      if (random() % 50 == 0) CopyCut(model.airline, std::array{"KLM", "XX", "nrd"}[Pick(random, 3)]);
      models.push_back(model);
    }
    return models;
  }
};

struct Chosen {
  int result;
  ModelQuery query;
};

void ExpectSameQuery(const ModelQuery& actual, const ModelQuery& expected) {
  EXPECT_EQ(0, std::memcmp(actual.title, expected.title, sizeof actual.title)) << actual.title;
  EXPECT_EQ(0, std::memcmp(actual.icaoType, expected.icaoType, sizeof actual.icaoType)) << actual.icaoType;
  EXPECT_EQ(0, std::memcmp(actual.airline, expected.airline, sizeof actual.airline));
  EXPECT_EQ(0, std::memcmp(actual.classCode, expected.classCode, sizeof actual.classCode)) << actual.classCode;
  EXPECT_EQ(0, std::memcmp(actual.fifth, expected.fifth, sizeof actual.fifth)) << actual.fifth;
}

TEST_F(ModelChoiceDifferential, GeneratedTableAndPilots) {
  Random random(4'133);
  std::vector<LocalModelRecord> models = MakeModels(random, 6'000);
  const LocalModelTable table{models.data(), static_cast<int>(models.size())};
  const AirlineTable airlines = [] {
    AirlineTable made;
    made.records.reset(AllocateTableRecords<AirlineRecord>(5));
    const std::array<std::pair<const char*, const char*>, 5> named = {
        {{"NRD", "NORDIC LINES"}, {"DAH", "AIR ALGERIE"}, {"AFR", ""}, {"KLM", "KLM"}, {"SKL", "SKYLINE AIR"}}};
    for (const auto& [code, name] : named) {
      CopyCut(made.records[made.count].code, code);
      CopyCut(made.records[made.count].name, name);
      ++made.count;
    }
    made.capacity = made.count;
    return made;
  }();

  std::array<int, 6> resultsSeen{};  // 800/500, points, nothing; 1000/999, 998, 997
  for (int pilot = 0; pilot < 600; ++pilot) {
    ModelQuery query;
    const int kind = static_cast<int>(Pick(random, 4));
    std::string title = kind == 0   ? MixCase(random, std::string(FieldText(PickFrom(random, models).title)))
                        : kind == 1 ? "Boeing 737-800 Nordic Lines"
                        : kind == 2 ? RandomText(random, "AB ", 6)
                                    : "";
    CopyCut(query.title, title);
    CopyCut(query.icaoType, PickFrom(random, kRemoteTypes));
    CopyCut(query.airline, PickFrom(random, kAirlines));
    SCOPED_TRACE(std::string(query.title) + " / " + query.icaoType + " / " + query.airline);

    ModelQuery expectedTitle = query, actualTitle = query;
    const int titleResult = reference::ScoreModelsByTitle(expectedTitle, table);
    ASSERT_EQ(ScoreModelsByTitle(actualTitle, table), titleResult);
    ExpectSameQuery(actualTitle, expectedTitle);

    ModelQuery expectedAirline = query, actualAirline = query;
    const int airlineResult = reference::ScoreModelsByAirline(expectedAirline, table, airlines);
    ASSERT_EQ(ScoreModelsByAirline(actualAirline, table, airlines), airlineResult);
    ExpectSameQuery(actualAirline, expectedAirline);

    for (const bool follow : {false, true}) {
      ModelQuery expected = query, actual = query;
      const int result = reference::ChooseLocalModel(expected, table, airlines, follow);
      ASSERT_EQ(ChooseLocalModel(actual, table, airlines, follow), result);
      ExpectSameQuery(actual, expected);
    }
    resultsSeen[titleResult >= kChoiceSameTypeKnown ? 0 : titleResult > 0 ? 1 : 2]++;
    if (airlineResult >= kChoiceRuleAirline) resultsSeen[3]++;
    if (airlineResult == kChoiceAirlineWord) resultsSeen[4]++;
    if (airlineResult == kChoiceAirlineName) resultsSeen[5]++;
  }
  for (std::size_t i = 0; i < resultsSeen.size(); ++i) EXPECT_GT(resultsSeen[i], 5) << "answer kind " << i;
}

// The scan of a generated tree with the odd entries a real one holds.
class ScanDifferential : public ModelTablesTest {};

TEST_F(ScanDifferential, EveryRecordOfAGeneratedTree) {
  ASSERT_EQ(LoadAircraftTypes(JoinPath(JoinPath(TK_SOURCE_DIR, "res/data"), "tk_aircrafts.txt")), 2);
  const std::string aircraft = File("Aircraft");
  ASSERT_EQ(MakeAircraftTree(aircraft, 3'000).size(), 3'000u);
  for (const char* odd : {"Pack/Upper/MODEL.ACF", "Pack/upper/model.acf", "Pack/Mixed/_skip.acf", "Pack/Mixed/b.Acf",
                          "Pack/Mixed/a.acf.bak", "Pack/Mixed/readme.txt", "pack/Lower/x.acf", "Radio Control/R/r.acf",
                          "Pack/Science Fiction/S/s.acf", "Pack/Saab Viggen/viggen.acf", "Pack/Tavelkor QWZJ/q.acf",
                          "Pack/folder.acf/inside.acf", "Top.acf", "Pack/VIP B738 NRD/v.acf"})
    ASSERT_TRUE(MakeEmptyFile(aircraft, odd)) << odd;
  ASSERT_TRUE(MakeEmptyFile(aircraft, "Pack/" + std::string(120, 'L') + "/long.acf"));
  ASSERT_EQ(symlink("../..", JoinPath(aircraft, "Pack/Mixed/loop").c_str()), 0);
  ASSERT_EQ(symlink("b.Acf", JoinPath(aircraft, "Pack/Mixed/linked.acf").c_str()), 0);
  ASSERT_EQ(symlink("../Upper", JoinPath(aircraft, "Pack/Mixed/folderLink.acf").c_str()), 0);
  ASSERT_EQ(symlink("missing", JoinPath(aircraft, "Pack/Mixed/dangling.acf").c_str()), 0);

  const ModelScanCount expected = reference::ScanAircraftFolder(aircraft, Tables(), g_aircraftTypeDb(), log_);
  const std::vector<LocalModelRecord> expectedRecords(Tables().working.begin(), Tables().working.end());
  const std::string expectedLog = log_.Text();
  log_.writes.clear();
  SetModels({});

  const ModelScanCount actual = ScanAircraftFolder(aircraft, Tables(), g_aircraftTypeDb(), log_);
  EXPECT_EQ(actual.filesFound, expected.filesFound);
  ASSERT_EQ(actual.modelsStored, expected.modelsStored);
  ASSERT_EQ(Tables().working.count, expected.modelsStored);
  EXPECT_GT(expected.modelsStored, 3'000);
  EXPECT_EQ(log_.Text(), expectedLog);
  for (int i = 0; i < actual.modelsStored; ++i) {
    const LocalModelRecord& record = Tables().working.records[i];
    ASSERT_EQ(std::memcmp(&record, &expectedRecords[static_cast<std::size_t>(i)], sizeof record), 0)
        << i << ": " << record.title << " / " << expectedRecords[static_cast<std::size_t>(i)].title;
    ASSERT_EQ(std::memcmp(&Tables().copy.records[i], &record, sizeof record), 0) << i;
  }
}
}  // namespace
