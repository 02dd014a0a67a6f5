// The plug-in link against the plug-in's stand-in over loopback: the
// handshake, the own aircraft from the data sets, the AI records, the model
// scan, and the link's answers to a faulty stream.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/base_socket.h"
#include "base/main_thread.h"
#include "core/main_dialog_state.h"
#include "core/model_scan_state.h"
#include "core/own_aircraft_state.h"
#include "core/settings.h"
#include "core/sim_family.h"
#include "core/text_fields.h"
#include "core/ui_hooks.h"
#include "core/ui_messages.h"
#include "net/peer_ways.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "sim/ai_lock.h"
#include "sim/ai_traffic_hooks.h"
#include "sim/model_scan.h"
#include "sim/own_aircraft_poll.h"
#include "sim/plugin_link.h"
#include "support/klib_fixture.h"
#include "testbed/plugin_server.h"
#include "win/clock.h"
#include "win/msgbox.h"

namespace {

constexpr int kWaitMs = 10'000;

bool WaitFor(int timeoutMs, const std::function<bool()>& done) {
  for (int waited = 0; waited <= timeoutMs; waited += 5) {
    if (done()) return true;
    Sleep(5);
  }
  return done();
}

std::vector<std::uint32_t> g_uiEvents;
std::mutex g_uiEventsLock;
void RecordUiEvent(std::uint32_t code) {
  std::lock_guard lock(g_uiEventsLock);
  g_uiEvents.push_back(code);
}
std::size_t UiEventCount(std::uint32_t code) {
  std::lock_guard lock(g_uiEventsLock);
  return static_cast<std::size_t>(std::count(g_uiEvents.begin(), g_uiEvents.end(), code));
}

std::vector<std::int32_t> g_addedPeers;
std::mutex g_addedLock;
void RecordAddPeer(std::int32_t way) {
  // The add runs with the AI lock held; the way-table lock must be free to take after it.
  WayTableGuard guard;
  std::lock_guard lock(g_addedLock);
  g_addedPeers.push_back(way);
}

class PluginLinkStandInTest : public KlibFixture {
 protected:
  void SetUp() override {
    KlibFixture::SetUp();
    SetMessageBoxEcho(false);
    ClearShownMessageBoxes();
    ResetLocalSimulatorFamily();
    COrvSok::SetPauseFunction([](DWORD) {});
    WayTableLock().Init();
    AiLock().Init();
    for (WayRecord& record : WayTable()) record = WayRecord{};
    g_ownAircraft().Reset();
    g_modelScanFinished = false;
    ResetOwnAircraftPoll();
    {
      std::lock_guard lock(g_uiEventsLock);
      g_uiEvents.clear();
    }
    UiHooks hooks;
    hooks.postUiEvent = &RecordUiEvent;
    SetUiHooks(hooks);
    ASSERT_TRUE(plugin_.Ok());
    plugin_.SetGreeting(PluginServer::Greeting::OnHello);
    plugin_.SetStreamInterval(0);
    g_networkSettings.xplaneDllPort = plugin_.Port();
    g_setupSettings.defaultVfrSquawk = 1200;
  }
  void TearDown() override {
    delete XPlaneLinkObject();
    g_porvDll = nullptr;
    XPlaneLinkUp = false;
    SyncSessionFlagToPlugin();
    SetUiHooks({});
    SetAiTrafficHooks({});
    ResetLocalSimulatorFamily();
    g_modelScanFinished = false;
    g_networkState = 0;
    g_networkSettings.xplaneDllPort = setting_default::kXplaneDllPortNumber;
    SetTraceConsole(false);
    SetMessageBoxEcho(true);
    COrvSok::SetPauseFunction(nullptr);
    KlibFixture::TearDown();
  }
  // A second call finds the link down and connects it at once, without its two seconds.
  void Link() {
    const std::size_t links = plugin_.LinksAccepted();
    CreateXPlaneLink();
    ASSERT_NE(XPlaneLinkObject(), nullptr);
    CreateXPlaneLink();
    ASSERT_TRUE(plugin_.WaitForLink(links + 1, kWaitMs));
    ASSERT_TRUE(WaitFor(kWaitMs, [] { return XPlaneLinkUp.load(); }));
  }
  void Handshake() {
    Link();
    ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_DLL_INFOS_ACK, 1, kWaitMs));
    ASSERT_TRUE(WaitFor(kWaitMs, [] { return XPlaneLinkObject()->HandshakeComplete(); }));
  }
  // Every record the stand-in sent before it has been read: the link takes the
  // records in order, and this one leaves a mark in the state.
  void Sync() {
    static std::uint16_t marker = 7000;
    ++marker;
    SendDataSet2(marker);
    ASSERT_TRUE(WaitForCode(marker));
  }
  // Every command the link was given before it has reached the stand-in.
  void RoundTrip() {
    const std::size_t before = plugin_.RecordCount(plugin_link::XTK_CMD_TICK);
    ASSERT_EQ(SendToXPlane(nullptr, XTK_CMD_TICK, TickBody(), "TEST"), 1);
    ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_TICK, before + 1, kWaitMs));
  }
  // Waits until the link took a second data set whose code is this one.
  bool WaitForCode(std::uint32_t code) {
    return WaitFor(kWaitMs, [&] { return g_ownAircraft().Snapshot().radios.transponderCode == code; });
  }
  void SendDataSet2(std::uint16_t code) {
    plugin_link::FlightSample sample = plugin_link::DemoFlight().start;
    sample.transponderCode = code;
    ASSERT_TRUE(plugin_.SendDataSet(2, plugin_link::WriteDataSet2(sample)));
  }
  // Without a main thread the link writes its trace lines straight to the
  // console on its own thread, so a line is out before the link reads the
  // next record (the main thread's drain would print it at a time of its own).
  std::string StartTrace() {
    tracingMain_ = Klib().mainThread;
    Klib().mainThread = nullptr;
    SetTraceConsole(true);
    testing::internal::CaptureStdout();
    return {};
  }
  std::string StopTrace() {
    const std::string traced = testing::internal::GetCapturedStdout();
    SetTraceConsole(false);
    Klib().mainThread = tracingMain_;
    return traced;
  }
  CMainThread* tracingMain_ = nullptr;

  PluginServer plugin_;
};

