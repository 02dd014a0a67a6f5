// The once-a-second poll of the own aircraft: what it announces, what the
// main dialog's radio status shows, and the transponder code it reports.
#include "sim/own_aircraft_poll.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/airport_db.h"
#include "core/app_paths.h"
#include "core/cross_sim_offsets.h"
#include "core/main_dialog_state.h"
#include "core/nearest_airport.h"
#include "core/own_aircraft_state.h"
#include "core/own_position.h"
#include "core/sim_family.h"
#include "core/table_memory.h"
#include "core/text_fields.h"
#include "core/ui_hooks.h"
#include "net/cross_sim_peers.h"
#include "net/node_connect.h"
#include "net/node_way.h"
#include "net/orv_sok.h"
#include "net/owner_slot.h"
#include "net/pilot_link.h"
#include "net/way_ids.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "sim/plugin_link.h"
#include "sim/plugin_link_records.h"
#include "support/child_process.h"

namespace {

std::mutex g_textsLock;
std::vector<std::pair<int, std::string>> g_texts;
void RecordText(int id, const char* text) {
  std::lock_guard lock(g_textsLock);
  g_texts.emplace_back(id, text);
}
// The controller list's notices of a radio change.
std::atomic<int> g_radiosToldToList{0};
void CountRadiosTold() { ++g_radiosToldToList; }

class OwnAircraftPollTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WayTableLock().Init();
    g_ownAircraft().Reset();
    ResetOwnAircraftPoll();
    g_networkState = 0;
    g_texts.clear();
    g_radiosToldToList = 0;
    UiHooks hooks;
    hooks.setMainDialogText = &RecordText;
    hooks.ownRadiosChanged = &CountRadiosTold;
    SetUiHooks(hooks);
  }
  void TearDown() override {
    SetUiHooks({});
    g_dashIdentFlag = 0;
    g_networkState = 0;
    g_sessionOpen = false;
    g_ownAircraft().Reset();
    ResetOwnAircraftPoll();
  }
  static void Radios(std::uint16_t code, std::uint32_t com1, std::uint16_t audio) {
    DataSet2Record record;
    record.transponderCode = code;
    record.transponderMode = 2;
    record.com1Hundredths = com1;
    record.com2Hundredths = 12150;
    record.audioSelection = audio;
    g_ownAircraft().Update([&](OwnAircraftSnapshot& own) {
      own.radios = ApplyDataSet2(record, own.radios);
      own.working.com1 = own.radios.com1;
      own.working.com1Selected = own.radios.com1Selected;
      own.working.com2 = own.radios.com2;
      own.working.com2Selected = own.radios.com2Selected;
    });
  }
  static std::vector<std::string> StatusTexts() {
    std::vector<std::string> texts;
    for (const auto& [id, text] : g_texts) {
      if (id == kRadioStatusId) texts.push_back(text);
    }
    return texts;
  }
};

TEST_F(OwnAircraftPollTest, OfflineOnlyTheOnGroundFlagIsAnnounced) {
  EXPECT_EQ(PollOwnAircraftState(), 0u) << "on the ground by default, as last announced";
  OwnFlightData flight;
  flight.onGround = 0;
  g_ownAircraft().SetFlightData(flight);
  Radios(4721, 12280, 6);
  EXPECT_EQ(PollOwnAircraftState(), kOwnChangeOnGround);
  EXPECT_FALSE(OwnOnGround());
  for (int i = 0; i < 5; ++i) EXPECT_EQ(PollOwnAircraftState(), 0u);
  EXPECT_TRUE(StatusTexts().empty());
}

