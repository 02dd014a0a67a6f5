#include "addon_way_fixture.h"

#include <algorithm>

#include "core/main_dialog_state.h"
#include "net/way_table_lock.h"

namespace {
constexpr int kWays = 5;
}

AddonTestWay::AddonTestWay(std::int32_t wayId) : COrvSok(nullptr, wayId, "[ADDON WAY]", 1) {
  if (WayRecord* record = PeerWayRecord(wayId)) {
    WayTableGuard guard;
    record->way = this;
  }
}

AddonTestWay::~AddonTestWay() {
  if (Started()) {
    RequestStop(ExitCode());
    WaitForEnd(10'000);
  }
}

bool AddonTestWay::Start() {
  if (InitBuffers(nullptr, SOCK_MODE_TCP, kWayRxRingSize, kWayTxRingSize, kWaySoRcvBuf, kWaySoSndBuf) != 0) {
    return false;
  }
  return StartThread(1, 256 * 1024) == 1;
}

DWORD AddonTestWay::ProcessMessage(const DMessage& message) {
  if (message.id != kRunCall) return COrvSok::ProcessMessage(message);
  calls_.RunNext();
  return 1;
}

void AddonTestWay::AddonText(const char* text) {
  std::lock_guard lock(mutex_);
  lines_.emplace_back(text);
}

std::vector<std::string> AddonTestWay::Lines() {
  std::lock_guard lock(mutex_);
  return lines_;
}

bool AddonTestWay::Printed(const std::string& line) {
  std::lock_guard lock(mutex_);
  return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
}

std::int32_t AddonTestWay::Send(const void* data, std::uint32_t length, bool buffered, const char* callerTag) {
  {
    std::lock_guard lock(mutex_);
    sendSizes_.push_back(length);
  }
  return COrvSok::Send(data, length, buffered, callerTag);
}

std::vector<std::uint32_t> AddonTestWay::SendSizes() {
  std::lock_guard lock(mutex_);
  return sendSizes_;
}

void AddonWayTest::SetUp() {
  WayTest::SetUp();
  g_networkState = 2;
  for (int id = 0; id < kWays; ++id) {
    ways_.push_back(std::make_unique<AddonTestWay>(id));
    ASSERT_TRUE(ways_.back()->Start());
  }
  ASSERT_EQ(CreateListeningSocket(0), 0);
  listener_ = std::make_unique<Listener>();
  ASSERT_EQ(listener_->StartThread(1, 64 * 1024), 1);
}

void AddonWayTest::TearDown() {
  CloseListeningSocket();
  listener_.reset();
  ways_.clear();
  g_networkState = 0;
  WayTest::TearDown();
}

void AddonWayTest::Call(AddonStandin& addon) {
  ASSERT_TRUE(addon.Connect(ListeningPort()));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return Way(0).IsConnected(); }));
}

void AddonWayTest::CallAndLogIn(AddonStandin& addon) {
  ASSERT_NO_FATAL_FAILURE(Call(addon));
  ASSERT_TRUE(addon.LogIn(kWaitMs));
}

bool AddonWayTest::WaitFree(int wayId) {
  return TestWay::WaitFor(kWaitMs, [&] { return (RecordOf(wayId).stateFlags & kWayAllocated) == 0; });
}

WayRecord AddonWayTest::RecordOf(int wayId) {
  WayTableGuard guard;
  return *PeerWayRecord(wayId);
}

void AddonWayTest::PutPilot(int wayId, const std::string& callsign, std::uint32_t stateFlags) {
  {
    WayTableGuard guard;
    WayRecord& record = *PeerWayRecord(wayId);
    record.stateFlags = kWayAllocated | stateFlags;
    record.peerKind = 'P';
    CopyToField(record.callsign, callsign);
  }
  Way(wayId).SetLoggedInBits(kWayLoggedIn);
}
