#include "node_way_fixture.h"

#include <algorithm>

#include "core/connection_state.h"
#include "core/main_dialog_state.h"
#include "core/own_callsign.h"
#include "core/settings.h"
#include "base/klib_settings.h"
#include "net/long_haul.h"
#include "net/web_task_way.h"
#include "win/sound.h"

// ---- RecordingNodeWay ----

DWORD RecordingNodeWay::HandleNodeMessage(const DMessage& message) {
  if (message.id != kRunCall) return CNodeWay::HandleNodeMessage(message);
  calls_.RunNext();
  return 1;
}

void RecordingNodeWay::Act(std::string action) {
  std::lock_guard lock(mutex_);
  actions_.push_back(std::move(action));
}

std::vector<RecordingNodeWay::Line> RecordingNodeWay::Lines() {
  std::lock_guard lock(mutex_);
  return lines_;
}

bool RecordingNodeWay::Traced(const std::string& part) { return !Find(part).text.empty(); }

RecordingNodeWay::Line RecordingNodeWay::Find(const std::string& part) {
  for (const Line& line : Lines()) {
    if (line.text.find(part) != std::string::npos) return line;
  }
  return {};
}

std::vector<std::string> RecordingNodeWay::Actions() {
  std::lock_guard lock(mutex_);
  return actions_;
}

bool RecordingNodeWay::Did(const std::string& action) {
  const auto actions = Actions();
  return std::find(actions.begin(), actions.end(), action) != actions.end();
}

std::vector<std::uint32_t> RecordingNodeWay::Events() {
  std::lock_guard lock(mutex_);
  return events_;
}

bool RecordingNodeWay::Posted(std::uint32_t code) {
  const auto events = Events();
  return std::find(events.begin(), events.end(), code) != events.end();
}

std::vector<std::string> RecordingNodeWay::ProtocolErrors() {
  std::lock_guard lock(mutex_);
  return protocolErrors_;
}

std::vector<PrivateTextRecord> RecordingNodeWay::LongHaulTexts() {
  std::lock_guard lock(mutex_);
  return longHaul_;
}

std::vector<std::vector<std::uint8_t>> RecordingNodeWay::Voices() {
  std::lock_guard lock(mutex_);
  return voices_;
}

void RecordingNodeWay::ClearRecords() {
  std::lock_guard lock(mutex_);
  lines_.clear();
  actions_.clear();
  events_.clear();
  protocolErrors_.clear();
  longHaul_.clear();
  voices_.clear();
}

void RecordingNodeWay::SetOwnAircraft(const OwnAircraftReport& own) {
  std::lock_guard lock(mutex_);
  own_ = own;
}

void RecordingNodeWay::SetFlightPlan(std::optional<FlightPlanRecordBytes> plan) {
  std::lock_guard lock(mutex_);
  plan_ = plan;
}

void RecordingNodeWay::SetPeerWay(std::int32_t way, COrvSok* object) {
  std::lock_guard lock(mutex_);
  peerWays_[static_cast<std::size_t>(way)] = object;
}

void RecordingNodeWay::NodeTrace(int colourField, unsigned flags, const char* text) {
  std::lock_guard lock(mutex_);
  lines_.push_back(Line{colourField, flags, text});
}

void RecordingNodeWay::PostUiEvent(std::uint32_t code) {
  std::lock_guard lock(mutex_);
  events_.push_back(code);
}

void RecordingNodeWay::NodeProtocolError(const char* line, const FrameHeader& header, const char* tag) {
  {
    std::lock_guard lock(mutex_);
    protocolErrors_.push_back(std::string(line) + " | " + tag);
  }
  CNodeWay::NodeProtocolError(line, header, tag);
}

OwnAircraftReport RecordingNodeWay::OwnAircraftForNode() const {
  std::lock_guard lock(mutex_);
  return own_;
}

std::optional<FlightPlanRecordBytes> RecordingNodeWay::FlightPlanForNode() const {
  std::lock_guard lock(mutex_);
  return plan_;
}

void RecordingNodeWay::SetMainDialogText(int controlId, const char* text) {
  Act("text " + std::to_string(controlId) + " " + text);
}

void RecordingNodeWay::SetTextFormat(DWORD effects, COLORREF colour) {
  Act("format " + std::to_string(effects) + " " + std::to_string(colour));
}

void RecordingNodeWay::RemoveDelimiters(char first, char second) {
  Act(std::string("remove delimiters ") + first + second);
}

void RecordingNodeWay::RemoveDelimitedText(char first, char second) {
  Act(std::string("remove between ") + first + second);
}

