// The lists printed in the chat output: the order of the pilot list, the
// texts of each line, the controller list, the way dump, and what a failed
// copy of the way table prints.
#include "dialogs/debug_lists.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/klib_settings.h"
#include "core/settings.h"
#include "dialogs/chat_dialog.h"
#include "net/orv_sok.h"  // kWayLoggedIn
#include "support/klib_fixture.h"
#include "win/dialog_template.h"
#include "win/richedit.h"

namespace {

std::uint32_t Address(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  std::uint32_t value = 0;
  const std::array<std::uint8_t, 4> bytes{a, b, c, d};
  std::memcpy(&value, bytes.data(), 4);
  return value;
}

ListedWay Pilot(const char* callsign, double metres, DWORD state = kWayLoggedIn) {
  ListedWay way;
  way.hasWay = true;
  way.linkState = state;
  way.record.peerKind = 'P';
  way.record.stateFlags = kWayAllocated;
  way.record.distanceMetres = metres;
  way.record.simulatorCode = 10500;
  CopyToField(way.record.callsign, callsign);
  return way;
}

std::string Text(const DebugLine& line) {
  std::string text;
  for (const DebugRun& run : line.runs) text += run.text;
  return text;
}

std::vector<std::string> Texts(const DebugOutput& out) {
  std::vector<std::string> texts;
  for (const DebugLine& line : out) texts.push_back(Text(line));
  return texts;
}

const DebugRun* RunWith(const DebugLine& line, const std::string& text) {
  for (const DebugRun& run : line.runs)
    if (run.text == text) return &run;
  return nullptr;
}

class DebugListsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetKlibForTest();
    // Distinct colours, so that each field can be told from the others.
    for (int field = 17; field <= 29; ++field) Klib().SetColour(field, 0x010101u * static_cast<COLORREF>(field));
  }
  void TearDown() override { ResetKlibForTest(); }
};

TEST_F(DebugListsTest, SortPutsStateZeroFirstThenEstablishedByDistanceThenTheRestStably) {
  std::vector<ListedWay> ways = {
      Pilot("FAR", 9000.0),         Pilot("REST1", 10.0, 0x4), Pilot("ZERO1", 5000.0, 0),
      Pilot("NEAR", 100.0),         Pilot("REST2", 1.0, 0x2),  Pilot("ZERO2", 1.0, 0),
      Pilot("MID", 5000.0),         Pilot("MID2", 5000.0),
  };
  SortPeersByDistance(ways);
  std::vector<std::string> order;
  for (const ListedWay& way : ways) order.emplace_back(FieldText(way.record.callsign));
  EXPECT_EQ(order, (std::vector<std::string>{"ZERO1", "ZERO2", "NEAR", "MID", "MID2", "FAR", "REST1", "REST2"}));
}

TEST_F(DebugListsTest, ComparatorIsATotalOrder) {
  // The three kinds in every pairing: the answers agree both ways round and chain.
  const std::vector<ListedWay> ways = {Pilot("A", 50.0, 0), Pilot("B", 10.0), Pilot("C", 20.0), Pilot("D", 1.0, 0x2)};
  for (const ListedWay& a : ways) {
    for (const ListedWay& b : ways) {
      const int ab = ComparePeersByDistance(a, b);
      const int ba = ComparePeersByDistance(b, a);
      EXPECT_EQ(ab < 0, ba > 0) << FieldText(a.record.callsign) << " " << FieldText(b.record.callsign);
      for (const ListedWay& c : ways) {
        if (ab < 0 && ComparePeersByDistance(b, c) < 0) {
          EXPECT_LT(ComparePeersByDistance(a, c), 0);
        }
        // Ties chain too: a record equal to two others never puts them apart.
        if (ab == 0 && ComparePeersByDistance(b, c) == 0) {
          EXPECT_EQ(ComparePeersByDistance(a, c), 0)
              << FieldText(a.record.callsign) << " " << FieldText(c.record.callsign);
        }
      }
    }
  }
}

