// The TCAS feeding through the FSUIPC link, against the server stand-in in
// this process: the start-up lines, one slot per pilot, his record, the
// vertical speed over time, the release of a leaving pilot, a lost server.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <string>

#include "base/klib_settings.h"
#include "base/print_dlg.h"
#include "net/orv_sok.h"
#include "net/way_record.h"
#include "sim/fsuipc_client.h"
#include "sim/tcas_feed.h"
#include "sim/tcas_record.h"
#include "support/klib_fixture.h"
#include "testbed/fsuipc_server.h"
#include "win/clock.h"
#include "win/richedit.h"

namespace {

std::atomic<std::uint64_t> g_nowMs{1'000'000};
std::uint64_t TestNow() { return g_nowMs.load(); }
void Advance(std::uint64_t ms) { g_nowMs += ms; }

TcasPilot Pilot(const char* callsign, double altitude = 3'000.0) {
  TcasPilot pilot;
  CopyToField(pilot.callsign, callsign);
  pilot.latitude = 49.02;
  pilot.longitude = 2.6;
  pilot.altitudeFeet = altitude;
  pilot.headingDegrees = 90.0;
  pilot.groundSpeedKnots = 120;
  return pilot;
}

class TcasFeedTest : public KlibFixture {
 protected:
  void SetUp() override {
    KlibFixture::SetUp();
    edit_.Create(0, nullptr, 1);
    print_.AttachRichEdit(&edit_, nullptr);
    Klib().traceOutput = &print_;
    FsuipcTimings timings;
    timings.sendTimeoutMs = 50;
    timings.sendTries = 2;
    timings.retryPauseMs = 0;
    timings.openPauseMs = 0;
    g_fsuipc.SetTimings(timings);
    SetTcasClock(&TestNow);
  }
  void TearDown() override {
    StopFsuipc();
    server_.Stop();
    g_fsuipc.SetTimings(FsuipcTimings{});
    SetTcasClock(nullptr);
    Klib().traceOutput = nullptr;
    KlibFixture::TearDown();
  }
  void StartWithSlots(std::uint16_t slots) {
    server_.SetSlotCount(slots);
    ASSERT_TRUE(server_.Start());
    StartFsuipc();
    ASSERT_TRUE(FsuipcLinkUp()) << edit_.Text();
  }
  FsuipcServer::TcasEntry Entry(std::uint32_t id) {
    const auto table = server_.TcasTable();
    const auto it = table.find(id);
    return it == table.end() ? FsuipcServer::TcasEntry{} : it->second;
  }
  std::string Printed() const { return edit_.Text(); }

