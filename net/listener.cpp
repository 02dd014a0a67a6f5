#include "net/listener.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <mutex>

#include "base/klib_settings.h"
#include "base/klib_trace.h"
#include "base/message_box.h"
#include "net/orv_sok.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "win/clock.h"

namespace {
constexpr DWORD kNotListeningWaitMs = 300;
constexpr int kSelectWaitMs = 1'000;
constexpr DWORD kSelectRetryMs = 500;
constexpr DWORD kSelectFailureLimitMs = 5'000;

struct ListeningState {
  std::mutex mutex;
  std::atomic<SOCKET> socket{INVALID_SOCKET};
  std::atomic<bool> listening{false};
  std::atomic<WORD> port{0};
  std::string lanAddress;
  std::atomic<int> sendBufferSize{0};
  std::atomic<int> recvBufferSize{0};
};

ListeningState& State() {
  // Never destroyed: the Listener is not joined at exit.
  static auto* state = new ListeningState();
  return *state;
}

const char* BindErrorText(int error) {
  switch (error) {
    case WSANOTINITIALISED:
      return "%s : Error WSANOTINITIALISED";
    case WSAENETDOWN:
      return "%s : Error WSAENETDOWN";
    case WSAEADDRINUSE:
      return "%s : Error WSAEADDRINUSE";
    case WSAEADDRNOTAVAIL:
      return "%s : Error WSAEADDRNOTAVAIL";
    case WSAEFAULT:
      return "%s : Error WSAEFAULT";
    case WSAEINPROGRESS:
      return "%s : Error WSAEINPROGRESS";
    case WSAEINVAL:
      return "%s : Error WSAEINVAL";
    case WSAENOBUFS:
      return "%s : Error WSAENOBUFS";
    case WSAENOTSOCK:
      return "%s : Error WSAENOTSOCK";
    default:
      return nullptr;
  }
}

void FindLanAddress() {
  std::array<char, 256> host{};
  std::string text;
  in_addr address{};
  if (WsGetHostName(host.data(), host.size()) == 0 && ResolveHostIPv4(host.data(), &address) == 0) {
    std::array<char, INET_ADDRSTRLEN> dotted{};
    if (inet_ntop(AF_INET, &address, dotted.data(), static_cast<socklen_t>(dotted.size())) != nullptr) {
      text = dotted.data();
    }
  }
  std::lock_guard lock(State().mutex);
  State().lanAddress = text;
}

void ChatError(const char* text) { KlibMainTraceLine(Klib().Colour(kColourError), "%s", text); }
}  // namespace

std::int32_t CreateListeningSocket(WORD port) {
  ListeningState& state = State();
  const SOCKET s = WsSocket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return -1;
  WsSetReuseAddr(s, true);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(port);
  if (WsBind(s, address) != 0) {
    const int error = WSAGetLastError();
    std::array<char, 64> what{};
    std::snprintf(what.data(), what.size(), "binding TCP port %d", static_cast<int>(port));
    if (const char* format = BindErrorText(error)) {
      ShowMessage("TK", format, what.data());
    } else {
      ShowMessage("TK", "%s : Error WHATS : %d", what.data(), error);
    }
    closesocket(s);
    return -330;
  }
  FindLanAddress();
  int value = 0;
  if (WsGetSockOptInt(s, SOL_SOCKET, SO_SNDBUF, &value) != 0) {
    ShowMessage("Warning", "getsockopt() failed SO_SNDBUF");
    closesocket(s);
    return -331;
  }
  state.sendBufferSize.store(value);
  if (WsGetSockOptInt(s, SOL_SOCKET, SO_RCVBUF, &value) != 0) {
    ShowMessage("Warning", "getsockopt() failed SO_RCVBUF");
    closesocket(s);
    return -332;
  }
  state.recvBufferSize.store(value);
  if (WsListen(s, SOMAXCONN) != 0) {
    closesocket(s);
    return -5;
  }
  // A call that vanishes between the wait and the accept must not block the way.
  WsSetNonBlocking(s, true);
  sockaddr_in bound{};
  WsGetSockName(s, &bound);
  state.port.store(ntohs(bound.sin_port));
  state.socket.store(s);
  state.listening.store(true, std::memory_order_release);
  return 0;
}