TEST_F(DebugListsTest, SimulatorNames) {
  struct Case {
    std::int32_t code;
    const char* name;
  };
  const Case cases[] = {{2002, "FS2002"}, {2004, "FS2004"}, {2006, "FSX"},    {3000, "P3D v0"},
                        {3003, "P3D v3"}, {3999, "P3D v999"}, {9000, "XPlane9"}, {10500, "XPlane10"},
                        {2500, "Unknown Simulator V2500"}, {4000, "Unknown Simulator V4000"}};
  for (const Case& c : cases) EXPECT_EQ(SimulatorName(c.code), c.name) << c.code;
}

TEST_F(DebugListsTest, AddressShowsTheFourthByteAsACharacterAndAControlCharacterAsQuestionMark) {
  struct Case {
    std::uint8_t fourth;
    const char* text;
  };
  const Case cases[] = {{'A', "10.1.2.A, "}, {32, "10.1.2. , "}, {31, "10.1.2.?, "}, {0, "10.1.2.?, "},
                        {7, "10.1.2.?, "}};
  for (const Case& c : cases) EXPECT_EQ(AddressText(Address(10, 1, 2, c.fourth)), c.text) << int{c.fourth};
  EXPECT_EQ(AddressText(Address(10, 1, 2, 0), 'B'), "10.1.2.B, ");
}

TEST_F(DebugListsTest, PilotLineDistanceAltitudeAndGround) {
  struct Case {
    double metres;
    double feet;
    bool onGround;
    const char* middle;
  };
  const Case cases[] = {
      {3704.0, 3500.0, false, "3704 meters, +500 ft, airborne, "},
      {3705.0, 2999.9, true, "2.0 Nm, -1 ft, onground, "},
      {18520.0, 3000.0, false, "10.0 Nm, +0 ft, airborne, "},
  };
  for (const Case& c : cases) {
    ListedWay way = Pilot("DEMO02", c.metres);
    way.record.position.altitude = c.feet;
    way.record.pilot.onGround = c.onGround;
    CopyToField(way.record.announced.title, "Cessna");
    PilotListContext context;
    context.ownAltitudeFeet = 3000.9;  // taken toward zero
    const std::vector<ListedWay> ways = {way};
    const DebugOutput out = PilotListLines(ways, context);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(Text(out[1]), std::string("[1] DEMO02 :  , 0.0.0.?, ") + c.middle + "XPlane10, Cessna") << c.metres;
  }
}

TEST_F(DebugListsTest, PilotLineColoursAndTheDebugPart) {
  ListedWay way = Pilot("DEMO02", 100.0);
  way.record.peerAddress = Address(82, 64, 1, 'x');
  way.record.simulatorCode = 2002;
  CopyToField(way.record.firstName, "Jean");
  CopyToField(way.record.lastName, "Dupont");
  way.linkUp = true;
  way.host = "127.0.0.1";
  way.port = 55009;
  way.timeoutSeconds = 5;
  way.record.voiceFlags = kWayVoiceCom1;
  PilotListContext context;
  context.ownAddress = std::array<std::uint8_t, 4>{82, 64, 1, 200};
  context.debugLists = true;
  const std::vector<ListedWay> ways = {Pilot("ZERO", 0.0, 0), way};
  const DebugOutput out = PilotListLines(ways, context);
  ASSERT_EQ(out.size(), 2u);
  const DebugLine& line = out[1];
  EXPECT_EQ(Text(line),
            "[2] DEMO02 : Jean Dupont, 82.64.1.x, 100 meters, +0 ft, airborne, connected on = 127.0.0.1:55009 "
            "TimeOut 5s  Tx ON, FS2002, ")
      << "with the debug bit the number is the place in the sorted copy";
  EXPECT_EQ(line.runs[0].effects, static_cast<DWORD>(CFE_BOLD));
  EXPECT_EQ(RunWith(line, " : Jean Dupont")->colour, Klib().Colour(27));
  EXPECT_EQ(RunWith(line, "82.64.1.x, ")->colour, Klib().Colour(25)) << "the own network";
  EXPECT_EQ(RunWith(line, "127.0.0.1:55009")->colour, Klib().Colour(26));
  EXPECT_EQ(RunWith(line, "ON")->colour, Klib().Colour(25));
  EXPECT_EQ(RunWith(line, "FS2002")->colour, Klib().Colour(24));

  way.linkUp = false;
  way.record.voiceFlags = 0;
  context.ownAddress = std::array<std::uint8_t, 4>{82, 64, 2, 200};
  const std::vector<ListedWay> other = {way};
  const DebugLine second = PilotListLines(other, context)[1];
  EXPECT_EQ(RunWith(second, "82.64.1.x, ")->colour, Klib().Colour(20)) << "another network";
  EXPECT_EQ(RunWith(second, "NOT connected")->colour, Klib().Colour(20));
  EXPECT_EQ(RunWith(second, "OFF")->colour, Klib().Colour(20));
}

