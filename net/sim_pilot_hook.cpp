#include "net/sim_pilot_hook.h"

#include <atomic>

namespace {
std::atomic<SimPilotHandler> g_simPilotHandler{nullptr};
}  // namespace

void SetSimPilotHandler(SimPilotHandler handler) { g_simPilotHandler = handler; }

SimPilotHandler CurrentSimPilotHandler() { return g_simPilotHandler.load(); }
