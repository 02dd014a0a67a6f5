#include "testbed/frame_link_server.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <system_error>
#include <utility>

#include "base/klib_settings.h"

namespace {

constexpr int kPollMs = 200;  // bounds each wait; stop, drop and ticks wake it sooner

std::uint16_t CodeKey(std::uint8_t type, std::uint8_t subCode) {
  return static_cast<std::uint16_t>(type << 8 | subCode);
}

}  // namespace

std::uint32_t PeerAddressOf(SOCKET s) {
  sockaddr_in peer{};
  return WsGetPeerName(s, &peer) == 0 ? peer.sin_addr.s_addr : 0;
}

std::string PeerText(SOCKET s) {
  sockaddr_in peer{};
  if (WsGetPeerName(s, &peer) != 0) return "?";
  return FormatDottedIPv4(peer.sin_addr.s_addr) + ":" + std::to_string(ntohs(peer.sin_port));
}

std::string FrameLinkServer::Numbered(LinkId id) const {
  return maxLinks_ > 1 && id > 1 ? "link " + std::to_string(id) : std::string();
}

const char* FrameLinkServer::EndText(EndReason reason) {
  switch (reason) {
    case EndReason::ClientClosed: return "closed by the client";
    case EndReason::Dropped: return "dropped";
    case EndReason::ProtocolError: return "protocol error";
    case EndReason::Stopped: return "server stopping";
    case EndReason::PartnerEnded: return "the tunnel's other end closed";
    case EndReason::Failed: break;
  }
  return "socket error";
}

FrameLinkServer::FrameLinkServer(std::uint16_t port, std::uint32_t maxFrameBody, std::size_t maxLinks,
                                 WhenFull whenFull)
    : maxFrameBody_(maxFrameBody), maxLinks_(std::max<std::size_t>(maxLinks, 1)), whenFull_(whenFull), listener_(port) {}

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
  {
    std::lock_guard tick(tickMutex_);
    std::lock_guard lock(mutex_);
    tickIntervalMs_ = std::max(milliseconds, 0);
  }
  wake_.Signal();
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

std::vector<Frame> FrameLinkServer::Frames() const {
  std::lock_guard lock(mutex_);
  std::vector<Frame> frames;
  frames.reserve(frames_.size());
  for (const LinkFrame& f : frames_) frames.push_back(f.frame);
  return frames;
}

std::vector<FrameLinkServer::LinkFrame> FrameLinkServer::LinkFrames() const {
  std::lock_guard lock(mutex_);
  return frames_;
}

std::vector<std::uint8_t> FrameLinkServer::ReceivedBytes() const {
  std::lock_guard lock(mutex_);
  return receivedBytes_;
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

bool FrameLinkServer::WaitForCountOf(std::uint8_t type, std::uint8_t subCode, std::size_t count, int timeoutMs) const {
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
                           [&] { return linksAccepted_ >= count && !up_.empty(); });
}

bool FrameLinkServer::Linked() const {
  std::lock_guard lock(mutex_);
  return !up_.empty();
}

std::size_t FrameLinkServer::LinksUp() const {
  std::lock_guard lock(mutex_);
  return up_.size();
}

bool FrameLinkServer::WaitForLinksUp(std::size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                           [&] { return up_.size() == count; });
}

bool FrameLinkServer::WaitForLinkEnd(int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)), [&] { return up_.empty(); });
}

std::size_t FrameLinkServer::ProtocolErrors() const {
  std::lock_guard lock(mutex_);
  return protocolErrors_;
}

std::uint64_t FrameLinkServer::BytesSpliced() const {
  std::lock_guard lock(mutex_);
  return bytesSpliced_;
}

FrameLinkServer::LinkId FrameLinkServer::NewestLink() const {
  std::lock_guard lock(mutex_);
  return up_.empty() ? 0 : *up_.rbegin();
}

bool FrameLinkServer::SendTo(LinkId link, std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(sendMutex_);
  const auto at = sockets_.find(link);
  if (at == sockets_.end()) return false;
  const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return tcp_io::SendAll(at->second, view, kSendTimeoutMs, -1);
}

