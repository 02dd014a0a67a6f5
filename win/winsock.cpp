#include "win/winsock.h"

#include <fcntl.h>
#include <netinet/tcp.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <limits>
#include <mutex>

namespace {

thread_local int t_lastError = 0;

template <typename Call>
auto RetryEintr(Call call) {
  decltype(call()) result;
  do {
    result = call();
  } while (result < 0 && errno == EINTR);
  return result;
}

int FailWith(int code) {
  WSASetLastError(code);
  return SOCKET_ERROR;
}

int FailFromErrno() { return FailWith(WsaErrorFromErrno(errno)); }

std::size_t CapLength(std::size_t length) {
  return std::min(length, static_cast<std::size_t>(std::numeric_limits<int>::max()));
}

// Linux answers EPIPE both after our own shutdown and after the peer reset
// the connection; WinSock tells the two apart.
int CodeForBrokenPipe(SOCKET s) {
  int type = 0;
  socklen_t typeLength = sizeof type;
  if (getsockopt(s, SOL_SOCKET, SO_TYPE, &type, &typeLength) == 0 && type != SOCK_STREAM) return WSAESHUTDOWN;
  tcp_info info{};
  socklen_t infoLength = sizeof info;
  if (getsockopt(s, IPPROTO_TCP, TCP_INFO, &info, &infoLength) == 0) {
    switch (info.tcpi_state) {
      case TCP_FIN_WAIT1:
      case TCP_FIN_WAIT2:
      case TCP_CLOSING:
      case TCP_LAST_ACK:
      case TCP_TIME_WAIT:
        return WSAESHUTDOWN;
      default:
        break;
    }
  }
  return WSAECONNRESET;
}

int FailSend(SOCKET s) {
  if (errno == EPIPE) return FailWith(CodeForBrokenPipe(s));
  return FailFromErrno();
}

sockaddr_in Remapped(const sockaddr_in& address) {
  sockaddr_in copy = address;
  copy.sin_port = htons(WsRemapPort(ntohs(address.sin_port)));
  return copy;
}

const sockaddr* AsSockAddr(const sockaddr_in& address) { return reinterpret_cast<const sockaddr*>(&address); }
sockaddr* AsSockAddr(sockaddr_in& address) { return reinterpret_cast<sockaddr*>(&address); }

// A blocking connect that a signal interrupted goes on in the kernel; wait for its end.
int FinishInterruptedConnect(SOCKET s) {
  pollfd p{s, POLLOUT, 0};
  if (WsPoll(std::span(&p, 1), -1) < 0) return SOCKET_ERROR;
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length) < 0) return FailFromErrno();
  if (error != 0) return FailWith(WsaErrorFromErrno(error));
  return 0;
}

int ReceiveMessage(SOCKET s, void* buffer, std::size_t length, int flags, sockaddr_in* from) {
  if (buffer == nullptr && length > 0) return FailWith(WSAEFAULT);
  iovec part{buffer, CapLength(length)};
  sockaddr_in source{};
  msghdr message{};
  message.msg_name = &source;
  message.msg_namelen = sizeof source;
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  const ssize_t n = RetryEintr([&] { return recvmsg(s, &message, flags); });
  if (n < 0) return FailFromErrno();
  if (from != nullptr) *from = message.msg_namelen >= sizeof source ? source : sockaddr_in{};
  // Windows drops the rest of an oversized datagram and says so; silent truncation would lose data unseen.
  if ((message.msg_flags & MSG_TRUNC) != 0) return FailWith(WSAEMSGSIZE);
  return static_cast<int>(n);
}

struct StartupState {
  std::mutex mutex;
  int startups = 0;
  bool overridden = false;
  int result = 0;
  WORD granted = 0;
};

StartupState& Startup() {
  static StartupState state;
  return state;
}

constexpr WORD kHighestVersion = MAKEWORD(2, 2);

void CopyText(std::span<char> field, std::string_view text) {
  const std::size_t n = std::min(text.size(), field.size() - 1);
  std::copy_n(text.begin(), n, field.begin());
  field[n] = '\0';
}

struct ErrorName {
  int code;
  const char* name;
};

