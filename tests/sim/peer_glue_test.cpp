// A remote pilot's records over loopback, end to end inside the program: a
// scripted pilot peer calls a pilot way of the program's kind, the glue
// chooses his model and asks the simulator link for his AI aircraft, and the
// plug-in's stand-in shows what was added, moved and removed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/trusted_addresses.h"
#include "core/cross_sim_offsets.h"
#include "core/main_dialog_state.h"
#include "core/own_aircraft_state.h"
#include "core/plane_path_hook.h"
#include "core/settings.h"
#include "core/sim_family.h"
#include "net/cross_sim_peers.h"
#include "net/frame_codes.h"
#include "net/frame_format.h"
#include "net/listener.h"
#include "net/orv_sok.h"
#include "net/peer_packets.h"
#include "net/peer_traffic_hooks.h"
#include "net/pilot_link.h"
#include "net/pilot_records.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "sim/ai_callbacks.h"
#include "sim/ai_lock.h"
#include "sim/ai_traffic.h"
#include "sim/ai_traffic_hooks.h"
#include "sim/peer_glue.h"
#include "sim/plugin_link.h"
#include "sim_tables_reset.h"
#include "support/klib_fixture.h"
#include "support/session_way.h"
#include "support/thread_calls.h"
#include "support/recorded_lines.h"
#include "testbed/pilot_peer.h"
#include "testbed/plugin_server.h"
#include "win/clock.h"
#include "win/msgbox.h"

namespace {

constexpr int kWaitMs = 10'000;
using Bytes = std::vector<std::uint8_t>;

bool WaitFor(int timeoutMs, const std::function<bool()>& done) {
  for (int waited = 0; waited <= timeoutMs; waited += 5) {
    if (done()) return true;
    Sleep(5);
  }
  return done();
}

OwnPositionValues Values(double lat, double lon, double feet) {
  OwnPositionValues own;
  own.latitude = lat;
  own.longitude = lon;
  own.altitudeFeet = feet;
  own.trueHeading = 180.0;
  own.magneticHeading = 180.0;
  own.groundSpeedKnots = 100.0;
  own.groundSpeedWhole = 100;
  own.onGround = false;
  return own;
}

// The session way, with calls the test runs on its thread and the lines it prints.
class GlueWay : public SessionWay {
 public:
  static constexpr std::uint32_t kRunCall = 0xAEF2;
  using SessionWay::SessionWay;
  // Its thread prints into lines_: it stops before they go.
  ~GlueWay() override { StopThread(); }

  template <typename Call>
  auto RunOnThread(Call call) -> decltype(call()) {
    auto result = calls_.Add(std::move(call));
    Post(nullptr, this, kRunCall, 0, 0, "TESTCALL");
    return result.get();
  }
  int LinesSaying(const std::string& line) {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count(lines_.begin(), lines_.end(), line));
  }

 protected:
  DWORD ProcessMessage(const DMessage& message) override {
    if (message.id != kRunCall) return SessionWay::ProcessMessage(message);
    calls_.RunNext();
    return 1;
  }
  void PilotText(int, unsigned flags, const char* text) override {
    std::lock_guard lock(mutex_);
    if ((flags & kPilotNewLine) != 0 || lines_.empty()) {
      lines_.emplace_back(text);
    } else {
      lines_.back() += text;
    }
  }