bool FrameLinkServer::SendFrameTo(LinkId link, std::uint8_t type, std::uint8_t subCode, std::span<const std::uint8_t> body) {
  FrameHeader header;
  header.type = type;
  header.subCode = subCode;
  const std::vector<std::uint8_t> frame = BuildFrame(FRAME_SYNC_NETWORK, header, body);
  return !frame.empty() && SendTo(link, frame);
}

bool FrameLinkServer::SendOn(SOCKET s, std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(sendMutex_);
  const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return tcp_io::SendAll(s, view, kSendTimeoutMs, -1);
}

bool FrameLinkServer::DropLink(LinkId link) {
  {
    std::lock_guard lock(mutex_);
    if (up_.count(link) == 0) return false;
    dropRequests_.insert(link);
  }
  wake_.Signal();
  return true;
}

bool FrameLinkServer::Splice(LinkId first, LinkId second) {
  if (first == second) return false;
  const auto a = links_.find(first);
  const auto b = links_.find(second);
  if (a == links_.end() || b == links_.end() || a->second.partner != 0 || b->second.partner != 0) return false;
  a->second.partner = second;
  b->second.partner = first;
  Log("tunnel: link " + std::to_string(first) + " spliced to link " + std::to_string(second));
  return true;
}

void FrameLinkServer::Run() {
  std::vector<pollfd> fds;
  std::vector<LinkId> ids;
  for (;;) {
    std::set<LinkId> drops;
    bool stopping = false;
    {
      std::lock_guard lock(mutex_);
      stopping = stopping_;
      drops.swap(dropRequests_);
    }
    if (stopping) break;
    for (const LinkId id : drops) {
      if (links_.count(id) != 0) EndLink(id, EndReason::Dropped);
    }
    RunTicks();

    fds.clear();
    ids.clear();
    fds.push_back(pollfd{wake_.Fd(), POLLIN, 0});
    // A full table leaves a waiting caller in the listener's backlog (poll skips a negative fd).
    const bool listening = links_.size() < maxLinks_ || whenFull_ == WhenFull::Refused;
    fds.push_back(pollfd{listening ? listener_.Socket() : INVALID_SOCKET, POLLIN, 0});
    for (const auto& [id, link] : links_) {
      fds.push_back(pollfd{link.socket, POLLIN, 0});
      ids.push_back(id);
    }
    int waitMs = kPollMs;
    if (servedInterval_ > 0) {
      for (const auto& [id, link] : links_) {
        if (link.partner == 0) waitMs = std::min(waitMs, tcp_io::MillisecondsLeft(link.nextTick));
      }
    }
    if (WsPoll(fds, waitMs) < 0) {
      // A failing poll must not spin.
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    if (fds[0].revents != 0) wake_.Clear();
    if (fds[1].revents != 0) Accept();
    for (std::size_t i = 0; i < ids.size(); ++i) {
      if (fds[i + 2].revents == 0) continue;
      const auto at = links_.find(ids[i]);
      if (at == links_.end()) continue;  // ended as a tunnel's other end
      EndReason reason = EndReason::Failed;
      if (!Receive(ids[i], at->second, reason)) EndLink(ids[i], reason);
    }
  }
  while (!links_.empty()) EndLink(links_.begin()->first, EndReason::Stopped);
}

void FrameLinkServer::Accept() {
  bool stopped = false;
  const SOCKET s = listener_.Accept(-1, 0, &stopped);
  if (s == INVALID_SOCKET) return;
  if (links_.size() >= maxLinks_) {
    Log("refused a link from " + PeerText(s) + ": " + std::to_string(maxLinks_) + " links are up");
    tcp_io::ResetAndClose(s);
    return;
  }
  WsSetNonBlocking(s, true);
  LinkId id = 0;
  {
    std::lock_guard lock(mutex_);
    id = ++lastId_;
  }
  Link& link = links_[id];
  link.socket = s;
  link.hunter.SetMaxBodyLength(maxFrameBody_);
  link.nextTick = tcp_io::Clock::now() + std::chrono::milliseconds(servedInterval_);
  {
    std::lock_guard lock(sendMutex_);
    sockets_[id] = s;
  }
  // Logged before the waiters hear of it, so a log read after a wait holds the line.
  const std::string number = Numbered(id);
  Log("linked from " + PeerText(s) + (number.empty() ? "" : " (" + number + ")"));
  {
    std::lock_guard lock(mutex_);
    ++linksAccepted_;
    up_.insert(id);
  }
  changed_.notify_all();
  if (hooks_.linked) hooks_.linked(id, s);
}

bool FrameLinkServer::Receive(LinkId id, Link& link, EndReason& reason) {
  std::array<std::uint8_t, 16384> chunk{};
  const int n = WsRecv(link.socket, chunk.data(), chunk.size(), MSG_DONTWAIT);
  if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) return true;
  if (n <= 0) {
    reason = EndReason::ClientClosed;
    return false;
  }
  const std::span<const std::uint8_t> bytes(chunk.data(), static_cast<std::size_t>(n));
  if (link.partner != 0) {
    // Counted before they go: the other end may read them before the send returns.
    {
      std::lock_guard lock(mutex_);
      bytesSpliced_ += bytes.size();
    }
    changed_.notify_all();
    if (!SendTo(link.partner, bytes)) {
      reason = EndReason::PartnerEnded;
      return false;
    }
    return true;
  }
  {
    std::lock_guard lock(mutex_);
    const std::size_t room = kMaxRecordedBytes - std::min(kMaxRecordedBytes, receivedBytes_.size());
    receivedBytes_.insert(receivedBytes_.end(), bytes.begin(),
                          bytes.begin() + static_cast<std::ptrdiff_t>(std::min(room, bytes.size())));
  }
  link.hunter.Feed(bytes);
  if (!TakeFrames(id, link)) {
    reason = EndReason::ProtocolError;
    return false;
  }
  return true;
}

