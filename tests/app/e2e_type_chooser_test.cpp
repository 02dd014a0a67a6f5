// The real program with its plug-in stand-in and a linked pilot peer: an
// aircraft the plug-in reports shows the type chooser in place of the main
// dialog; the row the pilot picks and confirms becomes the own type, which
// the peer hears in the identity sent to him again.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "e2e_client_fixture.h"
#include "net/frame_codes.h"
#include "net/frame_format.h"
#include "testbed/pilot_peer.h"

namespace {

std::uint16_t TypeOf(const Frame& frame) {
  return frame.body.size() >= 2 ? static_cast<std::uint16_t>(frame.body[0] | (frame.body[1] << 8)) : 0;
}

std::string TextAt(const Frame& frame, std::size_t offset) {
  if (offset >= frame.body.size()) return {};
  const auto* text = reinterpret_cast<const char*>(frame.body.data() + offset);
  return std::string(text, strnlen(text, frame.body.size() - offset));
}

// The identity records the peer heard: title at 6, ICAO type at 118.
std::vector<Frame> IdentitiesHeard(const PilotPeer& peer) {
  std::vector<Frame> identities;
  for (const Frame& frame : peer.Frames()) {
    if (frame.header.subCode == NCSUB_FSX_PACKET && TypeOf(frame) == 0x2100 && frame.body.size() == 134) {
      identities.push_back(frame);
    }
  }
  return identities;
}

// The row of the first line of the type file that begins with `prefix`,
// counted over the non-empty lines as the list counts them.
int RowOfLine(const std::string& path, const std::string& prefix) {
  std::ifstream file(path, std::ios::binary);
  std::string line;
  int row = 0;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line.rfind(prefix, 0) == 0) return row;
    ++row;
  }
  return -1;
}

class TypeChooserEndToEnd : public ClientEndToEnd {
 protected:
  bool ChooserShown() { return Shows("window 7033 visible=1"); }
  bool MainShown() { return Shows("window 7055 visible=1"); }
};

TEST_F(TypeChooserEndToEnd, AnotherAircraftShowsTheChooserWhoseRowBecomesTheTypeThePeerHears) {
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  // The first aircraft reported is confirmed too; the main dialog gives it its place.
  ASSERT_TRUE(ChooserShown()) << client_->Stderr();
  EXPECT_NE(Dump().find("window 7055 visible=0"), std::string::npos);
  EXPECT_NE(Dump().find("control 7033 7182 kind=static visible=1 enabled=1 text=Cessna Skyhawk 172SP"),
            std::string::npos);
  ASSERT_NO_FATAL_FAILURE(CloseTypeChooser());
  EXPECT_NE(Dump().find("window 7033 visible=0"), std::string::npos);

  PressConnect();
  ASSERT_TRUE(node_.WaitForFrames(1, kWaitMs)) << client_->Stderr();
  PilotPeer peer(NearbyPilot());
  ASSERT_NO_FATAL_FAILURE(Admit(peer));
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return !IdentitiesHeard(peer).empty(); })) << client_->Stderr();
  const std::size_t heardBefore = IdentitiesHeard(peer).size();
  EXPECT_EQ(TextAt(IdentitiesHeard(peer).back(), 118), "C172");

  // The pilot loads a jumbo: the chooser shows with its title.
  ASSERT_TRUE(plugin_.SendAircraftLoaded("Heavy Jumbo Four Engines"));
  ASSERT_TRUE(Shows("control 7033 7182 kind=static visible=1 enabled=1 text=Heavy Jumbo Four Engines"))
      << client_->Stderr();
  ASSERT_TRUE(ChooserShown());
  EXPECT_NE(Dump().find("window 7055 visible=0"), std::string::npos);

  const int row = RowOfLine(program_ + "/tk_aircrafts.txt", "Boeing\t747-400\tB744");
  ASSERT_GE(row, 0);
  Ask("select 7033 7062 " + std::to_string(row));
  Ask("click 7033 1");
  ASSERT_TRUE(MainShown()) << client_->Stderr();
  EXPECT_NE(Dump().find("window 7033 visible=0"), std::string::npos);

  // The peer hears the identity again, with the chosen type.
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] {
    const auto heard = IdentitiesHeard(peer);
    return heard.size() > heardBefore && TextAt(heard.back(), 118) == "B744";
  })) << client_->Stderr();
  EXPECT_EQ(TextAt(IdentitiesHeard(peer).back(), 6), "Heavy Jumbo Four Engines");

  Quit();
}

}  // namespace
