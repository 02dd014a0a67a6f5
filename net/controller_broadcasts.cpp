#include "net/controller_broadcasts.h"

#include <vector>

#include "base/base_thread.h"
#include "net/controller_link.h"
#include "net/orv_sok.h"
#include "net/way_ids.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"

namespace {
template <typename Pick>
std::vector<COrvSok*> ConnectedControllers(Pick pick) {
  std::vector<COrvSok*> ways;
  WayTableGuard guard;
  for (WayRecord& record : WayTable()) {
    if (record.peerKind != 'A' || (record.stateFlags & kWayAllocated) == 0 || record.way == nullptr) continue;
    if (!record.way->IsConnected()) continue;
    if (pick(record)) ways.push_back(record.way);
  }
  return ways;
}

// A record cleared since the start-up has lost its interval: the default
// pace holds until the controller asks for another.
std::uint16_t ReportInterval(const WayRecord& record) {
  return record.controllerReportInterval != 0 ? record.controllerReportInterval : kWayInitialReportInterval;
}
}  // namespace

std::size_t PostControllerPositionReports() {
  const std::vector<COrvSok*> due = ConnectedControllers([](WayRecord& record) {
    ++record.controllerReportCounter;
    if (record.controllerReportCounter <= ReportInterval(record)) return false;
    record.controllerReportCounter = 0;
    return true;
  });
  // Posts may wait for room in a queue: never while holding the table.
  for (COrvSok* way : due) CBaseThread::Post(nullptr, way, THRDMSG_NODE_PILOT, NCSUB_POSITION_REPORT, 0, "PZGN1032");
  return due.size();
}

std::size_t ForwardFlightStripToControllers() {
  const std::vector<COrvSok*> ways = ConnectedControllers([](const WayRecord&) { return true; });
  for (COrvSok* way : ways) CBaseThread::Post(nullptr, way, THRDMSG_FLIGHT_STRIP, 0, 0, "PZGN1024");
  return ways.size();
}
