// The AI aircraft of remote pilots: the records byte for byte, and the add,
// refresh and removal over loopback against the plug-in's stand-in, with the
// link lost and found again.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "base/thread_messages.h"
#include "core/main_dialog_state.h"
#include "core/settings.h"
#include "core/text_fields.h"
#include "net/orv_sok.h"
#include "net/pilot_link.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "sim/ai_lock.h"
#include "sim/ai_traffic.h"
#include "sim/ai_traffic_hooks.h"
#include "sim/ai_traffic_records.h"
#include "sim/plugin_link.h"
#include "sim_tables_reset.h"
#include "support/klib_fixture.h"
#include "support/recorded_lines.h"
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

// ---- Field access for the expectations ----
std::uint16_t U16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
std::uint32_t U32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16)) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
float F32(std::span<const std::uint8_t> b, std::size_t at) { return std::bit_cast<float>(U32(b, at)); }
double F64(std::span<const std::uint8_t> b, std::size_t at) {
  return std::bit_cast<double>(static_cast<std::uint64_t>(U32(b, at)) | (static_cast<std::uint64_t>(U32(b, at + 4)) << 32));
}
void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
  b.at(at) = static_cast<std::uint8_t>(v);
  b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}
void PutF32(Bytes& b, std::size_t at, float v) { Put32(b, at, std::bit_cast<std::uint32_t>(v)); }
void PutF64(Bytes& b, std::size_t at, double v) {
  const auto bits = std::bit_cast<std::uint64_t>(v);
  Put32(b, at, static_cast<std::uint32_t>(bits));
  Put32(b, at + 4, static_cast<std::uint32_t>(bits >> 32));
}
std::string TextAt(std::span<const std::uint8_t> b, std::size_t at, std::size_t width) {
  std::string text;
  for (std::size_t i = 0; i < width && b[at + i] != 0; ++i) text.push_back(static_cast<char>(b[at + i]));
  return text;
}

// Attitude word: pitch, bank (10-bit two's complement) and heading, on-ground bit 1.
std::uint32_t Attitude(int pitch, int bank, int heading, bool onGround) {
  return (static_cast<std::uint32_t>(pitch & 0x3FF) << 22) | (static_cast<std::uint32_t>(bank & 0x3FF) << 12) |
         (static_cast<std::uint32_t>(heading & 0x3FF) << 2) | (onGround ? 0x2u : 0u);
}

// The 48-byte position record of the newer families.
Bytes XPlanePosition(double lat, double lon, float altFeet, std::uint32_t attitude) {
  Bytes p(48, 0);
  Put16(p, 0, 0x2000);
  Put16(p, 2, 44);
  Put32(p, 4, 77);      // sequence
  Put32(p, 8, 123456);  // time stamp
  Put16(p, 12, 140);    // knots
  Put16(p, 14, static_cast<std::uint16_t>(-350));
  Put32(p, 20, attitude);
  PutF32(p, 24, altFeet);
  PutF64(p, 32, lat);
  PutF64(p, 40, lon);
  return p;
}