  CRichEditCtrl edit_;
  CPrintDlg print_;
  FsuipcServer server_;
};

TEST_F(TcasFeedTest, WithoutServerTheNotFoundLinesPrint) {
  StartFsuipc();
  EXPECT_FALSE(FsuipcLinkUp());
  EXPECT_EQ(Printed(),
            "\r\n FSUIPC not found.\r\n   Error on FSUIPC at startup. Please reinstall a recent version of FSUIPC.");
  UpdateTcasForPilot(Pilot("DEMO02"));
  EXPECT_EQ(FindTcasSlot("DEMO02"), -1);
}

TEST_F(TcasFeedTest, StartPrintsTheVersionAndAllocatesTheSlots) {
  struct Case {
    std::uint32_t traceMask;
    std::string printed;
  };
  const Case cases[] = {
      {0, "\r\n FSUIPC v3.930.  is now monitored.\r\nMax Slots = 96  "},
      {1, "\r\n FSUIPC v3.930.  is now monitored.\r\nSlot size = 40, Max Slots = 96   and 96 TCAS slots allocated.\r\n"},
  };
  ASSERT_TRUE(server_.Start());
  for (const Case& c : cases) {
    print_.Clear();
    Klib().traceMask = c.traceMask;
    StartFsuipc();
    EXPECT_TRUE(FsuipcLinkUp());
    EXPECT_EQ(Printed(), c.printed);
    EXPECT_EQ(TcasSlotCount(), 96);
    StopFsuipc();
    EXPECT_FALSE(FsuipcLinkUp());
    EXPECT_EQ(TcasSlotCount(), 0);
  }
  bool boldVersion = false;
  for (const TextRun& run : edit_.Runs()) {
    if (run.text == "3.930.  ") boldVersion = (run.effects & CFE_BOLD) != 0;
  }
  EXPECT_TRUE(boldVersion);
}

TEST_F(TcasFeedTest, APilotIsWrittenIntoHisSlot) {
  ASSERT_NO_FATAL_FAILURE(StartWithSlots(4));
  UpdateTcasForPilot(Pilot("DEMO02"));
  EXPECT_EQ(FindTcasSlot("DEMO02"), 0);
  EXPECT_EQ(TcasSlotsUsed(), 1);
  const FsuipcServer::TcasEntry entry = Entry(1);
  EXPECT_EQ(entry.callsign, "DEMO02");
  EXPECT_FLOAT_EQ(entry.latitude, 49.02F);
  EXPECT_FLOAT_EQ(entry.longitude, 2.6F);
  EXPECT_FLOAT_EQ(entry.altitudeFeet, 3'000.0F);
  EXPECT_EQ(entry.heading, 16'384);
  EXPECT_EQ(entry.groundSpeedKnots, 120);
  EXPECT_EQ(entry.verticalSpeedFpm, 0);
  EXPECT_EQ(entry.state, 140);
  EXPECT_EQ(entry.com1, 0x2300);

  TcasPilot moved = Pilot("DEMO02");
  moved.latitude = 49.03;
  UpdateTcasForPilot(moved);
  EXPECT_EQ(TcasSlotsUsed(), 1) << "the same slot";
  EXPECT_FLOAT_EQ(Entry(1).latitude, 49.03F);
  EXPECT_EQ(Entry(1).writes, 2u);
}

TEST_F(TcasFeedTest, VerticalSpeedOverTheTimeSinceTheKeptAltitude) {
  ASSERT_NO_FATAL_FAILURE(StartWithSlots(4));
  UpdateTcasForPilot(Pilot("DEMO02", 3'000));
  Advance(30'000);
  UpdateTcasForPilot(Pilot("DEMO02", 3'500));
  EXPECT_EQ(Entry(1).verticalSpeedFpm, 1'000) << "500 ft in 30 s";

  Advance(500);
  UpdateTcasForPilot(Pilot("DEMO02", 3'510));
  EXPECT_EQ(Entry(1).verticalSpeedFpm, 1'200) << "10 ft in half a second";
  Advance(500);
  UpdateTcasForPilot(Pilot("DEMO02", 3'520));
  EXPECT_EQ(Entry(1).verticalSpeedFpm, 1'200) << "20 ft since the altitude kept a second ago";

  Advance(1'000);
  UpdateTcasForPilot(Pilot("DEMO02", 103'520));
  EXPECT_EQ(Entry(1).verticalSpeedFpm, 32'767) << "kept to 16 bits";
  Advance(1'000);
  UpdateTcasForPilot(Pilot("DEMO02", 3'520));
  EXPECT_EQ(Entry(1).verticalSpeedFpm, -32'768);
  UpdateTcasForPilot(Pilot("DEMO02", 4'000));
  EXPECT_EQ(Entry(1).verticalSpeedFpm, 0) << "no time passed";
}

TEST_F(TcasFeedTest, CallsignsAreCutForTheTableButKeptWholeInTheSlot) {
  ASSERT_NO_FATAL_FAILURE(StartWithSlots(4));
  UpdateTcasForPilot(Pilot("ABCDEFGHIJKLMNO"));
  UpdateTcasForPilot(Pilot("ABCDEFGHIJKLMNP"));
  EXPECT_EQ(Entry(1).callsign, "ABCDEFGHIJKLMN");
  EXPECT_EQ(Entry(2).callsign, "ABCDEFGHIJKLMN");
  EXPECT_EQ(FindTcasSlot("ABCDEFGHIJKLMNO"), 0);
  EXPECT_EQ(FindTcasSlot("ABCDEFGHIJKLMNP"), 1) << "the way record's callsigns tell them apart";
  EXPECT_EQ(FindTcasSlot("ABCDEFGHIJKLMN"), -1);
}

TEST_F(TcasFeedTest, AFullTableTakesANewPilotOnceOneLeaves) {
  ASSERT_NO_FATAL_FAILURE(StartWithSlots(2));
  UpdateTcasForPilot(Pilot("ONE"));
  UpdateTcasForPilot(Pilot("TWO"));
  UpdateTcasForPilot(Pilot("THREE"));
  EXPECT_EQ(FindTcasSlot("THREE"), -1);
  EXPECT_EQ(TcasSlotsUsed(), 2);
  EXPECT_EQ(server_.TcasTable().size(), 2u);

  ReleasePilotTcasSlot("NOBODY");
  EXPECT_EQ(TcasSlotsUsed(), 2) << "a slot is given back only when found";
  ReleasePilotTcasSlot("ONE");
  EXPECT_EQ(TcasSlotsUsed(), 1);
  EXPECT_TRUE(Entry(1).Zeroed());
  ReleasePilotTcasSlot("ONE");
  EXPECT_EQ(TcasSlotsUsed(), 1) << "counted down once";

  UpdateTcasForPilot(Pilot("THREE"));
  EXPECT_EQ(FindTcasSlot("THREE"), 0);
  EXPECT_EQ(Entry(1).callsign, "THREE");
  EXPECT_EQ(TcasSlotsUsed(), 2);
}

TEST_F(TcasFeedTest, ALostServerClosesTheLinkWithOneLine) {
  ASSERT_NO_FATAL_FAILURE(StartWithSlots(4));
  UpdateTcasForPilot(Pilot("DEMO02"));
  const std::uint32_t requests = server_.Requests();
  print_.Clear();
  server_.SetSilent(true);
  UpdateTcasForPilot(Pilot("DEMO02"));
  EXPECT_FALSE(FsuipcLinkUp());
  EXPECT_EQ(Printed(), "\r\nTCAS error message : IPC timed out all retries\r\n");
  UpdateTcasForPilot(Pilot("DEMO02"));
  UpdateTcasForPilot(Pilot("DEMO03"));
  ReleasePilotTcasSlot("DEMO02");
  EXPECT_EQ(Printed(), "\r\nTCAS error message : IPC timed out all retries\r\n") << "nothing more is tried";
  server_.SetSilent(false);
  EXPECT_EQ(server_.Requests(), requests);

  print_.Clear();
  StartFsuipc();
  EXPECT_TRUE(FsuipcLinkUp()) << "a fresh start opens a new link";
  server_.Stop();
  UpdateTcasForPilot(Pilot("DEMO02"));
  EXPECT_FALSE(FsuipcLinkUp());
  EXPECT_NE(Printed().find("\r\nTCAS error message : IPC sendmessage failed all retries\r\n"), std::string::npos);
}

TEST(TcasRecord, HeadingIsNormalisedBeforeScaling) {
  const std::pair<double, std::uint16_t> cases[] = {
      {0.0, 0},         {90.0, 16'384}, {180.0, 32'768}, {359.99, 65'534}, {360.0, 0},
      {-90.0, 49'152},  {450.0, 16'384}, {-720.0, 0},   {NAN, 0},         {INFINITY, 0},
      // Far beyond 32 bits once scaled: 1e20 is 280 degrees past a whole turn.
      {1e20, 50'972},   {-1e20, 14'563},
  };
  for (const auto& [degrees, expected] : cases) EXPECT_EQ(TcasHeading(degrees), expected) << degrees;
}

TEST(TcasRecord, FieldsAtTheirOffsets) {
  TcasTraffic traffic;
  traffic.id = 3;
  traffic.latitude = 1.5;
  traffic.longitude = -2.25;
  traffic.altitudeFeet = 1'000;
  traffic.headingDegrees = 180;
  traffic.groundSpeedKnots = 0x1234;
  traffic.verticalSpeedFpm = -2;
  traffic.callsign = "ABCDEFGHIJKLMNOPQRST";
  const TcasRecordBytes record = BuildTcasRecord(traffic);
  const TcasRecordBytes expected = {3,    0,    0,    0,    0,    0,    0xC0, 0x3F, 0,    0,    0x10, 0xC0, 0, 0,
                                    0x7A, 0x44, 0,    0x80, 0x34, 0x12, 0xFE, 0xFF, 'A',  'B',  'C',  'D',  'E',
                                    'F',  'G',  'H',  'I',  'J',  'K',  'L',  'M',  'N',  0,    140,  0,    0x23};
  EXPECT_EQ(record, expected);
  EXPECT_EQ(EmptyTcasRecord(7), (TcasRecordBytes{7}));
}

// The duty takes the pilot ways logged in and not special, and no controller.
TEST_F(TcasFeedTest, TheDutyFeedsLoggedInPilotsThatAreNotSpecial) {
  ASSERT_NO_FATAL_FAILURE(StartWithSlots(8));
  struct Way {
    const char* callsign;
    char kind;
    DWORD linkBits;
    std::uint32_t flags;
    bool fed;
  };
  const Way ways[] = {
      {"SHOWN", 'P', kWayLoggedIn, kWayAllocated, true},
      {"HIDDEN", 'P', kWayLoggedIn, kWayAllocated | kWayInvisible, false},
      {"CALLING", 'P', 0, kWayAllocated, false},
      {"LFPG_TWR", 'A', kWayLoggedIn, kWayAllocated, false},
  };
  std::vector<std::unique_ptr<COrvSok>> objects;
  {
    WayTableGuard guard;
    for (std::size_t i = 0; i < std::size(ways); ++i) {
      objects.push_back(std::make_unique<COrvSok>(nullptr, static_cast<std::int32_t>(i), "[TCAS WAY]", 0));
      objects.back()->SetLoggedInBits(ways[i].linkBits);
      WayRecord& record = WayTable()[i];
      record = WayRecord{};
      record.way = objects.back().get();
      record.peerKind = ways[i].kind;
      record.stateFlags = ways[i].flags;
      CopyToField(record.callsign, ways[i].callsign);
      record.position.altitude = 2'000;
    }
  }
  FeedTcasFromWayTable();
  for (const Way& way : ways) EXPECT_EQ(FindTcasSlot(way.callsign) >= 0, way.fed) << way.callsign;

  // Marked special, or gone without his slot given back: his target goes at the next pass.
  {
    WayTableGuard guard;
    WayTable()[0].stateFlags |= kWayInvisible;
  }
  FeedTcasFromWayTable();
  EXPECT_EQ(FindTcasSlot("SHOWN"), -1);
  EXPECT_EQ(TcasSlotsUsed(), 0);
  EXPECT_TRUE(Entry(1).Zeroed());
  {
    WayTableGuard guard;
    for (std::size_t i = 0; i < std::size(ways); ++i) WayTable()[i] = WayRecord{};
  }
}

}  // namespace
