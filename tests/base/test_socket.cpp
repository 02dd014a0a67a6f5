#include "test_socket.h"

#include <algorithm>

#include "base/klib_locks.h"
#include "base/main_thread.h"
#include "support/klib_fixture.h"
#include "testbed/loopback_peer.h"

namespace {
constexpr std::uint32_t kWantedPerPass = 1;
constexpr DWORD kStopWaitMs = 10'000;
constexpr std::int32_t kTestWayId = 7;
}  // namespace

void SocketTest::SetUp() {
  ResetKlibForTest();
  for (int id = 0; id < static_cast<int>(KlibLockId::Count); ++id) GetKlibLock(static_cast<KlibLockId>(id)).Create();
  Klib().rxByteCount = 0;
  Klib().txByteCount = 0;
  SetTraceConsole(false);
}

void SocketTest::TearDown() {
  SetTraceConsole(false);
  ResetKlibForTest();
}

TestSocket::TestSocket(DWORD sleepMs, std::size_t chunkSize, const char* name)
    : TestChunkStorage(chunkSize), CBaseSoc(nullptr, kTestWayId, name, sleepMs, 50, chunk) {}

TestSocket::~TestSocket() { Stop(); }

bool TestSocket::Start(DWORD rxSize, DWORD txSize, DWORD mode) {
  if (InitBuffers(nullptr, mode, rxSize, txSize, kDefaultRecvBufferSize, kDefaultSendBufferSize) != 0) return false;
  return StartThread(1, 0) == 1;
}

void TestSocket::Stop() {
  if (!Started()) return;
  RequestStop(ExitCode());
  EXPECT_TRUE(WaitForEnd(kStopWaitMs));
}

std::int32_t TestSocket::ConnectTo(std::uint16_t port) {
  return RunOnThread([this, port] { return Connect("127.0.0.1", port, nullptr); });
}

DWORD TestSocket::VTFX(DWORD) {
  while (!StopRequested() && !Klib().Exiting()) {
    DMessage message;
    while (PopMessage(message) != 0) {
      ProcessMessage(message);
      DropPendingPayload();
    }
    PumpReceive(kWantedPerPass);
    ProcessReceivedBytes();
    FlushTx(1);
    ++passes_;
  }
  return 0;
}

DWORD TestSocket::ProcessMessage(const DMessage& message) {
  if (message.id == kRunCall) {
    calls_.RunNext();
    return 1;
  }
  if (message.id == THRDMSG_DISCONNECTION) {
    std::string text(std::min(message.word3, PendingPayload()), '\0');
    PopData(text.data(), static_cast<std::uint32_t>(text.size()));
    std::lock_guard lock(mutex_);
    notices_.push_back({message.param, std::move(text)});
    changed_.notify_all();
    return 1;
  }
  if (message.id == THRDMSG_STOP) {
    RequestStop(message.param);
    return 1;
  }
  const DWORD answer = CBaseSoc::ProcessMessage(message);
  std::lock_guard lock(mutex_);
  answers_.emplace_back(message.id, answer);
  return answer;
}

DWORD TestSocket::ProcessReceivedBytes() {
  lastRxUsed_.store(RxUsed());
  const std::uint32_t wanted = drainPerPass_.load();
  if (wanted == 0 || RxUsed() == 0) return 1;
  std::string bytes(std::min(wanted, RxUsed()), '\0');
  RxReadUpTo(reinterpret_cast<std::uint8_t*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
  std::lock_guard lock(mutex_);
  drained_ += bytes;
  changed_.notify_all();
  return 1;
}

void TestSocket::ThreadTaskEachSecond() { ++secondTasks_; }

std::int32_t TestSocket::Send(const void* data, std::uint32_t length, bool buffered, const char* callerTag) {
  {
    std::lock_guard lock(mutex_);
    sends_.push_back({length, callerTag != nullptr ? callerTag : ""});
  }
  return CBaseSoc::Send(data, length, buffered, callerTag);
}

std::int32_t TestSocket::SendDirect(const void* data, std::uint32_t length, const char* callerTag) {
  {
    std::lock_guard lock(mutex_);
    directSends_.push_back({length, callerTag != nullptr ? callerTag : ""});
  }
  if (failDirectSends_.load()) return kFailedSend;
  return CBaseSoc::SendDirect(data, length, callerTag);
}

template <typename Predicate>
bool TestSocket::WaitUntil(int timeoutMs, Predicate predicate) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), predicate);
}

std::vector<TestSocket::Notice> TestSocket::Notices() {
  std::lock_guard lock(mutex_);
  return notices_;
}

bool TestSocket::WaitForNotices(std::size_t count, int timeoutMs) {
  return WaitUntil(timeoutMs, [&] { return notices_.size() >= count; });
}

std::vector<TestSocket::SendCall> TestSocket::Sends() {
  std::lock_guard lock(mutex_);
  return sends_;
}

std::vector<TestSocket::SendCall> TestSocket::DirectSends() {
  std::lock_guard lock(mutex_);
  return directSends_;
}

std::vector<std::pair<std::uint32_t, DWORD>> TestSocket::Answers() {
  std::lock_guard lock(mutex_);
  return answers_;
}

void TestSocket::ClearRecords() {
  std::lock_guard lock(mutex_);
  notices_.clear();
  sends_.clear();
  directSends_.clear();
  answers_.clear();
}

std::string TestSocket::Drained() {
  std::lock_guard lock(mutex_);
  return drained_;
}

bool TestSocket::WaitForDrained(std::size_t count, int timeoutMs) {
  return WaitUntil(timeoutMs, [&] { return drained_.size() >= count; });
}

std::string TestPattern(std::size_t length, unsigned seed) {
  std::string bytes(length, '\0');
  std::uint32_t state = seed * 2654435761u + 1;
  for (char& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 16);
  }
  return bytes;
}

void SocketTest::Connect(TestSocket& sock, LoopbackServer& server) {
  constexpr int kConnectWaitMs = 5'000;
  ASSERT_TRUE(server.Ok());
  ASSERT_TRUE(sock.Start());
  ASSERT_EQ(sock.ConnectTo(server.Port()), 0);
  ASSERT_TRUE(sock.WaitForNotices(1, kConnectWaitMs));
  ASSERT_TRUE(server.WaitForConnections(1, kConnectWaitMs));
}
