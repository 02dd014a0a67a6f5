#include "app/ai_traffic_setup.h"

#include "net/orv_sok.h"
#include "net/peer_traffic_hooks.h"
#include "sim/ai_traffic.h"
#include "sim/ai_traffic_hooks.h"
#include "sim/peer_glue.h"

void InstallAiTrafficHooks() {
  AiTrafficHooks ai;
  ai.addPeer = &xXPlaneAddPeer;
  ai.onPeerObjectCreated = [](COrvSok& way) { way.OnPeerObjectCreated(); };
  ai.sendToPilot = [](COrvSok& way, std::uint32_t subMessage, std::uint32_t value) {
    way.SendToPilot(static_cast<std::uint8_t>(subMessage), value);
  };
  SetAiTrafficHooks(ai);

  PeerTrafficHooks peers = *CurrentPeerTrafficHooks();
  peers.removePeer = [](std::int32_t wayId, const char* callerTag, bool locked) {
    if (locked) {
      XPlaneRemovePeerLocked(wayId, false, callerTag);
    } else {
      XPlaneRemovePeer(wayId, false, callerTag);
    }
  };
  peers.addPeerInSim = &AddPeerInSim;
  peers.updateSimPairOffsets = [](COrvSok& way) { way.UpdateSimPairOffsets(); };
  peers.fsPacket = &ProcessFsPacket;
  peers.fsxPacket = &ProcessFsxPacket;
  peers.peerVisible = &OnPeerVisible;
  peers.peerInvisible = &OnPeerInvisible;
  peers.matchPeerModel = &MatchPeerAircraftModel;
  peers.sendMyIdentity = [](COrvSok& way, const char* callerTag) { way.SendMyIdentity(callerTag); };
  peers.sendPositionTick = &SendPositionTick;
  SetPeerTrafficHooks(std::move(peers));
}
