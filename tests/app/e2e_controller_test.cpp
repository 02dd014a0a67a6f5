// The real program in a demo tree with its plug-in stand-in, logged in to the
// stand-in network, and the scripted controller program calling its listening
// port: he logs in, sends a strip, an amended plan, an ATIS, his weather and a
// rate change, and closes his position. The client prints each in the chat
// window, shows the amended plan in its form and the weather in its banner;
// the controller hears the answer, the plan, the echoed strip and the
// half-second position reports.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/flight_plan_record.h"
#include "e2e_client_fixture.h"
#include "net/compressed_record.h"
#include "net/frame_codes.h"
#include "net/node_records.h"

namespace {

// The frames the controller program printed, by sub-code.
std::size_t Received(const std::string& out, int subCode) {
  std::istringstream lines(out);
  const std::string marker = "rx type 104 sub " + std::to_string(subCode) + " ";
  std::size_t n = 0;
  for (std::string line; std::getline(lines, line);) n += line.rfind(marker, 0) == 0 ? 1 : 0;
  return n;
}

class ControllerEndToEnd : public ClientEndToEnd {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(ClientEndToEnd::SetUp());
    AppendSettings("Flight_Type=I\r\nDeparture_Airport=LFPG\r\nDestination_Airport=LFML\r\n");
  }
};

TEST_F(ControllerEndToEnd, AControllerLogsInInstructsAmendsAndLeavesAndHearsTheOwnPosition) {
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  PressConnect();
  ASSERT_TRUE(node_.WaitForFrames(1, kWaitMs)) << client_->Stderr();
  // Past the start-up's first 26 seconds: the half-second duty reports to controllers.
  Ask("timer 7055 555 30");

  ChildProcess controller(TK_CONTROLLER_BINARY, tree_.Path(), {},
                          {"--connect", std::to_string(listeningPort_), "--callsign", "LFPG_TWR", "--pilot", "TEST01",
                           "--transition", "5000", "--step", "1500", "--end", "logout"});
  ASSERT_TRUE(controller.Started());
  ASSERT_TRUE(Shows("Controller LFPG_TWR is in range.")) << client_->Stderr() << controller.Stdout() << controller.Stderr();
  // Nine half-seconds at the default pace: three reports, whatever the real timer adds.
  Ask("timer 7055 556 9");

  EXPECT_TRUE(Shows("Flight strip from LFPG_TWR : Waypoint RESMI   Heading 270 \xC2\xB0   Altitude FL90   "
                    "Speed restricted to 180..220 Kts   Transponder 4721"))
      << client_->Stderr();
  EXPECT_TRUE(Shows("Your flight plan has been amended by LFPG_TWR and updated. Tune your transponder (Squawk) to 4721."));
  EXPECT_TRUE(Shows("Controller LFPG_TWR has set a new ATIS"));
  EXPECT_TRUE(Shows("LFPG_TWR has set a new local weather for LFPG"));
  EXPECT_TRUE(Shows("*LFPG 101200Z 27010KT CAVOK 15/05 Q1015")) << "the banner marks a controller's weather";
  EXPECT_TRUE(Shows("Controller LFPG_TWR has closed his position."));
  EXPECT_TRUE(Shows("Controller LFPG_TWR has left.")) << "his link ends after his own notice";
  // His hand-off named a controller the client has no link with.
  EXPECT_EQ(DumpUntil("has closed his position.").find("Hand-off to"), std::string::npos);

  // The form in use (the FAA form by default) shows the amended plan: it was
  // hidden, so the amendment shows it.
  const std::string dump = DumpUntil("control 7004 7046 kind=edit visible=1 enabled=1 text=RESMI DCT");
  for (const char* line : {"window 7004 visible=1 ", "control 7004 7046 kind=edit visible=1 enabled=1 text=RESMI DCT\n",
                           "control 7004 7047 kind=edit visible=1 enabled=1 text=EGLL\n",
                           "control 7004 7045 kind=edit visible=1 enabled=1 text=FL090\n",
                           "control 7004 7039 kind=edit visible=1 enabled=1 text=250\n"}) {
    EXPECT_NE(dump.find(line), std::string::npos) << line;
  }

  // The amended plan, through the form and its checks, goes to the node too.
  const auto amendedToNode = [&] {
    for (const Frame& frame : node_.Frames()) {
      if (frame.header.type != NCSMSG_PILOT || frame.header.subCode != NCSUB_FLIGHT_PLAN) continue;
      FlightPlanPacketBytes packet{};
      if (UnpackCompressedRecord(frame.body, packet) != kRecordOk) continue;
      const std::string destination(reinterpret_cast<const char*>(packet.data()) + kFlightPlanPacketSize -
                                        kFlightPlanRecordSize + 101,
                                    4);
      if (destination == "EGLL") return true;
    }
    return false;
  };
  EXPECT_TRUE(WaitUntil(kWaitMs, amendedToNode)) << client_->Stderr();

  ASSERT_EQ(controller.WaitForExit(kWaitMs), 0) << controller.Stderr();
  const std::string heard = controller.Stdout();
  EXPECT_EQ(Received(heard, 1), 1u) << heard;   // the answer to his login
  EXPECT_GE(Received(heard, 80), 1u) << heard;  // the own plan
  EXPECT_GE(Received(heard, 81), 1u) << heard;  // his strip, echoed
  EXPECT_GE(Received(heard, 70), 3u) << heard;  // the position reports

  Quit();
}

