// The listening side shared by the stand-ins: a non-blocking socket on
// 127.0.0.1 (an ephemeral port unless one is given), accepts that a stop
// event ends at once, and bounded reads and writes of one connection.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "win/winsock.h"

class TcpListener {
 public:
  // Port 0: one the system picks. A given port goes through TK_PORTMAP, as every bind.
  explicit TcpListener(std::uint16_t port = 0);
  ~TcpListener();
  TcpListener(const TcpListener&) = delete;
  TcpListener& operator=(const TcpListener&) = delete;

  bool Ok() const { return socket_ != INVALID_SOCKET; }
  std::uint16_t Port() const { return port_; }
  // For a caller that polls the listener among other sockets.
  SOCKET Socket() const { return socket_; }
  // Waits up to timeoutMs for a caller; INVALID_SOCKET on timeout, and with
  // *stopped set when the stop descriptor became readable (or poll failed).
  SOCKET Accept(int stopFd, int timeoutMs, bool* stopped);

 private:
  SOCKET socket_ = INVALID_SOCKET;
  std::uint16_t port_ = 0;
};

namespace tcp_io {

using Clock = std::chrono::steady_clock;

// Milliseconds to the deadline, 0 once passed, at most a minute.
int MillisecondsLeft(Clock::time_point deadline);
// Linger 0: close() answers with a reset instead of an orderly end.
void ResetAndClose(SOCKET s);
// Sends everything, or false on error, timeout or a readable stop descriptor (-1: none).
bool SendAll(SOCKET s, std::string_view bytes, int timeoutMs, int stopFd);
// Reads a request head up to its blank line (CR LF CR LF, or LF LF), at most
// maxBytes; `head` is cut just after the blank line and true is returned.
// False on timeout, stop, close or an overlong head, with what arrived in `head`.
bool ReadHead(SOCKET s, std::string& head, std::size_t maxBytes, int timeoutMs, int stopFd);

}  // namespace tcp_io