TEST_F(OwnAircraftPollTest, LoggedInTheRadiosAndTheCodeAreReportedSteadily) {
  g_networkState = 2;
  // No plug-in code yet: the default stands, and the status shows no radio.
  std::uint32_t mask = 0;
  for (int i = 0; i < 3; ++i) mask |= PollOwnAircraftState();
  EXPECT_EQ(g_ownAircraft().Snapshot().radios.transponderCode, 1200u);
  ASSERT_FALSE(StatusTexts().empty());
  EXPECT_EQ(StatusTexts().front(), "---");

  Radios(4721, 12280, 6);
  mask = PollOwnAircraftState();
  EXPECT_NE(mask & kOwnChangeRadios, 0u);
  EXPECT_NE(mask & kOwnChangeTransponder, 0u);
  EXPECT_NE(mask & kOwnChangeTransponderMode, 0u);
  EXPECT_EQ(StatusTexts().back(), "122.80");

  // A minute of polls with the plug-in's values unchanged: nothing more to
  // announce, and the code is never set back to the default.
  for (int second = 0; second < 60; ++second) {
    EXPECT_EQ(PollOwnAircraftState() & (kOwnChangeRadios | kOwnChangeTransponder), 0u) << second;
    EXPECT_EQ(g_ownAircraft().Snapshot().radios.transponderCode, 4721u) << second;
    EXPECT_STREQ(g_ownAircraft().Snapshot().working.com1.data(), "122.80") << second;
  }

  // COM2 selected: the status follows.
  Radios(4721, 12280, 7);
  EXPECT_NE(PollOwnAircraftState() & kOwnChangeRadios, 0u);
  EXPECT_EQ(StatusTexts().back(), "121.50");
}

TEST_F(OwnAircraftPollTest, AReportedStateIsNotAnnouncedAgain) {
  g_networkState = 2;
  Radios(4721, 12280, 6);
  PollOwnAircraftState();
  g_ownAircraft().Update([](OwnAircraftSnapshot& own) { own.model.titleForPeers[0] = 'X'; });
  MarkOwnAircraftReported();
  EXPECT_EQ(PollOwnAircraftState() & (kOwnChangeTitle | kOwnChangeRadios), 0u);
  RequestRadioReselect();
  std::uint32_t mask = 0;
  for (int i = 0; i < 3; ++i) mask |= PollOwnAircraftState();
  EXPECT_NE(mask & kOwnChangeRadios, 0u) << "the controller list asked for the radios again";
}

TEST_F(OwnAircraftPollTest, Accessors) {
  Radios(4721, 12345, 6);
  char text[8] = {};
  EXPECT_EQ(GetOwnCom1Text(text, sizeof text), 1);
  EXPECT_STREQ(text, "123.45");
  char tiny[4] = {};
  EXPECT_EQ(GetOwnCom1Text(tiny, sizeof tiny), 1);
  EXPECT_STREQ(tiny, "123");
  EXPECT_EQ(GetOwnCom1Text(nullptr, 8), 0);
  std::uint32_t flag = 9;
  EXPECT_EQ(GetOwnCom1Selected(&flag), 1);
  EXPECT_EQ(flag, 1u);
  EXPECT_EQ(GetOwnOnGround(nullptr), 0);
  double value = 0;
  EXPECT_EQ(GetOwnSpeed(nullptr), 0);
  EXPECT_EQ(GetOwnTrueHeading(&value), 1);
  for (const char* good : {"118.30", "136.97"}) EXPECT_EQ(TuneCom1Frequency(good), 1) << good;
  for (const char* bad : {"18.300", "218.30", "118.3", "118,30", "", "118.300"}) EXPECT_EQ(TuneCom1Frequency(bad), 0) << bad;
  EXPECT_EQ(TuneCom1Frequency(nullptr), 0);
}

// Another nearest airport brings its own offsets before the change is announced.
class OwnAircraftPollOffsetsTest : public OwnAircraftPollTest {
 protected:
  void SetUp() override {
    OwnAircraftPollTest::SetUp();
    savedFile_ = g_appPaths().crossSimOffsetsFile;
    g_appPaths().crossSimOffsetsFile = folder_.Path() + "/CrossSimOffsets.ini";
    SetCrossSimOffsets(DefaultCrossSimOffsetTable());
    db_.records.reset(AllocateTableRecords<AirportRecord>(2));
    ASSERT_NE(db_.records, nullptr);
    const auto airport = [this](std::size_t i, const char* icao, float lat, float lon) {
      db_.records[i] = AirportRecord{};
      CopyCut(db_.records[i].icao, icao);
      db_.records[i].latitude = lat;
      db_.records[i].longitude = lon;
    };
    airport(0, "LFPG", 49.0F, 2.5F);
    airport(1, "EGLL", 51.47F, -0.45F);
    db_.count = 2;
    std::ofstream out(g_appPaths().crossSimOffsetsFile, std::ios::binary | std::ios::trunc);
    out << "[OFS_LFPG]\r\nSIM0=FS,XP10,0.0002,-0.0001,12,1.5\r\n"
           "[OFS_EGLL]\r\nSIM0=FSX,XP10,0.0003,0.0004,-8,2\r\n";
  }
  void TearDown() override {
    g_appPaths().crossSimOffsetsFile = savedFile_;
    ResetLocalSimulatorFamily();
    ResetNearestAirport();
    SetCrossSimOffsets(DefaultCrossSimOffsetTable());
    OwnAircraftPollTest::TearDown();
  }
  // The airport the poll finds nearest, as its every-31st-second search would leave it.
  void FlyNear(double lat, double lon) { FindNearestAirport(db_, {lat, lon, 0.0}); }

