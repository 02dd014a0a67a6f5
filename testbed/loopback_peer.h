// A far side for socket tests, on 127.0.0.1 only: a server that accepts and
// records, and a plain client. Every wait is bounded by a timeout.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "win/os_thread.h"
#include "win/winsock.h"

// Listens on an ephemeral port from construction to destruction; a
// background thread accepts every call and records what each one sends.
// Connections are numbered from 0 in the order they were accepted.
class LoopbackServer {
 public:
  static constexpr std::size_t kMaxConnections = 64;
  static constexpr std::size_t kMaxRecordedBytes = 16u << 20;  // per connection; beyond it bytes are counted only

  LoopbackServer();
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // False when the listening socket could not be made; nothing else works then.
  bool Ok() const { return listening_ != INVALID_SOCKET; }
  std::uint16_t Port() const { return port_; }

  std::size_t ConnectionCount() const;
  bool WaitForConnections(std::size_t count, int timeoutMs) const;

  // Bytes received so far on a connection (empty for an unknown one).
  std::string Received(std::size_t connection = 0) const;
  // Total bytes received, recorded or not.
  std::size_t ReceivedCount(std::size_t connection = 0) const;
  bool WaitForBytes(std::size_t count, int timeoutMs, std::size_t connection = 0) const;

  // True once the client closed its side or reset the connection.
  bool PeerClosed(std::size_t connection = 0) const;
  bool WaitForPeerClose(int timeoutMs, std::size_t connection = 0) const;

  // Sends everything or gives up after the timeout (a client that does not read).
  bool Send(std::string_view bytes, std::size_t connection = 0, int timeoutMs = 5000);
  // Abrupt: a reset (linger 0). Clean: our side shut, then closed.
  bool CloseAbruptly(std::size_t connection = 0);
  bool CloseCleanly(std::size_t connection = 0);

 private:
  struct Connection {
    SOCKET socket = INVALID_SOCKET;
    std::string received;
    std::size_t receivedCount = 0;
    bool peerClosed = false;
    std::mutex sending;  // held by Send and the closes, so a send never meets a closed descriptor
  };

  void Run();
  void AcceptPending();
  void ReadReady(Connection& connection);
  bool Close(std::size_t connection, bool abrupt);
  Connection* Find(std::size_t connection) const;
  template <typename Predicate>
  bool WaitUntil(int timeoutMs, Predicate predicate) const;

  SOCKET listening_ = INVALID_SOCKET;
  std::uint16_t port_ = 0;
  WakeEvent wake_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<std::unique_ptr<Connection>> connections_;
  std::vector<char> readBuffer_;  // used under mutex_
  bool stop_ = false;
  std::thread thread_;
};

// A blocking client socket to 127.0.0.1.
class LoopbackClient {
 public:
  LoopbackClient() = default;
  ~LoopbackClient();
  LoopbackClient(const LoopbackClient&) = delete;
  LoopbackClient& operator=(const LoopbackClient&) = delete;

  // Connects to 127.0.0.1:port (host order; TK_PORTMAP applies as to every
  // connect); false with the WinSock error in *error.
  bool Connect(std::uint16_t port, int* error = nullptr);
  bool Connected() const { return socket_ != INVALID_SOCKET; }
  SOCKET Socket() const { return socket_; }

  // Sends everything or gives up after the timeout (a peer that does not read).
  bool Send(std::string_view bytes, int timeoutMs = 5000);
  // Waits until `count` bytes arrived, the peer closed or the timeout passed;
  // gives what arrived.
  std::string Receive(std::size_t count, int timeoutMs);
  // True once a receive saw the end of the stream or a reset.
  bool PeerClosed() const { return peerClosed_; }

  void Close();
  void CloseAbruptly();

 private:
  SOCKET socket_ = INVALID_SOCKET;
  bool peerClosed_ = false;
};
