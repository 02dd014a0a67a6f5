#include "net/flight_plan_send.h"

#include <vector>

#include "base/klib_settings.h"
#include "base/main_thread.h"
#include "core/flight_plan.h"
#include "net/node_connect.h"
#include "net/node_way.h"
#include "net/orv_sok.h"
#include "net/way_ids.h"
#include "net/way_record.h"

namespace {

bool PostPlan(COrvSok* way, const char* callerTag) {
  return way != nullptr && way->IsConnected() &&
         CBaseThread::Post(Klib().mainThread, way, THRDMSG_FLIGHT_PLAN, 0, 0, callerTag) > 0;
}

}  // namespace

FlightPlanSendResult SendFlightPlanToWays(COrvSok* node) {
  FlightPlanSendResult result;
  if (!FlightPlanHasRules(CurrentFlightPlan())) return result;
  result.toNode = PostPlan(node, "PZGN1018");
  std::vector<COrvSok*> controllers;
  {
    WayTableGuard guard;
    for (const WayRecord& record : WayTable()) {
      if ((record.stateFlags & kWayAllocated) == 0 || record.peerKind != 'A') continue;
      controllers.push_back(record.way);
    }
  }
  // A post waits while the way's queue is full: never with the table held.
  for (COrvSok* way : controllers) {
    if (PostPlan(way, "PZGN1019")) ++result.toControllers;
  }
  if (result.Sent()) SetFlightPlanSent(true);
  return result;
}

FlightPlanSendResult SendFlightPlanToNetwork() { return SendFlightPlanToWays(NodeWayObject()); }