 private:
  ThreadCalls calls_;
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

class PeerGlueTest : public KlibFixture {
 protected:
  void SetUp() override {
    KlibFixture::SetUp();
    ResetWayAndAiTables();
    g_networkState = 2;
    // The hooks as the program registers them.
    AiTrafficHooks ai;
    ai.addPeer = &xXPlaneAddPeer;
    ai.onPeerObjectCreated = [](COrvSok& way) { way.OnPeerObjectCreated(); };
    ai.sendToPilot = [](COrvSok& way, std::uint32_t sub, std::uint32_t value) {
      way.SendToPilot(static_cast<std::uint8_t>(sub), value);
    };
    SetAiTrafficHooks(ai);
    InstallXPlaneAiCallbacks();
    PeerTrafficHooks peers;
    peers.removePeer = [](std::int32_t way, const char* tag, bool locked) {
      if (locked) {
        XPlaneRemovePeerLocked(way, false, tag);
      } else {
        XPlaneRemovePeer(way, false, tag);
      }
    };
    peers.addPeerInSim = &AddPeerInSim;
    peers.updateSimPairOffsets = [](COrvSok& way) { way.UpdateSimPairOffsets(); };
    peers.fsPacket = &ProcessFsPacket;
    peers.fsxPacket = &ProcessFsxPacket;
    peers.peerVisible = &OnPeerVisible;
    peers.peerInvisible = &OnPeerInvisible;
    peers.matchPeerModel = &MatchPeerAircraftModel;
    peers.sendMyIdentity = [](COrvSok& way, const char* tag) { way.SendMyIdentity(tag); };
    peers.sendPositionTick = &SendPositionTick;
    SetPeerTrafficHooks(std::move(peers));

    ASSERT_TRUE(plugin_.Ok());
    plugin_.SetGreeting(PluginServer::Greeting::OnHello);
    plugin_.SetStreamInterval(0);
    plugin_.SetAcfTitles({"Own", "General Aviation\\Cessna 172SP\\Cessna_172SP.acf"});
    plugin_.SetEventLog(lines_.Sink());
    g_networkSettings.xplaneDllPort = plugin_.Port();
    Handshake();

    way_ = std::make_unique<GlueWay>(0, "[GLUE WAY]");
    ASSERT_TRUE(way_->Start());
    ASSERT_EQ(CreateListeningSocket(0), 0);
    listener_ = std::make_unique<Listener>();
    ASSERT_EQ(listener_->StartThread(1, 64 * 1024), 1);
    AddTrustedAddressText("127.0.0.1");
  }
  void TearDown() override {
    CloseListeningSocket();
    listener_.reset();
    way_.reset();
    delete XPlaneLinkObject();
    g_porvDll = nullptr;
    XPlaneLinkUp = false;
    // The next test's link greets the plug-in again.
    SyncSessionFlagToPlugin();
    ResetLocalSimulatorFamily();
    SetPeerTrafficHooks({});
    SetAiTrafficHooks({});
    g_ownAircraft().Reset();
    SetCrossSimOffsets(DefaultCrossSimOffsetTable());
    g_networkState = 0;
    g_networkSettings.xplaneDllPort = setting_default::kXplaneDllPortNumber;
    SetMessageBoxEcho(true);
    COrvSok::SetPauseFunction(nullptr);
    KlibFixture::TearDown();
  }
  void Handshake() {
    CreateXPlaneLink();
    ASSERT_NE(XPlaneLinkObject(), nullptr);
    CreateXPlaneLink();
    ASSERT_TRUE(plugin_.WaitForLink(1, kWaitMs));
    ASSERT_TRUE(WaitFor(kWaitMs, [] { return XPlaneLinkUp.load() && XPlaneLinkObject()->HandshakeComplete(); }));
  }
  static void PlaceOwnAircraft(double lat, double lon) {
    g_ownAircraft().Update([&](OwnAircraftSnapshot& own) {
      own.flight.latitude = lat;
      own.flight.longitude = lon;
    });
  }
  // The peer calls, logs in, and his AI aircraft is added.
  std::unique_ptr<PilotPeer> Admitted(PilotPeerScript script) {
    script.answerLogin = false;
    auto peer = std::make_unique<PilotPeer>(std::move(script));
    EXPECT_TRUE(peer->Connect(ListeningPort()));
    EXPECT_TRUE(WaitFor(kWaitMs, [&] { return way_->IsConnected(); }));
    EXPECT_TRUE(peer->SendLogin());
    EXPECT_TRUE(WaitFor(kWaitMs, [&] { return plugin_.Ai().ByCallsign(peer->Script().callsign).has_value(); }));
    EXPECT_TRUE(peer->WaitForCountOf(NCSUB_PEER_ADDED, 1, kWaitMs));
    return peer;
  }
  std::uint64_t Moves(const std::string& callsign) const {
    const auto aircraft = plugin_.Ai().ByCallsign(callsign);
    return aircraft ? aircraft->moves : 0;
  }
  bool WaitMoves(const std::string& callsign, std::uint64_t moves) {
    return WaitFor(kWaitMs, [&] { return Moves(callsign) >= moves; });
  }
  std::size_t CountOf(std::uint8_t code) const {
    std::size_t n = 0;
    for (const auto& r : plugin_.Records()) n += r.code == code ? 1 : 0;
    return n;
  }
  // Every record the stand-in sent before has been read by the link: the
  // link reads in order, and a second data set leaves its code in the state.
  void SyncLink() {
    static std::uint16_t marker = 6000;
    ++marker;
    plugin_link::FlightSample sample = plugin_link::DemoFlight().start;
    sample.transponderCode = marker;
    ASSERT_TRUE(plugin_.SendDataSet(2, plugin_link::WriteDataSet2(sample)));
    ASSERT_TRUE(WaitFor(kWaitMs, [] { return g_ownAircraft().Snapshot().radios.transponderCode == marker; }));
  }
  // Everything posted to the link so far has reached the stand-in.
  void RoundTrip() {
    const std::size_t ticks = CountOf(plugin_link::XTK_CMD_TICK);
    ASSERT_EQ(SendToXPlane(nullptr, XTK_CMD_TICK, TickBody(), "TEST"), 1);
    ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_TICK, ticks + 1, kWaitMs));
  }
  // Every message posted to the way before has been served: its queue is
  // first in, first out, and the last one makes it write to the peer.
  void DrainWay(const PilotPeer& peer) {
    const std::size_t tests = peer.CountOf(NCSUB_TEST);
    CBaseThread::Post(nullptr, way_.get(), THRDMSG_SIMPILOT, kSimPilotTest, 0, "TEST");
    ASSERT_TRUE(peer.WaitForCountOf(NCSUB_TEST, tests + 1, kWaitMs));
  }
  static WayRecord RecordOfWay0() {
    WayTableGuard guard;
    return WayTable()[0];
  }
  int LinesStarting(const std::string& prefix) const {
    int n = 0;
    for (const std::string& line : lines_.Lines()) n += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }

  PluginServer plugin_;
  RecordedLines lines_;
  std::unique_ptr<GlueWay> way_;
  std::unique_ptr<Listener> listener_;
};

