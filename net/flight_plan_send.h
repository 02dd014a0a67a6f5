// Sending the current flight plan: a THRDMSG_FLIGHT_PLAN to the node way and
// to every controller way whose link is up; each way then copies the plan
// into its own flight-plan frame. The menu's send command, the amendment
// path and any later caller use it; any thread may call it.
#pragma once

class COrvSok;

struct FlightPlanSendResult {
  bool toNode = false;
  int toControllers = 0;
  bool Sent() const { return toNode || toControllers > 0; }
};

// A plan without flight rules goes nowhere. The plan-sent flag is set only
// when at least one way with its link up took the message.
FlightPlanSendResult SendFlightPlanToWays(COrvSok* node);
// The same with the program's node way.
FlightPlanSendResult SendFlightPlanToNetwork();
