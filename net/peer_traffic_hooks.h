// What a pilot way asks of the folders above it: the simulator-side glue of a
// remote pilot (his AI aircraft, his model, his position packets) and the
// windows that list the pilots. Those folders register the hooks at start-up;
// a hook that nobody registered does nothing (an add reports success, so that
// the login exchange runs without a simulator). Hooks run on the calling
// way's thread; they are read as one immutable set, so a registration never
// races with a call.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

class COrvSok;

struct PeerTrafficHooks {
  // The peer was admitted: choose his model and ask the simulator link to
  // add his AI aircraft. The way id, or a negative code when it could not be
  // done (the link is then cancelled).
  std::function<std::int32_t(COrvSok& way)> addPeerInSim;
  // The offsets between the own and the peer's simulator family.
  std::function<void(COrvSok& way)> updateSimPairOffsets;
  // Removes the peer's AI aircraft (locked: under AiLock).
  std::function<void(std::int32_t wayId, const char* callerTag, bool locked)> removePeer;
  // The simulator reports the peer's AI aircraft removed.
  std::function<void(COrvSok& way)> aiRemoved;
  // The peer's position and state packets (60 and 61), checked for length by
  // the way (at most 1,024 bytes). The hooks count each in the way record
  // (pilot.packetsReceived) and restart its silence counter.
  std::function<void(COrvSok& way, std::span<const std::uint8_t> packet)> fsPacket;
  std::function<void(COrvSok& way, std::span<const std::uint8_t> packet)> fsxPacket;
  std::function<void(COrvSok& way)> peerVisible;
  std::function<void(COrvSok& way)> peerInvisible;
  // Chooses the local model for the peer again.
  std::function<void(COrvSok& way, const char* callerTag)> matchPeerModel;
  // The own identity and aircraft, and the own position, to this peer.
  std::function<void(COrvSok& way, const char* callerTag)> sendMyIdentity;
  std::function<void(COrvSok& way)> sendPositionTick;
  // The own flag bits that the position records carry are read again.
  std::function<void()> refreshOwnFlagBits;
  // A pilot left: his TCAS slot is given back (when TCAS feeding runs).
  std::function<void(const char* callsign)> releaseTcasSlot;
  // The pilot lists of the windows changed (the watch list, when shown).
  std::function<void()> pilotListChanged;
};

// Start-up (and tests): replaces the whole set; an empty set removes them all.
void SetPeerTrafficHooks(PeerTrafficHooks hooks);
// The set as it stands (never null).
std::shared_ptr<const PeerTrafficHooks> CurrentPeerTrafficHooks();
