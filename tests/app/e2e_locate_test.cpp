// The real program logged in to the stand-in network, holding still near a
// scripted pilot peer: locate and track lists him with his distance, a
// double-click asks the plug-in stand-in to track his way, and "Cancel
// tracking" asks it to stop.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "core/great_circle.h"
#include "e2e_client_fixture.h"
#include "sim/plugin_link_codes.h"
#include "testbed/pilot_peer.h"

namespace {

constexpr double kOwnLatitude = 49.02;
constexpr double kOwnLongitude = 2.55;
constexpr double kPeerLongitude = 2.60;
constexpr double kFarLongitude = 4.60;  // about 150 km east

class LocateEndToEnd : public ClientEndToEnd {
 protected:
  // The list's rows, as the dump writes them.
  std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    bool inList = false;
    for (const std::string& line : automation_.Request("dump")) {
      if (line.rfind("control ", 0) == 0 || line.rfind("window ", 0) == 0) {
        inList = line.rfind("control 7034 7151 ", 0) == 0;
      } else if (inList && line.rfind("item ", 0) == 0) {
        rows.push_back(line);
      }
    }
    return rows;
  }
  // The i32 of each track record the plug-in stand-in received, in order.
  std::vector<std::int32_t> TrackedWays() const {
    std::vector<std::int32_t> ways;
    for (const PluginServer::Record& record : plugin_.Records()) {
      if (record.code != XTK_CMD_TRACK_PILOT) continue;
      EXPECT_EQ(record.body.size(), 4u);
      if (record.body.size() != 4) continue;
      const std::uint32_t word = record.body[0] | (record.body[1] << 8) | (record.body[2] << 16) |
                                 (static_cast<std::uint32_t>(record.body[3]) << 24);
      ways.push_back(static_cast<std::int32_t>(word));
    }
    return ways;
  }
};

TEST_F(LocateEndToEnd, APilotNearbyIsListedTrackedAndLetGo) {
  plugin_link::FlightScript still = plugin_link::DemoFlight();
  still.start.latitude = kOwnLatitude;
  still.start.longitude = kOwnLongitude;
  still.longitudeStep = 0.0;
  plugin_.SetFlight(still);
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  PressConnect();
  ASSERT_TRUE(node_.WaitForFrames(1, kWaitMs)) << client_->Stderr();

  // A first pilot beyond 70 nautical miles takes the first way and is not listed.
  PilotPeerScript farScript = NearbyPilot("DEMO03", kFarLongitude);
  farScript.centreLatitude = kOwnLatitude;
  farScript.radiusDegrees = 0.0;
  PilotPeer far(farScript);
  ASSERT_NO_FATAL_FAILURE(Admit(far));
  ASSERT_TRUE(far.SendPositionAt(1, 1));

  PilotPeerScript script = NearbyPilot("DEMO02", kPeerLongitude);
  script.centreLatitude = kOwnLatitude;
  script.radiusDegrees = 0.0;  // he holds still too
  PilotPeer peer(script);
  ASSERT_NO_FATAL_FAILURE(Admit(peer));
  const auto aircraft = plugin_.Ai().ByCallsign("DEMO02");
  ASSERT_TRUE(aircraft.has_value());
  const auto way = static_cast<std::int32_t>(aircraft->way);
  ASSERT_NE(way, 0) << "his way index must tell its byte order";

  Ask("command 7055 32847");
  ASSERT_TRUE(Shows("window 7034 visible=1"));
  // Listed at once; his distance once his first position came.
  ASSERT_TRUE(peer.SendPositionAt(1, 1));
  const std::regex row(R"(item 0 DEMO02\\t([0-9]+\.[0-9])\\t3000\\t(8[0-9]|9[0-9])\xC2\xB0)");
  std::vector<std::string> rows;
  std::smatch parts;
  EXPECT_TRUE(WaitUntil(kWaitMs, [&] {
    rows = Rows();
    return rows.size() == 1 && std::regex_match(rows[0], parts, row);
  })) << (rows.empty() ? std::string("no row") : rows[0]) << client_->Stderr();
  ASSERT_EQ(rows.size(), 1u);
  ASSERT_TRUE(std::regex_match(rows[0], parts, row)) << rows[0];
  const double expectedNm = GreatCircleMetres(kOwnLatitude, kOwnLongitude, kOwnLatitude, kPeerLongitude) / 1852.0;
  EXPECT_NEAR(std::atof(parts[1].str().c_str()), expectedNm, 0.11) << rows[0];

  Ask("dblclick 7034 7151 0");
  ASSERT_TRUE(plugin_.WaitForRecord(XTK_CMD_TRACK_PILOT, 1, kWaitMs)) << client_->Stderr();
  EXPECT_EQ(TrackedWays(), (std::vector<std::int32_t>{way}));
  EXPECT_EQ(Ask("text 7034 7141"), (std::vector<std::string>{"DEMO02\\r\\nCessna Skyhawk 172SP", "ok"}));

  Ask("click 7034 7149");
  ASSERT_TRUE(plugin_.WaitForRecord(XTK_CMD_TRACK_PILOT, 2, kWaitMs)) << client_->Stderr();
  EXPECT_EQ(TrackedWays(), (std::vector<std::int32_t>{way, -1}));
  EXPECT_TRUE(Shows("window 7034 visible=1")) << "cancelling a track leaves the window open";

  // Nothing tracked: the same button closes the window.
  Ask("click 7034 7149");
  EXPECT_TRUE(Shows("window 7034 visible=0"));
  EXPECT_EQ(TrackedWays().size(), 2u);
  Quit();
}

}  // namespace
