// The real program logged in to the stand-in network with a controller
// linked: Charlie and Ident on the dashboard reach the node and the
// controller as the pilot-changes items of the transponder mode and of the
// ident, the ident's end included, with the timers driven through automation.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "e2e_client_fixture.h"
#include "net/frame_codes.h"
#include "testbed/controller_peer.h"
#include "testbed/plugin_records.h"

namespace {

constexpr std::uint8_t kModeItem = 5;
constexpr std::uint8_t kIdentItem = 4;

std::size_t ItemsIn(const std::vector<Frame>& frames, const std::vector<std::uint8_t>& body) {
  std::size_t n = 0;
  for (const Frame& frame : frames) n += frame.header.subCode == NCSUB_PILOT_CHANGES && frame.body == body ? 1 : 0;
  return n;
}

class DashboardEndToEnd : public ClientEndToEnd {
 protected:
  // The node and the controller have each received `count` items of that body.
  bool BothHeard(const std::vector<std::uint8_t>& body, std::size_t count) {
    return WaitUntil(kWaitMs, [&] {
      std::vector<Frame> toNode;
      for (const Frame& frame : node_.Frames()) {
        if (frame.header.type == NCSMSG_PILOT) toNode.push_back(frame);
      }
      return ItemsIn(toNode, body) >= count && ItemsIn(controller_->Frames(), body) >= count;
    });
  }
  // The items each has received, for a failure's message.
  std::string Heard() {
    std::string text;
    const auto list = [&text](const char* who, const std::vector<Frame>& frames) {
      text += who;
      for (const Frame& frame : frames) {
        if (frame.header.subCode != NCSUB_PILOT_CHANGES) continue;
        text += " [";
        for (std::uint8_t byte : frame.body) text += " " + std::to_string(byte);
        text += " ]";
      }
      text += "\n";
    };
    list("controller:", controller_->Frames());
    list("node:", node_.Frames());
    return text;
  }
  std::unique_ptr<ControllerPeer> controller_;
};

TEST_F(DashboardEndToEnd, CharlieAndIdentReachTheNodeAndALinkedController) {
  plugin_link::FlightScript flight = plugin_link::DemoFlight();
  flight.start.transponderMode = 1;  // the simulator's switch at standby
  plugin_.SetFlight(flight);
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  PressConnect();
  ASSERT_TRUE(node_.WaitForFrames(1, kWaitMs)) << client_->Stderr();
  ASSERT_TRUE(Shows("image 7096")) << "logged in" << client_->Stderr();
  ControllerPeerScript script;
  script.callsign = "LFPG_APP";
  script.answerLogin = false;
  controller_ = std::make_unique<ControllerPeer>(script);
  ASSERT_TRUE(controller_->Connect(listeningPort_));
  ASSERT_TRUE(controller_->SendLogin());
  ASSERT_TRUE(controller_->WaitForCountOf(NCSUB_LOGIN_ACK, 1, kWaitMs)) << client_->Stderr();
  ASSERT_TRUE(Shows("Controller LFPG_APP is in range.")) << client_->Stderr();

  Ask("command 7055 7202");
  Ask("click 7054 7206");
  EXPECT_TRUE(Shows("Transponder squawking in mode Charlie"));
  Ask("timer 7055 555 1");
  EXPECT_TRUE(BothHeard({kModeItem, 'N'}, 1)) << Heard();
  // The plug-in goes on reporting its switch at standby: the press stands.
  ASSERT_TRUE(plugin_.WaitForSamples(plugin_.SamplesSent() + 5, kWaitMs));
  Ask("timer 7055 555 3");

  Ask("click 7054 7207");
  Ask("timer 7055 555 1");
  EXPECT_TRUE(BothHeard({kIdentItem}, 1)) << "the ident's start" << client_->Stderr();
  Ask("timer 7055 556 22");
  Ask("timer 7055 555 1");
  EXPECT_TRUE(BothHeard({kIdentItem}, 2)) << "its end, eleven seconds of ticks later" << client_->Stderr();

  EXPECT_EQ(ItemsIn(controller_->Frames(), {kModeItem, 'S'}), 0u) << "mode C stood";

  Ask("click 7054 7206");
  EXPECT_TRUE(Shows("Transponder in Standby mode"));
  Ask("timer 7055 555 1");
  EXPECT_TRUE(BothHeard({kModeItem, 'S'}, 1)) << client_->Stderr();
  // The simulator's own switch turned to mode C wins over the last press.
  flight.start.transponderMode = 2;
  plugin_.SetFlight(flight);
  EXPECT_TRUE(BothHeard({kModeItem, 'N'}, 2)) << client_->Stderr();

  Quit();
}

}  // namespace
