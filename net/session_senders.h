// The four senders that hand one copy of an own record to every logged-in
// pilot way of a simulator family, as the payload of a THRDMSG_SIMPILOT
// message; the way sends it on its own thread. Position records go to one way
// at most once per kPositionRecordIntervalMs.
#pragma once

#include <cstdint>
#include <span>

class CBaseThread;

inline constexpr std::uint32_t kPositionRecordIntervalMs = 33;

// While a round is open on a thread, that thread's broadcasts gather each way's
// records and post them to it as one THRDMSG_SIMPILOT_ROUND message when the
// round is flushed or closed: one wake of each way for records that come
// together (the own position, state and short state of one pass of the
// simulator link) instead of one per record. Which ways get a record, and the
// rate limit, are decided when it is broadcast, as without a round.
class BroadcastRound {
 public:
  BroadcastRound();
  ~BroadcastRound();
  BroadcastRound(const BroadcastRound&) = delete;
  BroadcastRound& operator=(const BroadcastRound&) = delete;
};

// Posts what the calling thread's open round has gathered so far (nothing
// without one), so that a message the thread posts next comes after it.
void FlushBroadcastRound();
// The calling thread's open round holds records not yet posted.
bool BroadcastRoundHolds();

// Each returns the number of ways posted (0 while the client is not on the
// network, and for an empty record, which is traced with trace bit 8). With
// `onlyWay` set, that way alone is a candidate (the way's own resend of the
// own records), under the same checks and rate limit.
// Codes 2006 and above, codes 9000 and above, codes 2006 and above, codes below 2006.
int BroadcastToFsxPeers(std::span<const std::uint8_t> record, const CBaseThread* onlyWay = nullptr);
int BroadcastToXplanePeers(std::span<const std::uint8_t> record, const CBaseThread* onlyWay = nullptr);
int BroadcastFtn(std::span<const std::uint8_t> record, const CBaseThread* onlyWay = nullptr);
int BroadcastNto(std::span<const std::uint8_t> record, const CBaseThread* onlyWay = nullptr);