constexpr std::array kErrorNames{
    ErrorName{WSAEINTR, "WSAEINTR"},
    ErrorName{WSAEBADF, "WSAEBADF"},
    ErrorName{WSAEACCES, "WSAEACCES"},
    ErrorName{WSAEFAULT, "WSAEFAULT"},
    ErrorName{WSAEINVAL, "WSAEINVAL"},
    ErrorName{WSAEMFILE, "WSAEMFILE"},
    ErrorName{WSAEWOULDBLOCK, "WSAEWOULDBLOCK"},
    ErrorName{WSAEINPROGRESS, "WSAEINPROGRESS"},
    ErrorName{WSAEALREADY, "WSAEALREADY"},
    ErrorName{WSAENOTSOCK, "WSAENOTSOCK"},
    ErrorName{WSAEDESTADDRREQ, "WSAEDESTADDRREQ"},
    ErrorName{WSAEMSGSIZE, "WSAEMSGSIZE"},
    ErrorName{WSAEPROTOTYPE, "WSAEPROTOTYPE"},
    ErrorName{WSAENOPROTOOPT, "WSAENOPROTOOPT"},
    ErrorName{WSAEPROTONOSUPPORT, "WSAEPROTONOSUPPORT"},
    ErrorName{WSAESOCKTNOSUPPORT, "WSAESOCKTNOSUPPORT"},
    ErrorName{WSAEOPNOTSUPP, "WSAEOPNOTSUPP"},
    ErrorName{WSAEPFNOSUPPORT, "WSAEPFNOSUPPORT"},
    ErrorName{WSAEAFNOSUPPORT, "WSAEAFNOSUPPORT"},
    ErrorName{WSAEADDRINUSE, "WSAEADDRINUSE"},
    ErrorName{WSAEADDRNOTAVAIL, "WSAEADDRNOTAVAIL"},
    ErrorName{WSAENETDOWN, "WSAENETDOWN"},
    ErrorName{WSAENETUNREACH, "WSAENETUNREACH"},
    ErrorName{WSAENETRESET, "WSAENETRESET"},
    ErrorName{WSAECONNABORTED, "WSAECONNABORTED"},
    ErrorName{WSAECONNRESET, "WSAECONNRESET"},
    ErrorName{WSAENOBUFS, "WSAENOBUFS"},
    ErrorName{WSAEISCONN, "WSAEISCONN"},
    ErrorName{WSAENOTCONN, "WSAENOTCONN"},
    ErrorName{WSAESHUTDOWN, "WSAESHUTDOWN"},
    ErrorName{WSAETIMEDOUT, "WSAETIMEDOUT"},
    ErrorName{WSAECONNREFUSED, "WSAECONNREFUSED"},
    ErrorName{WSAELOOP, "WSAELOOP"},
    ErrorName{WSAENAMETOOLONG, "WSAENAMETOOLONG"},
    ErrorName{WSAEHOSTDOWN, "WSAEHOSTDOWN"},
    ErrorName{WSAEHOSTUNREACH, "WSAEHOSTUNREACH"},
    ErrorName{WSASYSNOTREADY, "WSASYSNOTREADY"},
    ErrorName{WSAVERNOTSUPPORTED, "WSAVERNOTSUPPORTED"},
    ErrorName{WSANOTINITIALISED, "WSANOTINITIALISED"},
    ErrorName{WSAEDISCON, "WSAEDISCON"},
    ErrorName{WSASYSCALLFAILURE, "WSASYSCALLFAILURE"},
    ErrorName{WSAHOST_NOT_FOUND, "WSAHOST_NOT_FOUND"},
    ErrorName{WSATRY_AGAIN, "WSATRY_AGAIN"},
    ErrorName{WSANO_RECOVERY, "WSANO_RECOVERY"},
    ErrorName{WSANO_DATA, "WSANO_DATA"},
};

}  // namespace

// ---- Start-up ----

int WSAStartup(WORD versionRequested, WSADATA* data) {
  StartupState& state = Startup();
  std::lock_guard lock(state.mutex);
  if (state.overridden && state.result != 0) return state.result;
  if (data == nullptr) return WSAEFAULT;
  *data = WSADATA{};
  data->wHighVersion = kHighestVersion;
  const BYTE major = LOBYTE(versionRequested);
  const BYTE minor = HIBYTE(versionRequested);
  if (major < 1) return WSAVERNOTSUPPORTED;
  const bool aboveHighest = major > 2 || (major == 2 && minor > 2);
  data->wVersion = state.overridden ? state.granted : (aboveHighest ? kHighestVersion : versionRequested);
  CopyText(data->szDescription, "POSIX sockets");
  CopyText(data->szSystemStatus, "Running");
  ++state.startups;
  return 0;
}

int WSACleanup() {
  StartupState& state = Startup();
  std::lock_guard lock(state.mutex);
  if (state.startups == 0) return FailWith(WSANOTINITIALISED);
  --state.startups;
  return 0;
}

void SetWsaStartupResultForTest(int result, WORD grantedVersion) {
  StartupState& state = Startup();
  std::lock_guard lock(state.mutex);
  state.overridden = true;
  state.result = result;
  state.granted = grantedVersion;
}