  TempFolder folder_;
  AirportDb db_;
  std::string savedFile_;
};

TEST_F(OwnAircraftPollOffsetsTest, AnotherNearestAirportLoadsItsOffsetsFirst) {
  g_networkState = 2;
  TakeInstalledSimulatorCode(10000);
  FlyNear(49.01, 2.5);
  EXPECT_NE(PollOwnAircraftState() & kOwnChangeNearestAirport, 0u);
  EXPECT_STREQ(CrossSimOffsets().icao.data(), "LFPG");
  EXPECT_EQ(CrossSimOffsets().entries[0], (CrossSimOffsetEntry{2004, 10000, 0.0002, -0.0001, 12.0F, 1.5F}));

  // The same airport again: the table is not read again (an edit in the file waits).
  std::ofstream(g_appPaths().crossSimOffsetsFile, std::ios::binary | std::ios::trunc)
      << "[OFS_LFPG]\r\nSIM0=FS,XP10,0.5,0.5,0,0\r\n[OFS_EGLL]\r\nSIM0=FSX,XP10,0.0003,0.0004,-8,2\r\n";
  FlyNear(49.02, 2.5);
  PollOwnAircraftState();
  EXPECT_EQ(CrossSimOffsets().entries[0].latitudeOffset, 0.0002);

  FlyNear(51.47, -0.46);
  EXPECT_NE(PollOwnAircraftState() & kOwnChangeNearestAirport, 0u);
  EXPECT_STREQ(CrossSimOffsets().icao.data(), "EGLL");
  EXPECT_EQ(CrossSimOffsets().entries[0], (CrossSimOffsetEntry{2006, 10000, 0.0003, 0.0004, -8.0F, 2.0F}));
}

TEST_F(OwnAircraftPollOffsetsTest, OfflineTheTableStays) {
  g_networkState = 0;
  TakeInstalledSimulatorCode(10000);
  FlyNear(49.01, 2.5);
  PollOwnAircraftState();
  EXPECT_EQ(CrossSimOffsets(), DefaultCrossSimOffsetTable());
}

// What a way was posted by the poll: the simulator and node-pilot messages.
struct Posted {
  std::uint32_t id = 0;
  std::uint32_t param = 0;
  std::uint32_t word = 0;
  friend bool operator==(const Posted&, const Posted&) = default;
};

