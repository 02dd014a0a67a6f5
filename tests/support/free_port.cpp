#include "support/free_port.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <random>
#include <vector>

namespace {

struct PortRange {
  int low = 32768;
  int high = 60999;
};

PortRange OutgoingRange() {
  PortRange range;
  std::ifstream file("/proc/sys/net/ipv4/ip_local_port_range");
  int low = 0;
  int high = 0;
  if (file >> low >> high && low > 0 && high >= low && high <= 65535) range = {low, high};
  return range;
}

// Takes the port for this process: a bind without SO_REUSEADDR fails while
// another process holds it, so two test processes never draw the same port.
// The socket stays bound (never listening) until the process ends, with
// SO_REUSEADDR set after the bind, so that a listener that sets it too (the
// client, the stand-ins) can still bind the port.
bool Reserve(std::uint16_t port) {
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(port);
  const int on = 1;
  if (bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
    close(s);
    return false;
  }
  static std::mutex lock;
  static std::vector<int> held;
  const std::lock_guard guard(lock);
  held.push_back(s);
  return true;
}

}  // namespace

std::uint16_t FreeLoopbackPort() {
  const PortRange outgoing = OutgoingRange();
  // Below the outgoing range when there is room, else above it.
  const bool below = outgoing.low > 12000;
  const int low = below ? 10000 : outgoing.high + 1;
  const int high = below ? outgoing.low - 1 : 65535;
  if (high < low) return 0;
  // Tests run as many processes at once: each draws its own sequence.
  static std::atomic<unsigned> calls{0};
  std::mt19937 draw(static_cast<unsigned>(getpid()) * 7919u + calls.fetch_add(1) * 104729u +
                    static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::uniform_int_distribution<int> pick(low, high);
  for (int attempt = 0; attempt < 500; ++attempt) {
    const auto port = static_cast<std::uint16_t>(pick(draw));
    if (Reserve(port)) return port;
  }
  return 0;
}
