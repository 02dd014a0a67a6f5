// The network frame reader and its dispatch on each kind of way, through the
// way's own receive pass: the node way, a pilot's and a controller's peer way,
// and a caller on the listening port whose kind the first frame decides, each
// with the session open or closed. The way holds one end of a socket pair, so
// that its answers have somewhere to go; no thread runs it but the target's.
//
// The first byte picks the way (bits 0-1), the session (bit 2), whether the
// way is logged in (bit 3) and whether the far end is a trusted address
// (bit 4); the second the size of the pieces the stream arrives in.
#include <cstdint>
#include <memory>

#include "base/trusted_addresses.h"
#include "core/main_dialog_state.h"
#include "fuzz/way_fuzz_setup.h"
#include "net/node_way.h"
#include "net/orv_sok.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"

namespace {

enum class WayKind : std::uint8_t {
  kNode = 0,
  kPilot = 1,
  kController = 2,
  kUnknownCaller = 3,
};

using PeerWay = FuzzWay<COrvSok>;
using NodeWay = FuzzWay<CNodeWay>;

template <typename Way>
void Run(Way& way, std::span<const std::uint8_t> stream, std::size_t piece, bool loggedIn) {
  WaySocketPair sockets;
  if (!way.Link(sockets)) return;
  if (loggedIn) way.SetLoggedInBits(kWayLoggedIn | kWayLoggedInPeer);
  FeedWay(way, stream, piece, sockets);
  if (way.IsConnected()) way.OneSecond();
  sockets.DrainFarEnd();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietLibrary();
  SetUpWayLibrary();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  QuietLibrary();
  const auto kind = static_cast<WayKind>(data[0] & 3);
  const bool sessionOpen = (data[0] & 4) != 0;
  const bool loggedIn = (data[0] & 8) != 0;
  // The socket pair's far end has no IPv4 address: trusting 0.0.0.0 trusts it.
  ClearTrustedAddresses();
  if ((data[0] & 16) != 0) AddTrustedAddress(0, 0);
  g_sessionOpen.store(sessionOpen);
  const std::size_t piece = 1 + data[1] * 4;
  const auto stream = AsSpan(data + 2, size - 2);

  if (kind == WayKind::kNode) {
    NodeWay way(sessionOpen, nullptr);
    Run(way, stream, piece, loggedIn);
    return 0;
  }
  constexpr std::int32_t kWayId = 0;
  PeerWay way(sessionOpen, nullptr, kWayId, "[FUZZ WAY]", 1);
  {
    WayTableGuard guard;
    WayTable() = WayTableArray{};
    PeerWayRecord(kWayId)->way = &way;
  }
  if (kind == WayKind::kPilot) way.SetPeerKind('P');
  if (kind == WayKind::kController) way.SetPeerKind('A');
  Run(way, stream, piece, loggedIn);
  {
    WayTableGuard guard;
    WayTable() = WayTableArray{};
  }
  return 0;
}
