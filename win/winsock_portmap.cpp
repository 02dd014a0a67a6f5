// TK_PORTMAP: lets an unprivileged test serve the fixed ports of the design.
#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "win/winsock.h"

namespace {

using PortPair = std::pair<std::uint16_t, std::uint16_t>;

struct PortMap {
  std::mutex mutex;
  bool loaded = false;
  std::vector<PortPair> pairs;
};

PortMap& Map() {
  static PortMap map;
  return map;
}

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::optional<std::uint16_t> ParsePort(std::string_view text) {
  text = Trim(text);
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  if (value == 0 || value > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

std::vector<PortPair> Parse(std::string_view text) {
  std::vector<PortPair> pairs;
  while (!text.empty()) {
    const auto comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
    const auto equals = item.find('=');
    if (equals == std::string_view::npos) continue;
    const auto from = ParsePort(item.substr(0, equals));
    const auto to = ParsePort(item.substr(equals + 1));
    if (!from || !to) continue;
    const bool known = std::any_of(pairs.begin(), pairs.end(), [&](const PortPair& p) { return p.first == *from; });
    if (!known) pairs.emplace_back(*from, *to);
  }
  return pairs;
}

void LoadLocked(PortMap& map) {
  const char* text = std::getenv("TK_PORTMAP");
  map.pairs = text != nullptr ? Parse(text) : std::vector<PortPair>{};
  map.loaded = true;
}

}  // namespace

std::uint16_t WsRemapPort(std::uint16_t hostOrderPort) {
  PortMap& map = Map();
  std::lock_guard lock(map.mutex);
  if (!map.loaded) LoadLocked(map);
  for (const auto& [from, to] : map.pairs) {
    if (from == hostOrderPort) return to;
  }
  return hostOrderPort;
}

void ReloadPortMapForTest() {
  PortMap& map = Map();
  std::lock_guard lock(map.mutex);
  LoadLocked(map);
}