TEST_F(PeerGlueTest, ANewerPeerIsAddedMovedAndRemovedOnceWhatEverHisRecordsTry) {
  PlaceOwnAircraft(45.0, 7.0);
  PilotPeerScript script;
  script.callsign = "DEMO02";
  script.simulatorCode = 9000;
  const auto peer = Admitted(script);
  // No installed model and no rules: the fixed default of his piston class.
  const auto added = plugin_.Ai().ByCallsign("DEMO02");
  ASSERT_TRUE(added);
  EXPECT_EQ(added->model, "General Aviation\\Cessna 172SP\\Cessna_172SP.acf");
  EXPECT_NEAR(added->latitude, peer->FixAt(0).latitude, 1e-9);
  // Our state record and identity reached him once he added us.
  EXPECT_TRUE(peer->WaitForCountOf(NCSUB_FSX_PACKET, 1, kWaitMs));

  ASSERT_TRUE(peer->SendPositionAt(10.0, 1));
  ASSERT_TRUE(WaitMoves("DEMO02", 1));
  auto moved = plugin_.Ai().ByCallsign("DEMO02");
  EXPECT_EQ(moved->latitude, peer->FixAt(10.0).latitude);
  EXPECT_EQ(moved->longitude, peer->FixAt(10.0).longitude);
  EXPECT_NEAR(moved->altitudeFeet, peer->FixAt(10.0).altitudeFeet, 1e-3);

  // A known type of the wrong length is dropped; the link stays and the next record moves.
  OwnPositionValues wrong = Values(45.01, 7.01, 3000.0);
  const PositionRecord full = BuildPositionRecord(wrong, RecordStamp{2, 0});
  ASSERT_TRUE(peer->SendPacket(NCSUB_FSX_PACKET, std::span<const std::uint8_t>(full.data(), 47)));
  // Not numbers, or outside the earth or the heights: none of them moves the aircraft.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const OwnPositionValues bad[] = {Values(91.0, 7.0, 3000.0), Values(45.0, nan, 3000.0), Values(45.0, -180.5, 3000.0),
                                   Values(45.0, 7.0, 150'000.0), Values(45.0, 7.0, -2'500.0)};
  std::uint32_t sequence = 3;
  for (const OwnPositionValues& values : bad) {
    ASSERT_TRUE(peer->SendPacket(NCSUB_FSX_PACKET, BuildPositionRecord(values, RecordStamp{sequence++, 0})));
  }
  ASSERT_TRUE(peer->SendPacket(NCSUB_FSX_PACKET, BuildPositionRecord(Values(45.02, 7.02, 3100.0), RecordStamp{20, 0})));
  ASSERT_TRUE(WaitMoves("DEMO02", 2));
  // A lower sequence number is dropped, an equal one taken.
  ASSERT_TRUE(peer->SendPacket(NCSUB_FSX_PACKET, BuildPositionRecord(Values(45.03, 7.03, 3200.0), RecordStamp{19, 0})));
  ASSERT_TRUE(peer->SendPacket(NCSUB_FSX_PACKET, BuildPositionRecord(Values(45.04, 7.04, 3300.0), RecordStamp{20, 0})));
  ASSERT_TRUE(WaitMoves("DEMO02", 3));
  moved = plugin_.Ai().ByCallsign("DEMO02");
  EXPECT_EQ(moved->moves, 3u);
  EXPECT_EQ(moved->latitude, 45.04);
  EXPECT_EQ(moved->longitude, 7.04);
  EXPECT_TRUE(way_->IsConnected());
  {
    WayTableGuard guard;
    EXPECT_EQ(WayTable()[0].position.latitude, 45.04);
    EXPECT_EQ(WayTable()[0].lastSequence, 20u);
    EXPECT_GT(WayTable()[0].distanceMetres, 0.0);
  }

  // He logs out twice, both reaching his way before it serves the close the
  // first asked for (as a read that comes in between would): his aircraft is
  // removed once, and his way is freed.
  Frame logout;
  logout.header.type = NCSMSG_PILOT;
  logout.header.subCode = NCSUB_LOGOUT;
  const PilotCallsignBody body = WritePilotCallsignBody("DEMO02");
  logout.body.assign(body.begin(), body.end());
  logout.header.length = static_cast<std::uint32_t>(logout.body.size());
  way_->RunOnThread([&] {
    way_->ProcessPilotFrame(logout);
    way_->ProcessPilotFrame(logout);
    return 0;
  });
  ASSERT_TRUE(peer->WaitForClose(kWaitMs));
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return LinesStarting("remove DEMO02") == 1; }));
  ASSERT_TRUE(WaitFor(kWaitMs, [] {
    WayTableGuard guard;
    return (WayTable()[0].stateFlags & kWayAllocated) == 0;
  }));
  // Everything posted to the link so far has reached the stand-in.
  const std::size_t ticks = CountOf(plugin_link::XTK_CMD_TICK);
  ASSERT_EQ(SendToXPlane(nullptr, XTK_CMD_TICK, TickBody(), "TEST"), 1);
  ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_TICK, ticks + 1, kWaitMs));
  EXPECT_EQ(CountOf(plugin_link::XTK_CMD_REMOVE_PEER), 1u);
  EXPECT_EQ(LinesStarting("remove DEMO02"), 1);
  EXPECT_TRUE(plugin_.Ai().Aircraft().empty());
  EXPECT_EQ(way_->LinesSaying("Pilot DEMO02 logged-out."), 1);
}

