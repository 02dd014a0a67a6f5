#include "testbed/frame_link_server.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <system_error>
#include <utility>

#include "base/klib_settings.h"

namespace {

constexpr int kPollMs = 200;  // bounds each wait; stop and drop wake it at once

std::uint16_t CodeKey(std::uint8_t type, std::uint8_t subCode) {
  return static_cast<std::uint16_t>(type << 8 | subCode);
}

}  // namespace

std::string PeerText(SOCKET s) {
  sockaddr_in peer{};
  if (WsGetPeerName(s, &peer) != 0) return "?";
  return FormatDottedIPv4(peer.sin_addr.s_addr) + ":" + std::to_string(ntohs(peer.sin_port));
}

const char* FrameLinkServer::EndText(EndReason reason) {
  switch (reason) {
    case EndReason::ClientClosed: return "closed by the client";
    case EndReason::Dropped: return "dropped";
    case EndReason::ProtocolError: return "protocol error";
    case EndReason::Stopped: return "server stopping";
    case EndReason::Failed: break;
  }
  return "socket error";
}

FrameLinkServer::FrameLinkServer(std::uint16_t port, std::uint32_t maxFrameBody)
    : maxFrameBody_(maxFrameBody), listener_(port) {}

FrameLinkServer::~FrameLinkServer() { Stop(); }

bool FrameLinkServer::Start(Hooks hooks) {
  if (thread_.joinable() || !listener_.Ok() || wake_.Fd() < 0) return false;
  hooks_ = std::move(hooks);
  try {
    thread_ = std::thread(&FrameLinkServer::Run, this);
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void FrameLinkServer::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.Signal();
  if (thread_.joinable()) thread_.join();
}

void FrameLinkServer::SetTickInterval(int milliseconds) {
  std::lock_guard tick(tickMutex_);
  std::lock_guard lock(mutex_);
  tickIntervalMs_ = std::max(milliseconds, 0);
}

int FrameLinkServer::TickInterval() const {
  std::lock_guard lock(mutex_);
  return tickIntervalMs_;
}

void FrameLinkServer::SetEventLog(EventLog log) {
  std::lock_guard lock(mutex_);
  log_ = std::move(log);
}

void FrameLinkServer::Log(std::string_view line) const {
  EventLog log;
  {
    std::lock_guard lock(mutex_);
    log = log_;
  }
  if (log) log(line);
}

std::vector<std::uint8_t> FrameLinkServer::ReceivedBytes() const {
  std::lock_guard lock(mutex_);
  return receivedBytes_;
}

std::vector<Frame> FrameLinkServer::Frames() const {
  std::lock_guard lock(mutex_);
  return frames_;
}

std::size_t FrameLinkServer::FrameCount() const {
  std::lock_guard lock(mutex_);
  return frameCount_;
}

bool FrameLinkServer::WaitForFrames(std::size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                           [&] { return frameCount_ >= count; });
}

std::size_t FrameLinkServer::CountOf(std::uint8_t type, std::uint8_t subCode) const {
  std::lock_guard lock(mutex_);
  const auto at = countByCode_.find(CodeKey(type, subCode));
  return at == countByCode_.end() ? 0 : at->second;
}

bool FrameLinkServer::WaitForCountOf(std::uint8_t type, std::uint8_t subCode, std::size_t count,
                                     int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)), [&] {
    const auto at = countByCode_.find(CodeKey(type, subCode));
    return at != countByCode_.end() && at->second >= count;
  });
}

std::size_t FrameLinkServer::LinksAccepted() const {
  std::lock_guard lock(mutex_);
  return linksAccepted_;
}

bool FrameLinkServer::WaitForLink(std::size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                           [&] { return linksAccepted_ >= count && linked_; });
}

bool FrameLinkServer::Linked() const {
  std::lock_guard lock(mutex_);
  return linked_;
}

bool FrameLinkServer::WaitForLinkEnd(int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                           [&] { return !linked_; });
}

std::size_t FrameLinkServer::ProtocolErrors() const {
  std::lock_guard lock(mutex_);
  return protocolErrors_;
}

bool FrameLinkServer::SendRaw(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(sendMutex_);
  if (link_ == INVALID_SOCKET) return false;
  const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return tcp_io::SendAll(link_, view, kSendTimeoutMs, -1);
}

bool FrameLinkServer::SendFrame(std::uint8_t type, std::uint8_t subCode,
                                std::span<const std::uint8_t> body) {
  FrameHeader header;
  header.type = type;
  header.subCode = subCode;
  const std::vector<std::uint8_t> frame = BuildFrame(FRAME_SYNC_NETWORK, header, body);
  return !frame.empty() && SendRaw(frame);
}

bool FrameLinkServer::SendOn(SOCKET s, std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(sendMutex_);
  const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return tcp_io::SendAll(s, view, kSendTimeoutMs, -1);
}