// Keeps the poll's messages instead of serving them; the rest is served as usual.
template <typename Way>
class Recording : public Way {
 public:
  using Way::Way;
  // Its thread serves messages into this object's members: it ends before they go
  // (and a subclass ends it in its own destructor, before this object's type changes).
  ~Recording() override { StopWay(); }
  void StopWay() {
    if (this->Started()) {
      this->RequestStop(this->ExitCode());
      this->WaitForEnd(10'000);
    }
  }
  std::vector<Posted> Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  // The parameters of the THRDMSG_SIMPILOT messages.
  std::vector<std::uint32_t> Codes() const {
    std::vector<std::uint32_t> codes;
    for (const Posted& posted : Messages()) {
      if (posted.id == THRDMSG_SIMPILOT) codes.push_back(posted.param);
    }
    return codes;
  }
  std::vector<Posted> Taken(std::uint32_t id) const {
    std::vector<Posted> taken;
    for (const Posted& posted : Messages()) {
      if (posted.id == id && posted.param != kDrained) taken.push_back(posted);
    }
    return taken;
  }
  // Every post made before the call has been served once this returns true.
  bool Drain() {
    const std::size_t before = DrainMarks();
    CBaseThread::Post(nullptr, this, THRDMSG_SIMPILOT, kDrained, 0, "TEST");
    for (int i = 0; i < 10'000; ++i) {
      if (DrainMarks() > before) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
  std::size_t DrainMarks() const {
    const std::vector<std::uint32_t> codes = Codes();
    return static_cast<std::size_t>(std::count(codes.begin(), codes.end(), kDrained));
  }
  static constexpr std::uint32_t kDrained = 0xD0D0;

 protected:
  DWORD ProcessMessage(const DMessage& message) override {
    if (message.id != THRDMSG_SIMPILOT && message.id != THRDMSG_NODE_PILOT) return Way::ProcessMessage(message);
    std::lock_guard lock(mutex_);
    messages_.push_back({message.id, message.param, message.word3});
    return 1;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Posted> messages_;
};

// A peer way of the way table: a pilot ('P') or a controller ('A').
class PeerWay : public COrvSok {
 public:
  PeerWay(std::int32_t wayId, char kind, std::uint8_t major, bool allocated)
      : COrvSok(nullptr, wayId, "[POLL WAY]", 1), id_(wayId) {
    WayTableGuard guard;
    WayRecord& record = WayTable()[static_cast<std::size_t>(wayId)];
    record = WayRecord{};
    record.way = this;
    record.peerKind = kind;
    record.stateFlags = allocated ? kWayAllocated : 0;
    record.pilot.versionBytes = {major, 0, 0, 0};
  }
  ~PeerWay() override {
    if (Started()) {
      RequestStop(ExitCode());
      WaitForEnd(10'000);
    }
    WayTableGuard guard;
    WayTable()[static_cast<std::size_t>(id_)] = WayRecord{};
  }
  bool Start() { return InitBuffers(nullptr, SOCK_MODE_TCP, 4096, 4096, 8192, 8192) == 0 && StartThread(1, 0) == 1; }
  // A pilot link that is up, as the offsets notice looks for it.
  void MarkLinked() {
    SetPeerKind('P');
    SetConnected(true);
  }

 private:
  std::int32_t id_;
};

class PollPilotWay : public Recording<PeerWay> {
 public:
  PollPilotWay(std::int32_t wayId, std::uint8_t major, bool allocated = false)
      : Recording<PeerWay>(wayId, 'P', major, allocated) {}
  ~PollPilotWay() override { StopWay(); }
};

class PollControllerWay : public Recording<PeerWay> {
 public:
  PollControllerWay(std::int32_t wayId, bool allocated) : Recording<PeerWay>(wayId, 'A', 0, allocated) {}
  ~PollControllerWay() override { StopWay(); }
};

// The node way as the program's global names it, shown as connected.
class PollNodeWay : public Recording<CNodeWay> {
 public:
  PollNodeWay() : Recording<CNodeWay>(nullptr, "[POLL NODE]") { StoreOwnerSlot(g_porvNode, this); }
  ~PollNodeWay() override {
    StopWay();
    StoreOwnerSlot(g_porvNode, nullptr);
  }
  bool Start() { return InitBuffers(nullptr, SOCK_MODE_TCP, 4096, 4096, 8192, 8192) == 0 && StartThread(1, 0) == 1; }
  void MarkConnected(bool connected) { SetConnected(connected); }
};

TEST_F(OwnAircraftPollOffsetsTest, PilotWaysReadTheirPairAgainWhenAnotherAirportsOffsetsCameIn) {
  PollPilotWay linked(4, 11);
  PollPilotWay down(5, 11);
  ASSERT_TRUE(linked.Start());
  ASSERT_TRUE(down.Start());
  linked.MarkLinked();
  g_networkState = 2;
  TakeInstalledSimulatorCode(10000);
  const auto offsetsNotices = [](const PollPilotWay& way) {
    const std::vector<std::uint32_t> codes = way.Codes();
    return std::count(codes.begin(), codes.end(), kSimPilotOffsetsChanged);
  };
  FlyNear(49.01, 2.5);
  PollOwnAircraftState();
  ASSERT_TRUE(linked.Drain());
  ASSERT_TRUE(down.Drain());
  EXPECT_EQ(offsetsNotices(linked), 1);
  EXPECT_EQ(offsetsNotices(down), 0) << "a way whose link is down reads its pair when it comes up";

  // The same airport, or one without a section in the file: nothing new to read.
  PollOwnAircraftState();
  db_.records[1].icao[0] = 'X';  // "XGLL" has no offsets
  FlyNear(51.47, -0.46);
  EXPECT_NE(PollOwnAircraftState() & kOwnChangeNearestAirport, 0u);
  ASSERT_TRUE(linked.Drain());
  EXPECT_EQ(offsetsNotices(linked), 1);
}

TEST_F(OwnAircraftPollTest, OnlyPeersOfVersionElevenOnFollowTheRadios) {
  struct Case {
    std::int32_t way;
    std::uint8_t major;
    bool told;
  };
  const std::vector<Case> cases = {{4, 11, true}, {5, 12, true}, {6, 10, false}, {7, 0, false}};
  std::vector<std::unique_ptr<PollPilotWay>> ways;
  for (const Case& c : cases) {
    ways.push_back(std::make_unique<PollPilotWay>(c.way, c.major));
    ASSERT_TRUE(ways.back()->Start());
    ways.back()->SetLoggedInBits(kWayLoggedIn);
  }
  g_networkState = 2;
  Radios(4721, 12280, 6);
  std::uint32_t mask = 0;
  for (int i = 0; i < 3; ++i) mask |= PollOwnAircraftState();
  ASSERT_NE(mask & kOwnChangeRadios, 0u);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    ASSERT_TRUE(ways[i]->Drain()) << cases[i].way;
    const std::vector<std::uint32_t> codes = ways[i]->Codes();
    const bool told = std::find(codes.begin(), codes.end(), kSimPilotRadios) != codes.end();
    EXPECT_EQ(told, cases[i].told) << "way " << cases[i].way << " of version " << int(cases[i].major);
  }
}

// The login carried the own aircraft as it stood: the polls after it
// announce only what changed since, and read no offsets for the login's airport.
TEST_F(OwnAircraftPollOffsetsTest, ThePollsAfterALoginAnnounceOnlyWhatChangedSince) {
  g_xplaneFamilyCode = 10000;
  OwnFlightData flight;
  flight.onGround = 0;
  g_ownAircraft().SetFlightData(flight);
  Radios(4721, 12280, 6);
  PollOwnAircraftState();  // offline, as every second: the working on-ground copy
  FlyNear(49.01, 2.5);     // the login's search
  g_networkState = 2;
  MarkOwnAircraftReported();
  for (int second = 0; second < 6; ++second) EXPECT_EQ(PollOwnAircraftState(), 0u) << second;
  EXPECT_EQ(CrossSimOffsets(), DefaultCrossSimOffsetTable()) << "the login's airport is not read again";
  EXPECT_EQ(g_radiosToldToList.load(), 0);

  struct Case {
    const char* change;
    std::function<void()> make;
    std::uint32_t bit;
  };
  const std::vector<Case> cases = {
      {"on ground", [] { g_ownAircraft().SetFlightData(OwnFlightData{}); }, kOwnChangeOnGround},
      {"COM1", [] { Radios(4721, 12290, 6); }, kOwnChangeRadios},
      {"code", [] { Radios(4722, 12290, 6); }, kOwnChangeTransponder},
      {"mode", [] { g_ownAircraft().Update([](OwnAircraftSnapshot& own) { own.radios.transponderMode = 'Y'; }); },
       kOwnChangeTransponderMode},
      {"airport", [this] { FlyNear(51.47, -0.46); }, kOwnChangeNearestAirport},
      {"distance", [this] { FlyNear(51.6, -0.46); }, kOwnChangeNearestAirport},
      {"title", [] { g_ownAircraft().Update([](OwnAircraftSnapshot& own) { CopyToField(own.model.titleForPeers, "Jet"); }); },
       kOwnChangeTitle},
      {"type", [] { g_ownAircraft().Update([](OwnAircraftSnapshot& own) { CopyToField(own.model.icaoType, "B738"); }); },
       kOwnChangeIcaoType},
  };
  for (const Case& c : cases) {
    c.make();
    std::uint32_t mask = 0;
    for (int second = 0; second < 3; ++second) mask |= PollOwnAircraftState();
    EXPECT_EQ(mask, c.bit) << c.change;
  }
  EXPECT_STREQ(CrossSimOffsets().icao.data(), "EGLL") << "another airport is read";
  EXPECT_EQ(g_radiosToldToList.load(), 1) << "the controller list hears of the radio change";
}

// The dashboard's ident is told when it starts and when it ends, at the
// next second, and only while logged in.
TEST_F(OwnAircraftPollTest, AnIdentIsAnnouncedAtItsStartAndItsEnd) {
  g_dashIdentFlag = 1;
  EXPECT_EQ(PollOwnAircraftState(), 0u) << "offline";
  g_dashIdentFlag = 0;
  g_networkState = 2;
  MarkOwnAircraftReported();
  const auto polled = [] {
    std::uint32_t mask = 0;
    for (int second = 0; second < 3; ++second) mask |= PollOwnAircraftState() & ~kOwnChangeRadios;
    return mask;
  };
  EXPECT_EQ(polled(), 0u);
  g_dashIdentFlag = 1;
  EXPECT_EQ(PollOwnAircraftState() & kOwnChangeDashFlag, kOwnChangeDashFlag) << "the second after the press";
  EXPECT_EQ(polled(), 0u) << "told once";
  g_dashIdentFlag = 0;
  EXPECT_EQ(polled(), kOwnChangeDashFlag) << "the end";
  g_dashIdentFlag = 1;
  MarkOwnAircraftReported();
  EXPECT_EQ(polled(), 0u) << "a login carries it";
}

TEST_F(OwnAircraftPollTest, ChangesGoToTheConnectedNodeAndTheLinkedControllers) {
  PollNodeWay node;
  PollControllerWay told(10, true);
  PollControllerWay notAllocated(11, false);
  PollControllerWay down(12, true);
  PollPilotWay pilot(13, 11);
  ASSERT_TRUE(node.Start());
  for (Recording<PeerWay>* way : {static_cast<Recording<PeerWay>*>(&told), static_cast<Recording<PeerWay>*>(&notAllocated),
                                  static_cast<Recording<PeerWay>*>(&down), static_cast<Recording<PeerWay>*>(&pilot)}) {
    ASSERT_TRUE(way->Start());
    if (way != &down) way->SetLoggedInBits(kWayLoggedIn);
  }
  node.MarkConnected(true);
  g_networkState = 2;
  Radios(4721, 12280, 6);
  const std::uint32_t mask = PollOwnAircraftState();
  ASSERT_NE(mask & kOwnChangeRadios, 0u);
  EXPECT_EQ(PollOwnAircraftState(), 0u);
  // The node is not connected: only the controller hears of the next change.
  node.MarkConnected(false);
  OwnFlightData flying;
  flying.onGround = 0;
  g_ownAircraft().SetFlightData(flying);
  ASSERT_EQ(PollOwnAircraftState(), kOwnChangeOnGround);
  for (Recording<PeerWay>* way : {static_cast<Recording<PeerWay>*>(&told), static_cast<Recording<PeerWay>*>(&notAllocated),
                                  static_cast<Recording<PeerWay>*>(&down), static_cast<Recording<PeerWay>*>(&pilot)}) {
    ASSERT_TRUE(way->Drain());
  }
  ASSERT_TRUE(node.Drain());

  const Posted first{THRDMSG_NODE_PILOT, 84, mask};
  const Posted onGround{THRDMSG_NODE_PILOT, 84, kOwnChangeOnGround};
  EXPECT_EQ(node.Taken(THRDMSG_NODE_PILOT), std::vector<Posted>{first});
  EXPECT_EQ(told.Taken(THRDMSG_NODE_PILOT), (std::vector<Posted>{first, onGround}));
  EXPECT_TRUE(notAllocated.Taken(THRDMSG_NODE_PILOT).empty());
  EXPECT_TRUE(down.Taken(THRDMSG_NODE_PILOT).empty());
  EXPECT_TRUE(pilot.Taken(THRDMSG_NODE_PILOT).empty());
  EXPECT_EQ(pilot.Codes(), (std::vector<std::uint32_t>{kSimPilotRadios, PollPilotWay::kDrained}));
  EXPECT_EQ(g_radiosToldToList.load(), 1);
}

TEST_F(OwnAircraftPollTest, TheSessionStatusGoesToTheLinkedPilotsOnTheThirdSecond) {
  PollPilotWay linked(4, 11);
  PollPilotWay down(5, 11);
  PollControllerWay controller(6, true);
  for (Recording<PeerWay>* way : {static_cast<Recording<PeerWay>*>(&linked), static_cast<Recording<PeerWay>*>(&down),
                                  static_cast<Recording<PeerWay>*>(&controller)}) {
    ASSERT_TRUE(way->Start());
    if (way != &down) way->SetLoggedInBits(kWayLoggedIn);
  }
  g_networkState = 2;
  g_sessionOpen = true;
  MarkOwnAircraftReported();
  const auto statusNotices = [&] {
    EXPECT_TRUE(linked.Drain());
    return linked.Taken(THRDMSG_SIMPILOT).size();
  };
  PollOwnAircraftState();
  PollOwnAircraftState();
  EXPECT_EQ(statusNotices(), 0u);
  PollOwnAircraftState();
  EXPECT_EQ(statusNotices(), 1u);
  EXPECT_EQ(linked.Taken(THRDMSG_SIMPILOT).front(), (Posted{THRDMSG_SIMPILOT, 82, kPilotChangeSessionStatus}));
  for (int second = 0; second < 3; ++second) PollOwnAircraftState();
  EXPECT_EQ(statusNotices(), 1u) << "told once while it stays";
  g_sessionOpen = false;
  for (int second = 0; second < 3; ++second) PollOwnAircraftState();
  EXPECT_EQ(statusNotices(), 2u);
  ASSERT_TRUE(down.Drain());
  ASSERT_TRUE(controller.Drain());
  EXPECT_TRUE(down.Taken(THRDMSG_SIMPILOT).empty());
  EXPECT_TRUE(controller.Taken(THRDMSG_SIMPILOT).empty());
  EXPECT_TRUE(controller.Taken(THRDMSG_NODE_PILOT).empty());
}

// Readers on other threads get whole snapshots, never a mix of two writes:
// every copy in or out is made with the lock held, so no writer comes between
// its halves. A probe on another thread finds the lock taken at that moment.
TEST(OwnAircraftState, SnapshotsAreNeverTorn) {
  OwnAircraftState state;
  int sections = 0;
  int unlocked = 0;
  state.SetHeldHookForTest([&] {
    ++sections;
    if (!std::async(std::launch::async, [&] { return state.HeldForTest(); }).get()) ++unlocked;
  });
  const std::pair<const char*, std::function<void()>> accesses[] = {
      {"Snapshot", [&] { (void)state.Snapshot(); }},
      {"SetFlightData", [&] { state.SetFlightData(OwnFlightData{}); }},
      {"SetRadioData", [&] { state.SetRadioData(OwnRadioData{}); }},
      {"SetControls", [&] { state.SetControls(OwnControls{}); }},
      {"SetShortState", [&] { state.SetShortState(OwnShortState{}); }},
      {"SetModel", [&] { state.SetModel(OwnModel{}); }},
      {"SetWorkingCopies", [&] { state.SetWorkingCopies(OwnWorkingCopies{}); }},
      {"Update", [&] { state.Update([](OwnAircraftSnapshot&) {}); }},
      {"Reset", [&] { state.Reset(); }},
  };
  for (const auto& [name, access] : accesses) {
    SCOPED_TRACE(name);
    sections = 0;
    unlocked = 0;
    access();
    EXPECT_EQ(sections, 1);
    EXPECT_EQ(unlocked, 0) << "copied without the lock";
  }
  state.SetHeldHookForTest({});
  EXPECT_FALSE(state.HeldForTest());

  // The position fix is one copy of the state, not one per value.
  g_ownAircraft().Reset();
  sections = 0;
  g_ownAircraft().SetHeldHookForTest([&] { ++sections; });
  SetOwnPosition({1.0, -1.0, 2.0});
  EXPECT_EQ(sections, 1);
  sections = 0;
  const OwnPositionFix fix = OwnPosition();
  EXPECT_EQ(sections, 1);
  g_ownAircraft().SetHeldHookForTest({});
  EXPECT_EQ(fix.latitude, 1.0);
  EXPECT_EQ(fix.longitude, -1.0);
  EXPECT_EQ(fix.altitudeFeet, 2.0);
  g_ownAircraft().Reset();
}

}  // namespace