TEST_F(PeerGlueTest, AnOlderPeerAtMinusHalfADegreeIsPlacedThereAndHisOddRecordsAreDropped) {
  PlaceOwnAircraft(-0.5, 10.0);
  PilotPeerScript script;
  script.callsign = "OLD01";
  script.simulatorCode = 2004;
  script.newerLayout = false;
  script.centreLatitude = -0.5;
  script.centreLongitude = 10.0;
  const auto peer = Admitted(script);
  // His state record comes in his own layout.
  EXPECT_TRUE(peer->WaitForCountOf(NCSUB_FS_PACKET, 1, kWaitMs));

  const OlderPositionRecord first = BuildOlderPositionRecord(Values(-0.5, 10.0, 3000.0), RecordStamp{1, 0});
  ASSERT_TRUE(peer->SendPacket(NCSUB_FS_PACKET, first));
  ASSERT_TRUE(WaitMoves("OLD01", 1));
  auto moved = plugin_.Ai().ByCallsign("OLD01");
  EXPECT_NEAR(moved->latitude, -0.5, 1e-6);
  EXPECT_NEAR(moved->longitude, 10.0, 1e-6);
  EXPECT_NEAR(moved->altitudeFeet, 3000.0, 1e-2);

  // An unknown type, a known one of the wrong length, a lower sequence number:
  // nothing moves; the link stays and the next record moves the aircraft.
  OlderPositionRecord unknown = BuildOlderPositionRecord(Values(-0.4, 10.1, 3000.0), RecordStamp{2, 0});
  unknown[0] = 0x04;  // type 4100
  unknown[1] = 0x10;
  ASSERT_TRUE(peer->SendPacket(NCSUB_FS_PACKET, unknown));
  const OlderPositionRecord shorter = BuildOlderPositionRecord(Values(-0.3, 10.2, 3000.0), RecordStamp{3, 0});
  ASSERT_TRUE(peer->SendPacket(NCSUB_FS_PACKET, std::span<const std::uint8_t>(shorter.data(), 59)));
  ASSERT_TRUE(peer->SendPacket(NCSUB_FS_PACKET, BuildOlderPositionRecord(Values(91.0, 10.2, 3000.0), RecordStamp{4, 0})));
  ASSERT_TRUE(peer->SendPacket(NCSUB_FS_PACKET, BuildOlderPositionRecord(Values(-0.25, 10.25, 3500.0), RecordStamp{9, 0})));
  ASSERT_TRUE(peer->SendPacket(NCSUB_FS_PACKET, BuildOlderPositionRecord(Values(-0.2, 10.3, 3500.0), RecordStamp{8, 0})));
  ASSERT_TRUE(peer->SendPacket(NCSUB_FS_PACKET, BuildOlderPositionRecord(Values(-0.125, 10.5, 4000.0), RecordStamp{9, 0})));
  ASSERT_TRUE(WaitMoves("OLD01", 3));
  moved = plugin_.Ai().ByCallsign("OLD01");
  EXPECT_EQ(moved->moves, 3u);
  EXPECT_NEAR(moved->latitude, -0.125, 1e-6);
  EXPECT_NEAR(moved->longitude, 10.5, 1e-6);
  EXPECT_TRUE(way_->IsConnected());
}