TEST_F(DebugListsTest, OnlyEstablishedShownPilotsAreListedAndNumberedInTurn) {
  ListedWay hidden = Pilot("HIDDEN", 10.0);
  hidden.record.stateFlags |= kWayInvisible;
  ListedWay controller = Pilot("CTRL", 10.0);
  controller.record.peerKind = 'A';
  const std::vector<ListedWay> ways = {Pilot("UNLINKED", 1.0, 0), hidden, controller, Pilot("ONE", 20.0),
                                       Pilot("TWO", 30.0)};
  const DebugOutput out = PilotListLines(ways, PilotListContext{});
  const std::vector<std::string> texts = Texts(out);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "\r\n\tPilots list, sorted by distance :");
  EXPECT_EQ(texts[1].substr(0, 8), "[1] ONE ");
  EXPECT_EQ(texts[2].substr(0, 8), "[2] TWO ");
}

TEST_F(DebugListsTest, EmptyListsSayNoneInEachLanguage) {
  struct Case {
    std::int32_t language;
    const char* pilots;
    const char* controllers;
  };
  const Case cases[] = {
      {0, " No pilots in range.", " No controller in range."},
      {1, " Aucun pilote dans le rayon d'action.", " Aucun controleur dans le rayon d'action."},
      {2, " Ning\xFAn piloto en el rango.", " Ning\xFAn controlador en el rango."},
  };
  for (const Case& c : cases) {
    PilotListContext context;
    context.language = c.language;
    const DebugOutput pilots = PilotListLines({}, context);
    ASSERT_EQ(pilots.size(), 2u);
    EXPECT_EQ(Text(pilots[1]), c.pilots);
    EXPECT_EQ(pilots[1].runs[0].effects, 0u);
    EXPECT_EQ(pilots[1].runs[0].colour, Klib().Colour(17));
    const DebugOutput controllers = AtcListLines({}, c.language);
    ASSERT_EQ(controllers.size(), 2u);
    EXPECT_EQ(Text(controllers[0]), "\r\n\tAtc's list :");
    EXPECT_EQ(Text(controllers[1]), c.controllers);
  }
}

TEST_F(DebugListsTest, ControllerLinesInTableOrder) {
  ListedWay atc = Pilot("LFPG_TWR", 0.0);
  atc.record.peerKind = 'A';
  atc.record.peerAddress = Address(192, 168, 1, 7);
  atc.record.controller.rangeNm = 40;
  atc.record.controller.frequencyMhz = 118;
  atc.record.controller.frequencyKhz = 5;
  CopyToField(atc.record.firstName, "Ann");
  CopyToField(atc.record.lastName, "Lee");
  ListedWay gone = atc;
  gone.record.stateFlags = 0;  // not allocated
  const std::vector<ListedWay> ways = {Pilot("P1", 1.0), gone, atc};
  const DebugOutput out = AtcListLines(ways, 0);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(Text(out[1]), "[1] LFPG_TWR : V 192.168.1.B, Range 40 Nm, 118.005 Mhz Ann Lee");
  EXPECT_EQ(RunWith(out[1], "118.005 Mhz")->effects, static_cast<DWORD>(CFE_BOLD));
  EXPECT_EQ(RunWith(out[1], " Ann Lee")->colour, Klib().Colour(24));
}

