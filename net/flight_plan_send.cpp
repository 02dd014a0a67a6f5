#include "net/flight_plan_send.h"

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
  {
    WayTableGuard guard;
    for (const WayRecord& record : WayTable()) {
      if ((record.stateFlags & kWayAllocated) == 0 || record.peerKind != 'A') continue;
      if (PostPlan(record.way, "PZGN1019")) ++result.toControllers;
    }
  }
  if (result.Sent()) SetFlightPlanSent(true);
  return result;
}

FlightPlanSendResult SendFlightPlanToNetwork() { return SendFlightPlanToWays(NodeWayObject()); }
