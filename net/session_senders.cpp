#include "net/session_senders.h"

#include <array>
#include <limits>
#include <vector>

#include "base/base_thread.h"
#include "base/byte_order.h"
#include "base/klib_settings.h"
#include "base/klib_trace.h"
#include "base/main_thread.h"
#include "core/main_dialog_state.h"
#include "net/multiplayer_session.h"
#include "net/orv_sok.h"
#include "net/position_records.h"
#include "net/way_ids.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"

namespace {

constexpr int kWarningTraceBit = 8;

struct Sender {
  std::int32_t codeFrom = 0;
  std::int32_t codeBelow = 0;  // 0: no upper end
  std::uint32_t subCode = 0;
  const char* tag = "";
  std::array<std::uint16_t, 2> rateLimitedTypes{};
};

constexpr Sender kToFsx{kOlderFamilyBelow, 0, kSimPilotSendFsxPacket, "BROADCAST_XTF", {kPositionRecordType, 0}};
constexpr Sender kToXplane{kXPlaneFamilyFrom, 0, kSimPilotSendFsxPacket, "BROADCAST_XTX", {kPositionRecordType, 0}};
constexpr Sender kFtn{kOlderFamilyBelow, 0, kSimPilotSendFsxPacket, "BROADCAST_FTN", {kPositionRecordType, 0}};
constexpr Sender kNto{std::numeric_limits<std::int32_t>::min(), kOlderFamilyBelow, kSimPilotSendFsPacket, "BROADCAST_NTO",
                      {kOlderPositionRecordType, kOlderPositionRecordTypeB}};

// Past this many gathered bytes for one way the round is flushed before the next record.
constexpr std::size_t kRoundBytesLimit = 16 * 1024;
constexpr std::size_t kRoundEntryHeader = 8;

struct RoundWay {
  COrvSok* way = nullptr;
  std::vector<std::uint8_t> bytes;
};

// One per thread; the ways' buffers keep their room from round to round.
struct OpenRound {
  int depth = 0;
  std::array<RoundWay, kPeerWayCount> ways{};
  std::size_t used = 0;

  void Add(COrvSok* way, std::uint32_t subCode, std::span<const std::uint8_t> record) {
    RoundWay* slot = nullptr;
    for (std::size_t i = 0; i < used; ++i) {
      if (ways[i].way == way) slot = &ways[i];
    }
    if (slot != nullptr && slot->bytes.size() + kRoundEntryHeader + record.size() > kRoundBytesLimit) {
      Flush();
      slot = nullptr;
    }
    if (slot == nullptr) {
      if (used == ways.size()) Flush();
      slot = &ways[used++];
      slot->way = way;
      slot->bytes.clear();
    }
    std::array<std::uint8_t, kRoundEntryHeader> header{};
    PutU32(header.data(), subCode);
    PutU32(header.data() + 4, static_cast<std::uint32_t>(record.size()));
    slot->bytes.insert(slot->bytes.end(), header.begin(), header.end());
    slot->bytes.insert(slot->bytes.end(), record.begin(), record.end());
  }

  void Flush() {
    // Reset first: a post that waits for room must not see this round half sent.
    const std::size_t count = used;
    used = 0;
    for (std::size_t i = 0; i < count; ++i) {
      RoundWay& slot = ways[i];
      CBaseThread::PostData(Klib().mainThread, slot.way, THRDMSG_SIMPILOT_ROUND, 0,
                            static_cast<std::uint32_t>(slot.bytes.size()), slot.bytes.data(), "BROADCAST_ROUND");
    }
  }
};

OpenRound& ThisThreadsRound() {
  thread_local OpenRound round;
  return round;
}

bool InRange(const Sender& sender, std::int32_t code) {
  return code >= sender.codeFrom && (sender.codeBelow == 0 || code < sender.codeBelow);
}

bool RateLimited(const Sender& sender, std::uint16_t type) {
  for (const std::uint16_t limited : sender.rateLimitedTypes) {
    if (limited != 0 && limited == type) return true;
  }
  return false;
}

int Broadcast(const Sender& sender, std::span<const std::uint8_t> record, const CBaseThread* onlyWay) {
  if (g_networkState.load() == 0) return 0;
  if (record.empty()) {
    if (Klib().TraceBit(kWarningTraceBit)) {
      KlibMainTraceLine(Klib().Colour(kColourError), "%s", "Internal Warning : ECODE_D");
    }
    return 0;
  }
  const bool limited = RateLimited(sender, RecordType(record.data(), record.size()));
  const std::uint32_t now = SessionMilliseconds();
  std::array<COrvSok*, kPeerWayCount> targets{};
  std::size_t count = 0;
  {
    // The scan and the last-send times under the lock; the posts after it,
    // since a post may wait for room in a way's queue while that way waits
    // for the lock.
    WayTableGuard guard;
    for (WayRecord& peer : WayTable()) {
      if ((peer.stateFlags & kWayAllocated) == 0 || peer.peerKind != 'P' || peer.way == nullptr) continue;
      if (onlyWay != nullptr && peer.way != onlyWay) continue;
      if ((peer.way->LoggedInBits() & kWayLoggedIn) == 0 || !InRange(sender, peer.simulatorCode)) continue;
      if (limited) {
        // 0 is a record that never had a position sent. A peer sent to too
        // recently is skipped; the pass goes on for the peers after it.
        if (peer.lastPositionSentMs != 0 && now - peer.lastPositionSentMs < kPositionRecordIntervalMs) continue;
        peer.lastPositionSentMs = now;
      }
      targets[count++] = peer.way;
    }
  }
  if (OpenRound& round = ThisThreadsRound(); round.depth > 0) {
    for (std::size_t i = 0; i < count; ++i) round.Add(targets[i], sender.subCode, record);
    return static_cast<int>(count);
  }
  const auto length = static_cast<std::uint32_t>(record.size());
  for (std::size_t i = 0; i < count; ++i) {
    CBaseThread::PostData(Klib().mainThread, targets[i], THRDMSG_SIMPILOT, sender.subCode, length, record.data(),
                          sender.tag);
  }
  return static_cast<int>(count);
}

}  // namespace

BroadcastRound::BroadcastRound() { ++ThisThreadsRound().depth; }

BroadcastRound::~BroadcastRound() {
  OpenRound& round = ThisThreadsRound();
  if (--round.depth == 0) round.Flush();
}

void FlushBroadcastRound() {
  OpenRound& round = ThisThreadsRound();
  if (round.depth > 0) round.Flush();
}

bool BroadcastRoundHolds() {
  const OpenRound& round = ThisThreadsRound();
  return round.depth > 0 && round.used > 0;
}

int BroadcastToFsxPeers(std::span<const std::uint8_t> record, const CBaseThread* onlyWay) {
  return Broadcast(kToFsx, record, onlyWay);
}
int BroadcastToXplanePeers(std::span<const std::uint8_t> record, const CBaseThread* onlyWay) {
  return Broadcast(kToXplane, record, onlyWay);
}
int BroadcastFtn(std::span<const std::uint8_t> record, const CBaseThread* onlyWay) {
  return Broadcast(kFtn, record, onlyWay);
}
int BroadcastNto(std::span<const std::uint8_t> record, const CBaseThread* onlyWay) {
  return Broadcast(kNto, record, onlyWay);
}