bool FrameLinkServer::DropLink() {
  {
    std::lock_guard lock(mutex_);
    if (!linked_) return false;
    dropRequested_ = true;
  }
  wake_.Signal();
  return true;
}

void FrameLinkServer::Run() {
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
    }
    bool stopped = false;
    const SOCKET s = listener_.Accept(wake_.Fd(), kPollMs, &stopped);
    if (stopped) {
      // A drop asked for between links wakes the accept too: forget it.
      wake_.Clear();
      bool dropOnly = false;
      {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        dropOnly = dropRequested_;
        dropRequested_ = false;
      }
      // A failing poll must not spin.
      if (!dropOnly) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    if (s != INVALID_SOCKET) Serve(s);
  }
}

void FrameLinkServer::Serve(SOCKET s) {
  using Clock = tcp_io::Clock;
  WsSetNonBlocking(s, true);
  {
    std::lock_guard lock(sendMutex_);
    link_ = s;
  }
  // Logged before the waiters hear of it, so a log read after a wait holds the line.
  Log("linked from " + PeerText(s));
  {
    std::lock_guard lock(mutex_);
    ++linksAccepted_;
    linked_ = true;
    dropRequested_ = false;
  }
  changed_.notify_all();
  if (hooks_.linked) hooks_.linked(s);

  FrameHunter hunter(maxFrameBody_);
  std::array<std::uint8_t, 16384> chunk{};
  int interval = 0;
  Clock::time_point nextTick{};
  EndReason reason = EndReason::Failed;
  for (;;) {
    const int wanted = TickInterval();
    if (wanted != interval) {
      interval = wanted;
      nextTick = Clock::now() + std::chrono::milliseconds(interval);
    }
    int waitMs = kPollMs;
    if (interval > 0) {
      if (Clock::now() >= nextTick) {
        std::lock_guard tick(tickMutex_);
        if (TickInterval() == interval && hooks_.tick) hooks_.tick(s);
        nextTick = Clock::now() + std::chrono::milliseconds(interval);
      }
      waitMs = std::min(waitMs, tcp_io::MillisecondsLeft(nextTick));
    }
    const int ready = WsWaitReadable(s, wake_.Fd(), waitMs);
    if (ready < 0) break;
    if ((ready & WS_WAIT_WAKE) != 0) {
      wake_.Clear();
      std::lock_guard lock(mutex_);
      if (stopping_ || dropRequested_) {
        reason = stopping_ ? EndReason::Stopped : EndReason::Dropped;
        break;
      }
    }
    if ((ready & WS_WAIT_SOCKET) == 0) continue;
    const int n = WsRecv(s, chunk.data(), chunk.size(), MSG_DONTWAIT);
    if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) continue;
    if (n <= 0) {
      reason = EndReason::ClientClosed;
      break;
    }
    {
      std::lock_guard lock(mutex_);
      const std::size_t room = kMaxRecordedBytes - std::min(kMaxRecordedBytes, receivedBytes_.size());
      receivedBytes_.insert(receivedBytes_.end(), chunk.begin(),
                            chunk.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(room, n)));
    }
    hunter.Feed(std::span<const std::uint8_t>(chunk.data(), static_cast<std::size_t>(n)));
    if (!TakeFrames(s, hunter)) {
      reason = EndReason::ProtocolError;
      break;
    }
  }
  EndLink(s, reason);
}

bool FrameLinkServer::TakeFrames(SOCKET s, FrameHunter& hunter) {
  for (;;) {
    Frame frame;
    const HuntResult result = hunter.NextFrame(frame);
    if (result == HuntResult::NeedMore) return true;
    if (result == HuntResult::Error) {
      const FrameHeader& bad = hunter.ErrorHeader();
      Log("protocol error: a frame of type " + std::to_string(bad.type) + " sub-code " +
          std::to_string(bad.subCode) + " announced " + std::to_string(bad.length) +
          " body bytes (at most " + std::to_string(maxFrameBody_) + ")");
      {
        std::lock_guard lock(mutex_);
        ++protocolErrors_;
      }
      changed_.notify_all();
      return false;
    }
    {
      std::lock_guard lock(mutex_);
      ++frameCount_;
      ++countByCode_[CodeKey(frame.header.type, frame.header.subCode)];
      if (frames_.size() < kMaxRecordedFrames) frames_.push_back(frame);
    }
    changed_.notify_all();
    if (hooks_.frame) hooks_.frame(s, frame);
  }
}

void FrameLinkServer::EndLink(SOCKET s, EndReason reason) {
  {
    std::lock_guard lock(sendMutex_);
    link_ = INVALID_SOCKET;
    tcp_io::ResetAndClose(s);
  }
  Log(std::string("link ended: ") + EndText(reason));
  if (hooks_.ended) hooks_.ended();
  {
    std::lock_guard lock(mutex_);
    linked_ = false;
    dropRequested_ = false;
  }
  changed_.notify_all();
}