TEST_F(PluginLinkStandInTest, HelloGoesOutWhenTheLinkOpensAndTheHandshakeIsAcknowledgedOnce) {
  plugin_link::DllInfos infos;
  infos.simulatorCode = 10250;
  infos.windowHandle = 0x4242;
  infos.aiCount = 8;
  plugin_.SetGreetingInfos(infos);
  Handshake();
  const std::vector<PluginServer::Record> records = plugin_.Records();
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.front().code, plugin_link::XTK_CMD_HELLO);
  EXPECT_EQ(records.front().body, (std::vector<std::uint8_t>{0x01, 0x04, 0x00, 0x0B}));
  EXPECT_EQ(g_xplaneSimulatorCode.load(), 10250u);
  EXPECT_EQ(g_xplaneFamilyCode.load(), 10000u);
  EXPECT_STREQ(SimulatorShortName(g_xplaneFamilyCode.load()), "XP10");
  EXPECT_EQ(g_xplaneMajor.load(), 10u);
  EXPECT_EQ(g_xplaneMinor.load(), 250u);
  EXPECT_EQ(SimMainWindow.load(), 0x4242u);
  // What is local follows X-Plane 10 from here, and the offsets window is told.
  EXPECT_EQ(LocalSimulatorFamily(), 10000);
  EXPECT_TRUE(LocalSimulatorFamilyKnown());
  EXPECT_EQ(UiEventCount(UIMSG_SIMULATOR_IDENTIFIED), 1u);

  // The acknowledgement is the bare 12-byte frame, byte for byte.
  const std::vector<std::uint8_t> raw = plugin_.ReceivedBytes();
  const std::vector<std::uint8_t> ack = {0xA1, 0xB2, 0xC3, 0x17, 'k', 190, 0, 0, 0, 0, 0, 0};
  EXPECT_NE(std::search(raw.begin(), raw.end(), ack.begin(), ack.end()), raw.end());

  // The same record again on the same link is not acknowledged a second time.
  ASSERT_TRUE(plugin_.SendDllInfos(infos));
  Sync();
  RoundTrip();
  EXPECT_EQ(plugin_.RecordCount(plugin_link::XTK_CMD_DLL_INFOS_ACK), 1u);
  EXPECT_TRUE(ShownMessageBoxes().empty());
}

TEST_F(PluginLinkStandInTest, TooFewAiAircraftOrAPluginErrorStopTheHandshake) {
  struct Case {
    std::int32_t error;
    std::uint16_t ai;
    const char* title;
    const char* text;
  };
  const Case cases[] = {
      {0, 7, "Information",
       "To allow Multiplayer mode with xTavelkor you must set the number of aircrafts at least to 8 (actually you "
       "have only 7)"},
      {5, 20, "Error in xTavelkor module (xpl)", "The xpl module has encountered errors. Please fix and try again."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    ClearShownMessageBoxes();
    plugin_link::DllInfos infos;
    infos.errorCode = c.error;
    infos.aiCount = c.ai;
    plugin_.SetGreetingInfos(infos);
    const std::size_t closingBefore = UiEventCount(UIMSG_SIMULATOR_CLOSING);
    if (XPlaneLinkObject() == nullptr) {
      Link();
    } else {
      ASSERT_TRUE(plugin_.SendDllInfos(infos));
    }
    ASSERT_TRUE(WaitFor(kWaitMs, [&] { return UiEventCount(UIMSG_SIMULATOR_CLOSING) == closingBefore + 1; }));
    const auto boxes = ShownMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, c.title);
    EXPECT_EQ(boxes[0].text, c.text);
    RoundTrip();
    EXPECT_EQ(plugin_.RecordCount(plugin_link::XTK_CMD_DLL_INFOS_ACK), 0u);
    EXPECT_FALSE(XPlaneLinkObject()->HandshakeComplete());
  }
}

