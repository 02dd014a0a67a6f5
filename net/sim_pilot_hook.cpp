#include "net/sim_pilot_hook.h"

#include <atomic>

#include "net/orv_sok.h"

namespace {
std::atomic<SimPilotHandler> g_simPilotHandler{nullptr};
}  // namespace

void SetSimPilotHandler(SimPilotHandler handler) { g_simPilotHandler = handler; }

SimPilotHandler CurrentSimPilotHandler() { return g_simPilotHandler.load(); }

DWORD COrvSok::HandleSimPilotMessage(const DMessage& message) {
  if (const SimPilotHandler handler = CurrentSimPilotHandler()) handler(*this, message);
  return 1;
}
