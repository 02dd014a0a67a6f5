// A far side that keeps its TCP link open but reads nothing: its receive
// buffer shrunk to the least the system allows, so that the caller's sends
// soon cannot move a byte. It reads only when told to, and tells how the
// caller ended the link. 127.0.0.1 only; every wait is bounded.
#pragma once

#include <cstddef>
#include <cstdint>

#include "win/winsock.h"

// The receive buffer asked for; the system rounds it up to its least.
inline constexpr int kNonReadingPeerReceiveBuffer = 1;

// Shrinks a socket's receive buffer; on a socket that is to call, before the connect.
bool ShrinkReceiveBuffer(SOCKET s);

class NonReadingPeer {
 public:
  enum class End { kOpen, kClosed, kReset };

  // Listens on an ephemeral port of 127.0.0.1.
  NonReadingPeer();
  ~NonReadingPeer();
  NonReadingPeer(const NonReadingPeer&) = delete;
  NonReadingPeer& operator=(const NonReadingPeer&) = delete;

  bool Ok() const { return listening_ != INVALID_SOCKET; }
  std::uint16_t Port() const { return port_; }
  // Takes the caller's call.
  bool Accept(int timeoutMs);
  // Reads what is waiting, up to `count` bytes (the caller can move again); the bytes read.
  std::size_t ReadSome(std::size_t count, int timeoutMs);
  // Waits for the caller to end the link, dropping whatever it sent.
  End WaitForEnd(int timeoutMs);

 private:
  SOCKET listening_ = INVALID_SOCKET;
  SOCKET link_ = INVALID_SOCKET;
  std::uint16_t port_ = 0;
};

// Waits for the far side to end the link on `s`, reading nothing before the
// end shows (a read would let a stalled sender move again).
NonReadingPeer::End WaitForUnreadLinkEnd(SOCKET s, int timeoutMs);
