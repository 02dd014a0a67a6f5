// What the main dialog's timers hand to every controller way: the own
// position report at each controller's own pace, and the flight strip held
// from the last controller who sent one. UI thread; the way table is read
// under its lock and the ways are posted after it is left.
#pragma once

#include <cstddef>

// One half-second step while logged in: each allocated controller whose way
// is connected counts one more; past his report interval (2 by default, so
// every 1.5 s, or as his message-rate record set it) the count restarts and
// his way is posted a position report. The number of ways posted.
std::size_t PostControllerPositionReports();

// The held strip goes to every allocated controller whose way is connected;
// each of them sends it. The number of ways posted.
std::size_t ForwardFlightStripToControllers();