// His amendment gives a cruise speed the pilot's form refuses: the pilot is
// told, and no plan, neither his nor the own one of the settings file, goes
// to the node or to him.
TEST_F(ControllerEndToEnd, ARefusedAmendmentSendsNoPlan) {
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  PressConnect();
  ASSERT_TRUE(node_.WaitForFrames(1, kWaitMs)) << client_->Stderr();

  ChildProcess controller(TK_CONTROLLER_BINARY, tree_.Path(), {},
                          {"--connect", std::to_string(listeningPort_), "--callsign", "LFPG_TWR", "--pilot", "TEST01",
                           "--amended-speed", "2001", "--step", "2500", "--end", "logout"});
  ASSERT_TRUE(controller.Started());
  ASSERT_TRUE(Shows("Controller LFPG_TWR is in range.")) << client_->Stderr() << controller.Stdout() << controller.Stderr();
  ASSERT_TRUE(Shows("The flight plan amended by LFPG_TWR was refused : your flight plan is unchanged."))
      << client_->Stderr() << controller.Stdout();
  EXPECT_TRUE(Shows("Invalid flight plan : Please select a more realistic cruise speed and try again."));
  EXPECT_EQ(DumpUntil("was refused").find("has been amended"), std::string::npos);
  EXPECT_NE(DumpUntil("window 7004 visible=0").find("window 7004 visible=0"), std::string::npos)
      << "the form stays hidden";

  // A text to each, typed after the refusal: anything the refusal had sent is ahead of it.
  Ask("settext 7057 7003 .LFPG_TWR after the amendment");
  Ask("key RETURN down");
  Ask("key RETURN up");
  Ask("settext 7057 7003 .far9 after the amendment");
  Ask("key RETURN down");
  Ask("key RETURN up");
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] {
    for (const Frame& frame : node_.Frames()) {
      if (frame.header.type == NCSMSG_TEXT_LONGHAUL) return true;
    }
    return false;
  })) << client_->Stderr();
  for (const Frame& frame : node_.Frames()) {
    EXPECT_FALSE(frame.header.type == NCSMSG_PILOT && frame.header.subCode == NCSUB_FLIGHT_PLAN)
        << "a plan went to the node";
  }

  ASSERT_EQ(controller.WaitForExit(kWaitMs), 0) << controller.Stderr();
  const std::string heard = controller.Stdout();
  EXPECT_NE(heard.find("rx type " + std::to_string(NCSMSG_TEXT_PRIVATE) + " "), std::string::npos) << heard;
  EXPECT_EQ(Received(heard, NCSUB_FLIGHT_PLAN), 0u) << heard;
  EXPECT_EQ(Received(heard, NCSUB_LOGIN_ACK), 1u) << heard;

  Quit();
}

}  // namespace