TEST_F(PluginLinkStandInTest, AnOversizedRecordIsRefusedAndNothingIsSent) {
  Handshake();
  RoundTrip();
  const std::size_t before = plugin_.ReceivedBytes().size();
  StartTrace();
  const std::vector<std::uint8_t> tooLarge(20'473, 0x5A);
  EXPECT_EQ(SendToXPlane(nullptr, XTK_CMD_PEER_POSITION, tooLarge, "TEST"), 0);
  const std::string traced = StopTrace();
  EXPECT_NE(traced.find("System Error SYSERR_3900 : 20481 / 20480"), std::string::npos) << traced;
  // A payload posted past SendToXPlane that is larger than a whole record is dropped, not written.
  std::vector<std::uint8_t> posted(12 + 20'473, 0x5A);
  posted[0] = 0xA1;
  EXPECT_EQ(CBaseThread::PostData(nullptr, XPlaneLinkObject(), THRDMSG_XPL_WRITE, 0,
                                  static_cast<std::uint32_t>(posted.size()), posted.data(), "TEST"),
            1);
  const std::vector<std::uint8_t> largest(20'472, 0x5A);
  EXPECT_EQ(SendToXPlane(nullptr, XTK_CMD_PEER_POSITION, largest, "TEST"), 1);
  ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_PEER_POSITION, 1, kWaitMs));
  RoundTrip();
  // Only the largest frame and the two ticks' frames came after the mark.
  EXPECT_EQ(plugin_.ReceivedBytes().size(), before + 12 + largest.size() + 2 * 14 - 14);
  EXPECT_EQ(plugin_.RecordCount(plugin_link::XTK_CMD_PEER_POSITION), 1u);
}

TEST_F(PluginLinkStandInTest, NoLinkObjectAnswersZero) {
  ASSERT_EQ(XPlaneLinkObject(), nullptr);
  const std::vector<std::uint8_t> body(16, 0x5A);
  EXPECT_EQ(SendToXPlane(nullptr, XTK_CMD_PEER_POSITION, body, "TEST"), 0);
  // Nothing is kept for a link to come: once one is up, the stand-in hears
  // only what was sent on it.
  Handshake();
  RoundTrip();
  EXPECT_EQ(plugin_.RecordCount(plugin_link::XTK_CMD_PEER_POSITION), 0u);
  EXPECT_EQ(SendToXPlane(nullptr, XTK_CMD_PEER_POSITION, body, "TEST"), 1);
  ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_PEER_POSITION, 1, kWaitMs)) << "a frame sent on the link arrives";
}

