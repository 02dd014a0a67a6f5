// The order in which a remote pilot's local model is chosen, with each step
// played by the test, and the fixed defaults of the own simulator.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim/peer_model_choice.h"

namespace {

// Steps that note their calls and answer as told (0 or less: nothing).
struct ScriptedSteps {
  int rules = 0;
  int nearest = 0;
  int defaults = 0;
  std::vector<std::string> calls;
  std::string airlineSeen;

  PeerModelSteps Steps() {
    PeerModelSteps steps;
    steps.remoteRules = [this](RemoteModelChoice& peer) {
      calls.push_back("rules");
      if (rules > 0) {
        std::strcpy(peer.title, "Rules\\Model.acf");
        std::strcpy(peer.icaoType, "RUL1");
        std::strcpy(peer.classCode, "L2J");
      }
      return rules;
    };
    steps.nearest = [this](ModelQuery& query) {
      calls.push_back("nearest");
      airlineSeen = query.airline;
      std::strcpy(query.title, "Nearest\\Model.acf");
      std::strcpy(query.icaoType, "NEA1");
      std::strcpy(query.classCode, "L1T");
      return nearest;
    };
    steps.defaultRules = [this](RemoteModelChoice& peer) {
      calls.push_back("defaults");
      if (defaults > 0) {
        std::strcpy(peer.title, "Default\\Model.acf");
        std::strcpy(peer.icaoType, "DEF1");
        std::strcpy(peer.classCode, "H1T");
      }
      return defaults;
    };
    return steps;
  }
};

PeerModelRequest Request() {
  PeerModelRequest request;
  request.callsign = "AFR123";
  request.title = "Some Airliner";
  request.icaoType = "A320";
  request.classCode = "L2J";
  request.category = 1;
  return request;
}

TEST(PeerModelChoice, TheFirstStepThatYieldsAModelWins) {
  struct Case {
    int rules, nearest, defaults;
    PeerModelStep want;
    std::vector<std::string> calls;
    const char* title;
    std::uint8_t category;
  };
  const Case cases[] = {
      {1'000, 900, 100, PeerModelStep::kRemoteRules, {"rules"}, "Rules\\Model.acf", 1},
      {0, 51, 100, PeerModelStep::kNearest, {"rules", "nearest"}, "Nearest\\Model.acf", 5},
      {0, 50, 100, PeerModelStep::kDefaultRules, {"rules", "nearest", "defaults"}, "Default\\Model.acf", 3},
      {-10, -111, 100, PeerModelStep::kDefaultRules, {"rules", "nearest", "defaults"}, "Default\\Model.acf", 3},
      {0, 50, 0, PeerModelStep::kFixedDefault, {"rules", "nearest", "defaults"},
       "Heavy Metal\\B777-200 British Airways\\Speed-Bird.acf", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    ScriptedSteps steps{c.rules, c.nearest, c.defaults, {}, {}};
    const PeerModelResult result = ChoosePeerModel(Request(), steps.Steps(), 9000);
    EXPECT_EQ(result.step, c.want);
    EXPECT_EQ(steps.calls, c.calls);
    EXPECT_EQ(result.title, c.title);
    EXPECT_EQ(result.category, c.category);
    ASSERT_FALSE(result.traces.empty());
    EXPECT_EQ(result.traces.back().rfind("APRETI code 9000, AFR123 : ", 0), 0u) << result.traces.back();
  }
  ScriptedSteps steps{0, 50, 0, {}, {}};
  const PeerModelResult result = ChoosePeerModel(Request(), steps.Steps(), 9000);
  EXPECT_EQ(steps.airlineSeen, "AFR");
  EXPECT_EQ(result.traces.at(0), "IOVER1 AFR123 : Some Airliner, , L2J, 0");
  EXPECT_EQ(result.traces.at(2), "NONEAREST AFR123 : Nearest\\Model.acf, NEA1, L2J, 50");
}

TEST(PeerModelChoice, FixedDefaultsFollowTypeClassCategoryAndOwnSimulator) {
  struct Case {
    const char* type;
    const char* classCode;
    std::uint8_t category;
    std::int32_t own;
    const char* title;
    const char* wantType;
    const char* wantClass;
  };
  const Case cases[] = {
      {"C421", "L2P", 0, 9000, "Beech Baron 58", "BE58", "L2P"},
      {"C21T", "L2T", 5, 10000, "Beech Baron 58", "BE58", "L2T"},
      {"R44", "H1P", 0, 9000, "Helicopters\\Bell 206\\Jetranger.acf", "B06", "H1P"},
      {"B744", "L4J", 1, 9000, "Heavy Metal\\B777-200 British Airways\\Speed-Bird.acf", "B772", "L2J"},
      {"B744", "L4J", 1, 10000, "Heavy Metal\\B747-400 United\\747-400 United.acf", "B744", "L4J"},
      {"GLID", "", 2, 10000, "Gliders\\ASK21\\ASK21.acf", "GLID", "L1P"},
      {"XXX", "", 3, 9000, "Helicopters\\Bell 206\\Jetranger.acf", "B06", "H1T"},
      {"X15", "", 4, 10500, "X-Planes\\X-15\\X-15.ACF", "X15", "L2J"},
      {"B350", "L2T", 5, 9000, "General Aviation\\King Air B200\\King Air B200.acf", "BE20", "L2T"},
      {"B350", "L2T", 5, 10000, "General Aviation\\KingAir C90B\\KingAirC90B.acf", "BE9L", "L2T"},
      {"PA28", "L1P", 0, 9999, "General Aviation\\Cessna 172SP\\Cessna_172SP.acf", "C172", "L1P"},
      {"PA28", "L1P", 9, 10000, "General Aviation\\Cessna 172SP\\Cessna_172SP.acf", "C172", "L1P"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.type << " " << static_cast<int>(c.category) << " " << c.own);
    PeerModelRequest request = Request();
    request.icaoType = c.type;
    request.classCode = c.classCode;
    request.category = c.category;
    ScriptedSteps steps;
    const PeerModelResult result = ChoosePeerModel(request, steps.Steps(), c.own);
    EXPECT_EQ(result.step, PeerModelStep::kFixedDefault);
    EXPECT_EQ(result.title, c.title);
    EXPECT_EQ(result.icaoType, c.wantType);
    EXPECT_EQ(result.classCode, c.wantClass);
  }
  // Another own simulator has no fixed default: the peer's own aircraft stays.
  ScriptedSteps steps;
  const PeerModelResult other = ChoosePeerModel(Request(), steps.Steps(), 2006);
  EXPECT_EQ(other.step, PeerModelStep::kNone);
  EXPECT_EQ(other.title, "Some Airliner");
}

TEST(PeerModelChoice, TheCategoryFollowsTheClassCode) {
  EXPECT_EQ(CategoryFromClass("L2J", 0), 1);
  EXPECT_EQ(CategoryFromClass("L1P", 5), 0);
  EXPECT_EQ(CategoryFromClass("L2T", 0), 5);
  EXPECT_EQ(CategoryFromClass("H1T", 0), 3);
  EXPECT_EQ(CategoryFromClass("L1X", 4), 4);
  EXPECT_EQ(CategoryFromClass("", 2), 2);
}

}  // namespace
