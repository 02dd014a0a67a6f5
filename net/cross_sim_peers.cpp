#include "net/cross_sim_peers.h"

#include <array>

#include "core/sim_family.h"
#include "net/orv_sok.h"
#include "net/way_ids.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"

namespace {

bool PilotLinkUp(const WayRecord& record) {
  const COrvSok* way = record.way;
  return way != nullptr && way->PeerKind() == 'P' && way->IsConnected();
}

}  // namespace

int NotifyPeersOffsetsChanged() {
  std::array<COrvSok*, kPeerWayCount> targets{};
  std::size_t count = 0;
  {
    WayTableGuard guard;
    for (WayRecord& record : WayTable()) {
      if (PilotLinkUp(record)) targets[count++] = record.way;
    }
  }
  // Posted outside the table's lock: a post may wait for room in a queue
  // whose way is itself waiting for the lock.
  int posted = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (COrvSok::Post(nullptr, targets[i], THRDMSG_SIMPILOT, kSimPilotOffsetsChanged, 0, "PZGN1054") > 0) ++posted;
  }
  return posted;
}

std::optional<double> FirstLinkedPilotHeading(std::int32_t family) {
  WayTableGuard guard;
  for (const WayRecord& record : WayTable()) {
    if (PilotLinkUp(record) && SimulatorFamily(record.simulatorCode) == family) return record.position.heading;
  }
  return std::nullopt;
}
