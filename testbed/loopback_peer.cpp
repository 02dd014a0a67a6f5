#include "testbed/loopback_peer.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <system_error>

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<decltype(left)>(left, 0, 60'000));
}

bool SendAll(SOCKET s, std::string_view bytes, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!bytes.empty()) {
    const int n = WsSend(s, bytes.data(), bytes.size(), MSG_DONTWAIT);
    if (n > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n == 0 || WSAGetLastError() != WSAEWOULDBLOCK) return false;
    pollfd writable{s, POLLOUT, 0};
    const int left = MillisecondsLeft(deadline);
    if (left == 0 || WsPoll(std::span(&writable, 1), left) <= 0) return false;
  }
  return true;
}

// Linger 0 makes close() answer with a reset instead of an orderly end.
void ResetAndClose(SOCKET s) {
  linger hard{1, 0};
  setsockopt(s, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  closesocket(s);
}

}  // namespace

// ---- LoopbackServer ----

LoopbackServer::LoopbackServer() : readBuffer_(64 * 1024) {
  const SOCKET s = WsSocket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return;
  sockaddr_in bound{};
  const bool ready = wake_.Fd() >= 0 && WsSetReuseAddr(s, true) == 0 &&
                     WsBind(s, MakeSockAddrIPv4(INADDR_LOOPBACK, 0)) == 0 && WsListen(s, SOMAXCONN) == 0 &&
                     WsSetNonBlocking(s, true) == 0 && WsGetSockName(s, &bound) == 0;
  if (!ready) {
    closesocket(s);
    return;
  }
  listening_ = s;
  port_ = ntohs(bound.sin_port);
  try {
    thread_ = std::thread(&LoopbackServer::Run, this);
  } catch (const std::system_error&) {
    closesocket(s);
    listening_ = INVALID_SOCKET;
  }
}

LoopbackServer::~LoopbackServer() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.Signal();
  if (thread_.joinable()) thread_.join();
  for (auto& connection : connections_) {
    if (connection->socket != INVALID_SOCKET) closesocket(connection->socket);
  }
  if (listening_ != INVALID_SOCKET) closesocket(listening_);
}

void LoopbackServer::Run() {
  std::vector<pollfd> fds;
  std::vector<Connection*> owners;
  for (;;) {
    fds.clear();
    owners.clear();
    {
      std::lock_guard lock(mutex_);
      if (stop_) return;
      fds.push_back(pollfd{wake_.Fd(), POLLIN, 0});
      fds.push_back(pollfd{listening_, POLLIN, 0});
      for (auto& connection : connections_) {
        if (connection->socket == INVALID_SOCKET || connection->peerClosed) continue;
        fds.push_back(pollfd{connection->socket, POLLIN, 0});
        owners.push_back(connection.get());
      }
    }
    // The wake event ends the wait at once on stop; the timeout only bounds it.
    if (WsPoll(fds, 1000) < 0) return;
    if (fds[0].revents != 0) wake_.Clear();
    if ((fds[1].revents & POLLIN) != 0) AcceptPending();
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < owners.size(); ++i) {
      // A close from another thread may have come in between; its number may now be someone else's.
      if (fds[i + 2].revents != 0 && owners[i]->socket == fds[i + 2].fd) ReadReady(*owners[i]);
    }
    changed_.notify_all();
  }
}

void LoopbackServer::AcceptPending() {
  for (int i = 0; i < 16; ++i) {
    const SOCKET s = WsAccept(listening_, nullptr);
    if (s == INVALID_SOCKET) return;
    std::lock_guard lock(mutex_);
    if (connections_.size() >= kMaxConnections) {
      ResetAndClose(s);
      continue;
    }
    auto connection = std::make_unique<Connection>();
    connection->socket = s;
    connections_.push_back(std::move(connection));
    changed_.notify_all();
  }
}

void LoopbackServer::ReadReady(Connection& connection) {
  for (int i = 0; i < 64; ++i) {
    const int n = WsRecv(connection.socket, readBuffer_.data(), readBuffer_.size(), MSG_DONTWAIT);
    if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) return;
    if (n <= 0) {
      connection.peerClosed = true;
      return;
    }
    const auto count = static_cast<std::size_t>(n);
    const std::size_t room = kMaxRecordedBytes - std::min(kMaxRecordedBytes, connection.received.size());
    connection.received.append(readBuffer_.data(), std::min(count, room));
    connection.receivedCount += count;
  }
}

LoopbackServer::Connection* LoopbackServer::Find(std::size_t connection) const {
  std::lock_guard lock(mutex_);
  return connection < connections_.size() ? connections_[connection].get() : nullptr;
}

