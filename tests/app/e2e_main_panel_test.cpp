// The real program's main panel: its right-click menu as automation reads it,
// the counts field's camera steps at the plug-in and the About line.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e_client_fixture.h"
#include "testbed/plugin_codes.h"
#include "testbed/plugin_records.h"

namespace {

class MainPanelEndToEnd : public ClientEndToEnd {
 protected:
  // The plug-in names X-Plane 10 and the client has acknowledged it.
  void StartWithXPlane10() {
    plugin_link::DllInfos infos;
    infos.simulatorCode = 10000;
    plugin_.SetGreetingInfos(infos);
    ASSERT_NO_FATAL_FAILURE(StartInSession());
    ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_DLL_INFOS_ACK, 1, kWaitMs)) << client_->Stderr();
  }

  std::vector<std::vector<std::uint8_t>> StepBodies() const {
    std::vector<std::vector<std::uint8_t>> bodies;
    for (const PluginServer::Record& record : plugin_.Records())
      if (record.code == plugin_link::XTK_CMD_STEP) bodies.push_back(record.body);
    return bodies;
  }

  static bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
};

}  // namespace

TEST_F(MainPanelEndToEnd, ControlAndShiftClicksOnTheCountsStepThePluginsCamera) {
  ASSERT_NO_FATAL_FAILURE(StartWithXPlane10());
  Ask("click 7055 7106 ctrl");
  ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_STEP, 1, kWaitMs)) << client_->Stderr();
  Ask("click 7055 7106 shift");
  ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_STEP, 2, kWaitMs)) << client_->Stderr();
  Ask("click 7055 7106 ctrl+shift");
  Ask("click 7055 7106");
  // A later record shows the last two clicks sent nothing before it.
  Ask("command 7055 32789");
  Ask("click 7055 7106 ctrl");
  ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_STEP, 3, kWaitMs));
  const std::vector<std::vector<std::uint8_t>> bodies = StepBodies();
  ASSERT_EQ(bodies.size(), 3u);
  EXPECT_EQ(bodies[0], (std::vector<std::uint8_t>{0xCE, 0xFF, 0xFF, 0xFF}));  // -50
  EXPECT_EQ(bodies[1], (std::vector<std::uint8_t>{0x32, 0x00, 0x00, 0x00}));  // +50
  EXPECT_EQ(bodies[2], bodies[0]);
}

TEST_F(MainPanelEndToEnd, AboutNamesTheSimulatorThePluginReported) {
  ASSERT_NO_FATAL_FAILURE(StartWithXPlane10());
  Ask("command 7055 32789");
  std::vector<std::string> runs;
  const auto italicLine = [&] {
    runs = Ask("runs 7057 7005");
    for (const std::string& run : runs)
      if (run.find(" 2 ") != std::string::npos && run.find("Simulator is XP10, Tavelkor v11.0.4.B") != std::string::npos)
        return true;
    return false;
  };
  EXPECT_TRUE(WaitUntil(kWaitMs, italicLine)) << JoinedLines(runs);
}

TEST_F(MainPanelEndToEnd, TheMenuShowsItsServersAndGraysByTheSessionAndTheOwnCode) {
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  const std::vector<std::string> lines = Ask("menu 7055");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "menuitem 0 -1 enabled=1 checked=0 text=Servers ...") << JoinedLines(lines);
  EXPECT_EQ(lines[1], "menuitem 1 33000 enabled=1 checked=0 text=localhost");
  EXPECT_TRUE(Has(lines, "menuitem 0 -1 enabled=0 checked=0 text=Multiplayer")) << JoinedLines(lines);
  EXPECT_TRUE(Has(lines, "menuitem 1 32795 enabled=1 checked=0 text=&Disconnect"));
  EXPECT_TRUE(Has(lines, "menuitem 0 32778 enabled=0 checked=0 text=&Disconnect from network"));
  EXPECT_TRUE(Has(lines, "menuitem 0 32838 enabled=1 checked=0 text=&Setup your network"));
  // Before the ok line comes the appended quit.
  EXPECT_EQ(lines[lines.size() - 2], "menuitem 0 32835 enabled=1 checked=0 text=Quit xTavelkor");
  const std::vector<std::string> refused = automation_.Request("menu 7055 32795");
  EXPECT_EQ(refused.back(), "error disabled");

  Ask("menu 7055 32838");
  EXPECT_TRUE(Shows("window 134 visible=1")) << "the network setup opens from its item";

  PressConnect();
  ASSERT_TRUE(Shows("image 7096")) << client_->Stderr();
  const std::vector<std::string> online = Ask("menu 7055");
  EXPECT_EQ(online.front(), "menuitem 0 -1 enabled=0 checked=0 text=Servers ...");
  EXPECT_TRUE(Has(online, "menuitem 0 32778 enabled=1 checked=0 text=&Disconnect from network"));
  EXPECT_TRUE(Has(online, "menuitem 0 32838 enabled=0 checked=0 text=&Setup your network"));
}