// The points the plane path view was given, from the way's thread.
struct PlottedPoint {
  double longitude;
  double latitude;
  bool onlyWhenShown;
};
std::mutex g_plottedLock;
std::vector<PlottedPoint> g_plotted;
void RecordPlot(double longitude, double latitude, bool onlyWhenShown) {
  std::lock_guard guard(g_plottedLock);
  g_plotted.push_back(PlottedPoint{longitude, latitude, onlyWhenShown});
}
std::vector<PlottedPoint> Plotted() {
  std::lock_guard guard(g_plottedLock);
  return g_plotted;
}

TEST_F(PeerGlueTest, KeptPositionsReachThePlanePathAndDroppedOnesDoNot) {
  {
    std::lock_guard guard(g_plottedLock);
    g_plotted.clear();
  }
  SetPlanePathHook(&RecordPlot);
  PlaceOwnAircraft(-0.5, 10.0);
  PilotPeerScript script;
  script.callsign = "OLD02";
  script.simulatorCode = 2004;
  script.newerLayout = false;
  const auto peer = Admitted(script);
  ASSERT_TRUE(peer->SendPacket(NCSUB_FS_PACKET, BuildOlderPositionRecord(Values(-0.5, 10.0, 3000.0), RecordStamp{1, 0})));
  // Beyond the earth's range, then one of a lower sequence number: neither is plotted.
  ASSERT_TRUE(peer->SendPacket(NCSUB_FS_PACKET, BuildOlderPositionRecord(Values(91.0, 10.2, 3000.0), RecordStamp{4, 0})));
  ASSERT_TRUE(peer->SendPacket(NCSUB_FS_PACKET, BuildOlderPositionRecord(Values(-0.25, 10.25, 3500.0), RecordStamp{9, 0})));
  ASSERT_TRUE(peer->SendPacket(NCSUB_FS_PACKET, BuildOlderPositionRecord(Values(-0.2, 10.3, 3500.0), RecordStamp{8, 0})));
  ASSERT_TRUE(WaitMoves("OLD02", 2));
  DrainWay(*peer);
  SetPlanePathHook(nullptr);
  const std::vector<PlottedPoint> points = Plotted();
  ASSERT_EQ(points.size(), 2u);
  EXPECT_NEAR(points[0].longitude, 10.0, 1e-6);
  EXPECT_NEAR(points[0].latitude, -0.5, 1e-6);
  EXPECT_NEAR(points[1].longitude, 10.25, 1e-6);
  EXPECT_NEAR(points[1].latitude, -0.25, 1e-6);
  EXPECT_FALSE(points[0].onlyWhenShown);
  EXPECT_FALSE(points[1].onlyWhenShown);
}

