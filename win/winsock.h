// Sockets under the WinSock names, on POSIX sockets.
// Every wrapper retries EINTR, never raises SIGPIPE, and on failure leaves
// the WinSock code of the errno in the calling thread's last error.
// Successful calls leave the last error as it was, as on Windows.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "win/types.h"

using SOCKET = int;
constexpr SOCKET INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;

constexpr int SD_RECEIVE = SHUT_RD;
constexpr int SD_SEND = SHUT_WR;
constexpr int SD_BOTH = SHUT_RDWR;
static_assert(SD_RECEIVE == 0 && SD_SEND == 1 && SD_BOTH == 2);

constexpr WORD MAKEWORD(BYTE low, BYTE high) { return static_cast<WORD>(low | (high << 8)); }

// ---- Start-up ----

constexpr std::size_t WSADESCRIPTION_LEN = 256;
constexpr std::size_t WSASYS_STATUS_LEN = 128;

struct WSADATA {
  WORD wVersion = 0;
  WORD wHighVersion = 0;
  char szDescription[WSADESCRIPTION_LEN + 1] = {};
  char szSystemStatus[WSASYS_STATUS_LEN + 1] = {};
  unsigned short iMaxSockets = 0;
  unsigned short iMaxUdpDg = 0;
};

// 0 and the granted version (the lower of the requested one and 2.2) in data;
// a WinSock code otherwise (WSAVERNOTSUPPORTED below 1.0, WSAEFAULT for null data).
int WSAStartup(WORD versionRequested, WSADATA* data);
// 0, or SOCKET_ERROR with WSANOTINITIALISED when more cleanups than start-ups.
int WSACleanup();

// Start-up tests: every following WSAStartup answers `result` (no data
// written when non-zero) or grants `grantedVersion`. Reset restores the real behaviour.
void SetWsaStartupResultForTest(int result, WORD grantedVersion);
void ResetWsaStartupForTest();

// ---- Errors ----

constexpr int WSABASEERR = 10000;
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEDESTADDRREQ = 10039;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEPROTOTYPE = 10041;
constexpr int WSAENOPROTOOPT = 10042;
constexpr int WSAEPROTONOSUPPORT = 10043;
constexpr int WSAESOCKTNOSUPPORT = 10044;
constexpr int WSAEOPNOTSUPP = 10045;
constexpr int WSAEPFNOSUPPORT = 10046;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAENETRESET = 10052;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAELOOP = 10062;
constexpr int WSAENAMETOOLONG = 10063;
constexpr int WSAEHOSTDOWN = 10064;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSASYSNOTREADY = 10091;
constexpr int WSAVERNOTSUPPORTED = 10092;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAEDISCON = 10101;
constexpr int WSASYSCALLFAILURE = 10107;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;

// Per thread.
int WSAGetLastError();
void WSASetLastError(int code);

// The WinSock code for an errno; WSASYSCALLFAILURE for one WinSock has no name for.
int WsaErrorFromErrno(int errnoValue);
// "WSAEADDRINUSE" and the like; nullptr for a code outside the table, so
// each caller picks its own word for the unknown.
const char* WsaErrorName(int code);
inline const char* WsaErrorNameOr(int code, const char* unknown) {
  const char* name = WsaErrorName(code);
  return name != nullptr ? name : unknown;
}

// ---- Sockets ----

// socket() with close-on-exec, so programs we launch never inherit a connection.
SOCKET WsSocket(int af, int type, int protocol);
int closesocket(SOCKET s);
int WsShutdown(SOCKET s, int how);

// Connect and bind apply the TK_PORTMAP port remap. A non-blocking connect
// that has begun fails with WSAEWOULDBLOCK, as on Windows.
int WsConnect(SOCKET s, const sockaddr_in& address);
int WsBind(SOCKET s, const sockaddr_in& address);
int WsListen(SOCKET s, int backlog);
// The accepted socket is close-on-exec and blocking, whatever the listening
// socket's mode. `peer` may be null.
SOCKET WsAccept(SOCKET listening, sockaddr_in* peer);

int WsSetNonBlocking(SOCKET s, bool nonBlocking);
int WsSetReuseAddr(SOCKET s, bool on = true);

// Byte counts are capped at INT_MAX per call (a partial send, as send() may give).
// A datagram longer than the buffer fails with WSAEMSGSIZE (the buffer keeps its start).
int WsSend(SOCKET s, const void* data, std::size_t length, int flags);
int WsSendTo(SOCKET s, const void* data, std::size_t length, int flags, const sockaddr_in& to);
int WsRecv(SOCKET s, void* buffer, std::size_t length, int flags);
int WsRecvFrom(SOCKET s, void* buffer, std::size_t length, int flags, sockaddr_in* from);

// SO_RCVBUF and SO_SNDBUF read back the size that was set, as on Windows
// (Linux reports twice that, the rest being its own book-keeping).
int WsGetSockOptInt(SOCKET s, int level, int name, int* value);
int WsSetSockOptInt(SOCKET s, int level, int name, int value);

int WsGetPeerName(SOCKET s, sockaddr_in* address);
int WsGetSockName(SOCKET s, sockaddr_in* address);
// Always terminated; WSAEFAULT when the name does not fit.
int WsGetHostName(char* buffer, std::size_t size);

// ---- Readiness ----

// poll() that resumes after a signal with the time that is left.
int WsPoll(std::span<pollfd> fds, int timeoutMs);

constexpr int WS_WAIT_SOCKET = 1;  // readable, hung up or in error: a recv will not block
constexpr int WS_WAIT_WAKE = 2;    // the wake descriptor is readable
// Waits for the socket and/or a wake descriptor (an eventfd; -1 for none;
// a socket of -1 waits on the wake descriptor alone). Bits above, 0 on
// timeout, -1 on error (WSAENOTSOCK for a closed descriptor).
int WsWaitReadable(SOCKET s, int wakeFd, int timeoutMs);

// ---- Port remap for tests ----

// TK_PORTMAP="80=18080,55009=23456": connect and bind to the left port go to
// the right one. Read once; pairs that are not two ports 1..65535 are ignored,
// and the first pair for a port wins.
std::uint16_t WsRemapPort(std::uint16_t hostOrderPort);
void ReloadPortMapForTest();

// ---- Names and addresses ----

// getaddrinfo, IPv4. Empty or null host, or this machine's own name: its
// first non-loopback interface address, as Windows answers (loopback when
// there is none). 0, or
// WSAHOST_NOT_FOUND / WSATRY_AGAIN / WSANO_RECOVERY (also left as the last error).
int ResolveHostIPv4(const char* host, in_addr* out);
// Port of a TCP service from the services database. 0 or WSANO_DATA.
int LookupTcpServicePort(const char* service, std::uint16_t* portNetOrder);

// Exactly four decimal parts 0..255 joined by dots; no sign, space, empty
// part, leading zero, hex or trailing text. "255.255.255.255" is valid.
bool ParseDottedIPv4Strict(std::string_view text, std::uint32_t* netOrder);
std::string FormatDottedIPv4(std::uint32_t netOrder);

// A sockaddr_in for an IPv4 address and port, both in host order.
sockaddr_in MakeSockAddrIPv4(std::uint32_t hostOrderAddress, std::uint16_t hostOrderPort);
