// The plug-in link's passes over loopback, counted in the messages between the
// threads: the own records that one pass of data sets broadcasts reach a pilot
// way in one round, also when the data sets come as several reads, and that
// round is posted before the link waits; the refresh records of one receive of
// a pilot way reach the link in one post.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "base/trusted_addresses.h"
#include "core/main_dialog_state.h"
#include "core/own_aircraft_events.h"
#include "core/own_aircraft_state.h"
#include "core/settings.h"
#include "net/frame_codes.h"
#include "net/frame_format.h"
#include "net/listener.h"
#include "net/multiplayer_session.h"
#include "net/own_broadcasts.h"
#include "net/orv_sok.h"
#include "net/peer_packets.h"
#include "net/peer_traffic_hooks.h"
#include "net/position_records.h"
#include "net/session_senders.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "sim/ai_lock.h"
#include "sim/peer_glue.h"
#include "sim/plugin_link.h"
#include "support/frame_bytes.h"
#include "sim_tables_reset.h"
#include "support/klib_fixture.h"
#include "support/session_way.h"
#include "testbed/pilot_peer.h"
#include "testbed/plugin_server.h"
#include "win/clock.h"
#include "win/msgbox.h"

namespace {

constexpr int kWaitMs = 10'000;
constexpr std::int32_t kWay = 0;
constexpr std::int32_t kAiObject = 7;
constexpr std::uint32_t kMark = 0xAEF7;

// The session's clock stands still: a second position within the records'
// rate limit is never sent, however long the machine takes.
std::uint32_t FrozenClock() { return 50'000; }

bool WaitFor(int timeoutMs, const std::function<bool()>& done) {
  for (int waited = 0; waited <= timeoutMs; waited += 5) {
    if (done()) return true;
    Sleep(5);
  }
  return done();
}

// A message the test posts and sees served: everything posted before it has been.
class Marks {
 public:
  void Note() { served_.fetch_add(1); }
  bool PostAndWait(CBaseThread* target) {
    const unsigned before = served_.load();
    CBaseThread::Post(nullptr, target, kMark, 0, 0, "TEST");
    return WaitFor(kWaitMs, [&] { return served_.load() > before; });
  }

 private:
  std::atomic<unsigned> served_{0};
};

// A pilot way that keeps the records the session posts to it instead of
// sending them: the record types of each message, one list per message.
class RecordingWay : public StartableWay {
 public:
  explicit RecordingWay(std::int32_t id) : StartableWay(id, "[ROUND WAY]") {}
  // Its thread keeps records in its own members: it stops before they go.
  ~RecordingWay() override { StopThread(); }
  DWORD ProcessMessage(const DMessage& message) override {
    if (message.id == kMark) {
      marks.Note();
      return 1;
    }
    if (message.id == THRDMSG_SIMPILOT_ROUND) {
      Keep(TakeRound());
      return 1;
    }
    if (message.id == THRDMSG_SIMPILOT &&
        (message.param == kSimPilotSendFsPacket || message.param == kSimPilotSendFsxPacket)) {
      std::vector<std::uint8_t> record(PendingPayload());
      PopData(record.data(), static_cast<std::uint32_t>(record.size()));
      Keep({RecordType(record.data(), record.size())});
      return 1;
    }
    return COrvSok::ProcessMessage(message);
  }
  std::vector<std::vector<std::uint16_t>> Posts() {
    std::lock_guard lock(mutex_);
    return posts_;
  }
  Marks marks;

 private:
  std::vector<std::uint16_t> TakeRound() {
    std::vector<std::uint16_t> types;
    std::array<std::uint8_t, 8> entry{};
    while (PendingPayload() >= entry.size()) {
      PopData(entry.data(), entry.size());
      std::vector<std::uint8_t> record(GetU32(entry.data() + 4));
      PopData(record.data(), static_cast<std::uint32_t>(record.size()));
      types.push_back(RecordType(record.data(), record.size()));
    }
    return types;
  }
  void Keep(std::vector<std::uint16_t> types) {
    std::lock_guard lock(mutex_);
    posts_.push_back(std::move(types));
  }

  std::mutex mutex_;
  std::vector<std::vector<std::uint16_t>> posts_;
};

// The program's link, counting the writes it is posted.
class CountingLink : public CXPlaneLink {
 public:
  CountingLink() : CXPlaneLink(&g_porvDll) {}
  ~CountingLink() override {
    if (Started()) {
      RequestStop(ExitCode());
      WaitForEnd(10'000);
    }
  }
  DWORD ProcessMessage(const DMessage& message) override {
    if (message.id == kMark) {
      // As any message that may post to a way: what the link gathered goes first.
      FlushBroadcastRound();
      marks.Note();
      return 1;
    }
    if (message.id == THRDMSG_XPL_WRITE) writes.fetch_add(1);
    return CXPlaneLink::ProcessMessage(message);
  }
  std::atomic<unsigned> writes{0};
  Marks marks;
};

class PluginLinkPassesTest : public KlibFixture {
 protected:
  void SetUp() override {
    KlibFixture::SetUp();
    ResetWayAndAiTables();
    g_ownAircraft().Reset();
    g_networkState = 2;
    SetSessionClock(&FrozenClock);
    InstallOwnAircraftBroadcasters();
    g_sessionFlagSent = false;
    ASSERT_TRUE(plugin_.Ok());
    plugin_.SetGreeting(PluginServer::Greeting::OnHello);
    plugin_.SetStreamInterval(0);
    g_networkSettings.xplaneDllPort = plugin_.Port();
    link_ = std::make_unique<CountingLink>();
    ASSERT_TRUE(link_->StartLink());
    g_porvDll = link_.get();
    link_->ClearSleepCountdown();
    link_->Resume(0);
    CBaseThread::Post(nullptr, link_.get(), THRDMSG_CONNECT, 0, 0, "TEST");
    ASSERT_TRUE(WaitFor(kWaitMs, [this] { return XPlaneLinkUp.load() && link_->HandshakeComplete(); }));
    // What the link-up posted to the link has been served.
    ASSERT_TRUE(link_->marks.PostAndWait(link_.get()));
  }
  void TearDown() override {
    CloseListeningSocket();
    listener_.reset();
    sessionWay_.reset();
    recordingWay_.reset();
    link_.reset();
    g_porvDll = nullptr;
    XPlaneLinkUp = false;
    SyncSessionFlagToPlugin();
    SetPeerTrafficHooks({});
    g_ownAircraft().Reset();
    g_networkState = 0;
    SetSessionClock(nullptr);
    SetOwnAircraftBroadcasters({});
    g_networkSettings.xplaneDllPort = setting_default::kXplaneDllPortNumber;
    SetMessageBoxEcho(true);
    COrvSok::SetPauseFunction(nullptr);
    KlibFixture::TearDown();
  }

  // A logged-in X-Plane pilot at way 0 that keeps what the session posts to it.
  void StartRecordingWay() {
    recordingWay_ = std::make_unique<RecordingWay>(kWay);
    ASSERT_TRUE(recordingWay_->Start());
    {
      WayTableGuard guard;
      WayRecord& record = WayTable()[kWay];
      record.stateFlags |= kWayAllocated;
      record.peerKind = 'P';
      record.simulatorCode = 9000;
      record.way = recordingWay_.get();
    }
    recordingWay_->SetPeerKind('P');
    recordingWay_->SetLoggedInBits(kWayLoggedIn);
  }

  static plugin_link::FlightSample Sample() { return plugin_link::DemoFlight().start; }
  void SendDataSet(int index) {
    const plugin_link::FlightSample sample = Sample();
    switch (index) {
      case 1: ASSERT_TRUE(plugin_.SendDataSet(1, plugin_link::WriteDataSet1(sample))); return;
      case 2: ASSERT_TRUE(plugin_.SendDataSet(2, plugin_link::WriteDataSet2(sample))); return;
      case 3: ASSERT_TRUE(plugin_.SendDataSet(3, plugin_link::WriteDataSet3(sample))); return;
      default: ASSERT_TRUE(plugin_.SendDataSet(4, plugin_link::WriteDataSet4(sample))); return;
    }
  }
  // Sends data sets while the link is held in the broadcast of data set 1,
  // and waits until they are in its socket: the link reads them after that
  // one, without waiting between.
  void SendBehindDataSet1(std::initializer_list<int> indexes) {
    int waiting = 0;
    for (const int index : indexes) {
      SendDataSet(index);
      waiting += static_cast<int>(kFrameSyncSize + kFrameHeaderSize + plugin_link::DataSetSize(index));
    }
    const SOCKET s = link_->Socket();
    ASSERT_TRUE(WaitFor(kWaitMs, [s, waiting] {
      int bytes = 0;
      return ioctl(s, FIONREAD, &bytes) == 0 && bytes >= waiting;
    }));
  }
  // The link took data set 1: its position is the own aircraft's.
  static bool DataSet1Taken() { return std::abs(g_ownAircraft().Flight().latitude - Sample().latitude) < 1e-9; }
  // Until the link has served everything before it, the way too.
  std::vector<std::vector<std::uint16_t>> PostsWhenSettled() {
    EXPECT_TRUE(link_->marks.PostAndWait(link_.get()));
    EXPECT_TRUE(recordingWay_->marks.PostAndWait(recordingWay_.get()));
    return recordingWay_->Posts();
  }

  PluginServer plugin_;
  std::unique_ptr<CountingLink> link_;
  std::unique_ptr<RecordingWay> recordingWay_;
  std::unique_ptr<SessionWay> sessionWay_;
  std::unique_ptr<Listener> listener_;
};

const std::vector<std::uint16_t> kOnePass{kPositionRecordType, kStateRecordType, kShortStateRecordType};

TEST_F(PluginLinkPassesTest, TheDataSetsOfAPassThatComeAsTwoReadsAreOneRound) {
  StartRecordingWay();
  {
    // The link takes data set 1 and waits for the table in its broadcast;
    // meanwhile the rest of the pass arrives behind it.
    WayTableGuard hold;
    SendDataSet(1);
    ASSERT_TRUE(WaitFor(kWaitMs, &DataSet1Taken));
    SendBehindDataSet1({2, 3, 4});
  }
  ASSERT_TRUE(WaitFor(kWaitMs, [this] { return !recordingWay_->Posts().empty(); }));
  EXPECT_EQ(PostsWhenSettled(), std::vector<std::vector<std::uint16_t>>{kOnePass});
}

// Data set 1 begins the next pass, which is a round of its own; the last
// round is posted before the link waits, with nothing behind it.
TEST_F(PluginLinkPassesTest, ANewPassIsARoundOfItsOwnAndTheLastIsPostedBeforeTheLinkWaits) {
  StartRecordingWay();
  {
    WayTableGuard hold;
    SendDataSet(1);
    ASSERT_TRUE(WaitFor(kWaitMs, &DataSet1Taken));
    SendBehindDataSet1({3, 4, 1, 3, 4});
  }
  ASSERT_TRUE(WaitFor(kWaitMs, [this] { return recordingWay_->Posts().size() >= 2; }));
  // The second position is within the rate limit of the first.
  EXPECT_EQ(PostsWhenSettled(),
            (std::vector<std::vector<std::uint16_t>>{kOnePass, {kStateRecordType, kShortStateRecordType}}));
}

Bytes PilotFrame(std::span<const std::uint8_t> record) {
  return Concat(Header(NCSMSG_PILOT, NCSUB_FSX_PACKET, 0, static_cast<std::uint32_t>(record.size())),
                Bytes(record.begin(), record.end()));
}

TEST_F(PluginLinkPassesTest, TheRefreshRecordsOfOneReceiveOfAPilotWayReachTheLinkInOnePost) {
  PeerTrafficHooks hooks;
  hooks.fsxPacket = &ProcessFsxPacket;
  SetPeerTrafficHooks(std::move(hooks));
  sessionWay_ = std::make_unique<SessionWay>(kWay, "[PASS WAY]");
  ASSERT_TRUE(sessionWay_->Start());
  ASSERT_EQ(CreateListeningSocket(0), 0);
  listener_ = std::make_unique<Listener>();
  ASSERT_EQ(listener_->StartThread(1, 64 * 1024), 1);
  AddTrustedAddressText("127.0.0.1");
  PilotPeerScript script;
  script.callsign = "DEMO02";
  PilotPeer peer(script);
  ASSERT_TRUE(peer.Connect(ListeningPort()));
  ASSERT_TRUE(WaitFor(kWaitMs, [this] { return sessionWay_->IsConnected(); }));
  // As if he had logged in: his first pilot frame makes the way a pilot way;
  // his aircraft is in the simulator.
  sessionWay_->SetLoggedInBits(kWayLoggedIn);
  ASSERT_TRUE(peer.SendHeartbeat());
  ASSERT_TRUE(WaitFor(kWaitMs, [this] { return sessionWay_->PeerKind() == 'P'; }));
  {
    WayTableGuard guard;
    WayRecord& record = WayTable()[kWay];
    record.simulatorCode = 9000;
    record.aiObjectId = kAiObject;
  }
  ASSERT_TRUE(sessionWay_->IsConnected());
  ASSERT_NE(sessionWay_->LoggedInBits() & kWayLoggedIn, 0u);

  // Three records in one send: the way reads them in one receive.
  OwnPositionValues position;
  position.latitude = 45.5;
  position.longitude = 7.25;
  position.altitudeFeet = 3000.0;
  const Bytes flags{0x50, 0x22, 1, 0, 0, 0};
  const Bytes three = Concat(Concat(PilotFrame(BuildPositionRecord(position, RecordStamp{1, 0})),
                                    PilotFrame(BuildStateRecord(OwnStateValues{}, 2))),
                             PilotFrame(flags));
  const unsigned writesBefore = link_->writes.load();
  ASSERT_TRUE(peer.SendRaw(three));
  const bool got = plugin_.WaitForRecord(plugin_link::XTK_CMD_PEER_FLAGS, 1, 2000);
  ASSERT_TRUE(got);
  EXPECT_EQ(plugin_.RecordCount(plugin_link::XTK_CMD_PEER_POSITION), 1u);
  EXPECT_EQ(plugin_.RecordCount(plugin_link::XTK_CMD_PEER_FULL_STATE), 1u);
  EXPECT_EQ(link_->writes.load(), writesBefore + 1);
  peer.Close();
}

struct RecordCase {
  const char* label;
  bool newerFamily;
  Bytes record;
  std::uint8_t refresh;  // the record it sends to the plug-in
};

// A received record takes the way-table lock once: its count, its fields and
// the refresh gate in one hold, the refresh posted after it.
TEST_F(PluginLinkPassesTest, EachRecordOfAPeerTakesTheWayTableLockOnce) {
  RecordingWay way(kWay);
  {
    WayTableGuard guard;
    WayRecord& record = WayTable()[kWay];
    record.stateFlags |= kWayAllocated;
    record.peerKind = 'P';
    record.simulatorCode = 9000;
    record.aiObjectId = kAiObject;
    record.way = &way;
  }
  way.SetPeerKind('P');
  way.SetLoggedInBits(kWayLoggedIn);
  OwnPositionValues position;
  position.latitude = 45.5;
  position.longitude = 7.25;
  position.altitudeFeet = 3000.0;
  const PositionRecord newer = BuildPositionRecord(position, RecordStamp{1, 0});
  const OlderPositionRecord older = BuildOlderPositionRecord(position, RecordStamp{1, 0});
  const StateRecord state = BuildStateRecord(OwnStateValues{}, 2);
  const OlderStateRecord olderState = BuildOlderStateRecord(OwnStateValues{}, RecordStamp{2, 0});
  const RecordCase cases[] = {
      {"position", true, Bytes(newer.begin(), newer.end()), plugin_link::XTK_CMD_PEER_POSITION},
      {"state", true, Bytes(state.begin(), state.end()), plugin_link::XTK_CMD_PEER_FULL_STATE},
      {"flags", true, Bytes{0x50, 0x22, 1, 0, 0, 0}, plugin_link::XTK_CMD_PEER_FLAGS},
      {"older position", false, Bytes(older.begin(), older.end()), plugin_link::XTK_CMD_PEER_POSITION},
      {"older state", false, Bytes(olderState.begin(), olderState.end()), plugin_link::XTK_CMD_PEER_FULL_STATE},
  };
  for (const RecordCase& c : cases) {
    {
      WayTableGuard guard;
      WayTable()[kWay].lastSequence = 0;
    }
    const std::size_t sent = plugin_.RecordCount(c.refresh);
    const std::uint64_t before = WayTableLockType::EntriesOnThisThread();
    if (c.newerFamily) {
      ProcessFsxPacket(way, c.record);
    } else {
      ProcessFsPacket(way, c.record);
    }
    EXPECT_EQ(WayTableLockType::EntriesOnThisThread() - before, 1u) << c.label;
    EXPECT_TRUE(plugin_.WaitForRecord(c.refresh, sent + 1, kWaitMs)) << c.label;
  }
  {
    WayTableGuard guard;
    WayTable()[kWay].way = nullptr;
  }
}

}  // namespace