void RecordingNodeWay::DisplayLongHaulText(const PrivateTextRecord& record) {
  std::lock_guard lock(mutex_);
  longHaul_.push_back(record);
}

void RecordingNodeWay::PlayReceivedVoice(std::span<const std::uint8_t> frame) {
  std::lock_guard lock(mutex_);
  voices_.emplace_back(frame.begin(), frame.end());
}

COrvSok* RecordingNodeWay::PeerWayFor(std::int32_t way) const {
  std::lock_guard lock(mutex_);
  return IsPeerWay(way) ? peerWays_[static_cast<std::size_t>(way)] : nullptr;
}

// ---- NodeWayTest ----

namespace {
// Every program-wide value the node way reads or writes, back to its start value.
void ResetNodeGlobals() {
  {
    std::lock_guard guard(SettingsTextLock());
    g_networkSettings.ncssLanIpAddress.fill('\0');
    g_networkSettings.lanIpAddress.fill('\0');
    g_networkSettings.current = NetworkSlot{};
    CopyToField(g_networkSettings.current.pilotId, "pilot7");
    CopyToField(g_networkSettings.current.pilotPassword, "secret");
  }
  g_networkSettings.directAddress.store(false);
  g_networkSettings.orvenaPort.store(setting_default::kOrvenaPortNumber);
  g_setupSettings.uploadBandWidth.store(setting_default::kUploadBandWidth);
  g_setupSettings.enableSoundOnPrivateMsg.store(1);
  g_networkState.store(0);
  g_hubListCountdown.store(0);
  g_hubRefreshCounter.store(0);
  g_reconnectCountdown.store(0);
  g_machineId.store(0);
  g_connecting.store(false);
  g_inCockpitOverride.store(false);
  SetOwnCallsign("OWN001");
  SetOwnPublicAddress("");
  SetHubListText("");
  ClearLongHaul();
  ClearPlayedSounds();
}
}  // namespace

void NodeWayTest::SetUp() {
  WayTest::SetUp();
  ResetNodeGlobals();
  // Made after the library's state is reset: the way takes its locks when built.
  server_ = std::make_unique<NodeServer>();
  way_ = std::make_unique<RecordingNodeWay>();
  ASSERT_TRUE(server_->Ok());
  SetHubListText("127.0.0.1:" + std::to_string(server_->Port()));
  ASSERT_TRUE(way_->StartWay(256 * 1024));
}

void NodeWayTest::TearDown() {
  way_->RequestStop(way_->ExitCode());
  way_->WaitForEnd(10'000);
  way_.reset();
  server_.reset();
  ResetNodeGlobals();
  WayTest::TearDown();
}

void NodeWayTest::Post(std::uint32_t id, std::uint32_t param, std::uint32_t word3) {
  ASSERT_EQ(CBaseThread::Post(nullptr, way_.get(), id, param, word3, "TEST"), 1);
}

void NodeWayTest::Connect() { Post(THRDMSG_CONNECT); }

void NodeWayTest::LogIn() {
  Connect();
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way_->LoginAccepted(); }));
  // The acknowledgement's handling has ended: what it posts (the flight
  // plan) is queued before anything the test posts next.
  way_->RunOnThread([] { return 0; });
}

std::vector<Frame> NodeWayTest::FramesAfter(std::size_t skip, std::size_t count) {
  EXPECT_TRUE(server_->WaitForFrames(skip + count, kWaitMs));
  const std::vector<Frame> frames = server_->Frames();
  if (frames.size() <= skip) return {};
  return std::vector<Frame>(frames.begin() + static_cast<std::ptrdiff_t>(skip), frames.end());
}

void NodeWayTest::Settle() {
  g_hubRefreshCounter.store(99);
  ASSERT_TRUE(server_->SendHeartbeat());
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [] { return g_hubRefreshCounter.load() == 0; }));
  EXPECT_TRUE(server_->Linked());
}

bool NodeWayTest::WaitTraced(const std::string& part) {
  return TestWay::WaitFor(kWaitMs, [&] { return way_->Traced(part); });
}

bool NodeWayTest::WaitDid(const std::string& action) {
  return TestWay::WaitFor(kWaitMs, [&] { return way_->Did(action); });
}

std::vector<Frame> NodeWayTest::FramesOfType(std::uint8_t type, int subCode) {
  std::vector<Frame> found;
  for (const Frame& frame : server_->Frames()) {
    if (frame.header.type == type && (subCode < 0 || frame.header.subCode == subCode)) found.push_back(frame);
  }
  return found;
}

void NodeWayTest::SetVerbose(bool on) { Klib().traceMask.store(on ? 0x10000u : 0u); }