template <typename Predicate>
bool LoopbackServer::WaitUntil(int timeoutMs, Predicate predicate) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)), predicate);
}

std::size_t LoopbackServer::ConnectionCount() const {
  std::lock_guard lock(mutex_);
  return connections_.size();
}

bool LoopbackServer::WaitForConnections(std::size_t count, int timeoutMs) const {
  return WaitUntil(timeoutMs, [&] { return connections_.size() >= count; });
}

std::string LoopbackServer::Received(std::size_t connection) const {
  std::lock_guard lock(mutex_);
  return connection < connections_.size() ? connections_[connection]->received : std::string{};
}

std::size_t LoopbackServer::ReceivedCount(std::size_t connection) const {
  std::lock_guard lock(mutex_);
  return connection < connections_.size() ? connections_[connection]->receivedCount : 0;
}

bool LoopbackServer::WaitForBytes(std::size_t count, int timeoutMs, std::size_t connection) const {
  return WaitUntil(timeoutMs, [&] {
    return connection < connections_.size() && connections_[connection]->receivedCount >= count;
  });
}

bool LoopbackServer::PeerClosed(std::size_t connection) const {
  std::lock_guard lock(mutex_);
  return connection < connections_.size() && connections_[connection]->peerClosed;
}

bool LoopbackServer::WaitForPeerClose(int timeoutMs, std::size_t connection) const {
  return WaitUntil(timeoutMs, [&] { return connection < connections_.size() && connections_[connection]->peerClosed; });
}

bool LoopbackServer::Send(std::string_view bytes, std::size_t connection, int timeoutMs) {
  Connection* target = Find(connection);
  if (target == nullptr) return false;
  std::lock_guard sending(target->sending);
  // Only a close changes the socket, and every close holds `sending`.
  const SOCKET s = target->socket;
  return s != INVALID_SOCKET && SendAll(s, bytes, timeoutMs);
}

bool LoopbackServer::CloseAbruptly(std::size_t connection) { return Close(connection, true); }
bool LoopbackServer::CloseCleanly(std::size_t connection) { return Close(connection, false); }

bool LoopbackServer::Close(std::size_t connection, bool abrupt) {
  Connection* target = Find(connection);
  if (target == nullptr) return false;
  std::lock_guard sending(target->sending);
  {
    std::lock_guard lock(mutex_);
    if (target->socket == INVALID_SOCKET) return false;
    if (abrupt) {
      ResetAndClose(target->socket);
    } else {
      // Unread bytes would turn close() into a reset: take them first.
      WsShutdown(target->socket, SD_SEND);
      if (!target->peerClosed) ReadReady(*target);
      closesocket(target->socket);
    }
    target->socket = INVALID_SOCKET;
    changed_.notify_all();
  }
  wake_.Signal();
  return true;
}

// ---- LoopbackClient ----

LoopbackClient::~LoopbackClient() { Close(); }

bool LoopbackClient::Connect(std::uint16_t port, int* error) {
  Close();
  const SOCKET s = WsSocket(AF_INET, SOCK_STREAM, 0);
  if (s != INVALID_SOCKET && WsConnect(s, MakeSockAddrIPv4(INADDR_LOOPBACK, port)) == 0) {
    socket_ = s;
    peerClosed_ = false;
    return true;
  }
  if (error != nullptr) *error = WSAGetLastError();
  if (s != INVALID_SOCKET) closesocket(s);
  return false;
}

bool LoopbackClient::Send(std::string_view bytes, int timeoutMs) {
  return socket_ != INVALID_SOCKET && SendAll(socket_, bytes, timeoutMs);
}

std::string LoopbackClient::Receive(std::size_t count, int timeoutMs) {
  std::string received;
  if (socket_ == INVALID_SOCKET) return received;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::array<char, 16 * 1024> buffer{};
  while (received.size() < count) {
    if (WsWaitReadable(socket_, -1, MillisecondsLeft(deadline)) <= 0) break;
    const std::size_t wanted = std::min(buffer.size(), count - received.size());
    const int n = WsRecv(socket_, buffer.data(), wanted, MSG_DONTWAIT);
    if (n > 0) {
      received.append(buffer.data(), static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) continue;
    peerClosed_ = true;
    break;
  }
  return received;
}

void LoopbackClient::Close() {
  if (socket_ == INVALID_SOCKET) return;
  closesocket(socket_);
  socket_ = INVALID_SOCKET;
}

void LoopbackClient::CloseAbruptly() {
  if (socket_ == INVALID_SOCKET) return;
  ResetAndClose(socket_);
  socket_ = INVALID_SOCKET;
}
