#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/text_fields.h"
#include "sim/title_type_scorer.h"

namespace {
AircraftTypeRecord Record(const char* maker, const char* model, const char* type) {
  AircraftTypeRecord record{};
  CopyCut(record.manufacturer, maker);
  CopyCut(record.model, model);
  CopyCut(record.icaoType, type);
  return record;
}

// A table of its own per test, in the upper case the loader stores.
class TitleTypeScorer : public ::testing::Test {
 protected:
  TitleTypeScorer() {
    records_ = {
        Record("CESSNA", "172 SKYHAWK", "C172"),  Record("CESSNA", "182 SKYLANE", "C182"),
        Record("BOEING", "737-800", "B738"),      Record("BOEING", "747-400D", "B74D"),
        Record("CONCORDE", "CONCORDE", "CONC"),   Record("HAWKER", "HARRIER", "HAR"),
        Record("AIRBUS", "A320", "A320"),         Record("DE HAVILLAND", "DASH 8", "DH8DX"),
        Record("NOBODY", "TWO", "B2"),
    };
    db_.records = records_.data();
    db_.count = static_cast<int>(records_.size());
    db_.loaded = true;
  }

  struct Guess {
    int result;
    std::string type;
  };
  Guess Guessed(const char* title) {
    char type[6] = "Z";  // kept when nothing wins
    const int result = GuessIcaoTypeFromTitle(title, type, db_);
    EXPECT_EQ(type[5], '\0');
    return {result, type};
  }

  std::vector<AircraftTypeRecord> records_;
  AircraftTypeDb db_;
};

TEST_F(TitleTypeScorer, PointsOfOneWord) {
  const struct {
    const char* word;
    AircraftTypeRecord record;
    int points;
  } cases[] = {
      {"CESSNA", Record("CESSNA", "172 SKYHAWK", "C172"), 40},      // maker
      {"cessna", Record("CESSNA", "172 SKYHAWK", "C172"), 40},      // case ignored
      {"SKY", Record("CESSNA", "172 SKYHAWK", "C172"), 30},         // inside the model
      {"172", Record("CESSNA", "172 SKYHAWK", "C172"), 30 + 50},    // model, and type characters 2-4
      {"C17", Record("BOEING", "C-17", "C17"), 1},                  // short type: first 3 alike
      {"C1", Record("BOEING", "C-17", "C17"), 0},                   // ... for words of 3 or more
      {"B2", Record("NOBODY", "TWO", "B2"), 0},                     // types of 2 never score
      {"A32", Record("AIRBUS", "X", "A320"), 40},                   // type characters 1-3
      {"320", Record("AIRBUS", "X", "A320"), 50},
      {"A3", Record("AIRBUS", "X", "A320"), 0},                     // a word of 2 compares 3 characters
      {"B738X", Record("BOEING", "X", "B738"), 50},                 // first 4 alike
      {"B73", Record("BOEING", "X", "B738"), 40},
      {"CONCORDE", Record("CONCORDE", "CONCORDE", "CONC"), 40 + 30 + 100 + 50},  // maker and model equal
      {"CONCORDE", Record("AEROSPATIALE", "CONCORDE", "CONC"), 30 + 50},  // the 100 needs the maker too
  };
  for (const auto& c : cases) EXPECT_EQ(ScoreTitleWord(c.word, c.record), c.points) << c.word;
}

TEST_F(TitleTypeScorer, HighestTotalOfOneWordAndOneRecordWins) {
  EXPECT_EQ(Guessed("CESSNA 172").result, 80);
  EXPECT_EQ(Guessed("CESSNA 172").type, "C172");
  EXPECT_EQ(Guessed("cessna__+_182").type, "C182");  // runs of separators are one
  // Equal totals: the first record of the first word stays the winner.
  EXPECT_EQ(Guessed("CESSNA").type, "C172");
  EXPECT_EQ(Guessed("CESSNA").result, 40);
  EXPECT_EQ(Guessed("BOEING AIRBUS").type, "B738");
  EXPECT_EQ(Guessed("AIRBUS BOEING").type, "A320");
  EXPECT_EQ(Guessed("HARRIER").result, 31);
  EXPECT_EQ(Guessed("CONCORDE").result, 220);
}

TEST_F(TitleTypeScorer, B74dIsGivenAsB744) {
  const Guess g = Guessed("747-400D");
  EXPECT_EQ(g.result, 30);
  EXPECT_EQ(g.type, "B744");
}

TEST_F(TitleTypeScorer, TypeIsCutToFourCharacters) {
  EXPECT_EQ(Guessed("DH8DX").type, "DH8D");
}

TEST_F(TitleTypeScorer, AiPackagePrefixGivesTheSecondWord) {
  const struct {
    const char* title;
    int result;
    const char* type;
  } cases[] = {
      {"VIP b738xyz", 9999, "B738"},
      {"vip_a3", 9999, "A3"},
      {"  GLOBS++QQQQQ CESSNA", 9999, "QQQQ"},
      {"PAI X", 9999, "X"},
      {"AIA X", 9999, "X"},
      {"ATOC X", 9999, "X"},
      {"TAVKO X", 9999, "X"},
      {"CFSO X", 9999, "X"},
      {"VIP", 0, "Z"},  // no second word
      {"VIP _+ ", 0, "Z"},
      {"VIPX CESSNA", 40, "C172"},  // a prefix is a whole word
  };
  for (const auto& c : cases) {
    const Guess g = Guessed(c.title);
    EXPECT_EQ(g.result, c.result) << c.title;
    EXPECT_EQ(g.type, c.type) << c.title;
  }
}

TEST_F(TitleTypeScorer, NothingScoresOrNothingToScore) {
  EXPECT_EQ(Guessed("QQQQQ WWWWW").result, 0);
  EXPECT_EQ(Guessed("QQQQQ WWWWW").type, "Z");
  EXPECT_EQ(Guessed("").result, 0);
  EXPECT_EQ(Guessed(" _+").result, 0);
  char type[6] = "Z";
  EXPECT_EQ(GuessIcaoTypeFromTitle(nullptr, type, db_), 0);
  EXPECT_EQ(GuessIcaoTypeFromTitle("CESSNA", nullptr, db_), 0);
  db_.loaded = false;
  EXPECT_EQ(GuessIcaoTypeFromTitle("CESSNA", type, db_), 0);
  EXPECT_STREQ(type, "Z");
  db_.loaded = true;
  db_.records = nullptr;
  EXPECT_EQ(GuessIcaoTypeFromTitle("CESSNA", type, db_), 0);
}
}  // namespace