TEST_F(PluginLinkStandInTest, TheDataSetsFillTheOwnAircraftState) {
  plugin_link::FlightScript flight = plugin_link::DemoFlight();
  plugin_.SetFlight(flight);
  plugin_.SetStreamInterval(20);
  Handshake();
  ASSERT_TRUE(plugin_.WaitForSamples(3, kWaitMs));
  ASSERT_TRUE(WaitFor(kWaitMs, [] { return g_ownAircraft().Snapshot().radios.transponderCode == 4721; }));
  const OwnAircraftSnapshot own = g_ownAircraft().Snapshot();
  EXPECT_NEAR(own.flight.latitude, 49.0097, 1e-9);
  EXPECT_GT(own.flight.longitude, 2.5479) << "the flight moves east";
  EXPECT_DOUBLE_EQ(own.flight.altitudeFeet, 5'500.0);
  EXPECT_NEAR(own.flight.speed1Knots, 120.0, 0.01);
  EXPECT_EQ(own.flight.trueHeadingRounded, 90);
  EXPECT_EQ(own.flight.onGround, 0u);
  EXPECT_EQ(own.radios.transponderMode, 'N');
  EXPECT_STREQ(own.radios.com1.data(), "122.80");
  EXPECT_STREQ(own.radios.com2.data(), "121.50");
  EXPECT_EQ(own.working.com1Selected, 1u);
  EXPECT_EQ(own.controls.switches[0], 1u);
  EXPECT_EQ(own.shortState.moving, 1);
}

TEST_F(PluginLinkStandInTest, TheAircraftLoadedRecordWaitsForTheModelScan) {
  plugin_.SetAircraftTitle("Demo: Saab Viggen");
  Handshake();
  EXPECT_EQ(plugin_.RecordCount(plugin_link::XTK_CMD_MODELS_SCANNED), 0u);
  // Before the scan the record is read and dropped.
  ASSERT_TRUE(plugin_.SendAircraftLoaded("Early title"));
  Sync();
  EXPECT_STREQ(g_ownAircraft().Snapshot().model.title.data(), kOwnDefaultTitle);

  SetModelScanDone(true);
  ASSERT_EQ(SendModelsScannedToPlugin(nullptr), 1);
  ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_MODELS_SCANNED, 1, kWaitMs));
  ASSERT_TRUE(WaitFor(kWaitMs, [] { return g_ownAircraft().Snapshot().model.identityLoaded; }));
  const OwnModel model = g_ownAircraft().Snapshot().model;
  EXPECT_STREQ(model.title.data(), "Demo: Saab Viggen");
  EXPECT_STREQ(model.titleForPeers.data(), "Demo; Saab Viggen");
  EXPECT_STREQ(model.icaoType.data(), "SB37");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(model.identityRecord.data() + 12)), "Demo: Saab Viggen");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(model.identityRecord.data() + 132)), "SB37");

  // An empty title keeps the type and asks the pilot to reload.
  ASSERT_TRUE(plugin_.SendAircraftLoaded(""));
  ASSERT_TRUE(WaitFor(kWaitMs, [] { return !ShownMessageBoxes().empty(); }));
  const OwnModel empty = g_ownAircraft().Snapshot().model;
  EXPECT_STREQ(empty.titleForPeers.data(), "This pilot must reload his airplane");
  EXPECT_STREQ(empty.icaoType.data(), "SB37");
  EXPECT_EQ(ShownMessageBoxes().front().text,
            "Tavelkor could not detect your aircraft. Would you please reload your aircraft in FS ?");
  EXPECT_EQ(plugin_.RecordCount(plugin_link::XTK_CMD_MODELS_SCANNED), 1u) << "told once per link";
}

TEST_F(PluginLinkStandInTest, AScanFinishedBeforeTheLinkIsReportedAfterTheHandshake) {
  g_modelScanFinished = true;
  Handshake();
  ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_MODELS_SCANNED, 1, kWaitMs));
  const std::vector<PluginServer::Record> records = plugin_.Records();
  std::vector<std::uint8_t> order;
  for (const auto& record : records) order.push_back(record.code);
  const auto ack = std::find(order.begin(), order.end(), plugin_link::XTK_CMD_DLL_INFOS_ACK);
  const auto scanned = std::find(order.begin(), order.end(), plugin_link::XTK_CMD_MODELS_SCANNED);
  EXPECT_LT(ack, scanned);
}

// The notice that the models are known goes out once on each link, after its
// handshake, whether the scan or the handshake ends first.
TEST_F(PluginLinkStandInTest, TheModelsScannedNoticeGoesOutOncePerLink) {
  const auto notices = [&] {
    RoundTrip();
    return plugin_.RecordCount(plugin_link::XTK_CMD_MODELS_SCANNED);
  };
  // The scan ends on a link whose handshake is still to come: the handshake tells it.
  plugin_.SetGreeting(PluginServer::Greeting::Never);
  Link();
  SetModelScanDone(true);
  ASSERT_EQ(SendModelsScannedToPlugin(nullptr), 1);
  EXPECT_EQ(notices(), 0u) << "not before the handshake";
  ASSERT_TRUE(plugin_.SendDllInfos(plugin_link::DllInfos{}));
  ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_MODELS_SCANNED, 1, kWaitMs));
  ASSERT_EQ(SendModelsScannedToPlugin(nullptr), 1);  // a second end of a scan is not told again
  EXPECT_EQ(notices(), 1u);
  std::vector<std::uint8_t> order;
  for (const auto& record : plugin_.Records()) order.push_back(record.code);
  EXPECT_LT(std::find(order.begin(), order.end(), plugin_link::XTK_CMD_DLL_INFOS_ACK),
            std::find(order.begin(), order.end(), plugin_link::XTK_CMD_MODELS_SCANNED));

  // A new link is told again, once, though both its handshake and a scan's end come.
  ASSERT_TRUE(plugin_.DropLink());
  ASSERT_TRUE(WaitFor(kWaitMs, [] { return !XPlaneLinkUp.load(); }));
  plugin_.SetGreeting(PluginServer::Greeting::OnHello);
  Handshake();
  ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_MODELS_SCANNED, 2, kWaitMs));
  ASSERT_EQ(SendModelsScannedToPlugin(nullptr), 1);
  EXPECT_EQ(notices(), 2u);
}