TEST_F(PeerGlueTest, MoreThanTwentyPositionsOutOfRangeInARowCancelTheLinkWithReasonThree) {
  PlaceOwnAircraft(10.0, 10.0);  // far from his circuit
  PilotPeerScript script;
  script.callsign = "FAR01";
  const auto peer = Admitted(script);
  for (std::uint32_t i = 1; i <= 20; ++i) ASSERT_TRUE(peer->SendPositionAt(i, i));
  ASSERT_TRUE(WaitMoves("FAR01", 20));
  EXPECT_EQ(peer->CountOf(NCSUB_CANCEL_LINK), 0u);
  // One position within range starts the count again: 20 more beyond it keep the link.
  ASSERT_TRUE(peer->SendPacket(NCSUB_FSX_PACKET, BuildPositionRecord(Values(10.01, 10.0, 3000.0), RecordStamp{21, 0})));
  for (std::uint32_t i = 22; i <= 41; ++i) ASSERT_TRUE(peer->SendPositionAt(i, i));
  ASSERT_TRUE(WaitMoves("FAR01", 41));
  EXPECT_EQ(peer->CountOf(NCSUB_CANCEL_LINK), 0u);
  EXPECT_TRUE(way_->IsConnected());
  // The 21st in a row cancels.
  ASSERT_TRUE(peer->SendPositionAt(42, 42));
  ASSERT_TRUE(peer->WaitForCountOf(NCSUB_CANCEL_LINK, 1, kWaitMs));
  std::uint32_t reason = 99;
  for (const Frame& frame : peer->Frames()) {
    if (frame.header.type == NCSMSG_PILOT && frame.header.subCode == NCSUB_CANCEL_LINK) {
      ASSERT_GE(frame.body.size(), 4u);
      reason = static_cast<std::uint32_t>(frame.body[0] | (frame.body[1] << 8) | (frame.body[2] << 16) |
                                          (static_cast<std::uint32_t>(frame.body[3]) << 24));
    }
  }
  EXPECT_EQ(reason, kCancelOutOfRange);
  EXPECT_TRUE(peer->WaitForClose(kWaitMs));
  // The link's end removes his aircraft; the last position never went to it.
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return LinesStarting("remove FAR01") == 1; }));
  EXPECT_EQ(CountOf(plugin_link::XTK_CMD_PEER_POSITION), 41u);
}

TEST_F(PeerGlueTest, APeerOfAnotherSimulatorIsShownWithThePairOffsetsAndTakesNewOnesWhenTold) {
  PlaceOwnAircraft(45.0, 7.0);
  // The plug-in stand-in reports X-Plane 10: its pair with 2006 is the one that counts.
  ASSERT_EQ(LocalSimulatorFamily(), 10000);
  CrossSimOffsetTable table = DefaultCrossSimOffsetTable();
  const int row = FindCrossSimPairEntry(table, 2006, 10000);
  ASSERT_GE(row, 0);
  // The row of X-Plane 9 holds other offsets, which must not be taken.
  const int xp9Row = FindCrossSimPairEntry(table, 2006, 9000);
  ASSERT_GE(xp9Row, 0);
  table.entries[static_cast<std::size_t>(xp9Row)].latitudeOffset = 0.125;
  // The table's row may name the pair either way round: the offsets are for
  // showing the 2006 pilot in the own simulator.
  const bool ownFirst = table.entries[static_cast<std::size_t>(row)].simulatorA == 10000;
  const double sign = ownFirst ? 1.0 : -1.0;
  table.entries[static_cast<std::size_t>(row)].latitudeOffset = sign * 0.5;
  table.entries[static_cast<std::size_t>(row)].longitudeOffset = sign * 0.25;
  table.entries[static_cast<std::size_t>(row)].altitudeOffset = static_cast<float>(sign * 100.0);
  SetCrossSimOffsets(table);

  PilotPeerScript script;
  script.callsign = "FSX01";
  script.simulatorCode = 2006;
  const auto peer = Admitted(script);
  ASSERT_TRUE(peer->SendPacket(NCSUB_FSX_PACKET, BuildPositionRecord(Values(45.0, 7.0, 3000.0), RecordStamp{1, 0})));
  ASSERT_TRUE(WaitMoves("FSX01", 1));
  auto moved = plugin_.Ai().ByCallsign("FSX01");
  EXPECT_DOUBLE_EQ(moved->latitude, 45.5);
  EXPECT_DOUBLE_EQ(moved->longitude, 7.25);
  EXPECT_NEAR(moved->altitudeFeet, 3100.0, 1e-3);

  // The offsets change: the pilot ways are told, and the next record takes the new ones.
  table.entries[static_cast<std::size_t>(row)].latitudeOffset = 0.0;
  table.entries[static_cast<std::size_t>(row)].longitudeOffset = 0.0;
  table.entries[static_cast<std::size_t>(row)].altitudeOffset = 0.0F;
  SetCrossSimOffsets(table);
  EXPECT_EQ(NotifyPeersOffsetsChanged(), 1);
  // The news is posted to the way and may be taken after a record that was
  // already read from its socket: records follow until one shows the change.
  bool changed = false;
  for (std::uint32_t sequence = 2; sequence < 200 && !changed; ++sequence) {
    ASSERT_TRUE(peer->SendPacket(NCSUB_FSX_PACKET,
                                 BuildPositionRecord(Values(45.0, 7.0, 3000.0), RecordStamp{sequence, 0})));
    ASSERT_TRUE(WaitMoves("FSX01", sequence));
    moved = plugin_.Ai().ByCallsign("FSX01");
    changed = moved->latitude == 45.0;
  }
  ASSERT_TRUE(changed);
  EXPECT_DOUBLE_EQ(moved->latitude, 45.0);
  EXPECT_DOUBLE_EQ(moved->longitude, 7.0);
}

