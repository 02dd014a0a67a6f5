// The real program in a demo tree, logged in to the stand-in network with
// two scripted pilots admitted, and the add-on stand-in calling its
// listening port: it logs in, asks its questions, and its pilot lists name
// the pilots logged in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "e2e_client_fixture.h"
#include "net/frame_codes.h"
#include "support/recorded_lines.h"
#include "testbed/addon_standin.h"
#include "testbed/pilot_peer.h"

namespace {

class AddonEndToEnd : public ClientEndToEnd {};

TEST_F(AddonEndToEnd, TheAddOnLogsInAndItsListsNameTheLoggedInPilots) {
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  PressConnect();
  ASSERT_TRUE(node_.WaitForFrames(1, kWaitMs)) << client_->Stderr();
  ASSERT_TRUE(plugin_.WaitForSamples(2, kWaitMs));
  PilotPeer first(NearbyPilot("DEMO02", 2.6));
  PilotPeer second(NearbyPilot("DEMO03", 2.61));
  ASSERT_NO_FATAL_FAILURE(Admit(first));
  ASSERT_NO_FATAL_FAILURE(Admit(second));

  RecordedLines events;
  AddonStandin addon;
  addon.SetEventLog(events.Sink());
  ASSERT_TRUE(addon.Connect(listeningPort_));
  ASSERT_TRUE(addon.LogIn(kWaitMs)) << client_->Stderr();
  ASSERT_TRUE(addon.RunQuestions(kWaitMs)) << client_->Stderr();
  EXPECT_TRUE(Shows("Addon MapView v2.1.0.b connected."));

  for (const std::uint8_t list : {1, 2}) {
    const auto answer = addon.LastAnswer(DS_CMD_AI, list);
    ASSERT_TRUE(answer.has_value());
    std::vector<std::string> named = AddonStandin::ListedCallsigns(*answer);
    std::sort(named.begin(), named.end());
    EXPECT_EQ(named, (std::vector<std::string>{"DEMO02", "DEMO03"})) << int(list);
  }
  // The full entries carry where each pilot is.
  const auto full = addon.LastAnswer(DS_CMD_AI, 1);
  ASSERT_TRUE(full.has_value());
  const auto body = full->Body();
  ASSERT_EQ(body.size(), 24u + 2 * 120u);
  for (std::size_t at = 24; at < body.size(); at += 120) {
    double latitude = 0.0;
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(body[at + 64 + i]) << (8 * i);
    std::memcpy(&latitude, &bits, sizeof latitude);
    EXPECT_NEAR(latitude, 49.02, 0.05);
    std::uint32_t simulator = 0;
    for (int i = 0; i < 4; ++i) simulator |= static_cast<std::uint32_t>(body[at + 40 + i]) << (8 * i);
    EXPECT_EQ(simulator, 9000u);
  }
  // It chose ground speed and true heading, and was told so.
  const auto speed = addon.LastAnswer(DS_CMD_COMMON, 4);
  const auto heading = addon.LastAnswer(DS_CMD_COMMON, 12);
  ASSERT_TRUE(speed && heading);
  EXPECT_EQ(speed->Body()[0], 2);
  EXPECT_EQ(heading->Body()[0], 1);
  EXPECT_TRUE(addon.LastAnswer(DS_CMD_FLIGHT_DYNAMICS, 1).has_value());
  const std::vector<std::string> lines = events.Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "the full list names DEMO02 DEMO03"), lines.end());
  addon.Close();
  Quit();
}

}  // namespace