TEST_F(DebugListsTest, NodeDumpOneLinePerRecord) {
  std::vector<ListedWay> ways(3);
  ways[1].hasWay = true;
  ways[1].wayId = 1;
  CopyToField(ways[1].record.callsign, "DEMO02");
  ways[1].record.simObjectBlock[0] = 7;
  ways[1].record.simObjectBlock[4] = 0x00;
  ways[1].record.simObjectBlock[5] = 0x01;
  ways[1].record.simObjectBlock[15] = 0xFF;
  const std::vector<std::string> texts = Texts(NodeDumpLines(ways));
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[0], " Orvx :\r\n");
  EXPECT_EQ(texts[1], "[0] porv 0, pDPP 0.0.0.0, .");
  EXPECT_EQ(texts[2], "[1] porv 1, pDPP 7.256.0.-16777216, DEMO02.");
}

TEST_F(DebugListsTest, ProtocolLines) {
  EXPECT_EQ(Text(DebugProtocolLine(true)), "DBGP ON");
  EXPECT_EQ(DebugProtocolLine(true).runs[0].colour, Klib().Colour(20));
  EXPECT_EQ(Text(DebugProtocolLine(false)), "DBGP OFF");
  EXPECT_EQ(DebugProtocolLine(false).runs[0].colour, Klib().Colour(25));
}

class DebugListsPrintTest : public DebugListsTest {
 protected:
  void SetUp() override {
    DebugListsTest::SetUp();
    InstallDialogTemplates();
    chat_ = std::make_unique<CCchatDlg>();
    ASSERT_TRUE(chat_->Create(kChatTemplate));
    g_pChatDlg = chat_.get();
    chat_->Clear();
  }
  void TearDown() override {
    g_pChatDlg = nullptr;
    chat_.reset();
    DebugListsTest::TearDown();
  }
  std::string Printed() {
    std::string text;
    for (const TextRun& run : chat_->Output()->Runs()) text += run.text;
    return text;
  }
  std::unique_ptr<CCchatDlg> chat_;
};

TEST_F(DebugListsPrintTest, AFailedCopyPrintsNoListAndItsLineOnlyWithTheDebugBit) {
  ListOnlinePlayersFrom(nullptr);
  EXPECT_EQ(Printed(), "") << "no list without the copy";
  Klib().traceMask = 1;
  ListOnlinePlayersFrom(nullptr);
  EXPECT_EQ(Printed(), "\r\nError when allocating ListOnlinePlayers()");
}

TEST_F(DebugListsPrintTest, AnEmptyTableListsNoPilotsThenTheControllers) {
  ListOnlinePlayersFrom(std::make_unique<WayTableCopy>());
  const std::string text = Printed();
  const auto pilots = text.find("Pilots list, sorted by distance :");
  const auto none = text.find(" No pilots in range.");
  const auto atc = text.find("Atc's list :");
  const auto noAtc = text.find(" No controller in range.");
  ASSERT_NE(pilots, std::string::npos) << text;
  ASSERT_NE(none, std::string::npos) << text;
  ASSERT_NE(atc, std::string::npos) << text;
  ASSERT_NE(noAtc, std::string::npos) << text;
  EXPECT_LT(pilots, none);
  EXPECT_LT(none, atc);
  EXPECT_LT(atc, noAtc);
}

}  // namespace