TEST_F(PeerGlueTest, AnInvisiblePeerKeepsHisWayAndIsShownAgainWhenVisible) {
  PlaceOwnAircraft(45.0, 7.0);
  PilotPeerScript script;
  script.callsign = "HIDE01";
  const auto peer = Admitted(script);
  ASSERT_TRUE(peer->SendPositionAt(1, 1));
  ASSERT_TRUE(WaitMoves("HIDE01", 1));

  // Invisible: his aircraft is removed, the plug-in answers, and his way stays his.
  ASSERT_TRUE(peer->SendVisible(false));
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return LinesStarting("remove HIDE01") == 1; }));
  ASSERT_TRUE(WaitFor(kWaitMs, [] { return (RecordOfWay0().stateFlags & kWayAiRemovalRequested) == 0; }))
      << "the answer reached the way";
  DrainWay(*peer);
  WayRecord record = RecordOfWay0();
  EXPECT_NE(record.stateFlags & kWayAllocated, 0u) << "a linked pilot's record is not freed";
  EXPECT_STREQ(record.callsign.data(), "HIDE01");
  EXPECT_NE(record.stateFlags & kWayInvisible, 0u);
  EXPECT_TRUE(way_->IsConnected());
  EXPECT_NE(way_->LoggedInBits() & kWayLoggedIn, 0u);
  EXPECT_FALSE(plugin_.Ai().ByCallsign("HIDE01").has_value());

  // Visible again: his aircraft is added again, and his positions move it.
  ASSERT_TRUE(peer->SendVisible(true));
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return plugin_.Ai().ByCallsign("HIDE01").has_value(); }));
  EXPECT_EQ(LinesStarting("add HIDE01 "), 2);
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return (way_->LoggedInBits() & kWayAiInSim) != 0; }));
  ASSERT_TRUE(peer->SendPositionAt(2, 2));
  ASSERT_TRUE(WaitMoves("HIDE01", 1));
  EXPECT_EQ(plugin_.Ai().ByCallsign("HIDE01")->latitude, peer->FixAt(2).latitude);
  record = RecordOfWay0();
  EXPECT_EQ(record.aiObjectId, 1);
  EXPECT_EQ(record.stateFlags & kWayInvisible, 0u);
  EXPECT_TRUE(peer->Linked());
  EXPECT_EQ(peer->CountOf(NCSUB_CANCEL_LINK), 0u);
  // One admission only: his login is not answered a second time.
  EXPECT_EQ(peer->CountOf(NCSUB_PEER_ADDED), 1u);
}

TEST_F(PeerGlueTest, APeerWhoHidesAgainWhileHisAircraftIsAddedStaysHidden) {
  PlaceOwnAircraft(45.0, 7.0);
  PilotPeerScript script;
  script.callsign = "HIDE02";
  const auto peer = Admitted(script);
  // Hidden, shown and hidden again in one go, before the plug-in answers.
  std::vector<std::uint8_t> burst;
  for (const std::uint8_t subCode : {NCSUB_IAM_INVISIBLE, NCSUB_IAM_VISIBLE, NCSUB_IAM_INVISIBLE}) {
    FrameHeader header;
    header.type = NCSMSG_PILOT;
    header.subCode = subCode;
    const auto frame = BuildFrame(FRAME_SYNC_NETWORK, header, {});
    burst.insert(burst.end(), frame.begin(), frame.end());
  }
  ASSERT_TRUE(peer->SendRaw(burst));
  // His aircraft is added again for the "visible" and removed again for the
  // second "invisible", whichever comes first: he ends hidden and linked.
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return LinesStarting("add HIDE02 ") == 2; }));
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return LinesStarting("remove HIDE02") == 2; }));
  ASSERT_TRUE(WaitFor(kWaitMs, [] { return (RecordOfWay0().stateFlags & kWayAiRemovalRequested) == 0; }));
  DrainWay(*peer);
  RoundTrip();
  EXPECT_FALSE(plugin_.Ai().ByCallsign("HIDE02").has_value());
  EXPECT_EQ(LinesStarting("add HIDE02 "), 2);
  EXPECT_NE(RecordOfWay0().stateFlags & kWayAllocated, 0u);
  EXPECT_TRUE(peer->Linked());
}

