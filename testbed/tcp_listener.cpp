#include "testbed/tcp_listener.h"

#include <algorithm>
#include <array>

TcpListener::TcpListener(std::uint16_t port) {
  const SOCKET s = WsSocket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return;
  sockaddr_in bound{};
  const bool ready = WsSetReuseAddr(s, true) == 0 && WsBind(s, MakeSockAddrIPv4(INADDR_LOOPBACK, port)) == 0 &&
                     WsListen(s, SOMAXCONN) == 0 && WsSetNonBlocking(s, true) == 0 && WsGetSockName(s, &bound) == 0;
  if (!ready) {
    closesocket(s);
    return;
  }
  socket_ = s;
  port_ = ntohs(bound.sin_port);
}

TcpListener::~TcpListener() {
  if (socket_ != INVALID_SOCKET) closesocket(socket_);
}

SOCKET TcpListener::Accept(int stopFd, int timeoutMs, bool* stopped) {
  if (stopped != nullptr) *stopped = false;
  std::array<pollfd, 2> fds{pollfd{stopFd, POLLIN, 0}, pollfd{socket_, POLLIN, 0}};
  if (WsPoll(fds, timeoutMs) < 0 || fds[0].revents != 0) {
    if (stopped != nullptr) *stopped = true;
    return INVALID_SOCKET;
  }
  if ((fds[1].revents & POLLIN) == 0) return INVALID_SOCKET;
  // Non-blocking: a caller that gave up in between leaves nothing to wait for.
  return WsAccept(socket_, nullptr);
}

namespace tcp_io {

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<decltype(left)>(left, 0, 60'000));
}

void ResetAndClose(SOCKET s) {
  linger hard{1, 0};
  setsockopt(s, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  closesocket(s);
}

bool SendAll(SOCKET s, std::string_view bytes, int timeoutMs, int stopFd) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!bytes.empty()) {
    const int n = WsSend(s, bytes.data(), bytes.size(), MSG_DONTWAIT);
    if (n > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n == 0 || WSAGetLastError() != WSAEWOULDBLOCK) return false;
    std::array<pollfd, 2> fds{pollfd{s, POLLOUT, 0}, pollfd{stopFd, POLLIN, 0}};
    const int left = MillisecondsLeft(deadline);
    if (left == 0 || WsPoll(fds, left) <= 0 || fds[1].revents != 0) return false;
  }
  return true;
}

bool ReadHead(SOCKET s, std::string& head, std::size_t maxBytes, int timeoutMs, int stopFd) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::array<char, 1024> chunk{};
  while (head.size() <= maxBytes) {
    const int ready = WsWaitReadable(s, stopFd, MillisecondsLeft(deadline));
    if (ready <= 0 || (ready & WS_WAIT_WAKE) != 0) return false;
    const int n = WsRecv(s, chunk.data(), chunk.size(), MSG_DONTWAIT);
    if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) continue;
    if (n <= 0) return false;
    const std::size_t searchFrom = head.size() < 3 ? 0 : head.size() - 3;
    head.append(chunk.data(), static_cast<std::size_t>(n));
    for (const std::string_view end : {std::string_view("\r\n\r\n"), std::string_view("\n\n")}) {
      const auto at = head.find(end, searchFrom);
      if (at != std::string::npos) {
        head.resize(at + end.size());
        return true;
      }
    }
  }
  return false;
}

}  // namespace tcp_io