TEST_F(PluginLinkStandInTest, AiCallbacksWriteTheWayRecordAndCheckTheWay) {
  Handshake();
  {
    WayTableGuard guard;
    WayTable()[4].stateFlags = kWayAiAddPending;
    WayTable()[9].aiObjectId = 33;
  }
  StartTrace();
  ASSERT_TRUE(plugin_.SendAddPeerCallback(4, 1));
  ASSERT_TRUE(plugin_.SendAddPeerCallback(6, 0, 0x17));  // not created
  ASSERT_TRUE(plugin_.SendRemovePeerCallback(9));        // a remove nobody asked for
  const std::vector<std::pair<std::uint16_t, float>> headings = {{4, 123.5F}};
  ASSERT_TRUE(plugin_.SendRecord(plugin_link::XTK_MSG_HEADING_TO_HIM, plugin_link::WriteHeadingList(headings)));
  Sync();
  const std::string traced = StopTrace();
  WayTableGuard guard;
  EXPECT_EQ(WayTable()[4].aiObjectId, 5);
  EXPECT_EQ(WayTable()[4].stateFlags & kWayAiAddPending, 0u);
  EXPECT_DOUBLE_EQ(WayTable()[4].ai.simulatorHeading, 123.5);
  EXPECT_EQ(WayTable()[6].aiObjectId, 0);
  EXPECT_EQ(WayTable()[9].aiObjectId, kWayNoAiObject);
  EXPECT_NE(traced.find("Internal Warning : ECODE_ADDPEER 0x0 / 0x17, Way 6"), std::string::npos) << traced;
  EXPECT_TRUE(XPlaneLinkObject()->IsConnected());
}

// A way number past the table, in any of the AI records, touches no record and
// leaves the link up; the add and the removal answers say so in the trace.
TEST_F(PluginLinkStandInTest, AiCallbacksOfAWayPastTheTableTouchNoRecord) {
  Handshake();
  // A mark in every record: a way number wrapped or cut into the table would change one.
  const auto markOf = [](std::size_t way) { return static_cast<std::int32_t>(100 + way); };
  {
    WayTableGuard guard;
    for (std::size_t way = 0; way < WayTable().size(); ++way) {
      WayTable()[way].aiObjectId = markOf(way);
      WayTable()[way].stateFlags = kWayAiAddPending;
      WayTable()[way].ai.simulatorHeading = -1.0;
    }
  }
  const std::uint16_t addWays[] = {50, 65535};
  const std::uint32_t removeWays[] = {50, 65535, 0x80000000u, 0xFFFFFFFFu};
  const std::vector<std::pair<std::uint16_t, float>> headings = {{50, 1.0F}, {65535, 2.0F}, {0x8000, 3.0F}};
  Klib().traceMask = 1u << kLinkErrorTraceBit;
  StartTrace();
  for (const std::uint16_t way : addWays) ASSERT_TRUE(plugin_.SendAddPeerCallback(way, 1));
  for (const std::uint32_t way : removeWays) ASSERT_TRUE(plugin_.SendRemovePeerCallback(way));
  ASSERT_TRUE(plugin_.SendRecord(plugin_link::XTK_MSG_HEADING_TO_HIM, plugin_link::WriteHeadingList(headings)));
  Sync();
  const std::string traced = StopTrace();
  Klib().traceMask = 0;
  const auto count = [&](const std::string& line) {
    std::size_t n = 0;
    for (std::size_t at = traced.find(line); at != std::string::npos; at = traced.find(line, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("Error HRFX_12 : way out of range"), std::size(addWays)) << traced;
  EXPECT_EQ(count("Error HRFX_14 : way out of range"), std::size(removeWays)) << traced;
  {
    WayTableGuard guard;
    for (std::size_t way = 0; way < WayTable().size(); ++way) {
      SCOPED_TRACE(way);
      EXPECT_EQ(WayTable()[way].aiObjectId, markOf(way));
      EXPECT_EQ(WayTable()[way].stateFlags, kWayAiAddPending);
      EXPECT_EQ(WayTable()[way].ai.simulatorHeading, -1.0);
    }
  }
  EXPECT_TRUE(XPlaneLinkObject()->IsConnected());
}

TEST_F(PluginLinkStandInTest, TheSlotTableChoosesASlotForTheWaysModel) {
  AiTrafficHooks hooks;
  hooks.addPeer = &RecordAddPeer;
  SetAiTrafficHooks(hooks);
  Handshake();
  plugin_.SetAcfTitles({"Own", "Model A", "Model B", "Model C"});
  {
    WayTableGuard guard;
    CopyToField(WayTable()[2].current.title, "Model B");
    CopyToField(WayTable()[3].current.title, "Model Z");
  }
  // The way's model is in slot 2: chosen, and the peer is added under the AI lock.
  CBaseThread::Post(nullptr, XPlaneLinkObject(), THRDMSG_XPL_ACF_TABLE_ADD, 2, 0, "TEST");
  ASSERT_TRUE(WaitFor(kWaitMs, [] {
    std::lock_guard lock(g_addedLock);
    return !g_addedPeers.empty();
  }));
  {
    WayTableGuard guard;
    EXPECT_EQ(WayTable()[2].ai.acfSlot, 2);
  }
  // A model in no slot takes the first free one, which is given the model; in
  // mode 1 the AI then changes its model.
  CBaseThread::Post(nullptr, XPlaneLinkObject(), THRDMSG_XPL_ACF_TABLE_CHANGE, 3, 0, "TEST");
  ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_CHANGE_AI_MODEL, 1, kWaitMs));
  const std::vector<PluginServer::Record> records = plugin_.Records();
  std::vector<std::uint8_t> setSlot;
  std::vector<std::uint8_t> change;
  std::vector<std::uint8_t> request;
  for (const auto& record : records) {
    if (record.code == plugin_link::XTK_CMD_SET_ACF_SLOT) setSlot = record.body;
    if (record.code == plugin_link::XTK_CMD_CHANGE_AI_MODEL) change = record.body;
    if (record.code == plugin_link::XTK_CMD_GET_ACF_TABLE) request = record.body;
  }
  EXPECT_EQ(request, (std::vector<std::uint8_t>{1, 0, 3, 0}));
  ASSERT_EQ(setSlot.size(), 114u);
  EXPECT_EQ(setSlot[0], 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(setSlot.data() + 2)), "Model Z");
  EXPECT_EQ(change, (std::vector<std::uint8_t>{3, 0, 1, 0}));
  EXPECT_EQ(plugin_.RecordCount(plugin_link::XTK_CMD_SET_ACF_SLOT), 1u);
}

