// The plug-in's answers about AI aircraft, as the pilot ways take them: the
// link posts THRDMSG_SIMPILOT (sub-code 30 created, 32 removed) to the way,
// and these run on that way's own thread.
#pragma once

class COrvSok;

// Sub-code 30: the AI aircraft of the way's pilot exists.
void OnXPlaneAiCreated(COrvSok& way);
// Sub-code 32: the plug-in removed it, on request or by itself (then it is added again).
void OnXPlanePilotRemoved(COrvSok& way);
// Registers the two with the peer ways (net/sim_pilot_hook.h); idempotent.
void InstallXPlaneAiCallbacks();