void ResetWsaStartupForTest() {
  StartupState& state = Startup();
  std::lock_guard lock(state.mutex);
  state.overridden = false;
  state.result = 0;
  state.granted = 0;
}

// ---- Errors ----

int WSAGetLastError() { return t_lastError; }
void WSASetLastError(int code) { t_lastError = code; }

int WsaErrorFromErrno(int errnoValue) {
  switch (errnoValue) {
    case 0: return 0;
    case EINTR: return WSAEINTR;
    case EBADF: return WSAENOTSOCK;
    case ENOTSOCK: return WSAENOTSOCK;
    case EACCES:
    case EPERM: return WSAEACCES;
    case EFAULT: return WSAEFAULT;
    case EINVAL: return WSAEINVAL;
    case EMFILE:
    case ENFILE: return WSAEMFILE;
    case EAGAIN: return WSAEWOULDBLOCK;
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK: return WSAEWOULDBLOCK;
#endif
    case EINPROGRESS: return WSAEINPROGRESS;
    case EALREADY: return WSAEALREADY;
    case EDESTADDRREQ: return WSAEDESTADDRREQ;
    case EMSGSIZE: return WSAEMSGSIZE;
    case EPROTOTYPE: return WSAEPROTOTYPE;
    case ENOPROTOOPT: return WSAENOPROTOOPT;
    case EPROTONOSUPPORT: return WSAEPROTONOSUPPORT;
    case ESOCKTNOSUPPORT: return WSAESOCKTNOSUPPORT;
    case EOPNOTSUPP: return WSAEOPNOTSUPP;
    case EPFNOSUPPORT: return WSAEPFNOSUPPORT;
    case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
    case EADDRINUSE: return WSAEADDRINUSE;
    case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
    case ENETDOWN: return WSAENETDOWN;
    case ENETUNREACH: return WSAENETUNREACH;
    case ENETRESET: return WSAENETRESET;
    case ECONNABORTED: return WSAECONNABORTED;
    case ECONNRESET:
    case EPIPE: return WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM: return WSAENOBUFS;
    case EISCONN: return WSAEISCONN;
    case ENOTCONN: return WSAENOTCONN;
    case ESHUTDOWN: return WSAESHUTDOWN;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case ELOOP: return WSAELOOP;
    case ENAMETOOLONG: return WSAENAMETOOLONG;
    case EHOSTDOWN: return WSAEHOSTDOWN;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    default: return WSASYSCALLFAILURE;
  }
}

const char* WsaErrorName(int code) {
  const auto* found = std::find_if(kErrorNames.begin(), kErrorNames.end(), [code](const ErrorName& e) { return e.code == code; });
  return found != kErrorNames.end() ? found->name : nullptr;
}

// ---- Sockets ----

SOCKET WsSocket(int af, int type, int protocol) {
  const SOCKET s = socket(af, type | SOCK_CLOEXEC, protocol);
  if (s < 0) {
    FailFromErrno();
    return INVALID_SOCKET;
  }
  return s;
}

int closesocket(SOCKET s) {
  if (s < 0) return FailWith(WSAENOTSOCK);
  // Linux frees the descriptor even when close is interrupted: never retry it.
  if (close(s) < 0 && errno != EINTR) return FailFromErrno();
  return 0;
}

int WsShutdown(SOCKET s, int how) {
  if (shutdown(s, how) < 0) return FailFromErrno();
  return 0;
}

int WsConnect(SOCKET s, const sockaddr_in& address) {
  const sockaddr_in target = Remapped(address);
  if (connect(s, AsSockAddr(target), sizeof target) == 0) return 0;
  if (errno == EINTR) return FinishInterruptedConnect(s);
  if (errno == EINPROGRESS) return FailWith(WSAEWOULDBLOCK);
  return FailFromErrno();
}

int WsBind(SOCKET s, const sockaddr_in& address) {
  const sockaddr_in target = Remapped(address);
  if (bind(s, AsSockAddr(target), sizeof target) < 0) return FailFromErrno();
  return 0;
}

int WsListen(SOCKET s, int backlog) {
  if (listen(s, backlog) < 0) return FailFromErrno();
  return 0;
}

SOCKET WsAccept(SOCKET listening, sockaddr_in* peer) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  const SOCKET s = RetryEintr([&] { return accept4(listening, AsSockAddr(address), &length, SOCK_CLOEXEC); });
  if (s < 0) {
    FailFromErrno();
    return INVALID_SOCKET;
  }
  if (peer != nullptr) *peer = length >= sizeof address ? address : sockaddr_in{};
  return s;
}