// The older family's 60-byte record: whole parts and fractions of its units, split by modf.
Bytes SimPosition(double lat, double lon, double altFeet, std::uint32_t attitude) {
  Bytes p(60, 0);
  Put16(p, 0, 4109);
  Put32(p, 4, 54);
  Put32(p, 8, 9);
  Put32(p, 12, 4321);
  Put32(p, 28, 120 * 33'715);
  Put32(p, 36, attitude);
  const auto split = [&](double value, std::size_t wholeAt, std::size_t fractionAt) {
    double whole = 0.0;
    const double fraction = std::modf(value, &whole);
    Put32(p, wholeAt, static_cast<std::uint32_t>(static_cast<std::int32_t>(whole)));
    Put16(p, fractionAt, static_cast<std::uint16_t>(static_cast<std::int32_t>(fraction * 65'536.0)));
  };
  split(lat * 111'130.85863021713, 40, 52);
  split(lon * 11'930'462.302561596, 44, 54);
  split(altFeet / 3.2808001041412354, 48, 56);
  return p;
}

TEST(AiTrafficRecords, AddBodyIsLaidOutFieldByField) {
  AddPeerFields f;
  f.positionWord1 = 0x11223344;
  f.positionWord2 = 0x55667788;
  f.simulatorCode = 10000;
  f.aircraftWord = 0xA1B2C3D4;
  f.way = 7;
  f.acfSlot = 3;
  f.callsign = "ABCDEFGHIJKLMNOPQR";  // longer than its field
  f.engineValue = -2;
  f.title = "Heavy Metal\\B738\\B738.acf";
  f.classCode = "L2JLONGER";
  f.icaoType = "B738";
  f.latitude = -0.5;
  f.longitude = 12.25;
  f.altitudeFeet = 3500.0;
  f.pitch = 2.5F;
  f.bank = -10.0F;
  f.heading = 270.0F;
  f.onGroundWord = 1;
  f.groundSpeedKnots = 15;
  const auto body = WriteAddPeerBody(f);
  static_assert(std::tuple_size_v<decltype(body)> == 216);
  EXPECT_EQ(U32(body, 0), 0x11223344u);
  EXPECT_EQ(U32(body, 4), 0x55667788u);
  EXPECT_EQ(U32(body, 8), 10000u);
  EXPECT_EQ(U32(body, 12), 0xA1B2C3D4u);
  EXPECT_EQ(U16(body, 16), 7);
  EXPECT_EQ(U16(body, 18), 3);
  EXPECT_EQ(U32(body, 20), 0u);
  EXPECT_EQ(TextAt(body, 24, 16), "ABCDEFGHIJKLMNO");  // cut and terminated within the field
  EXPECT_EQ(body[39], 0);
  EXPECT_EQ(static_cast<std::int32_t>(U32(body, 40)), -2);
  EXPECT_EQ(TextAt(body, 44, 112), "Heavy Metal\\B738\\B738.acf");
  EXPECT_EQ(TextAt(body, 156, 8), "L2JLONG");
  EXPECT_EQ(TextAt(body, 164, 12), "B738");
  EXPECT_EQ(F64(body, 176), -0.5);
  EXPECT_EQ(F64(body, 184), 12.25);
  EXPECT_EQ(F64(body, 192), 3500.0);
  EXPECT_EQ(F32(body, 200), -2.5F);  // pitch and bank inverted
  EXPECT_EQ(F32(body, 204), 10.0F);
  EXPECT_EQ(F32(body, 208), 270.0F);
  EXPECT_EQ(U16(body, 212), 1);
  EXPECT_EQ(U16(body, 214), 15);
}

TEST(AiTrafficRecords, PositionRecordsOfBothFamilies) {
  // Newer family: the f32 altitude is read as an f32, the attitude in whole degrees.
  const Bytes xp = XPlanePosition(-0.5, 151.25, 1234.5F, Attitude(-5, 20, 359, true));
  const auto a = WriteXPlanePeerPosition(6, xp, false);
  ASSERT_TRUE(a);
  EXPECT_EQ(U32(*a, 0), 77u);
  EXPECT_EQ(U32(*a, 4), 123456u);
  EXPECT_EQ(U32(*a, 8), 6u);
  EXPECT_EQ(U32(*a, 12), 0u);
  EXPECT_EQ(F64(*a, 16), -0.5);
  EXPECT_EQ(F64(*a, 24), 151.25);
  EXPECT_EQ(F64(*a, 32), 1234.5);
  EXPECT_EQ(F32(*a, 40), 5.0F);
  EXPECT_EQ(F32(*a, 44), -20.0F);
  EXPECT_EQ(F32(*a, 48), 359.0F);
  EXPECT_EQ(U16(*a, 52), 1);
  EXPECT_EQ(U16(*a, 54), 140);
  EXPECT_EQ(F32(*a, 56), -350.0F);
  EXPECT_EQ(U32(*a, 60), 0u);
  // The offsets dialog marks the record and hides the ground contact.
  const auto shown = WriteXPlanePeerPosition(6, xp, true);
  ASSERT_TRUE(shown);
  EXPECT_EQ(U32(*shown, 12), 1u);
  EXPECT_EQ(U16(*shown, 52), 0);
  EXPECT_EQ(U16(*shown, 54), 1);

  // Older family: fixed-point units with signed fractions, so -0.5 stays -0.5.
  const Bytes fs = SimPosition(-0.5, -71.125, 2500.0, Attitude(-64, 128, 512, false));
  const auto b = WriteSimPeerPosition(8, fs, false);
  ASSERT_TRUE(b);
  EXPECT_EQ(U32(*b, 0), 9u);
  EXPECT_EQ(U32(*b, 4), 4321u);
  EXPECT_EQ(U32(*b, 8), 8u);
  EXPECT_NEAR(F64(*b, 16), -0.5, 1e-9);
  EXPECT_NEAR(F64(*b, 24), -71.125, 1e-9);
  EXPECT_NEAR(F64(*b, 32), 2500.0, 1e-3);
  EXPECT_EQ(F32(*b, 40), 22.5F);   // -(-64) x 90 / 256
  EXPECT_EQ(F32(*b, 44), -45.0F);  // -(128 x 180 / 512)
  EXPECT_EQ(F32(*b, 48), 180.0F);
  EXPECT_EQ(U16(*b, 52), 0);
  EXPECT_EQ(U16(*b, 54), 120);
  EXPECT_EQ(U16(*WriteSimPeerPosition(8, fs, true), 54), 1);
}

TEST(AiTrafficRecords, OlderFamilyFractionsAreReadAsThePilotWayReadsThem) {
  // Whole part and 16-bit fraction, and the value they stand for: unsigned
  // after a whole part of 0 or more, the 16 bits of a negative fraction after
  // a negative one.
  struct Case {
    std::int32_t whole;
    std::uint16_t fraction;
    double units;
  };
  const Case cases[] = {
      {5'000'888, 0xA36B, 5'000'888.0 + 41'835.0 / 65'536.0},
      {10, 0xC000, 10.75},
      {-10, 0xC000, -10.25},
      {-10, 0x4000, -10.75},
      {-3, 0, -3.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.units);
    Bytes packet = SimPosition(0.0, 0.0, 0.0, 0);
    for (std::size_t field = 0; field < 3; ++field) {
      Put32(packet, 40 + 4 * field, static_cast<std::uint32_t>(c.whole));
      Put16(packet, 52 + 2 * field, c.fraction);
    }
    const auto body = WriteSimPeerPosition(1, packet, false);
    ASSERT_TRUE(body);
    EXPECT_DOUBLE_EQ(F64(*body, 16), c.units / 111'130.85863021713);
    EXPECT_DOUBLE_EQ(F64(*body, 24), c.units / 11'930'462.302561596);
    EXPECT_DOUBLE_EQ(F64(*body, 32), c.units / 0.30480369673313074);
  }
}

TEST(AiTrafficRecords, StateRecords) {
  Bytes xs(24, 0);
  for (std::size_t i = 0; i < 7; ++i) xs[8 + i] = static_cast<std::uint8_t>(-static_cast<int>(i) - 1);
  xs[15] = 0b1010;
  for (std::size_t i = 0; i < 4; ++i) xs[16 + i] = static_cast<std::uint8_t>(10 * (i + 1));
  Put16(xs, 22, 16383);
  const auto full = WriteXPlanePeerFullState(2, xs);
  ASSERT_TRUE(full);
  EXPECT_EQ(U32(*full, 0), 2u);
  for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(F32(*full, 8 + 4 * i), -static_cast<float>(i + 1));
  EXPECT_NEAR(F32(*full, 36), 1000.0F, 1e-3);
  EXPECT_EQ((std::vector<std::uint32_t>{U32(*full, 44), U32(*full, 48), U32(*full, 52), U32(*full, 56)}),
            (std::vector<std::uint32_t>{0, 1, 0, 1}));
  EXPECT_EQ(F32(*full, 72), 40.0F);

  Bytes s(8, 0);
  Put16(s, 4, 0x1234);
  s[5] = static_cast<std::uint8_t>(-3);
  s[6] = 200;
  s[7] = 7;
  EXPECT_EQ(F32(*WritePeerFlags(1, s), 8), static_cast<float>(U16(s, 4)));
  EXPECT_EQ(F32(*WritePeerAero(1, s), 8), -3.0F);
  EXPECT_EQ(F32(*WritePeerAero(1, s), 12), -56.0F);  // a signed byte
  EXPECT_NEAR(F32(*WritePeerState(1, s), 8), U16(s, 4) / 16.383F, 1e-3);
  Bytes e(9, 0);
  e[4] = 0b0101;
  e[8] = static_cast<std::uint8_t>(-1);
  const auto engines = WritePeerEngines(1, e);
  EXPECT_EQ(U32(*engines, 8), 1u);
  EXPECT_EQ(U32(*engines, 12), 0u);
  EXPECT_EQ(U32(*engines, 16), 1u);
  EXPECT_EQ(F32(*engines, 36), -1.0F);
  EXPECT_EQ(F32(*WritePeerGear(1, s), 12), 253.0F);  // unsigned bytes
  EXPECT_EQ(F32(*WritePeerGear(1, s), 16), 200.0F);
  const auto gear2 = WritePeerGear2(1, s);
  EXPECT_EQ(U16(*gear2, 8), U16(s, 4));
  EXPECT_EQ(U16(*gear2, 10), 0);
}

TEST(AiTrafficRecords, OlderFamilyFullStateControlsAndEngine) {
  struct Case {
    const char* name;
    std::int8_t byte17, byte20, byte21;
    std::uint8_t byte18, byte19, byte22, byte28, byte29, byte31;
    SimPeerStateInput input;
    float c1, c2, c3, c4;
    bool flag2;
    std::int32_t engine;
  };
  const Case cases[] = {
      {"plain", 15, 19, 18, 0x20, 0x00, 0, 1, 3, 0x15, {}, 100, 100, -100, 50, true, 4},
      {"clamped", -20, -2, -9, 0xFF, 0xFF, 0, 0, 0, 0x10, {}, -100, -10, 50, 100, false, 0},
      {"robinson rotor", 0, 0, 0, 0, 0, 1, 0, 0, 0x05, {0, "Robinson R22 Beta", 0}, 0, 0, 0, 0, false, 0xFF - 17},
      {"robinson idle", 0, 0, 0, 0, 0, 0, 0, 0, 0x40, {0, "robinson r44", 0}, 0, 0, 0, 0, false, 0},
      {"state byte", 0, 0, 0, 0, 0, 0, 0, 0, 0x40, {3, "Robinson R22", 9}, 0, 0, 0, 0, false, -2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes p(36, 0);
    p[17] = static_cast<std::uint8_t>(c.byte17);
    p[20] = static_cast<std::uint8_t>(c.byte20);
    p[21] = static_cast<std::uint8_t>(c.byte21);
    p[18] = c.byte18;
    p[19] = c.byte19;
    p[22] = c.byte22;
    p[28] = c.byte28;
    p[29] = c.byte29;
    p[31] = c.byte31;
    const auto r = WriteSimPeerFullState(4, p, c.input);
    ASSERT_TRUE(r);
    EXPECT_EQ(U32(r->body, 0), 4u);
    EXPECT_EQ(F32(r->body, 8), c.c1);
    EXPECT_EQ(F32(r->body, 12), c.c2);
    EXPECT_EQ(F32(r->body, 16), c.c3);
    EXPECT_EQ(F32(r->body, 20), c.c4);
    for (std::size_t at : {24u, 28u, 32u}) EXPECT_EQ(F32(r->body, at), static_cast<float>(c.byte29));
    for (std::size_t at : {60u, 64u, 68u, 72u}) EXPECT_EQ(F32(r->body, at), static_cast<float>(c.engine));
    EXPECT_EQ(r->flag2, c.flag2);
    EXPECT_EQ(r->engineValue, c.engine);
  }
}

TEST(AiTrafficRecords, APacketTooShortForItsKindGivesNoRecord) {
  const Bytes none(60, 0);
  const auto shortOf = [&](std::size_t n) { return std::span<const std::uint8_t>(none.data(), n - 1); };
  EXPECT_FALSE(WriteXPlanePeerPosition(0, shortOf(kXPlanePositionPacketBytes), false));
  EXPECT_FALSE(WriteSimPeerPosition(0, shortOf(kSimPositionPacketBytes), false));
  EXPECT_FALSE(WriteXPlanePeerFullState(0, shortOf(kXPlaneStatePacketBytes)));
  EXPECT_FALSE(WriteSimPeerFullState(0, shortOf(kSimStatePacketBytes), {}));
  EXPECT_FALSE(WritePeerFlags(0, shortOf(kFlagsPacketBytes)));
  EXPECT_FALSE(WritePeerAero(0, shortOf(kAeroPacketBytes)));
  EXPECT_FALSE(WritePeerState(0, shortOf(kStatePacketBytes)));
  EXPECT_FALSE(WritePeerEngines(0, shortOf(kEnginesPacketBytes)));
  EXPECT_FALSE(WritePeerGear(0, shortOf(kGearPacketBytes)));
  EXPECT_FALSE(WritePeerGear2(0, shortOf(kGear2PacketBytes)));
  EXPECT_TRUE(WritePeerGear2(0, std::span<const std::uint8_t>(none.data(), kGear2PacketBytes)));
}

// A pilot way for the AI side: linked to its record, its connection state and
// the simulator sub-codes it is sent are the test's.
class AiWay : public COrvSok {
 public:
  explicit AiWay(std::int32_t wayId) : COrvSok(nullptr, wayId, "[AI WAY]", 1) {
    WayTableGuard guard;
    WayTable()[static_cast<std::size_t>(wayId)].way = this;
  }
  ~AiWay() override {
    if (Started()) {
      RequestStop(ExitCode());
      WaitForEnd(10'000);
    }
  }
  bool Start() { return InitBuffers(nullptr, SOCK_MODE_TCP, 4096, 4096, 8192, 8192) == 0 && StartThread(1, 0) == 1; }
  void MarkConnected(bool connected) { SetConnected(connected); }
  std::vector<std::uint32_t> SimPilotCodes() const {
    std::lock_guard lock(mutex_);
    return codes_;
  }
  // Holds the way's thread in a handler until `until` is set; returns once it is held.
  void HoldThread(std::shared_future<void> until) {
    std::promise<void> entered;
    std::future<void> held = entered.get_future();
    {
      std::lock_guard lock(mutex_);
      hold_ = std::move(until);
      entered_ = std::move(entered);
    }
    ASSERT_EQ(Post(nullptr, this, THRDMSG_SIMPILOT, kHoldCode, 0, "HOLD"), 1);
    held.wait();
  }
  // Posts until no message of the way fits in its queue any more.
  void FillQueue() {
    const std::vector<char> filler(512, 'q');
    while (QueueFree() > 512 + 128) {
      ASSERT_EQ(PostData(nullptr, this, THRDMSG_SIMPILOT, kSimPilotNothing31, 512, filler.data(), "FILL"), 1);
    }
    while (QueueFree() >= kDMessageSize + 4) {
      ASSERT_EQ(Post(nullptr, this, THRDMSG_SIMPILOT, kSimPilotNothing31, 0, "FILL"), 1);
    }
  }

 protected:
  // A post to the full queue waits however long it takes: the tests look at what the waiting sender holds.
  FullQueueAnswer WhenQueueFull(std::uint32_t, std::uint32_t, std::span<const std::uint8_t>) const override {
    return FullQueueAnswer::kWait;
  }
  DWORD HandleSimPilotMessage(const DMessage& message) override {
    if (message.param == kHoldCode) {
      std::shared_future<void> until;
      {
        std::lock_guard lock(mutex_);
        until = hold_;
        entered_.set_value();
      }
      until.wait();
      return 1;
    }
    std::lock_guard lock(mutex_);
    codes_.push_back(message.param);
    return 1;
  }

 private:
  static constexpr std::uint32_t kHoldCode = 0xFFFF;
  mutable std::mutex mutex_;
  std::vector<std::uint32_t> codes_;
  std::shared_future<void> hold_;
  std::promise<void> entered_;
};

class AiTrafficTest : public KlibFixture {
 protected:
  static constexpr std::int32_t kWay = 3;

  void SetUp() override {
    KlibFixture::SetUp();
    ResetWayAndAiTables();
    AiTrafficHooks hooks;
    hooks.addPeer = &xXPlaneAddPeer;
    SetAiTrafficHooks(hooks);
    ASSERT_TRUE(plugin_.Ok());
    plugin_.SetGreeting(PluginServer::Greeting::OnHello);
    plugin_.SetStreamInterval(0);
    plugin_.SetAcfTitles({"Own", "Heavy Metal\\B738\\B738.acf"});
    plugin_.SetEventLog(lines_.Sink());
    g_networkSettings.xplaneDllPort = plugin_.Port();
    g_setupSettings.defaultVfrSquawk = 1200;
    way_ = std::make_unique<AiWay>(kWay);
    SeedPilot(kWay, "DEMO02");
  }
  void TearDown() override {
    delete XPlaneLinkObject();
    g_porvDll = nullptr;
    XPlaneLinkUp = false;
    SyncSessionFlagToPlugin();
    way_.reset();
    SetAiTrafficHooks({});
    SetCrossSimOffsetsDialogShown(false);
    g_networkSettings.xplaneDllPort = setting_default::kXplaneDllPortNumber;
    SetMessageBoxEcho(true);
    COrvSok::SetPauseFunction(nullptr);
    KlibFixture::TearDown();
  }
  static void SeedPilot(std::int32_t id, const char* callsign) {
    WayTableGuard guard;
    WayRecord& r = WayTable()[static_cast<std::size_t>(id)];
    r.stateFlags = kWayAllocated;
    r.peerKind = 'P';
    r.simulatorCode = 10000;
    r.aircraftWord = 0x00010203;
    CopyToField(r.callsign, callsign);
    CopyToField(r.current.title, "Heavy Metal\\B738\\B738.acf");
    CopyToField(r.current.icaoType, "B738");
    CopyToField(r.current.classCode, "L2J");
    r.position.latitude = 45.5;
    r.position.longitude = -0.5;
    r.position.altitude = 1500.0;
    r.position.pitch = 3.0F;
    r.position.bank = -4.0F;
    r.position.heading = 90.0F;
    r.position.word1 = 11;
    r.position.word2 = 22;
    r.position.onGroundWord = 1;
    r.position.groundSpeedKnots = 12;
  }
  void Handshake() {
    const std::size_t acks = plugin_.RecordCount(plugin_link::XTK_CMD_DLL_INFOS_ACK);
    const std::size_t links = plugin_.LinksAccepted();
    CreateXPlaneLink();
    ASSERT_NE(XPlaneLinkObject(), nullptr);
    CreateXPlaneLink();
    ASSERT_TRUE(plugin_.WaitForLink(links + 1, kWaitMs));
    ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_DLL_INFOS_ACK, acks + 1, kWaitMs));
    ASSERT_TRUE(WaitFor(kWaitMs, [] { return XPlaneLinkUp.load() && XPlaneLinkObject()->HandshakeComplete(); }));
  }
  // Every record posted to the link so far has reached the stand-in.
  void RoundTrip() {
    const std::size_t before = plugin_.RecordCount(plugin_link::XTK_CMD_TICK);
    ASSERT_EQ(SendToXPlane(nullptr, XTK_CMD_TICK, TickBody(), "TEST"), 1);
    ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_TICK, before + 1, kWaitMs));
  }
  static WayRecord Record(std::int32_t id) {
    WayTableGuard guard;
    return WayTable()[static_cast<std::size_t>(id)];
  }
  // The model-slot request of mode 0, then the add and its callback.
  void AddThroughTheSlotTable(std::int32_t id) {
    CBaseThread::Post(nullptr, XPlaneLinkObject(), THRDMSG_XPL_ACF_TABLE_ADD, static_cast<std::uint32_t>(id), 0,
                      "TEST");
    ASSERT_TRUE(WaitFor(kWaitMs, [&] { return Record(id).aiObjectId == id + 1; }));
  }
  std::vector<PluginServer::Record> RecordsOf(std::uint8_t code) const {
    std::vector<PluginServer::Record> out;
    for (const auto& r : plugin_.Records()) {
      if (r.code == code) out.push_back(r);
    }
    return out;
  }
  bool HasLine(const std::string& prefix) const {
    for (const std::string& line : lines_.Lines()) {
      if (line.rfind(prefix, 0) == 0) return true;
    }
    return false;
  }

  PluginServer plugin_;
  RecordedLines lines_;
  std::unique_ptr<AiWay> way_;
};

TEST_F(AiTrafficTest, AnAddAfterTheSlotTableCreatesTheAircraftAndStoresItsObjectId) {
  Handshake();
  AddThroughTheSlotTable(kWay);
  const WayRecord r = Record(kWay);
  EXPECT_EQ(r.stateFlags & kWayAiAddPending, 0u);
  EXPECT_NE(r.stateFlags & kWayAiFlag2, 0u);  // on the ground
  EXPECT_EQ(r.ai.acfSlot, 1);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(r.positionHistory[i].latitude, 45.5);
  EXPECT_EQ(r.ai.simulatorHeading, 90.0);

  const auto adds = RecordsOf(plugin_link::XTK_CMD_ADD_PEER);
  ASSERT_EQ(adds.size(), 1u);
  AddPeerFields f;
  f.positionWord1 = 11;
  f.positionWord2 = 22;
  f.simulatorCode = 10000;
  f.aircraftWord = 0x00010203;
  f.way = kWay;
  f.acfSlot = 1;
  f.callsign = "DEMO02";
  f.title = "Heavy Metal\\B738\\B738.acf";
  f.classCode = "L2J";
  f.icaoType = "B738";
  f.latitude = 45.5;
  f.longitude = -0.5;
  f.altitudeFeet = 1500.0;
  f.pitch = 3.0F;
  f.bank = -4.0F;
  f.heading = 90.0F;
  f.onGroundWord = 1;
  f.groundSpeedKnots = 12;
  const auto expected = WriteAddPeerBody(f);
  EXPECT_EQ(adds[0].body, Bytes(expected.begin(), expected.end()));

  const auto kept = plugin_.Ai().ByCallsign("DEMO02");
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->model, "Heavy Metal\\B738\\B738.acf");
  EXPECT_EQ(kept->latitude, 45.5);
  EXPECT_TRUE(HasLine("add DEMO02 model Heavy Metal\\B738\\B738.acf at 45.500000 -0.500000 1500"));

  // While an add is on its way, another one sends nothing.
  {
    WayTableGuard guard;
    WayTable()[kWay].stateFlags |= kWayAiAddPending;
  }
  {
    AiGuard ai;
    xXPlaneAddPeer(kWay);
  }
  RoundTrip();
  EXPECT_EQ(RecordsOf(plugin_link::XTK_CMD_ADD_PEER).size(), 1u);
}

TEST_F(AiTrafficTest, AnAddWithoutTheLinkIsPendingAndSeedsTheHistory) {
  {
    AiGuard ai;
    xXPlaneAddPeer(kWay);
    xXPlaneAddPeer(60);  // no such way
  }
  const WayRecord r = Record(kWay);
  EXPECT_NE(r.stateFlags & kWayAiAddPending, 0u);
  EXPECT_EQ(r.positionHistory[2].heading, 90.0F);
  EXPECT_EQ(r.positionHistory[3].heading, 0.0F);
  // Without a callsign nothing is sent nor marked.
  SeedPilot(5, "");
  {
    AiGuard ai;
    xXPlaneAddPeer(5);
  }
  EXPECT_EQ(Record(5).stateFlags & kWayAiAddPending, 0u);
}

TEST_F(AiTrafficTest, ARefusedAddKeepsNoAircraftAndMayBeAskedAgain) {
  Handshake();
  plugin_.Ai().SetRefuseAdds(true);
  const std::int32_t before = Record(kWay).aiObjectId;
  CBaseThread::Post(nullptr, XPlaneLinkObject(), THRDMSG_XPL_ACF_TABLE_ADD, kWay, 0, "TEST");
  ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_ADD_PEER, 1, kWaitMs));
  ASSERT_TRUE(WaitFor(kWaitMs, [] { return (Record(kWay).stateFlags & kWayAiAddPending) == 0; }));
  EXPECT_EQ(Record(kWay).aiObjectId, before);
  EXPECT_TRUE(plugin_.Ai().Aircraft().empty());
  EXPECT_TRUE(HasLine("refuse DEMO02"));
  plugin_.Ai().SetRefuseAdds(false);
  AddThroughTheSlotTable(kWay);
  EXPECT_EQ(plugin_.Ai().Aircraft().size(), 1u);
}

TEST_F(AiTrafficTest, RefreshesMoveTheAircraftOnlyWhileItExistsAndTheWayIsNotOnHold) {
  Handshake();
  AddThroughTheSlotTable(kWay);
  const Bytes move = XPlanePosition(45.75, -0.25, 2000.0F, Attitude(2, -3, 100, false));
  XPlaneRefreshPeerPositionV2(*way_, move);
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return plugin_.Ai().ByCallsign("DEMO02")->moves == 1; }));
  const auto moved = plugin_.Ai().ByCallsign("DEMO02");
  EXPECT_EQ(moved->latitude, 45.75);
  EXPECT_EQ(moved->altitudeFeet, 2000.0);
  EXPECT_EQ(moved->heading, 100.0F);
  EXPECT_TRUE(HasLine("move DEMO02 to 45.750000 -0.250000 2000"));
  const auto sent = RecordsOf(plugin_link::XTK_CMD_PEER_POSITION);
  ASSERT_EQ(sent.size(), 1u);
  const auto expected = *WriteXPlanePeerPosition(kWay, move, false);
  EXPECT_EQ(sent[0].body, Bytes(expected.begin(), expected.end()));

  // Every other kind reaches the aircraft too.
  Bytes state(36, 0);
  state[17] = static_cast<std::uint8_t>(-20);
  XPlaneRefreshSimPeer(*way_, state);
  XPlaneRefreshXPPeer(*way_, Bytes(24, 0));
  XPlaneRefreshPeerFlags(*way_, Bytes(6, 0));
  XPlaneRefreshPeerAero(*way_, Bytes(8, 0));
  XPlaneRefreshPeerState(*way_, Bytes(6, 0));
  XPlaneRefreshPeerEngines(*way_, Bytes(9, 0));
  XPlaneRefreshPeerGear(*way_, Bytes(7, 0));
  XPlaneRefreshPeerGear2(*way_, Bytes(6, 0));
  XPlaneRefreshPeerGear2(*way_, Bytes(5, 0));  // too short
  RoundTrip();
  const auto aircraft = plugin_.Ai().ByCallsign("DEMO02");
  EXPECT_EQ(aircraft->lastState.size(), 7u);
  EXPECT_EQ(RecordsOf(plugin_link::XTK_CMD_PEER_GEAR2).size(), 1u);

  // The older family's record carries -0.5 degrees to the aircraft.
  XPlaneRefreshPeerPosition(*way_, SimPosition(-0.5, 10.0, 800.0, Attitude(0, 0, 0, true)));
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return plugin_.Ai().ByCallsign("DEMO02")->moves == 2; }));
  EXPECT_NEAR(plugin_.Ai().ByCallsign("DEMO02")->latitude, -0.5, 1e-6);

  // Gone, never created, or on hold: nothing goes out.
  const std::size_t before = plugin_.Records().size();
  for (const std::int32_t id : {kWayNoAiObject, 0}) {
    {
      WayTableGuard guard;
      WayTable()[kWay].aiObjectId = id;
    }
    XPlaneRefreshPeerPositionV2(*way_, move);
    XPlaneRefreshPeerGear(*way_, Bytes(7, 0));
  }
  {
    WayTableGuard guard;
    WayTable()[kWay].aiObjectId = kWay + 1;
  }
  way_->SetLoggedInBits(kWayLoggedInPeer);
  XPlaneRefreshPeerPositionV2(*way_, move);
  RoundTrip();
  EXPECT_EQ(plugin_.Records().size(), before + 1);  // the round trip's tick only
}

