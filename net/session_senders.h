// The four senders that hand one copy of an own record to every logged-in
// pilot way of a simulator family, as the payload of a THRDMSG_SIMPILOT
// message; the way sends it on its own thread. Position records go to one way
// at most once per kPositionRecordIntervalMs.
#pragma once

#include <cstdint>
#include <span>

inline constexpr std::uint32_t kPositionRecordIntervalMs = 33;

// Each returns the number of ways posted (0 while the client is not on the
// network, and for an empty record, which is traced with trace bit 8).
int BroadcastToFsxPeers(std::span<const std::uint8_t> record);    // codes 2006 and above
int BroadcastToXplanePeers(std::span<const std::uint8_t> record);  // codes 9000 and above
int BroadcastFtn(std::span<const std::uint8_t> record);            // codes 2006 and above
int BroadcastNto(std::span<const std::uint8_t> record);            // codes below 2006
