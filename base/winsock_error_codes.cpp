#include "base/winsock_error_codes.h"

#include <array>
#include <utility>

#include "win/winsock.h"

namespace {
constexpr int kOtherError = 1000;

constexpr std::array<std::pair<int, int>, 14> kSendTable{{
    {WSANOTINITIALISED, 10},
    {WSAENETDOWN, 20},
    {WSAEACCES, 30},
    {WSAEINTR, 40},
    {WSAEFAULT, 60},
    {WSAENETRESET, 70},
    {WSAENOTCONN, 90},
    {WSAENOTSOCK, 100},
    {WSAEOPNOTSUPP, 110},
    {WSAESHUTDOWN, 120},
    {WSAEMSGSIZE, 140},
    {WSAEHOSTUNREACH, 150},
    {WSAEINVAL, 160},
    {WSAETIMEDOUT, 190},
}};

// Errors the send loops retry or report with their own codes; their traces name them too.
constexpr std::array<int, 5> kSendLoopErrors{WSAEWOULDBLOCK, WSAECONNABORTED, WSAECONNRESET, WSAEINPROGRESS,
                                             WSAENOBUFS};

constexpr std::array<int, 6> kCloseErrors{WSAEINTR,    WSAEWOULDBLOCK, WSAEINPROGRESS,
                                          WSAENOTSOCK, WSAENETDOWN,    WSANOTINITIALISED};

template <std::size_t N>
constexpr bool Contains(const std::array<int, N>& list, int value) {
  for (int item : list) {
    if (item == value) return true;
  }
  return false;
}
}  // namespace

int SendErrorCode(int wsaError) {
  for (const auto& [error, code] : kSendTable) {
    if (error == wsaError) return code;
  }
  return kOtherError;
}

int SocketCheckErrorCode(int wsaError) { return wsaError == WSAENOPROTOOPT ? 30 : SendErrorCode(wsaError); }

const char* SendErrorName(int wsaError) {
  if (SendErrorCode(wsaError) == kOtherError && !Contains(kSendLoopErrors, wsaError)) return nullptr;
  return WsaErrorName(wsaError);
}

const char* CloseErrorName(int wsaError) {
  const char* name = Contains(kCloseErrors, wsaError) ? WsaErrorName(wsaError) : nullptr;
  return name != nullptr ? name : "WHATISTHIS";
}