void CloseListeningSocket() {
  ListeningState& state = State();
  state.listening.store(false, std::memory_order_release);
  const SOCKET s = state.socket.exchange(INVALID_SOCKET);
  if (s != INVALID_SOCKET) {
    WsShutdown(s, SD_BOTH);
    closesocket(s);
  }
  state.port.store(0);
}

bool IsListening() { return State().listening.load(std::memory_order_acquire); }
SOCKET ListeningSocket() { return State().socket.load(); }
WORD ListeningPort() { return State().port.load(); }
int ListeningSendBufferSize() { return State().sendBufferSize.load(); }
int ListeningRecvBufferSize() { return State().recvBufferSize.load(); }

std::string LanIpAddress() {
  std::lock_guard lock(State().mutex);
  return State().lanAddress;
}

// The table is held only to allocate (AllocatePeerWay posts nothing), never
// while a way is waited for: the way clears its own record under the same
// lock when it cannot take the call. The call is accepted here, on the thread
// that owns the listening socket, so that no way ever uses a listening
// descriptor that a rebind may have closed or reused in the meantime.
std::int32_t AcceptIncomingConnection() {
  const SOCKET listening = ListeningSocket();
  std::int32_t way = -1;
  COrvSok* object = nullptr;
  {
    WayTableGuard guard;
    way = AllocatePeerWay(nullptr);
    if (way >= 0) object = WayTable()[static_cast<std::size_t>(way)].way;
  }
  if (way < 0) {
    std::array<char, 96> text{};
    std::snprintf(text.data(), text.size(), "Warning (%d) : Can't accept more connections. Maximum reached !",
                  static_cast<int>(way));
    ChatError(text.data());
    const SOCKET call = WsAccept(listening, nullptr);
    if (call != INVALID_SOCKET) closesocket(call);
    return 0;
  }
  const SOCKET call = object != nullptr ? WsAccept(listening, nullptr) : INVALID_SOCKET;
  const std::int32_t taken = call != INVALID_SOCKET ? object->HandAcceptedCall(call, kAcceptAnswerMs) : 0;
  if (taken != 1) {
    // A way that took the call clears its record itself when it fails.
    if (taken == 0) ClearWayRecord(way, "ACCN");
    std::array<char, 96> text{};
    std::snprintf(text.data(), text.size(), "Error when trying to accept incoming call on socket number %d",
                  static_cast<int>(way));
    ChatError(text.data());
    return -1;
  }
  return 1;
}

Listener::~Listener() {
  if (Started()) {
    RequestStop(ExitCode());
    WaitForEnd(10'000);
  }
}

DWORD Listener::VTFX(DWORD) {
  DWORD failingSince = 0;
  bool failing = false;
  while (!StopRequested() && !Klib().Exiting()) {
    DMessage message;
    while (PopMessage(message) != 0) {
      ProcessMessage(message);
      DropPendingPayload();
    }
    if (!IsListening()) {
      WaitForMessage(static_cast<int>(kNotListeningWaitMs));
      continue;
    }
    const int ready = WsWaitReadable(ListeningSocket(), QueueWakeFd(), kSelectWaitMs);
    if (ready < 0) {
      if (!IsListening()) continue;  // closed by the quit sequence or a rebind
      const DWORD now = GetTickCount();
      if (!failing) {
        failing = true;
        failingSince = now;
      }
      if (now - failingSince >= kSelectFailureLimitMs) {
        TraceLine("\r\n\t\tError Main Socket on select() : %d", WSAGetLastError());
        return 0;
      }
      WaitForMessage(static_cast<int>(kSelectRetryMs));
      continue;
    }
    failing = false;
    if ((ready & WS_WAIT_SOCKET) != 0 && IsListening()) {
      if (AcceptIncomingConnection() < 1) ChatError("\r\n\t\t CAN'T ACCEPT MORE CONNECTIONS !");
    }
  }
  return 0;
}