// A pilot way that shows as connected, for the slot search (no thread needed).
class SlotWay : public COrvSok {
 public:
  explicit SlotWay(std::int32_t wayId) : COrvSok(nullptr, wayId, "[SLOT WAY]", 1) {}
  void MarkConnected(bool connected) { SetConnected(connected); }
};

TEST_F(PluginLinkStandInTest, WhenEverySlotShowsAConnectedWaysModelSlotOneIsKept) {
  Handshake();
  plugin_.SetAcfTitles({"Own", "Model A", "Model B", "Model C"});
  SlotWay a(5);
  SlotWay b(6);
  SlotWay c(7);
  SlotWay idle(8);
  a.MarkConnected(true);
  b.MarkConnected(true);
  c.MarkConnected(true);
  {
    WayTableGuard guard;
    const auto take = [](std::int32_t id, COrvSok* way, const char* title) {
      WayTable()[static_cast<std::size_t>(id)].way = way;
      CopyToField(WayTable()[static_cast<std::size_t>(id)].current.title, title);
    };
    take(5, &a, "Model A");
    take(6, &b, "Model B");
    take(7, &c, "Model C");
    take(8, &idle, "Model Z");  // not connected: its model would free no slot anyway
    CopyToField(WayTable()[3].current.title, "Model Q");
    WayTable()[3].ai.acfSlot = 9;
  }
  CBaseThread::Post(nullptr, XPlaneLinkObject(), THRDMSG_XPL_ACF_TABLE_CHANGE, 3, 0, "TEST");
  ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_CHANGE_AI_MODEL, 1, kWaitMs));
  std::vector<std::uint8_t> change;
  for (const auto& record : plugin_.Records()) {
    if (record.code == plugin_link::XTK_CMD_CHANGE_AI_MODEL) change = record.body;
  }
  EXPECT_EQ(change, (std::vector<std::uint8_t>{3, 0, 1, 0}));
  EXPECT_EQ(plugin_.RecordCount(plugin_link::XTK_CMD_SET_ACF_SLOT), 0u);
  {
    WayTableGuard guard;
    EXPECT_EQ(WayTable()[3].ai.acfSlot, 1);
  }

  // A way whose link went down frees its model's slot for the next request.
  c.MarkConnected(false);
  CBaseThread::Post(nullptr, XPlaneLinkObject(), THRDMSG_XPL_ACF_TABLE_CHANGE, 3, 0, "TEST");
  ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_CHANGE_AI_MODEL, 2, kWaitMs));
  std::vector<std::uint8_t> setSlot;
  for (const auto& record : plugin_.Records()) {
    if (record.code == plugin_link::XTK_CMD_SET_ACF_SLOT) setSlot = record.body;
    if (record.code == plugin_link::XTK_CMD_CHANGE_AI_MODEL) change = record.body;
  }
  ASSERT_EQ(setSlot.size(), 114u);
  EXPECT_EQ(setSlot[0], 3);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(setSlot.data() + 2)), "Model Q");
  EXPECT_EQ(change, (std::vector<std::uint8_t>{3, 0, 3, 0}));
  {
    WayTableGuard guard;
    for (std::size_t id = 5; id <= 8; ++id) WayTable()[id].way = nullptr;
  }
}

