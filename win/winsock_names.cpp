// Host names, services and dotted addresses.
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <strings.h>

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "win/winsock.h"

namespace {

int Fail(int code) {
  WSASetLastError(code);
  return code;
}

int CodeForAddrInfoError(int error) {
  switch (error) {
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
    case EAI_FAMILY:
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
      return WSAHOST_NOT_FOUND;
    case EAI_AGAIN:
      return WSATRY_AGAIN;
    case EAI_MEMORY:
      return WSAENOBUFS;
    default:
      return WSANO_RECOVERY;
  }
}

int LookUpIPv4(const char* host, in_addr* out) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int error = getaddrinfo(host, nullptr, &hints, &found);
  if (error != 0) return CodeForAddrInfoError(error);
  const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(found, &freeaddrinfo);
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    if (a->ai_family == AF_INET && a->ai_addrlen >= sizeof(sockaddr_in)) {
      *out = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr;
      return 0;
    }
  }
  return WSAHOST_NOT_FOUND;
}

// Peers are told this address, so a loopback one (what /etc/hosts often gives
// for the own name) would be useless to them.
std::optional<in_addr> FirstInterfaceAddress() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return std::nullopt;
  const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, &freeifaddrs);
  for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
    if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
    if ((i->ifa_flags & IFF_UP) == 0 || (i->ifa_flags & IFF_LOOPBACK) != 0) continue;
    return reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr;
  }
  return std::nullopt;
}

bool IsOwnHost(const char* host) {
  if (host == nullptr || host[0] == '\0') return true;
  std::array<char, 256> own{};
  return WsGetHostName(own.data(), own.size()) == 0 && strcasecmp(own.data(), host) == 0;
}

in_addr OwnHostAddress() {
  if (const auto address = FirstInterfaceAddress()) return *address;
  std::array<char, 256> own{};
  in_addr address{};
  if (WsGetHostName(own.data(), own.size()) == 0 && LookUpIPv4(own.data(), &address) == 0) return address;
  address.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

int ResolveHostIPv4(const char* host, in_addr* out) {
  if (out == nullptr) return Fail(WSAEFAULT);
  if (IsOwnHost(host)) {
    *out = OwnHostAddress();
    return 0;
  }
  std::uint32_t dotted = 0;
  if (ParseDottedIPv4Strict(host, &dotted)) {
    out->s_addr = dotted;
    return 0;
  }
  const int result = LookUpIPv4(host, out);
  return result == 0 ? 0 : Fail(result);
}

int LookupTcpServicePort(const char* service, std::uint16_t* portNetOrder) {
  if (service == nullptr || portNetOrder == nullptr) return Fail(WSAEFAULT);
  if (service[0] == '\0') return Fail(WSANO_DATA);
  servent entry{};
  servent* found = nullptr;
  std::vector<char> scratch(1024);
  int error = 0;
  // The database line may be longer than the scratch space; grow it a few times at most.
  for (int attempt = 0; attempt < 6; ++attempt) {
    error = getservbyname_r(service, "tcp", &entry, scratch.data(), scratch.size(), &found);
    if (error != ERANGE) break;
    scratch.resize(scratch.size() * 4);
  }
  if (error != 0 || found == nullptr) return Fail(WSANO_DATA);
  *portNetOrder = static_cast<std::uint16_t>(found->s_port);
  return 0;
}

bool ParseDottedIPv4Strict(std::string_view text, std::uint32_t* netOrder) {
  if (netOrder == nullptr) return false;
  std::uint32_t value = 0;
  std::size_t at = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (at >= text.size() || text[at] != '.') return false;
      ++at;
    }
    const std::size_t start = at;
    unsigned number = 0;
    while (at < text.size() && at - start < 3 && text[at] >= '0' && text[at] <= '9') {
      number = number * 10 + static_cast<unsigned>(text[at] - '0');
      ++at;
    }
    const std::size_t digits = at - start;
    // A leading zero reads as octal to inet_addr; refuse it rather than disagree.
    if (digits == 0 || (digits > 1 && text[start] == '0') || number > 255) return false;
    value = (value << 8) | number;
  }
  if (at != text.size()) return false;
  *netOrder = htonl(value);
  return true;
}

std::string FormatDottedIPv4(std::uint32_t netOrder) {
  const std::uint32_t value = ntohl(netOrder);
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    if (!text.empty()) text += '.';
    text += std::to_string((value >> shift) & 0xFF);
  }
  return text;
}
