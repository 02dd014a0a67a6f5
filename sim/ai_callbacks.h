// The plug-in's answers about AI aircraft, as the pilot ways take them: the
// link posts THRDMSG_SIMPILOT (sub-code 30 created, 32 removed) to the way,
// and these run on that way's own thread.
#pragma once

#include <cstdint>

class COrvSok;

// Sub-code 30: the AI aircraft of the way's pilot exists.
void OnXPlaneAiCreated(COrvSok& way);
// Sub-code 32, with the allocation of the way record the answer is for (the
// message's third word): the plug-in removed it, on request or by itself
// (then it is added again). A requested removal frees the record only when
// its pilot has left; an answer for another allocation changes nothing.
void OnXPlanePilotRemoved(COrvSok& way, std::uint32_t allocation);
// Registers the two with the peer ways (net/sim_pilot_hook.h); idempotent.
void InstallXPlaneAiCallbacks();
