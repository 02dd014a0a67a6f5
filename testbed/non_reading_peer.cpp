#include "testbed/non_reading_peer.h"

#include <array>
#include <chrono>

#include "testbed/tcp_listener.h"

namespace {
constexpr std::size_t kScratchSize = 64 * 1024;
}  // namespace

bool ShrinkReceiveBuffer(SOCKET s) { return WsSetSockOptInt(s, SOL_SOCKET, SO_RCVBUF, kNonReadingPeerReceiveBuffer) == 0; }

NonReadingPeer::NonReadingPeer() {
  const SOCKET s = WsSocket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return;
  sockaddr_in bound{};
  // Set on the listening socket, the small buffer is the accepted link's from its first segment on.
  const bool ready = ShrinkReceiveBuffer(s) && WsBind(s, MakeSockAddrIPv4(INADDR_LOOPBACK, 0)) == 0 &&
                     WsListen(s, 1) == 0 && WsSetNonBlocking(s, true) == 0 && WsGetSockName(s, &bound) == 0;
  if (!ready) {
    closesocket(s);
    return;
  }
  listening_ = s;
  port_ = ntohs(bound.sin_port);
}

NonReadingPeer::~NonReadingPeer() {
  if (link_ != INVALID_SOCKET) closesocket(link_);
  if (listening_ != INVALID_SOCKET) closesocket(listening_);
}

bool NonReadingPeer::Accept(int timeoutMs) {
  if (!Ok() || link_ != INVALID_SOCKET) return link_ != INVALID_SOCKET;
  std::array<pollfd, 1> fds{pollfd{listening_, POLLIN, 0}};
  if (WsPoll(fds, timeoutMs) <= 0) return false;
  link_ = WsAccept(listening_, nullptr);
  return link_ != INVALID_SOCKET;
}

std::size_t NonReadingPeer::ReadSome(std::size_t count, int timeoutMs) {
  if (link_ == INVALID_SOCKET) return 0;
  std::array<char, kScratchSize> scratch{};
  std::size_t read = 0;
  const auto deadline = tcp_io::Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (read < count) {
    std::array<pollfd, 1> fds{pollfd{link_, POLLIN, 0}};
    if (WsPoll(fds, read == 0 ? tcp_io::MillisecondsLeft(deadline) : 0) <= 0) break;
    const int n = WsRecv(link_, scratch.data(), std::min(scratch.size(), count - read), MSG_DONTWAIT);
    if (n <= 0) break;
    read += static_cast<std::size_t>(n);
  }
  return read;
}

NonReadingPeer::End NonReadingPeer::WaitForEnd(int timeoutMs) { return WaitForUnreadLinkEnd(link_, timeoutMs); }

NonReadingPeer::End WaitForUnreadLinkEnd(SOCKET s, int timeoutMs) {
  using End = NonReadingPeer::End;
  if (s == INVALID_SOCKET) return End::kOpen;
  std::array<pollfd, 1> ended{pollfd{s, POLLRDHUP, 0}};
  if (WsPoll(ended, timeoutMs) <= 0) return End::kOpen;
  std::array<char, kScratchSize> scratch{};
  for (;;) {
    const int n = WsRecv(s, scratch.data(), scratch.size(), MSG_DONTWAIT);
    if (n > 0) continue;
    if (n == 0) return End::kClosed;
    return WSAGetLastError() == WSAECONNRESET ? End::kReset : End::kClosed;
  }
}
