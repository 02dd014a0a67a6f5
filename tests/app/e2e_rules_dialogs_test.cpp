// The real program with its stand-ins: the remote-aircraft rules dialog writes
// a rule for a linked pilot's aircraft and OK shows him with the rule's model;
// the local-aircraft rules dialog gives an installed model its type.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_client_fixture.h"
#include "support/recorded_lines.h"

namespace {

constexpr char kHeavyMetal[] = "Heavy Metal\\B738\\B738.acf";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class RulesDialogsEndToEnd : public ClientEndToEnd {
 protected:
  void InstallModel() {
    std::filesystem::create_directories(tree_.Path() + "/Aircraft/Heavy Metal/B738");
    std::ofstream(tree_.Path() + "/Aircraft/Heavy Metal/B738/B738.acf").put('\0');
  }
  // The items of a list or combo as the dump shows them (escapes as written).
  std::vector<std::string> ItemsOf(const std::string& dump, int templateId, int id) {
    std::vector<std::string> items;
    std::istringstream lines(dump);
    const std::string head = "control " + std::to_string(templateId) + " " + std::to_string(id) + " ";
    bool inside = false;
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("control ", 0) == 0 || line.rfind("window ", 0) == 0) {
        inside = line.rfind(head, 0) == 0;
        continue;
      }
      if (!inside || line.rfind("item ", 0) != 0) continue;
      const std::size_t text = line.find(' ', 5);
      items.push_back(text == std::string::npos ? std::string() : line.substr(text + 1));
    }
    return items;
  }
  int IndexEndingWith(const std::vector<std::string>& items, const std::string& tail) {
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (items[i].size() >= tail.size() && items[i].compare(items[i].size() - tail.size(), tail.size(), tail) == 0) {
        return static_cast<int>(i);
      }
    }
    return -1;
  }
};

TEST_F(RulesDialogsEndToEnd, ARemoteRuleForAPilotsTitleShowsHimWithItsModelAfterOk) {
  RecordedLines events;
  plugin_.SetEventLog(events.Sink());
  InstallModel();
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  PressConnect();
  ASSERT_TRUE(node_.WaitForFrames(1, kWaitMs)) << client_->Stderr();
  PilotPeer peer(NearbyPilot());
  ASSERT_NO_FATAL_FAILURE(Admit(peer));
  ASSERT_NE(plugin_.Ai().ByCallsign("DEMO02")->model, kHeavyMetal);

  Ask("command 7055 32852");
  ASSERT_TRUE(Shows("window 7048 visible=1")) << client_->Stderr();
  std::string dump = DumpUntil("DEMO02");
  const std::vector<std::string> session = ItemsOf(dump, 7048, 7156);
  ASSERT_EQ(session.size(), 1u) << dump;
  EXPECT_NE(session[0].find("Cessna Skyhawk 172SP\\tDEMO02"), std::string::npos) << session[0];
  Ask("select 7048 7156 0");
  EXPECT_EQ(Ask("text 7048 7162").front(), "Cessna Skyhawk 172SP");
  const int model = IndexEndingWith(ItemsOf(dump, 7048, 9177), "Heavy Metal\\\\B738\\\\B738.acf");
  ASSERT_GT(model, 0) << dump;
  Ask("select 7048 9177 " + std::to_string(model));
  Ask("click 7048 7102");
  EXPECT_EQ(ReadAll(program_ + "/Rules.txt"),
            std::string("[REMOTE_AIRCRAFTS]\r\nCessna Skyhawk 172SP=") + kHeavyMetal + "\r\n");
  EXPECT_TRUE(Shows("control 7048 7090 kind=static visible=1 enabled=1 text=1 rules loaded"));

  Ask("click 7048 1");
  EXPECT_TRUE(Shows("window 7048 visible=0"));
  // His aircraft is removed and added again with the rule's model.
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] {
    const auto aircraft = plugin_.Ai().ByCallsign("DEMO02");
    return aircraft && aircraft->model == kHeavyMetal;
  })) << client_->Stderr();
  EXPECT_TRUE(peer.Linked());
  Quit();
}

TEST_F(RulesDialogsEndToEnd, ALocalRuleMarksTheInstalledModelWithItsType) {
  InstallModel();
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  Ask("command 7055 32854");
  ASSERT_TRUE(Shows("window 7049 visible=1")) << client_->Stderr();
  ASSERT_TRUE(Shows("item 0  \\t[ ")) << Dump();
  Ask("settext 7049 7162 Heavy Metal");
  Ask("settext 7049 7160 C130");
  Ask("click 7049 7102");
  EXPECT_EQ(ReadAll(program_ + "/Rules.txt"), "[LOCAL_AIRCRAFTS]\r\n000=Heavy Metal{{C130}}\r\n");
  const std::string dump = DumpUntil("*\\t[ C130 ]");
  const std::vector<std::string> models = ItemsOf(dump, 7049, 7156);
  EXPECT_NE(IndexEndingWith(models, "Heavy Metal\\\\B738\\\\B738.acf"), -1) << dump;
  EXPECT_NE(std::find(models.begin(), models.end(), "*\\t[ C130 ]\\tHeavy Metal\\\\B738\\\\B738.acf"), models.end())
      << dump;
  EXPECT_EQ(ItemsOf(dump, 7049, 7164), std::vector<std::string>{"000 >>> Heavy Metal >>> C130"});
  Quit();
}

}  // namespace