bool FrameLinkServer::TakeFrames(LinkId id, Link& link) {
  // A hook may splice this link: the bytes behind the splicing frame are then the tunnel's.
  while (link.partner == 0) {
    Frame frame;
    const HuntResult result = link.hunter.NextFrame(frame);
    if (result == HuntResult::NeedMore) return true;
    if (result == HuntResult::Error) {
      const FrameHeader& bad = link.hunter.ErrorHeader();
      Log("protocol error: a frame of type " + std::to_string(bad.type) + " sub-code " + std::to_string(bad.subCode) +
          " announced " + std::to_string(bad.length) + " body bytes (at most " + std::to_string(maxFrameBody_) + ")");
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
      if (frames_.size() < kMaxRecordedFrames) frames_.push_back(LinkFrame{id, frame});
    }
    changed_.notify_all();
    if (hooks_.frame) hooks_.frame(id, link.socket, frame);
  }
  std::array<std::uint8_t, 16384> rest{};
  const std::size_t left = link.hunter.PeekUnused(rest);
  link.hunter.Reset();
  return left == 0 || SendTo(link.partner, std::span<const std::uint8_t>(rest.data(), left));
}

void FrameLinkServer::EndLink(LinkId id, EndReason reason) {
  const auto at = links_.find(id);
  if (at == links_.end()) return;
  const SOCKET s = at->second.socket;
  const LinkId partner = at->second.partner;
  {
    std::lock_guard lock(sendMutex_);
    sockets_.erase(id);
    tcp_io::ResetAndClose(s);
  }
  links_.erase(at);
  const std::string number = Numbered(id);
  Log((number.empty() ? std::string("link") : number) + " ended: " + EndText(reason));
  if (hooks_.ended) hooks_.ended(id);
  {
    std::lock_guard lock(mutex_);
    up_.erase(id);
    dropRequests_.erase(id);
  }
  changed_.notify_all();
  // A tunnel is one link to its two clients: both ends go together.
  if (partner != 0) EndLink(partner, reason == EndReason::Stopped ? reason : EndReason::PartnerEnded);
}

void FrameLinkServer::RunTicks() {
  std::lock_guard tick(tickMutex_);
  const int interval = TickInterval();
  const auto now = tcp_io::Clock::now();
  if (interval != servedInterval_) {
    servedInterval_ = interval;
    for (auto& [id, link] : links_) link.nextTick = now + std::chrono::milliseconds(interval);
    return;
  }
  if (interval <= 0 || !hooks_.tick) return;
  for (auto& [id, link] : links_) {
    if (link.partner != 0 || now < link.nextTick) continue;
    hooks_.tick(id, link.socket);
    link.nextTick = tcp_io::Clock::now() + std::chrono::milliseconds(interval);
  }
}
