#include "test_way.h"

#include <algorithm>

#include "core/main_dialog_state.h"
#include "base/klib_locks.h"
#include "base/lz77.h"
#include "base/main_thread.h"
#include "base/trusted_addresses.h"
#include "support/klib_fixture.h"
#include "win/clock.h"
#include "win/msgbox.h"

namespace {
std::mutex g_pauseMutex;
std::vector<DWORD> g_pauses;

void RecordPause(DWORD milliseconds) {
  std::lock_guard lock(g_pauseMutex);
  g_pauses.push_back(milliseconds);
}
}  // namespace

std::vector<DWORD> RecordedPauses() {
  std::lock_guard lock(g_pauseMutex);
  return g_pauses;
}

void WayTest::SetUp() {
  ResetKlibForTest();
  for (int id = 0; id < static_cast<int>(KlibLockId::Count); ++id) GetKlibLock(static_cast<KlibLockId>(id)).Create();
  AllocTrustedAddresses(Klib().trustedListSize);
  AllocLzBuffers(4096);
  SetTraceConsole(false);
  SetMessageBoxEcho(false);
  ClearShownMessageBoxes();
  if (!WayTableLock().Initialised()) WayTableLock().Init();
  {
    WayTableGuard guard;
    WayTable() = WayTableArray{};
  }
  {
    std::lock_guard lock(g_pauseMutex);
    g_pauses.clear();
  }
  COrvSok::SetPauseFunction(&RecordPause);
}

void WayTest::TearDown() {
  COrvSok::SetPauseFunction(nullptr);
  SetTraceConsole(false);
  FreeLzBuffers();
  FreeTrustedAddresses();
  ResetKlibForTest();
}

TestWay::TestWay(std::int32_t wayId, const char* name) : COrvSok(nullptr, wayId, name, 1) {
  if (WayRecord* record = PeerWayRecord(wayId)) {
    WayTableGuard guard;
    record->way = this;
  }
}

TestWay::~TestWay() {
  Stop();
  // No other way's thread reaches this one through the table from here on.
  if (WayRecord* record = PeerWayRecord(WayId())) {
    WayTableGuard guard;
    if (record->way == this) record->way = nullptr;
  }
}

bool TestWay::Start(DWORD queueSize) {
  if (InitBuffers(nullptr, SOCK_MODE_TCP, kWayRxRingSize, kWayTxRingSize, kWaySoRcvBuf, kWaySoSndBuf) != 0) {
    return false;
  }
  return StartThread(1, queueSize) == 1;
}

void TestWay::Stop() {
  if (!Started()) return;
  RequestStop(ExitCode());
  // The way must not go while its thread runs: a stuck thread fails the test, and is still waited for.
  if (!WaitForEnd(10'000)) {
    ADD_FAILURE() << "the way's thread did not end within 10 s";
    WaitForEnd(0xFFFFFFFF);
  }
}

DWORD TestWay::ProcessMessage(const DMessage& message) {
  if (message.id != kRunCall) return COrvSok::ProcessMessage(message);
  calls_.RunNext();
  return 1;
}

void TestWay::ThreadTaskEachSecond() {
  COrvSok::ThreadTaskEachSecond();
  secondTasks_.fetch_add(1);
}

DWORD TestWay::Record(char handler, const Frame& frame) {
  std::lock_guard lock(mutex_);
  frames_.push_back(Received{handler, frame.header.type, frame.header.subCode,
                             std::string(frame.body.begin(), frame.body.end())});
  return 1;
}

DWORD TestWay::HandleNodeFrame(const Frame& frame) {
  const DWORD recorded = Record('N', frame);
  return serveNodeFrames_ ? COrvSok::HandleNodeFrame(frame) : recorded;
}

DWORD TestWay::HandleNodeOrder(const Frame& frame) {
  if (!takeNodeOrders_) return COrvSok::HandleNodeOrder(frame);
  std::lock_guard lock(mutex_);
  takenNodeOrders_.push_back(frame.header.type);
  return 1;
}

std::vector<std::uint8_t> TestWay::TakenNodeOrders() {
  std::lock_guard lock(mutex_);
  return takenNodeOrders_;
}

void TestWay::NodeTrace(int, unsigned, const char* text) {
  std::lock_guard lock(mutex_);
  nodeLines_.emplace_back(text);
}

void TestWay::NodeProtocolError(const char* line, const FrameHeader& header, const char* tag) {
  {
    std::lock_guard lock(mutex_);
    nodeErrors_.push_back(std::string(line) + " | " + tag);
  }
  COrvSok::NodeProtocolError(line, header, tag);
}

void TestWay::ConnectionLost(const char* reason) {
  {
    std::lock_guard lock(mutex_);
    lossReasons_.emplace_back(reason != nullptr ? reason : "");
  }
  COrvSok::ConnectionLost(reason);
}

std::vector<std::string> TestWay::NodeLines() {
  std::lock_guard lock(mutex_);
  return nodeLines_;
}

bool TestWay::NodeTraced(const std::string& part) {
  for (const std::string& line : NodeLines()) {
    if (line.find(part) != std::string::npos) return true;
  }
  return false;
}

std::vector<std::string> TestWay::NodeErrors() {
  std::lock_guard lock(mutex_);
  return nodeErrors_;
}

std::vector<std::string> TestWay::LossReasons() {
  std::lock_guard lock(mutex_);
  return lossReasons_;
}

std::vector<TestWay::Received> TestWay::Frames() {
  std::lock_guard lock(mutex_);
  return frames_;
}

bool TestWay::WaitForFrames(std::size_t count, int timeoutMs) {
  return WaitFor(timeoutMs, [&] { return Frames().size() >= count; });
}

bool TestWay::WaitFor(int timeoutMs, const std::function<bool()>& predicate) {
  const DWORD start = GetTickCount();
  while (!predicate()) {
    if (GetTickCount() - start >= static_cast<DWORD>(timeoutMs)) return predicate();
    Sleep(5);
  }
  return true;
}

void TestWay::SetNeighbourContext(const COrvSok* node, std::string publicAddress, std::string lanAddress) {
  std::lock_guard lock(mutex_);
  node_ = node;
  publicAddress_ = std::move(publicAddress);
  lanAddress_ = std::move(lanAddress);
}

DWORD TestWay::TakeKindMessage(const DMessage& message) {
  std::lock_guard lock(mutex_);
  seenKindMessages_.push_back(message.id);
  if (message.id != THRDMSG_CONNECT) return 0;
  kindMessages_.push_back(message.id);
  return 1;
}

std::vector<std::uint32_t> TestWay::SeenKindMessages() {
  std::lock_guard lock(mutex_);
  return seenKindMessages_;
}

DWORD TestWay::HandleSimPilotMessage(const DMessage& message) {
  if (!recordSimPilot_) return COrvSok::HandleSimPilotMessage(message);
  std::string payload(std::min(message.word3, PendingPayload()), '\0');
  PopData(payload.data(), static_cast<std::uint32_t>(payload.size()));
  std::lock_guard lock(mutex_);
  simPilotPosts_.push_back(SimPilotPost{message.param, std::move(payload)});
  return 1;
}

std::vector<TestWay::SimPilotPost> TestWay::SimPilotPosts() {
  std::lock_guard lock(mutex_);
  return simPilotPosts_;
}

std::vector<std::uint32_t> TestWay::KindMessages() {
  std::lock_guard lock(mutex_);
  return kindMessages_;
}
