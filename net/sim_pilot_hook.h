// The simulator side's part of a peer way: THRDMSG_SIMPILOT messages (the AI
// aircraft of the way's pilot was created or removed, ...) run on the way's
// own thread in the handler the simulator side registers. Without one they
// are taken and dropped.
#pragma once

#include "base/thread_messages.h"

class COrvSok;

using SimPilotHandler = void (*)(COrvSok& way, const DMessage& message);
void SetSimPilotHandler(SimPilotHandler handler);
SimPilotHandler CurrentSimPilotHandler();
