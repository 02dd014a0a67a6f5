#include "support/free_port.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

std::uint16_t FreeLoopbackPort() {
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  std::uint16_t port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0)
    port = ntohs(address.sin_port);
  close(s);
  return port;
}
