#include "pilot_way_fixture.h"

#include <algorithm>

#include "base/klib_settings.h"
#include "base/trusted_addresses.h"
#include "core/main_dialog_state.h"
#include "net/frame_codes.h"

PilotTestWay::PilotTestWay(std::int32_t wayId) : COrvSok(nullptr, wayId, "[PILOT WAY]", 1) {
  if (WayRecord* record = PeerWayRecord(wayId)) {
    WayTableGuard guard;
    record->way = this;
  }
}

PilotTestWay::~PilotTestWay() {
  if (Started()) {
    RequestStop(ExitCode());
    WaitForEnd(10'000);
  }
}

bool PilotTestWay::Start() {
  if (InitBuffers(nullptr, SOCK_MODE_TCP, kWayRxRingSize, kWayTxRingSize, kWaySoRcvBuf, kWaySoSndBuf) != 0) {
    return false;
  }
  return StartThread(1, 256 * 1024) == 1;
}

DWORD PilotTestWay::ProcessMessage(const DMessage& message) {
  if (message.id != kRunCall) return COrvSok::ProcessMessage(message);
  calls_.RunNext();
  return 1;
}

void PilotTestWay::PilotText(int, unsigned flags, const char* text) {
  std::lock_guard lock(mutex_);
  pieces_.emplace_back(text);
  if ((flags & kPilotNewLine) != 0 || lines_.empty()) {
    lines_.emplace_back(text);
  } else {
    lines_.back() += text;
  }
}

std::vector<std::string> PilotTestWay::Pieces() {
  std::lock_guard lock(mutex_);
  return pieces_;
}

std::vector<std::string> PilotTestWay::Lines() {
  std::lock_guard lock(mutex_);
  return lines_;
}

bool PilotTestWay::Printed(const std::string& line) {
  std::lock_guard lock(mutex_);
  return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
}

void PilotWayTest::SetUp() {
  WayTest::SetUp();
  g_networkState = 2;
  std::weak_ptr<HookRecord> weak = hooks_;
  PeerTrafficHooks hooks;
  hooks.addPeerInSim = [weak](COrvSok& way) -> std::int32_t {
    auto record = weak.lock();
    if (!record) return way.WayId();
    record->Note("add " + std::to_string(way.WayId()));
    const std::int32_t result = record->addResult.load();
    return result != 0 ? result : way.WayId();
  };
  hooks.removePeer = [weak](std::int32_t way, const char* tag, bool) {
    if (auto record = weak.lock()) record->Note("remove " + std::to_string(way) + " " + tag);
  };
  hooks.sendMyIdentity = [weak](COrvSok& way, const char* tag) {
    if (auto record = weak.lock()) record->Note("identity " + std::to_string(way.WayId()) + " " + tag);
  };
  hooks.peerVisible = [weak](COrvSok& way) {
    if (auto record = weak.lock()) record->Note("visible " + std::to_string(way.WayId()));
  };
  hooks.peerInvisible = [weak](COrvSok& way) {
    if (auto record = weak.lock()) record->Note("invisible " + std::to_string(way.WayId()));
  };
  const auto packet = [weak](const char* kind) {
    return [weak, kind](COrvSok& way, std::span<const std::uint8_t> bytes) {
      if (auto record = weak.lock()) {
        record->Note(std::string(kind) + " " + std::to_string(way.WayId()));
        std::lock_guard lock(record->mutex);
        record->packetSizes.push_back(bytes.size());
      }
    };
  };
  hooks.fsPacket = packet("fs");
  hooks.fsxPacket = packet("fsx");
  SetPeerTrafficHooks(std::move(hooks));
}

void PilotWayTest::TearDown() {
  CloseListeningSocket();
  listener_.reset();
  ways_.clear();
  SetPeerTrafficHooks({});
  g_networkState = 0;
  WayTest::TearDown();
}

void PilotWayTest::StartWays(int count) {
  for (int id = 0; id < count; ++id) {
    ways_.push_back(std::make_unique<PilotTestWay>(id));
    ASSERT_TRUE(ways_.back()->Start());
  }
  ASSERT_EQ(CreateListeningSocket(0), 0);
  listener_ = std::make_unique<Listener>();
  ASSERT_EQ(listener_->StartThread(1, 64 * 1024), 1);
  AddTrustedAddressText("127.0.0.1");
}

std::unique_ptr<PilotPeer> PilotWayTest::CallAndLogIn(PilotPeerScript script, int wayId) {
  auto peer = std::make_unique<PilotPeer>(std::move(script));
  EXPECT_TRUE(peer->Connect(ListeningPort()));
  EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return Way(wayId).IsConnected(); }));
  EXPECT_TRUE(peer->SendLogin());
  EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return (Bits(wayId) & kWayLoggedInPeer) != 0; }));
  return peer;
}

void PilotWayTest::AiCreated(int wayId) {
  CBaseThread::Post(nullptr, &Way(wayId), THRDMSG_SIMPILOT, kSimPilotAiCreated, 0, "TEST");
  Way(wayId).Drain();
}

std::unique_ptr<PilotPeer> PilotWayTest::Admitted(PilotPeerScript script, int wayId) {
  auto peer = CallAndLogIn(std::move(script), wayId);
  AiCreated(wayId);
  // He answers our acknowledgement by himself: he has added us too.
  EXPECT_TRUE(peer->WaitForCountOf(NCSUB_PEER_ADDED, 1, kWaitMs));
  EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return Way(wayId).RunOnThread([&] { return Way(wayId).PilotLink().peerAdded; }); }));
  return peer;
}

bool PilotWayTest::WaitFree(int wayId) {
  return TestWay::WaitFor(kWaitMs, [&] { return (RecordOf(wayId).stateFlags & kWayAllocated) == 0; });
}

WayRecord PilotWayTest::RecordOf(int wayId) {
  WayTableGuard guard;
  return *PeerWayRecord(wayId);
}

PilotPeerScript PeerNamed(const std::string& callsign) {
  PilotPeerScript script;
  script.callsign = callsign;
  script.answerLogin = false;  // he is the caller: he sends the login
  return script;
}