TEST_F(PluginLinkStandInTest, CommandsAreFramedByteForByte) {
  Handshake();
  RoundTrip();
  const std::size_t before = plugin_.ReceivedBytes().size();
  XPlaneLinkUp = true;
  SetSimSquawk(0x14721);  // the low 16 bits
  CBaseThread::Post(nullptr, XPlaneLinkObject(), THRDMSG_XPL_STEP, static_cast<std::uint32_t>(-50), 0, "TEST");
  RequestSimDateTimeSync();
  RoundTrip();
  const std::vector<std::uint8_t> raw = plugin_.ReceivedBytes();
  const std::vector<std::uint8_t> got(raw.begin() + static_cast<std::ptrdiff_t>(before), raw.end());
  const std::vector<std::uint8_t> expected = {
      0xA1, 0xB2, 0xC3, 0x17, 'k', 122, 0, 0, 2, 0, 0, 0, 0x21, 0x47,                  // SET_SQUAWK
      0xA1, 0xB2, 0xC3, 0x17, 'k', 124, 0, 0, 4, 0, 0, 0, 0xCE, 0xFF, 0xFF, 0xFF,      // STEP -50
      0xA1, 0xB2, 0xC3, 0x17, 'k', 120, 0, 0, 0, 0, 0, 0,                              // SYNC_DATE_TIME
      0xA1, 0xB2, 0xC3, 0x17, 'k', 12, 0, 0, 2, 0, 0, 0, 1, 0};                        // TICK
  EXPECT_EQ(got, expected);
}

// A connect order that finds the link up (the link's own, or a status click
// just before it) leaves the link and its handshake as they are.
TEST_F(PluginLinkStandInTest, AConnectWhileLinkedKeepsTheLink) {
  Handshake();
  StartTrace();
  CBaseThread::Post(nullptr, XPlaneLinkObject(), THRDMSG_CONNECT, 0, 0, "TEST");
  CreateXPlaneLink();  // a connected link is left alone
  RoundTrip();
  const std::string traced = StopTrace();
  EXPECT_TRUE(XPlaneLinkObject()->IsConnected());
  EXPECT_TRUE(XPlaneLinkObject()->HandshakeComplete());
  EXPECT_EQ(plugin_.LinksAccepted(), 1u);
  EXPECT_EQ(plugin_.RecordCount(plugin_link::XTK_CMD_HELLO), 1u);
  EXPECT_EQ(traced.find("Failed ("), std::string::npos) << traced;
}

// Faults the link survives: the records around them are taken, the stream stays in step.
TEST_F(PluginLinkStandInTest, AFaultyStreamStaysInStep) {
  Handshake();
  struct Case {
    PluginServer::Fault fault;
    std::uint32_t taken;  // the code the link then holds
  };
  for (const Case c : {Case{PluginServer::Fault::GarbageBeforeFrame, PluginServer::kGarbageCode},
                       Case{PluginServer::Fault::SplitSyncWord, PluginServer::kSplitCode},
                       Case{PluginServer::Fault::SurplusRecord, PluginServer::kSurplusCode}}) {
    ASSERT_TRUE(plugin_.InjectFault(c.fault));
    EXPECT_TRUE(WaitForCode(c.taken)) << c.taken;
  }
  // A short record is dropped; the next one is read.
  ASSERT_TRUE(plugin_.InjectFault(PluginServer::Fault::ShortRecord));
  SendDataSet2(4444);
  ASSERT_TRUE(WaitForCode(4444));
  // An unknown XTK code is ignored.
  ASSERT_TRUE(plugin_.InjectFault(PluginServer::Fault::UnknownCode));
  SendDataSet2(4445);
  ASSERT_TRUE(WaitForCode(4445));
  // A trace text is data, printed as it stands.
  StartTrace();
  ASSERT_TRUE(plugin_.SendTraceText("plug-in says %s %n %d"));
  const std::array<std::uint8_t, 6> shortText{9, 0, 'a', 'b', 'c', 'd'};  // announces more than it holds
  ASSERT_TRUE(plugin_.SendTraceRecord(1, shortText));
  Sync();
  const std::string traced = StopTrace();
  EXPECT_NE(traced.find("plug-in says %s %n %d"), std::string::npos) << traced;
  EXPECT_EQ(traced.find("abcd"), std::string::npos) << traced;
  EXPECT_TRUE(XPlaneLinkObject()->IsConnected());
  EXPECT_EQ(plugin_.LinksAccepted(), 1u);
}