int WsSetNonBlocking(SOCKET s, bool nonBlocking) {
  const int flags = fcntl(s, F_GETFL);
  if (flags < 0) return FailFromErrno();
  const int wanted = nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  if (wanted != flags && fcntl(s, F_SETFL, wanted) < 0) return FailFromErrno();
  return 0;
}

int WsSetReuseAddr(SOCKET s, bool on) { return WsSetSockOptInt(s, SOL_SOCKET, SO_REUSEADDR, on ? 1 : 0); }

int WsSend(SOCKET s, const void* data, std::size_t length, int flags) {
  if (data == nullptr && length > 0) return FailWith(WSAEFAULT);
  const ssize_t n = RetryEintr([&] { return send(s, data, CapLength(length), flags | MSG_NOSIGNAL); });
  if (n < 0) return FailSend(s);
  return static_cast<int>(n);
}

int WsSendTo(SOCKET s, const void* data, std::size_t length, int flags, const sockaddr_in& to) {
  if (data == nullptr && length > 0) return FailWith(WSAEFAULT);
  const ssize_t n =
      RetryEintr([&] { return sendto(s, data, CapLength(length), flags | MSG_NOSIGNAL, AsSockAddr(to), sizeof to); });
  if (n < 0) return FailSend(s);
  return static_cast<int>(n);
}

int WsRecv(SOCKET s, void* buffer, std::size_t length, int flags) { return ReceiveMessage(s, buffer, length, flags, nullptr); }

int WsRecvFrom(SOCKET s, void* buffer, std::size_t length, int flags, sockaddr_in* from) {
  return ReceiveMessage(s, buffer, length, flags, from);
}

int WsGetSockOptInt(SOCKET s, int level, int name, int* value) {
  if (value == nullptr) return FailWith(WSAEFAULT);
  int read = 0;
  socklen_t length = sizeof read;
  if (getsockopt(s, level, name, &read, &length) < 0) return FailFromErrno();
  if (level == SOL_SOCKET && (name == SO_RCVBUF || name == SO_SNDBUF)) read /= 2;
  *value = read;
  return 0;
}

int WsSetSockOptInt(SOCKET s, int level, int name, int value) {
  if (setsockopt(s, level, name, &value, sizeof value) < 0) return FailFromErrno();
  return 0;
}

int WsGetPeerName(SOCKET s, sockaddr_in* address) {
  if (address == nullptr) return FailWith(WSAEFAULT);
  sockaddr_in read{};
  socklen_t length = sizeof read;
  if (getpeername(s, AsSockAddr(read), &length) < 0) return FailFromErrno();
  *address = read;
  return 0;
}

int WsGetSockName(SOCKET s, sockaddr_in* address) {
  if (address == nullptr) return FailWith(WSAEFAULT);
  sockaddr_in read{};
  socklen_t length = sizeof read;
  if (getsockname(s, AsSockAddr(read), &length) < 0) return FailFromErrno();
  *address = read;
  return 0;
}

int WsGetHostName(char* buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) return FailWith(WSAEFAULT);
  std::array<char, 256> name{};
  if (gethostname(name.data(), name.size() - 1) < 0) return FailFromErrno();
  const std::size_t length = strnlen(name.data(), name.size() - 1);
  if (length + 1 > size) return FailWith(WSAEFAULT);
  std::memcpy(buffer, name.data(), length);
  buffer[length] = '\0';
  return 0;
}

// ---- Readiness ----

int WsPoll(std::span<pollfd> fds, int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  int wait = timeoutMs;
  for (;;) {
    const int r = poll(fds.data(), static_cast<nfds_t>(fds.size()), wait);
    if (r >= 0) return r;
    if (errno != EINTR) return FailFromErrno();
    if (timeoutMs >= 0) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      wait = static_cast<int>(std::max<decltype(left)>(left, 0));
    }
  }
}

int WsWaitReadable(SOCKET s, int wakeFd, int timeoutMs) {
  std::array<pollfd, 2> fds{pollfd{s, POLLIN, 0}, pollfd{wakeFd, POLLIN, 0}};
  const int r = WsPoll(fds, timeoutMs);
  if (r < 0) return -1;
  if (((fds[0].revents | fds[1].revents) & POLLNVAL) != 0) {
    WSASetLastError(WSAENOTSOCK);
    return -1;
  }
  int ready = 0;
  if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) ready |= WS_WAIT_SOCKET;
  if ((fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) ready |= WS_WAIT_WAKE;
  return ready;
}

sockaddr_in MakeSockAddrIPv4(std::uint32_t hostOrderAddress, std::uint16_t hostOrderPort) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(hostOrderPort);
  address.sin_addr.s_addr = htonl(hostOrderAddress);
  return address;
}