TEST_F(AiTrafficTest, ARemovalGoesOutOnceAndTheCallbackReachesTheWay) {
  ASSERT_TRUE(way_->Start());
  Handshake();
  AddThroughTheSlotTable(kWay);
  XPlaneRemovePeerLocked(kWay, false, "HASLFT");
  XPlaneRemovePeer(kWay, false, "HASLFT");  // the same pilot again
  ASSERT_TRUE(WaitFor(kWaitMs, [] { return Record(kWay).aiObjectId == kWayNoAiObject; }));
  RoundTrip();
  const auto removes = RecordsOf(plugin_link::XTK_CMD_REMOVE_PEER);
  ASSERT_EQ(removes.size(), 1u);
  EXPECT_EQ(removes[0].body, (Bytes{static_cast<std::uint8_t>(kWay), 0, 0, 0}));
  EXPECT_TRUE(plugin_.Ai().Aircraft().empty());
  EXPECT_TRUE(HasLine("remove DEMO02"));
  ASSERT_TRUE(WaitFor(kWaitMs, [&] {
    const auto codes = way_->SimPilotCodes();
    return std::find(codes.begin(), codes.end(), kSimPilotAiRemoved) != codes.end();
  }));
  EXPECT_NE(Record(kWay).stateFlags & kWayAiRemovalRequested, 0u);  // the way's handler clears it
}

