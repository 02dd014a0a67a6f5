// The real program logged in with a scripted pilot linked to it: the debug
// commands print into the chat window, the plane path view plots his
// positions, and the trace window exists hidden.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "e2e_client_fixture.h"
#include "net/frame_codes.h"
#include "support/png_pixels.h"
#include "testbed/pilot_peer.h"

namespace {

class DebugWindowsEndToEnd : public ClientEndToEnd {
 protected:
  std::string Chat() { return JoinedLines(Ask("text 7057 7005")); }
  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
  bool ChatShows(const std::string& what, int times = 1) {
    return WaitUntil(kWaitMs, [&] { return Count(Chat(), what) >= times; });
  }
  void LogInWithAPilot(PilotPeer& peer) {
    ASSERT_NO_FATAL_FAILURE(StartInSession());
    PressConnect();
    ASSERT_NE(DumpUntil("text=0p  0a\n").find("text=0p  0a\n"), std::string::npos) << client_->Stderr();
    ASSERT_NO_FATAL_FAILURE(Admit(peer));
    ASSERT_TRUE(peer.SendPositionAt(0.0, 1));
    ASSERT_NE(DumpUntil("text=1p  0a\n").find("text=1p  0a\n"), std::string::npos) << client_->Stderr();
  }
  // Red pixels (the peers' colour) on the view's drawing surface.
  int RedPixels(const std::string& name) {
    const std::string path = tree_.Path() + "/" + name + ".png";
    Ask("snapshot 7051 7190 " + path);
    const std::optional<PngPixels> read = ReadPngPixels(path);
    if (!read) return -1;
    int red = 0;
    for (const COLORREF pixel : read->pixels) red += pixel == RGB(255, 0, 0) ? 1 : 0;
    return red;
  }
};

TEST_F(DebugWindowsEndToEnd, TheListsTheProtocolSwitchAndTheWayDumpPrintIntoTheChat) {
  PilotPeer peer(NearbyPilot());
  ASSERT_NO_FATAL_FAILURE(LogInWithAPilot(peer));

  Ask("command 7055 32796");
  ASSERT_TRUE(ChatShows("Pilots list, sorted by distance :")) << Chat();
  ASSERT_TRUE(ChatShows(" No controller in range.")) << Chat();
  std::string chat = Chat();
  EXPECT_NE(chat.find("[1] DEMO02 : "), std::string::npos) << chat;
  EXPECT_NE(chat.find("airborne, XPlane"), std::string::npos) << chat;
  EXPECT_LT(chat.find("Pilots list"), chat.find("Atc's list :"));

  // A plain click on the counts lists them again.
  Ask("click 7055 7106");
  ASSERT_TRUE(ChatShows("Pilots list, sorted by distance :", 2)) << Chat();

  Ask("command 7055 32780");
  ASSERT_TRUE(ChatShows("DBGP ON")) << Chat();
  Ask("command 7055 32780");
  ASSERT_TRUE(ChatShows("DBGP OFF")) << Chat();

  // The chat line dot, comma, dot, blank flips the same switch.
  for (int i = 0; i < 2; ++i) {
    Ask("settext 7057 7003 .,. ");
    Ask("key RETURN down");
    Ask("key RETURN up");
  }
  ASSERT_TRUE(ChatShows("DBGP OFF", 2)) << Chat();
  chat = Chat();
  EXPECT_EQ(Count(chat, "DBGP ON"), 2) << chat;
  EXPECT_LT(chat.rfind("DBGP ON"), chat.rfind("DBGP OFF"));

  // CLR with CTRL held dumps the ways; without it the output is cleared.
  Ask("click 7057 7200 ctrl");
  ASSERT_TRUE(ChatShows(" Orvx :")) << Chat();
  chat = Chat();
  EXPECT_NE(chat.find("[0] porv 0, pDPP "), std::string::npos) << chat;
  EXPECT_NE(chat.find("[49] porv 49, pDPP "), std::string::npos) << chat;
  EXPECT_NE(chat.find(", DEMO02."), std::string::npos) << chat;
  Quit();
}

TEST_F(DebugWindowsEndToEnd, ThePlanePathViewShowsAFlyingPilotInRed) {
  PilotPeer peer(NearbyPilot());
  ASSERT_NO_FATAL_FAILURE(LogInWithAPilot(peer));
  const std::string dump = Dump();
  ASSERT_NE(dump.find("window 7051 visible=0 text=Visual Plane Path for debugging"), std::string::npos) << dump;

  Ask("command 7055 32858");
  ASSERT_NE(DumpUntil("window 7051 visible=1").find("window 7051 visible=1"), std::string::npos);
  ASSERT_NE(DumpUntil("text=Zoom 3000.000000").find("text=Zoom 3000.000000"), std::string::npos);
  EXPECT_EQ(RedPixels("before"), 0) << "nothing is drawn before the positions";

  // A tenth of a second of his circuit moves him about 19 pixels at the first zoom.
  double seconds = 1.0;
  std::uint32_t sequence = 2;
  int red = 0;
  for (int round = 0; round < 20 && red == 0; ++round) {
    for (int i = 0; i < 5; ++i) {
      ASSERT_TRUE(peer.SendPositionAt(seconds, sequence++));
      seconds += 0.1;
    }
    WaitUntil(2'000, [&] { return (red = RedPixels("plot")) > 0; });
  }
  EXPECT_GT(red, 0) << client_->Stderr();

  // The view hidden again by the same command.
  Ask("command 7055 32858");
  EXPECT_NE(DumpUntil("window 7051 visible=0").find("window 7051 visible=0"), std::string::npos);
  Quit();
}

TEST_F(DebugWindowsEndToEnd, TheTraceWindowExistsHidden) {
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  const std::string dump = DumpUntil("window 7061");
  EXPECT_NE(dump.find("window 7061 visible=0 text=Trace\n"), std::string::npos) << dump;
  EXPECT_NE(dump.find("control 7061 7101 kind=button visible=1 enabled=1 text=Cleanup"), std::string::npos) << dump;
  EXPECT_NE(dump.find("control 7061 7005 kind=richedit"), std::string::npos) << dump;
  Quit();
}

}  // namespace