// A record shorter than its layout is dropped with its read tag in the
// link-error trace; the link reads on.
TEST_F(PluginLinkStandInTest, AShortRecordIsTracedWithItsTag) {
  Handshake();
  Klib().traceMask = 1u << kLinkErrorTraceBit;
  struct Case {
    std::uint8_t code;
    const char* tag;
  };
  const Case cases[] = {{XTK_MSG_DLL_INFOS, "HRFX_10"},          {XTK_MSG_ADDPEER_CALLBACK, "HRFX_12"},
                        {XTK_MSG_REMOVEPEER_CALLBACK, "HRFX_14"}, {XTK_MSG_ACF_TABLE, "HRFX_16"},
                        {XTK_MSG_PLANE_DATASET1, "HRFX_22"},     {XTK_MSG_PLANE_DATASET2, "HRFX_24"},
                        {XTK_MSG_PLANE_DATASET3, "HRFX_26"},     {XTK_MSG_PLANE_DATASET4, "HRFX_27b"}};
  const std::array<std::uint8_t, 3> shortBody{1, 2, 3};
  for (const Case& c : cases) {
    StartTrace();
    ASSERT_TRUE(plugin_.SendRecord(c.code, shortBody));
    Sync();
    const std::string traced = StopTrace();
    EXPECT_NE(traced.find(std::string("Error ") + c.tag + " : record " + std::to_string(c.code) + " of 3 bytes"),
              std::string::npos)
        << traced;
  }
  Klib().traceMask = 0;
  EXPECT_EQ(plugin_.LinksAccepted(), 1u);
}

// A header whose body never comes: once the read limit has passed on the
// link's clock, the frame is dropped and the reader finds the next frame;
// the link stays up, so the session and the AI aircraft do too.
TEST_F(PluginLinkStandInTest, ABodyThatNeverComesDropsItsFrameAndTheLinkStays) {
  Handshake();
  CXPlaneLink* link = XPlaneLinkObject();
  ASSERT_TRUE(plugin_.InjectFault(PluginServer::Fault::TruncatedBody));
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return link->BodyAwaited(); }));
  AdvanceTickCountForTest(kReadBytesLimitMs / 2);
  RoundTrip();  // wakes the link, which finds the body still in time
  EXPECT_TRUE(link->BodyAwaited());
  EXPECT_EQ(link->LateBodies(), 0u);
  AdvanceTickCountForTest(kReadBytesLimitMs / 2);
  RoundTrip();
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return link->LateBodies() == 1u && !link->BodyAwaited(); }));
  SendDataSet2(4446);
  EXPECT_TRUE(WaitForCode(4446)) << "the next frame is read";

  // The bytes taken for a body that never completed are hunted again: a
  // whole record among them is read.
  ASSERT_TRUE(plugin_.InjectFault(PluginServer::Fault::OverlongHeader));
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return link->BodyAwaited(); }));
  AdvanceTickCountForTest(kReadBytesLimitMs);
  RoundTrip();
  EXPECT_TRUE(WaitForCode(PluginServer::kInsideCode));
  EXPECT_EQ(link->LateBodies(), 2u);
  SendDataSet2(4447);
  EXPECT_TRUE(WaitForCode(4447));
  EXPECT_TRUE(XPlaneLinkUp.load());
  EXPECT_TRUE(link->IsConnected());
  EXPECT_EQ(plugin_.LinksAccepted(), 1u);
  EXPECT_TRUE(plugin_.Linked());
}

// Faults that end the link; it is made again by the status click's path.
TEST_F(PluginLinkStandInTest, ACorruptStreamDropsTheLinkAndItCanBeMadeAgain) {
  Klib().traceMask = 1u << kLinkErrorTraceBit;  // an unknown frame type is corruption only with the category on
  struct Case {
    PluginServer::Fault fault;
    const char* traced;
  };
  for (const Case c : {Case{PluginServer::Fault::LongTrace, "SYSERR_4220 : NCSUB_SETATTRIB / Len 20480"},
                       Case{PluginServer::Fault::UnknownType, "Rx NCSMSG_XPL_XXX = 85 / 1"},
                       Case{PluginServer::Fault::OversizedBody, "SYSERR_3102"}}) {
    SCOPED_TRACE(static_cast<int>(c.fault));
    const std::size_t links = plugin_.LinksAccepted();
    Handshake();
    StartTrace();
    ASSERT_TRUE(plugin_.InjectFault(c.fault));
    const bool lost = WaitFor(kWaitMs, [] { return !XPlaneLinkUp.load(); });
    const std::string traced = StopTrace();
    ASSERT_TRUE(lost);
    EXPECT_NE(traced.find(c.traced), std::string::npos) << traced;
    ASSERT_TRUE(plugin_.WaitForLinkEnd(kWaitMs));
    EXPECT_EQ(plugin_.LinksAccepted(), links + 1);
  }
  Klib().traceMask = 0;
}

}  // namespace