// The way told of the removal is held with a full queue: the post waits, and
// the AI lock stays free for the plug-in link and the other ways meanwhile.
TEST_F(AiTrafficTest, ARemovalWaitingForAFullQueueLeavesTheAiLockFree) {
  ASSERT_TRUE(way_->Start());
  std::promise<void> release;
  way_->HoldThread(release.get_future().share());
  way_->FillQueue();
  auto removal = std::async(std::launch::async, [] { XPlaneRemovePeerLocked(kWay, false, "HASLFT"); });

  // Each reader takes both locks as the plug-in link's add does; one that
  // cannot take them within the bound meets a removal that holds the AI lock.
  bool free = false;
  for (const DWORD start = GetTickCount(); !free && GetTickCount() - start < kWaitMs;) {
    auto reader = std::async(std::launch::async, [] {
      AiGuard ai;
      WayTableGuard guard;
      return (WayTable()[kWay].stateFlags & kWayAiRemovalRequested) != 0;
    });
    if (reader.wait_for(std::chrono::milliseconds(kWaitMs)) != std::future_status::ready) {
      release.set_value();  // the removal, and with it the reader, go on
      removal.get();
      FAIL() << "the removal held the AI lock while waiting for the way's queue";
    }
    free = reader.get();
    if (!free) Sleep(1);
  }
  release.set_value();
  removal.get();
  ASSERT_TRUE(free) << "the removal held the AI lock while waiting for the way's queue";
  ASSERT_TRUE(WaitFor(kWaitMs, [&] {
    const auto codes = way_->SimPilotCodes();
    return std::find(codes.begin(), codes.end(), kSimPilotAiRemoved) != codes.end();
  }));
  EXPECT_EQ(Record(kWay).aiObjectId, kWayNoAiObject);
}

