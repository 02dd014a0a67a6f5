// The listening TCP socket of the process and the Listener thread that hands
// each incoming call to a free peer way.
#pragma once

#include <cstdint>
#include <string>

#include "base/base_thread.h"
#include "win/winsock.h"

inline constexpr WORD kDefaultOrvenaPort = 55009;
// How long the Listener waits for a way to take a call.
inline constexpr DWORD kAcceptAnswerMs = 3'000;

// 0, or -1 (no socket), -330 (bind failed, with a "TK" box), -331 / -332
// (SO_SNDBUF / SO_RCVBUF not readable, with a "Warning" box), -5 (listen failed).
std::int32_t CreateListeningSocket(WORD port);
// Clears the listening flag and closes the socket, which ends the Listener's wait.
void CloseListeningSocket();
bool IsListening();
SOCKET ListeningSocket();
// The port actually bound (after any test remap), 0 when none.
WORD ListeningPort();
// The own LAN address found at the last bind ("LanIpAddress" in memory).
std::string LanIpAddress();
int ListeningSendBufferSize();
int ListeningRecvBufferSize();

// 1 accepted, 0 refused (no free way: the call is accepted and closed), -1 accept failed.
std::int32_t AcceptIncomingConnection();

class Listener : public CBaseThread {
 public:
  explicit Listener(void* ownerSlot = nullptr, const char* name = "Listener", DWORD kind = 0)
      : CBaseThread(ownerSlot, name, kind) {}
  ~Listener() override;
  DWORD VTFX(DWORD argument) override;
  DWORD ProcessMessage(const DMessage&) override { return 1; }
};