TEST_F(PeerGlueTest, ALateRemovalAnswerNeverTouchesTheNextPilotOfTheWay) {
  PlaceOwnAircraft(45.0, 7.0);
  PilotPeerScript first;
  first.callsign = "GONE01";
  auto leaving = Admitted(first);
  // He logs out; the plug-in removes his aircraft but answers late.
  plugin_.HoldRemovalAnswers(true);
  ASSERT_TRUE(leaving->SendLogout());
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return LinesStarting("remove GONE01") == 1; }));
  ASSERT_TRUE(leaving->WaitForClose(kWaitMs));
  ASSERT_TRUE(WaitFor(kWaitMs, [] { return (RecordOfWay0().stateFlags & kWayAllocated) == 0; }));
  leaving.reset();

  // The next caller is given the same way, and his aircraft is added.
  PilotPeerScript second;
  second.callsign = "NEXT01";
  const auto next = Admitted(second);
  ASSERT_TRUE(WaitFor(kWaitMs, [] { return RecordOfWay0().aiObjectId == 1; }));
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return (way_->LoggedInBits() & kWayAiInSim) != 0; }));
  EXPECT_STREQ(RecordOfWay0().callsign.data(), "NEXT01");

  // The answer for the first pilot comes now: the second's aircraft and record stay as they are.
  plugin_.HoldRemovalAnswers(false);
  ASSERT_EQ(plugin_.ReleaseRemovalAnswers(), 1u);
  SyncLink();
  DrainWay(*next);
  WayRecord record = RecordOfWay0();
  EXPECT_EQ(record.aiObjectId, 1) << "the object id is the next pilot's";
  EXPECT_NE(record.stateFlags & kWayAllocated, 0u);
  EXPECT_STREQ(record.callsign.data(), "NEXT01");
  EXPECT_NE(way_->LoggedInBits() & kWayAiInSim, 0u);
  ASSERT_TRUE(next->SendPositionAt(1, 1));
  ASSERT_TRUE(WaitMoves("NEXT01", 1)) << "his aircraft still moves";
  RoundTrip();
  EXPECT_EQ(LinesStarting("add NEXT01 "), 1) << "and is not added a second time";
  EXPECT_TRUE(next->Linked());
  EXPECT_TRUE(way_->IsConnected());

  // His own removal is answered and frees the way.
  ASSERT_TRUE(next->SendLogout());
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return LinesStarting("remove NEXT01") == 1; }));
  ASSERT_TRUE(WaitFor(kWaitMs, [] { return (RecordOfWay0().stateFlags & kWayAllocated) == 0; }));
  EXPECT_TRUE(plugin_.Ai().Aircraft().empty());
}

// A connection object that is no peer way: it has no record.
class NoRecordWay : public COrvSok {
 public:
  NoRecordWay() : COrvSok(nullptr, kPeerWayCount + 5, "[NO RECORD]", 1) {}
};

TEST_F(PeerGlueTest, AnAddNeedsARecordAndAnAircraftNotYetInTheSimulator) {
  NoRecordWay none;
  EXPECT_EQ(AddPeerInSim(none), -1);
  way_->SetLoggedInBits(kWayLoggedIn | kWayAiInSim);
  EXPECT_EQ(AddPeerInSim(*way_), -2);
  way_->SetLoggedInBits(kWayLoggedInPeer);
  {
    WayTableGuard guard;
    WayTable()[0].stateFlags = kWayAllocated;
    WayTable()[0].peerKind = 'P';
    CopyToField(WayTable()[0].callsign, "HELI1");
    CopyToField(WayTable()[0].announced.title, "Unknown Helicopter");
    CopyToField(WayTable()[0].announced.classCode, "H1T");
    WayTable()[0].position.latitude = 45.0;
  }
  EXPECT_EQ(AddPeerInSim(*way_), 0);
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return plugin_.Ai().ByCallsign("HELI1").has_value(); }));
  EXPECT_EQ(plugin_.Ai().ByCallsign("HELI1")->model, "Helicopters\\Bell 206\\Jetranger.acf");
  WayTableGuard guard;
  EXPECT_EQ(WayTable()[0].ai.addRequestCounter, 5);
  EXPECT_EQ(WayTable()[0].current.category, 3);
}

}  // namespace