TEST_F(AiTrafficTest, ALostLinkForgetsTheAircraftAndTheNextLinkAddsThemAgain) {
  // Way 3 admitted and connected; way 5 leaving, its removal asked for.
  way_->MarkConnected(true);
  way_->SetLoggedInBits(kWayLoggedIn);
  AiWay leaving(5);
  ASSERT_TRUE(leaving.Start());
  SeedPilot(5, "DEMO05");
  Handshake();
  AddThroughTheSlotTable(kWay);
  {
    WayTableGuard guard;
    WayTable()[5].aiObjectId = 6;
    WayTable()[5].stateFlags |= kWayAiRemovalRequested;
    WayTable()[kWay].stateFlags |= kWayAiAddPending;
  }
  const std::size_t requests = RecordsOf(plugin_link::XTK_CMD_GET_ACF_TABLE).size();
  ASSERT_TRUE(plugin_.DropLink());
  ASSERT_TRUE(WaitFor(kWaitMs, [] { return !XPlaneLinkUp.load(); }));
  ASSERT_TRUE(WaitFor(kWaitMs, [] { return Record(kWay).aiObjectId == kWayNoAiObject; }));
  EXPECT_EQ(Record(kWay).stateFlags & kWayAiAddPending, 0u);
  EXPECT_EQ(Record(5).aiObjectId, kWayNoAiObject);
  ASSERT_TRUE(WaitFor(kWaitMs, [&] {
    const auto codes = leaving.SimPilotCodes();
    return std::find(codes.begin(), codes.end(), kSimPilotAiRemoved) != codes.end();
  }));
  EXPECT_TRUE(HasLine("remove DEMO02 (link ended)"));

  // A removal with the link down is settled at once, and only once.
  AiWay third(7);
  ASSERT_TRUE(third.Start());
  SeedPilot(7, "DEMO07");
  XPlaneRemovePeer(7, false, "HASLFT");
  XPlaneRemovePeer(7, false, "HASLFT");
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return !third.SimPilotCodes().empty(); }));

  Handshake();
  ASSERT_TRUE(WaitFor(kWaitMs, [] { return Record(kWay).aiObjectId == kWay + 1; }));
  const auto tables = RecordsOf(plugin_link::XTK_CMD_GET_ACF_TABLE);
  ASSERT_EQ(tables.size(), requests + 1);  // the admitted way only
  EXPECT_EQ(tables.back().body, (Bytes{0, 0, static_cast<std::uint8_t>(kWay), 0}));
  EXPECT_EQ(Record(kWay).ai.addRequestCounter, 5);
  EXPECT_TRUE(plugin_.Ai().ByCallsign("DEMO02"));
  EXPECT_EQ(third.SimPilotCodes().size(), 1u);
  EXPECT_EQ(RecordsOf(plugin_link::XTK_CMD_REMOVE_PEER).size(), 0u);
}

}  // namespace
